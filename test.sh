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

record() {  # record STAGE RAN PASSED FAILED
    stages+=("$1|$2|$3|$4")
    passed=$((passed + $3))
    failed=$((failed + $4))
}

# A build or a test run that could not start counts as one failure of its
# stage.
build() {  # build PRESET: configure and build; 0 on success
    echo "== configure and build: $1"
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

run_ctest() {  # run_ctest STAGE PRESET [CTEST ARGS...]
    local stage=$1 preset=$2 line total bad
    shift 2
    echo "== $stage (ctest --preset $preset $*)"
    ctest --preset "$preset" "$@" 2>&1 | tee "$log"
    line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -1)
    if [ -z "$line" ]; then
        record "$stage" 0 0 1
        return
    fi
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
    record "$stage" "$total" $((total - bad)) "$bad"
}

if build native; then
    run_ctest "native unit tests" native
else
    record "native unit tests" 0 0 1
fi

if build windows; then
    run_ctest "Windows suites under Wine" windows -LE e2e
    run_ctest "end-to-end under Wine" windows -L e2e
else
    record "Windows suites under Wine" 0 0 1
    record "end-to-end under Wine" 0 0 1
fi
source tools/wine-env.sh
wineserver -k 2>/dev/null || true

# Bounded fuzzing when clang with libFuzzer is available: each target from
# the corpus kept in the repository plus what earlier runs found.
fuzz_seconds=${PORTQUELL_FUZZ_SECONDS:-30}
if command -v clang++ >/dev/null 2>&1 &&
    echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer,address -o /dev/null - >/dev/null 2>&1; then
    if build fuzz; then
        ran=0 ok=0 bad=0
        for target in $(cat build/fuzz/fuzz-targets.txt); do
            corpus="build/fuzz/corpus/$target"
            mkdir -p "$corpus"
            echo "== fuzz $target (${fuzz_seconds}s)"
            ran=$((ran + 1))
            if "build/fuzz/tests/fuzz/$target" -max_total_time="$fuzz_seconds" -max_len=4096 \
                -print_final_stats=1 "$corpus" "tests/fuzz/corpus/$target" >"build/fuzz/$target.log" 2>&1; then
                grep -E "^stat::number_of_executed_units" "build/fuzz/$target.log"
                ok=$((ok + 1))
            else
                tail -40 "build/fuzz/$target.log"
                echo "!! $target failed (log: build/fuzz/$target.log)"
                bad=$((bad + 1))
            fi
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
