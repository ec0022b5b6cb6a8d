#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang-15 (AddressSanitizer and
# UndefinedBehaviorSanitizer on) in build-fuzz, then runs each for the given
# number of seconds (30 by default), starting from its seeds in
# fuzz/corpus/<target> (the seeds include every input that once crashed a
# target). New inputs go to build-fuzz/corpus, crashes to build-fuzz/artifacts.
# A crash, a leak, an input that takes more than 10 s, or more than 2 GB fails
# the run. Prints the executions of each target.
# Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build=$root/build-fuzz
"$root/scripts/deps.sh" test

CC=clang-15 CXX=clang++-15 "$root/scripts/build.sh" "$build" -DKORVANE_FUZZ=ON \
    -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCH=OFF -DKORVANE_TRANSLATIONS=OFF

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for target in catalogue properties patchlog proxyurl cipher arguments report; do
    mkdir -p "$build/corpus/$target" "$build/artifacts"
    log=$build/fuzz_$target.log
    if QT_QPA_PLATFORM=offscreen "$build/fuzz/fuzz_$target" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" \
        "$build/corpus/$target" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz_$target: ${runs:-?} executions in ${seconds} s, no findings"
    else
        echo "fuzz_$target: FAILED, see $log and $build/artifacts/"
        tail -n 30 "$log"
        status=1
    fi
done
exit $status
