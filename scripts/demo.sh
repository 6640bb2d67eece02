#!/usr/bin/env bash
# The program's main job, on a fresh machine: a simulated detector holding an
# older database and three POIs of its own, a local update server offering a
# newer one, and `mzt update` bringing the device up to date.
#
# With --gui the desktop program `mzt-utility` does the same: on your own
# display when DISPLAY is set (close the window to end the demo), else on a
# hidden Xvfb display, driven step by step, with screenshots in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

gui=false
[ "${1:-}" = "--gui" ] && gui=true

source scripts/lib/deps.sh
mzt_install_dependencies
mzt_configure_and_build

build=$PWD/build
work=$(mktemp -d "${TMPDIR:-/tmp}/mzt-demo.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== Databases: the device holds 2025-01-15 #3, the server offers 2026-11-30 #12"
mkdir -p "$work/installed" "$work/server/tw" "$work/server/cn" "$work/home"
"$build/mzt-dbgen" --out "$work/installed/ULDB.bin" --year 2025 --month 1 --day 15 --number 3 --records 2000 --seed 3
"$build/mzt" split "$work/installed/ULDB.bin" >/dev/null
"$build/mzt-dbgen" --out "$work/server/tw/DB.bin" --year 2026 --month 11 --day 30 --number 12 --records 6000 --seed 12

echo "== Starting the local update server"
"$build/mzt-updserver" --port 0 --db-dir "$work/server" >"$work/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/server.log" ] && break; sleep 0.05; done
server=$(head -n 1 "$work/server.log")
echo "   $server"

echo "== Starting the simulated device (firmware 1.4.0.7, region TW, 3 POIs)"
# Paced like a fast USB link: the default 115200-baud pace is slower than the
# device's own acknowledgement time allows for 11264-byte blocks.
"$build/mzt-devsim" --firmware 1.4.0.7 --region TW --pois 3 --database "$work/installed" \
  --rate 1000000 --link "$work/port" >"$work/devsim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/port" ] && break; sleep 0.05; done
echo "   port $(head -n 1 "$work/devsim.log")"

export MZT_HOME="$work/home"
if $gui; then
  printf '[Comm. Port]\nPortNumber=%s\n' "$work/port" >"$MZT_HOME/MZTConfig.ini"
  export MZT_UPDATE_SERVER="$server"
  export XDG_RUNTIME_DIR="$work"
  if [ -n "${DISPLAY:-}" ]; then
    echo "== mzt-utility on $DISPLAY: press 查詢 (query), then 更新資料庫 (update); close the window to end"
    "$build/mzt-utility"
    exit 0
  fi
  source scripts/lib/gui-driver.sh
  mzt_gui_demo "$build" "$work"
  exit 0
fi
echo
echo "== mzt query (before)"
"$build/mzt" query --port "$work/port"
echo
echo "== mzt update --yes"
"$build/mzt" update --yes --port "$work/port" --server "$server"
echo
echo "== mzt query (after)"
"$build/mzt" query --port "$work/port"
echo
echo "== POI.csv (saved before the update)"
iconv -f CP950 -t UTF-8 "$MZT_HOME/POI.csv"
