#!/usr/bin/python3
"""Plays one round of the running game to its end, as a pupil would, through
the screen readers' own bus (AT-SPI) and real keys and clicks (xdotool):
"commencer", the pupil's name on "Qui joue ?", guesses typed on the keyboard
that halve the interval the game reads out after each one until the red
number is found, then "Arrêt" and the farewell's arrow.
    play.py PUPIL"""
import re
import subprocess
import sys
import time

from press import game, objects, press

LINE = "Droite graduée"


def narration():
    """What the game window's number line tells a screen reader now."""
    app = game()
    for node in objects(app, []) if app else []:
        try:
            if node.name == LINE and "Score :" in node.description:
                return node.description
        except Exception:
            pass
    return ""


def number(text):
    return float(text.replace(",", "."))


def interval(told):
    found = re.search(r"entre (\S+) et (\S+)\.", told)
    if not found:
        sys.exit(f"no interval told: {told!r}")
    return number(found.group(1)), number(found.group(2))


def judged(before):
    """The verdict on the answer just given, once the game has told it: the
    red number found, or an interval other than `before`."""
    for _ in range(150):
        told = narration()
        if "Trouvé" in told:
            return "Trouvé", told
        if "entre" in told and interval(told) != before:
            for verdict in ("Trop grand.", "Trop petit."):
                if verdict in told:
                    return verdict, told
        time.sleep(0.1)
    sys.exit(f"no verdict on the answer: {narration()!r}")


def play_round():
    told = ""
    for _ in range(100):
        told = narration()
        if "entre" in told:
            break
        time.sleep(0.1)
    for attempt in range(1, 16):
        low, high = interval(told)
        if low != int(low) or high != int(high):
            sys.exit(f"a round of whole numbers was expected: {told!r}")
        answer = str(int(low + high) // 2)
        subprocess.run(["xdotool", "type", "--delay", "80", answer], check=True)
        subprocess.run(["xdotool", "key", "Return"], check=True)
        verdict, told = judged((low, high))
        print(f"essai {attempt} : {answer} -> {verdict}", flush=True)
        if verdict == "Trouvé":
            return
    sys.exit("not found in 15 tries")


def main(pupil):
    press("commencer")
    press(pupil)
    play_round()
    press("Arrêt : quitter", within="Quiltaro")
    press("Flèche : quitter le jeu")


if __name__ == "__main__":
    main(sys.argv[1])
