#!/usr/bin/env bash
# Starts the game natively on a headless Wayland compositor and checks that
# its welcome window reaches the screen, that the compositor knows it by the
# desktop entry's name (the dock's icon), and that nothing is printed on
# standard error.
#   check.sh PATH/TO/quiltaro
set -euo pipefail
GAME="$(realpath "$1")"
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in weston weston-screenshooter convert; do
    command -v "$tool" >/dev/null || fail "missing: $tool (weston, imagemagick)"
done
compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null ||
    fail "missing: the Wayland platform plugin (qt6-wayland)"

# A runtime directory of our own holds the compositor's socket: nothing of
# the desktop this runs on is seen or touched.
WORK="$(mktemp -d)"
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Nor is a pupil's record: the game keeps its data in a folder of this run.
export XDG_DATA_HOME="$WORK/data"
SOCKET="quiltaro-check-$$"
WESTON="" GAME_PID=""
cleanup() {
    for pid in $GAME_PID $WESTON; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$WORK"
}
trap cleanup EXIT

# No seat on a headless output: no window is ever activated, so the welcome
# window shows without the illustration its activation draws. The protocol
# log tells which app id the window gave.
weston --backend=headless-backend.so --use-pixman --width=1280 --height=1024 \
    --socket="$SOCKET" --no-config --idle-time=0 --debug --logger-scopes=log,proto \
    --log="$WORK/weston.log" >/dev/null 2>&1 &
WESTON=$!
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/$SOCKET" ] && break
    kill -0 "$WESTON" 2>/dev/null || fail "weston did not start: $(tail -5 "$WORK/weston.log")"
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$SOCKET" ] || fail "weston made no socket"

(cd "$WORK" && exec env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$SOCKET" \
    "$GAME" >"$WORK/stdout" 2>"$WORK/stderr") &
GAME_PID=$!

# Whole when it shows its white client area (980 x 569) and its maroon title.
white=0 maroon=0
count() { convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info:; }
for _ in $(seq 40); do
    sleep 0.25
    kill -0 "$GAME_PID" 2>/dev/null || break
    rm -f "$WORK"/wayland-screenshot-*.png
    (cd "$WORK" && WAYLAND_DISPLAY="$SOCKET" weston-screenshooter >/dev/null 2>&1) || continue
    shot=$(ls "$WORK"/wayland-screenshot-*.png 2>/dev/null | head -1)
    [ -n "$shot" ] || continue
    white=$(count "$shot" white)
    maroon=$(count "$shot" 'rgb(128,0,0)')
    [ "$white" -ge 450000 ] && [ "$maroon" -ge 1000 ] && break
done
echo "white pixels: $white, maroon pixels: $maroon"
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended: $(cat "$WORK/stderr")"
[ "$white" -ge 450000 ] && [ "$maroon" -ge 1000 ] || fail "no welcome window on the screen"

grep -q 'set_app_id("fr.quiltaro.Quiltaro")' "$WORK/weston.log" ||
    fail "the window's app id is not fr.quiltaro.Quiltaro: $(grep -o 'set_app_id([^)]*)' "$WORK/weston.log" | head -1)"

kill "$GAME_PID"
wait "$GAME_PID" 2>/dev/null || true
GAME_PID=""
if [ -s "$WORK/stderr" ]; then
    cat "$WORK/stderr" >&2
    fail "the game printed on standard error"
fi
echo "OK: welcome window shown on Wayland, app id fr.quiltaro.Quiltaro, nothing on stderr"
