#!/usr/bin/env bash
# Runs a test program on its own X server, under openbox, as on a pupil's
# desktop; every process it starts ends with it.
#   run.sh PROGRAM [ARGUMENTS...]
set -euo pipefail
for tool in Xvfb openbox xdotool xprop; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
done
export QT_QPA_PLATFORM=xcb
"$@" &
pids+=($!)
wait "${pids[-1]}"
