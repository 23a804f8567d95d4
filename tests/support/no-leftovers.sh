#!/usr/bin/env bash
# Runs a command and fails if any process it started, however deep, is still
# running once it has ended: an X server, a bus, the game. Each process
# started from here carries a mark in its environment, which survives being
# handed to init and daemonizing, so other people's processes (another X
# server, another test) are never mistaken for ours.
#   no-leftovers.sh COMMAND [ARG...]   exits with COMMAND's status, or 1
set -uo pipefail
mark="QUILTARO_LEFTOVER_MARK=$$-$RANDOM$RANDOM"

marked() {
    local dir
    for dir in /proc/[0-9]*; do
        [ "${dir#/proc/}" = "$$" ] && continue
        { tr '\0' '\n' <"$dir/environ"; } 2>/dev/null | grep -qxF "$mark" || continue
        printf '%s %s\n' "${dir#/proc/}" "$({ tr '\0' ' ' <"$dir/cmdline"; } 2>/dev/null)"
    done
}

env "$mark" "$@"
status=$?
# A process that was told to end may take a moment to go.
for _ in $(seq 30); do
    left="$(marked)"
    [ -z "$left" ] && break
    sleep 0.1
done
if [ -n "$left" ]; then
    echo "FAIL: still running after '$*' ended:" >&2
    echo "$left" >&2
    # Ours, by the mark: ended here so that they do not pile up.
    while read -r pid _; do kill "$pid" 2>/dev/null; done <<<"$left"
    exit 1
fi
echo "no process left behind (exit status $status)"
exit "$status"
