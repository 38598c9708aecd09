#!/usr/bin/env python3
"""A gomoku engine for the tests, right or wrong on purpose: fake-engine.py MODE.

good       plays the first free cell, with a MESSAGE before each move, and names itself Fakey
silent     never answers a move
stubborn   never answers a move and ignores SIGTERM
crash      dies of SIGSEGV when asked for a move
exit       exits with status 3 when asked for a move
flood      writes MESSAGE lines without end when asked for a move
All but good answer ABOUT with UNKNOWN, so that they go by their file names.
"""

import os
import resource
import signal
import sys
import time

mode = sys.argv[1]
if mode == "stubborn":
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
taken = set()


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def move():
    if mode == "good":
        cell = next((x, y) for y in range(15) for x in range(15) if (x, y) not in taken)
        taken.add(cell)
        say("MESSAGE thinking about %d,%d" % cell)
        say("%d,%d" % cell)
    elif mode in ("silent", "stubborn"):
        say("MESSAGE thinking")
        time.sleep(3600)
    elif mode == "crash":
        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
        os.kill(os.getpid(), signal.SIGSEGV)
    elif mode == "exit":
        sys.exit(3)
    elif mode == "flood":
        while True:
            say("MESSAGE " + "x" * 100)


for raw in sys.stdin:
    words = raw.split()
    if not words:
        continue
    command = words[0]
    if command == "START":
        say("OK")
    elif command == "ABOUT":
        say('name="Fakey", version="1"' if mode == "good" else "UNKNOWN ABOUT")
    elif command == "BEGIN":
        move()
    elif command == "TURN":
        taken.add(tuple(int(n) for n in words[1].split(",")))
        move()
    elif command == "END":
        break
