#!/usr/bin/env bash
# Builds Portquell and runs the real portquell.exe under Wine, in a prefix
# of the project's own (build/run-prefix) whose registry is seeded the
# first time with four demonstration ports, so nothing real is changed.
# With a display the window opens; without one it runs under Xvfb, saves a
# screenshot to build/ and ends.
set -u
cd "$(dirname "${BASH_SOURCE[0]}")"
root=$(pwd)
source tools/deps.sh
pq_require_packages "${PQ_BUILD_PACKAGES[@]}" || exit 1

echo "Building (windows preset)..."
cmake --preset windows >/dev/null &&
    cmake --build --preset windows --target portquell portquell-inspect >/dev/null || {
    echo "build failed; run: cmake --build --preset windows" >&2
    exit 1
}

source tools/wine-session.sh
trap pq_session_end EXIT
headless=0
[ -z "${DISPLAY:-}" ] && headless=1
pq_session_start "$root/build/run-prefix" || exit 1
if [ ! -f "$WINEPREFIX/.portquell-demo-seeded" ]; then
    wine reg import "$(winepath -w "$root/tools/demo-ports.reg")" >/dev/null 2>&1 &&
        touch "$WINEPREFIX/.portquell-demo-seeded"
    echo "Seeded the demonstration ports COM1 to COM4 (COM2 already disabled)."
fi

exe=$(winepath -w "$root/build/windows/portquell.exe")
if [ "$headless" = 0 ]; then
    echo "Starting Portquell on $DISPLAY (prefix: $WINEPREFIX)."
    wine "$exe"
    exit 0
fi

inspect() { wine "$root/build/windows/portquell-inspect.exe" "$@"; }
echo "No DISPLAY: running under Xvfb on $DISPLAY."
wine "$exe" &
program=$!
report=$(inspect report | tr -d '\r')
echo "Report: $report"
# The whole window, once the report that stood over it is closed.
inspect ok
shot="$root/build/portquell-screenshot"
inspect screenshot "$(winepath -w "$shot.bmp")" && convert "$shot.bmp" "$shot.png" && rm -f "$shot.bmp"
inspect close
wait "$program"
echo "Screenshot of the window: $shot.png"
