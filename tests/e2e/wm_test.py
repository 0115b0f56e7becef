"""End-to-end tests under a real window manager (Openbox with its packaged
configuration): what the frame asks of a window manager and what a player
does through one, such as Alt+F4, a taskbar's Close, minimising.

Run one group:  DORVESSA_PROGRAM=build/dorvessa /usr/bin/python3 wm_test.py WmCloseTest
Set DORVESSA_E2E_KEEP=1 to keep each session's files (stderr, server and
window manager logs).
"""

import os
import re
import shutil
import subprocess
import sys
import time
import unittest

from PIL import ImageChops

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e_test as e2e  # noqa: E402
import xsession as xs  # noqa: E402

SKIP = 77

# _MOTIF_WM_HINTS: the flags saying which fields are set, and the bits of
# the functions and the decorations (buttons) a window asks for that the
# tests look at. Bit 0 of either field means "all but the bits set".
MWM_FUNCTIONS, MWM_DECORATIONS = 1, 2
MWM_FUNC = {"minimise": 8, "maximise": 16, "close": 32}
MWM_DECOR = {"minimise": 32, "maximise": 64}

MAXIMISE = {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"}


class Openbox:
    """Openbox on a session's display, reading the configuration the package
    installs (in its default, Alt+F4 closes the focused window)."""

    def __init__(self, session):
        self.s = session

    def __enter__(self):
        env = self.s.env()
        env.update(XDG_CONFIG_HOME=os.path.join(self.s.tmp, "config"), XDG_CONFIG_DIRS="/etc/xdg",
                   XDG_CACHE_HOME=os.path.join(self.s.tmp, "cache"))
        self.log = open(os.path.join(self.s.tmp, "openbox.log"), "wb")
        self.proc = subprocess.Popen(["openbox", "--sm-disable"], env=env, cwd=self.s.tmp,
                                     stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
                                     start_new_session=True, preexec_fn=xs._die_with_parent)
        try:
            xs.wait_until("Openbox to take the screen", self._running)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _running(self):
        if self.proc.poll() is not None:
            raise xs.E2EError(f"openbox ended with status {self.proc.returncode}")
        check = re.search(r"window id # (0x[0-9a-f]+)",
                          self.s.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False))
        return check and "Openbox" in self.s.run("xprop", "-id", check.group(1), "_NET_WM_NAME",
                                                 check=False)

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(xs.STEP_TIMEOUT)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(xs.STEP_TIMEOUT)
        self.log.close()
        return False


# ---- reading properties with xprop ----

def atoms(s, window_id, prop):
    """The atom names of an ATOM-list property (empty when it is not set)."""
    out = s.run("xprop", "-id", str(window_id), prop, check=False)
    _, eq, names = out.partition("=")
    return {n.strip() for n in names.split(",") if n.strip()} if eq else set()


def window_ids(s, window_id, prop):
    out = s.run("xprop", "-id", str(window_id), prop, check=False)
    return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", out.partition("#")[2])]


def root_window_ids(s, prop):
    out = s.run("xprop", "-root", prop, check=False)
    return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", out.partition("#")[2])]


def size_hints(s, window):
    """(minimum, maximum) size of WM_NORMAL_HINTS; None where not given."""
    out = s.xprop(window, "WM_NORMAL_HINTS")
    found = {}
    for which in ("minimum", "maximum"):
        m = re.search(rf"{which} size: (\d+) by (\d+)", out)
        found[which] = (int(m.group(1)), int(m.group(2))) if m else None
    return found["minimum"], found["maximum"]


def motif_hints(s, window):
    """The functions and the buttons (of MWM_FUNC and MWM_DECOR) the window
    asks for in _MOTIF_WM_HINTS, as two sets of names; a field that is not
    set asks for everything."""
    _, eq, values = s.xprop(window, "_MOTIF_WM_HINTS").partition("=")
    flags, functions, decorations = (int(v, 0) for v in values.split(",")[:3]) if eq else (0, 0, 0)

    def names(given, value, bits):
        if not flags & given:
            return set(bits)
        return {n for n, b in bits.items() if bool(value & b) != bool(value & 1)}
    return names(MWM_FUNCTIONS, functions, MWM_FUNC), names(MWM_DECORATIONS, decorations, MWM_DECOR)


def wm_state(s, window):
    m = re.search(r"window state: (\w+)", s.xprop(window, "WM_STATE"))
    return m.group(1) if m else None


def map_state(s, window_id):
    return re.search(r"Map State: (\w+)", s.run("xwininfo", "-id", str(window_id))).group(1)


