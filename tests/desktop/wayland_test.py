#!/usr/bin/python3
"""tovi-studio as a native Wayland window under weston's headless backend with its desktop shell
and panel: it opens with the whole send bar on the output.
   wayland_test.py TOVI_STUDIO PICTURE [SCREENSHOT]"""

import sys

import numpy
from session import Wayland, app_env, remember, wait_until

studio, picture = sys.argv[1], sys.argv[2]
WIDTH, HEIGHT = 1366, 768
ACCENT = (237, 105, 46)  # the send button's fill


def send_button(image):
    """The send button's rows on the screen: the lowest run of rows at least 24 high in which
    60 or more pixels have the accent's colour; None when there is none."""
    near = (numpy.abs(numpy.asarray(image, dtype=int) - ACCENT) <= 12).all(axis=2)
    rows = list(near.sum(axis=1) >= 60)
    runs, start = [], None
    for y, full in enumerate(rows + [False]):
        if full and start is None:
            start = y
        elif not full and start is not None:
            runs.append((start, y))
            start = None
    runs = [run for run in runs if run[1] - run[0] >= 24]
    return runs[-1] if runs else None


with Wayland(WIDTH, HEIGHT) as desktop:
    env = app_env(desktop, "wayland")
    remember(desktop, {"tutorial.factory-to-yours.version": 1})
    app = desktop.start([studio, picture], env=env)
    shot = None

    def drawn():
        global shot
        if app.poll() is not None:
            raise AssertionError(f"tovi-studio ended with {app.returncode}")
        shot = desktop.screenshot()
        return send_button(shot)
    try:
        top, bottom = wait_until(drawn, timeout=60, what="the send button on the output")
    finally:
        if len(sys.argv) > 3 and shot:
            shot.save(sys.argv[3])
    # Wholly on the output, under weston's panel, with room to spare below.
    print(f"send button rows {top}…{bottom} of {HEIGHT}")
    sys.exit(0 if 32 <= top and bottom < HEIGHT - 8 else 1)
