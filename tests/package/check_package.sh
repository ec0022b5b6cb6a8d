#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it as an
# administrator would meet it: lintian, the Depends line, the menu entry, the
# manual page, and the installed program run through /usr/bin/korvane.
# Usage: check_package.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in cpack lintian dpkg-deb desktop-file-validate groff; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/deps.sh installs it)"; exit 77; }
done
work=$(mktemp -d /tmp/korvane-package.XXXXXX)
trap 'rm -rf "$work"' EXIT

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" ||
    { cat "$work/cpack.log"; exit 1; }
deb=$work/out/korvane_1.0.0_amd64.deb
lintian --fail-on error --tag-display-limit 0 "$deb"

fail() { echo "FAIL: $*"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6widgets6 libqt6network6; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
[[ $(dpkg-deb -f "$deb" Recommends) == *curl* ]] || fail "curl is not recommended"

dpkg-deb -x "$deb" "$work/root"
r=$work/root
[[ -x $r/opt/korvane/korvane_alert ]] || fail "the log-on launcher is not in the package"
for file in opt/korvane/bin/korvane opt/korvane/bin/locale/korvane_de.qm \
    usr/share/icons/hicolor/256x256/apps/korvane.png usr/share/doc/korvane/copyright \
    usr/share/doc/korvane/changelog.gz; do
    [[ -f $r/$file ]] || fail "$file is not in the package"
done
[[ $(readlink "$r/usr/bin/korvane") == /opt/korvane/bin/korvane ]] || fail "/usr/bin/korvane"
desktop-file-validate "$r/usr/share/applications/korvane.desktop"
grep -qx 'Name=Korvane' "$r/usr/share/applications/korvane.desktop" || fail "menu entry name"
warnings=$(zcat "$r/usr/share/man/man1/korvane.1.gz" | groff -man -ww -z 2>&1)
[[ -z $warnings ]] || fail "manual page: $warnings"

# The program, started through the link as if installed (the extracted /opt
# mounted over /opt in a namespace of its own), passes the packaging cases: it
# finds its translation beside itself and reports on the sample installation.
unshare -rm sh -c 'mount --bind "$1/opt" /opt && for case in "$2"/tests/e2e/cases/packaging/*.toml; do
    python3 "$2/tests/e2e/run_case.py" --korvane "$1/usr/bin/korvane" "$case" || exit 1
done' sh "$r" "$root"
echo "PASS: $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version)"
