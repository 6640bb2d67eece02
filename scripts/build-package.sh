#!/usr/bin/env bash
# Builds the Debian packages "mzt" (the command line) and "mzt-utility" (the
# window) in their own build folder, with the distribution's hardening flags
# (dpkg-buildflags), apart from the developer build in build/. Arguments go to
# cmake's configure step, e.g. -DMZT_UPDATE_SERVER_URL=https://updates.example.com/.
# MZT_PACKAGE_OUT names the folder the packages land in (the build folder);
# MZT_PACKAGE_BUILD=build packs the developer build, which scripts/lib/deps.sh
# configures with the same flags.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/deps.sh
if [ -n "${MZT_PACKAGE_BUILD:-}" ]; then
  build=$MZT_PACKAGE_BUILD
  only=()
else
  build=$PWD/build-deb
  only=(-DMZT_BUILD_TESTS=OFF -DMZT_BUILD_BENCHMARKS=OFF -DMZT_BUILD_TOOLS=OFF)
fi
out=${MZT_PACKAGE_OUT:-$build}

mzt_hardening_flags
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${only[@]}" "${MZT_HARDENING[@]}" "$@" >/dev/null
cmake --build "$build" -j 2
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
ls "$out"/*.deb
