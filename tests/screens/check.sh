#!/usr/bin/env bash
# Plays the real game on a 1920 x 1080 X screen at 200 % under openbox, as a
# pupil at a projector would: the welcome window must open whole, and every
# click lands on the target drawn there, in a window put full screen by F11.
#   check.sh PATH/TO/quiltaro
set -euo pipefail
GAME="$1"
unset QT_QPA_PLATFORM
source "$(dirname "$0")/../support/desktop.sh"
desktop_session Xvfb openbox xprop xdotool xwininfo import python3
start_desktop 1920x1080
RATIO=2 # device pixels to a logical one
QT_SCALE_FACTOR=$RATIO "$GAME" >"$WORK/log" 2>&1 &
GAME_PID=$!
PIDS=("$GAME_PID" "${PIDS[@]}")
sleep 2

fail=0
check() { # check WHAT CONDITION...
    local what="$1"; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
# The client area of a window in device pixels: X Y W H.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
# The screen point of a point given in twips of a window's design, where the
# window shows its content scaled to fit and centred.
at() { # at WINDOW DESIGN_W DESIGN_H TWIP_X TWIP_Y
    read -r x y w h < <(geometry "$1")
    python3 -c "
x, y, w, h, dw, dh, tx, ty = $x, $y, $w, $h, $2 * $RATIO, $3 * $RATIO, $4, $5
k = min(w / dw, h / dh)
print(round(x + (w - dw * k) / 2 + tx / 15 * $RATIO * k),
      round(y + (h - dh * k) / 2 + ty / 15 * $RATIO * k))"
}
click() { read -r px py < <(at "$@"); xdotool mousemove "$px" "$py" click 1; }
colour() { # colour WINDOW DESIGN_W DESIGN_H TWIP_X TWIP_Y: the screen's colour there
    read -r px py < <(at "$@")
    import -window root -crop "1x1+$px+$py" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}'
}
points() { echo $(($1 * 20)) $(($2 * 20)); } # points to twips

welcome=""
for _ in $(seq 50); do
    welcome=$(xdotool search --name '^accueil$' 2>/dev/null | head -1) && [ -n "$welcome" ] && break
    kill -0 "$GAME_PID" 2>/dev/null || break
    sleep 0.1
done
[ -n "$welcome" ] || { echo "FAILED: no welcome window"; cat "$WORK/log"; exit 1; }
read -r _ _ w h < <(geometry "$welcome")
check "the welcome window opens whole on the screen ($w x $h)" \
    test "$w" -le 1920 -a "$h" -le 1080 -a "$w" -gt 1500
xdotool key F11
sleep 1
read -r _ _ w h < <(geometry "$welcome")
check "F11 puts the welcome window full screen ($w x $h)" test "$w" = 1920 -a "$h" = 1080
xdotool key F11
sleep 1
read -r _ _ w h < <(geometry "$welcome")
check "F11 again gives it back its size ($w x $h)" test "$w" -lt 1920 -a "$h" -lt 1080
check "F11 is no key that leaves for the farewell" \
    test "$(xdotool search --onlyvisible --pid "$GAME_PID" | wc -l)" = 1

xdotool key F11 # full screen again, for the class
sleep 1
click "$welcome" 980 569 11880 8040 # "commencer"
sleep 1.5
game=$(xdotool getactivewindow)
check "commencer opens the game window" test "$game" != "$welcome"
read -r _ _ w h < <(geometry "$game")
check "from the full-screen welcome, the game window opens full screen ($w x $h)" \
    test "$w" = 1920 -a "$h" = 1080
