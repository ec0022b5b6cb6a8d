#!/usr/bin/env bash
# Installs the Debian packages the project needs: with "build", what building
# and running the program needs; with "package", that and dpkg-dev; with
# "test", that and what the tests need.
# As root it installs what is missing with apt-get; otherwise it prints the one
# command that would and fails.
# Usage: scripts/deps.sh build|package|test
set -euo pipefail

BUILD=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    # The catalogue is read with Boost.JSON (conflicts with libboost1.74-dev).
    libboost-json1.81-dev
    # The built-in client unpacks a compressed catalogue with zlib.
    zlib1g-dev
    # scripts/sample.sh names the sample properties files after the host.
    hostname
)
TEST=(
    # Downloads, proxies and what the end-to-end cases measure with.
    curl tinyproxy jq time bc python3 util-linux
    # The desktop under Xvfb, with a tray host; a notification server on a bus
    # of its own; a Wayland compositor; GLib's launcher.
    xvfb xauth trayer xdotool x11-utils imagemagick desktop-file-utils
    dunst dbus-daemon dbus-bin weston qt6-wayland libglib2.0-bin
    # The examples (Ansible, Icinga 2), the Debian packages and the systemd
    # units.
    ansible-core icinga2-bin icinga2-common dpkg-dev lintian groff-base systemd sudo
    # The metrics: promtool and a real node-exporter scraping them.
    prometheus prometheus-node-exporter
    # The shell scripts and the bash completion, checked and run.
    shellcheck bash-completion
    # scripts/fuzz.sh: clang-15 with its libFuzzer and sanitizer runtimes;
    # the formatting check.
    clang-15 libclang-common-15-dev clang-format-15
)
case ${1:-} in
    build) PACKAGES=("${BUILD[@]}") ;;
    package) PACKAGES=("${BUILD[@]}" dpkg-dev) ;;
    test) PACKAGES=("${BUILD[@]}" "${TEST[@]}") ;;
    *) echo "Usage: $0 build|package|test" >&2; exit 2 ;;
esac

missing=()
for package in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    echo "Missing Debian packages. Install them with:" >&2
    echo "sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
