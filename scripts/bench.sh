#!/usr/bin/env bash
# Measures the figures of docs/PERFORMANCE.md on this machine: installs what
# is missing, builds the programs and the benchmarks, runs each figure and
# prints one line per figure, "name: value unit (target)", then how many
# targets were met. Each figure is a ratio or a value taken within one run,
# so a busy machine moves it little; the machine's load is printed with them.
#
#   scripts/bench.sh            every figure
#   scripts/bench.sh NAME...    only these: upload conversation split latency
#                               memory ui
set -euo pipefail
cd "$(dirname "$0")/.."


build=$PWD/build
work=$(mktemp -d "${TMPDIR:-/tmp}/mzt-bench.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -n "${MZT_BENCH_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

figures=()
met=0
# record NAME VALUE UNIT TARGET ("<= 1.1", ">= 0.95")
record() {
  local name=$1 value=$2 unit=$3 target=$4
  local line="$name: $value $unit ($target)"
  if awk -v v="$value" -v op="${target%% *}" -v t="${target##* }" \
      'BEGIN { exit !((op == "<=" && v <= t) || (op == ">=" && v >= t)) }'; then
    met=$((met + 1))
  else
    line+="  MISSED"
  fi
  figures+=("$line")
  echo "$line"
}

# The figures a benchmark program prints ("figure<TAB>name<TAB>value<TAB>unit<TAB>target").
run_bench() {
  local output
  output=$("$build/$1" --benchmark_format=console 2>&1) || { echo "$output" >&2; return 1; }
  while IFS=$'\t' read -r tag name value unit target; do
    [ "$tag" = figure ] && record "$name" "$value" "$unit" "$target"
  done <<<"$output"
}

now() { date +%s.%N; }

# A local update server offering $1 (a database file) for Taiwan; sets `server`.
start_server() {
  local folder=$work/server-$2
  mkdir -p "$folder/tw" "$folder/cn"
  mv "$1" "$folder/tw/DB.bin"
  "$build/mzt-updserver" --port 0 --db-dir "$folder" >"$work/server-$2.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/server-$2.log" ] && break; sleep 0.05; done
  server=$(head -n 1 "$work/server-$2.log")
}

# A simulated device at $work/port-$1 holding an older database; further
# arguments go to mzt-devsim.
start_device() {
  local name=$1
  shift
  if [ ! -d "$work/installed" ]; then
    mkdir -p "$work/installed"
    "$build/mzt-dbgen" --out "$work/installed/ULDB.bin" --year 2025 --month 1 --day 15 \
      --number 3 --records 2000 --seed 3 >/dev/null
    "$build/mzt" split "$work/installed/ULDB.bin" >/dev/null
  fi
  "$build/mzt-devsim" --database "$work/installed" --link "$work/port-$name" "$@" \
    >"$work/devsim-$name.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -e "$work/port-$name" ] && break; sleep 0.05; done
}

newer_database() {  # FILE RECORDS
  "$build/mzt-dbgen" --out "$1" --year 2026 --month 11 --day 30 --number 12 --records "$2" \
    --seed 12 >/dev/null
}

# 1. The upload against the protocol's least time and a reference sender.
figure_upload() { run_bench mzt_bench_upload; }

# 2. The whole update's conversation against the pauses and time-outs it
# must wait out (docs/PERFORMANCE.md lists them): an unpaced device with 99
# POIs, a one-record database, so that the transfer is one frame per file.
figure_conversation() {
  newer_database "$work/tiny.bin" 1
  start_server "$work/tiny.bin" conversation
  start_device conversation --pois 99 --rate 0 --flash-ms 0
  mkdir -p "$work/home-conversation"
  # The pauses and time-outs of this path, in ms (docs/PERFORMANCE.md):
  # connect: start, 113 query (answered 0), retry pause, 113,1, start, 113 query
  # firmware: 108,1 and the pause after it
  # file listing: three entries, each a 995 and a step pause, then a 995
  #   that is not answered, asked once more, each with its time-out
  # version, region, device ID, POI count: five 108
  # POI export: 99 times 114
  # after the version check, the download address, the download and the
  #   success report
  # deletion: three 996
  # transfer, three files: start, chunk pause, header, frame, end pause, end;
  #   and the pause before the second and the third file
  # the file listing again, to see the three files whole
  local prescribed_ms=$((1000 + 10 + 1000 + 10 + 1000 + 10 \
    + 10 + 100 \
    + 3 * (10 + 50) + 2 * (10 + 1000) \
    + 5 * 10 \
    + 99 * 10 \
    + 4 * 100 \
    + 3 * 10 \
    + 3 * (10 + 10 + 10 + 10 + 100 + 10) + 2 * 100 \
    + 3 * (10 + 50) + 2 * (10 + 1000)))
  local start end
  start=$(now)
  MZT_HOME="$work/home-conversation" "$build/mzt" update --yes --port "$work/port-conversation" \
    --server "$server" >/dev/null 2>"$work/conversation.log" ||
    { cat "$work/conversation.log" >&2; return 1; }
  end=$(now)
  record conversation_over_prescribed \
    "$(awk -v s="$start" -v e="$end" -v p="$prescribed_ms" 'BEGIN { printf "%.3f", (e - s) * 1000 / p }')" \
    x "<= 1.1"
}

# 3. The split against cp of a 64 MiB database.
figure_split() { run_bench mzt_bench_split; }

# 4. Reply latency from the port to the command's event.
figure_latency() { run_bench mzt_bench_reader; }

# 5. Peak resident memory of a whole update with a 64 MiB database, on an
# unpaced device: its 5,960 frames take two minutes of prescribed pauses.
figure_memory() {
  "$build/mzt-dbgen" --out "$work/big.bin" --size-mib 64 --year 2026 --month 11 --day 30 \
    --number 12 >/dev/null
  start_server "$work/big.bin" memory
  start_device memory --rate 0 --flash-ms 0 --capacity 134217728
  mkdir -p "$work/home-memory"
  MZT_HOME="$work/home-memory" /usr/bin/time -f "%M" -o "$work/memory.kib" \
    "$build/mzt" update --yes --port "$work/port-memory" --server "$server" \
    >/dev/null 2>"$work/memory.log" || { cat "$work/memory.log" >&2; return 1; }
  record update_peak_rss "$(awk '{ printf "%.1f", $1 / 1024 }' "$work/memory.kib")" MiB "<= 32"
}

# 6. The desktop program's longest UI-thread stall during a whole update on
# a USB-like device (800,000 bytes a second, 40 ms per frame) with a 704 KiB
# database, under Xvfb.
figure_ui() {
  source scripts/lib/gui-driver.sh
  newer_database "$work/ui.bin" 19966
  start_server "$work/ui.bin" ui
  start_device ui --rate 800000 --flash-ms 40
  mkdir -p "$work/home-ui"
  printf '[Comm. Port]\nPortNumber=%s\n' "$work/port-ui" >"$work/home-ui/MZTConfig.ini"
  local line stall
  local -x MZT_HOME=$work/home-ui MZT_UPDATE_SERVER=$server XDG_RUNTIME_DIR=$work \
    MZT_UI_STALL_METER=1
  mzt_gui_start "$build" "$work"
  mzt_gui_say title; mzt_gui_expect title >/dev/null
  mzt_gui_say stall; mzt_gui_expect stall >/dev/null
  take_stall() { mzt_gui_say stall; mzt_gui_expect stall >/dev/null; stall=${line#stall$'\t'}; }
  mzt_gui_update take_stall >/dev/null
  mzt_gui_close
  record ui_longest_stall "$stall" ms "<= 50"
}

all=(upload conversation split latency memory ui)
names=("$@")
((${#names[@]})) || names=("${all[@]}")
for name in "${names[@]}"; do
  declare -F "figure_$name" >/dev/null || { echo "unknown figure $name (${all[*]})" >&2; exit 1; }
done

source scripts/lib/deps.sh
mzt_install_dependencies
mzt_configure_and_build -DMZT_BUILD_BENCHMARKS=ON >/dev/null

echo "== $(uname -n): $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)"
echo "== load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for name in "${names[@]}"; do
  "figure_$name"
done
echo "== load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$met of ${#figures[@]} targets met"
