#!/usr/bin/env bash
# The Windows desktop program under Wine on a hidden Xvfb display, against the
# Linux simulated device (on a pty that the Wine prefix names COM7) and the
# local update server, driven through its test hook (MZT_UI_TEST_HOOK=1):
#   1. the program's icon, the version field wide enough for its longest
#      texts, the query, the About tab's folders, the whole update to
#      "請重新啟動裝置!!" with the close box refused meanwhile, and the query
#      again showing the new database;
#   2. another Windows program's WM_COPYDATA: identifier 2 is ignored,
#      identifier 1 (mzt.exe send-copydata) starts an update;
#   3. a transfer that fails: the replug dialog (with the program's icon)
#      follows the device out and back in the serial-port map, a close
#      meanwhile is refused with the reason, then the update runs again.
# Screenshots (wine-gui-*.png) land in the Windows build folder.
#
#   tests/windows/run-wine-gui.sh WINDOWS_BUILD LINUX_BUILD
#
# WINDOWS_BUILD holds mzt-utility.exe, mzt.exe and mzt-copydata-probe.exe;
# LINUX_BUILD holds mzt, mzt-devsim, mzt-updserver and mzt-dbgen.
set -euo pipefail

windows=$(realpath "$1")
native=$(realpath "$2")
for program in "$native/mzt-devsim" "$native/mzt-updserver" "$native/mzt-dbgen" "$native/mzt" \
  "$windows/mzt-utility.exe" "$windows/mzt.exe" "$windows/mzt-copydata-probe.exe"; do
  [ -x "$program" ] || { echo "missing: $program" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/mzt-wine-gui.XXXXXX")
pids=()
failures=0
started=$SECONDS
export WINEPREFIX="$windows/wine-gui-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  failures=$((failures + 1))
  echo "FAIL: $* (screen in wine-gui-failure-$failures.png)" >&2
  import -display "$DISPLAY" -window root "$windows/wine-gui-failure-$failures.png" 2>/dev/null || true
}
check() {  # what expected actual
  if [ "$2" == "$3" ]; then echo "   ok: $1"; else fail "$1: expected '$2', got '$3'"; fi
}

# The prefix is made once and kept in the build folder (its first start takes
# half a minute). Dialog fonts are replaced by one with Traditional Chinese;
# windows draw their own frames, as there is no window manager. COM7 is a
# port of the prefix's own (a device the system lists, as on Windows) whose
# file is a link that each device run points at its pty.
com7="$WINEPREFIX/mzt-com7"
if [ ! -f "$WINEPREFIX/.mzt-ready" ] || [ "$(cat "$WINEPREFIX/.mzt-ready")" != "$com7" ]; then
  echo "== Making the Wine prefix"
  wineboot --init >/dev/null 2>&1
  # The symbol font of the caption buttons, which the prefix does not find.
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  for face in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "Microsoft Sans Serif" "Segoe UI" "System"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
      /d 'Noto Sans CJK TC' /f >/dev/null 2>&1
  done
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /t REG_SZ /d "$com7" /f >/dev/null 2>&1
  wineserver -w
  echo "$com7" >"$WINEPREFIX/.mzt-ready"
fi

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n 1 "$work/display")"

echo "== Databases: the device holds 2025-01-15 #3, the server offers 2026-11-30 #12"
mkdir -p "$work/installed" "$work/server/tw" "$work/app"
"$native/mzt-dbgen" --out "$work/installed/ULDB.bin" --year 2025 --month 1 --day 15 --number 3 \
  --grid 4x4 --records 200 --seed 7 >/dev/null
"$native/mzt" split "$work/installed/ULDB.bin" >/dev/null
"$native/mzt-dbgen" --out "$work/server/tw/DB.bin" --year 2026 --month 11 --day 30 --number 12 \
  --grid 4x8 --records 700 --seed 21 >/dev/null

export MZT_TIME_SCALE=0.05
"$native/mzt-updserver" --port 0 --db-dir "$work/server" >"$work/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/server.log" ] && break; sleep 0.05; done
export MZT_UPDATE_SERVER=$(head -n 1 "$work/server.log")

# The program's files lie in its own folder, as on Windows.
cp "$windows/mzt-utility.exe" "$windows/mzt.exe" "$windows/mzt-copydata-probe.exe" "$work/app/"
printf '[Comm. Port]\r\nPortNumber=COM7\r\n' >"$work/app/MZTConfig.ini"

