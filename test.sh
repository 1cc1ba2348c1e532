#!/usr/bin/env bash
# Builds both presets and runs every test: the native unit tests, the same
# suites cross-built for Windows under Wine, and the end-to-end test of the
# real program. Ends with "N passed, M failed"; non-zero status on failure.
set -u
cd "$(dirname "${BASH_SOURCE[0]}")"
source tools/deps.sh
pq_require_packages "${PQ_BUILD_PACKAGES[@]}" || exit 1

passed=0
failed=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Adds a ctest run's counts to the totals; a run that could not start
# counts as one failure.
count_ctest() {
    local line total bad
    line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

step() {  # step NAME COMMAND...: a build step; failure counts once
    echo "== $1"
    shift
    if ! "$@"; then
        echo "!! failed: $*"
        failed=$((failed + 1))
        return 1
    fi
}

run_ctest() {
    echo "== ctest --preset $1"
    ctest --preset "$1" 2>&1 | tee "$log"
    count_ctest
}

if step "configure native" cmake --preset native >/dev/null &&
    step "build native" cmake --build --preset native; then
    run_ctest native
fi

if step "configure windows" cmake --preset windows >/dev/null &&
    step "build windows" cmake --build --preset windows; then
    run_ctest windows
fi

source tools/wine-env.sh
wineserver -k 2>/dev/null || true

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
