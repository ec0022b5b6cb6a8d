#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds, and runs every test
# through CTest, twice:
# in a normal build and in an AddressSanitizer + UndefinedBehaviorSanitizer
# build, where any sanitizer report fails the run; then each fuzz target for
# 20 seconds (scripts/fuzz.sh).
# Usage: scripts/test.sh [--quick]   (--quick: the normal build only)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" test

run_suite() {
    local build=$1
    shift
    "$root/scripts/build.sh" "$build" "$@"
    (cd "$build" && ctest --output-on-failure --parallel "$(nproc)" --timeout 300)
}

echo "=== Formatting (clang-format-15, .clang-format)"
find "$root/src" "$root/tests" "$root/bench" "$root/fuzz" \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 clang-format-15 --dry-run --Werror

echo "=== Shell scripts and the bash completion (shellcheck)"
(cd "$root" && shellcheck -x scripts/*.sh bench/*/*.sh tests/package/*.sh .ci/run \
    resources/korvane_alert resources/packaging/korvane.bash-completion \
    resources/packaging/prerm resources/packaging/postrm)

echo "=== Normal build"
run_suite "$root/build"

if [[ "${1:-}" == "--quick" ]]; then
    exit 0
fi

echo "=== AddressSanitizer + UndefinedBehaviorSanitizer build"
# Full allocation stacks, so that the suppressions can name library functions.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:fast_unwind_on_malloc=0:suppressions=$root/scripts/asan.supp"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite "$root/build-asan" -DKORVANE_SANITIZE=ON -DKORVANE_BUILD_BENCH=OFF

echo "=== Fuzzing, 20 s per target"
"$root/scripts/fuzz.sh" 20
