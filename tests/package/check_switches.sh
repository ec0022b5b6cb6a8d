#!/usr/bin/env bash
# The switches that "korvane -h" lists, as a user meets them: the manual page
# names each; the bash completion offers exactly them, after a switch that
# takes a value values or paths, never switches, and after any other switch
# the switches; "-u file://" completes paths; and a word of its own such as -?
# is never matched against the files of the current folder.
# Usage: check_switches.sh KORVANE
set -euo pipefail
korvane=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
library=/usr/share/bash-completion/bash_completion
[[ -r $library ]] || { echo "SKIP: bash-completion is not installed"; exit 77; }
work=$(mktemp -d /tmp/korvane-completion.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/folder" "$work/empty"
touch "$work/-a" "$work/folder/report.json"
fail() { echo "FAIL: $*"; exit 1; }

offered() { # FOLDER WORD...: what is offered for the last word, run in FOLDER
    # shellcheck disable=SC2016 # expanded by the inner shell
    # compopt works only inside a completion that bash itself started.
    (cd "$1" && shift && bash -c 'source "$1" && source "$2" && shift 2 && compopt() { :; } &&
        COMP_WORDS=(korvane "$@") COMP_CWORD=$# COMP_LINE="korvane $*" &&
        COMP_POINT=${#COMP_LINE} && _korvane && printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$library" "$root/resources/packaging/korvane.bash-completion" "$@")
}

usage=$("$korvane" -h)
listed=$(sed -n 's/^       \(-[^ ]*\).*/\1/p' <<<"$usage" | sort)
[[ $(offered "$work" '' | sort) == "$listed" ]] ||
    fail "offered: $(offered "$work" '' | sort | tr '\n' ' '), -h lists: $(tr '\n' ' ' <<<"$listed")"
while read -r option; do
    if grep -q "^       $option \[" <<<"$usage"; then
        ! offered "$work/empty" "$option" '' | grep -q -- '^-' || fail "$option is followed by a switch"
    else
        [[ $(offered "$work/empty" "$option" '-' | sort) == "$listed" ]] ||
            fail "$option is not followed by the switches"
    fi
done < <(grep -- '^-.$' <<<"$listed")
manual=$(sed 's/\\-/-/g' "$root/docs/korvane.1")
while read -r option; do
    grep -qE -- "(^|[[:space:]'\"])${option//\?/\\?}(\$|[[:space:]',])" <<<"$manual" ||
        fail "the manual page does not name $option"
done <<<"$listed"
[[ $(offered "$work" -u file://fol) == file://folder/ ]] || fail "-u file://fol"
[[ $(offered "$work" -u file://folder/) == file://folder/report.json ]] || fail "-u file://folder/"
[[ $(offered "$work" -u f) == file:// ]] || fail "-u f"
[[ $(offered "$work" '-?') == '-?' ]] || fail "-? matched a file: $(offered "$work" '-?')"
echo "PASS: the manual page and the completion hold the switches of korvane -h"
