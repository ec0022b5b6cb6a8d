#!/usr/bin/env bash
# Builds the two Debian packages from a build folder and checks them as an
# administrator would meet them: lintian, the maintainer scripts of korvane
# under dpkg, the Depends lines, the files of each, the console program of korvane alone (the packaging cases, a run that
# asks for a window; the test console-links-no-gui checks its libraries), and
# the desktop part under Xvfb with both packages.
# Usage: check_package.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in cpack lintian dpkg-deb desktop-file-validate groff Xvfb; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/test.sh installs it)"; exit 77; }
done
work=$(mktemp -d /tmp/korvane-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" ||
    { cat "$work/cpack.log"; exit 1; }
version=$(sed -n 's/^project(Korvane VERSION \([^ ]*\).*/\1/p' "$root/CMakeLists.txt")
console=$work/out/korvane_${version}_amd64.deb
desktop=$work/out/korvane-desktop_${version}_amd64.deb
lintian --fail-on error,warning --tag-display-limit 0 "$console" "$desktop"
# What the maintainer scripts of korvane do on remove and purge.
"$root/tests/package/check_maintainer_scripts.sh" "$console"

field() { dpkg-deb -f "$1" "$2"; }
[[ $(field "$console" Depends) != *libqt6gui6* && $(field "$console" Depends) != *libqt6widgets6* &&
    $(field "$console" Depends) != *libxcb* && $(field "$console" Depends) != *libx11* ]] ||
    fail "korvane depends on a GUI library: $(field "$console" Depends)"
[[ $(field "$console" Suggests) == korvane-desktop && $(field "$console" Recommends) == curl ]] ||
    fail "korvane must suggest (not recommend) korvane-desktop and recommend curl"
[[ $(field "$desktop" Depends) == "korvane (= $version), qt6-wayland,"*libqt6widgets6* ]] ||
    fail "korvane-desktop Depends: $(field "$desktop" Depends)"
for relation in Replaces Breaks; do
    [[ $(field "$desktop" $relation) == "korvane (<< 1.1.0)" ]] || fail "korvane-desktop $relation"
done

dpkg-deb -x "$console" "$work/console"
dpkg-deb -x "$console" "$work/both"
dpkg-deb -x "$desktop" "$work/both"
has() { for file in "${@:2}"; do [[ -e $1/$file ]] || fail "$file is not in ${1##*/}"; done; }
has "$work/console" opt/korvane/bin/korvane opt/korvane/bin/locale/korvane_de.qm \
    usr/share/bash-completion/completions/korvane usr/share/man/man1/korvane.1.gz \
    lib/systemd/system/korvane@.service lib/systemd/system/korvane@.timer \
    usr/share/doc/korvane/examples/monitoring/sudoers.example usr/share/doc/korvane/copyright
[[ ! -e $work/console/opt/korvane/bin/korvane-desktop && ! -e $work/console/opt/korvane/korvane_alert ]] ||
    fail "the desktop part is in korvane"
has "$work/both" opt/korvane/bin/korvane-desktop opt/korvane/korvane_alert \
    usr/share/icons/hicolor/256x256/apps/korvane.png usr/share/doc/korvane-desktop/copyright
[[ $(readlink "$work/console/usr/bin/korvane") == /opt/korvane/bin/korvane ]] || fail "/usr/bin/korvane"
desktop-file-validate "$work/both/usr/share/applications/korvane.desktop"
warnings=$(zcat "$work/console/usr/share/man/man1/korvane.1.gz" | groff -t -man -ww -z 2>&1)
[[ -z $warnings ]] || fail "manual page: $warnings"
zgrep -q "^\.TH KORVANE 1 .* \"Korvane $version\"" "$work/console/usr/share/man/man1/korvane.1.gz" ||
    fail "the manual page does not name version $version"

# The monitoring example: sudo allows exactly the one command line the
# CheckCommand runs, and nothing with wildcards.
examples=$work/console/usr/share/doc/korvane/examples/monitoring
allowed=$(sed -n 's/^nagios ALL=(brivex) NOPASSWD: //p' "$examples/sudoers.example")
# shellcheck disable=SC2016 # Icinga's own macro, not the shell's
runs=$(sed -n 's/.*"\$korvane_user\$", \(.*\) \]$/\1/p' "$examples/korvane-commands.conf" | tr -d '",')
[[ -n $allowed && $allowed == "$runs" && $allowed != *'*'* ]] ||
    fail "sudoers.example allows '$allowed', the CheckCommand runs '$runs'"
if command -v visudo >/dev/null; then visudo -cqf "$examples/sudoers.example"; fi

# The programs, started through the link as if installed (an extracted /opt
# mounted over /opt in a namespace of its own): korvane alone passes the
# packaging cases and runs a window's check in console mode; with both
# packages the report window opens and closes.
run() { # TREE CASE...
    # shellcheck disable=SC2016 # expanded by the inner shell
    unshare -rm sh -c 'tree=$1 && shift && mount --bind "$tree/opt" /opt && for case in "$@"; do
        python3 "$0/tests/e2e/run_case.py" --korvane "$tree/usr/bin/korvane" "$case" || exit 1
    done' "$root" "$@"
}
run "$work/console" "$root"/tests/e2e/cases/packaging/*.toml \
    "$root/tests/package/cases/desktop-part-missing.toml"
run "$work/both" "$root/tests/e2e/cases/desktop/desktop-failed-check-shown-in-the-window.toml"
echo "PASS: korvane and korvane-desktop $version"
