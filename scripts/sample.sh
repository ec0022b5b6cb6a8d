#!/usr/bin/env bash
# Installs what is missing, builds, and runs a console check of the bundled
# sample installation (in a throw-away HOME) against the bundled sample
# catalogue. Extra arguments are passed to korvane.
# Usage: scripts/sample.sh [--desktop] [korvane arguments...]
#   --desktop: the report window instead of the console (needs a display).
set -euo pipefail
mode=(-c)
if [[ "${1:-}" == "--desktop" ]]; then
    mode=()
    shift
fi
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" build
"$root/scripts/build.sh" "$root/build"

home=$(mktemp -d /tmp/korvane-sample-home.XXXXXX)
trap 'rm -rf "$home"' EXIT
echo "Sample HOME: $home"

# The installer names its properties files after the machine, and they hold
# absolute paths: write them for this host and this HOME.
sample="$root/examples/sample-home"
cp -a "$sample/." "$home/"
host=$(hostname)
for template in "$sample"/ZEDO.properties.*; do
    suffix=${template##*/ZEDO.properties.}
    rm -f "$home/ZEDO.properties.$suffix"
    sed "s|@HOME@|$home|g" "$template" >"$home/.ZEDO.properties.$host.$suffix"
done

HOME="$home" XDG_CONFIG_HOME='' "$root/build/bin/korvane" "${mode[@]}" \
    -u "file://$root/examples/catalogue/patches.json" "$@"
