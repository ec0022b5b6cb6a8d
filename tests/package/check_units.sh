#!/usr/bin/env bash
# Checks the systemd units as systemd would take them: verify, the timer's
# calendar, the service's exposure, and the service's command, with %i filled
# in, run as an unprivileged user against a local catalogue; the report it
# writes is then read back with -m -f.
# Usage: check_units.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in systemd-analyze setpriv python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/test.sh installs it)"; exit 77; }
done
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d /tmp/korvane-units.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
# The user runs copies: the build and the catalogue may lie where it cannot go.
mkdir "$work/bin"
cp "$build/bin/korvane" "$work/bin/"
cp "$root/examples/catalogue/patches.json" "$work/"
korvane=$work/bin/korvane
user=nobody
group=$(id -gn "$user")

# verify fails when the program of ExecStart= does not exist.
sed "s|/opt/korvane/bin/korvane|$korvane|" "$root/resources/systemd/korvane@.service" \
    >"$work/korvane@.service"
cp "$root/resources/systemd/korvane@.timer" "$work/"
# verify parses every key, FixedRandomDelay= (systemd 247) included: a typo,
# a wrong value or a systemd too old for it fails here.
systemd-analyze verify --man=no "$work/korvane@$user.service" "$work/korvane@$user.timer" 2>&1 |
    grep -v 'Special user nobody' && fail "systemd-analyze verify"
systemd-analyze calendar "$(sed -n 's/^OnCalendar=//p' "$work/korvane@.timer")" >/dev/null
exposure=$(systemd-analyze security --offline=true "$work/korvane@brivex.service" | tail -n 1)
[[ $exposure =~ level\ for\ .*:\ ([0-9.]+)\ (OK|SAFE) ]] || fail "exposure: $exposure"
echo "exposure ${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"

# The service's command as it would run: as the user, in its own HOME, with
# the state and cache folders systemd would make (StateDirectoryMode=0755,
# CacheDirectoryMode=0700, $CACHE_DIRECTORY).
state=$work/var/lib/korvane/$user
cache=$work/var/cache/korvane/$user
mkdir -p "$state" "$cache" "$work/home"
chmod 700 "$cache"
python3 "$root/tests/e2e/make_home.py" sample "$work/home"
chown -R "$user:$group" "$state" "$cache" "$work/home"
read -r -a command <<<"$(sed -n 's/^ExecStart=//p' "$work/korvane@.service" | sed "s|%i|$user|g; s|/var/lib/korvane|$work/var/lib/korvane|")"
status=0
setpriv --reuid="$user" --regid="$group" --clear-groups env -i HOME="$work/home" CACHE_DIRECTORY="$cache" PATH=/usr/bin:/bin \
    "${command[@]}" -u "file://$work/patches.json" 2>"$work/journal" || status=$?
[[ $status == 100 ]] || fail "the service's command exited $status: $(cat "$work/journal")"
[[ $(tail -n 1 "$work/journal") == "4 updates (1 security) for 3 installed products" ]] ||
    fail "the journal's line: $(cat "$work/journal")"
[[ $(stat -c '%a %U' "$state/report.json") == "644 $user" ]] || fail "report mode or owner"
status=0
line=$("$korvane" -m -f "$state/report.json" | head -n 1) || status=$?
[[ $status == 2 && $line == "KORVANE CRITICAL - 4 updates (1 security)"* ]] || fail "-m -f: $status $line"
echo "PASS: units"
