#!/usr/bin/env bash
# Installs what is missing on a fresh Debian 12 machine, builds everything into
# build/, runs every test, and then the demo (the user's first contact with
# the program must work too).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/deps.sh
mzt_install_dependencies
mzt_configure_and_build
(cd build && ctest --output-on-failure --timeout 600 -j 2 "$@")
echo "== Demo"
if ! ./scripts/demo.sh >build/demo.log 2>&1; then
  cat build/demo.log
  echo "The demo failed." >&2
  exit 1
fi
tail -n 12 build/demo.log
