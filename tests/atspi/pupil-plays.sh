#!/usr/bin/env bash
# A pupil at one of the room's computers: starts the real game on an X server
# of its own under openbox, with the screen readers' bus for reading what the
# game says, plays one round to its end with real keys and clicks (play.py),
# and leaves by the farewell. The computer's and the login's files are those
# the environment names (XDG_CONFIG_DIRS, XDG_CONFIG_HOME, XDG_DATA_HOME).
# Fails when the game does not end by itself, or says anything on standard
# error.
#   pupil-plays.sh PATH/TO/quiltaro PUPIL
set -euo pipefail
GAME="$1"
PUPIL="$2"
# The suites around this one run headless; a pupil's game needs a screen.
unset QT_QPA_PLATFORM
HERE="$(cd "$(dirname "$0")" && pwd)"
for tool in Xvfb openbox xprop xdotool dbus-run-session /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null || [ -x "$tool" ] || { echo "missing: $tool" >&2; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' || { echo "missing: python3-pyatspi" >&2; exit 1; }

exec dbus-run-session -- bash -s "$GAME" "$PUPIL" "$HERE" <<'SESSION'
set -euo pipefail
GAME="$1"; PUPIL="$2"; HERE="$3"
source "$HERE/../support/desktop.sh"
desktop_session
start_desktop 1280x1024
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
PIDS+=($!)
sleep 0.5
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$GAME" >"$WORK/log" 2>&1 &
GAME_PID=$!
PIDS=("$GAME_PID" "${PIDS[@]}")
# The game asks "Qui joue ?" from its copy of the server's class list, which
# it fetches at start (a "commencer" before that plays under the login's
# name); the pupil sits down once the welcome has been up a moment, as in
# class.
copies="$XDG_DATA_HOME/quiltaro/classes-serveur"
for _ in $(seq 100); do compgen -G "$copies/*.txt" >/dev/null && break; sleep 0.1; done
compgen -G "$copies/*.txt" >/dev/null || echo "no copy of the class list in $copies after 10 s"
sleep 1
status=0
if ! /usr/bin/python3 "$HERE/play.py" "$PUPIL"; then
    status=1
    # QUILTARO_SHOT=FILE.png keeps the screen as the pupil last saw it.
    [ -z "${QUILTARO_SHOT:-}" ] || import -window root "$QUILTARO_SHOT"
fi
# The farewell's arrow ends the game, once its rounds have gone to the server.
for _ in $(seq 300); do kill -0 "$GAME_PID" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$GAME_PID" 2>/dev/null; then
    echo "the game is still running after the farewell"
    status=1
elif ! wait "$GAME_PID"; then
    echo "the game ended with a failure"
    status=1
fi
# Qt's note on a missing XDG_RUNTIME_DIR is the test's session's, not the game's.
if grep -v XDG_RUNTIME_DIR "$WORK/log"; then
    echo "^ said on standard error"
    status=1
fi
exit "$status"
SESSION
