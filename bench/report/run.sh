#!/usr/bin/env bash
# Times -f on stored reports (bench/report/generate.py): the reports of 1,000,
# 10,000 and 100,000 updates and the worst documents of the size cap (nested
# arrays, many small objects, long texts, deep nesting), each with -m, -c and
# -j. Prints median wall time, peak memory and exit status; with
# BEFORE=<build-dir> an older build is timed in the same run.
# Usage: [BEFORE=dir] bench/report/run.sh [build-dir] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-5}
korvane=$build/bin/korvane
out=$root/bench/out/report
[[ -x $korvane ]] || { echo "build first: $korvane is missing" >&2; exit 1; }
before=${BEFORE:+$BEFORE/bin/korvane}
[[ -z $before || -x $before ]] || { echo "$before is missing" >&2; exit 1; }
# shellcheck source=bench/check/measure.sh
source "$root/bench/check/measure.sh"

rm -rf "$out"
python3 "$root/bench/report/generate.py" "$out"
sync # written back before anything is timed

printf '%-22s %-3s %10s %8s %6s' report mode "korvane s" MB exit
[[ -n $before ]] && printf ' %10s %8s %6s' "before s" MB exit
echo
for name in updates-1000 updates-10000 updates-100000 nested small-objects long-strings deep; do
    for mode in -m -c -j; do
        read -r _ k_time k_mem k_status < <(measure korvane "$korvane" "$mode" -f "$out/$name.json" -a 8760)
        printf '%-22s %-3s %10.3f %8d %6d' "$name" "$mode" "$k_time" "$k_mem" "$k_status"
        if [[ -n $before ]]; then
            read -r _ b_time b_mem b_status < <(measure before "$before" "$mode" -f "$out/$name.json" -a 8760)
            printf ' %10.3f %8d %6d' "$b_time" "$b_mem" "$b_status"
        fi
        echo
    done
done
