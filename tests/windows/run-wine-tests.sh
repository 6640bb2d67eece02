#!/usr/bin/env bash
# The Windows command line, mzt.exe, end to end under Wine: its serial backend
# talks to the Linux simulated device through a COM port that Wine maps to the
# device's pty, and its HTTP client to the Linux update server on loopback.
#
#   tests/windows/run-wine-tests.sh WINDOWS_BUILD LINUX_BUILD
#
# WINDOWS_BUILD holds mzt.exe (and the Windows unit tests, run first when
# built); LINUX_BUILD holds mzt, mzt-devsim, mzt-updserver and mzt-dbgen.
set -euo pipefail

win=$(cd "$1" && pwd)
linux=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/mzt-wine.XXXXXX")
pids=()
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is created.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

failures=0
pass() { echo "ok   $1"; }
fail() {
  echo "FAIL $1" >&2
  failures=$((failures + 1))
}

# Runs mzt.exe from a folder whose name is not ASCII; its exit status,
# standard output and error land in $status, $work/out and $work/err.
program="$work/程式 中文"
run_mzt() {
  status=0
  wine "$program/mzt.exe" "$@" >"$work/out" 2>"$work/err" </dev/null || status=$?
}
# A Windows path on Wine's Z: drive for a path under $work.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# expect NAME STATUS PATTERN...: the last run ended with STATUS and its output
# (both streams) holds every PATTERN.
expect() {
  local name=$1 wanted=$2
  shift 2
  if [ "$status" != "$wanted" ]; then
    fail "$name: exit status $status, expected $wanted"
    sed 's/^/     /' "$work/out" "$work/err" >&2
    return
  fi
  for pattern in "$@"; do
    if ! grep -qF -- "$pattern" "$work/out" "$work/err"; then
      fail "$name: no \"$pattern\" in the output"
      sed 's/^/     /' "$work/out" "$work/err" >&2
      return
    fi
  done
  pass "$name"
}

echo "== Wine prefix (the first start takes a while)"
started=$SECONDS
wineboot --init >/dev/null 2>&1
wineserver -w
# One server for the whole run, instead of one that exits a few seconds
# after each program and starts again with the next.
wineserver -p
echo "   ready after $((SECONDS - started)) s"

echo "== Simulated device and update server"
mkdir -p "$program"
cp "$win/mzt.exe" "$program/"
mkdir -p "$work/installed" "$work/server/tw" "$work/expected" "$work/store" "$work/home"
"$linux/mzt-dbgen" --out "$work/installed/ULDB.bin" --year 2025 --month 1 --day 15 --number 3 \
  --records 2000 --seed 3 >/dev/null
"$linux/mzt" split "$work/installed/ULDB.bin" >/dev/null
"$linux/mzt-dbgen" --out "$work/server/tw/DB.bin" --year 2026 --month 11 --day 30 --number 12 \
  --records 6000 --seed 12 >/dev/null
"$linux/mzt" split --out "$work/expected" "$work/server/tw/DB.bin" >/dev/null

"$linux/mzt-updserver" --port 0 --db-dir "$work/server" >"$work/server.log" 2>&1 &
pids+=($!)
"$linux/mzt-devsim" --firmware 1.4.0.7 --region TW --pois 3 --database "$work/installed" \
  --store "$work/store" --rate 1000000 --link "$work/port" >"$work/devsim.log" 2>&1 &
pids+=($!)
# Servers with faults for the HTTP client's unit tests.
"$linux/mzt-updserver" --port 0 --db-dir "$work/server" --fault download:chunked \
  >"$work/chunked.log" 2>&1 &
pids+=($!)
"$linux/mzt-updserver" --port 0 --db-dir "$work/server" --fault download:drip:64 \
  >"$work/drip.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
  [ -s "$work/server.log" ] && [ -s "$work/chunked.log" ] && [ -s "$work/drip.log" ] &&
    [ -e "$work/port" ] && break
  sleep 0.05
