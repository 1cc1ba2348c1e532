#!/usr/bin/env bash
# tools/bench-machine.sh [N]: the commands on a big machine. Builds the
# Windows programs, writes a generated device tree of N instances (default
# 5000; the three serial ports and the serial mouse beside them) into a
# Wine prefix of its own, and the same with N/10 instances, then prints for
# each command its median own cost (wall time less that of
# 'portquell-cli --help'), the least work it needs (the walk of Enum, with
# the mouse listing for the commands that place mice), their ratio, the
# growth from N/10 to N, and the registry and device calls it made.
# BENCH_RUNS runs per figure (default 5). Not a test: ./test.sh does not
# run it.
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source tools/deps.sh
pq_require_packages "${PQ_BUILD_PACKAGES[@]}" || exit 1
big=${1:-5000}
small=$((big / 10))
runs=${BENCH_RUNS:-5}

cmake --preset windows >/dev/null
cmake --build --preset windows --target portquell-cli portquell portquell-inspect portquell-bench-seed \
    portquell-bench-walk portquell-bench-calls >/dev/null
bin=$(pwd)/build/windows
# BENCH_BIN: another build's portquell-cli.exe, portquell.exe and
# portquell-bench-calls.exe (an earlier commit's, to compare with).
cli="${BENCH_BIN:-$bin}/portquell-cli.exe"
window="${BENCH_BIN:-$bin}/portquell.exe"
inspect="$bin/portquell-inspect.exe"
seed="$bin/bench/portquell-bench-seed.exe"
walk="$bin/bench/portquell-bench-walk.exe"
calls="${BENCH_BIN:-$bin/bench}/portquell-bench-calls.exe"

source tools/wine-session.sh
unset DISPLAY
trap 'wineserver -k 2>/dev/null || true; pq_session_end' EXIT
pq_start_xvfb || exit 1
PQ_OWN_DISPLAY=1

now_ms() { date +%s%3N; }
# The window from its start to its start-up report.
window_run() {
    wine "$window" >/dev/null 2>&1 &
    local pid=$!
    wine "$inspect" report >/dev/null 2>&1
    wine "$inspect" ok >/dev/null 2>&1 || true
    wine "$inspect" close >/dev/null 2>&1 || true
    wait "$pid" 2>/dev/null || true
}
# cost MS BASE: MS less BASE, at least 1.
cost() { local c=$(($1 - $2)); [ "$c" -lt 1 ] && c=1; echo "$c"; }

declare -A own yard count
commands=("list" "check --mice" "mice" "guard" "disable --all --dry-run" "window")
# time_ms CMD...: one run's wall time, in ms.
time_ms() {
    local start
    start=$(now_ms)
    "$@" >/dev/null 2>&1 || true
    echo $(($(now_ms) - start))
}
# median of the numbers on stdin.
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
run_one() {  # run_one NAME: the command, the walk or the window once
    case $1 in
        help) wine "$cli" --help ;;
        walk) wine "$walk" ;;
        walk-mice) wine "$walk" --mice ;;
        window) window_run ;;
        *) wine "$cli" $1 ;;  # word splitting intended
    esac
}
for n in "$small" "$big"; do
    pq_session_prefix "$(pwd)/build/bench-machine/prefix-$n" fresh
    wine "$seed" "$n"
    # One server for every run, its registry loaded and saved once: a
    # server started afresh per run would load the whole registry each time.
    wineserver -w
    wineserver -p
    run_one help >/dev/null 2>&1
    declare -A times=()
    # Runs interleaved, so that a slow moment of the machine spreads over
    # every figure alike.
    for ((r = 0; r < runs; r++)); do
        for name in help walk walk-mice "${commands[@]}"; do
            times[$name]+="$(time_ms run_one "$name") "
        done
    done
    fig() { tr ' ' '\n' <<<"${times[$1]}" | grep . | median; }
    base=$(fig help)
    walk_cost=$(cost "$(fig walk)" "$base")
    mice_cost=$(cost "$(fig walk-mice)" "$base")
    for c in "${commands[@]}"; do
        own[$n,$c]=$(cost "$(fig "$c")" "$base")
        case $c in list | disable*) yard[$n,$c]=$walk_cost ;; *) yard[$n,$c]=$mice_cost ;; esac
        # shellcheck disable=SC2086
        count[$n,$c]=$(wine "$calls" $c 2>/dev/null | tr -d '\r')
    done
    unset times
    echo "N=$n: portquell-cli --help ${base} ms; walk ${walk_cost} ms; walk + mice ${mice_cost} ms"
    wineserver -k 2>/dev/null || true
done

echo
printf '%-26s %10s %10s %7s %9s   %s\n' command "own (ms)" "least" ratio growth "calls at N=$big"
for c in "${commands[@]}"; do
    ratio=$(awk -v a="${own[$big,$c]}" -v b="${yard[$big,$c]}" 'BEGIN { printf "%.2f", a / b }')
    growth=$(awk -v a="${own[$big,$c]}" -v b="${own[$small,$c]}" 'BEGIN { printf "%.1f", a / b }')
    printf '%-26s %10s %10s %6sx %8sx   %s\n' "$c" "${own[$big,$c]}" "${yard[$big,$c]}" "$ratio" "$growth" "${count[$big,$c]}"
done
echo "(N=$big instances against N=$small: growth 10x is linear; least work: the walk for list and disable, the walk and the mouse listing for the others)"
