#!/usr/bin/env bash
# window_e2e.sh TEST_EXE PORTQUELL_EXE OUTDIR: the end-to-end test of the
# real window under its own Xvfb, in two looks: Wine's default, and the
# title bar and borders of Windows 10/11. Each look has one fresh prefix;
# each runs at 100 and 150 % (Windows' look at 200 % too). The whole test
# runs once (Wine's look, 100 %); under every other profile the layout,
# message-box and refused-write cases run. Screenshots land in OUTDIR.
set -u
test_exe=$1
portquell=$2
mkdir -p "$3"
out=$(cd "$3" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../tools/wine-session.sh"


rm -f "$out"/*.bmp "$out"/*.png
unset DISPLAY  # always on a private Xvfb, whatever the caller has
trap pq_session_end EXIT
pq_start_xvfb || exit 1
PQ_OWN_DISPLAY=1

failures=0
run_profile() {  # run_profile LOOK DPI GTEST_FILTER
    local look=$1 dpi=$2 filter=$3
    pq_set_dpi "$dpi"
    echo "== look $look, $dpi DPI"
    PORTQUELL_EXE=$(winepath -w "$portquell") PORTQUELL_E2E_OUT=$(winepath -w "$out") \
        PORTQUELL_LOOK=$look PORTQUELL_DPI=$dpi \
        wine "$test_exe" --gtest_filter="$filter" || failures=$((failures + 1))
}

profiles_only='Layouts/*:*RefusedWrite*:*LongCaption*'
pq_session_prefix "$out/prefix-wine" fresh
run_profile wine 96 '*'
run_profile wine 144 "$profiles_only"

pq_session_prefix "$out/prefix-windows" fresh
pq_windows_metrics
for dpi in 96 144 192; do run_profile windows "$dpi" "$profiles_only"; done

for shot in "$out"/*.bmp; do
    [ -f "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
ls "$out"/*.png 2>/dev/null | sed 's/^/screenshot: /'
echo "$failures profile runs failed"
[ "$failures" -eq 0 ]
