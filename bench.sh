#!/usr/bin/env bash
# Installs what is missing, builds in Release, and measures the game on a real
# X display: sweep frame cost, animation pacing, start-up time and memory.
# Without a DISPLAY it runs on an Xvfb of its own, with no window manager, so
# that the windows sit where the game places them.
#   ./bench.sh                 builds in build/
#   BUILD_DIR=dir ./bench.sh   builds in dir instead
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

install_packages
BUILD="${BUILD_DIR:-$ROOT/build}"
build_tree "$BUILD"
# The bench forces the X platform itself; a headless export must not leak in.
unset QT_QPA_PLATFORM

if [ -z "${DISPLAY:-}" ]; then
    display=87
    while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    # Large enough for the game window at device pixel ratio 2.
    Xvfb ":$display" -screen 0 2560x1600x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true' EXIT
    export DISPLAY=":$display"
    for _ in $(seq 100); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && break
        kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
        sleep 0.1
    done
fi

# A desktop session has a session bus, which Qt's screen-reader bridge talks
# to at start-up; without one, every start would also launch a bus.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    exec dbus-run-session -- "$BUILD/bench/quiltaro_bench" "$BUILD/windows/quiltaro"
fi
exec "$BUILD/bench/quiltaro_bench" "$BUILD/windows/quiltaro"
