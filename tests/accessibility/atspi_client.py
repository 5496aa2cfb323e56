"""The main window as a screen reader sees it, through AT-SPI: every control named and of
its role, the knobs and selectors readable and settable, a knob's new value in the song
the program saves, Play pressed and released, and the lcd a table of the steps.

Every fault found is reported, not just the first; the exit status is 1 when there was
any. Run by run-atspi-test.sh, on the program it started with --pid.
"""

import argparse
import re
import subprocess
import os
import struct
import sys
import time

import pyatspi
from gi.repository import GLib

PUSH = pyatspi.ROLE_PUSH_BUTTON
CHECK = pyatspi.ROLE_CHECK_BOX
RADIO = pyatspi.ROLE_RADIO_BUTTON
DIAL = pyatspi.ROLE_DIAL
SPIN = pyatspi.ROLE_SPIN_BUTTON

KNOBS = ["Delay send 1", "Delay send 2", "Delay send 3", "Volume 1", "Volume 2", "Volume 3",
         "Pitch", "Shuffle", "Delay decay", "Delay steps", "Distort", "Vinyl"]
NOTES = ["C", "C sharp", "D", "D sharp", "E", "F", "F sharp", "G", "G sharp", "A",
         "A sharp", "B"]
CONTROLS = {
    "Play": CHECK, "Record": CHECK,
    "Tempo up 10": PUSH, "Tempo down 10": PUSH, "Samples": PUSH, "Song": PUSH,
    "Distortion 1": CHECK, "Distortion 2": CHECK, "Distortion 3": CHECK,
    "Channel 1": RADIO, "Channel 2": RADIO, "Channel 3": RADIO,
    "Tempo": pyatspi.ROLE_TEXT, "Steps": pyatspi.ROLE_TABLE, "Bank": SPIN, "Pattern": SPIN,
    **{f"Note {n}": PUSH for n in NOTES},
    **{f"Octave {o}": PUSH for o in range(1, 6)},
    **{k: DIAL for k in KNOBS},
}

# Where the song file keeps a channel's volume: the magic, then the Song block as
# src/song/Song.h lays it out (banks at 156, 7968 bytes a bank, 996 a pattern, 332 a
# channel, the volume 324 into it), a little-endian int32.
MAGIC_SIZE = 8


def volume_offset(bank, pattern, channel):
    return MAGIC_SIZE + 156 + bank * 7968 + pattern * 996 + channel * 332 + 324


failures = []


def fail(message):
    failures.append(message)
    print(f"FAIL: {message}", flush=True)


def wait_for(predicate, seconds):
    """The predicate's first true answer, or its last one when the time is up. A window
    that closes while it is read (the splash) makes the bus answer with an error: that
    look does not count."""
    deadline = time.monotonic() + seconds
    result = None
    while True:
        try:
            result = predicate()
        except GLib.GError:
            result = None
        if result or time.monotonic() > deadline:
            return result
        time.sleep(0.05)


def states(node):
    node.clearCache()  # a state read twice must come from the program both times
    return node.getState()


def interface(node, query):
    try:
        return query(node)
    except NotImplementedError:
        return None


def walk(node, depth=0):
    yield node, depth
    for child in node:
        if child is not None:
            yield from walk(child, depth + 1)


def describe(node):
    shown = [pyatspi.stateToString(s) for s in node.getState().getStates()]
    shown = [s for s in shown if s not in ("enabled", "sensitive", "visible")]
    value = interface(node, lambda n: n.queryValue())
    numbers = (f"{value.currentValue:g} ({value.minimumValue:g}..{value.maximumValue:g})"
               if value else "")
    return f"{node.getRoleName()} | {node.name} | {' '.join(shown)} | {numbers}"


def find_application(pid):
    def look():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid:
                return app
        return None
    return wait_for(look, 15)


def close_splash(app):
    """The splash window opens modal over the main window and closes on a click on its
    picture; the start-up goes on behind it."""
    def dialog():
        return next((c for c in app if c is not None and c.getRole() == pyatspi.ROLE_DIALOG),
                    None)
    splash = wait_for(dialog, 10)
    if splash is None:
        return
    picture = splash[0] if splash.childCount else splash
    box = picture.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2,
                                        pyatspi.MOUSE_B1C)
    if wait_for(lambda: dialog() is None, 3):
        return
    pyatspi.Registry.generateKeyboardEvent(0xFF1B, None, pyatspi.KEY_SYM)  # Escape
    if not wait_for(lambda: dialog() is None, 3):
        fail("the splash window stays open over the main window")


def find_main_window(app):
    frames = wait_for(lambda: [c for c in app if c is not None
                               and c.getRole() == pyatspi.ROLE_FRAME], 10)
    named = [f for f in frames if f.name == "LoopWren"]
    if not named:
        # Its title is a blank; the name a screen reader says is its own.
        fail("no window is named LoopWren (frames: %s)" % ", ".join(repr(f.name) for f in frames))
    return (named or frames or [None])[0]


