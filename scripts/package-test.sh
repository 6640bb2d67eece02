#!/usr/bin/env bash
# Packs the developer build in build/ as scripts/build-package.sh does, checks them as
# a packager would (lintian, AppStream, the desktop entry), unpacks both into a
# scratch root (the test machine's own system is left alone) and checks what a
# user gets: the runtime dependencies (the command line's without GTK), the
# files in their places, the udev rule, the installed programs running from a
# read-only bin/ with their data under the user's XDG folders, and the
# developer tools' install component (taken from the developer build in build/).
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

echo "== The packages"
MZT_PACKAGE_BUILD=$build MZT_PACKAGE_OUT=$work/out ./scripts/build-package.sh >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "the package build failed"; }
cli=$(ls "$work"/out/mzt_*.deb)
gui=$(ls "$work"/out/mzt-utility_*.deb)
version=$(dpkg-deb -f "$cli" Version)
cli_depends=$(dpkg-deb -f "$cli" Depends)
gui_depends=$(dpkg-deb -f "$gui" Depends)
echo "   $(basename "$cli"): Depends: $cli_depends"
echo "   $(basename "$gui"): Depends: $gui_depends"
for library in libc6 libstdc++6 libcurl4; do
  [[ $cli_depends == *"$library"* ]] || fail "mzt does not depend on $library"
done
[[ $cli_depends != *gtk* && $cli_depends != *libwx* ]] || fail "mzt depends on the toolkit"
[[ $gui_depends == *libwxgtk3.2* ]] || fail "mzt-utility does not depend on libwxgtk3.2"
[[ $gui_depends == *"mzt (= $version)"* ]] || fail "mzt-utility does not depend on mzt (= $version)"

echo "== lintian"
lintian --fail-on error,warning --tag-display-limit 0 "$cli" "$gui" >"$work/lintian.out" 2>"$work/lintian.err" ||
  { cat "$work/lintian.out" "$work/lintian.err"; fail "lintian finds errors or warnings"; }
cat "$work/lintian.out"

root=$work/root
dpkg -x "$cli" "$root"
dpkg -x "$gui" "$root"
files_of() { dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./usr/||'; }
cli_files=$(files_of "$cli")
gui_files=$(files_of "$gui")
for file in bin/mzt lib/udev/rules.d/60-mzt-utility.rules share/man/man1/mzt.1.gz \
    share/bash-completion/completions/mzt share/zsh/vendor-completions/_mzt share/doc/mzt/README.md \
    share/doc/mzt/copyright share/doc/mzt/changelog.gz; do
  grep -qx "$file" <<<"$cli_files" || fail "mzt lacks /usr/$file"
done
for file in bin/mzt-utility share/man/man1/mzt-utility.1.gz share/applications/mzt-utility.desktop \
    share/icons/hicolor/scalable/apps/mzt-utility.svg share/icons/hicolor/48x48/apps/mzt-utility.png \
    share/metainfo/io.github.mzt_utility.MztUtility.metainfo.xml \
    share/doc/mzt-utility/copyright share/doc/mzt-utility/changelog.gz; do
  grep -qx "$file" <<<"$gui_files" || fail "mzt-utility lacks /usr/$file"
done
for file in $cli_files $gui_files; do
  [[ $file == */ ]] || [ -s "$root/usr/$file" ] || [ -L "$root/usr/$file" ] || fail "/usr/$file is empty"
done
grep -q 'mzt-devsim\|mzt-updserver\|mzt-dbgen' <<<"$cli_files$gui_files" && fail "the developer tools are in a package"
desktop-file-validate "$root/usr/share/applications/mzt-utility.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.mzt_utility.MztUtility.metainfo.xml" >"$work/appstream.out" ||
  { cat "$work/appstream.out"; fail "the AppStream metadata does not validate"; }
grep -q "<release version=\"$version\" date=\"[0-9-]*\"" "$root/usr/share/metainfo/io.github.mzt_utility.MztUtility.metainfo.xml" ||
  fail "the AppStream metadata does not name release $version"
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
# The scratch root is no folder udev reads rules from: the installed doctor
# must not count the rule unpacked there as installed.
installed "$root/usr/bin/mzt" doctor --port "$work/port" --server http://127.0.0.1:1/ >"$work/doctor.out" || true
grep -qx "udev rule: not installed" "$work/doctor.out" ||
  { cat "$work/doctor.out"; fail "mzt doctor counts a rule udev does not read"; }
[ -z "$(find "$root" -newer "$gui" ! -type d)" ] || fail "the installed program wrote next to itself"
echo "   both packages install and run; data in ~/.local/share/mzt-utility"
