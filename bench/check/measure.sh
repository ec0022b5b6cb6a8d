# shellcheck shell=bash
# measure <label> <command...>: prints "<label> <median wall s> <max peak MB>
# <last exit status>" over $runs runs. Sourced by the check benchmarks.
measure() {
    local label=$1
    shift
    local times=() peak=0 status=0 stats
    stats=$(mktemp)
    for ((i = 0; i < ${runs:?}; i++)); do
        local start end rss
        start=$(date +%s.%N)
        status=0
        /usr/bin/time -f "%M" -o "$stats" "$@" >/dev/null 2>&1 || status=$?
        end=$(date +%s.%N)
        times+=("$(echo "$end - $start" | bc -l)")
        rss=$(($(tail -n 1 "$stats") / 1024))
        ((rss > peak)) && peak=$rss
    done
    rm -f "$stats"
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    printf "%s %.3f %d %d\n" "$label" "$median" "$peak" "$status"
}
