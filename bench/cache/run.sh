#!/usr/bin/env bash
# What a check of an unchanged catalogue costs: a catalogue of 100,000
# patches (about 35 MiB) served on loopback with an ETag and a Last-Modified;
# for the built-in client and for curl, the first check (everything) and the
# next ones (a 304 and the kept copy read), beside the same check of the file
# itself (file://). Prints the bytes that crossed loopback in both directions
# (TCP/IP headers included: the run is alone in a network namespace of its
# own, so the loopback counters hold nothing else), the median wall time and
# the peak memory.
# Usage: bench/cache/run.sh [build-dir] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-11}
korvane=$build/bin/korvane
[[ -x $korvane ]] || { echo "build first: $korvane is missing" >&2; exit 1; }
if [[ ${KORVANE_BENCH_NS:-} != 1 ]]; then
    KORVANE_BENCH_NS=1 exec unshare -rn "$0" "$build" "$runs"
fi
ip link set lo up
out=$root/bench/out/cache
rm -rf "$out"
python3 "$root/bench/check/generate.py" "$out" 100000 10000
sync

PYTHONPATH=$root/tests/support python3 -c '
import sys, time, loopback
route = {"file": sys.argv[1], "etags": ["\"v1\""], "last_modified": "Mon, 07 Dec 2026 00:00:00 GMT"}
server, port = loopback.start_http({"/patches.json": route}, sys.argv[2])
print(port, flush=True)
time.sleep(86400)' "$out/patches.json" "$out/hits.log" >"$out/port" &
server=$!
trap 'kill $server' EXIT
for _ in $(seq 50); do [[ -s $out/port ]] && break; sleep 0.1; done
url=http://127.0.0.1:$(cat "$out/port")/patches.json

# shellcheck source=bench/check/measure.sh
source "$root/bench/check/measure.sh"
# /proc, not /sys: /sys shows the namespace it was mounted in.
moved() { awk '$1 == "lo:" { print $2 }' /proc/net/dev; }
check() { # CACHE-FOLDER ARGS...: the command of a check
    command=(env HOME="$out/home" XDG_CONFIG_HOME='' XDG_CACHE_HOME="$1" DISPLAY='' "$korvane" -c "${@:2}")
}

printf '%-28s %12s %10s %8s\n' run "bytes moved" "median s" "peak MB"
check "$out/cache-file" -u "file://$out/patches.json"
read -r _ time peak _ < <(measure file "${command[@]}")
printf '%-28s %12s %10s %8s\n' "file://" - "$time" "$peak"
for client in builtin curl; do
    args=(-u "$url")
    [[ $client == curl ]] && args+=(-r)
    cache=$out/cache-$client
    check "$cache" "${args[@]}"
    before=$(moved)
    "${command[@]}" >/dev/null
    first=$(($(moved) - before))
    before=$(moved)
    "${command[@]}" >/dev/null
    again=$(($(moved) - before))
    read -r _ time peak status < <(measure "$client" "${command[@]}")
    [[ $status == 0 ]] || echo "the check exited $status" >&2
    printf '%-28s %12s %10s %8s\n' "$client, first check" "$first" - -
    printf '%-28s %12s %10s %8s\n' "$client, unchanged (304)" "$again" "$time" "$peak"
done
echo "server saw (method path status body-bytes):"
sort "$out/hits.log" | uniq -c