xdotool key F11
sleep 1.5
read -r _ _ w h < <(geometry "$game")
check "F11 gives the game window its size ($w x $h)" test "$w" -lt 1920 -a "$h" -lt 1080
xdotool key F11
sleep 1.5
read -r _ _ w h < <(geometry "$game")
check "F11 puts the game window full screen ($w x $h)" test "$w" = 1920 -a "$h" = 1080
# The first round's mark is a whole number, so 500,5 is never the mark: the
# round goes on and the interval left is narrow enough for the magnifier.
xdotool type --delay 50 500,5
xdotool key Return
sleep 2.5
# After the zoom the band fills the line from 50 to 430 points, whatever side
# 500,5 left; it is read above the red mark's top, at 110 points.
click "$game" 861 568 10395 2460 # Loupe
sleep 4
check "Loupe zooms the interval" test "$(colour "$game" 861 568 $(points 60 105))" = "#00FFFF" -a \
    "$(colour "$game" 861 568 $(points 420 105))" = "#00FFFF"
xdotool key Escape # gives up: arret and flèche are shown
sleep 1
check "arret is drawn where it is" test "$(colour "$game" 861 568 360 8160)" = "#FF0000"
click "$game" 861 568 9600 8280 # flèche: the next round
sleep 1.5
check "flèche starts the next round" test "$(colour "$game" 861 568 360 8160)" = "#FFFFFF"
xdotool key Escape
sleep 1
click "$game" 861 568 360 8280 # arret
sleep 1.5
farewell=$(xdotool getactivewindow)
check "arret opens the farewell window" test "$farewell" != "$game" -a "$farewell" != "$welcome"
read -r _ _ w h < <(geometry "$farewell")
check "from the full-screen game, the farewell window opens full screen ($w x $h)" \
    test "$w" = 1920 -a "$h" = 1080
click "$farewell" 887 576 11520 4440 # the farewell arrow
sleep 1.5
check "the farewell arrow ends the game" bash -c "! kill -0 $GAME_PID 2>/dev/null"
check "nothing on stderr" test -z "$(grep -v XDG_RUNTIME_DIR "$WORK/log")"

# A 1366 x 768 laptop with a panel of 40 pixels at the bottom (openbox keeps
# that margin out of the work area): the game window moves up to stay whole.
cleanup
PIDS=()
WORK="$(mktemp -d)"
sed 's|<bottom>0</bottom>|<bottom>40</bottom>|' /etc/xdg/openbox/rc.xml >"$WORK/rc.xml"
start_desktop 1366x768 "$WORK/rc.xml"
RATIO=1
"$GAME" >"$WORK/log" 2>&1 &
PIDS=($! "${PIDS[@]}")
sleep 2
welcome=$(xdotool search --name '^accueil$' | head -1)
read -r x y w h < <(geometry "$welcome")
check "the welcome window opens at its design place and size ($x, $y, $w x $h)" \
    test "$x $y $w $h" = "72 99 980 569"
click "$welcome" 980 569 11880 8040 # "commencer"
sleep 1.5
game=$(xdotool getactivewindow 2>/dev/null || true)
read -r x y w h < <(geometry "${game:-$welcome}")
check "the game window stays above the panel ($x, $y, $w x $h)" \
    test "$w $h" = "861 568" -a $((y + h)) -le 728

# A French keyboard, as in every classroom: the unshifted top row gives "&"
# and "é" (not answers: ignored), the digits come from the keypad with Num
# Lock on, its decimal key is the separator and its Enter submits. 500,5 on
# the scale of 0 to 1000 stands at 240 points: one bracket sweeps there, and
# the band lies on one side of it. The colours are read above the red mark's
# top (110 points), which may stand next to the bracket or on it.
setxkbmap fr
xdotool key Num_Lock
xdotool key --delay 50 ampersand eacute KP_5 KP_0 KP_0 KP_Decimal KP_5 KP_Enter
sleep 2.5
sides="$(colour "$game" 861 568 $(points 236 105)) $(colour "$game" 861 568 $(points 245 105))"
check "an answer typed on an AZERTY keypad is judged ($sides)" \
    test "$(colour "$game" 861 568 $(points 240 105))" = "#000080" -a \
    \( "$sides" = "#00FFFF #FFFFFF" -o "$sides" = "#FFFFFF #00FFFF" \)
exit $fail
