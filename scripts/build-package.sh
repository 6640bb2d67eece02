#!/usr/bin/env bash
# Builds the Debian packages "mzt" (the command line) and "mzt-utility" (the
# window) in their own build folder, with the distribution's hardening flags
# (dpkg-buildflags), apart from the developer build in build/. Arguments go to
# cmake's configure step, e.g. -DMZT_UPDATE_SERVER_URL=https://updates.example.com/.
# MZT_PACKAGE_BUILD names the build folder (build-deb), MZT_PACKAGE_OUT the
# folder the packages land in (the build folder).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MZT_PACKAGE_BUILD:-$PWD/build-deb}
out=${MZT_PACKAGE_OUT:-$build}

# Every hardening feature, immediate binding (BIND_NOW) too.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
# CMake reads no CPPFLAGS: the preprocessor's flags (_FORTIFY_SOURCE) go with
# the compiler's. Given on the command line, they apply to an existing folder too.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMZT_BUILD_TESTS=OFF -DMZT_BUILD_BENCHMARKS=OFF -DMZT_BUILD_TOOLS=OFF \
  "-DCMAKE_CXX_FLAGS=$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)" "$@" >/dev/null
cmake --build "$build" -j 2
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
ls "$out"/*.deb
