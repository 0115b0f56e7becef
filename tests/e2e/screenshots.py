"""Takes the README's pictures of the real program in a private X server.

  /usr/bin/python3 tests/e2e/screenshots.py build/dorvessa docs

writes main-window.png (the main window just after start) and roll.png
(after choosing the chores dice and rolling), each cropped to the X window
(menu bar and client area; there is no window manager to draw a frame).
"""

import os
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import xsession as xs  # noqa: E402
from e2e_test import MARKERS, RESULTS, ROLL, MainWindowDriver  # noqa: E402


def main(program, out_dir):
    os.makedirs(out_dir, exist_ok=True)
    with xs.Session(program) as s:
        main_window = s.start()
        d = MainWindowDriver(s, main_window)
        # Keep the pointer out of the window.
        s.move(5, 5)
        s.screenshot(main_window).save(os.path.join(out_dir, "main-window.png"), optimize=True)

        d.click(MARKERS["家务"])
        xs.wait_until("the chores marker filled", lambda: d.filled_markers() == {"家务"})
        d.click(ROLL)
        xs.wait_until("a result", lambda: d.view().count(RESULTS, xs.is_red) > 30)
        s.move(5, 5)
        s.screenshot(main_window).save(os.path.join(out_dir, "roll.png"), optimize=True)

        s.key(main_window, "Escape")
        status = s.wait_exit()
        if status != 0:
            raise xs.E2EError(f"the program ended with status {status}")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
