#!/usr/bin/python3
"""tovi-studio under openbox with a tint2 panel, read through AT-SPI as a screen reader reads it.
   x11_test.py TOVI_STUDIO PICTURE WIDTHxHEIGHT [tall-titles]
At every size the window's frame and its send button lie inside the work area. At 1280 × 720 the
tutorial fits too, and the window comes back where it was left; at 1366 × 768 the tree is checked
as Orca reads it, through to a verified send and its alert, then a row of three pictures, its
strip and its summary. At both, „Gotowe” takes the pack
chosen in the collection. With tall-titles, openbox's title bars are taller than the window
assumes, and its first frame is pulled into the work area."""

import os
import re
import signal
import subprocess
import sys

from session import X11, app_env, wait_until

studio, picture = sys.argv[1], sys.argv[2]
width, height = (int(n) for n in sys.argv[3].split("x"))
tall_titles = sys.argv[4:] == ["tall-titles"]
desktop = X11(width, height, title_points=28 if tall_titles else None)
os.environ.update(DISPLAY=desktop.env["DISPLAY"],
                  DBUS_SESSION_BUS_ADDRESS=desktop.env["DBUS_SESSION_BUS_ADDRESS"])
import pyatspi  # noqa: E402  (reads the session's bus when first used)
from gi.repository import GLib  # noqa: E402

failures = []
# Before ctest's limit, so that everything started is still ended.
signal.signal(signal.SIGALRM, lambda *_: sys.exit("the test took longer than it may"))
signal.alarm(170)


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what, flush=True)


def pump():
    """Lets the AT-SPI events that came in arrive."""
    while GLib.MainContext.default().pending():
        GLib.MainContext.default().iteration(False)


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
    def found():
        try:
            root = root_of()
            return root and find(root, role, name)
        except GLib.Error:  # a part of the tree that went while it was read: read it again
            return None
    return wait_until(found, what=what or f"{role} „{name}”")


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


def application(pid=None):
    """tovi-studio on the bus; with `pid`, that process's (a quit one may linger there a while)."""
    def ours(a):
        try:
            return a and a.name == "tovi-studio" and (pid is None or a.get_process_id() == pid)
        except Exception:  # gone meanwhile
            return False
    return next((a for a in pyatspi.Registry.getDesktop(0) if ours(a)), None)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], env=desktop.env, capture_output=True, text=True,
                          timeout=20).stdout


