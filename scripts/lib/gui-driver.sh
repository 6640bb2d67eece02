# The desktop demo without a display of the user's: mzt-utility on a hidden
# Xvfb display, driven through its test hook (MZT_UI_TEST_HOOK=1: commands on
# standard input, answers and message boxes on standard output).

mzt_gui_demo() {
  local build=$1 work=$2
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  export DISPLAY=":$(head -n 1 "$work/display")"
  echo "== mzt-utility on the hidden display $DISPLAY"

  coproc APP { MZT_UI_TEST_HOOK=1 "$build/mzt-utility" 2>"$work/gui.log"; }
  pids+=($APP_PID)
  local line
  say() { echo "$1" >&"${APP[1]}"; }
  # Reads the program's lines until one starts with $1; prints message boxes.
  expect() {
    while IFS= read -r -t 120 line <&"${APP[0]}"; do
      case "$line" in message*) echo "   [box] ${line#message$'\t'}" ;; esac
      [[ "$line" == "$1"* ]] && return 0
    done
    echo "mzt-utility stopped answering (waiting for '$1')" >&2
    return 1
  }
  shot() { sleep 0.7; import -window root "$build/demo-gui-$1.png"; echo "   screenshot build/demo-gui-$1.png"; }
  version() {
    for _ in $(seq 300); do
      say "text 1064"; expect "text"
      [ -n "${line#text$'\t'1064$'\t'}" ] && { echo "   DB version: ${line#text$'\t'1064$'\t'}"; return; }
      sleep 0.1
    done
  }

  # Until no flow runs: a query's last steps run after its results show.
  idle() {
    for _ in $(seq 600); do say idle; expect idle; [[ "$line" == *$'\t'1 ]] && return; sleep 0.1; done
  }

  say title; expect title; echo "   window: ${line#title$'\t'}"
  shot 1-start
  echo "== 查詢 (query)"
  say "click 1117"; expect click; version
  idle
  shot 2-query
  echo "== 更新資料庫 (update)"
  say "click 1001"
  while expect message; do
    if [[ "$line" == *"請重新啟動裝置!!"* ]]; then shot 3-done; say "answer ok"; expect answer; break; fi
    [[ "$line" == *$'\t'yesno ]] && say "answer yes" || say "answer ok"
    expect answer
  done
  echo "== 查詢 (query) after the update"
  idle
  say "click 1117"; expect click; version
  idle
  say close; expect clos
  wait "$APP_PID" 2>/dev/null || true
}
