#!/usr/bin/env python3
"""Plays one short UCI session with an engine through pipes and checks the
replies: identification, readyok, legal best moves for a fixed search, an
infinite search ended by "stop", a clock search, "isready" answered while
searching, and "quit" obeyed in the middle of a search.

    tools/uci_smoke.py [--cwd DIR] -- COMMAND [ARGS...]
    tools/uci_smoke.py --cwd build -- ./tarvo
    tools/uci_smoke.py --cwd run -- wine64 tarvo.exe

The engine is started in DIR (it reads Parameters.txt from there). Prints one
line per check and exits with status 1 when any check failed.
"""
import argparse
import os
import queue
import re
import subprocess
import sys
import threading
import time

# Legal moves, worked out by hand and with an independent move generator.
AFTER_E4_E5_NF3_NC6 = ("b1a3 b1c3 f3g1 f3d4 f3h4 f3e5 f3g5 f1e2 f1d3 f1c4 f1b5 f1a6 h1g1 d1e2 e1e2 "
                       "a2a3 b2b3 c2c3 d2d3 g2g3 h2h3 a2a4 b2b4 c2c4 d2d4 g2g4 h2h4").split()
AFTER_E4_E5_NF3 = ("b8a6 b8c6 g8f6 g8h6 g8e7 f8a3 f8b4 f8c5 f8d6 f8e7 d8h4 d8g5 d8f6 d8e7 e8e7 "
                   "a7a6 b7b6 c7c6 d7d6 f7f6 g7g6 h7h6 a7a5 b7b5 c7c5 d7d5 f7f5 g7g5 h7h5").split()
assert len(AFTER_E4_E5_NF3_NC6) == 27 and len(AFTER_E4_E5_NF3) == 29

# "info ... time T nodes N nps P ..." as printed by the multi-PV and periodic lines.
COUNTERS = re.compile(r"\btime (-?\d+) nodes (\S+) nps (\S+)")


