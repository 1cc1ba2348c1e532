# Sourced by the scripts that show the real program: a fresh or reused Wine
# prefix of their own, on an X display (Xvfb when there is none).
source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# pq_session_start PREFIX [fresh]: a display (Xvfb when there is none) and
# PREFIX ready on it; the caller must call pq_session_end (e.g. from an
# EXIT trap).
pq_session_start() {
    PQ_OWN_DISPLAY=0
    if [ -z "${DISPLAY:-}" ]; then
        pq_start_xvfb || return 1
        PQ_OWN_DISPLAY=1
    fi
    pq_session_prefix "$@"
}

# pq_session_prefix PREFIX [fresh]: makes PREFIX the current prefix (the
# server of the one before is ended), ready to show windows.
pq_session_prefix() {
    # The prefix must first start with the display in place, or Wine's
    # desktop process would run without a graphics driver.
    if [ "${2:-}" = fresh ]; then
        pq_fresh_prefix "$1"
    else
        pq_use_prefix "$1"
    fi
    if [ "${PQ_OWN_DISPLAY:-0}" = 1 ]; then
        # No window manager on Xvfb: Wine draws the title bar and frame.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    else
        wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
    fi
    # Marlett draws the caption buttons; Debian keeps Wine's fonts apart.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    cp -n /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || true
}

# pq_set_dpi DPI: the prefix's display scaling (96 = 100 %), taken up by
# the processes started after it (the server is restarted).
pq_set_dpi() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wineserver -k 2>/dev/null || true
}

# pq_windows_metrics: title bar, borders and scroll bars as Windows 10 and
# 11 draw them at 100 % (Wine scales them with the DPI).
pq_windows_metrics() {
    local key='HKCU\Control Panel\Desktop\WindowMetrics' name value
    for pair in CaptionHeight=-330 CaptionWidth=-330 BorderWidth=-15 PaddedBorderWidth=-60 \
        ScrollWidth=-255 ScrollHeight=-255 SmCaptionHeight=-330; do
        name=${pair%%=*}
        value=${pair#*=}
        wine reg add "$key" /v "$name" /d "$value" /f >/dev/null 2>&1
    done
    wineserver -k 2>/dev/null || true
}

pq_session_end() {
    wineserver -k 2>/dev/null || true
    [ "${PQ_OWN_DISPLAY:-0}" = 1 ] && pq_stop_xvfb
    return 0
}
