#!/usr/bin/env bash
# Validates the Icinga 2 example where an administrator puts it, with
# "icinga2 daemon -C" on copies of the packaged configuration: in conf.d of a
# standalone master, and in zones.d of a master with agents; then checks
# which command each host's service runs, and on which endpoint (the agent's,
# or none for the master's own host).
# Usage: check_icinga.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
examples=$root/examples/monitoring
skip() { echo "SKIP: $*"; exit 77; }
[[ -x $(command -v icinga2) && -r /etc/icinga2/icinga2.conf ]] ||
    skip "icinga2 or a readable /etc/icinga2 is missing (scripts/test.sh installs icinga2-bin and icinga2-common)"
# As root, icinga2 validates as its own user, which must read the copies and
# write its cache.
owner=$(id -un)
if [[ $owner == root ]]; then owner=nagios; fi
id "$owner" >/dev/null 2>&1 || skip "no user $owner for icinga2 to run as"
icinga2 --version >/dev/null 2>&1 || skip "icinga2 does not run here"
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d /tmp/korvane-icinga.XXXXXX)
trap 'rm -rf "$work"' EXIT

# validate LAYOUT EXPECTED: the services "brivex-patches" as
# "host command endpoint" lines.
validate() {
    local config=$work/$1
    chmod -R a+rX "$work"
    mkdir "$config/cache"
    chown "$owner" "$config/cache"
    local defines=(-DNodeName=icinga-master.example.com -DConfiguration.ZonesDir="$config/zones.d" -DConfiguration.CacheDir="$config/cache"
        -DConfiguration.DataDir="$config/data")
    icinga2 daemon -C -c "$config/icinga2.conf" "${defines[@]}" >"$work/$1.log" 2>&1 ||
        fail "$1: $(grep -E 'critical|Error' "$work/$1.log")"
    local services
    services=$(icinga2 object list --type Service --name '*!brivex-patches' "${defines[@]}" |
        sed -n "s/^Object '\(.*\)!.*/\1/p; s/^  \* check_command = \"\(.*\)\"/\1/p;
                s/^  \* command_endpoint = \"\(.*\)\"/\1/p" | paste -d " " - - - | sort)
    [[ $services == "$2" ]] || fail "$1: the services are
$services
not
$2"
    echo "PASS: $1"
}

# A standalone master checks its own host, which the administrator gave a
# korvane_user.
cp -r /etc/icinga2 "$work/standalone"
cp "$examples"/korvane-{commands,services}.conf "$work/standalone/conf.d/"
sed -i 's/^object Host NodeName {/&\n  vars.korvane_user = "brivex"/' "$work/standalone/conf.d/hosts.conf"
validate standalone "icinga-master.example.com korvane "

# A master with agents, without the sample conf.d, as set up for zones.d.
agents=$work/agents
cp -r /etc/icinga2 "$agents"
sed -i 's|^include_recursive "conf.d"|// &|' "$agents/icinga2.conf"
cp "$examples/zones.conf" "$agents/"
mkdir -p "$agents/zones.d/global-templates" "$agents/zones.d/master"
cp "$examples/korvane-commands.conf" "$agents/zones.d/global-templates/"
cp "$examples"/korvane-{services,hosts}.conf "$agents/zones.d/master/"
validate agents "brivex-app-01.example.com korvane-stored brivex-app-01.example.com
brivex-app-02.example.com korvane brivex-app-02.example.com"
