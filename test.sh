#!/usr/bin/env bash
# Builds every preset and runs every test: the native unit tests, the same
# suites cross-built for Windows under Wine, the end-to-end tests of the
# real programs, and bounded fuzzing. Prints one line per stage, then
# "N passed, M failed"; non-zero status on failure.
set -u
cd "$(dirname "${BASH_SOURCE[0]}")"
source tools/deps.sh
pq_require_packages "${PQ_BUILD_PACKAGES[@]}" || exit 1

log=$(mktemp)
trap 'rm -f "$log"' EXIT
stages=()   # "name|ran|passed|failed"
passed=0
failed=0
# Builds and tests use every core of the machine (the unit suites under
# Wine share one prefix and run one at a time: their preset says so).
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}

record() {  # record STAGE RAN PASSED FAILED
    stages+=("$1|$2|$3|$4")
    passed=$((passed + $3))
    failed=$((failed + $4))
}

# workflow PRESET STAGE...: configures, builds and runs the preset's test
# steps; the n-th test summary in its output is the n-th stage's. A stage
# that never reported (the build failed) counts as one failure.
workflow() {
    local preset=$1 i=0 line total bad
    shift
    echo "== cmake --workflow --preset $preset"
    cmake --workflow --preset "$preset" 2>&1 | tee "$log"
    mapfile -t summaries < <(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log")
    for stage in "$@"; do
        line=${summaries[$i]:-}
        i=$((i + 1))
        if [ -z "$line" ]; then
            record "$stage" 0 0 1
            continue
        fi
        bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
        total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
        record "$stage" "$total" $((total - bad)) "$bad"
    done
}

workflow native "native unit tests"
workflow windows "Windows suites under Wine" "end-to-end under Wine"
source tools/wine-env.sh
wineserver -k 2>/dev/null || true

# Bounded fuzzing when clang with libFuzzer is available: each target from
# the corpus kept in the repository plus what earlier runs found.
fuzz_seconds=${PORTQUELL_FUZZ_SECONDS:-30}
if command -v clang++ >/dev/null 2>&1 &&
    echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer,address -o /dev/null - >/dev/null 2>&1; then
    echo "== cmake --workflow --preset fuzz"
    if cmake --workflow --preset fuzz; then
        ran=0 ok=0 bad=0
        for target in $(cat build/fuzz/fuzz-targets.txt); do
            corpus="build/fuzz/corpus/$target"
            mkdir -p "$corpus"
            echo "== fuzz $target (${fuzz_seconds}s)"
            ran=$((ran + 1))
            # Whatever a target leaves in its temporary folder goes with it.
            scratch=$(mktemp -d)
            if TMPDIR="$scratch" "build/fuzz/tests/fuzz/$target" -max_total_time="$fuzz_seconds" -max_len=4096 \
                -print_final_stats=1 "$corpus" "tests/fuzz/corpus/$target" >"build/fuzz/$target.log" 2>&1; then
                grep -E "^stat::number_of_executed_units" "build/fuzz/$target.log"
                ok=$((ok + 1))
            else
                tail -40 "build/fuzz/$target.log"
                echo "!! $target failed (log: build/fuzz/$target.log)"
                bad=$((bad + 1))
            fi
            rm -rf "$scratch"
        done
        record "fuzzing (${fuzz_seconds}s per target)" "$ran" "$ok" "$bad"
    else
        record "fuzzing" 0 0 1
    fi
else
    echo "== fuzz: skipped (clang++ with libFuzzer not found)"
    record "fuzzing (skipped: no clang++ with libFuzzer)" 0 0 0
fi

echo
for s in "${stages[@]}"; do
    IFS='|' read -r name ran ok bad <<<"$s"
    printf '%-45s %4s ran, %4s passed, %3s failed\n' "$name:" "$ran" "$ok" "$bad"
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