class Engine:
    """The engine process, with its output lines collected by a reader thread."""

    def __init__(self, command, cwd):
        self.process = subprocess.Popen(command, cwd=cwd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.process.stdout:
            self.lines.put(raw.decode("latin-1").rstrip("\r\n"))
        self.lines.put(None)

    def send(self, text):
        self.process.stdin.write((text + "\n").encode())
        self.process.stdin.flush()

    def read_until(self, predicate, timeout):
        """Returns the lines up to and including the first one that satisfies
        `predicate`, or None when the time runs out or the output ends."""
        got = []
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                return None
            if line is None:
                self.lines.put(None)
                return None
            got.append(line)
            self.seen.append(line)
            if predicate(line):
                return got

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            print(f"ok    {what}")
        else:
            self.failed += 1
            print(f"FAIL  {what}" + (f": {detail}" if detail else ""))
        return ok


def best_move(lines):
    """The move of the final "bestmove" line, or None."""
    if not lines or not lines[-1].startswith("bestmove"):
        return None
    words = lines[-1].split()
    return words[1] if len(words) > 1 else None


def counters_consistent(lines):
    """Whether every time/nodes/nps triple is three decimal numbers with
    nps = nodes * 1000 / max(time, 1): a 64-bit node count printed with the
    wrong width shifts or garbles the fields after it."""
    triples = [COUNTERS.search(line) for line in lines]
    triples = [t for t in triples if t]
    if not triples:
        return False, "no line with time, nodes and nps"
    for t in triples:
        if not (t.group(2).isdigit() and t.group(3).isdigit()):
            return False, t.group(0)
        ms, nodes, nps = int(t.group(1)), int(t.group(2)), int(t.group(3))
        if nodes <= 0 or nps != min(nodes * 1000 // max(ms, 1), 2**31 - 1):
            return False, t.group(0)
    return True, f"{len(triples)} lines, last '{triples[-1].group(0)}'"


def until_best(line):
    return line.startswith("bestmove")


def run(command, cwd, startup_timeout):
    checks = Checks()
    engine = Engine(command, cwd)
    try:
        engine.send("uci")
        lines = engine.read_until(lambda l: l == "uciok", startup_timeout)
        if not checks.check(lines is not None, "uci answered with uciok", "no uciok"):
            return checks
        checks.check(any(l.startswith("id name ") for l in lines), "id name line", repr(lines[:3]))
        checks.check(any(l.startswith("option name Hash ") for l in lines), "Hash option declared")
        checks.check(not any(l.startswith("info string") for l in lines), "no start-up complaint",
                     repr([l for l in lines if l.startswith("info string")]))

        engine.send("isready")
        checks.check(engine.read_until(lambda l: l == "readyok", 10) is not None, "isready answered")

        # A fixed-depth search: progress lines, then a legal move.
        engine.send("ucinewgame")
        engine.send("position startpos moves e2e4 e7e5 g1f3 b8c6")
        engine.send("go depth 8")
        lines = engine.read_until(until_best, 60)
        move = best_move(lines)
        checks.check(move in AFTER_E4_E5_NF3_NC6, "go depth 8 gives a legal bestmove",
                     lines[-1] if lines else "no bestmove")
        if lines:
            # "depth N" runs iterations 1 to N.
            checks.check(any(l.startswith("info multipv 1 depth 8 ") for l in lines), "iteration 8 reported")
            ok, detail = counters_consistent(lines)
            checks.check(ok, "64-bit node counts print correctly", detail)

        # An infinite search ends only on "stop"; "isready" during it is seen
        # by the input poll, which proves the pipe peek works.
        engine.send("go infinite")
        started = engine.read_until(lambda l: l.startswith("info depth 5"), 30)
        checks.check(started is not None and not any(until_best(l) for l in started),
                     "go infinite searches without answering")
        engine.send("isready")
        checks.check(engine.read_until(lambda l: l == "readyok", 5) is not None,
                     "isready answered while searching")
        time.sleep(1.5)
        engine.send("stop")
        stopped = time.monotonic()
        lines = engine.read_until(until_best, 10)
        move = best_move(lines)
        checks.check(move in AFTER_E4_E5_NF3_NC6, "stop ends the infinite search with a legal move",
                     lines[-1] if lines else "no bestmove within 10 s")
        if lines:
            checks.check(time.monotonic() - stopped < 3, "stop obeyed within 3 s",
                         f"{time.monotonic() - stopped:.1f} s")
            ok, detail = counters_consistent(lines)
            checks.check(ok, "periodic info lines well formed", detail)

        # A clock search: Black to move, three seconds each.
        engine.send("position startpos moves e2e4 e7e5 g1f3")
        began = time.monotonic()
        engine.send("go wtime 3000 btime 3000 winc 100 binc 100")
        lines = engine.read_until(until_best, 20)
        took = time.monotonic() - began
        checks.check(best_move(lines) in AFTER_E4_E5_NF3, "clock search gives a legal bestmove",
                     lines[-1] if lines else "no bestmove within 20 s")
        checks.check(took < 3.0, "clock search stays inside the clock", f"{took:.1f} s")

        # "quit" in the middle of a search ends the process at once, with status 0
        # and no bestmove.
        engine.send("position startpos")
        engine.send("go infinite")
        started = engine.read_until(lambda l: l.startswith("info depth 4"), 30)
        checks.check(started is not None, "second infinite search started")
        answered = sum(1 for l in engine.seen if until_best(l))
        engine.send("quit")
        try:
            status = engine.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            status = None
        checks.check(status == 0, "quit while searching ends the process with status 0", f"status {status}")
        engine.read_until(lambda l: False, 2)  # collects whatever came before the end
        late = [l for l in engine.seen if until_best(l)][answered:]
        checks.check(not late, "no bestmove after quit", repr(late))
    finally:
        engine.close()
    return checks


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cwd", default=".", help="working directory of the engine")
    parser.add_argument("--startup-timeout", type=float, default=60,
                        help="seconds allowed until uciok (start-up under an emulator is slow)")
    parser.add_argument("command", nargs="+", help="engine command line")
    args = parser.parse_args()
    checks = run(args.command, args.cwd, args.startup_timeout)
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
