"""End-to-end tests: the real program in a private X server, driven with
synthetic input and judged by screenshots and its exit status.

Run one group:  DORVESSA_PROGRAM=build/dorvessa /usr/bin/python3 e2e_test.py StartTest
Set DORVESSA_E2E_KEEP=1 to keep each session's files (stderr, server log).
"""

import os
import shutil
import subprocess
import sys
import time
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import xsession as xs  # noqa: E402
from xsession import is_dark, is_magenta, is_pink, is_red  # noqa: E402

SKIP = 77  # CTest's "not run" code, when the X tools are missing

# Rectangles of the main window's controls, client coordinates.
ROLL = (128, 120, 96, 40)
BLOG = (7, 257, 137, 23)
FORUM = (137, 244, 151, 47)
LOGO = (264, 245, 96, 36)
HINT = (-4, 280, 368, 20)
SHOW1 = (112, 62, 64, 28)   # intimate dice, first die (left aligned)
SHOW2 = (182, 60, 122, 32)  # intimate dice, second die (centred)
SHOW3 = (72, 55, 215, 39)   # every other kind (centred)
RESULTS = (72, 55, 232, 39)  # all three together
CAPTIONS = {"情趣骰子": (24, 12, 52, 16), "家务骰子": (99, 12, 51, 16),
            "就餐游玩骰子": (166, 8, 87, 24), "分歧吵架道歉骰子": (266, 8, 104, 24)}
MARKERS = {"情趣": (-2, 6, 31, 29), "家务": (82, 12, 16, 16),
           "就餐游玩": (153, 9, 19, 22), "分歧吵架道歉": (250, 8, 16, 24)}

BOX_TITLE = "请选择"
USAGE = ("使用说明", (459, 381))
NOTES = ("更新说明", (467, 411))
BLOG_ADDRESS = "http://mibbet.example.com"
FORUM_ADDRESS = "http://52dozo.example.com"
FEEDBACK_ADDRESS = "http://mibbet.example.com/FeedBack/"
FEEDBACK_LINK = (288, 320, 136, 24)  # on the 使用说明 window


def rect_box(rect):
    l, t, w, h = rect
    return (l, t, l + w, t + h)


def centre(rect):
    l, t, w, h = rect
    return (max(l, 0) + (l + w)) // 2, t + h // 2


