#!/usr/bin/python3
"""Reads the running game through the screen readers' own bus (AT-SPI).

Prints every accessible object as `role | name | description`, then drives
the game with the keys given on the command line (xdotool) while listening
for description changes, and prints how many were announced."""
import subprocess
import sys
import threading
import time

import pyatspi
from gi.repository import GLib


def walk(node, depth, out):
    try:
        out.append(f"{node.getRoleName()} | {node.name} | {node.description}")
        for i in range(node.childCount):
            walk(node.getChildAtIndex(i), depth + 1, out)
    except Exception:  # an object that went away while we read it
        pass


def dump():
    out = []
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "quiltaro":
            walk(app, 0, out)
    return out


announced = []


def on_change(event):
    if event.source.name == "Droite graduée":
        announced.append(event.source.description)


def drive(keys):
    time.sleep(0.5)
    for key in keys:
        subprocess.run(["xdotool", "key", "--delay", "50", key], check=True)
        time.sleep(0.3)
    time.sleep(2.5)
    GLib.idle_add(pyatspi.Registry.stop)


pyatspi.Registry.registerEventListener(on_change, "object:property-change:accessible-description")
threading.Thread(target=drive, args=(sys.argv[1:],), daemon=True).start()
pyatspi.Registry.start()
print("\n".join(dump()))
print(f"announced: {len(announced)}")
for text in announced[-3:]:
    print("last: " + text.replace("\n", " / "))
