#!/usr/bin/env bash
# Checks the metrics with Prometheus' own tools: the alert rules and their
# unit tests, the converting units as systemd takes them, and a real
# node-exporter scraping two installations' files, written by the converting
# unit's command from reports that two users' checks stored.
# Usage: check_metrics.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
exporter=/usr/bin/prometheus-node-exporter
for tool in promtool systemd-analyze setpriv python3 curl $exporter; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/test.sh installs it)"; exit 77; }
done
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d /tmp/korvane-metrics.XXXXXX)
exporter_pid=
trap '[[ -z $exporter_pid ]] || kill "$exporter_pid"; rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir "$work/bin"
cp "$build/bin/korvane" "$work/bin/"
korvane=$work/bin/korvane

promtool check rules "$root/examples/prometheus/korvane.rules.yml" >/dev/null
promtool test rules "$root/examples/prometheus/korvane.rules.test.yml" >/dev/null

units=$root/resources/systemd
sed "s|/opt/korvane/bin/korvane|$korvane|" "$units/korvane-metrics@.service" >"$work/korvane-metrics@.service"
cp "$units/korvane-metrics@.path" "$work/"
systemd-analyze verify --man=no "$work/korvane-metrics@brivex.path" "$work/korvane-metrics@brivex.service" ||
    fail "systemd-analyze verify"
exposure=$(systemd-analyze security --offline=true "$work/korvane-metrics@brivex.service" | tail -n 1)
[[ $exposure =~ level\ for\ .*:\ ([0-9.]+)\ (OK|SAFE) ]] || fail "exposure: $exposure"
echo "exposure ${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"

# Two installations: root's with updates, nobody's with none. Each user's
# check stores its report as korvane@.service would.
textfiles=$work/var/lib/prometheus/node-exporter
mkdir -p "$textfiles"
declare -A home=([root]=sample [nobody]=three-products-fix-1)
declare -A catalogue=([root]=examples/catalogue/patches.json [nobody]=tests/e2e/catalogues/nothing-to-apply.json)
for user in root nobody; do
    state=$work/var/lib/korvane/$user
    mkdir -p "$state" "$work/home-$user"
    read -r -a convert <<<"$(sed -n 's/^ExecStart=//p' "$work/korvane-metrics@.service" |
        sed "s|%i|$user|g; s|/var/lib/|$work/var/lib/|g")"
    cp "$root/${catalogue[$user]}" "$work/catalogue-$user.json"
    python3 "$root/tests/e2e/make_home.py" "${home[$user]}" "$work/home-$user"
    chown -R "$user:$(id -gn "$user")" "$state" "$work/home-$user"
    status=0
    setpriv --reuid="$user" --regid="$(id -gn "$user")" --clear-groups env -i HOME="$work/home-$user" \
        PATH=/usr/bin:/bin "$korvane" -o "$state/report.json" -u "file://$work/catalogue-$user.json" \
        2>"$work/journal" || status=$?
    [[ $status == 100 && $user == root || $status == 0 && $user == nobody ]] || fail "$user's check exited $status: $(cat "$work/journal")"
    # The converting unit's command, %i filled in, as root with no HOME.
    status=0
    env -i PATH=/usr/bin:/bin "${convert[@]}" >"$work/out" 2>"$work/journal" || status=$?
    [[ $status == 0 && ! -s $work/out && ! -s $work/journal ]] ||
        fail "converting $user's report: $status $(cat "$work/out" "$work/journal")"
    [[ $(stat -c '%a %U' "$textfiles/korvane-$user.prom") == "644 root" ]] || fail "$user's file mode or owner"
    promtool check metrics <"$textfiles/korvane-$user.prom" || fail "promtool check metrics on $user's file"
done

# node-exporter on a free port of loopback, reading nothing but those files.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
$exporter --collector.disable-defaults --collector.textfile --collector.textfile.directory="$textfiles" \
    --web.listen-address="127.0.0.1:$port" 2>"$work/exporter.log" &
exporter_pid=$!
for _ in $(seq 50); do
    curl -sf "http://127.0.0.1:$port/metrics" >"$work/scrape" && break
    sleep 0.1
done
[[ -s $work/scrape ]] || fail "node-exporter did not answer: $(cat "$work/exporter.log")"
grep -qx 'node_textfile_scrape_error 0' "$work/scrape" || fail "node_textfile_scrape_error is not 0"
# Dropped series would not set the error flag: every series of both files
# must be there, whatever order node-exporter gives the labels.
python3 - "$work/scrape" "$textfiles"/korvane-*.prom <<'PYTHON' || fail "series missing from the scrape"
import re, sys
sample = re.compile(r'([a-z_]+)(?:\{(.*)\})? (\S+)$')
label = re.compile(r'([a-z_]+)="((?:[^"\\]|\\.)*)",?')
def series(path):
    found = set()
    for line in open(path, encoding="utf-8"):
        if not line.startswith("#"):
            name, labels, value = sample.match(line.rstrip("\n")).groups()
            found.add((name, tuple(sorted(label.findall(labels or ""))), float(value)))
    return found
scraped = series(sys.argv[1])
users, missing = set(), 0
for path in sys.argv[2:]:
    for name, labels, value in sorted(series(path) - scraped):
        print(f"{path}: {name}{dict(labels)} {value} is not in the scrape")
        missing += 1
    users |= {dict(labels)["user"] for _, labels, _ in series(path)}
sys.exit(1 if missing or users != {"root", "nobody"} else 0)
PYTHON
grep -qx 'korvane_updates_pending{security="true",user="root"} 1' "$work/scrape" || fail "root's pending updates"
grep -qx 'korvane_updates_pending{security="true",user="nobody"} 0' "$work/scrape" || fail "nobody's pending updates"
echo "PASS: metrics"
