#!/usr/bin/env bash
# Installs what is missing, builds a release of the program outside the source
# tree and makes the two Debian packages there: korvane_<version>_amd64.deb
# (the console program) and korvane-desktop_<version>_amd64.deb.
# Usage: scripts/package.sh [build-dir]   (packages in <build-dir>/packages)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-package}
"$root/scripts/deps.sh" package
"$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/opt/korvane \
    -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCH=OFF
(cd "$build" && cpack -G DEB -B "$build/packages")
ls -l "$build"/packages/*.deb