done
server=$(head -n 1 "$work/server.log")
pty=$(readlink -f "$work/port")
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com7"
echo "   $server, COM7 -> $pty"

# The program's files: the Windows side sees the same folder through Z:.
export MZT_HOME="Z:${work//\//\\}\\home"
export WINEPATH=""

shopt -s nullglob
for suite in "$win"/mzt_*_tests.exe; do
  echo "== $(basename "$suite")"
  if MZT_WINE_SERVER=$server MZT_WINE_CHUNKED_SERVER=$(head -n 1 "$work/chunked.log") \
    MZT_WINE_DRIP_SERVER=$(head -n 1 "$work/drip.log") \
    wine "$suite" --gtest_brief=1 >"$work/unit.log" 2>&1; then
    pass "$(basename "$suite")"
  else
    sed 's/^/     /' "$work/unit.log" >&2
    fail "$(basename "$suite")"
  fi
done

echo "== mzt.exe"
run_mzt --version
expect "version from the version resource" 0 "MZT Utility Online  $(sed -n 's/^project(MztUtility VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")"

# The device setup query answers under Wine too (its ports class is empty).
run_mzt ports
expect "ports" 0 "No device found."

run_mzt query --port COM7
expect "query" 0 "Firmware version: 1.4.0.7" "Database version: 202501150003" "Database region: 台灣"

run_mzt query --port COM9
expect "query on a port that does not exist" 2 "COM9"

# The port comes from the settings file, read through the profile functions.
printf '[COMM. PORT]\r\nportnumber=COM7\r\n' >"$work/home/MZTConfig.ini"
run_mzt query
expect "query on the settings file's port" 0 "Database version: 202501150003"

# The update goes through the proxy set in the user's Internet Options,
# which Wine keeps where Windows does. The proxy has an address of its own:
# Wine's WinHTTP asks a proxy on the server's own host for the bare path.
proxy_port=$((30000 + RANDOM % 20000))
printf 'Port %s\nListen 127.0.0.2\nAllow 127.0.0.0/8\nLogFile "%s"\nLogLevel Info\n' \
  "$proxy_port" "$work/proxy.log" >"$work/proxy.conf"
tinyproxy -d -c "$work/proxy.conf" >"$work/proxy.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q "listening on" "$work/proxy.log" 2>/dev/null && break; sleep 0.05; done
connections='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections'
wine reg add "$connections" /v DefaultConnectionSettings /t REG_BINARY /f /d "$(
  proxy="127.0.0.2:$proxy_port"
  # Version 0x46, counter 0, flags "direct or proxy", the proxy, no bypass list, no script.
  printf '46000000''00000000''03000000''%02x000000' "${#proxy}"
  printf '%s' "$proxy" | od -An -tx1 | tr -d ' \n'
  printf '00000000''00000000'
)" >/dev/null 2>&1

data="$work/資料 中文"
run_mzt update --yes --port COM7 --server "$server" --data-dir "$(winpath "$data")"
expect "online update into a data folder with a Chinese name" 0 "202611300012" "請重新啟動裝置!!"
if grep -q "GET ${server}CheckDBVersion" "$work/proxy.log" &&
  grep -q "GET ${server}db/tw/DB.bin" "$work/proxy.log"; then
  pass "the requests went through the user's proxy"
else
  fail "the requests did not go through the user's proxy"
  sed 's/^/     /' "$work/proxy.log" >&2
fi
wine reg delete "$connections" /v DefaultConnectionSettings /f >/dev/null 2>&1
if [ "$status" = 0 ]; then
  # FF01.bin goes to the device reduced, so only the other two are compared.
  for file in FF00.bin FF02.bin; do
    if cmp -s "$work/expected/$file" "$work/store/$file"; then
      pass "the device holds the server's $file"
    else
      fail "the device's $file differs from the server's database"
    fi
  done
  if [ -f "$data/POI.csv" ] && [ "$(wc -l <"$data/POI.csv")" -eq 4 ]; then
    pass "POI.csv holds the device's 3 POIs"
  else
    fail "POI.csv does not hold the device's 3 POIs"
  fi
