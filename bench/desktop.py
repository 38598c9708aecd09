#!/usr/bin/env python3
"""Quillet on an X display beside a bare Qt window, measured in the same run.

Start-up: the time from starting a program to its board being on screen, as an X client sees it:
it hears of the window being mapped on the root window, then reads the window's pixels back from
the X server every millisecond until the board's grid shows; the median of several starts of
each, taken in turns (the time to the window mapped is given beside it). Idle: each program left
running alone (Quillet listening on port 1777, no peer) for a while after it settled; per thread,
the wake-ups (voluntary and involuntary context switches, from /proc/<pid>/task/<tid>/status) and
the CPU time (from /proc/<pid>/task/<tid>/schedstat, in nanoseconds; the clock ticks of .../stat
are too coarse for a few milliseconds a minute). Peak memory: VmHWM of /proc/<pid>/status at the
end of its idle time.

The floor is bench/BareWindow.cpp: the main window's content made the bare Qt way, with
nothing ticking; beside it the same window whose clock text counts the seconds from a QTimer,
the bare Qt way of the one thing an idle Quillet does, once with Qt's defaults and once without
X shared memory, as Quillet draws. The whole run happens in a network namespace of its own, with
an Xvfb of its own, so port 1777 is free and nothing else on the machine is disturbed. Needs Xvfb.

With --spread, each program's threads are pinned once it has settled: its GUI thread on the last
CPU, the others on the first. That shows what the wake-ups are where the kernel runs a woken
thread on an idle CPU rather than beside the thread that woke it.

    python3 bench/desktop.py [--build build] [--seconds 30] [--starts 20] [--spread]
                             [--also other/quillet]
"""
import argparse
import ctypes
import os
import signal
import statistics
import subprocess
import sys
import time


def reexec_in_namespace():
    if os.environ.get("QUILLET_BENCH_NAMESPACE"):
        return
    flags = "-nm" if os.getuid() == 0 else "-rnm"
    env = dict(os.environ, QUILLET_BENCH_NAMESPACE="1")
    try:
        os.execvpe("unshare", ["unshare", flags, sys.executable] + sys.argv, env)
    except OSError:
        print("no network namespace: running on the machine's own network", file=sys.stderr)


class ScreenWatcher:
    """An X client that hears of every window mapped on the root (no window manager runs) and
    reads back what a window shows."""

    MAP_NOTIFY = 19
    SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
    Z_PIXMAP = 2
    ALL_PLANES = (1 << 64) - 1

    def __init__(self, name):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        self.x11.XGetImage.restype = ctypes.c_void_p
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                       ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x11.XGetPixel.restype = ctypes.c_ulong
        self.x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.x11.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        # A window read as its program ends makes an error, which would otherwise end this
        # script; the read then only finds nothing.
        self.ignore_errors = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(
            lambda display, error: 0)
        self.x11.XSetErrorHandler(self.ignore_errors)
        self.display = self.x11.XOpenDisplay(name.encode())
        if not self.display:
            sys.exit("cannot open display " + name)
        root = self.x11.XDefaultRootWindow(self.display)
        self.x11.XSelectInput(self.display, root, self.SUBSTRUCTURE_NOTIFY_MASK)
        # Selected before any program starts, so no map goes unseen.
        self.x11.XSync(self.display, 0)
        self.event = (ctypes.c_long * 24)()  # an XEvent; its type is the first int

    def wait_for_map(self):
        """The id of the next window mapped."""
        while True:
            self.x11.XNextEvent(self.display, self.event)
            if ctypes.cast(self.event, ctypes.POINTER(ctypes.c_int))[0] == self.MAP_NOTIFY:
                return self.event[5]  # XMapEvent: type, serial, send_event, display, event, window

    def board_shown(self, window):
        """Whether the window shows the board's grid, as Quillet and the floor draw it: 15 x 15
        cells of 20 pixels below a menu bar of 20, black lines on white. Read across the first
        and the fourteenth row of cells and down the middle column (the status texts cover the
        last row), every 10 pixels: on each line and halfway between each two."""
        for x, y, width, height in [(0, 30, 301, 1), (0, 290, 301, 1), (150, 20, 1, 281)]:
            image = self.x11.XGetImage(self.display, window, x, y, width, height,
                                       self.ALL_PLANES, self.Z_PIXMAP)
            if not image:
                return False
            shown = True
            for along in range(0, max(width, height), 10):
                pixel = self.x11.XGetPixel(image, along if width > 1 else 0,
                                           along if height > 1 else 0)
                channels = [pixel >> shift & 0xFF for shift in (16, 8, 0)]
                if max(channels) >= 64 if along % 20 == 0 else min(channels) < 192:
                    shown = False
                    break
            self.x11.XDestroyImage(image)
            if not shown:
                return False
        return True

    def close(self):
        self.x11.XCloseDisplay(self.display)


