#!/usr/bin/env bash
# Installs what is missing on a fresh Debian 12 machine, then runs four passes,
# one after the other, each building its own folder from scratch. On the
# 2-core build machine from a fresh clone the four take about 25 minutes,
# most of it building; the tests' own time is given for each:
#
#   plain    build/: everything, the whole suite (about 1 min), the demo
#            and the Debian package
#   asan     build-asan/: the whole suite but the window's smoke tests under
#            AddressSanitizer and UBSan (about 1 min); built as a unity build
#            (a third less compiler time)
#   tsan     build-tsan/: the threaded suites under ThreadSanitizer
#            (about 1.5 min)
#   windows  build-win/: the Windows programs and their tests under Wine
#            (about 1 min)
#
#   scripts/test.sh            all four, as CI runs them (about 25 min)
#   scripts/test.sh --plain    the plain pass alone: what to run while working
#   scripts/test.sh --asan     the AddressSanitizer/UBSan pass alone
#   scripts/test.sh --tsan     the ThreadSanitizer pass alone
#   scripts/test.sh --windows  the Windows pass alone
# Further arguments go to ctest. Each pass ends by naming the tests that
# passed only on their second run.
set -euo pipefail
cd "$(dirname "$0")/.."

# The tests' reply time-outs are scaled down to 250 ms or so; on a machine
# busy with other work a reply can miss one now and then. A test that fails
# again on its second run is a fault; one that passes was the machine, or a
# test that fails now and then: each pass names them, to be mended.
retry=(--repeat until-pass:2)
source scripts/lib/deps.sh

passes=(plain asan tsan windows)
case "${1:-}" in
  --plain|--asan|--tsan|--windows) passes=("${1#--}"); shift ;;
esac

mzt_install_dependencies

# Names the tests of the last ctest run in build folder $1 that failed and
# then passed on their rerun, from ctest's own log of every run.
retried_tests() {
  awk '
    /^[0-9]+\/[0-9]+ Test: / { name = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", name); next }
    /^<end of output>$/ { ended = 1; next }
    ended && /^Test (Passed|Failed)\.$/ {
      ended = 0
      if ($2 == "Failed.") failed[name] = 1
      else if (name in failed) print name
    }' "$1/Testing/Temporary/LastTest.log" | sort -u
}

# Runs ctest in build folder $1 for pass $2 with the rerun, and says which
# tests needed their second run (also when a test failed both runs).
run_ctest() {
  local dir="$1" pass="$2" rc=0
  shift 2
  (cd "$dir" && ctest --output-on-failure --timeout 600 -j 2 "${retry[@]}" "$@") || rc=$?
  local names
  names="$(retried_tests "$dir")"
  {
    echo "== Tests that passed only on their second run ($pass pass): $(grep -c . <<<"$names")"
    [ -z "$names" ] || sed "s/^/   $pass: /" <<<"$names"
  } | tee "$dir/retried-tests.txt"
  return "$rc"
}

run_plain() {
  mzt_configure_and_build
  run_ctest build plain "$@"
  echo "== Demo"
  if ! ./scripts/demo.sh >build/demo.log 2>&1; then
    cat build/demo.log
    echo "The demo failed." >&2
    exit 1
  fi
  tail -n 12 build/demo.log
  echo "== Debian package"
  ./scripts/package-test.sh
  cat build/retried-tests.txt
}

run_asan() {
  echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
  # The preset leaves the window out (its smoke tests stay in the plain pass:
  # the toolkit's own libraries, fontconfig's caches, hold memory to the end of
  # the process, which LeakSanitizer reports as leaks) and builds at -O1 -g1,
  # which the sanitizers need no more than and which builds faster.
  mzt_configure_and_build_preset asan
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan-suppressions.txt" run_ctest build-asan asan "$@"
}

run_tsan() {
  echo "== ThreadSanitizer (threaded suites)"
  # Only what the threaded suites run: no window, no fuzz replayers.
  cmake --preset tsan >/dev/null
  cmake --build build-tsan -j 2 --target mzt_threaded_suites
  # Ctrl-C at a question stays in the other passes: ThreadSanitizer runs a
  # signal's handler once the thread passes one of its hooks, and the C
  # library reads the terminal inside itself, so the read (restarted after the
  # signal) waits for a key that never comes.
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    run_ctest build-tsan tsan -L threaded -E '/AtTheQuestion$' "$@"
}

run_windows() {
  echo "== Windows programs under Wine"
  mzt_install_dependencies "${MZT_WINDOWS_PACKAGES[@]}"
  mzt_configure_and_build_windows
  # The simulated device and the update server are the Linux ones.
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j 2 --target mzt mzt-devsim mzt-updserver mzt-dbgen
  tests/windows/run-wine-tests.sh build-win build
  tests/windows/run-wine-gui.sh build-win build
}

for pass in "${passes[@]}"; do
  "run_$pass" "$@"
done