# ---- driving ----

def managed(s, window):
    """Waits until the window manager has framed `window` and shows it; returns
    it with its real place on the screen."""
    xs.wait_until(f"Openbox to frame {window.title!r}", lambda: (
        "=" in s.xprop(window, "_NET_FRAME_EXTENTS") and wm_state(s, window) == "Normal"))
    return s.located(window)


def activate(s, window):
    """Makes `window` the active one through the window manager, as clicking
    it or choosing it in a taskbar would."""
    s.xdotool("windowactivate", "--sync", window.id)


def alt_f4(s, window):
    activate(s, window)
    s.xdotool("key", "alt+F4")


def start(s):
    main = managed(s, s.start())
    return main, e2e.MainWindowDriver(s, main)


def require_tools():
    missing = [t for t in ("Xvfb", "xdotool", "import", "xprop", "xwininfo", "openbox")
               if shutil.which(t) is None]
    if missing:
        print(f"skipped: missing {', '.join(missing)} (scripts/setup.sh installs them)")
        sys.exit(SKIP)


class WmCloseTest(unittest.TestCase):
    """Closing the main window through the window manager ends the program
    normally."""

    CASES = {
        "Alt+F4": alt_f4,
        # What a taskbar's or pager's Close sends: the window manager turns it
        # into WM_DELETE_WINDOW for the program.
        "_NET_CLOSE_WINDOW": lambda s, main: s.wm_close(main),
    }

    def test_close(self):
        for name, close in self.CASES.items():
            with self.subTest(name), xs.Session() as s, Openbox(s):
                main, _ = start(s)
                close(s, main)
                self.assertEqual(s.wait_exit(), 0)
                self.assertEqual(s.stderr_text(), "", "the program wrote to stderr")


class WmMainWindowTest(unittest.TestCase):
    """The main window as a window manager sees it: placed by the program,
    fixed in size, with a minimise but no maximise button, a taskbar entry;
    minimised and restored, it goes on working."""

    def test_hints_minimise_and_restore(self):
        with xs.Session() as s, Openbox(s):
            main, d = start(s)
            # The program places the client area itself, inside where its
            # own frame metrics say the decoration goes, whatever the window
            # manager's decoration is.
            self.assertEqual((main.x, main.y), xs.centred_client_origin(*xs.MAIN_OUTER))
            self.assertEqual((main.w, main.h), xs.client_size(*xs.MAIN_OUTER))
            self.assertEqual(size_hints(s, main), ((main.w, main.h), (main.w, main.h)))

            actions = atoms(s, main.id, "_NET_WM_ALLOWED_ACTIONS")
            self.assertLessEqual({"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_CLOSE"}, actions)
            self.assertFalse(actions & (MAXIMISE | {"_NET_WM_ACTION_RESIZE"}), actions)
            functions, buttons = motif_hints(s, main)
            self.assertEqual(functions, {"minimise", "close"}, "functions the main window asks for")
            self.assertEqual(buttons, {"minimise"}, "buttons the main window asks for")

            # A window of its own in the taskbar.
            self.assertEqual(window_ids(s, main.id, "WM_TRANSIENT_FOR"), [])
            self.assertNotIn("_NET_WM_STATE_SKIP_TASKBAR", atoms(s, main.id, "_NET_WM_STATE"))
            self.assertIn(main.id, root_window_ids(s, "_NET_CLIENT_LIST"))

            # Asked to maximise (as a pager or a title bar double click would),
            # it stays as it is. Minimising afterwards orders the two: once
            # the window manager has minimised the window, it has dealt with
            # the request before.
            xs.send_client_message(s.display, main.id, "_NET_WM_STATE",
                                   [1, "_NET_WM_STATE_MAXIMIZED_VERT",
                                    "_NET_WM_STATE_MAXIMIZED_HORZ", 2], to_root=True)
            s.xdotool("windowminimize", "--sync", main.id)
            xs.wait_until("the main window minimised", lambda: wm_state(s, main) == "Iconic")
            state = atoms(s, main.id, "_NET_WM_STATE")
            self.assertIn("_NET_WM_STATE_HIDDEN", state)
            self.assertFalse({"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"} & state,
                             "the fixed-size main window was maximised")
            self.assertIsNone(s.window(xs.MAIN_TITLE), "the minimised window is still shown")
            time.sleep(0.5)
            self.assertTrue(s.running(), "the program ended when minimised")
            self.assertIn(main.id, root_window_ids(s, "_NET_CLIENT_LIST"))

            # Restored (the window manager animates it back), it is where
            # and as large as it was, and it takes clicks.
            activate(s, main)
            xs.wait_until("the main window restored", lambda: wm_state(s, main) == "Normal")
            xs.wait_until("the main window back in its place", lambda: (
                (w := s.located(main)).x, w.y, w.w, w.h) == (main.x, main.y, main.w, main.h))
            d = e2e.MainWindowDriver(s, main)
            d.click(e2e.MARKERS["家务"])
            xs.wait_until("the chores marker filled", lambda: d.filled_markers() == {"家务"})

            s.key(main, "Escape")
            self.assertEqual(s.wait_exit(), 0)


