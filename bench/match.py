#!/usr/bin/env python3
"""Plays players against each other and reports wins, draws, losses and the Elo difference.

Players: the engine at a level (easy, medium, hard), run as `quillet --engine` and spoken to in
the gomoku tournament protocol (INFO level selects the level, INFO timeout_turn its time); a
random mover; and a greedy player that looks one move ahead at the shapes it makes and blocks.
Every pairing plays each opening twice, each player once with each colour; the side to move
after the opening stones is the one whose turn it is.

Usage: bench/match.py build/quillet [--pairs hard:medium,medium:easy,...] [--openings N]
"""

import argparse
import math
import random
import subprocess
import sys
import time

SIZE = 15
LEVEL_TIME = {"easy": 100, "medium": 300, "hard": 1000}  # ms a move, as the engine's levels

# Openings of three stones near the centre (x, y from 0; first, second, first), none of them a
# quick win for either side.
OPENINGS = [
    [(7, 7), (8, 6), (9, 9)],
    [(7, 7), (7, 8), (5, 9)],
    [(7, 7), (8, 8), (10, 6)],
    [(7, 7), (9, 7), (6, 10)],
    [(7, 7), (6, 8), (10, 9)],
    [(7, 7), (8, 9), (4, 6)],
]

DIRECTIONS = [(1, 0), (0, 1), (1, 1), (1, -1)]


def five(board, x, y, who):
    for dx, dy in DIRECTIONS:
        run = 1
        for sign in (1, -1):
            k = 1
            while True:
                cx, cy = x + sign * k * dx, y + sign * k * dy
                if not (0 <= cx < SIZE and 0 <= cy < SIZE) or board.get((cx, cy)) != who:
                    break
                run += 1
                k += 1
        if run >= 5:
            return True
    return False


