#!/usr/bin/python3
"""tovi-studio as a native Wayland window under weston's headless backend with its desktop shell
and panel: it opens with the whole send bar on the output.
   wayland_test.py TOVI_STUDIO PICTURE"""

import sys

import numpy
from session import Wayland, app_env, wait_until

studio, picture = sys.argv[1], sys.argv[2]
WIDTH, HEIGHT = 1366, 768
ACCENT = (237, 105, 46)  # the send button's fill


def send_button(image):
    """The send button's rows on the screen, top and bottom: the lowest run of rows at least 24
    high in which 60 or more pixels have the accent's colour; None when there is none."""
    near = (numpy.abs(numpy.asarray(image, dtype=int) - ACCENT) <= 12).all(axis=2)
    full = numpy.concatenate(([0], near.sum(axis=1) >= 60, [0])).astype(int)
    edges = numpy.flatnonzero(numpy.diff(full))  # where runs start and end
    runs = [(top, bottom) for top, bottom in zip(edges[::2], edges[1::2]) if bottom - top >= 24]
    return runs[-1] if runs else None


with Wayland(WIDTH, HEIGHT) as desktop:
    app = desktop.start([studio, picture], env=app_env(
        desktop, "wayland", {"tutorial.factory-to-yours.version": 1}))

    def drawn():
        if app.poll() is not None:
            raise AssertionError(f"tovi-studio ended with {app.returncode}")
        return send_button(desktop.screenshot())
    top, bottom = wait_until(drawn, timeout=60, what="the send button on the output")
    # Wholly on the output, under weston's panel, with room to spare below.
    print(f"send button rows {top}…{bottom} of {HEIGHT}")
    sys.exit(0 if 32 <= top and bottom < HEIGHT - 8 else 1)
