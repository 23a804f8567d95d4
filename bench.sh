#!/usr/bin/env bash
# Installs what is missing, builds in Release, and measures the game on a real
# X display: sweep frame cost, animation pacing, start-up time and memory.
# Without a DISPLAY it runs on an Xvfb of its own, with no window manager, so
# that the windows sit where the game places them.
#   ./bench.sh                 builds in build/
#   BUILD_DIR=dir ./bench.sh   builds in dir instead
#   ./bench.sh --frames        only the sweep frame figures, in a few seconds
#   ./bench.sh --pace          only the animations' pace: quiet, loaded, 1080p, 4K
#   ./bench.sh --memory        only the peak memory, at design size and full screen
#   ./bench.sh --server        only the class on a PostgreSQL server of its own
#   ./bench.sh --record        only the record: a round written, the results window opened
#   ./bench.sh --no-build      measures the tree as it is (installs nothing)
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

BUILD="${BUILD_DIR:-$ROOT/build}"
build=1 bench_args=("$BUILD/app/quiltaro")
while [ $# -gt 0 ]; do
    case "$1" in
        --frames | --pace | --memory) bench_args=("$1"); shift ;;
        --server) bench_args=("$1" "$BUILD/app/quiltaro"); shift ;;
        --record) bench_args=("$1" "$BUILD/app/quiltaro"); shift ;;
        --no-build) build=0; shift ;;
        *) echo "usage: $0 [--frames | --pace | --memory | --server | --record] [--no-build]" >&2; exit 2 ;;
    esac
done
if [ "$build" = 1 ]; then
    with_test_packages
    install_packages
    build_tree "$BUILD"
fi
# The bench forces the X platform itself; a headless export must not leak in.
unset QT_QPA_PLATFORM

# Everything started here ends with the script, whichever way it ends: no
# `exec` below, which would replace the shell that holds this trap.
xvfb_pid=""
# The games the bench plays are no pupil's: what they record goes to a
# scratch data folder, removed at the end.
XDG_DATA_HOME="$(mktemp -d)"
export XDG_DATA_HOME
finish() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$XDG_DATA_HOME"
}
trap finish EXIT

if [ -z "${DISPLAY:-}" ]; then
    # Xvfb picks a free display number itself and writes it once it listens.
    display_file="$(mktemp)"
    # Large enough for the game window at device pixel ratio 2, and for it
    # full screen on a 4K screen.
    Xvfb -displayfd 3 -screen 0 3840x2160x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$display_file" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
        sleep 0.1
    done
    export DISPLAY=":$(cat "$display_file")"
    rm -f "$display_file"
    [ "$DISPLAY" != ":" ] || { echo "Xvfb gave no display number" >&2; exit 1; }
fi

# A desktop session has a session bus, which Qt's screen-reader bridge talks
# to at start-up; without one, every start would also launch a bus.
# dbus-run-session ends its bus, and what the bus started, when the bench ends.
bench() {
    if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
        dbus-run-session -- "$BUILD/bench/quiltaro_bench" "$@"
    else
        "$BUILD/bench/quiltaro_bench" "$@"
    fi
}
bench "${bench_args[@]}"

# Full screen needs a window manager: a desktop of that size of its own, with
# openbox, for each, ended before the next.
full_screen_memory() (
    source "$ROOT/tests/support/desktop.sh"
    PIDS=()
    trap 'for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done' EXIT
    start_desktop "$1"
    bench --memory --full-screen
)
case "${bench_args[0]}" in
    --frames | --pace | --server | --record) ;;
    *)
        full_screen_memory 1920x1080
        full_screen_memory 3840x2160
        ;;
esac
