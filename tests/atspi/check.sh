#!/usr/bin/env bash
# Starts the real game on its own X server and session bus with the screen
# reader bridge on, and checks what a screen reader is told.
#   check.sh PATH/TO/quiltaro
set -euo pipefail
GAME="$1"
# The tests around this one run headless; this one needs the real X platform.
unset QT_QPA_PLATFORM
HERE="$(cd "$(dirname "$0")" && pwd)"
# Nothing it starts (X server, buses, the game) may outlive it: it runs again
# under the check that looks for such leftovers once it has ended.
if [ -z "${QUILTARO_LEFTOVER_MARK:-}" ]; then
    exec bash "$HERE/../support/no-leftovers.sh" bash "$0" "$@"
fi
for tool in Xvfb xdotool dbus-run-session /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null || [ -x "$tool" ] || { echo "missing: $tool" >&2; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' || { echo "missing: python3-pyatspi" >&2; exit 1; }
# A run meant for a French desktop proves nothing if the locale is missing.
if [ -n "${QUILTARO_TEST_DECIMAL_POINT:-}" ]; then
    point="$(/usr/bin/python3 -c 'import locale; locale.setlocale(locale.LC_ALL, ""); print(locale.localeconv()["decimal_point"])')"
    [ "$point" = "$QUILTARO_TEST_DECIMAL_POINT" ] || { echo "the locale ${LC_ALL:-$LANG} is not installed" >&2; exit 1; }
fi

exec dbus-run-session -- bash -s "$GAME" "$HERE" <<'SESSION'
set -euo pipefail
GAME="$1"; HERE="$2"
WORK="$(mktemp -d)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
XVFB=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$WORK/display")"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
BUS=$!
sleep 0.5
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$GAME" >/dev/null 2>&1 &
PID=$!
trap 'kill $PID $BUS $XVFB 2>/dev/null || true; wait $PID $BUS $XVFB 2>/dev/null || true; rm -rf "$WORK"' EXIT
sleep 1.5
# "commencer", then an answer and its judgement. The first round's mark is
# never below 100 (a tenth of the line is kept free at each end), so the
# answer 50 is always judged too low and a second try is always asked for.
xdotool mousemove $((72 + 688 + 100)) $((99 + 520 + 16)) click 1
sleep 1
/usr/bin/python3 "$HERE/listen.py" 5 0 Return 5 > "$WORK/seen" 2>/dev/null
cat "$WORK/seen"
fail=0
expect() { grep -qF -- "$1" "$WORK/seen" || { echo "NOT SEEN: $1"; fail=1; }; }
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
SESSION
