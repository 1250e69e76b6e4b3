#!/usr/bin/env python3
"""Second, independent reading of the parameter-file rules, used to check the engine.

Usage: reference_parameters.py EMBEDDED CASE...

For each CASE path it writes CASE.expected-out (what the engine prints on standard
output) and, when a dump is written, CASE.expected-dump (the bytes of "PERSON INIT.txt").
A CASE that does not exist behaves like a missing "Parameters.txt": the message, the
numbers of EMBEDDED, and no dump.
"""

import math
import re
import sys

NUMBERS_NEEDED = 125
LIST_CAPACITY = 4096
FILE_LIMIT = 16 << 20  # bytes of the parameter file that are read
INT_MIN = -(2**31)
WEIGHT_LIMIT = 10000

MISSING = b"Error. Tarvo.exe and Parameters.txt should be in one folder\n"
BAD_CHARACTER = b"error...\n"

RANK = [0, 0, 0, 10, 30, 60, 100, 100]
PAWN_FILE = [-3, -1, 0, 1, 1, 0, -1, -3]
KNIGHT = [-4, -2, 0, 1, 1, 0, -2, -4]
KNIGHT_RANK = [-2, -1, 0, 1, 2, 3, 2, 1]
BISHOP = [-3, -1, 0, 1, 1, 0, -1, -3]
ROOK_FILE = [-2, -1, 0, 1, 1, 0, -1, -2]
QUEEN = [-3, -1, 0, 1, 1, 0, -1, -3]
KING_ENDGAME = [-3, -1, 0, 1, 1, 0, -1, -3]
KING_FILE = [3, 4, 2, 0, 0, 2, 4, 3]
KING_RANK = [0, -1, -3, -5]
OUTPOST_FILE = [0, 0, 1, 2]
OUTPOST_RANK = [0, 0, 0, 1, 5, 3, 0, -1]

# C strtod, as glibc reads a prefix that starts with a digit or '-'.
DECIMAL = re.compile(rb"-?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][-+]?[0-9]+)?")
HEXADECIMAL = re.compile(rb"(-?)0[xX]((?:[0-9a-fA-F]+\.?[0-9a-fA-F]*|\.[0-9a-fA-F]+))([pP][-+]?[0-9]+)?")
INF_OR_NAN = re.compile(rb"(-?)(infinity|inf|nan(?:\([0-9A-Za-z_]*\))?)", re.IGNORECASE)


def c_strtod(data, at):
    m = HEXADECIMAL.match(data, at)
    if m:
        mantissa = m.group(2).decode()
        exponent = m.group(3).decode()[1:] if m.group(3) else "0"
        digits = exponent.lstrip("+-").lstrip("0") or "0"
        if len(digits) > 12:  # far beyond any finite double either way
            digits = "999999999999"
        text = "0x" + mantissa + "p" + ("-" if exponent.startswith("-") else "") + digits
        try:
            value = float.fromhex(text)
        except OverflowError:
            value = math.inf
        return -value if m.group(1) else value
    m = INF_OR_NAN.match(data, at)
    if m:
        word = m.group(2).lower()
        value = math.nan if word.startswith(b"nan") else math.inf
        return -value if m.group(1) else value
    m = DECIMAL.match(data, at)
    if m:
        return float(m.group(0))
    return 0.0


def scan(data, out):
    """The list of numbers a text gives; messages go to out."""
    numbers = []
    n = len(data)
    if n == 0:
        return numbers

    def char(k):
        return data[k : k + 1] if k < n else b"\0"

    i = 0
    while True:
        if char(i) == b"<":
            close = data.find(b">", i + 1)
            i = n if close < 0 else close + 1
        if char(i) == b"[":
            close = data.find(b"]", i + 1)
            i = n if close < 0 else close + 1
        if char(i) == b"#":
            i += 1
            while i < n and data[i : i + 1].isdigit():
                i += 1
        c = char(i)
        if c in (b",", b"."):
            i += 1
        elif c in (b" ", b"\t", b"\n", b"\v", b"\f", b"\r"):
            i += 1
        elif i >= 1 and (data[i - 1 : i].isdigit() or data[i - 1 : i] in (b"-", b".")):
            i += 1
        elif c == b"\0":
            break
        elif c.isdigit() or c == b"-":
            if len(numbers) < LIST_CAPACITY:
                numbers.append(c_strtod(data, i))
            i += 1
        else:
            out.append(BAD_CHARACTER)
            break
        if i >= n:
            break
    return numbers