class MainWindowDriver:
    """The main window of a running session, in client coordinates."""

    def __init__(self, session, window):
        self.s, self.win = session, window
        # Mapped is not yet drawn: wait for the menu bar over the photograph
        # and the roll button's caption.
        first = xs.wait_until("the main window to be drawn", lambda: (
            v := xs.MainView(session.screenshot(window))).menu_h < window.h // 2
            and v.count(ROLL, is_red) > 0 and v)
        self.menu_h = first.menu_h

    def view(self):
        return xs.MainView(self.s.screenshot(self.win))

    def screen_point(self, x, y):
        return self.win.x + x, self.win.y + self.menu_h + y

    def click(self, rect):
        self.s.click(*self.screen_point(*centre(rect)))

    def filled_markers(self, view=None):
        """The markers drawn as a filled square: red all through their middle."""
        view = view or self.view()
        filled = set()
        for name, rect in MARKERS.items():
            box = view.bbox(rect, is_red)
            if box is None:
                continue
            cx, cy = (box[0] + box[2]) // 2, (box[1] + box[3]) // 2
            middle = (cx - 2, cy - 2, 5, 5)
            if view.count(middle, is_red) == 25:
                filled.add(name)
        return filled

    def menu_titles(self):
        """Centres (screen) of the menu bar's titles, left to right."""
        bar = self.s.screenshot(self.win).crop((0, 0, self.win.w, self.menu_h - 2))
        runs = xs.dark_runs(bar, "x", max_gap=6)
        return [(self.win.x + (a + b) // 2, self.win.y + self.menu_h // 2) for a, b in runs]

    def choose_menu(self, title_index, item_index):
        """Opens a menu of the menu bar by clicking its title and clicks one of
        its items (separators do not count)."""
        before = {w.id for w in self.s.windows()}
        self.s.click(*self.menu_titles()[title_index])
        popup = xs.wait_until("the menu to open", lambda: next(
            (w for w in self.s.windows() if w.id not in before and w.title == "dorvessa"), None))
        items = xs.wait_until("the menu items to be drawn", lambda: xs.dark_runs(
            self.s.screenshot(popup).crop((2, 2, popup.w - 2, popup.h - 2)), "y", min_len=5,
            max_gap=3))
        top, bottom = items[item_index]
        self.s.click(popup.x + popup.w // 2, popup.y + 2 + (top + bottom) // 2)

    def caption_width(self, view=None):
        box = (view or self.view()).bbox(ROLL, is_red)
        return 0 if box is None else box[2] - box[0]


def require_tools():
    missing = [t for t in ("Xvfb", "xdotool", "import", "xprop") if shutil.which(t) is None]
    if missing:
        print(f"skipped: missing {', '.join(missing)} (scripts/setup.sh installs them)")
        sys.exit(SKIP)


class StartTest(unittest.TestCase):
    """The main window as it first appears, and Esc ending the program."""

    def test_start_look_and_escape(self):
        with xs.Session() as s:
            main = s.start()
            self.assertEqual(main.title, xs.MAIN_TITLE)
            outer_w, outer_h = xs.MAIN_OUTER
            self.assertEqual((main.x, main.y), xs.centred_client_origin(outer_w, outer_h))
            self.assertEqual((main.w, main.h), xs.client_size(outer_w, outer_h))
            # The frame's own helper window is never shown: the main window is
            # the program's only visible window.
            self.assertEqual([w.title for w in s.windows()], [xs.MAIN_TITLE])

            d = MainWindowDriver(s, main)
            view = d.view()
            self.assertTrue(15 <= view.menu_h <= 30, f"menu bar {view.menu_h} px high")

            # The photograph fills the client area: light pastel colours, far
            # from uniform, with the pink and violet hearts.
            pixels = list(view.client.getdata())
            lum = [xs.luminance(p) for p in pixels]
            mean = sum(lum) / len(lum)
            spread = (sum((v - mean) ** 2 for v in lum) / len(lum)) ** 0.5
            colours = len(set(pixels))
            hearts = sum(1 for r, g, b in pixels if r > g + 25 and b > g + 15) / len(pixels)
            self.assertGreater(mean, 170, "the background is not a light picture")
            self.assertGreater(spread, 15, "the background is (nearly) uniform")
            self.assertGreater(colours, 5000, "too few colours for a photograph")
            self.assertGreater(hearts, 0.05, f"only {hearts:.1%} pink/violet pixels")
            # Its top-left corner is in the client area's top-left corner: the
            # first client row is already photograph (checked by menu_bar_height)
            # and so is the last one.
            last = view.client.crop((0, view.client.height - 1, view.client.width, view.client.height))
            self.assertGreater(len(set(last.getdata())), 20, "the last client row is not photograph")

            # The roll button: red bold caption with a black shadow 2 px below right.
            red = view.bbox(ROLL, is_red)
            shadow = view.bbox(ROLL, is_dark)
            self.assertIsNotNone(red, "no red caption on the roll button")
            self.assertGreater(view.count(ROLL, is_red), 150)
            self.assertIsNotNone(shadow, "no shadow under the roll caption")
            self.assertEqual((shadow[2] - red[2], shadow[3] - red[3]), (2, 2), (red, shadow))
            # Three 24 px characters, centred in the button.
            self.assertAlmostEqual(red[2] - red[0], 72, delta=6)
            self.assertAlmostEqual((red[0] + red[2]) / 2, ROLL[0] + ROLL[2] / 2, delta=3)

            for caption, rect in CAPTIONS.items():
                self.assertGreater(view.count(rect, is_pink), 20, f"pink caption {caption}")
            for name, rect in MARKERS.items():
                self.assertGreater(view.count(rect, xs.is_reddish), 15, f"marker {name} not drawn")
            self.assertEqual(d.filled_markers(view), set(), "a kind is chosen at start")
            for label, rect in (("blog link", BLOG), ("forum link", FORUM)):
                self.assertGreater(view.count(rect, is_red), 80, f"red {label}")
            self.assertGreater(view.count(HINT, is_magenta), 150, "magenta hint line")
            logo = view.pixels(LOGO)
            self.assertGreater(sum(1 for p in logo if min(p) > 230) / len(logo), 0.5,
                               "the logo's white ground is missing")
            self.assertEqual(view.count(RESULTS, is_red), 0, "a result is shown at start")

            s.key(main, "Escape")
            self.assertEqual(s.wait_exit(), 0)
            self.assertEqual(s.stderr_text(), "", "the program wrote to stderr")


class NoKindTest(unittest.TestCase):
    """Rolling before a kind is chosen: a box asks for one."""

    def test_roll_without_a_kind(self):
        # Each way of dismissing the box, in one run; the game goes on after each.
        with xs.Session() as s:
            main = s.start()
            d = MainWindowDriver(s, main)
            for how in ("Return", "space", "Escape", "click"):
                with self.subTest(dismissed_by=how):
                    d.click(ROLL)
                    box = s.wait_window(BOX_TITLE)
                    self.assertLess(box.w, main.w, box)
                    # The box lies over the main window, on its middle.
                    self.assertTrue(main.x < box.x + box.w // 2 < main.x + main.w, box)
                    if how == "click":
                        bx, by = xs.find_button(s.screenshot(box))
                        s.click(box.x + bx, box.y + by)
                    else:
                        s.key(box, how)
                    s.wait_gone(BOX_TITLE)
                    self.assertTrue(s.running(), f"the program ended when the box went ({how})")
                    self.assertIsNotNone(s.window(xs.MAIN_TITLE))
                    view = d.view()
                    self.assertEqual(view.count(RESULTS, is_red), 0)
                    self.assertEqual(d.filled_markers(view), set())
            s.key(main, "Escape")
            self.assertEqual(s.wait_exit(), 0)


class PlayTest(unittest.TestCase):
    """A whole game session, from the start to the menu's 退出."""

    def test_play_menus_links_and_quit(self):
        with xs.Session() as s:
            main = s.start()
            d = MainWindowDriver(s, main)
            initial_width = d.caption_width()

            for kind, rect in MARKERS.items():
                with self.subTest(kind=kind):
                    d.click(rect)
                    xs.wait_until(f"only the {kind} marker filled",
                                  lambda: d.filled_markers() == {kind})
                    # Held down, the caption shrinks to 12 pt (16 px characters)
                    # and the dice have rolled; released, it is 14 pt (19 px).
                    s.press(*d.screen_point(*centre(ROLL)))
                    held = xs.wait_until("the caption to shrink and a result", lambda: (
                        v := d.view()).count(RESULTS, is_red) > 30
                        and (w := d.caption_width(v)) < initial_width - 10 and w)
                    s.release()
                    released = xs.wait_until("the caption to grow again",
                                             lambda: (w := d.caption_width()) > held + 4 and w)
                    self.assertAlmostEqual(held, 48, delta=5)
                    self.assertAlmostEqual(released, 57, delta=5)
                    view = d.view()
                    if kind == "情趣":
                        self.check_two_dice(view)
                    else:
                        self.check_one_die(view)
                    self.assertEqual(d.filled_markers(view), {kind})

            # The links, with the fake xdg-open recording the address.
            d.click(BLOG)
            xs.wait_until("the blog address", lambda: s.opened_addresses() == [BLOG_ADDRESS])
            d.click(FORUM)
            xs.wait_until("the forum address",
                          lambda: s.opened_addresses() == [BLOG_ADDRESS, FORUM_ADDRESS])

            # 程序说明 > 使用说明, closed with Esc; the main window takes no
            # input meanwhile, not even a close request.
            d.choose_menu(1, 1)
            usage = s.wait_window(USAGE[0])
            self.check_info_window(s, usage, USAGE[1])
            # Its link opens the feedback page and then shows in dark red.
            lx, ly = centre(FEEDBACK_LINK)
            s.click(usage.x + lx, usage.y + ly)
            xs.wait_until("the feedback address", lambda: s.opened_addresses()[-1:] == [FEEDBACK_ADDRESS])
            s.move(5, 5)
            xs.wait_until("the link in its opened colour", lambda: sum(
                1 for r, g, b in s.screenshot(usage).crop(rect_box(FEEDBACK_LINK)).getdata()
                if 100 <= r <= 160 and g < 40 and b < 40) > 20)
            s.close(main)
            time.sleep(0.5)
            self.assertTrue(s.running(), "the main window closed while 使用说明 was open")
            self.assertIsNotNone(s.window(USAGE[0]))
            s.key(usage, "Escape")
            s.wait_gone(USAGE[0])
            self.assertTrue(s.running())

            # 程序说明 > 更新说明, closed as by its close button.
            d.choose_menu(1, 0)
            notes = s.wait_window(NOTES[0])
            self.check_info_window(s, notes, NOTES[1])
            s.close(notes)
            s.wait_gone(NOTES[0])
            self.assertTrue(s.running())

            # The main window works again.
            d.click(MARKERS["家务"])
            xs.wait_until("the chores marker filled", lambda: d.filled_markers() == {"家务"})

            # 菜单 > 关于: a box titled 注意.
            d.choose_menu(0, 0)
            about = s.wait_window("注意")
            s.key(about, "Return")
            s.wait_gone("注意")

            # 菜单 > 退出 ends the program normally.
            d.choose_menu(0, 1)
            self.assertEqual(s.wait_exit(), 0)
            self.assertEqual(s.opened_addresses(), [BLOG_ADDRESS, FORUM_ADDRESS, FEEDBACK_ADDRESS])

    def check_two_dice(self, view):
        first = view.bbox(SHOW1, is_red)
        second = view.bbox(SHOW2, is_red)
        self.assertIsNotNone(first, "no text for the first die")
        self.assertIsNotNone(second, "no text for the second die")
        # The first die's text starts at its label's left edge; the gap between
        # the two labels stays clear.
        self.assertLessEqual(first[0], SHOW1[0] + 3, first)
        self.assertEqual(view.count((176, 55, 6, 39), is_red), 0)
        self.assertAlmostEqual((second[0] + second[2]) / 2, SHOW2[0] + SHOW2[2] / 2, delta=4)

    def check_one_die(self, view):
        box = view.bbox(RESULTS, is_red)
        # One text, centred on the one-die label (so neither of the intimate
        # dice labels shows a leftover).
        self.assertGreaterEqual(box[0], SHOW3[0])
        self.assertLessEqual(box[2], SHOW3[0] + SHOW3[2])
        self.assertAlmostEqual((box[0] + box[2]) / 2, SHOW3[0] + SHOW3[2] / 2, delta=4)

    def check_info_window(self, s, window, outer):
        self.assertEqual((window.x, window.y), xs.centred_client_origin(*outer))
        self.assertEqual((window.w, window.h), xs.client_size(*outer))
        # Kept out of the taskbar: it belongs to another window.
        self.assertIn("window id #", s.xprop(window, "WM_TRANSIENT_FOR"))
        self.assertNotIn("window id #", s.xprop(s.window(xs.MAIN_TITLE), "WM_TRANSIENT_FOR"))
        # It shows its text: a white box with dark writing.
        def text_shown():
            px = list(s.screenshot(window).getdata())
            return (sum(1 for p in px if min(p) > 240) / len(px) > 0.5
                    and sum(1 for p in px if max(p) < 100) > 500)
        xs.wait_until(f"the text of {window.title}", text_shown)


class CloseTest(unittest.TestCase):
    """The main window's close button. Without a window manager there is no
    button (and Alt+F4 means nothing), so the test sends what a window
    manager would: WM_DELETE_WINDOW."""

    def test_close_request_ends_the_program(self):
        with xs.Session() as s:
            main = s.start()
            s.close(main)
            self.assertEqual(s.wait_exit(), 0)


class NoDisplayTest(unittest.TestCase):
    """Without a display the program says so on stderr and fails, without
    crashing."""

    def test_no_display(self):
        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        unused = next(n for n in range(900, 1000)
                      if not os.path.exists(f"/tmp/.X{n}-lock")
                      and not os.path.exists(f"/tmp/.X11-unix/X{n}"))
        cases = {"no DISPLAY": {}, "unreachable DISPLAY": {"DISPLAY": f":{unused}"}}
        program = xs.program_path()
        for name, extra in cases.items():
            with self.subTest(name):
                r = subprocess.run([program], env={**base, **extra}, capture_output=True,
                                   timeout=xs.STEP_TIMEOUT, cwd="/tmp")
                lines = r.stderr.decode(errors="replace").splitlines()
                self.assertGreater(r.returncode, 0, "expected a plain non-zero status, not a signal")
                self.assertTrue(lines and "display" in lines[-1], lines)
                self.assertTrue(lines[-1].startswith("dorvessa: "), lines)
                if not extra:
                    self.assertEqual(len(lines), 1, lines)
                self.assertEqual(r.stdout, b"")


if __name__ == "__main__":
    require_tools()
    if not os.environ.get("DORVESSA_PROGRAM"):
        sys.exit("set DORVESSA_PROGRAM to the built dorvessa program")
    unittest.main(verbosity=2)
