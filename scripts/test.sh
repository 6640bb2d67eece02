#!/usr/bin/env bash
# Installs what is missing on a fresh Debian 12 machine, builds everything and
# runs every test, then the demo (the user's first contact with the program
# must work too), then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
#
#   scripts/test.sh            all of the above
#   scripts/test.sh --plain    the plain build, its tests and the demo only
#   scripts/test.sh --asan     only the AddressSanitizer/UBSan pass (build-asan/)
#   scripts/test.sh --tsan     the threaded suites under ThreadSanitizer (build-tsan/)
#   scripts/test.sh --windows  the Windows programs (build-win/) under Wine
# Further arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

# The tests' reply time-outs are scaled down to 250 ms or so; on a machine
# busy with other work a reply can miss one now and then. A test that fails
# again on its second run is a fault; one that passes was the machine.
retry=(--repeat until-pass:2)
source scripts/lib/deps.sh

passes=(plain asan tsan windows)
case "${1:-}" in
  --plain|--asan|--tsan|--windows) passes=("${1#--}"); shift ;;
esac

mzt_install_dependencies

run_plain() {
  mzt_configure_and_build
  (cd build && ctest --output-on-failure --timeout 600 -j 2 "${retry[@]}" "$@")
  echo "== Demo"
  if ! ./scripts/demo.sh >build/demo.log 2>&1; then
    cat build/demo.log
    echo "The demo failed." >&2
    exit 1
  fi
  tail -n 12 build/demo.log
  echo "== Debian package"
  ./scripts/package-test.sh
}

run_asan() {
  echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
  mzt_configure_and_build_preset asan
  # The window's smoke tests stay in the plain pass: the toolkit's own
  # libraries (fontconfig's caches) hold memory to the end of the process,
  # which LeakSanitizer reports as leaks.
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure --timeout 600 -j 2 -E '^GuiSmokeTest[.]' "${retry[@]}" "$@")
}

run_tsan() {
  echo "== ThreadSanitizer (threaded suites)"
  mzt_configure_and_build_preset tsan
  # Ctrl-C at a question stays in the other passes: ThreadSanitizer runs a
  # signal's handler once the thread passes one of its hooks, and the C
  # library reads the terminal inside itself, so the read (restarted after the
  # signal) waits for a key that never comes.
  (cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --output-on-failure --timeout 600 -j 2 -L threaded -E '/AtTheQuestion$' \
    "${retry[@]}" "$@")
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
