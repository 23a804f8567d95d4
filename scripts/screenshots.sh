#!/usr/bin/env bash
# Re-makes the README's pictures: the game under its own Xvfb, driven with
# xdotool like a pupil would, each window cut out of a screenshot.
#   scripts/screenshots.sh        writes docs/*.png
set -euo pipefail
source "$(dirname "$0")/setup.sh"
with_test_packages
install_packages
BUILD_TARGETS="quiltaro quiltaro_record_sample" build_tree "$ROOT/build"

OUT="$ROOT/docs"
mkdir -p "$OUT"
export DISPLAY="${SCREENSHOT_DISPLAY:-:91}"
# The game played here keeps its record in a folder of its own, never in the
# user's; the results window is shown from a generated record.
DATA=$(mktemp -d)
export XDG_DATA_HOME="$DATA/played"
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
GAME=""
# The game, then its X server, each gone before the script ends; a bus the
# game may have started for its display ends with that display.
cleanup() {
    [ -n "$GAME" ] && { kill "$GAME" 2>/dev/null; wait "$GAME" 2>/dev/null; } || true
    kill "$XVFB" 2>/dev/null || true
    wait "$XVFB" 2>/dev/null || true
    rm -rf "$DATA"
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break || sleep 0.1; done

"$ROOT/build/windows/quiltaro" >/dev/null 2>&1 &
GAME=$!
sleep 1.5

# Without a window manager the client areas stand where the program puts
# them: the welcome window at (72, 99), the game window at (82, 198).
shot() { import -window root -crop "$2" +repage "$OUT/$1.png"; }
shot welcome 980x569+72+99

xdotool mousemove $((72 + 688 + 100)) $((99 + 520 + 16)) click 1 # "commencer"
sleep 1
shot game 861x568+82+198

# A round in play: one guess that narrows the interval, one typed answer.
xdotool type --delay 80 "250"
xdotool key Return
sleep 2
xdotool type --delay 80 "400"
xdotool key Return
sleep 3
xdotool type --delay 80 "3"
sleep 0.3
shot round 861x568+82+198

xdotool key Escape # gives up: the solution
sleep 0.5
xdotool key Escape # the farewell window
sleep 1
eval "$(xdotool getwindowfocus getwindowgeometry --shell)"
shot farewell "${WIDTH}x${HEIGHT}+${X}+${Y}"
kill "$GAME" 2>/dev/null || true
wait "$GAME" 2>/dev/null || true

# The results window, on the record of 24 games of an imagined pupil.
export XDG_DATA_HOME="$DATA/sample"
"$ROOT/build/record/quiltaro_record_sample" "$XDG_DATA_HOME/quiltaro/record.sqlite" 24
"$ROOT/build/windows/quiltaro" --results >/dev/null 2>&1 &
GAME=$!
window=$(xdotool search --sync --name "^Quiltaro : r")
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
shot results "${WIDTH}x${HEIGHT}+${X}+${Y}"
echo "Pictures written to $OUT"
