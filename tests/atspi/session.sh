# Sourced by the screen-reader checks, with HERE set and the check's own
# arguments: runs the check again under the watch for leftovers (nothing it
# starts may outlive it), then in a session bus of its own, where it starts
# an X server and the accessibility bus. The check then starts the game,
# names it with `started PID`, and reads what a screen reader is told;
# `expect TEXT` looks for TEXT in $WORK/seen. NEEDED lists further tools.

# The tests around these run headless; these need the real X platform.
unset QT_QPA_PLATFORM
if [ -z "${QUILTARO_LEFTOVER_MARK:-}" ]; then
    exec bash "$HERE/../support/no-leftovers.sh" bash "$0" "$@"
fi
if [ -z "${QUILTARO_IN_SESSION:-}" ]; then
    for tool in Xvfb xdotool dbus-run-session /usr/libexec/at-spi-bus-launcher ${NEEDED:-}; do
        command -v "$tool" >/dev/null || [ -x "$tool" ] || { echo "missing: $tool" >&2; exit 1; }
    done
    /usr/bin/python3 -c 'import pyatspi' || { echo "missing: python3-pyatspi" >&2; exit 1; }
    # A run meant for a French desktop proves nothing if the locale is missing.
    if [ -n "${QUILTARO_TEST_DECIMAL_POINT:-}" ]; then
        point="$(/usr/bin/python3 -c 'import locale; locale.setlocale(locale.LC_ALL, ""); print(locale.localeconv()["decimal_point"])')"
        [ "$point" = "$QUILTARO_TEST_DECIMAL_POINT" ] || { echo "the locale ${LC_ALL:-$LANG} is not installed" >&2; exit 1; }
    fi
    QUILTARO_IN_SESSION=1 exec dbus-run-session -- bash "$0" "$@"
fi

WORK="$(mktemp -d)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
RUNNING="$!"
trap 'kill $RUNNING 2>/dev/null || true; wait $RUNNING 2>/dev/null || true; rm -rf "$WORK"' EXIT
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$WORK/display")"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
RUNNING="$! $RUNNING"
sleep 0.5

# The game just started, stopped with the rest; it is given time to show.
started() {
    RUNNING="$1 $RUNNING"
    sleep 1.5
}

fail=0
expect() { grep -qF -- "$1" "$WORK/seen" || { echo "NOT SEEN: $1"; fail=1; }; }
