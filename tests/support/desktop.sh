# Sourced by the checks that need a pupil's desktop.
# start_desktop WxH [OPENBOX_CONFIG]: an X server of that size on a free
# display with openbox on it, DISPLAY exported, both added to the caller's
# PIDS array for its cleanup. Returns once openbox manages the screen.
start_desktop() {
    local size="$1" config="${2:-}" fd
    fd="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fd" >/dev/null 2>&1 &
    PIDS+=($!)
    for _ in $(seq 100); do [ -s "$fd" ] && break; sleep 0.05; done
    [ -s "$fd" ] || { rm -f "$fd"; echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(cat "$fd")"
    rm -f "$fd"
    openbox --sm-disable ${config:+--config-file "$config"} >/dev/null 2>&1 &
    PIDS+=($!)
    # Up to 20 s: on a machine whose cores the other suites keep busy,
    # openbox has been seen to need more than five.
    for _ in $(seq 400); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
        sleep 0.05
    done
    echo "openbox did not start" >&2
    return 1
}

# desktop_session TOOL...: checks that the tools are there, then makes WORK, a
# scratch folder, and PIDS; `cleanup` ends those processes and removes the
# folder, and runs when the script ends.
desktop_session() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
    done
    WORK="$(mktemp -d)"
    PIDS=()
    trap cleanup EXIT
}
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