def click(node):
    x, y, w, h = extents(node)
    xdotool("mousemove", str(x + w // 2), str(y + h // 2), "click", "1")


def framed(title, node):
    """The window titled `title`, read as `node`, with the window manager's frame around it:
    its X id and x, y, width, height."""
    wid = wait_until(lambda: xdotool("search", "--onlyvisible", "--name",
                                     f"^{re.escape(title)}$").split(),
                     what=f"the window „{title}”")[0]
    extents_of = lambda: desktop.xprop("-id", wid, "_NET_FRAME_EXTENTS").stdout  # noqa: E731
    wait_until(lambda: "=" in extents_of(), what=f"the frame of „{title}”")
    left, right, top, bottom = (int(v) for v in extents_of().split("=")[1].split(","))
    x, y, w, h = extents(node)
    return wid, (x - left, y - top, w + left + right, h + top + bottom)


def start(settings=None, files=(picture,), **env):
    process = desktop.start([studio, *files], env=dict(app_env(desktop, "xcb", settings), **env))
    return process, wait_until(lambda: application(process.pid),
                               what="tovi-studio on the accessibility bus")


def settles(what, read, good):
    """`read()` comes to satisfy `good` within ten seconds, as the window manager gets to it;
    returns the value, or records a failure."""
    seen = []
    try:
        return wait_until(lambda: seen.append(read()) or (good(seen[-1]) and seen[-1]), timeout=10)
    except AssertionError:
        check(False, f"{what}: {seen[-1] if seen else 'nothing'}")


def lies_inside(what, rect):
    settles(f"{what} inside the work area {desktop.work_area}", rect,
            lambda r: inside(r, desktop.work_area))


def send_button_fits(app, where):
    pid = app.get_process_id()  # looked up afresh: a new process's tree fills in a while
    window = wait_for(lambda: application(pid), "frame", "ToviStudio")
    button = wait_for(lambda: application(pid), "push button", "Wyślij na Tovi")
    lies_inside(f"{where}: the frame", lambda: framed("ToviStudio", window)[1])
    lies_inside(f"{where}: the send button", lambda: extents(button))
    return window, button


def radio_group(root, name, count):
    """The radio buttons of the group `name`, checking it holds `count` of them, one chosen."""
    group = find(root, "panel", name)
    check(group is not None, f"„{name}” is a group")
    radios = [c for c in group if c.getRoleName() == "radio button"] if group else []
    chosen = [r for r in radios if r.getState().contains(pyatspi.STATE_CHECKED)]
    check(len(radios) == count and len(chosen) == 1, f"„{name}”: {len(radios)} radios")
    return radios


def slider_problems(slider):
    """Its value not the number in the last label before it ("−54", "102%", "23.4 s")."""
    before = [slider.parent.getChildAtIndex(i) for i in range(slider.getIndexInParent())]
    shown = [n.name for n in before if n.getRoleName() == "label" and re.search(r"\d", n.name)]
    number = re.search(r"[−-]?\d+(\.\d+)?", shown[-1] if shown else "")
    value = slider.queryValue().currentValue
    if not number or value != float(number[0].replace("−", "-")):
        yield f"at {value!r} where {shown[-1:]} is shown"


CONTROLS = {"push button", "check box", "link", "slider", "combo box", "text", "list", "image"}


def exceptions(root, where):
    """What a screen reader stumbles on under `root`, each a failure."""
    for node in walk(root):
        state = node.getState()
        if not state.contains(pyatspi.STATE_SHOWING):
            continue
        role, name, focusable = node.getRoleName(), node.name, state.contains(
            pyatspi.STATE_FOCUSABLE)
        what = f"{where}: a {role} „{name}”"
        check(name or not (focusable or role in CONTROLS), f"{where}: a nameless {role}")
        check(not focusable or role not in ("filler", "panel", "label"), f"{what} takes the focus")
        check(role != "push button" or not state.contains(pyatspi.STATE_CHECKED),
              f"{what} with a checked state")
        check(role != "combo box" or name not in [n.name for n in walk(node) if n != node],
              f"{what} named by its value")
        for problem in slider_problems(node) if role == "slider" else ():
            check(False, f"{what} {problem}")


def every_tool(window, screen):
    """Each tool's panel open in turn, with nothing a screen reader stumbles on in the window."""
    for tool in ("Materiał", "Kadr", "Animacja", "Podpis"):
        press(find(window, "push button", tool))
        wait_until(lambda: find(window, "push button", tool).getState().contains(
            pyatspi.STATE_EXPANDED), what=f"„{tool}” open")
        exceptions(window, f"{screen} · {tool}")


def sheet_read(app, opener, title, close):
    """The sheet `title`, opened by pressing `opener`, read strictly, then closed by `close`."""
    press(opener)
    sheet = wait_for(lambda: app, "dialog", title)
    exceptions(sheet, title)
    press(wait_for(lambda: sheet, "push button", close))
    wait_until(lambda: find(app, "dialog", title) is None, what=f"„{title}” to close")


def type_into_dialog(app, title, text, button):
    """`text` typed into the dialog `title`'s field and `button` pressed, as a person would."""
    dialog = wait_for(lambda: app, "dialog", title)
    field = next(n for n in walk(dialog) if n.getState().contains(pyatspi.STATE_EDITABLE))
    field.queryEditableText().setTextContents(text)
    press(find(dialog, "push button", button))
    wait_until(lambda: find(app, "dialog", title) is None, what=f"„{title}” to close")


def choose_folder(app, sheet, folder):
    press(wait_for(lambda: sheet, "push button", "Połącz Tovi"))
    type_into_dialog(app, "Połącz Tovi", folder, "Wybierz")


def activate(window):
    """The window made the active one; its X id."""
    wid, _ = framed("ToviStudio", window)
    xdotool("windowactivate", "--sync", wid)
    return wid


def collection_takes_its_choice(app, window, where):
    """In the card screen's collection the whole set's button is in sight without scrolling, and
    „Gotowe” takes the pack picked in the list."""
    click(wait_for(lambda: window, "radio button", "Losowane karty"))
    press(wait_for(lambda: window, "push button", "Kolekcja"))
    sheet = wait_for(lambda: app, "dialog", "Wybierz z kolekcji")
    whole = wait_for(lambda: sheet, "push button", "Użyj całego zestawu")
    settles(f"{where}: „Użyj całego zestawu” inside the sheet", lambda: extents(whole),
            lambda r: inside(r, extents(sheet)))
    # Picked with the mouse, from the list the combo box opens.
    click(find(sheet, "combo box"))
    click(wait_until(lambda: next((n for n in walk(find(sheet, "combo box"))
                                   if n.getRoleName() == "list item" and n.name == "Impreza"
                                   and inside(extents(n), (0, 0, width, height))), None),
                     what=f"{where}: „Impreza” in the opened list"))
    wait_for(lambda: sheet, "label", "Impreza", f"{where}: „Impreza” picked")
    press(find(sheet, "push button", "Gotowe"))
    wait_for(lambda: window, "label", "Losowane karty · Impreza",
             f"{where}: the card screen on „Impreza” after „Gotowe”")


def read_as_orca(app, window, button):
    check(window.getRoleName() == "frame", "the window is a frame")
    radio_group(window, "Co chcesz przygotować?", 2)
    radio_group(window, "Obudowa", 2)
    # The zoom is a percentage, as the label beside it says, and Increase moves it.
    zoom = find(window, "slider", "Zoom").queryValue()
    check((zoom.currentValue, zoom.minimumValue, zoom.maximumValue) == (100, 100, 300),
          f"zoom {zoom.currentValue} in {zoom.minimumValue}…{zoom.maximumValue}")
    press(find(window, "slider", "Zoom"), "Increase")
    wait_for(lambda: window, "label", "102%", "the zoom to show 102%")
    find(window, "slider", "Poziomo").queryValue().currentValue = -54.14  # read strictly below
    wait_for(lambda: window, "label", "−54", "the offset to show −54")
    for tool, open_ in (("Kadr", True), ("Animacja", False)):
        state = find(window, "push button", tool).getState()
        check(state.contains(pyatspi.STATE_EXPANDABLE) and
              state.contains(pyatspi.STATE_EXPANDED) == open_ and
              state.contains(pyatspi.STATE_COLLAPSED) != open_, f"„{tool}” says it is open: {open_}")
    check(find(window, "image").name.startswith("Podgląd ekranu Tovi"), "the preview is named")
    # The animated picture plays; the ▶II key says which it does, and does it by its action.
    for now, then in (("Wstrzymaj", "Odtwórz"), ("Odtwórz", "Wstrzymaj")):
        key = wait_for(lambda: window, "push button", f"{now} podgląd")
        press(key)
        wait_for(lambda: window, "push button", f"{then} podgląd")
    every_tool(window, "Grafika")
    # The GIF is made ahead of the send: its size stands beside the button, said as an alert.
    wait_until(lambda: any(n.getRoleName() == "alert" and re.fullmatch(r"[0-9,]+ MB z 2 MB", n.name)
                           for n in walk(window)), what="the size beside the send button")
    # A title typed brings its clear button, which empties the line.
    title = find(window, "text", "Tytuł")
    title.queryEditableText().setTextContents("Lato")
    press(wait_for(lambda: window, "push button", "Wyczyść tytuł"))
    wait_until(lambda: title.queryText().getText(0, -1) == "", what="the title cleared")
    press(find(window, "push button", "Materiał"))
    sheet_read(app, wait_for(lambda: window, None, "Biblioteka zdjęć"), "Biblioteka zdjęć",
               "Anuluj")

    # The sheet, through to a verified write, each outcome said as an alert.
    events = []

    def heard(event):
        try:
            if event.detail1:
                events.append((event.source.getRoleName(), event.source.name))
        except Exception:  # an object gone before it was read
            pass
    pyatspi.Registry.registerEventListener(heard, "object:state-changed:showing")
    press(button)
    sheet = wait_for(lambda: app, "dialog", "Wyślij na Tovi")
    radios = radio_group(sheet, "Album na urządzeniu", 3)
    check([r.name for r in radios] == ["Album 1", "Album 2", "Album 3"], "the three albums")
    exceptions(sheet, "the sheet")
    device = desktop.path("NO NAME")
    for folder in ("Photo1", "Photo2", "Photo3", "Game1", "Game2", "Game3"):
        os.makedirs(os.path.join(device, folder))
    choose_folder(app, sheet, desktop.path("home"))
    wait_until(lambda: pump() or any(role == "alert" and name for role, name in events),
               what="the wrong folder's error as an alert")
    choose_folder(app, sheet, device)
    wait_for(lambda: sheet, "label", "Tovi gotowy do zapisu")
    check(find(sheet, "alert") is None, "the error is gone once the right folder is chosen")
    press(wait_for(lambda: sheet, "push button", "Wyślij grafikę"))
    wait_until(lambda: pump() or ("alert", "Zapis zweryfikowany") in events,
               what="„Zapis zweryfikowany” as an alert")
    check(len(os.listdir(os.path.join(device, "Photo1"))) == 1, "the graphic is in Photo1")
    press(find(sheet, "push button", "Wróć do tworzenia"))
    sheet_read(app, find(window, "push button", "Na Tovi: co jest na urządzeniu"), "Na Tovi",
               "Zamknij")
    # The six cards, each named by its number and described by its title.
    press(find(window, "radio button", "Losowane karty"))
    cards = [wait_for(lambda: window, "radio button", f"Karta {n}") for n in range(1, 7)]
    check(all(card.description not in ("", card.name) for card in cards),
          "every card has its title as description")
    every_tool(window, "Losowane karty")
    sheet_read(app, find(window, "push button", "Kolekcja"), "Wybierz z kolekcji", "Gotowe")
    # The tutorial, page by page.
    press(find(window, "push button", "Jak to działa?"))
    tutorial = wait_for(lambda: app, "dialog", "Jak to działa?")
    for page in range(1, 5):
        wait_for(lambda: tutorial, None, f"Krok {page} z 4")
        exceptions(tutorial, f"the tutorial, step {page}")
        check(page != 1 or find(tutorial, "link", "Materiał z oficjalnej strony Karvel Audio"),
              "the tutorial's source is a link")
        press(find(tutorial, "push button", "Dalej" if page < 4 else "Zamknij samouczek"))


def row_read_as_orca(app, window):
    """Three pictures chosen at once make a row: the strip under the device is one focusable list
    named by its selected picture, the arrows move it, and the row's send ends in a summary a
    line a picture. With TOVI_SHOTS, screenshots of the strip and of the summary go there."""
    shots = os.environ.get("TOVI_SHOTS")
    files = []
    for name in ("plaża", "las", "góry"):
        files.append(desktop.path(f"{name}.png"))
        subprocess.run(["cp", picture, files[-1]], check=True)
    # Chosen together in the file dialog, as a person would.
    xdotool("key", "--window", activate(window), "ctrl+o")
    type_into_dialog(app, "Wybierz zdjęcie, GIF lub film", " ".join(f'"{f}"' for f in files),
                     "Otwórz")
    strip = wait_for(lambda: window, "list", "Obraz 1 z 3: plaża.png", "the row's strip")
    state = strip.getState()
    check(state.contains(pyatspi.STATE_FOCUSABLE), "the strip takes the focus")
    check(strip.description.startswith("Strzałki wybierają obraz"), "the strip says how it works")
    button = wait_for(lambda: window, "push button", "Wyślij na Tovi (3)")
    lies_inside("the strip", lambda: extents(strip))
    lies_inside("the row's send button", lambda: extents(button))
    exceptions(window, "Grafika with a row")
    wid = activate(window)
    strip.queryComponent().grabFocus()
    wait_until(lambda: strip.getState().contains(pyatspi.STATE_FOCUSED), what="the strip focused")
    xdotool("key", "--window", wid, "Right")
    wait_until(lambda: strip.name == "Obraz 2 z 3: las.png", what="„Obraz 2 z 3: las.png”")
    xdotool("key", "--window", wid, "ctrl+Right")
    wait_until(lambda: strip.name == "Obraz 3 z 3: las.png", what="the picture moved to the end")
    wait_for(lambda: window, "label", "las.png", "the moved picture in the editor")
    if shots:
        desktop.screenshot(os.path.join(shots, "row-strip.png"))
    press(button)
    sheet = wait_for(lambda: app, "dialog", "Wyślij na Tovi")
    check(find(sheet, "label", "3 grafiki · 240 × 240"), "the sheet says what goes")
    press(wait_for(lambda: sheet, "push button", "Wyślij grafikę"))
    wait_for(lambda: sheet, "label", "Grafiki w tej wysyłce", "the row's summary")
    lines = [n.name for n in walk(sheet) if n.getRoleName() == "label" and " → Photo1/tovi-" in n.name]
    check([line.split(" → ")[0] for line in lines] == ["plaża.png", "góry.png", "las.png"],
          f"the summary names each picture where it went, in order: {lines}")
    check(len(os.listdir(desktop.path("NO NAME/Photo1"))) == 4, "the three pictures are in Photo1")
    exceptions(sheet, "the row's summary")
    if shots:
        desktop.screenshot(os.path.join(shots, "row-summary.png"))
    press(find(sheet, "push button", "Wróć do tworzenia"))


try:
    if tall_titles:
        process, app = start({"tutorial.factory-to-yours.version": 1})
        send_button_fits(app, "under a tall title bar")
    elif (width, height) == (1280, 720):
        # A first start: the tutorial opens over the window, and both fit.
        process, app = start({}, files=())
        tutorial = wait_for(lambda: app, "dialog", "Jak to działa?")
        lies_inside("the tutorial's frame", lambda: framed("Jak to działa?", tutorial)[1])
        press(find(tutorial, "push button", "Zamknij samouczek"))
        window, button = send_button_fits(app, "first start")
        collection_takes_its_choice(app, window, "1280 × 720")
        click(find(window, "radio button", "Grafika"))
        # Nothing chosen yet: the hint under the picture is a link to the files.
        exceptions(window, "an empty Grafika")
        press(find(window, "link", "Dodaj zdjęcie, GIF lub film"))
        type_into_dialog(app, "Wybierz zdjęcie, GIF lub film", picture, "Otwórz")
        wait_for(lambda: window, "label", "anim.png", "the picture chosen in the dialog")
        # Moved and resized by the person, closed, started again: where it was left.
        wid, _ = framed("ToviStudio", window)
        placed = extents(window)
        xdotool("windowsize", wid, "900", "560")
        xdotool("windowmove", wid, "120", "60")
        moved = settles("the move", lambda: extents(window),
                        lambda e: e[2:] == (900, 560) and e[:2] != placed[:2])
        xdotool("key", "--window", activate(window), "ctrl+q")
        process.wait(20)
        process, app = start(files=())
        window, button = send_button_fits(app, "second start")
        settles("back where it was left", lambda: extents(window), lambda e: e == moved)
    else:
        # With motion, so that the animated picture plays.
        process, app = start({"tutorial.factory-to-yours.version": 1}, TOVI_REDUCE_MOTION="0")
        window, button = send_button_fits(app, "start")
        read_as_orca(app, window, button)
        collection_takes_its_choice(app, window, "1366 × 768")
        click(find(window, "radio button", "Grafika"))
        row_read_as_orca(app, window)
finally:
    desktop.close()

print("\n".join(failures) if failures else "all checks passed")
sys.exit(1 if failures else 0)