def to_int(x):
    """Truncation toward zero, stopping at the ends of the i32 range; NaN gives 0."""
    if x != x:
        return 0
    if x <= -2147483649.0:
        return INT_MIN
    if x >= 2147483648.0:
        return 2**31 - 1
    return int(x)


def bounded(value):
    """Every finished weight entry is clamped to the weight bounds before it is dumped or used."""
    return max(-WEIGHT_LIMIT, min(WEIGHT_LIMIT, value))


def wrap(x):
    return (x + 2**31) % 2**32 - 2**31


def c_pow(x, y):
    """The C library pow, including the cases where Python raises."""
    try:
        return math.pow(x, y)
    except ValueError:
        if x == 0.0:
            odd = y == math.floor(y) and math.fmod(y, 2.0) != 0.0
            return math.copysign(math.inf, x) if odd else math.inf
        return math.nan
    except OverflowError:
        odd = y == math.floor(y) and math.fmod(y, 2.0) != 0.0
        return -math.inf if (x < 0 and odd) else math.inf


def centre(values):
    total = sum(values)
    mean = abs(total) // len(values)
    if total < 0:
        mean = -mean
    return [wrap(v - mean) for v in values]


def convert(numbers, dump):
    """Writes the named weights to the dump list, in file order."""
    position = [0]

    def take():
        value = numbers[position[0]]
        position[0] += 1
        return value

    def scalar(name, value):
        value = bounded(value)
        dump.append(b"\n%s\n%d\n" % (name.encode(), value))
        return value

    def table(name, values):
        values = [bounded(v) for v in values]
        dump.append(b"\n%s\n" % name.encode())
        for k, v in enumerate(values):
            dump.append(b"%3d " % v)
            if k % 8 == 7:
                dump.append(b"\n")
        return values

    for name in [
        "EG_DOUBLED_PAWN_PENALTY",
        "EG_ISOLATED_PAWN_PENALTY",
        "EG_ISOLATED_DOUBLED_PAWN_PENALTY",
        "OP_ISOLATED_PAWN_PENALTY",
        "EG_WEAK_ISOLATED_PAWN_PENALTY",
        "OP_WEAK_ISOLATED_PAWN_PENALTY",
        "EG_UNPROTECTED_PAWN_PENALTY",
        "EG_BACKWARD_PAWN_PENALTY",
        "OP_BACKWARD_PAWN_PENALTY",
        "EG_WEAK_BACKWARD_PAWN_PENALTY",
        "OP_WEAK_BACKWARD_PAWN_PENALTY",
    ]:
        scalar(name, to_int(take()))

    def by_rank(name):
        v = take()
        table(name, [to_int(v * RANK[k]) for k in range(8)])

    by_rank("OP_PASSED_PAWN")
    by_rank("EG_PASSED_PAWN")
    scalar("EG_UNSTOPPABLE_PASSED_PAWN", to_int(take()))
    for name in [
        "EG_PASSED_PAWN_WO_OUR_BLOCKER",
        "EG_PASSED_PAWN_WO_OPP_BLOCKER",
        "EG_PASSED_PAWN_WO_MOB_BLOCKER",
        "OP_PASSED_CHAIN",
        "EG_PASSED_CHAIN",
        "EG_PASSED_PAWN_DEFENDER",
        "EG_PASSED_PAWN_ATTACKER",
        "OP_DEFENDED_PASSED_PAWN",
        "EG_DEFENDED_PASSED_PAWN",
        "OP_CANDIDATE_PASSED_PAWN",
        "EG_CANDIDATE_PASSED_PAWN",
    ]:
        by_rank(name)

    central = table("CENTRAL_SHELTER", [to_int(take()) for _ in range(4)])
    for name in ["INNER_SIDE_SHELTER", "OUTER_SIDE_SHELTER"]:
        v = take()
        table(name, [to_int(central[k] * v) for k in range(4)])
    for name in ["STORM_SHELTER_BONUS_1", "STORM_SHELTER_PENALTY_1", "STORM_SHELTER_PENALTY_2", "STORM_CHAIN"]:
        scalar(name, to_int(take()))
    storm = table("CENTRAL_STORM", [to_int(take()) for _ in range(5)])
    for name in ["INNER_SIDE_STORM", "OUTER_SIDE_STORM"]:
        v = take()
        table(name, [to_int(max(0, v * storm[k])) for k in range(5)])
    for name in ["SECOND_INNER_SIDE_SHELTER", "SECOND_CENTRAL_SHELTER", "SECOND_OUTER_SIDE_SHELTER"]:
        v = take()
        table(name, [to_int(v * central[k]) for k in range(4)])
    for name in [
        "KNIGHT_ATT_WEIGHT_GS",
        "KNIGHT_ATT_WEIGHT_BS",
        "BISHOP_ATT_WEIGHT_GS",
        "BISHOP_ATT_WEIGHT_BS",
        "BISHOP_ATT_WEAK_SQUARES",
        "ROOK_ATT_WEIGHT_GS",
        "ROOK_ATT_WEIGHT_BS",
        "QUEEN_ATT_WEIGHT_GS",
        "QUEEN_ATT_WEIGHT_BS",
    ]:
        scalar(name, to_int(take()))

    a, p, c = take(), take(), take()
    table("PIECE_ATT_WEIGHT", [0 if k <= 1 else to_int(a * c_pow(float(k - 2), p) + c) for k in range(16)])
    # Values below 1 become 1 (NaN too), since the evaluation divides by them.
    for name in ["SAFETY_RATIO", "MAX_SHELTER_VALUE", "MIN_SHELTER_VALUE"]:
        scalar(name, max(1, to_int(take())))
    a, p, c = take(), take(), take()
    table("NON_PAWN_DEFENDER_VALUE", [to_int((a * c_pow(float(k), p) + c) * 30) for k in range(8)])

    for name, size in [
        ("OP_KNIGHT_MOB_1", 9),
        ("EG_KNIGHT_MOB_1", 9),
        ("OP_BISHOP_MOB_1", 14),
        ("EG_BISHOP_MOB_1", 14),
        ("OP_ROOK_MOB_1", 15),
        ("EG_ROOK_MOB_1", 15),
        ("OP_QUEEN_MOB_1", 8),
    ]:
        a, p = take(), take()
        table(name, centre([to_int(a * c_pow(float(k), p)) for k in range(size)]))
    for name in ["OP_QUEEN_MOB_2", "EG_QUEEN_MOB_2"]:
        a, c, p = take(), take(), take()
        table(name, centre([to_int(-(a * c_pow(k - c, p))) for k in range(15)]))

    for name in [
        "OP_ROOK_ON_7TH",
        "EG_ROOK_ON_7TH",
        "OP_QUEEN_ON_7TH",
        "EG_QUEEN_ON_7TH",
        "OP_ROOK_HALF_OPEN_FILE",
        "EG_ROOK_HALF_OPEN_FILE",
        "OP_ROOK_OPEN_FILE",
        "EG_ROOK_OPEN_FILE",
        "OP_ROOK_FILE_ATT_KING_1",
        "OP_ROOK_FILE_ATT_KING_2",
        "OP_PAWNS_BEHIND_ROOK_PENALTY",
        "TRAPPED_PENALTY_1",
        "TRAPPED_PENALTY_2",
        "BLOCKED_PENALTY",
    ]:
        scalar(name, to_int(take()))

    squares = [(i >> 3, i & 7, 7 - (i >> 3)) for i in range(64)]  # (row, file, rank)

    a, b = take(), take()
    table("PawnOpening", [to_int(PAWN_FILE[f] * a + RANK[r] * b) for _, f, r in squares])
    a, b = take(), take()
    table("PawnEndgame", [to_int(PAWN_FILE[f] * a + RANK[r] * b) for _, f, r in squares])

    a, b = take(), take()
    knight = [to_int(KNIGHT[f] * a + KNIGHT[r] * a + KNIGHT_RANK[r] * b) for _, f, r in squares]
    knight[0] = wrap(knight[0] - 100)
    knight[7] = wrap(knight[7] - 100)
    table("KnightOpening", centre(knight))
    a = take()
    table("KnightEndgame", centre([to_int(KNIGHT[f] * a + KNIGHT[r] * a) for _, f, r in squares]))

    a, b, c = take(), take(), take()
    bishop = [to_int(BISHOP[f] * a + BISHOP[r] * a) for _, f, r in squares]
    bishop = [to_int(v - b) if r == 0 else v for v, (_, f, r) in zip(bishop, squares)]
    bishop = [to_int(v + c) if row in (f, 7 - f) else v for v, (row, f, r) in zip(bishop, squares)]
    table("BishopOpening", centre(bishop))
    a = take()
    table("BishopEndgame", centre([to_int(BISHOP[f] * a + BISHOP[r] * a) for _, f, r in squares]))

    a, b = take(), take()
    table("RookOpening", centre([to_int(ROOK_FILE[f] * a - RANK[r] * b) for _, f, r in squares]))
    table("RookEndgame", [0] * 64)

    a, b = take(), take()
    queen = [to_int(QUEEN[f] * a + QUEEN[r] * a) for _, f, r in squares]
    queen = [to_int(v - b) if r == 0 else v for v, (_, f, r) in zip(queen, squares)]
    table("QueenOpening", centre(queen))
    a = take()
    table("QueenEndgame", centre([to_int(QUEEN[f] * a + QUEEN[r] * a) for _, f, r in squares]))

    a, b = take(), take()
    table("KingOpening", centre([to_int(KING_FILE[f] * a + KING_RANK[min(r, 7 - r)] * b) for _, f, r in squares]))
    a, b = take(), take()
    table(
        "KingEndgame",
        centre(
            [
                to_int((KING_ENDGAME[f] + KING_ENDGAME[r]) * a - KING_RANK[min(r, 7 - r)] * b)
                for _, f, r in squares
            ]
        ),
    )
    a, b = take(), take()
    table(
        "KnightOutpostOpening",
        [to_int(OUTPOST_RANK[r] * b + a * OUTPOST_FILE[min(f, 7 - f)]) for _, f, r in squares],
    )

    for name in [
        "ROOK_ON_8TH",
        "QUEEN_ON_8TH",
        "CONNECTED_ROOKS",
        "EG_KING_ZONE_PENALTY",
        "ATTACKED_PIECE_BONUS",
        "ATTACKED_PAWN_BONUS",
    ]:
        scalar(name, to_int(take()))

    dump.append(b"index = %d" % position[0])


def complete(numbers, embedded):
    """Positions a short file leaves out take the shipped file's numbers."""
    if len(numbers) < NUMBERS_NEEDED:
        spare = scan(embedded, [])
        spare += [0.0] * (NUMBERS_NEEDED - len(spare))
        numbers = numbers + spare[len(numbers) : NUMBERS_NEEDED]
    return numbers


def run_case(path, embedded):
    out = []
    try:
        with open(path, "rb") as f:
            data = f.read(FILE_LIMIT)
    except OSError:
        out.append(MISSING)
        convert(complete([], embedded), [])
        return b"".join(out), None
    dump = []
    numbers = complete(scan(data, out), embedded)
    convert(numbers, dump)
    return b"".join(out), b"".join(dump)


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "rb") as f:
        embedded = f.read()
    for path in argv[2:]:
        out, dump = run_case(path, embedded)
        with open(path + ".expected-out", "wb") as f:
            f.write(out)
        if dump is not None:
            with open(path + ".expected-dump", "wb") as f:
                f.write(dump)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
