# Sourced: pq_start_xvfb starts Xvfb on a free display, exports DISPLAY and
# sets PQ_XVFB_PID; pq_stop_xvfb ends that one server and nothing else.
pq_start_xvfb() {
    local n
    for n in $(seq 90 199); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
            PQ_XVFB_PID=$!
            local i
            for i in $(seq 1 50); do
                [ -e "/tmp/.X11-unix/X$n" ] && break
                sleep 0.1
            done
            if kill -0 "$PQ_XVFB_PID" 2>/dev/null; then
                export DISPLAY=":$n"
                return 0
            fi
        fi
    done
    echo "no free X display for Xvfb" >&2
    return 1
}

pq_stop_xvfb() {
    if [ -n "${PQ_XVFB_PID:-}" ]; then
        kill "$PQ_XVFB_PID" 2>/dev/null || true
        wait "$PQ_XVFB_PID" 2>/dev/null || true
        PQ_XVFB_PID=
    fi
}
