#!/usr/bin/env python3
"""Reads a match log (tools/match: --log FILE) and reports, for every clock
search of one engine, the time from "go" (from "ponderhit" for a ponder search)
to "bestmove" against the hard limit the engine computes for itself
(maximumTime), and the worst overshoot.

    tools/time_overshoot.py runs/match.log [--engine tarvo] [--rate normal]
"""
import argparse
import re
import sys

RATE = {"slow": 0.043, "normal": 0.033, "fast": 0.024}


def maximum_time(time, inc, movestogo, f):
    n = movestogo
    if n <= 0 or n > 1 / f:
        n = 1 / f
    k = 8 * f
    total = (n - 1) * inc + time
    b = total / (k * n + 1 - k)
    if b - 100 > 0:
        b -= 100
    cap = 0.9 * time
    if cap - 100 > 0:
        cap -= 100
    return int(min(b, cap))


def side_to_move(position_line):
    words = position_line.split()
    side = 0
    moves = 0
    if "fen" in words:
        i = words.index("fen")
        side = 0 if words[i + 2] == "w" else 1
    if "moves" in words:
        moves = len(words) - words.index("moves") - 1
    return (side + moves) % 2


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("log")
    parser.add_argument("--engine", default="tarvo")
    parser.add_argument("--rate", default="normal", choices=RATE)
    args = parser.parse_args()
    f = RATE[args.rate]
    line_re = re.compile(r"^\s*(\d+) (\S+?)#(\d+) ([<>]) (.*)$")
    position = {}
    pending = {}
    results = []
    with open(args.log, errors="replace") as log:
        for raw in log:
            m = line_re.match(raw)
            if not m or m.group(2) != args.engine:
                continue
            t, inst, direction, text = int(m.group(1)), m.group(3), m.group(4), m.group(5)
            if direction == ">" and text.startswith("position"):
                position[inst] = text
            elif direction == ">" and text.startswith("go") and "wtime" in text:
                v = dict(re.findall(r"(wtime|btime|winc|binc|movestogo) (-?\d+)", text))
                side = side_to_move(position.get(inst, "position startpos"))
                time = int(v.get("wtime" if side == 0 else "btime", 0))
                inc = int(v.get("winc" if side == 0 else "binc", 0))
                mtg = int(v.get("movestogo", 0))
                # A ponder search is timed from "ponderhit"; until then it has no start.
                start = None if re.search(r"\bponder\b", text) else t
                pending[inst] = (start, time, maximum_time(time, inc, mtg, f))
            elif direction == ">" and text.startswith("ponderhit") and inst in pending:
                _, time, limit = pending[inst]
                pending[inst] = (t, time, limit)
            elif direction == ">" and text.startswith("stop") and inst in pending and pending[inst][0] is None:
                del pending[inst]  # a missed ponder: its bestmove is not played
            elif direction == "<" and text.startswith("bestmove") and inst in pending:
                if pending[inst][0] is None:
                    del pending[inst]
                    continue
                start, time, limit = pending.pop(inst)
                results.append((t - start, limit, time))
    if not results:
        print("no clock searches found")
        return 1
    worst = max(results, key=lambda r: r[0] - r[1])
    over = [r for r in results if r[0] > r[1]]
    longest = max(results, key=lambda r: r[0])
    print(f"{len(results)} clock searches; {len(over)} above maximumTime")
    print(f"worst overshoot: {worst[0] - worst[1]} ms (took {worst[0]} ms, limit {worst[1]} ms, clock {worst[2]} ms)")
    print(f"longest search: {longest[0]} ms (limit {longest[1]} ms, clock {longest[2]} ms)")
    print(f"largest share of the remaining clock: {max(r[0] / max(r[2], 1) for r in results):.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
