"""A desktop for the real window: Xvfb with openbox and a tint2 panel, or weston's headless
backend, each with a private session bus and, for X11, the AT-SPI registry a screen reader reads.
Every process started here is ended by id when the session closes."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

PANEL = 32


def wait_until(check, timeout=30.0, what="the condition"):
    """Polls `check` until it returns something true; fails after `timeout` seconds."""
    end = time.monotonic() + timeout
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > end:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


class Session:
    """A desktop, set up by `open(width, height)`; what it started ends with `close()`."""

    def __init__(self, width, height, **options):
        self.size = (width, height)
        self.dir = tempfile.mkdtemp(prefix="tovi-desktop-")
        self.processes = []
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM",
                     "QT_QPA_PLATFORMTHEME", "AT_SPI_BUS_ADDRESS"):
            self.env.pop(name, None)
        self.env["XDG_RUNTIME_DIR"] = self.path("run")
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        try:
            self.open(width, height, **options)
        except BaseException:
            self.close()
            raise

    def path(self, name):
        return os.path.join(self.dir, name)

    def start(self, command, log=None, **kwargs):
        """Starts `command` in a process group of its own; `log` names a file in the session's
        folder for what it writes to stderr."""
        kwargs.setdefault("env", self.env)
        stderr = open(self.path(log + ".log"), "w") if log else subprocess.DEVNULL
        process = subprocess.Popen(command, start_new_session=True, stderr=stderr,
                                   stdout=kwargs.pop("stdout", stderr), **kwargs)
        if log:
            stderr.close()
        self.processes.append(process)
        return process

    def stop(self, process):
        """Ends `process` and what it started in its process group (a bus's activated services)."""
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(process.pid, sig)
                process.wait(10)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                pass

    def read_log(self, name):
        with open(self.path(name + ".log")) as log:
            return log.read()[-2000:]

    def bus(self):
        """A private session bus; services it activates stay in its process group."""
        bus = self.start(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()

    def close(self):
        for process in reversed(self.processes):
            self.stop(process)
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class X11(Session):
    """Xvfb at `width` × `height`, openbox, and a tint2 panel along the bottom that reserves
    PANEL pixels of the work area, as a panel does. `title_points` sets the size of openbox's
    title font, and so the height of its title bars."""

    def open(self, width, height, title_points=None):
        read, write = os.pipe()
        # -noreset: the server would reset when the last client leaves, and turn away the next.
        self.start(["Xvfb", "-displayfd", str(write), "-screen", "0", f"{width}x{height}x24",
                    "-nolisten", "tcp", "-noreset"], log="Xvfb", pass_fds=[write])
        os.close(write)
        display = b""
        with os.fdopen(read, "rb", buffering=0) as answer:
            while not display.endswith(b"\n"):
                chunk = answer.read(16)
                if not chunk:
                    raise AssertionError(f"Xvfb did not start: {self.read_log('Xvfb')}")
                display += chunk
        self.env["DISPLAY"] = ":" + display.decode().strip()
        self.bus()
        openbox = ["openbox", "--sm-disable"]
        if title_points:
            with open("/etc/xdg/openbox/rc.xml") as rc:
                config = re.sub(r'(<font place="(?:Active|Inactive)Window">.*?<size>)\d+',
                                rf"\g<1>{title_points}", rc.read(), flags=re.S)
            with open(self.path("rc.xml"), "w") as rc:
                rc.write(config)
            openbox += ["--config-file", self.path("rc.xml")]
        desktop = [self.start(openbox, log="openbox")]
        with open(self.path("tint2rc"), "w") as rc:
            rc.write(f"panel_items = T\npanel_position = bottom center horizontal\n"
                     f"panel_size = 100% {PANEL}\nstrut_policy = follow_size\n")
        desktop.append(self.start(["tint2", "-c", self.path("tint2rc")], log="tint2"))

        def ready():
            for process in desktop:
                if process.poll() is not None:
                    raise AssertionError(f"{process.args[0]} ended ({process.returncode}) on "
                                         f"{self.env['DISPLAY']}: {self.read_log(process.args[0])}")
            return self.read_work_area()
        self.work_area = wait_until(ready, what="the panel's work area")

    def xprop(self, *args):
        return subprocess.run(["xprop", *args], env=self.env, capture_output=True, text=True)

    def read_work_area(self):
        out = self.xprop("-root", "_NET_WORKAREA").stdout
        if "=" not in out:
            return None
        x, y, w, h = (int(v) for v in out.split("=")[1].split(",")[:4])
        return (x, y, w, h) if h == self.size[1] - PANEL else None

    def screenshot(self, file):
        subprocess.run(["import", "-window", "root", file], env=self.env, check=True,
                       capture_output=True)


class Wayland(Session):
    """weston's headless backend at `width` × `height` with its desktop shell and panel."""

    def open(self, width, height):
        self.bus()
        socket = "tovi-" + os.path.basename(self.dir)
        self.start(["weston", "--backend=headless-backend.so", "--use-pixman", "--debug",
                    f"--width={width}", f"--height={height}", f"--socket={socket}",
                    "--idle-time=0"], cwd=self.dir, log="weston")
        self.env["WAYLAND_DISPLAY"] = socket
        wait_until(lambda: os.path.exists(os.path.join(self.env["XDG_RUNTIME_DIR"], socket)),
                   what="weston's socket")

    def screenshot(self):
        """The output as weston's screenshooter saves it, as a PIL image."""
        from PIL import Image
        before = set(os.listdir(self.dir))
        subprocess.run(["weston-screenshooter"], env=self.env, cwd=self.dir, check=True,
                       capture_output=True, timeout=20)
        new = sorted(set(os.listdir(self.dir)) - before)
        image = Image.open(os.path.join(self.dir, new[-1])).convert("RGB")
        os.remove(os.path.join(self.dir, new[-1]))
        return image


def app_env(session, platform, settings=None):
    """What tovi-studio runs with: a home of its own, with `settings` as an earlier run left them,
    the session's display and bus, and its accessibility bridge on."""
    home = session.path("home")
    os.makedirs(home + "/config/ToviStudio", exist_ok=True)
    if settings is not None:
        with open(home + "/config/ToviStudio/ToviStudio.ini", "w") as ini:
            ini.write("[General]\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
    return dict(session.env, HOME=home, XDG_CONFIG_HOME=home + "/config",
                XDG_DATA_HOME=home + "/data", QT_QPA_PLATFORM=platform,
                QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", TOVI_REDUCE_MOTION="1")
