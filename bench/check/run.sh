#!/usr/bin/env bash
# Times the whole console check (process start to exit) on generated
# catalogues of 1,000 / 10,000 / 100,000 patches with an installation of
# 10,000 patch records, beside jq selecting the same patches from the same
# file. Prints median wall time and peak memory of each. Other catalogue
# sizes can be given: 290000 patches come close to the largest catalogue the
# program accepts (100 MiB). With BEFORE=<build-dir> an older build is timed
# in the same run, for a before/after table.
# Usage: [BEFORE=dir] bench/check/run.sh [build-dir] [runs] [patches...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-5}
counts=("${@:3}")
((${#counts[@]})) || counts=(1000 10000 100000)
korvane=$build/bin/korvane
out=$root/bench/out/check
[[ -x $korvane ]] || { echo "build first: $korvane is missing" >&2; exit 1; }
before=${BEFORE:+$BEFORE/bin/korvane}
[[ -z $before || -x $before ]] || { echo "$before is missing" >&2; exit 1; }

# shellcheck source=bench/check/measure.sh
source "$root/bench/check/measure.sh"

printf '%-9s %-10s %12s %10s %12s %12s %10s' patches size "korvane s" "us/patch" "korvane MB" "jq s" "jq MB"
[[ -n $before ]] && printf ' %10s %10s' "before s" "before MB"
echo
for count in "${counts[@]}"; do
    dir=$out/$count
    rm -rf "$dir"
    python3 "$root/bench/check/generate.py" "$dir" "$count" 10000
    sync # the catalogue written back first: writing it back slowed what was timed first
    size=$(du -b "$dir/patches.json" | awk '{printf "%.1fMiB", $1 / 1048576}')
    HOME=$dir/home XDG_CONFIG_HOME='' DISPLAY='' "$korvane" -c -l "$dir/check.log" -u "file://$dir/patches.json" >/dev/null
    offered=$(grep -c 'Adding available patch' "$dir/check.log" || true)
    selected=$(jq --slurpfile inst "$dir/installed.json" -f "$root/bench/check/select.jq" "$dir/patches.json")
    read -r _ k_time k_mem _ < <(measure korvane env HOME="$dir/home" XDG_CONFIG_HOME= DISPLAY= \
        "$korvane" -c -u "file://$dir/patches.json")
    read -r _ j_time j_mem _ < <(measure jq jq --slurpfile inst "$dir/installed.json" \
        -f "$root/bench/check/select.jq" "$dir/patches.json")
    per=$(echo "$k_time * 1000000 / $count" | bc -l)
    printf '%-9s %-10s %12.3f %10.1f %12d %12.3f %10d' \
        "$count" "$size" "$k_time" "$per" "$k_mem" "$j_time" "$j_mem"
    if [[ -n $before ]]; then
        read -r _ b_time b_mem _ < <(measure before env HOME="$dir/home" XDG_CONFIG_HOME= DISPLAY= \
            "$before" -c -u "file://$dir/patches.json")
        printf ' %10.3f %10d' "$b_time" "$b_mem"
    fi
    printf '   (offered %s, jq selected %s)\n' "$offered" "$selected"
done
echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p')"