def near_cells(board):
    cells = set()
    for (x, y) in board:
        for dx in range(-2, 3):
            for dy in range(-2, 3):
                c = (x + dx, y + dy)
                if 0 <= c[0] < SIZE and 0 <= c[1] < SIZE and c not in board:
                    cells.add(c)
    return sorted(cells) or [(SIZE // 2, SIZE // 2)]


class RandomPlayer:
    name = "random"

    def __init__(self, seed):
        self.random = random.Random(seed)

    def start(self):
        pass

    def move(self, board, me, last):
        return self.random.choice(near_cells(board))

    def close(self):
        pass


class GreedyPlayer(RandomPlayer):
    """One move ahead: five, else block five, else the cell whose lines hold most stones."""
    name = "greedy"

    def line_score(self, board, x, y, who):
        score = 0
        for dx, dy in DIRECTIONS:
            run, open_ends = 1, 0
            for sign in (1, -1):
                k = 1
                while True:
                    c = (x + sign * k * dx, y + sign * k * dy)
                    if not (0 <= c[0] < SIZE and 0 <= c[1] < SIZE):
                        break
                    if board.get(c) == who:
                        run += 1
                        k += 1
                        continue
                    if c not in board:
                        open_ends += 1
                    break
            score += (10 ** min(run, 5)) * (open_ends + 1) if open_ends or run >= 5 else 0
        return score

    def move(self, board, me, last):
        other = 3 - me
        cells = near_cells(board)
        for who in (me, other):
            for c in cells:
                if five(board, c[0], c[1], who):
                    return c
        scored = [(self.line_score(board, *c, me) * 1.1 + self.line_score(board, *c, other), c)
                  for c in cells]
        top = max(s for s, _ in scored)
        return self.random.choice([c for s, c in scored if s == top])


class EnginePlayer:
    def __init__(self, program, level, seed):
        self.program, self.level, self.seed = program, level, seed
        self.name = level
        self.process = None

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def answer(self):
        deadline = time.monotonic() + LEVEL_TIME[self.level] / 1000 + 10
        while time.monotonic() < deadline:
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError(f"{self.name}: the engine ended")
            line = line.strip()
            if line.startswith(("MESSAGE", "DEBUG", "UNKNOWN", "ERROR")):
                if line.startswith("ERROR"):
                    raise RuntimeError(f"{self.name}: {line}")
                continue
            return line
        raise RuntimeError(f"{self.name}: no answer in time")

    def start(self):
        self.process = subprocess.Popen([self.program, "--engine"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True)
        self.send("START 15")
        if self.answer() != "OK":
            raise RuntimeError("START refused")
        self.send(f"INFO level {self.level}")
        self.send(f"INFO seed {self.seed}")
        self.send(f"INFO timeout_turn {LEVEL_TIME[self.level] + 50}")
        self.fresh = True

    def move(self, board, me, last):
        if self.fresh or last is None:
            self.send("BOARD")
            for (x, y), who in board.items():
                self.send(f"{x},{y},{1 if who == me else 2}")
            self.send("DONE")
            self.fresh = False
        else:
            self.send(f"TURN {last[0]},{last[1]}")
        x, y = (int(v) for v in self.answer().split(","))
        return (x, y)

    def close(self):
        if self.process:
            try:
                self.send("END")
                self.process.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
            self.process = None


def play(first, second, opening):
    """Returns 1 if first (the player of the first colour) wins, 0.5 a draw, 0 a loss."""
    board = {}
    for i, c in enumerate(opening):
        board[c] = 1 if i % 2 == 0 else 2
    players = {1: first, 2: second}
    for p in players.values():
        p.start()
    me = 1 if len(opening) % 2 == 0 else 2
    last = None
    try:
        while len(board) < SIZE * SIZE:
            c = players[me].move(board, me, last)
            if not (0 <= c[0] < SIZE and 0 <= c[1] < SIZE) or c in board:
                print(f"  {players[me].name} played {c}, not a legal move", file=sys.stderr)
                return 0.0 if me == 1 else 1.0
            board[c] = me
            if five(board, c[0], c[1], me):
                return 1.0 if me == 1 else 0.0
            last = c
            me = 3 - me
        return 0.5
    finally:
        for p in players.values():
            p.close()


def make(program, name, seed):
    if name == "random":
        return RandomPlayer(seed)
    if name == "greedy":
        return GreedyPlayer(seed)
    return EnginePlayer(program, name, seed)


def elo(wins, draws, losses):
    n = wins + draws + losses
    s = (wins + draws / 2) / n
    if s in (0.0, 1.0):
        # No estimate at the edges: the bound from one game less than a clean sweep.
        edge = (n - 0.5) / n
        bound = -400 * math.log10(1 / edge - 1)
        return (f">+{bound:.0f}" if s == 1 else f"<-{bound:.0f}"), "-"
    diff = -400 * math.log10(1 / s - 1)
    var = (wins * (1 - s) ** 2 + draws * (0.5 - s) ** 2 + losses * s ** 2) / n
    err = 1.96 * math.sqrt(var / n) * 400 / (math.log(10) * s * (1 - s))
    return f"{diff:+.0f}", f"{err:.0f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program")
    parser.add_argument("--pairs", default="hard:medium,medium:easy,easy:random,easy:greedy,"
                        "medium:greedy,hard:greedy,medium:random,hard:random")
    parser.add_argument("--openings", type=int, default=4)
    args = parser.parse_args()

    print(f"| {'pairing':<16} | games | wins | draws | losses | Elo | 95% |")
    print("|---|---|---|---|---|---|---|")
    for pair in args.pairs.split(","):
        a_name, b_name = pair.split(":")
        wins = draws = losses = 0
        for index, opening in enumerate(OPENINGS[:args.openings]):
            for a_first in (True, False):
                a = make(args.program, a_name, 2 * index + 1)
                b = make(args.program, b_name, 2 * index + 2)
                result = play(a, b, opening) if a_first else 1 - play(b, a, opening)
                wins += result == 1
                draws += result == 0.5
                losses += result == 0
        diff, err = elo(wins, draws, losses)
        print(f"| {a_name + ' - ' + b_name:<16} | {wins + draws + losses} | {wins} | {draws} | "
              f"{losses} | {diff} | {err} |", flush=True)


if __name__ == "__main__":
    main()
