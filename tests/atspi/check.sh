#!/usr/bin/env bash
# Starts the real game on its own X server and session bus with the screen
# reader bridge on, and checks what a screen reader is told.
#   check.sh PATH/TO/quiltaro
set -euo pipefail
GAME="$1"
HERE="$(cd "$(dirname "$0")" && pwd)"
source "$HERE/session.sh"

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$GAME" >/dev/null 2>&1 &
started $!
# "commencer", then an answer and its judgement. The first round's mark is
# never below 100 (a tenth of the line is kept free at each end), so the
# answer 50 is always judged too low and a second try is always asked for.
xdotool mousemove $((72 + 688 + 100)) $((99 + 520 + 16)) click 1
sleep 1
/usr/bin/python3 "$HERE/listen.py" 5 0 Return 5 > "$WORK/seen" 2>/dev/null
cat "$WORK/seen"
expect "image | Droite graduée | Un nombre en rouge entre 0 et 999."
expect "push button | commencer |"
expect "push button | Loupe : agrandir l'intervalle | Clique sur cette loupe pour agrandir l'intervalle"
expect "push button | Flèche : continuer |"
expect "push button | Arrêt : quitter |"
expect "image | Point gagné |"
expect "image | Droite graduée | Le nombre en rouge est entre "
expect "last: Le nombre en rouge est entre 0 et 1000. / Essai n° 1 : 50 /"
expect "Essai n° 2 : 5"
expect "Score : 0 sur 10."
grep -qE '^announced: ([3-9]|[1-9][0-9]+)$' "$WORK/seen" || { echo "too few announcements"; fail=1; }
exit $fail
