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


def showing(name):
    app = game()
    for node in objects(app, []) if app else []:
        try:
            if node.name == name and node.getState().contains(pyatspi.STATE_SHOWING):
                return node
        except Exception:
            pass
    return None


def press(name):
    for _ in range(50):
        node = showing(name)
        if node:
            box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            x, y = box.x + box.width // 2, box.y + box.height // 2
            subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)
            return
        time.sleep(0.2)
    sys.exit(f"never shown: {name}")


for step in sys.argv[1:]:
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
