#!/usr/bin/env bash
# Re-makes the README's pictures: the game under X servers of its own (Xvfb,
# with openbox where the screen matters), driven with xdotool like a pupil
# would, each window cut out of a screenshot.
#   scripts/screenshots.sh        writes docs/*.png
set -euo pipefail
source "$(dirname "$0")/setup.sh"
with_test_packages
install_packages
BUILD_TARGETS="quiltaro quiltaro-results quiltaro_record_sample" build_tree "$ROOT/build"

OUT="$ROOT/docs"
mkdir -p "$OUT"
# The games played here keep their record in a folder of their own, never in
# the user's; the results window is shown from a generated record.
DATA=$(mktemp -d)
export XDG_DATA_HOME="$DATA/played"
# Nor the user's class list: the windows of a personal login.
export XDG_CONFIG_HOME="$DATA/config"
PIDS=()
# The game, then its window manager and X server, each gone before the next
# session and before the script ends.
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    PIDS=()
}
trap 'cleanup; rm -rf "$DATA"' EXIT
# session WxH [wm] [VAR=value...]: a fresh X server of that size on a free
# display, openbox on it when asked, and the game.
session() {
    cleanup
    local size="$1" wm="${2:-}" fd
    shift 2 || shift $#
    fd="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fd" >/dev/null 2>&1 &
    PIDS+=($!)
    for _ in $(seq 100); do [ -s "$fd" ] && break; sleep 0.05; done
    export DISPLAY=":$(cat "$fd")"
    rm -f "$fd"
    if [ -n "$wm" ]; then
        openbox >/dev/null 2>&1 &
        PIDS+=($!)
        sleep 0.5
    fi
    env "$@" "$ROOT/build/app/quiltaro" >/dev/null 2>&1 &
    PIDS+=($!)
    sleep 1.5
}
shot() { import -window root -crop "$2" +repage "$OUT/$1.png"; }
# A round in play: one guess that narrows the interval, one typed answer.
play() {
    xdotool type --delay 80 "250"
    xdotool key Return
    sleep 2
    xdotool type --delay 80 "400"
    xdotool key Return
    sleep 3
    xdotool type --delay 80 "3"
    sleep 0.3
}

# The windows at their design size, without a window manager: the client
# areas stand where the program puts them, the welcome window at (72, 99),
# the game window at (82, 198).
session 1280x1024
shot welcome 980x569+72+99

xdotool mousemove $((72 + 688 + 100)) $((99 + 520 + 16)) click 1 # "commencer"
sleep 1
shot game 861x568+82+198
play
shot round 861x568+82+198

xdotool key Escape # gives up: the solution
sleep 0.5
xdotool key Escape # the farewell window
sleep 1
eval "$(xdotool getwindowfocus getwindowgeometry --shell)"
shot farewell "${WIDTH}x${HEIGHT}+${X}+${Y}"

# A projector: the game window full screen at 1920 x 1080, by F11.
session 1920x1080 wm
xdotool mousemove $((72 + 688 + 100)) $((99 + 520 + 16)) click 1 # "commencer"
sleep 1
xdotool key F11
sleep 1
play
shot fullscreen 1920x1080+0+0

# 1920 x 1080 at 200 %: the welcome window, 980 x 569 points of 2 pixels at
# its design size, is scaled down to fit the screen whole.
session 1920x1080 wm QT_SCALE_FACTOR=2
shot welcome-200 1920x1080+0+0

# "Qui joue ?" for a class of 25 under a shared login, at 200 %: opened by
# "commencer", the arrows on the third name.
mkdir -p "$DATA/class/quiltaro"
printf '%s\n' Léa Tom Zoé Inès Jean-Baptiste Chloé Nathan Emma Lucas Jade Louis Hugo \
    Manon Gabriel Maëlys Arthur "N'Golo" Camille Sacha Lina \
    "Marie-Charlotte-Éléonore de La Tour d'Auvergne" Noah Rose Adam Œdipe \
    >"$DATA/class/quiltaro/classe.txt"
session 1920x1080 wm QT_SCALE_FACTOR=2 XDG_CONFIG_HOME="$DATA/class"
xdotool mousemove 1545 1014 click 1 # "commencer", where openbox puts it
window=$(xdotool search --sync --name "^Qui joue")
sleep 1
xdotool key Right Right
sleep 0.5
import -window "$window" "$OUT/chooser-200.png"

# The results window, on the homes of an imagined class of five, 40 games
# each at most, opened as a teacher opens a copy of them.
session 1920x1080
kill "${PIDS[-1]}" 2>/dev/null || true # not the game this time
export XDG_DATA_HOME="$DATA/teacher"
"$ROOT/build/record/quiltaro_record_sample" --class "$DATA/homes" 40
LANG=fr_FR.UTF-8 "$ROOT/build/app/quiltaro" --results "$DATA/homes" >/dev/null 2>&1 &
PIDS+=($!)
window=$(xdotool search --sync --name "^Quiltaro : r")
sleep 2
eval "$(xdotool getwindowgeometry --shell "$window")"
shot results "${WIDTH}x${HEIGHT}+${X}+${Y}"
echo "Pictures written to $OUT"
