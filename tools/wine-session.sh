# Sourced by the scripts that show the real program: a fresh or reused Wine
# prefix of their own, on an X display (Xvfb when there is none).
source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

# pq_session_start PREFIX [fresh]: prepares PREFIX and a display; the
# caller must call pq_session_end (e.g. from an EXIT trap).
pq_session_start() {
    export PORTQUELL_WINEPREFIX=$1
    source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
    [ "${2:-}" = fresh ] && rm -rf "$WINEPREFIX"
    PQ_OWN_DISPLAY=0
    if [ -z "${DISPLAY:-}" ]; then
        pq_start_xvfb || return 1
        PQ_OWN_DISPLAY=1
        # No window manager on Xvfb: Wine draws the title bar and frame.
        local need_unmanaged=1
    fi
    # The prefix must first start with the display in place, or Wine's
    # desktop process would run without a graphics driver.
    pq_wine_init
    if [ -n "${need_unmanaged:-}" ]; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    else
        wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
    fi
    # Marlett draws the caption buttons; Debian keeps Wine's fonts apart.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    cp -n /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || true
}

pq_session_end() {
    wineserver -k 2>/dev/null || true
    [ "${PQ_OWN_DISPLAY:-0}" = 1 ] && pq_stop_xvfb
    return 0
}
