#!/usr/bin/env bash
# Times what a run costs before and besides the catalogue: korvane -h, the
# console check of the bundled sample, the monitoring check (-m) of the
# sample against reading its stored report (-m -f), and a check of a
# 1,000-patch catalogue beside jq selecting the same patches. Each is timed
# from process start to exit (median of `runs`), with its peak memory; with
# BEFORE=<build-dir> an older build is timed in the same run.
# Usage: [BEFORE=dir] bench/startup/run.sh [build-dir] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-21}
korvane=$build/bin/korvane
before=${BEFORE:+$BEFORE/bin/korvane}
out=$root/bench/out/startup
rm -rf "$out" && mkdir -p "$out/home"
host=$(hostname)
cp -a "$root/examples/sample-home/." "$out/home/"
for template in "$root"/examples/sample-home/ZEDO.properties.*; do
    suffix=${template##*/ZEDO.properties.}
    rm -f "$out/home/ZEDO.properties.$suffix"
    sed "s|@HOME@|$out/home|g" "$template" >"$out/home/.ZEDO.properties.$host.$suffix"
done
sample=file://$root/examples/catalogue/patches.json
python3 "$root/bench/check/generate.py" "$out/1000" 1000 10000 >/dev/null

# shellcheck source=bench/check/measure.sh
source "$root/bench/check/measure.sh"
# shown <label> <command...>: the figures of measure, in columns
shown() { measure "$@" | awk '{s = $(NF - 2); m = $(NF - 1); NF -= 3; printf "%-34s %8.3f s %5d MB\n", $0, s, m}'; }

run=(env HOME="$out/home" XDG_CONFIG_HOME= DISPLAY=)
"${run[@]}" "$korvane" -o "$out/report.json" -u "$sample" >/dev/null 2>&1 || true
for program in "$korvane" ${before:+"$before"}; do
    name=$([[ $program == "$korvane" ]] && echo after || echo before)
    shown "$name: korvane -h" "${run[@]}" "$program" -h
    shown "$name: korvane -c (sample)" "${run[@]}" "$program" -c -u "$sample"
    shown "$name: korvane -m (sample)" "${run[@]}" "$program" -m -u "$sample"
    [[ $name == after ]] && shown "$name: korvane -m -f (stored sample)" "${run[@]}" "$program" -m -f "$out/report.json"
    shown "$name: korvane -c (1,000 patches)" env HOME="$out/1000/home" XDG_CONFIG_HOME= \
        DISPLAY= "$program" -c -u "file://$out/1000/patches.json"
done
shown "jq (1,000 patches)" jq --slurpfile inst "$out/1000/installed.json" \
    -f "$root/bench/check/select.jq" "$out/1000/patches.json"
echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p')"