fi

run_mzt query --port COM7
expect "query after the update" 0 "Database version: 202611300012"

# Arguments are read as the wide text Windows keeps them in: a folder name
# outside the 8-bit code page survives.
run_mzt export-poi --port COM7 --data-dir "Z:${work//\//\\}\\匯出"
if [ "$status" = 0 ] && [ "$(wc -l <"$work/匯出/POI.csv" 2>/dev/null)" = 4 ]; then
  pass "export-poi into a folder with a Chinese name"
else
  fail "export-poi into a folder with a Chinese name: exit status $status"
  sed 's/^/     /' "$work/out" "$work/err" >&2
fi

# An offline database read from, split into and installed through folders
# with Chinese names.
mkdir -p "$work/資料庫 中文"
"$linux/mzt-dbgen" --out "$work/資料庫 中文/新.bin" --year 2026 --month 12 --day 1 --number 13 \
  --records 3000 --seed 13 >/dev/null
run_mzt split --out "$(winpath "$work/分割 中文")" "$(winpath "$work/資料庫 中文/新.bin")"
if [ "$status" = 0 ] && [ -s "$work/分割 中文/FF02.bin" ]; then
  pass "split from and into folders with Chinese names"
else
  fail "split from and into folders with Chinese names: exit status $status"
  sed 's/^/     /' "$work/out" "$work/err" >&2
fi
run_mzt upload --yes --port COM7 --data-dir "$(winpath "$data")" "$(winpath "$work/資料庫 中文/新.bin")"
expect "upload of a database in a folder with a Chinese name" 0 "請重新啟動裝置!!"
if cmp -s "$work/分割 中文/FF02.bin" "$work/store/FF02.bin"; then
  pass "the device holds the uploaded FF02.bin"
else
  fail "the device's FF02.bin differs from the uploaded database's"
fi

run_mzt send-copydata 'C:\db.bin,7'
expect "send-copydata without a window" 9 "no desktop program is running"

echo "== Recordings across the builds"
# Both builds must put the same sentences on the wire: a session mzt.exe
# recorded replays against the Linux mzt, and sessions the Linux mzt recorded
# (tests/recordings) replay against mzt.exe, at their recorded pace.
recordings="$(dirname "$0")/../recordings"
"$recordings/make-databases.sh" "$linux/mzt-dbgen" "$work/recorded" >/dev/null
"$linux/mzt" split --out "$work/recorded/installed" "$work/recorded/installed.bin" >/dev/null
mkdir -p "$work/recorded/server/tw"
cp "$work/recorded/newer.bin" "$work/recorded/server/tw/DB.bin"
serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'

# A device behind COM8 at LINK, announced in the serial-port map while LINK
# leads to a pty: the Windows build waits there for the replug, and Wine
# lists no pty there by itself. Wine's registry tool takes about 0.3 s, more
# than a replayed replug may last, so a new pty behind LINK counts as an
# unplug and a replug even when the moment without one went unseen.
watch_device_map() {
  local link=$1 owner=$2 shown='' now
  ln -sfn "$link" "$WINEPREFIX/dosdevices/com8"
  while kill -0 "$owner" 2>/dev/null; do
    now=$(readlink "$link" 2>/dev/null || true)
    if [ "$now" != "$shown" ]; then
      [ -z "$shown" ] || wine reg delete "$serialcomm" /v '\Device\USBSER000' /f >/dev/null 2>&1
      [ -z "$now" ] || wine reg add "$serialcomm" /v '\Device\USBSER000' /t REG_SZ /d COM8 /f >/dev/null 2>&1
      shown=$now
    fi
    sleep 0.02
  done
  wine reg delete "$serialcomm" /v '\Device\USBSER000' /f >/dev/null 2>&1 || true
}

# Until FILE holds a line (a started tool's announcement).
await_line() { for _ in $(seq 200); do [ -s "$1" ] && return; sleep 0.05; done; }

