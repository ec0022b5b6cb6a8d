#!/usr/bin/env bash
# Installs, removes and purges the korvane package with dpkg on a throw-away
# root, as dpkg does for another machine's root (the maintainer scripts run
# outside a chroot, with DPKG_ROOT), with timer instances enabled and state
# planted there, and checks what the scripts leave. Everything runs in a
# mount namespace of its own, where the machine's folders that the scripts
# clean are empty tmpfs with the same files planted: a script that missed
# DPKG_ROOT fails the test there, and never touches the machine.
# Usage: check_maintainer_scripts.sh KORVANE_DEB
set -euo pipefail
if [[ ${KORVANE_PRIVATE_MOUNTS:-} != 1 ]]; then
    KORVANE_PRIVATE_MOUNTS=1 exec unshare -rm "$0" "$@"
fi
deb=$1
fail() { echo "FAIL: maintainer scripts: $*"; exit 1; }
for dir in /var/lib /var/cache /var/log /etc/systemd /run; do mount -t tmpfs tmpfs "$dir"; done
root=$(mktemp -d /tmp/korvane-dpkg.XXXXXX)
trap 'rm -rf "$root"' EXIT

# Under ROOT: two enabled korvane timer instances and another timer, their
# stamps, an enabled metrics path, a report, a kept catalogue, its metrics and
# another program's.
plant() {
    mkdir -p "$1/etc/systemd/system/timers.target.wants" "$1/var/lib/systemd/timers" \
        "$1/var/lib/korvane/brivex" "$1/var/cache/korvane/brivex" \
        "$1/etc/systemd/system/paths.target.wants" "$1/var/lib/prometheus/node-exporter"
    ln -s /lib/systemd/system/korvane-metrics@.path \
        "$1/etc/systemd/system/paths.target.wants/korvane-metrics@brivex.path"
    touch "$1/var/lib/prometheus/node-exporter/"{korvane-brivex,apt}.prom
    for timer in korvane@brivex.timer korvane@brxadmin.timer other.timer; do
        ln -s "/lib/systemd/system/${timer/@*./@.}" "$1/etc/systemd/system/timers.target.wants/$timer"
        touch "$1/var/lib/systemd/timers/stamp-$timer"
    done
    touch "$1/var/lib/korvane/brivex/report.json" "$1/var/cache/korvane/brivex/catalogue"
}
# What is left of it, and the package's state.
left() {
    (cd "$1" && find etc/systemd var/lib/systemd var/lib/korvane var/cache/korvane var/lib/prometheus \
        \( -type f -o -type l \) 2>/dev/null | sort | tr '\n' ' ')
    dpkg-query --root="$1" -W -f='${db:Status-Status}' korvane 2>/dev/null || true
}
dpkg() { command dpkg --root="$root" --log="$root/dpkg.log" --force-script-chrootless --force-depends "$@" \
    >>"$root/dpkg.out" 2>&1 || fail "dpkg $*: $(cat "$root/dpkg.out")"; }

mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
plant /
machine=$(left /)
dpkg -i "$deb"
plant "$root"
wants=etc/systemd/system/timers.target.wants/other.timer
exporter=var/lib/prometheus/node-exporter/apt.prom
stamps=var/lib/systemd/timers/stamp-korvane@brivex.timer\ var/lib/systemd/timers/stamp-korvane@brxadmin.timer
# Removed: the instances disabled, the state kept, and the package still
# known to dpkg (its postrm kept), so that it can be purged.
dpkg -r korvane
[[ $(left "$root") == "$wants var/cache/korvane/brivex/catalogue var/lib/korvane/brivex/report.json $exporter var/lib/prometheus/node-exporter/korvane-brivex.prom $stamps var/lib/systemd/timers/stamp-other.timer config-files" ]] ||
    fail "after dpkg -r: $(left "$root")"
dpkg -P korvane
[[ $(left "$root") == "$wants $exporter var/lib/systemd/timers/stamp-other.timer " ]] || fail "after dpkg -P: $(left "$root")"
[[ $(left /) == "$machine" ]] || fail "the scripts changed the machine's own files: $(left /)"
echo "PASS: maintainer scripts"
