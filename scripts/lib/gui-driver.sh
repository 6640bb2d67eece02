# Drives mzt-utility on a hidden Xvfb display through its test hook
# (MZT_UI_TEST_HOOK=1: commands on standard input, answers and message boxes
# on standard output). The caller keeps a `pids` array for its clean-up.

# Starts Xvfb and the program; sets DISPLAY and the coprocess APP.
mzt_gui_start() {
  local build=$1 work=$2
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  export DISPLAY=":$(head -n 1 "$work/display")"
  coproc APP { MZT_UI_TEST_HOOK=1 "$build/mzt-utility" 2>"$work/gui.log"; }
  pids+=($APP_PID)
}

mzt_gui_say() { echo "$1" >&"${APP[1]}"; }

# Reads the program's lines into `line` until one starts with $1; prints
# message boxes.
mzt_gui_expect() {
  while IFS= read -r -t 120 line <&"${APP[0]}"; do
    case "$line" in message*) echo "   [box] ${line#message$'\t'}" ;; esac
    [[ "$line" == "$1"* ]] && return 0
  done
  echo "mzt-utility stopped answering (waiting for '$1')" >&2
  return 1
}

# Presses 更新資料庫 (update) and answers every message box (Yes to
# questions) until the one asking to restart the device; $1 runs before
# that last box is answered.
mzt_gui_update() {
  local before_last=${1:-true}
  mzt_gui_say "click 1001"
  while mzt_gui_expect message; do
    if [[ "$line" == *"請重新啟動裝置!!"* ]]; then
      $before_last
      mzt_gui_say "answer ok"; mzt_gui_expect answer
      return 0
    fi
    [[ "$line" == *$'\t'yesno ]] && mzt_gui_say "answer yes" || mzt_gui_say "answer ok"
    mzt_gui_expect answer
  done
  return 1
}

# Until no flow runs: a query's last steps run after its results show.
mzt_gui_idle() {
  for _ in $(seq 600); do
    mzt_gui_say idle; mzt_gui_expect idle
    [[ "$line" == *$'\t'1 ]] && return
    sleep 0.1
  done
}

mzt_gui_close() {
  mzt_gui_say close; mzt_gui_expect clos
  wait "$APP_PID" 2>/dev/null || true
}

# The desktop demo: query, update, query again, with screenshots in $build.
mzt_gui_demo() {
  local build=$1 work=$2
  mzt_gui_start "$build" "$work"
  echo "== mzt-utility on the hidden display $DISPLAY"
  local line
  shot() { sleep 0.7; import -window root "$build/demo-gui-$1.png"; echo "   screenshot build/demo-gui-$1.png"; }
  version() {
    for _ in $(seq 300); do
      mzt_gui_say "text 1064"; mzt_gui_expect "text"
      [ -n "${line#text$'\t'1064$'\t'}" ] && { echo "   DB version: ${line#text$'\t'1064$'\t'}"; return; }
      sleep 0.1
    done
  }

  mzt_gui_say title; mzt_gui_expect title; echo "   window: ${line#title$'\t'}"
  shot 1-start
  echo "== 查詢 (query)"
  mzt_gui_say "click 1117"; mzt_gui_expect click; version
  mzt_gui_idle
  shot 2-query
  echo "== 更新資料庫 (update)"
  mzt_gui_update "shot 3-done"
  echo "== 查詢 (query) after the update"
  mzt_gui_idle
  mzt_gui_say "click 1117"; mzt_gui_expect click; version
  mzt_gui_idle
  mzt_gui_close
}
