#!/usr/bin/env bash
# Runs a test program on its own X server, under openbox, as on a pupil's
# desktop; every process it starts ends with it.
#   run.sh PROGRAM [ARGUMENTS...]
set -euo pipefail
source "$(dirname "$0")/../support/desktop.sh"
for tool in Xvfb openbox xdotool xprop; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
start_desktop 1280x1024
export QT_QPA_PLATFORM=xcb
"$@" &
PIDS+=($!)
wait "${PIDS[-1]}"