device_pid=
start_device() {  # a device holding the old database and two POIs; options added
  [ -n "$device_pid" ] && { kill "$device_pid"; wait "$device_pid" 2>/dev/null || true; }
  rm -f "$work/port"
  "$native/mzt-devsim" --pois 2 --database "$work/installed" --rate 0 --link "$work/port" "$@" \
    >"$work/devsim.log" 2>&1 &
  device_pid=$!
  pids+=($device_pid)
  for _ in $(seq 100); do [ -e "$work/port" ] && break; sleep 0.05; done
  ln -sfn "$work/port" "$com7"
}

# The program on the hook: one command a line in, one reply a line out, and a
# "message" line for each message box as it opens.
messages=()
line=
start_program() {
  rm -f "$work/app/POI.csv"
  coproc APP { cd "$work/app" && MZT_UI_TEST_HOOK=1 exec wine mzt-utility.exe 2>>"$work/app.log"; }
  pids+=($APP_PID)
  messages=()
}
read_line() {
  IFS= read -r -t 90 line <&"${APP[0]}" || { line=; return 1; }
  line=${line%$'\r'}
}
command() {  # sends a command; its reply is left in $line
  local verb=${1%% *}
  echo "$1" >&"${APP[1]}"
  while read_line; do
    case "$line" in
      message$'\t'*) messages+=("${line#message$'\t'}") ;;
      "$verb"$'\t'* | closed | unknown*) return 0 ;;
    esac
  done
  fail "no reply to '$1'"
  return 1
}
text() { command "text $1"; line=${line#text$'\t'$1$'\t'}; }
next_message() {  # the next message box as "caption<TAB>text<TAB>ok|yesno"
  if ((${#messages[@]} == 0)); then
    while read_line; do
      [[ "$line" == message$'\t'* ]] && { messages+=("${line#message$'\t'}"); break; }
    done
  fi
  ((${#messages[@]})) || { line=; return 1; }
  line=${messages[0]}
  messages=("${messages[@]:1}")
}
wait_for_text() {  # id expected
  for _ in $(seq 300); do text "$1"; [ "$line" == "$2" ] && return 0; sleep 0.2; done
  return 1
}
wait_for_replug_prompt() {  # expected text; answers the boxes before it
  for _ in $(seq 300); do
    command replug
    [ "$line" == "replug"$'\t'"$1" ] && return 0
    if ((${#messages[@]})); then
      echo "   [box] ${messages[0]//$'\t'/ | }"
      messages=("${messages[@]:1}")
      command "answer yes"
    fi
    sleep 0.2
  done
  fail "the replug dialog never showed '$1' (it showed '${line#replug$'\t'}')"
  return 1
}
# The first USB serial device as the system's serial-port map shows it.
usb_serial() {  # add | delete
  local key='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
  if [ "$1" == add ]; then
    wine reg add "$key" /v '\Device\USBSER000' /t REG_SZ /d COM7 /f >/dev/null 2>&1
  else
    wine reg delete "$key" /v '\Device\USBSER000' /f >/dev/null 2>&1
  fi
}
fits() {  # id [text]: the text (else the control's own) fits the control in its font
  command "fits $*"
  if [[ "$line" == $'fits\t'"$1"$'\t1\t'* ]]; then
    echo "   ok: control $1 holds '${2:-its text}' (${line##*$'\t'} px)"
  else
    fail "control $1 cuts '${2:-its text}' (needed/available: ${line##*$'\t'} px)"
  fi
}
wait_for_idle() {
  for _ in $(seq 300); do command idle; [ "$line" == $'idle\t1' ] && return 0; sleep 0.2; done
  fail "a flow never ended"
}
# Answers every box (Yes to questions) up to the one whose text is $1, which
# is left open.
answer_until() {
  while next_message; do
    echo "   [box] ${line//$'\t'/ | }"
    [[ "$line" == *$'\t'"$1"$'\t'* ]] && return 0
    if [[ "$line" == *$'\t'yesno ]]; then command "answer yes"; else command "answer ok"; fi
  done
  fail "the flow ended without '$1'"
  return 1
}
shot() {
  sleep 0.7
  import -display "$DISPLAY" -window root "$windows/wine-gui-$1.png"
  echo "   screenshot wine-gui-$1.png"
}
close_program() {  # expects the close to be accepted and the program to end with 0
  command close
  [ "$line" != $'close\tvetoed' ] || { fail "the close box was refused while idle"; return; }
  local status=0
  wait "$APP_PID" || status=$?
  check "exit status after the close" 0 "$status"
}

warning="裝置進入資料上傳模式,所有在裝置上的功能都會被關閉"
restart="請重新啟動裝置!!"

echo "== 1. Query, then the whole update"
start_device
start_program
command title
check "title" $'title\tMZT Utility Online  1.1.53.68' "$line"
command tabs
check "tabs" $'tabs\t測速點資料庫上傳\t關於' "$line"
text 1001
check "update button" "更新資料庫" "$line"
text 1000
check "port list shows the stored port" "COM7" "$line"
command closebox
check "close box usable while idle" $'closebox\t1' "$line"
command icon
check "the program's icon on the window" $'icon\t1' "$line"
for shown in "裝置內無測速照相資料庫" "裝置內測速照相資料庫不完整" "202501150003 (檔案清單未讀完)"; do
  fits 1064 "$shown"
done
shot 1-start

command "click 1117"
wait_for_text 1064 "202501150003" || fail "query: DB version is '$line'"
text 1146
check "query: FW version" "1.4.0.7" "$line"
text 1148
check "query: DB region" "台灣" "$line"
wait_for_idle
shot 2-query
command "tab 1"
text 1201
check "About: the folders' caption" "Folders of the program's files (POI.csv, MZTConfig.ini):" "$line"
text 1202
check "About: the program's folder" "Z:${work//\//\\}\\app" "$line"
fits 1201
fits 1202
shot 3-about
command "tab 0"

command "click 1001"
next_message
check "warning box" $'MZT Utility\t'"$warning"$'\tok' "$line"
shot 4-warning
command "answer ok"
for _ in $(seq 100); do command idle; [ "$line" == $'idle\t0' ] && break; sleep 0.05; done
command closebox
check "close box greyed while the update runs" $'closebox\t0' "$line"
command close
check "close refused while the update runs" $'close\tvetoed' "$line"
shot 5-busy
answer_until "$restart"
shot 6-restart
command "answer ok"
wait_for_idle
[ -s "$work/app/POI.csv" ] || fail "no POI.csv next to the program"
check "POIs saved before the update (a header and two lines)" 3 "$(wc -l <"$work/app/POI.csv" | tr -d ' ')"
command "click 1117"
wait_for_text 1064 "202611300012" || fail "the device does not hold the new database ('$line')"
wait_for_idle
close_program

echo "== 2. WM_COPYDATA from another Windows program"
start_device
start_program
command title
(cd "$work/app" && wine mzt-copydata-probe.exe 2 'C:\ULDB.bin,7') && status=0 || status=$?
check "identifier 2 is refused" 1 "$status"
command idle
check "identifier 2 starts nothing" $'idle\t1' "$line"
((${#messages[@]} == 0)) || fail "identifier 2 opened a box: ${messages[0]}"
(cd "$work/app" && wine mzt.exe send-copydata 'C:\ULDB.bin,7' </dev/null) && status=0 || status=$?
check "mzt.exe send-copydata (identifier 1) is accepted" 0 "$status"
next_message
check "the request's update asks first" $'MZT Utility\t'"$warning"$'\tok' "$line"
command "answer ok"
answer_until "$restart"
shot 7-copydata-restart
command "answer ok"
wait_for_idle
text 1001
check "update button after the request's update" "更新資料庫" "$line"
command "click 1117"
wait_for_text 1064 "202611300012" || fail "the request's update did not reach the device ('$line')"
wait_for_idle
close_program

echo "== 3. A failed transfer: the replug dialog, then the update again"
# The device stops answering during FF02 until it is unplugged.
start_device --fault mute@frame:FF02 --replug-ms 0
usb_serial add
start_program
command title
command "click 1001"
answer_until "$warning"
command "answer ok"
wait_for_replug_prompt "請拔除USB線"
command icon
check "the program's icon on the replug dialog too" $'icon\t2' "$line"
command close
check "close refused while the replug dialog waits" $'close\tvetoed' "$line"
next_message || true
check "the refusal says why" $'MZT Utility\tAn update is running: wait until it has finished before closing.\tok' "$line"
command "answer ok"
shot 8-unplug
kill -USR1 "$device_pid"
usb_serial delete
wait_for_replug_prompt "請插入USB線"
shot 9-plug
kill -USR2 "$device_pid"
usb_serial add
answer_until "$restart"
command "answer ok"
wait_for_idle
command replug
check "the replug dialog has closed" $'replug\t' "$line"
command "click 1117"
wait_for_text 1064 "202611300012" || fail "the update after the replug did not reach the device ('$line')"
wait_for_idle
close_program

echo "== Wine GUI tests: $((SECONDS - started)) s, $failures failure(s)"
((failures == 0))
