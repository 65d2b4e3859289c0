#!/usr/bin/env python3
"""Prints the text of each edit box of a window as a user would copy it: a click into the box,
End, Shift+Home and Ctrl+C, then the clipboard. Works alike on the FLTK window and on the Win32
window under Wine, which both hand their copies to the X clipboard.

usage: box_texts.py <window id> <name>=<x>,<y>...   (points in the window's client area)
Prints "<name>=<text>" per box; fails when a copy does not reach the clipboard within 30 s. A copy
is told by the clipboard's change, so neighbouring boxes must hold different texts. The clipboard
is only read here, never taken: Wine takes in what another program puts there in the background,
which could overwrite the window's own copy.
"""

import subprocess
import sys
import time
import tkinter


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def copied_text(root, previous):
    """The clipboard once the window's copy has replaced the previous text there."""
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        root.update()
        try:
            text = root.clipboard_get()
        except tkinter.TclError:  # no owner yet, or it has not answered
            text = previous
        if text != previous:
            return text
        time.sleep(0.05)
    raise SystemExit(f"no copy reached the clipboard after {previous!r}")


def main():
    window, boxes = sys.argv[1], sys.argv[2:]
    root = tkinter.Tk()
    root.withdraw()
    text = None
    for box in boxes:
        name, point = box.split("=")
        x, y = point.split(",")
        xdotool("mousemove", "--window", window, x, y, "click", "1")
        xdotool("key", "--clearmodifiers", "End", "shift+Home", "ctrl+c")
        text = copied_text(root, text)
        print(f"{name}={text}", flush=True)


if __name__ == "__main__":
    main()
