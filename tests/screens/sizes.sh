#!/usr/bin/env bash
# The three windows open at their design size on desktops at 150 % and 175 %
# under openbox, which sizes a window in the steps Qt asks for: device pixels
# for the design's logical ones, rounded, and nothing less. Then the game on
# a laptop at 150 %, its picture scaled down to fit: the axis stays straight.
#   sizes.sh PATH/TO/quiltaro
set -euo pipefail
GAME="$1"
unset QT_QPA_PLATFORM
source "$(dirname "$0")/../support/desktop.sh"
desktop_session Xvfb openbox xprop xdotool xwininfo import python3
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

axis_once() { # axis_once WINDOW RATIO WHEN: the axis at y = 120 points is one band of rows
    local left top width height
    read -r left top width height < <(xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF}
        /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}' |
        python3 -c "
x, y, w, h = map(int, input().split())
# The design scaled to fit the window and centred, as the game draws it.
dw, dh = 861 * $2, 568 * $2
s = min(w / dw, h / dh)
k = $2 * s * 96 / 72  # device pixels a point
ox, oy = x + (w - dw * s) / 2, y + (h - dh * s) / 2
print(round(ox + 15 * k), round(oy + 112 * k), round(440 * k), round(16 * k))")
    import -window root -crop "${width}x${height}+${left}+${top}" -depth 8 txt:- | python3 -c "
import sys, collections
rows = collections.defaultdict(set)   # column: rows of the axis's colour
other = set()                          # columns crossed by a bracket or the mark
for line in sys.stdin:
    if line.startswith('#'):
        continue
    where, _, rest = line.partition(':')
    x, y = map(int, where.split(','))
    colour = next((w for w in rest.split() if w.startswith('#')), '')
    if colour == '#0000FF':
        rows[x].add(y)
    elif colour not in ('#FFFFFF', '#00FFFF'):
        other.add(x)
bands = collections.Counter(frozenset(r) for x, r in rows.items() if x not in other)
if len(bands) == 1:
    print('ok: at $2, the axis is straight $3')
else:
    print('FAILED: at $2, the axis has steps $3:', [(sorted(b), n) for b, n in bands.items()])
    sys.exit(1)
"
}
straight_axis() { # straight_axis WINDOW RATIO WHEN: as axis_once, once the animation has ended
    # A loaded machine may still be animating; a step left on the screen stays.
    local out
    for _ in $(seq 20); do
        out=$(axis_once "$@") && { echo "$out"; return; }
        sleep 0.5
    done
    echo "$out"
    fail=1
}

start_game() { # start_game RATIO WHERE: the game at that ratio; sets game_pid and welcome
    QT_SCALE_FACTOR=$1 "$GAME" >"$WORK/log" 2>&1 &
    game_pid=$!
    PIDS=("$game_pid" "${PIDS[@]}")
    welcome=""
    for _ in $(seq 50); do
        welcome=$(xdotool search --onlyvisible --pid "$game_pid" --name '^accueil$' 2>/dev/null |
            head -1) && [ -n "$welcome" ] && break
        sleep 0.1
    done
    [ -n "$welcome" ] || { echo "FAILED: no welcome window $2"; cat "$WORK/log"; exit 1; }
    sleep 0.5
}

for ratio in 1.5 1.75; do
    start_game "$ratio" "at $ratio"
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

# A laptop of 1366 x 768 at 150 %: the game window is scaled down to fit, its
# picture drawn at 0.84 of its design size in device pixels of 1.5, and most
# small repaints start at a fraction of a device pixel. The axis stays
# straight through a sweep, a zoom and a new round.
cleanup
PIDS=()
WORK="$(mktemp -d)"
start_desktop 1366x768
start_game 1.5 "on the laptop"
read -r x y w h < <(xwininfo -id "$welcome" | awk '/Absolute upper-left X/ {x=$NF}
    /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
xdotool mousemove $(python3 -c "
s = min($w / (980 * 1.5), $h / (569 * 1.5))
print(round($x + 792 * 1.5 * s), round($y + 536 * 1.5 * s))") click 1
game=$(active_other_than "$welcome")
[ -n "$game" ] || { echo "FAILED: no game window on the laptop"; exit 1; }
sleep 1
xdotool type --delay 50 500,5
xdotool key Return
sleep 2.5
straight_axis "$game" 1.5 "after a sweep"
xdotool key Return # Enter on an empty answer zooms
sleep 4
straight_axis "$game" 1.5 "after a zoom"
xdotool key Escape # gives up
sleep 1
xdotool key Return # the next round
sleep 1.5
straight_axis "$game" 1.5 "at a new round"
exit "$fail"
