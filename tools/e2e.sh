#!/usr/bin/env bash
# e2e.sh TEST_EXE PORTQUELL_EXE OUTDIR: runs the end-to-end test in a fresh
# Wine prefix under its own Xvfb; screenshots land in OUTDIR.
set -u
test_exe=$1
portquell=$2
out=$3
source "$(dirname "${BASH_SOURCE[0]}")/wine-session.sh"

mkdir -p "$out"
rm -f "$out"/*.bmp "$out"/*.png
unset DISPLAY  # always on a private Xvfb, whatever the caller has
trap pq_session_end EXIT
pq_session_start "$out/prefix" fresh || exit 1

PORTQUELL_EXE=$(winepath -w "$portquell") PORTQUELL_E2E_OUT=$(winepath -w "$out") \
    wine "$test_exe"
rc=$?
for shot in "$out"/*.bmp; do
    [ -f "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
[ -f "$out/portquell.png" ] && echo "screenshot: $out/portquell.png"
exit $rc
