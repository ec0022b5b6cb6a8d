#!/usr/bin/env bash
# Installs what is missing, builds, and runs a console check against the
# bundled sample installation in a throw-away HOME, then shows what the log
# says about the products and patches it found there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
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

log="$home/korvane-sample.log"
HOME="$home" XDG_CONFIG_HOME= "$root/build/bin/korvane" -c -v 2 -l "$log" "$@"

echo
echo "Installed products and patches found (from the log):"
if [[ -f "$log" ]]; then
    grep -E 'Reading Linux configuration|Found |HOME|Could not' "$log" \
        | sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}: //' || true
fi
