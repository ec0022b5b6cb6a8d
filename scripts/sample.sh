#!/usr/bin/env bash
# Installs what is missing, builds, and runs a console check against the
# bundled sample installation in a throw-away HOME.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$root/build"

home=$(mktemp -d /tmp/korvane-sample-home.XXXXXX)
trap 'rm -rf "$home"' EXIT
echo "Sample HOME: $home"
HOME="$home" XDG_CONFIG_HOME= "$root/build/bin/korvane" -c "$@"
