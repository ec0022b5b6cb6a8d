#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run its sample and
# run its tests. As root it installs what is missing with apt-get; otherwise
# it prints the one command that would and fails.
set -euo pipefail

PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    curl tinyproxy jq time bc python3 util-linux ansible-core
    xvfb xauth trayer xdotool x11-utils imagemagick libxcb1-dev desktop-file-utils
)
# The catalogue is read with Boost.JSON (conflicts with libboost1.74-dev).
PACKAGES+=(libboost-json1.81-dev)
# scripts/sample.sh names the sample properties files after the host.
PACKAGES+=(hostname)
# The Debian package and its checks.
PACKAGES+=(dpkg-dev lintian desktop-file-utils groff-base)
# scripts/fuzz.sh: clang-15 with its libFuzzer and sanitizer runtimes.
PACKAGES+=(clang-15 libclang-common-15-dev)

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
