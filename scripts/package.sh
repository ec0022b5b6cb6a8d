#!/usr/bin/env bash
# Installs what is missing, builds a release of the program and makes the
# Debian package korvane_<version>_amd64.deb in the project's root folder.
# Usage: scripts/package.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-package}
"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/opt/korvane \
    -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCH=OFF
(cd "$build" && cpack -G DEB -B "$root")
ls -l "$root"/korvane_*.deb
