#!/usr/bin/env bash
# The three windows open at their design size on desktops at 150 % and 175 %
# under openbox, which sizes a window in the steps Qt asks for: device pixels
# for the design's logical ones, rounded, and nothing less.
#   sizes.sh PATH/TO/quiltaro
set -euo pipefail
GAME="$1"
unset QT_QPA_PLATFORM
source "$(dirname "$0")/../support/desktop.sh"
desktop_session Xvfb openbox xprop xdotool xwininfo python3
# Large enough for every window at its design size.
start_desktop 3840x2160

fail=0
size() { xwininfo -id "$1" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h}'; }
designed() { python3 -c "import math; print(f'{math.floor($1 * $3 + 0.5)}x{math.floor($2 * $3 + 0.5)}')"; }
active_other_than() { # the active window, once it is none of those given
    local id
    for _ in $(seq 50); do
        id=$(xdotool getactivewindow 2>/dev/null || true)
        if [ -n "$id" ] && ! printf '%s\n' "$@" | grep -qx "$id"; then
            echo "$id"
            return
        fi
        sleep 0.1
    done
}
expect() { # expect NAME WINDOW DESIGN_W DESIGN_H RATIO
    local got want
    got=$(size "$2")
    want=$(designed "$3" "$4" "$5")
    if [ "$got" = "$want" ]; then
        echo "ok: at $5, the $1 window is $got"
    else
        echo "FAILED: at $5, the $1 window is $got, not $want"
        fail=1
    fi
}

for ratio in 1.5 1.75; do
    QT_SCALE_FACTOR=$ratio "$GAME" >"$WORK/log" 2>&1 &
    game_pid=$!
    PIDS=("$game_pid" "${PIDS[@]}")
    welcome=""
    for _ in $(seq 50); do
        welcome=$(xdotool search --onlyvisible --pid "$game_pid" --name '^accueil$' 2>/dev/null |
            head -1) && [ -n "$welcome" ] && break
        sleep 0.1
    done
    [ -n "$welcome" ] || { echo "FAILED: no welcome window at $ratio"; cat "$WORK/log"; exit 1; }
    sleep 0.5
    expect welcome "$welcome" 980 569 "$ratio"
    # "commencer", at its place in the design.
    read -r x y < <(xwininfo -id "$welcome" | awk '/Absolute upper-left X/ {x=$NF}
        /Absolute upper-left Y/ {y=$NF} END {print x, y}')
    xdotool mousemove "$(python3 -c "print(round($x + 792 * $ratio))")" \
        "$(python3 -c "print(round($y + 536 * $ratio))")" click 1
    game=$(active_other_than "$welcome")
    sleep 0.5
    [ -n "$game" ] && expect game "$game" 861 568 "$ratio" || { echo "FAILED: no game window"; fail=1; }
    xdotool key Escape # gives up
    sleep 0.5
    xdotool key Escape # leaves
    farewell=$(active_other_than "$welcome" "$game")
    sleep 0.5
    [ -n "$farewell" ] && expect farewell "$farewell" 887 576 "$ratio" ||
        { echo "FAILED: no farewell window"; fail=1; }
    kill "$game_pid" 2>/dev/null || true
    wait "$game_pid" 2>/dev/null || true
done
exit "$fail"
