#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each for the given
# number of seconds (default 60), or with --runs until the given number of
# executions (seconds, when given too, cap the time), one job at a time,
# niced. New inputs go to build-fuzz/corpus/<target>; a crash, leak or
# time-out input is copied into fuzz/corpus/<target>/ so that the corpus
# replayers keep checking it, and the script then fails.
#
#   scripts/fuzz.sh [seconds] [target...]
#   scripts/fuzz.sh --runs executions [seconds] [target...]
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")/.."
source scripts/lib/deps.sh
MZT_PACKAGES+=(clang libclang-rt-14-dev)
mzt_install_dependencies
# The database and settings targets write a file per input: keep them in memory.
[ -d /dev/shm ] && export TMPDIR=${TMPDIR:-/dev/shm}

# libFuzzer stops at whichever limit it reaches first.
if [ "${1:-}" = --runs ]; then
  [[ "${2:-}" =~ ^[0-9]+$ ]] || { echo "usage: $0 --runs executions [seconds] [target...]" >&2; exit 2; }
  limit=(-runs="$2") what="$2 executions"
  shift 2
  if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    limit+=(-max_total_time="$1") what+=" or $1 s"
    shift
  fi
else
  [[ "${1:-60}" =~ ^[0-9]+$ ]] || { echo "usage: $0 [seconds] [target...]" >&2; exit 2; }
  limit=(-max_total_time="${1:-60}") what="${1:-60} s"
  shift || true
fi
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(link_stream replies database server_answer copy_data proxy_text settings_file)
fi

out=build-fuzz
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
  -DMZT_FUZZ=ON -DMZT_BUILD_TESTS=OFF -DMZT_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$out" -j 2 --target "${targets[@]/#/fuzz_}"

failed=()
for target in "${targets[@]}"; do
  seeds=$PWD/fuzz/corpus/$target
  work=$PWD/$out/corpus/$target
  logs=$PWD/$out/logs/$target
  bin=$PWD/$out/fuzz_$target
  mkdir -p "$work" "$logs"
  rm -f "$logs"/fuzz-*.log "$logs"/crash-* "$logs"/leak-* "$logs"/timeout-* "$logs"/oom-*
  dict=()
  [ -f "fuzz/dict/$target.dict" ] && dict=(-dict="$PWD/fuzz/dict/$target.dict")
  echo "== $target: $what"
  started=$SECONDS
  (cd "$logs" && nice "$bin" -jobs=1 "${limit[@]}" \
     -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$logs/" \
     "${dict[@]}" "$work" "$seeds" >/dev/null 2>&1) || true
  grep -E "^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)" \
    "$logs/fuzz-0.log" || true
  echo "time: $((SECONDS - started)) s"
  found=("$logs"/{crash,leak,timeout,oom}-*)
  if ((${#found[@]})) || grep -qE "ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer)|runtime error" "$logs/fuzz-0.log"; then
    ((${#found[@]})) && cp "${found[@]}" "$seeds/"
    echo "$target: FINDINGS, see $logs/fuzz-0.log" >&2
    failed+=("$target")
  fi
done

if ((${#failed[@]})); then
  echo "Fuzzing found problems in: ${failed[*]}" >&2
  exit 1
fi
echo "No crash, leak or time-out found."
