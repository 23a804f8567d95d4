#!/usr/bin/env bash
# Starts the real game where it can write nothing at all (a file-size limit
# of 0: neither the record nor the rounds kept beside it take a byte), plays
# a round, goes to the farewell, and reads through the screen readers' bus
# what the pupil and the teacher are told there.
#   nothing-kept.sh PATH/TO/quiltaro
set -euo pipefail
GAME="$1"
HERE="$(cd "$(dirname "$0")" && pwd)"
NEEDED=prlimit
source "$HERE/session.sh"

# A home of its own, where the record is made at the first round.
mkdir -p "$WORK/data"
# Its standard error through a pipe: under the limit it could write no file.
XDG_DATA_HOME="$WORK/data" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    prlimit --fsize=0 -- "$GAME" >/dev/null 2> >(cat >"$WORK/err") &
started $!
# Escape gives the round up, which ends it; the record then has a moment to
# take it or keep it aside, and can do neither. Escape again: the farewell.
/usr/bin/python3 "$HERE/press.py" "commencer" "key:Escape" "wait:2" "key:Escape" "wait:1" \
    > "$WORK/seen" 2>&1 || true
cat "$WORK/seen"
[ -z "${QUILTARO_SHOT:-}" ] || import -window root "$QUILTARO_SHOT"
expect "label | Attention : tes parties ne sont pas enregistrées. Demande à ton enseignant de venir voir."
expect "Pour l'enseignant : les manches ne peuvent être ni enregistrées dans $WORK/data/quiltaro/record.sqlite"
expect "libérez de la place sur le disque ou rendez le dossier $WORK/data/quiltaro modifiable"
# Said on standard error too, for whoever reads the session's log.
grep -qF "ne peuvent être ni enregistrées" "$WORK/err" || { echo "NOT ON STANDARD ERROR"; cat "$WORK/err"; fail=1; }
exit $fail