# A session recorded by mzt.exe, replayed by the Linux mzt.
"$linux/mzt-devsim" --pois 2 --rate 0 --database "$work/recorded/installed" --link "$work/recorded/port" \
  >"$work/recorded/devsim.log" 2>&1 &
device=$!
"$linux/mzt-updserver" --port 0 --db-dir "$work/recorded/server" >"$work/recorded/server.log" 2>&1 &
pids+=("$device" "$!")
await_line "$work/recorded/devsim.log"
await_line "$work/recorded/server.log"
ln -sfn "$work/recorded/port" "$WINEPREFIX/dosdevices/com8"
MZT_TIME_SCALE=0.01 run_mzt update --yes --port COM8 --server "$(head -n 1 "$work/recorded/server.log")" \
  --record "$(winpath "$work/windows.jsonl")"
expect "update recorded by mzt.exe" 0 "請重新啟動裝置!!"
kill "$device" 2>/dev/null || true
status=0
MZT_DEVSIM="$linux/mzt-devsim" MZT_UPDSERVER="$linux/mzt-updserver" \
  "$linux/mzt" replay-check "$work/windows.jsonl" --database "$work/recorded/newer.bin" \
  >"$work/out" 2>"$work/err" </dev/null || status=$?
expect "the Windows recording replays against the Linux mzt" 0 "the same:"
grep '^replay-check' "$work/out" | sed 's/^/     /'

# Sessions recorded by the Linux mzt, replayed against mzt.exe: a reply with
# raw bytes, frames and downloads, a database given by name, an unplug in
# the middle of a transfer and the re-run after the replug.
for name in query-1.0.0.3 update-1.4.0.7 upload update-unplug-rerun; do
  file="$recordings/$name.jsonl"
  session=$(head -n 1 "$file")
  scale=${session#*\"timeScale\": \"}
  scale=${scale%%\"*}
  recorded=$(sed -n 's/.*"kind": "end", "status": \([0-9]*\).*/\1/p' "$file")
  # The recorded command, one argument a line, without its port and server.
  args=()
  skip=0
  while IFS= read -r arg; do
    if ((skip)); then skip=0; continue; fi
    case $arg in
      --port | --server) skip=1 ;;
      *.bin) args+=("$(winpath "$work/recorded/newer.bin")") ;;
      *) args+=("$arg") ;;
    esac
  done < <(sed 's/.*"command": \["\(.*\)"\], "timeScale".*/\1/; s/", "/\n/g' <<<"$session")
  run="$work/replay-$name"
  mkdir -p "$run"
  MZT_TIME_SCALE=$scale "$linux/mzt-devsim" --replay "$file" --link "$run/port" >"$run/devsim.log" 2>&1 &
  device=$!
  "$linux/mzt-updserver" --replay "$file" --database "$work/recorded/newer.bin" --port 0 \
    >"$run/server.log" 2>&1 &
  pids+=("$device" "$!")
  await_line "$run/devsim.log"
  await_line "$run/server.log"
  watch_device_map "$run/port" "$device" &
  watcher=$!
  MZT_TIME_SCALE=$scale run_mzt "${args[@]}" --port COM8 --server "$(head -n 1 "$run/server.log")" \
    --data-dir "$(winpath "$run/home")"
  kill "$device" 2>/dev/null || true
  deviceStatus=0
  wait "$device" || deviceStatus=$?
  wait "$watcher" || true
  if [ "$status" = "$recorded" ] && [ "$deviceStatus" = 0 ]; then
    pass "$name.jsonl replays against mzt.exe: the recorded writes, exit status $status as recorded"
  else
    fail "$name.jsonl against mzt.exe: exit status $status (recorded $recorded), the device's replay ended $deviceStatus"
    sed 's/^/     /' "$work/out" "$work/err" >&2
    grep -v '^mzt-devsim: [<>]' "$run/devsim.log" | sed 's/^/     /' >&2
  fi
done

if ((failures)); then
  echo "$failures Windows test(s) failed." >&2
  exit 1
fi
echo "All Windows tests passed."
