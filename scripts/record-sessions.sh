#!/usr/bin/env bash
# Records the sessions of tests/recordings/ anew from the simulated device and
# the local update server: one per flow and firmware generation. Run it after
# a deliberate change of what the program sends, then review the diff.
#
#   scripts/record-sessions.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=tests/recordings
for program in mzt mzt-devsim mzt-updserver mzt-dbgen; do
  [ -x "$build/$program" ] || { echo "$build/$program is missing: build first" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export MZT_TIME_SCALE=0.01

# The databases, as the CTest fixture makes them for the replays.
"$out/make-databases.sh" "$build/mzt-dbgen" "$work"
"$build/mzt" split "$work/installed.bin" --out "$work/installed" >/dev/null
mkdir -p "$work/server/tw" "$work/server/cn" "$work/same/tw"
cp "$work/newer.bin" "$work/server/tw/DB.bin"
cp "$work/newer.bin" "$work/server/cn/DB.bin"
cp "$work/installed.bin" "$work/same/tw/DB.bin"

# record NAME "DEVSIM OPTIONS" SERVER_DIR|- MZT ARGUMENTS...
record() {
  local name=$1 device=$2 serverDir=$3
  shift 3
  local run="$work/run-$name"
  mkdir -p "$run/home"
  # shellcheck disable=SC2086 # the device's options are words
  "$build/mzt-devsim" --pois 2 --rate 0 --database "$work/installed" --link "$run/port" \
    --sysfs-root "$run/sys" $device >"$run/devsim.out" &
  local devsim=$!
  local server=() serverPid=
  if [ "$serverDir" != - ]; then
    "$build/mzt-updserver" --port 0 --db-dir "$serverDir" >"$run/server.out" &
    serverPid=$!
  fi
  until [ -s "$run/devsim.out" ] && { [ -z "$serverPid" ] || [ -s "$run/server.out" ]; }; do sleep 0.05; done
  [ -z "$serverPid" ] || server=(--server "$(head -1 "$run/server.out")")
  local status=0
  MZT_HOME="$run/home" MZT_SYSFS_ROOT="$run/sys" \
    "$build/mzt" "$@" --port "$run/port" "${server[@]}" --record "$out/$name.jsonl" \
    >"$run/mzt.out" 2>&1 || status=$?
  kill "$devsim" ${serverPid:+"$serverPid"}
  wait "$devsim" ${serverPid:+"$serverPid"} 2>/dev/null || true
  echo "$name: exit status $status, $(wc -l <"$out/$name.jsonl") lines"
}

for firmware in 1.0.0.3 1.2.0.5 1.4.0.7; do
  record "query-$firmware" "--firmware $firmware" - query
  record "update-$firmware" "--firmware $firmware" "$work/server" update --yes
done
record upload "" - upload "$work/newer.bin" --yes
record export-poi "" - export-poi
record clear-poi "" - clear-poi --yes
record update-nothing-newer "" "$work/same" update --yes
record update-refused-frame "--fault status2@frame:FF02" "$work/server" update --yes
record update-unplug-rerun "--fault unplug@frame:FF02,ms=30" "$work/server" update --yes
# A failing session: the device stops answering after its version.
record query-mute-fails "--fault mute@108:4" - query
# The same device's identity left out.
record update-anonymised "" "$work/server" update --yes --anonymise