def check_names_and_roles(nodes):
    by_name = {}
    for node, _ in nodes:
        by_name.setdefault(node.name, []).append(node)
    found = {}
    for name, role in CONTROLS.items():
        named = by_name.get(name, [])
        fitting = [n for n in named if n.getRole() == role]
        if len(fitting) == 1:
            found[name] = fitting[0]
        elif fitting:
            fail(f'{len(fitting)} controls are named "{name}"')
        elif named:
            roles = ", ".join(sorted({n.getRoleName() for n in named}))
            fail(f'"{name}" is a {roles}, not a {pyatspi.role.ROLE_NAMES[role]}')
        else:
            fail(f'no control is named "{name}"')
    # What a user can reach, press or turn must say what it is.
    for node, _ in nodes:
        st = node.getState()
        actions = interface(node, lambda n: n.queryAction())
        usable = (st.contains(pyatspi.STATE_FOCUSABLE) or (actions and actions.nActions)
                  or interface(node, lambda n: n.queryValue()))
        if st.contains(pyatspi.STATE_SHOWING) and usable and not node.name.strip():
            fail(f"a {node.getRoleName()} has no name ({describe(node)})")
    return found


def check_ranges(found):
    ranges = {"Bank": (1, 8), "Pattern": (1, 8), **{k: None for k in KNOBS}}
    for name, expected in ranges.items():
        if name not in found:
            continue
        value = interface(found[name], lambda n: n.queryValue())
        if value is None:
            fail(f'"{name}" has no Value interface')
            continue
        low, high, now = value.minimumValue, value.maximumValue, value.currentValue
        if expected and (low, high) != expected:
            fail(f'"{name}" ranges {low:g}..{high:g}, not {expected[0]}..{expected[1]}')
        if not low <= now <= high:
            fail(f'"{name}" reads {now:g}, outside {low:g}..{high:g}')


def current_pattern(found):
    """The bank and pattern the knobs edit, counted from 0 as the song file counts."""
    def read(name):
        value = interface(found[name], lambda n: n.queryValue()) if name in found else None
        return int(value.currentValue) - 1 if value else 0
    return read("Bank"), read("Pattern")


def file_changed(path, before):
    stat = os.stat(path)
    return (stat.st_ino, stat.st_mtime_ns, stat.st_size) != before


def check_volume_knob(found, nodes, song):
    knob = found.get("Volume 1")
    value = interface(knob, lambda n: n.queryValue()) if knob else None
    if value is None:
        return
    bank, pattern = current_pattern(found)
    field = volume_offset(bank, pattern, 0)
    with open(song, "rb") as f:
        (stored,) = struct.unpack_from("<i", f.read(), field)
    if (value.minimumValue, value.maximumValue) != (0, 127):
        fail(f'"Volume 1" ranges {value.minimumValue:g}..{value.maximumValue:g}, not 0..127')
    if value.currentValue != stored:
        fail(f'"Volume 1" reads {value.currentValue:g}; the song holds {stored}')
    target = 40 if stored != 40 else 41
    value.currentValue = target
    if not wait_for(lambda: value.currentValue == target, 3):
        fail(f'"Volume 1" set to {target} reads back {value.currentValue:g}')
    save_and_compare(nodes, song, field, target,
                     f"channel 1's volume in bank {bank + 1} pattern {pattern + 1}")


def save_and_compare(nodes, song, field, expected, what):
    """Saves through the File menu's Save, which writes back to the file the song came
    from, and checks that the file changed in the int32 at field alone, to expected."""
    saves = [n for n, _ in nodes if n.name == "Save" and n.getRole() == pyatspi.ROLE_MENU_ITEM]
    if len(saves) != 1:
        fail(f'{len(saves)} menu items are named "Save"')
        return
    with open(song, "rb") as f:
        original = f.read()
    stat = os.stat(song)
    before = (stat.st_ino, stat.st_mtime_ns, stat.st_size)
    if not press(saves[0], "Save", ("Press",)):
        return
    if not wait_for(lambda: file_changed(song, before), 5):
        fail("Save through its menu item left the song file as it was")
        return
    # The new file is renamed into place whole: what is read is never half-written.
    with open(song, "rb") as f:
        saved = f.read()
    changed = [i for i in range(min(len(saved), len(original))) if saved[i] != original[i]]
    outside = [i for i in changed if not field <= i < field + 4]
    (written,) = struct.unpack_from("<i", saved, field) if len(saved) >= field + 4 else (None,)
    if len(saved) != len(original) or outside or written != expected:
        fail(f"the saved song holds {written} as {what}, not {expected}, and differs from "
             f"the original in {len(outside)} bytes besides (sizes {len(original)} and "
             f"{len(saved)})")


def press(node, name, wanted):
    actions = interface(node, lambda n: n.queryAction())
    names = [actions.getName(i) for i in range(actions.nActions)] if actions else []
    for i, action in enumerate(names):
        if action in wanted:
            actions.doAction(i)
            return True
    fail(f'"{name}" has no {" or ".join(wanted)} action (it has {names})')
    return False


