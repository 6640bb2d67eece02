#!/usr/bin/env bash
# Builds the Debian package from build/, unpacks it into a scratch root (the
# test machine's own system is left alone) and checks what a user gets: the
# runtime dependencies, the files in their places, the desktop entry and udev
# rule, the installed programs running from a read-only bin/ with their data
# under the user's XDG folders, and the developer tools' install component.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$PWD/build

work=$(mktemp -d "${TMPDIR:-/tmp}/mzt-package.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package test: $*" >&2; exit 1; }

echo "== cpack -G DEB"
cmake --build "$build" -j 2 >/dev/null
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/out/mzt-utility_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "   $(basename "$deb"): Depends: $depends"
for library in libc6 libstdc++6 libcurl4 libwxgtk3.2; do
  [[ $depends == *"$library"* ]] || fail "no dependency on $library"
done

root=$work/root
dpkg -x "$deb" "$root"
for file in bin/mzt bin/mzt-utility lib/udev/rules.d/60-mzt-utility.rules \
    share/applications/mzt-utility.desktop share/icons/hicolor/scalable/apps/mzt-utility.svg \
    share/icons/hicolor/48x48/apps/mzt-utility.png share/man/man1/mzt.1 share/man/man1/mzt-utility.1 \
    share/bash-completion/completions/mzt share/zsh/vendor-completions/_mzt share/doc/mzt-utility/README.md; do
  [ -s "$root/usr/$file" ] || fail "the package lacks /usr/$file"
done
dpkg-deb -c "$deb" | grep -q 'mzt-devsim\|mzt-updserver\|mzt-dbgen' && fail "the developer tools are in the package"
desktop-file-validate "$root/usr/share/applications/mzt-utility.desktop"
packaging/check-udev-rule.sh "$root/usr/lib/udev/rules.d/60-mzt-utility.rules"

echo "== The installed programs"
chmod -R a-w "$root/usr"
home=$work/home
mkdir "$home"
installed() { env -u MZT_HOME -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" "$@"; }
installed "$root/usr/bin/mzt" --version | grep -q '^MZT Utility Online  ' || fail "mzt --version"
installed "$root/usr/bin/mzt-utility" --version | grep -q '^MZT Utility Online  ' || fail "mzt-utility --version"

# The developer tools are a separate install component, outside the package.
cmake --install "$build" --prefix "$work/dev" --component devtools >/dev/null
for tool in mzt-devsim mzt-updserver mzt-dbgen; do
  "$work/dev/bin/$tool" --version | grep -q "^$tool (MZT Utility Online  " || fail "$tool --version"
done

mkdir "$work/db"
"$work/dev/bin/mzt-dbgen" --out "$work/db/DB.bin" --records 500 >/dev/null
installed "$root/usr/bin/mzt" split "$work/db/DB.bin" >"$work/split.out"
[ "$(wc -l <"$work/split.out")" -eq 3 ] || fail "split did not name three device files"
while read -r file; do [ -s "$file" ] || fail "split did not write $file"; done <"$work/split.out"

# Data and settings of an installed program go to the XDG folders, not next
# to the program: the device's POIs saved by export-poi land in ~/.local/share.
"$work/dev/bin/mzt-devsim" --pois 3 --link "$work/port" >"$work/devsim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/port" ] && break; sleep 0.05; done
installed "$root/usr/bin/mzt" export-poi --port "$work/port" >/dev/null 2>"$work/export.log" ||
  { cat "$work/export.log"; fail "export-poi with the installed mzt"; }
[ -s "$home/.local/share/mzt-utility/POI.csv" ] || fail "POI.csv is not in ~/.local/share/mzt-utility"
installed "$root/usr/bin/mzt" --data-dir | grep -qx "data folder: $home/.local/share/mzt-utility" ||
  fail "mzt --data-dir does not name ~/.local/share/mzt-utility"
# The installed doctor finds the rule installed with it.
installed "$root/usr/bin/mzt" doctor --port "$work/port" --server http://127.0.0.1:1/ >"$work/doctor.out" || true
grep -qx "udev rule: $root/usr/lib/udev/rules.d/60-mzt-utility.rules" "$work/doctor.out" ||
  { cat "$work/doctor.out"; fail "mzt doctor does not see the installed udev rule"; }
[ -z "$(find "$root" -newer "$deb" ! -type d)" ] || fail "the installed program wrote next to itself"
echo "   $(basename "$deb") installs and runs; data in ~/.local/share/mzt-utility"
