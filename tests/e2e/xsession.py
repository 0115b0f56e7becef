"""Runs the real game in a private X server and drives it like a player.

A Session starts Xvfb on a display number the server picks itself (so tests
running side by side never meet), starts the program there with a fake
`xdg-open` first on PATH (it records the address it was given and opens
nothing), and offers what the tests need: finding windows by title, clicking
and typing with xdotool, screenshots through ImageMagick's `import`, a
WM_DELETE_WINDOW request (the close button of a window manager), requests
to a window manager when a test runs one, and the program's exit status.
Every wait is bounded; on leaving the session the program and the server
are ended if they are still running.
"""

import ctypes
import io
import os
import select
import shutil
import subprocess
import tempfile
import time

from PIL import Image

SCREEN_W, SCREEN_H = 1024, 768
STEP_TIMEOUT = 10  # seconds for any one external command or wait

# The main window's title and its outer size. Window sizes are outer sizes:
# a 3 px border all round and a 23 px caption, which the X window (client
# area with the menu bar) lies inside.
MAIN_TITLE = "Dorvessa   BY：Mibbet"
MAIN_OUTER = (377, 353)
BORDER, CAPTION = 3, 23


def centred_client_origin(outer_w, outer_h):
    """Where the frame puts a centred window's X window."""
    return ((SCREEN_W - outer_w) // 2 + BORDER, (SCREEN_H - outer_h) // 2 + BORDER + CAPTION)


def client_size(outer_w, outer_h):
    """The size of a window's X window."""
    return (outer_w - 2 * BORDER, outer_h - 2 * BORDER - CAPTION)


class E2EError(AssertionError):
    pass


def program_path(program=None):
    """The program under test: `program` or $DORVESSA_PROGRAM, made absolute."""
    program = program or os.environ.get("DORVESSA_PROGRAM")
    if not program or not os.access(program, os.X_OK):
        raise E2EError("set DORVESSA_PROGRAM to the built dorvessa program")
    return os.path.abspath(program)


def wait_until(what, predicate, timeout=STEP_TIMEOUT, interval=0.1):
    """Polls `predicate` until it returns something truthy; fails after `timeout`."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = predicate()
        if last:
            return last
        if time.monotonic() > deadline:
            raise E2EError(f"timed out after {timeout} s waiting for {what} (last: {last!r})")
        time.sleep(interval)


def _die_with_parent():
    """Runs in a child before exec: it gets SIGTERM when the test runner dies
    (killed by CTest's timeout, say), so no server or program outlives it."""
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(1, 15)  # PR_SET_PDEATHSIG, SIGTERM


# ---- the X server ----

class XServer:
    def __init__(self, workdir):
        self.log = open(os.path.join(workdir, "xvfb.log"), "wb")
        rfd, wfd = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(wfd), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(wfd,), stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
                start_new_session=True, preexec_fn=_die_with_parent)
        finally:
            os.close(wfd)
        number = b""
        deadline = time.monotonic() + STEP_TIMEOUT
        try:
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                ready, _, _ = select.select([rfd], [], [], max(0, left))
                if not ready:
                    raise E2EError("Xvfb did not report its display number in time")
                chunk = os.read(rfd, 16)
                if not chunk:
                    raise E2EError(f"Xvfb ended before it was ready (see {self.log.name})")
                number += chunk
        finally:
            os.close(rfd)
        self.display = ":" + number.decode().strip()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(STEP_TIMEOUT)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(STEP_TIMEOUT)
        self.log.close()


# ---- client messages: WM_DELETE_WINDOW (a window manager's close button)
# and the EWMH requests a pager or taskbar sends to the window manager ----

class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


# The event mask EWMH asks for on requests sent to the root window.
_SUBSTRUCTURE_NOTIFY_REDIRECT = (1 << 19) | (1 << 20)


def send_client_message(display, window, message_type, data, to_root=False):
    """Sends a 32-bit ClientMessage about `window`: to the window itself, or
    (`to_root`) to the root window, where the window manager takes EWMH
    requests. `data` holds up to five numbers or atom names."""
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_XEvent)]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = xlib.XOpenDisplay(display.encode())
    if not dpy:
        raise E2EError(f"cannot open display {display}")
    try:
        ev = _XEvent()
        ev.xclient.type = 33  # ClientMessage
        ev.xclient.window = window
        ev.xclient.message_type = xlib.XInternAtom(dpy, message_type.encode(), 0)
        ev.xclient.format = 32
        for i, d in enumerate(data):
            ev.xclient.data[i] = xlib.XInternAtom(dpy, d.encode(), 0) if isinstance(d, str) else d
        target = xlib.XDefaultRootWindow(dpy) if to_root else window
        mask = _SUBSTRUCTURE_NOTIFY_REDIRECT if to_root else 0
        if not xlib.XSendEvent(dpy, target, 0, mask, ctypes.byref(ev)):
            raise E2EError("XSendEvent failed")
        xlib.XFlush(dpy)
    finally:
        xlib.XCloseDisplay(dpy)


