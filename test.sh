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

# Bounded fuzzing of the cipher when clang with libFuzzer is available.
fuzz_seconds=${PORTQUELL_FUZZ_SECONDS:-30}
if command -v clang++ >/dev/null 2>&1 &&
    echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer,address -o /dev/null - >/dev/null 2>&1; then
    if step "configure fuzz" cmake --preset fuzz >/dev/null &&
        step "build fuzz" cmake --build --preset fuzz; then
        for target in des_decrypt_fuzz des_roundtrip_fuzz; do
            corpus="build/fuzz/corpus/$target"
            mkdir -p "$corpus"
            echo "== fuzz $target (${fuzz_seconds}s)"
            if "build/fuzz/tests/fuzz/$target" -max_total_time="$fuzz_seconds" -max_len=4096 \
                -print_final_stats=1 "$corpus" >"build/fuzz/$target.log" 2>&1; then
                grep -E "^stat::number_of_executed_units" "build/fuzz/$target.log"
                passed=$((passed + 1))
            else
                tail -40 "build/fuzz/$target.log"
                echo "!! $target found a crash (log: build/fuzz/$target.log)"
                failed=$((failed + 1))
            fi
        done
    fi
else
    echo "== fuzz: skipped (clang++ with libFuzzer not found)"
fi

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