def check_play(found):
    play = found.get("Play")
    if play is None:
        return
    checked = lambda: states(play).contains(pyatspi.STATE_CHECKED)
    if checked():
        fail('"Play" is checked before anything played')
        return
    if not press(play, "Play", ("Press", "Toggle")):
        return
    if not wait_for(checked, 5):
        fail('"Play" pressed did not become checked')
        return
    press(play, "Play", ("Press", "Toggle"))
    if not wait_for(lambda: not checked(), 5):
        fail('"Play" pressed again stays checked')


def check_steps(found):
    steps = found.get("Steps")
    if steps is None:
        return
    table = interface(steps, lambda n: n.queryTable())
    if table is None:
        fail('"Steps" has no Table interface')
    elif (table.nRows, table.nColumns) != (3, 16):
        fail(f'"Steps" has {table.nRows} rows and {table.nColumns} columns, not 3 and 16')


def check_grid(app, main_window, nodes):
    """Tools > Pattern grid opens the grid window: a 3 x 16 table whose cells read as
    steps, and every channel's mute and solo switches, each named."""
    items = [n for n, _ in nodes
             if n.name == "Pattern grid" and n.getRole() == pyatspi.ROLE_MENU_ITEM]
    if len(items) != 1:
        fail(f'{len(items)} menu items are named "Pattern grid"')
        return
    if not press(items[0], "Pattern grid", ("Press",)):
        return

    def window():
        return next((c for c in app if c is not None and c.name == "Pattern grid"), None)
    grid_window = wait_for(window, 5)
    if grid_window is None:
        fail('no window named "Pattern grid" opened')
        return
    grid_nodes = list(walk(grid_window))
    tables = [n for n, _ in grid_nodes if n.getRole() == pyatspi.ROLE_TABLE]
    table = interface(tables[0], lambda n: n.queryTable()) if len(tables) == 1 else None
    if table is None or tables[0].name != "Pattern grid":
        fail(f"the grid window holds {len(tables)} tables, none a named table")
    elif (table.nRows, table.nColumns) != (3, 16):
        fail(f"the grid has {table.nRows} rows and {table.nColumns} columns, not 3 and 16")
    elif not table.getAccessibleAt(1, 4).name.startswith("Channel 2, step 5"):
        fail(f'the grid\'s cell (1, 4) reads "{table.getAccessibleAt(1, 4).name}"')
    switches = {n.name: n for n, _ in grid_nodes
                if n.getRole() in (pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_TOGGLE_BUTTON)}
    for c in (1, 2, 3):
        for what in ("Mute", "Solo"):
            if f"{what} channel {c}" not in switches:
                fail(f'the grid has no switch named "{what} channel {c}" ({sorted(switches)})')
    mute = switches.get("Mute channel 2")
    if mute is not None and press(mute, "Mute channel 2", ("Press", "Toggle", "Click")):
        # The channel goes out: the main window says so in its banner.
        def banner():
            return any(n.name == "Left out: MUTE 2" and n.getRole() == pyatspi.ROLE_LABEL
                       and states(n).contains(pyatspi.STATE_SHOWING)
                       for n, _ in walk(main_window))
        if not wait_for(banner, 5):
            fail('"Mute channel 2" toggled, but the main window does not say "Left out: MUTE 2"')
        if not states(mute).contains(pyatspi.STATE_CHECKED):
            fail('"Mute channel 2" toggled is not checked')
        press(mute, "Mute channel 2", ("Press", "Toggle", "Click"))
    for node, _ in grid_nodes:
        st = node.getState()
        if st.contains(pyatspi.STATE_SHOWING) and st.contains(pyatspi.STATE_FOCUSABLE) \
                and not node.name.strip():
            fail(f"a {node.getRoleName()} of the grid window has no name ({describe(node)})")


def check_size(scale):
    """The main window (titled with a blank) is 704 pixels wide at View > Size 1 x."""
    try:
        tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True,
                              timeout=10).stdout
    except (OSError, subprocess.SubprocessError) as error:
        fail(f"xwininfo did not answer: {error}")
        return
    widths = {int(w) for w in re.findall(r'" ": \("loopwren" "[^"]*"\)\s+(\d+)x\d+', tree)}
    if widths != {round(704 * scale)}:
        fail(f"the main window is {sorted(widths)} pixels wide, not {round(704 * scale)}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pid", type=int, required=True)
    parser.add_argument("--song", required=True)
    parser.add_argument("--dump", action="store_true")
    parser.add_argument("--scale", type=float, default=1.0)
    args = parser.parse_args()
    started = time.monotonic()

    app = find_application(args.pid)
    if app is None:
        fail("the program never showed on the accessibility bus")
        return 1
    close_splash(app)
    window = find_main_window(app)
    if window is None:
        fail("the program has no main window")
        return 1
    nodes = list(walk(window))
    found = check_names_and_roles(nodes)
    check_steps(found)
    check_size(args.scale)
    check_ranges(found)
    check_volume_knob(found, nodes, args.song)
    check_play(found)
    check_grid(app, window, nodes)

    if args.dump or failures:
        print(f"--- the main window, {len(nodes)} nodes: role | name | states | value ---")
        for node, depth in nodes:
            print("  " * depth + describe(node))
    seconds = time.monotonic() - started
    print(f"accessibility: {len(failures)} faults in {len(nodes)} nodes ({seconds:.1f} s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
