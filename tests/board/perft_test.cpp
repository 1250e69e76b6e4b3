#include <gtest/gtest.h>

#include "tests/board/movegen_test_support.h"

namespace {

class PerftCounts : public BoardTest {
 protected:
  // Leaf count with one generator, checking that the position comes back unchanged.
  u64 Count(int depth, PerftGenerator generator) {
    const u64 key = pos->key;
    const u64 nodes = Perft(pos, depth, generator);
    EXPECT_EQ(pos->key, key);
    return nodes;
  }
};

struct Reference {
  const char* fen;
  u64 counts[6];  // depth 1, 2, ...; 0 ends the list
};

// Well-known positions with published counts.
const Reference References[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", {20, 400, 8902, 197281, 4865609}},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", {48, 2039, 97862, 4085603}},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", {14, 191, 2812, 43238, 674624}},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", {6, 264, 9467, 422333}},
    {"r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1", {6, 264, 9467, 422333}},
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", {44, 1486, 62379, 2103487}},
    {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", {46, 2079, 89890, 3894594}},
};

TEST_F(PerftCounts, WellKnownPositionsWithBothGenerators) {
  for (const Reference& r : References) {
    Load(r.fen);
    for (int d = 1; d <= 6 && r.counts[d - 1]; ++d) {
      EXPECT_EQ(Count(d, PerftLegal), r.counts[d - 1]) << r.fen << " depth " << d;
      EXPECT_EQ(Count(d, PerftStaged), r.counts[d - 1]) << r.fen << " staged, depth " << d;
    }
  }
}

// Every node of these walks is checked: fields against a recomputation, the
// two generators against each other, each move's legality, and unmake.
TEST_F(PerftCounts, CheckingWalkFindsNoFault) {
  const int depths[] = {4, 3, 4, 3, 3, 3, 3};
  int i = 0;
  for (const Reference& r : References) {
    Load(r.fen);
    PerftFailure failure{};
    const int depth = depths[i++];
    EXPECT_EQ(PerftVerify(pos, depth, &failure), r.counts[depth - 1]) << r.fen;
    EXPECT_FALSE(failure.failed) << r.fen << ": " << failure.message << " after " << failure.pathLength
                                 << " moves";
  }
}

TEST_F(PerftCounts, CheckingWalkReportsACorruptedPosition) {
  Load(StartFen);
  pos->key ^= 1;
  PerftFailure failure{};
  PerftVerify(pos, 2, &failure);
  EXPECT_TRUE(failure.failed);
  EXPECT_NE(std::strstr(failure.message, "key"), nullptr) << failure.message;
  EXPECT_EQ(failure.pathLength, 0);
}

// The reference file: counts from another program, at depths that keep this
// test short (tools/perft_suite.sh runs the deep ones).
TEST_F(PerftCounts, ReferenceSuite) {
  const std::vector<EpdEntry> entries = ReadEpd();
  ASSERT_GE(entries.size(), 60u);
  for (const EpdEntry& e : entries) {
    Load(e.fen.c_str());
    int depth = 1;
    while (depth < int(e.counts.size()) && e.counts[depth] <= 150000) ++depth;
    EXPECT_EQ(Count(depth, PerftLegal), e.counts[depth - 1]) << e.fen << " depth " << depth;
    EXPECT_EQ(Count(depth, PerftStaged), e.counts[depth - 1]) << e.fen << " staged, depth " << depth;
    int verifyDepth = 1;
    while (verifyDepth < int(e.counts.size()) && e.counts[verifyDepth] <= 4000) ++verifyDepth;
    PerftFailure failure{};
    EXPECT_EQ(PerftVerify(pos, verifyDepth, &failure), e.counts[verifyDepth - 1]) << e.fen;
    EXPECT_FALSE(failure.failed) << e.fen << ": " << failure.message;
  }
}

}  // namespace
