#!/usr/bin/python3
"""Plays the running game through the screen readers' own bus (AT-SPI): for
each name given, finds the control of that name that is showing and clicks
its middle with xdotool, then prints every accessible object as
`role | name`. A step may also be `key:KEY` (xdotool's name of a key) or
`wait:SECONDS`."""
import subprocess
import sys
import time

import pyatspi


def objects(node, out):
    try:
        out.append(node)
        for i in range(node.childCount):
            objects(node.getChildAtIndex(i), out)
    except Exception:  # an object that went away while we read it
        pass
    return out


def game():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "quiltaro":
            return app
    return None


def showing(name, within=None):
    """The control of that name that is showing, in the window named
    `within` when given (the welcome window stays open under the game's)."""
    app = game()
    windows = [app] if app else []
    if app and within:
        windows = [w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
                   if w is not None and w.name == within]
    for window in windows:
        for node in objects(window, []):
            try:
                if node.name == name and node.getState().contains(pyatspi.STATE_SHOWING):
                    return node
            except Exception:
                pass
    return None


def press(name, within=None):
    for _ in range(50):
        node = showing(name, within)
        if node:
            box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            x, y = box.x + box.width // 2, box.y + box.height // 2
            subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)
            return
        time.sleep(0.2)
    sys.exit(f"never shown: {name}")


def main(steps):
    for step in steps:
        if step.startswith("wait:"):
            time.sleep(float(step[5:]))
        elif step.startswith("key:"):
            subprocess.run(["xdotool", "key", step[4:]], check=True)
            time.sleep(0.8)
        else:
            press(step)
            time.sleep(0.8)
    app = game()
    for node in objects(app, []) if app else []:
        try:
            print(f"{node.getRoleName()} | {node.name}")
        except Exception:
            pass


if __name__ == "__main__":
    main(sys.argv[1:])
