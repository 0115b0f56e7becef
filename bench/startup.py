#!/usr/bin/env python3
"""Start-up, memory and idle figures of the game under a real X server.

Usage: bench/startup.py BUILD_DIR [RUNS]

Starts a private Xvfb, then runs bench/startup_game (the game with a
first-paint watch) and bench/startup_minimal (one QLabel of the game's client
size, 371 x 303) alternately RUNS times each (default 15) after one unmeasured
warm-up run of each, and prints for both the median time from process start
to the first complete paint and the median peak resident memory (the
children's maximum RSS from wait4), with the ratio and the difference.

Then the idle figure: the shipped program (BUILD_DIR/dorvessa) and the
minimal program are started, left untouched for 10 s once their windows are
up, and the CPU time each used meanwhile (utime + stime from /proc/PID/stat)
is printed.

Exits 0 after printing the figures; non-zero only when something could not
be measured (a probe that failed, no X server).
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

IDLE_SECONDS = 10
CLK_TCK = os.sysconf("SC_CLK_TCK")


def start_xvfb(workdir):
    """Starts Xvfb on a display number it picks itself; returns (proc, display)."""
    if shutil.which("Xvfb") is None:
        sys.exit("startup.py: Xvfb is not installed (package xvfb)")
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
         "-auth", os.path.join(workdir, "xauth")],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        number = f.readline().strip()
    if not number:
        proc.kill()
        sys.exit("startup.py: Xvfb did not start")
    return proc, ":" + number


def environment(display, **extra):
    env = {k: v for k, v in os.environ.items()
           if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "BENCH_AFTER_PAINT")}
    env["DISPLAY"] = display
    env.update(extra)
    return env


def run_probe(program, display):
    """One start-up: returns (first paint ms, peak RSS KiB)."""
    t0 = time.monotonic_ns()  # CLOCK_MONOTONIC, as the probe reads it
    proc = subprocess.Popen([program], env=environment(display, BENCH_T0_NS=str(t0)),
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    out = proc.stdout.read().decode()
    err = proc.stderr.read().decode()
    fields = dict(kv.split("=") for line in out.splitlines() for kv in line.split() if "=" in kv)
    if proc.returncode != 0 or "first_paint_ms" not in fields:
        sys.exit(f"startup.py: {program} failed (status {proc.returncode}): {out}{err}")
    return float(fields["first_paint_ms"]), usage.ru_maxrss


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        rest = f.read().rsplit(")", 1)[1].split()
    return int(rest[11]) + int(rest[12])  # fields 14 and 15: utime, stime


def window_up(display, title):
    """Waits (at most 20 s) until a window with `title` is mapped."""
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                           env=environment(display), capture_output=True, text=True)
        if r.returncode == 0 and r.stdout.strip():
            return True
        time.sleep(0.1)
    return False


def idle_cpu(program, display, title, extra_env):
    """CPU seconds `program` uses in IDLE_SECONDS with its window up, untouched."""
    proc = subprocess.Popen([program], env=environment(display, **extra_env),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if not window_up(display, title):
            sys.exit(f"startup.py: the window of {program} did not come up")
        time.sleep(1)  # let the start-up finish its last events
        before = cpu_ticks(proc.pid)
        time.sleep(IDLE_SECONDS)
        after = cpu_ticks(proc.pid)
    finally:
        proc.terminate()
        proc.wait(timeout=10)
    return (after - before) / CLK_TCK


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    game = os.path.join(build, "bench", "startup_game")
    minimal = os.path.join(build, "bench", "startup_minimal")
    shipped = os.path.join(build, "dorvessa")
    for p in (game, minimal, shipped):
        if not os.access(p, os.X_OK):
            sys.exit(f"startup.py: {p} is missing; build the benchmarks first")

    with tempfile.TemporaryDirectory() as workdir:
        xvfb, display = start_xvfb(workdir)
        try:
            run_probe(game, display)  # warm-up: font and shader caches, page cache
            run_probe(minimal, display)
            g_ms, g_kib, m_ms, m_kib = [], [], [], []
            for _ in range(runs):
                ms, kib = run_probe(game, display)
                g_ms.append(ms)
                g_kib.append(kib)
                ms, kib = run_probe(minimal, display)
                m_ms.append(ms)
                m_kib.append(kib)
            idle_game = idle_cpu(shipped, display, "Dorvessa", {})
            idle_minimal = idle_cpu(minimal, display, "startup_minimal", {"BENCH_AFTER_PAINT": "stay"})
        finally:
            xvfb.terminate()
            xvfb.wait(timeout=10)

    gm, mm = statistics.median(g_ms), statistics.median(m_ms)
    gk, mk = statistics.median(g_kib), statistics.median(m_kib)
    print(f"Xvfb 1024x768x24, {runs} runs each, alternating, after one warm-up run each")
    print(f"{'':28} {'game':>10} {'minimal':>10}")
    print(f"{'first paint, median (ms)':28} {gm:10.1f} {mm:10.1f}")
    print(f"{'first paint, min..max (ms)':28} {min(g_ms):4.0f}..{max(g_ms):<5.0f} {min(m_ms):4.0f}..{max(m_ms):<5.0f}")
    print(f"{'peak RSS, median (MiB)':28} {gk / 1024:10.1f} {mk / 1024:10.1f}")
    print(f"{'CPU in {} s idle (s)'.format(IDLE_SECONDS):28} {idle_game:10.2f} {idle_minimal:10.2f}")
    print()
    print(f"startup_ratio={gm / mm:.2f} goal<=1.25 {'MET' if gm / mm <= 1.25 else 'MISSED'}")
    diff = (gk - mk) / 1024
    print(f"peak_rss_diff_mib={diff:.1f} goal<=10 {'MET' if diff <= 10 else 'MISSED'}")
    print(f"idle_cpu_s={idle_game:.2f} goal=0 {'MET' if idle_game == 0 else 'MISSED'}")


if __name__ == "__main__":
    main()