class WmUsageTest(unittest.TestCase):
    """程序说明 > 使用说明 under a window manager: an owned, fixed-size window
    that blocks the main window until Alt+F4 closes it."""

    def test_usage_window(self):
        title, outer = e2e.USAGE
        with xs.Session() as s, Openbox(s):
            main, d = start(s)
            d.choose_menu(1, 1)
            usage = managed(s, s.wait_window(title))
            self.assertEqual((usage.x, usage.y), xs.centred_client_origin(*outer))
            self.assertEqual((usage.w, usage.h), xs.client_size(*outer))
            self.assertEqual(size_hints(s, usage), ((usage.w, usage.h), (usage.w, usage.h)))

            # Owned by the frame's hidden window: not by the main window, and
            # never shown or managed.
            owner = window_ids(s, usage.id, "WM_TRANSIENT_FOR")
            self.assertEqual(len(owner), 1, "使用说明 is not transient for a window")
            self.assertNotEqual(owner[0], main.id)
            self.assertEqual(map_state(s, owner[0]), "IsUnMapped")
            self.assertNotIn(owner[0], root_window_ids(s, "_NET_CLIENT_LIST"))

            # Neither a minimise nor a maximise button. Openbox offers
            # minimising every normal window and dialog whatever it asks
            # for, so the request is read from the window's Motif hints;
            # maximising it does refuse, the size being fixed.
            actions = atoms(s, usage.id, "_NET_WM_ALLOWED_ACTIONS")
            self.assertIn("_NET_WM_ACTION_CLOSE", actions)
            self.assertFalse(actions & (MAXIMISE | {"_NET_WM_ACTION_RESIZE"}), actions)
            functions, buttons = motif_hints(s, usage)
            self.assertEqual(functions, {"close"}, "functions 使用说明 asks for")
            self.assertEqual(buttons, set(), "buttons 使用说明 asks for")

            # The usage window covers the main one: move it below the dice
            # markers, which a click then must not change.
            markers = (0, d.menu_h, main.w, 40)
            target_y = main.y + d.menu_h + 80
            s.xdotool("windowmove", usage.id, usage.x, target_y)
            xs.wait_until("使用说明 to move down", lambda: s.located(usage).y == target_y)
            before = s.screenshot(main).crop(e2e.rect_box(markers))
            d.click(e2e.MARKERS["家务"])
            time.sleep(0.5)
            after = s.screenshot(main).crop(e2e.rect_box(markers))
            self.assertIsNone(ImageChops.difference(before, after).getbbox(),
                              "a click on the blocked main window changed the markers")
            self.assertEqual(d.filled_markers(), set())
            # Nor does Alt+F4 on it close anything.
            alt_f4(s, main)
            time.sleep(0.5)
            self.assertTrue(s.running(), "Alt+F4 on the blocked main window ended the program")
            self.assertIsNotNone(s.window(xs.MAIN_TITLE), "Alt+F4 closed the blocked main window")
            self.assertIsNotNone(s.window(title), "Alt+F4 on the main window closed 使用说明")

            # Alt+F4 on the usage window closes only that one.
            alt_f4(s, usage)
            s.wait_gone(title)
            time.sleep(0.3)
            self.assertTrue(s.running(), "closing 使用说明 ended the program")
            self.assertIsNotNone(s.window(xs.MAIN_TITLE), "the main window went with 使用说明")
            d.click(e2e.MARKERS["家务"])
            xs.wait_until("the chores marker filled", lambda: d.filled_markers() == {"家务"})

            alt_f4(s, main)
            self.assertEqual(s.wait_exit(), 0)
            self.assertEqual(s.stderr_text(), "", "the program wrote to stderr")


if __name__ == "__main__":
    require_tools()
    if not os.environ.get("DORVESSA_PROGRAM"):
        sys.exit("set DORVESSA_PROGRAM to the built dorvessa program")
    unittest.main(verbosity=2)
