// Positions of the bench signature: openings, middlegames with tactics and
// king attacks, and endings of every kind. Changing the list changes the
// signature.
#pragma once

inline constexpr const char* BenchPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnbqkb1r/pp3ppp/4pn2/2pp4/2PP4/2N2N2/PP2PPPP/R1BQKB1R w KQkq - 0 5",
    "r1bq1rk1/ppp1bppp/2np1n2/4p3/2B1P3/2NP1N2/PPP2PPP/R1BQ1RK1 w - - 2 7",
    "r2q1rk1/pp2ppbp/2np1np1/8/3NP1b1/2N1BP2/PPPQ2PP/R3KB1R w KQ - 1 10",
    "2rq1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PNBPN2/PB1Q1PPP/2R2RK1 w - - 4 12",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPPQ2PP/2KR3R w - - 0 14",
    "r3r1k1/pp3pbp/1qp3p1/2B5/2BP2b1/Q1n2N2/P4PPP/3R1K1R b - - 0 17",
    "r1bqr1k1/pp3ppp/2pb4/3p4/3Pn3/2PB1N2/PP1N1PPP/R2Q1RK1 w - - 1 13",
    "2r2rk1/1bqnbppp/pp1ppn2/8/2PNP3/1PN1B3/P3BPPP/2RQ1RK1 w - - 2 14",
    "rnb2rk1/pp2qppp/2p5/3pP3/3P4/2PB4/P1Q2PPP/R1B1K2R w KQ - 1 12",
    "r1b1kb1r/pp1n1ppp/2q5/2p3B1/3p4/5N2/PPP2PPP/R2QKB1R w KQkq - 0 11",
    "3r1rk1/p4ppp/1pq1pn2/2b5/2P5/1P3NP1/P2Q1PBP/3R1RK1 b - - 4 18",
    "6k1/5pp1/p3p2p/3bP3/1p1P4/1Pr2N1P/P4PP1/4R1K1 w - - 0 30",
    "8/8/4k3/3p4/3P4/4K3/8/8 w - - 0 1",
    "8/5pk1/6p1/8/8/6P1/5PK1/8 w - - 0 1",
    "8/8/1p6/1P3k2/8/8/4K3/8 b - - 0 1",
    "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1",
    "8/3k4/8/8/2R5/8/4r3/2K5 w - - 0 1",
    "8/5k2/8/2PR4/8/8/4r3/3K4 w - - 0 1",
    "8/8/3bk3/8/3BK3/2P5/8/8 w - - 0 1",
    "6k1/5p2/4p1p1/8/1N6/8/5PPP/6K1 w - - 0 1",
    "8/8/8/8/5k2/8/2Q5/K7 w - - 0 1",
    "2k5/8/1K6/8/8/8/3R4/8 w - - 0 1",
    "r4k2/8/8/8/8/8/5PPP/3R2K1 w - - 0 1",
};
