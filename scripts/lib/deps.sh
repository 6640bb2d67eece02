# Shared by the scripts: the Debian packages the build and the tests need, and
# the configure-and-build step.

MZT_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libssl-dev libcpp-httplib-dev libinih-dev
  tinyproxy time
  libwxgtk3.2-dev wx3.2-i18n locales gettext xvfb openbox xdotool imagemagick fonts-noto-cjk
  dpkg-dev desktop-file-utils librsvg2-bin lintian appstream
)
# Only the Windows pass needs these: the cross compiler and Wine to run its programs.
MZT_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64)

# Installs MZT_PACKAGES, or the packages given.
mzt_install_dependencies() {
  local missing=() wanted=("$@")
  ((${#wanted[@]})) || wanted=("${MZT_PACKAGES[@]}")
  for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
  mzt_make_taiwan_locale
}

# zh_TW.UTF-8, which the program's catalogue is for; a fresh Debian machine
# has only C. (The tests build their own copy with LOCPATH.)
mzt_make_taiwan_locale() {
  locale -a 2>/dev/null | grep -qi '^zh_TW\.utf-\?8$' && return
  command -v localedef >/dev/null || return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Making the zh_TW.UTF-8 locale"
  "${sudo[@]}" localedef -i zh_TW -f UTF-8 zh_TW.UTF-8
}

# The distribution's hardening flags (every feature, immediate binding too) as
# cmake arguments, in MZT_HARDENING. CMake reads no CPPFLAGS: the
# preprocessor's flags (_FORTIFY_SOURCE) go with the compiler's.
mzt_hardening_flags() {
  local get=(env DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get)
  MZT_HARDENING=("-DCMAKE_CXX_FLAGS=$("${get[@]}" CPPFLAGS) $("${get[@]}" CXXFLAGS)"
                 "-DCMAKE_EXE_LINKER_FLAGS=$("${get[@]}" LDFLAGS)")
}

# The developer build in build/, with the packages' flags so that the package
# test packs what the tests ran. Further arguments go to cmake's configure step.
mzt_configure_and_build() {
  mzt_hardening_flags
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${MZT_HARDENING[@]}" "$@" >/dev/null
  cmake --build build -j 2
}

# A sanitizer build from CMakePresets.json (asan, tsan) into its own folder.
mzt_configure_and_build_preset() {
  cmake --preset "$1" >/dev/null
  cmake --build "build-$1" -j 2
}

# The Windows programs, cross-built with mingw-w64 into build-win/.
mzt_configure_and_build_windows() {
  cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMZT_BUILD_BENCHMARKS=OFF >/dev/null
  cmake --build build-win -j 2
}
