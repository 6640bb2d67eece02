#!/usr/bin/env bash
# Installs what is missing on a fresh Debian 12 machine, builds everything into
# build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/deps.sh
mzt_install_dependencies
mzt_configure_and_build
cd build
ctest --output-on-failure --timeout 600 -j 2 "$@"