def send_delete_window(display, window):
    send_client_message(display, window, "WM_PROTOCOLS", ["WM_DELETE_WINDOW", 0])  # CurrentTime


# ---- the session ----

class Window:
    def __init__(self, wid, title, x, y, w, h):
        self.id, self.title, self.x, self.y, self.w, self.h = wid, title, x, y, w, h

    def __repr__(self):
        return f"<{self.title!r} {self.w}x{self.h}+{self.x}+{self.y}>"


class Session:
    """One X server with the program running in it (see module comment)."""

    def __init__(self, program=None, extra_env=None):
        self.program = program_path(program)
        self.extra_env = extra_env or {}
        self.proc = None
        self.xserver = None
        self.tmp = None

    # -- life cycle --

    def __enter__(self):
        self.tmp = tempfile.mkdtemp(prefix="dorvessa-e2e-")
        try:
            self.xserver = XServer(self.tmp)
            self.display = self.xserver.display
            self._make_fake_browser()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        if self.proc is not None:
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait(STEP_TIMEOUT)
            self.stdout.close()
            self.stderr.close()
        if self.xserver is not None:
            self.xserver.stop()
        if self.tmp and not os.environ.get("DORVESSA_E2E_KEEP"):
            shutil.rmtree(self.tmp, ignore_errors=True)
        return False

    def _make_fake_browser(self):
        self.bin = os.path.join(self.tmp, "bin")
        os.mkdir(self.bin)
        self.opened_file = os.path.join(self.tmp, "opened.txt")
        script = os.path.join(self.bin, "xdg-open")
        with open(script, "w") as f:
            f.write('#!/bin/sh\nprintf "%s\\n" "$*" >> "' + self.opened_file + '"\nexit 0\n')
        os.chmod(script, 0o755)

    def env(self):
        run = os.path.join(self.tmp, "run")
        os.makedirs(run, mode=0o700, exist_ok=True)
        env = {k: v for k, v in os.environ.items()
               if k not in ("BROWSER", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "SESSION_MANAGER")}
        env.update(DISPLAY=self.display, PATH=self.bin + ":" + os.environ.get("PATH", "/usr/bin:/bin"),
                   HOME=self.tmp, XDG_RUNTIME_DIR=run, LC_ALL="C.UTF-8", QT_QPA_PLATFORM="xcb")
        env.update(self.extra_env)
        return env

    def start(self):
        """Starts the program and waits for its main window; returns the window."""
        if self.proc is not None and self.proc.poll() is None:
            raise E2EError("the program is already running")
        self.stdout = open(os.path.join(self.tmp, "stdout.txt"), "wb")
        self.stderr_path = os.path.join(self.tmp, "stderr.txt")
        self.stderr = open(self.stderr_path, "wb")
        self.proc = subprocess.Popen([self.program], env=self.env(), cwd=self.tmp,
                                     stdin=subprocess.DEVNULL, stdout=self.stdout,
                                     stderr=self.stderr, start_new_session=True,
                                     preexec_fn=_die_with_parent)
        return wait_until("the main window", lambda: self.window(MAIN_TITLE) or self._died())

    def _died(self):
        if self.proc.poll() is not None:
            raise E2EError(f"the program ended early with status {self.proc.returncode}: "
                           f"{self.stderr_text()!r}")
        return None

    def stderr_text(self):
        with open(self.stderr_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def wait_exit(self, timeout=STEP_TIMEOUT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise E2EError(f"the program did not end within {timeout} s; visible windows: "
                           f"{self.windows()}") from None

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    # -- X helpers --

    def run(self, *args, check=True):
        r = subprocess.run(list(args), env=self.env(), capture_output=True, timeout=STEP_TIMEOUT)
        if check and r.returncode != 0:
            raise E2EError(f"{args} failed ({r.returncode}): {r.stderr.decode(errors='replace')}")
        return r.stdout.decode("utf-8", "replace")

    def xdotool(self, *args, check=True):
        return self.run("xdotool", *map(str, args), check=check)

    def windows(self):
        """The visible named windows: a list of Window. (Qt's menus have an empty
        WM_NAME and their name in _NET_WM_NAME only: look at every window.)"""
        out = self.xdotool("search", "--onlyvisible", "--name", "", check=False)
        result = []
        for line in out.split():
            wid = int(line)
            name = self.xdotool("getwindowname", wid, check=False).rstrip("\n")
            if not name:
                continue
            geo = {}
            for kv in self.xdotool("getwindowgeometry", "--shell", wid, check=False).split():
                k, _, v = kv.partition("=")
                geo[k] = int(v) if v.lstrip("-").isdigit() else v
            if {"X", "Y", "WIDTH", "HEIGHT"} <= geo.keys():
                result.append(Window(wid, name, geo["X"], geo["Y"], geo["WIDTH"], geo["HEIGHT"]))
        return result

    def window(self, title):
        found = [w for w in self.windows() if w.title == title]
        if len(found) > 1:
            raise E2EError(f"{len(found)} visible windows titled {title!r}")
        return found[0] if found else None

    def wait_window(self, title, timeout=STEP_TIMEOUT):
        return wait_until(f"a window titled {title!r}", lambda: self.window(title) or self._died(),
                          timeout)

    def wait_gone(self, title, timeout=STEP_TIMEOUT):
        wait_until(f"the window {title!r} to go", lambda: self.window(title) is None, timeout)

    def xprop(self, window, prop):
        return self.run("xprop", "-id", str(window.id), prop, check=False)

    # Two presses at one place within the toolkit's double-click time make a
    # double click, whose second press the game ignores by design; a test
    # that means two single clicks waits that long.
    DOUBLE_CLICK_GAP = 0.6

    def _move_for_press(self, x, y):
        last = getattr(self, "_last_press", None)
        if last and abs(last[0] - x) < 8 and abs(last[1] - y) < 8:
            time.sleep(max(0.0, last[2] + self.DOUBLE_CLICK_GAP - time.monotonic()))
        self.move(x, y)
        self._last_press = (x, y, time.monotonic())

    def pointer(self):
        loc = dict(kv.split("=") for kv in self.xdotool("getmouselocation", "--shell").split())
        return int(loc["X"]), int(loc["Y"])

    def move(self, x, y):
        # (--sync waits for the pointer to move, so never for a move to where it is.)
        if self.pointer() != (x, y):
            self.xdotool("mousemove", "--sync", x, y)

    def click(self, x, y):
        self._move_for_press(x, y)
        self.xdotool("click", "1")

    def press(self, x, y):
        self._move_for_press(x, y)
        self.xdotool("mousedown", "1")

    def release(self):
        self.xdotool("mouseup", "1")

    def key(self, window, name):
        """Gives `window` the keyboard focus and types the key `name`."""
        self.xdotool("windowfocus", "--sync", window.id)
        self.xdotool("key", name)

    def close(self, window):
        """What a window manager does for the window's close button."""
        send_delete_window(self.display, window.id)

    def wm_close(self, window):
        """Asks the window manager to close the window (_NET_CLOSE_WINDOW, as
        a taskbar's Close does); only a running window manager acts on it."""
        send_client_message(self.display, window.id, "_NET_CLOSE_WINDOW", [0, 2], to_root=True)

    def located(self, window):
        """`window` with its position and size read again with xwininfo, in
        root coordinates. Under a window manager, which reparents the window
        into its frame, this is right where xdotool's geometry is not."""
        info = {}
        for line in self.run("xwininfo", "-id", str(window.id)).splitlines():
            key, _, value = line.strip().partition(":")
            info[key] = value.strip()
        return Window(window.id, window.title, int(info["Absolute upper-left X"]),
                      int(info["Absolute upper-left Y"]), int(info["Width"]), int(info["Height"]))

    def screenshot(self, window=None):
        """The screen (or one window's rectangle of it) as an RGB image."""
        r = subprocess.run(["import", "-window", "root", "png:-"], env=self.env(),
                           capture_output=True, timeout=STEP_TIMEOUT)
        if r.returncode != 0 or not r.stdout:
            raise E2EError(f"import failed: {r.stderr.decode(errors='replace')}")
        image = Image.open(io.BytesIO(r.stdout)).convert("RGB")
        if window is not None:
            image = image.crop((window.x, window.y, window.x + window.w, window.y + window.h))
        return image

    def opened_addresses(self):
        if not os.path.exists(self.opened_file):
            return []
        with open(self.opened_file) as f:
            return f.read().split()


# ---- reading the main window from a screenshot ----

def menu_bar_height(shot):
    """Rows from the top that are one flat colour across the menu bar's empty
    right half; the photograph below never is."""
    w = shot.width
    for y in range(shot.height):
        lo, hi = zip(*shot.crop((w // 2, y, w, y + 1)).getextrema())
        if max(h - l for l, h in zip(lo, hi)) > 2:
            return y
    return shot.height


class MainView:
    """A screenshot of the main window split into menu bar and client area;
    rectangles are in client coordinates (left, top, width, height)."""

    def __init__(self, shot):
        self.shot = shot
        self.menu_h = menu_bar_height(shot)
        self.client = shot.crop((0, self.menu_h, shot.width, shot.height))

    def area(self, rect):
        l, t, w, h = rect
        l, t = max(l, 0), max(t, 0)
        return self.client.crop((l, t, min(rect[0] + w, self.client.width),
                                 min(rect[1] + h, self.client.height)))

    def pixels(self, rect):
        return list(self.area(rect).getdata())

    def count(self, rect, test):
        return sum(1 for p in self.pixels(rect) if test(p))

    def bbox(self, rect, test):
        """Bounding box (client coordinates, right/bottom exclusive) of the
        pixels of `rect` that pass `test`, or None."""
        a = self.area(rect)
        mask = Image.new("1", a.size)
        mask.putdata([1 if test(p) else 0 for p in a.getdata()])
        b = mask.getbbox()
        if b is None:
            return None
        ox, oy = max(rect[0], 0), max(rect[1], 0)
        return (b[0] + ox, b[1] + oy, b[2] + ox, b[3] + oy)


def is_red(p):
    """The labels' red (255,0,0), allowing for anti-aliasing onto the photograph."""
    r, g, b = p
    return r >= 200 and g <= 90 and b <= 90


def is_reddish(p):
    """Red drawn faintly (a thin anti-aliased stroke): much less green than
    red and as little blue as green, unlike the pink and violet around."""
    r, g, b = p
    return r >= 200 and r - g >= 30 and abs(g - b) <= 20


def is_pink(p):
    """The kind captions' pink (255,128,192)."""
    r, g, b = p
    return r >= 235 and 95 <= g <= 165 and 165 <= b <= 220


def is_magenta(p):
    r, g, b = p
    return r >= 200 and g <= 90 and b >= 200


def is_dark(p):
    return max(p) <= 60


def luminance(p):
    r, g, b = p
    return 0.299 * r + 0.587 * g + 0.114 * b


def find_button(shot):
    """The push button of a small dialog: the rectangle framed by the longest
    dark horizontal runs in its lower half; returns its centre."""
    w, h = shot.size
    rows = []
    for y in range(h // 2, h):
        run = best = 0
        start = best_start = 0
        for x in range(w):
            if sum(shot.getpixel((x, y))) < 450:
                if run == 0:
                    start = x
                run += 1
                if run > best:
                    best, best_start = run, start
            else:
                run = 0
        if best >= 40:
            rows.append((y, best_start, best))
    if len(rows) < 2:
        raise E2EError("no button found in the dialog")
    top, bottom = rows[0], rows[-1]
    return (top[1] + top[2] // 2, (top[0] + bottom[0]) // 2)


def dark_runs(image, axis, threshold=300, min_len=1, max_gap=0):
    """Runs of rows (axis 'y') or columns (axis 'x') of `image` that hold
    text-dark pixels, as (first, last) pairs; runs closer than `max_gap`
    are joined (the characters of one caption)."""
    w, h = image.size
    px = image.load()
    n = h if axis == "y" else w
    hits = []
    for i in range(n):
        line = ((x, i) for x in range(w)) if axis == "y" else ((i, y) for y in range(h))
        hits.append(any(sum(px[p]) < threshold for p in line))
    runs = []
    for i, hit in enumerate(hits):
        if not hit:
            continue
        if runs and i - runs[-1][1] <= max_gap + 1:
            runs[-1][1] = i
        else:
            runs.append([i, i])
    return [(a, b) for a, b in runs if b - a + 1 >= min_len]