class Display:
    """An Xvfb server and a watcher of what is shown on it."""

    def __init__(self):
        # Xvfb picks a free display number and writes it once it accepts clients.
        reader, writer = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(writer), "-screen", "0", "800x700x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=[writer])
        os.close(writer)
        with os.fdopen(reader) as number:
            self.name = ":" + number.readline().strip()
        if self.name == ":":
            sys.exit("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=self.name)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.watcher = ScreenWatcher(self.name)

    def start_and_wait_drawn(self, command, env):
        """Starts command with env added to the display's and returns (process, seconds until its
        window was mapped, seconds until its board was on screen). The screen is read every
        millisecond; a program whose board never shows in 30 s ends the script."""
        started = time.monotonic()
        process = subprocess.Popen(command, env=dict(self.env, **env), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        window = self.watcher.wait_for_map()
        mapped = time.monotonic() - started
        while not self.watcher.board_shown(window):
            if time.monotonic() - started > 30:
                process.kill()
                sys.exit("%s: the board never showed" % command[0])
            time.sleep(0.001)
        return process, mapped, time.monotonic() - started

    def close(self):
        self.watcher.close()
        self.server.kill()
        self.server.wait()


def stop(process):
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def threads(pid):
    """{tid: (name, voluntary switches, involuntary switches, CPU ns)} of a running process."""
    found = {}
    for tid in os.listdir("/proc/%d/task" % pid):
        base = "/proc/%d/task/%s/" % (pid, tid)
        try:
            with open(base + "comm") as comm:
                name = comm.read().strip()
            switches = {}
            with open(base + "status") as status:
                for line in status:
                    key, _, value = line.partition(":")
                    if key.endswith("ctxt_switches"):
                        switches[key] = int(value)
            with open(base + "schedstat") as schedstat:
                cpu = int(schedstat.read().split()[0])
        except FileNotFoundError:
            continue  # the thread ended meanwhile
        found[int(tid)] = ("main" if int(tid) == pid else name,
                           switches["voluntary_ctxt_switches"],
                           switches["nonvoluntary_ctxt_switches"], cpu)
    return found


def spread(pid):
    """Pins the GUI thread (the process's first) to the last CPU and every other to the first."""
    cpus = sorted(os.sched_getaffinity(pid))
    if len(cpus) < 2:
        return
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            os.sched_setaffinity(int(tid), {cpus[-1] if int(tid) == pid else cpus[0]})
        except ProcessLookupError:
            continue  # the thread ended meanwhile


def peak_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def idle_rows(before, after, seconds):
    """(thread, voluntary and involuntary wake-ups a second, CPU ms a minute) for the threads
    alive throughout."""
    rows = []
    for tid, (name, voluntary, involuntary, cpu) in sorted(after.items()):
        if tid not in before:
            continue
        _, voluntary0, involuntary0, cpu0 = before[tid]
        rows.append(("%s (%d)" % (name, tid), (voluntary - voluntary0) / seconds,
                     (involuntary - involuntary0) / seconds, (cpu - cpu0) / 1e6 * 60 / seconds))
    return rows


def main():
    reexec_in_namespace()
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--starts", type=int, default=20)
    parser.add_argument("--settle", type=float, default=5)
    parser.add_argument("--spread", action="store_true",
                        help="pin the GUI thread and the other threads to different CPUs")
    parser.add_argument("--also", action="append", default=[], metavar="QUILLET",
                        help="another build of the program to measure in the same run")
    options = parser.parse_args()
    bare = os.path.join(options.build, "bench/bare_window")
    no_shm = {"QT_XCB_NO_MITSHM": "1"}
    programs = [("bare Qt window (floor)", [bare], {}),
                ("bare Qt window, clock ticking", [bare, "--tick"], {}),
                ("bare Qt window, ticking, no MIT-SHM", [bare, "--tick"], no_shm),
                ("quillet", [os.path.join(options.build, "quillet")], {})]
    programs += [(path, [path], {}) for path in options.also]

    display = Display()
    try:
        startup = {name: [] for name, _, _ in programs}
        for _ in range(options.starts):
            for name, command, env in programs:
                process, mapped, drawn = display.start_and_wait_drawn(command, env)
                startup[name].append((mapped, drawn))
                time.sleep(0.3)  # let it finish drawing before it is ended
                stop(process)
        # One program at a time, so that none is disturbed by another's clock.
        idle = {}
        for name, command, env in programs:
            process = display.start_and_wait_drawn(command, env)[0]
            if options.spread:
                spread(process.pid)
            time.sleep(options.settle)
            before = threads(process.pid)
            time.sleep(options.seconds)
            idle[name] = (idle_rows(before, threads(process.pid), options.seconds),
                          peak_kib(process.pid))
            stop(process)
    finally:
        display.close()

    print("Idle for %g s after %g s to settle, per thread: wake-ups a second (voluntary + "
          "involuntary) and CPU ms a minute" % (options.seconds, options.settle))
    if options.spread:
        print("  (each program's GUI thread pinned to the last CPU, its other threads to the first)")
    for name, (rows, _) in idle.items():
        voluntary = sum(row[1] for row in rows)
        involuntary = sum(row[2] for row in rows)
        print("  %-48s %5.2f /s (%.2f + %.2f) %6.1f ms/min"
              % (name + ", all threads", voluntary + involuntary, voluntary, involuntary,
                 sum(row[3] for row in rows)))
        for thread, voluntary, involuntary, cpu in rows:
            print("    %-46s %5.2f /s (%.2f + %.2f) %6.1f ms/min"
                  % (thread, voluntary + involuntary, voluntary, involuntary, cpu))
    floor = programs[0][0]
    mapped = {name: statistics.median(times[0] for times in startup[name]) * 1000
              for name in startup}
    drawn = {name: statistics.median(times[1] for times in startup[name]) * 1000
             for name in startup}
    print("Start-up to the board on screen, and to the window mapped (medians of %d); peak memory "
          "(VmHWM):" % options.starts)
    for name, _, _ in programs:
        print("  %-48s %7.1f ms (%.2fx), mapped %7.1f ms (%.2fx) %8d KiB (%.2fx)"
              % (name, drawn[name], drawn[name] / drawn[floor], mapped[name],
                 mapped[name] / mapped[floor], idle[name][1], idle[name][1] / idle[floor][1]))


if __name__ == "__main__":
    main()
