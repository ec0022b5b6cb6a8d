#!/usr/bin/env bash
# Times the console check on the largest catalogues the program accepts, with
# the time limit -t 5: the generated catalogue of 289,000 patches (99.7 MiB)
# and a 99 MiB catalogue whose member names are escaped
# ({"\u0078":[[0],[0],...],"Product":[]}, escaped.py), each read from file://,
# over HTTP from python3's http.server on 127.0.0.1 with the built-in client
# and with curl (-r), and with a verbose log (-v 2). Prints median wall time,
# peak memory and exit status of each; with BEFORE=<build-dir> an older build
# is timed in the same run.
# Usage: [BEFORE=dir] bench/check/large.sh [build-dir] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-3}
korvane=$build/bin/korvane
out=$root/bench/out/large
[[ -x $korvane ]] || { echo "build first: $korvane is missing" >&2; exit 1; }
before=${BEFORE:+$BEFORE/bin/korvane}
[[ -z $before || -x $before ]] || { echo "$before is missing" >&2; exit 1; }
# shellcheck source=bench/check/measure.sh
source "$root/bench/check/measure.sh"

rm -rf "$out"
mkdir -p "$out"
python3 "$root/bench/check/generate.py" "$out/largest" 289000 10000
python3 "$root/bench/check/escaped.py" "$out/escaped.json"
sync # written back before anything is timed
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$out" >/dev/null 2>&1 &
server=$!
trap 'kill $server' EXIT
sleep 1

home=(env HOME="$out/largest/home" XDG_CONFIG_HOME= DISPLAY=)

printf '%-22s %-26s %10s %8s %6s' catalogue path "korvane s" "MB" exit
[[ -n $before ]] && printf ' %10s %8s %6s' "before s" "MB" exit
echo
for name in largest/patches.json escaped.json; do
    for path in file builtin curl "file -v 2" "builtin -v 2"; do
        read -r client verbose <<<"$path"
        url=http://127.0.0.1:$port/$name
        switches=()
        [[ $client == file ]] && url=file://$out/$name
        [[ $client == curl ]] && switches+=(-r)
        [[ -n $verbose ]] && switches+=(-v 2 -l "$out/verbose.log")
        read -r _ k_time k_mem k_status < <(measure korvane "${home[@]}" "$korvane" -c -t 5 \
            "${switches[@]}" -u "$url")
        printf '%-22s %-26s %10.3f %8d %6d' "$name" "$path" "$k_time" "$k_mem" "$k_status"
        if [[ -n $before ]]; then
            read -r _ b_time b_mem b_status < <(measure before "${home[@]}" "$before" -c -t 5 \
                "${switches[@]}" -u "$url")
            printf ' %10.3f %8d %6d' "$b_time" "$b_mem" "$b_status"
        fi
        echo
    done
done
echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p')"
