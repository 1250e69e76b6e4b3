#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/board.h"
#include "engine/parameters.h"
#include "eval/eval.h"
#include "eval/material.h"
#include "eval/weights.h"
#include "tests/eval/eval_test_support.h"

namespace {

TEST(EvaluateFirstStage, KnownDrawScoresZeroButFillsCheckAndPins) {
  const EvalWeights zero{};
  // Bishop b5 checks the lone Black king.
  Position pos = Load("4k3/8/8/1B6/8/8/8/4K3 b - - 0 1");
  PlyRecord ply = FreshPly();
  EXPECT_EQ(Eval(&pos, &ply, &zero), 0);
  EXPECT_EQ(ply.eval, 0);
  EXPECT_EQ(ply.lazy, 1);
  EXPECT_EQ(ply.checkers, Bit("b5"));
  EXPECT_EQ(ply.checkCount, 1);
  EXPECT_EQ(ply.pinData[0], 0u);
  EXPECT_EQ(ply.pinData[1], 0u);

  // KB v KN: the knight d7 is pinned by the bishop b5.
  pos = Load("4k3/3n4/8/1B6/8/8/8/4K3 b - - 0 1");
  ply = FreshPly();
  EXPECT_EQ(Eval(&pos, &ply, &zero), 0);
  EXPECT_EQ(ply.lazy, 1);
  EXPECT_EQ(ply.checkers, 0u);
  EXPECT_EQ(ply.checkCount, 0);
  EXPECT_EQ(ply.pinData[0], 0u);
  EXPECT_EQ(ply.pinData[1], Bit("b5") | Bit("c6") | Bit("d7"));
}

TEST(EvaluateFirstStage, SingleRooksBlendAtLatePhasePlusCorrection) {
  const EvalWeights zero{};
  for (const char* fen : {"4k3/r7/8/8/8/8/4P3/R3K3 w - - 0 1", "4k3/r7/8/8/8/8/4P3/R3K3 b - - 0 1"}) {
    Position pos = Load(fen);
    const i32 correction = MaterialLookup(&pos)->value;
    ASSERT_TRUE(MaterialLookup(&pos)->flags & SingleRooks);
    // With zero weights the rook-ending knowledge still moves the endgame
    // sum: rook mobility 3 * (10 squares for a1 - 14 for a7) = -12, then the
    // single pawn on e-h scales it by 2 * (1 + 50) / 100.
    // opening 100 + 240, endgame 100 - 12 = 88 -> 102 * 88 / 100 = 89:
    // (4 * 340 + 20 * 89) / 24 = 130.8, truncated to 130.
    pos.pstOpening = 240;
    PlyRecord ply = FreshPly();
    EXPECT_EQ(WhiteEval(&pos, &ply, &zero), 130 + correction) << fen;
    EXPECT_EQ(ply.lazy, 1);
    // opening -150, endgame -7 - 12 = -19 -> -1938 / 100 = -19:
    // (-600 - 380) / 24 = -40.8, truncated toward zero.
    pos.pstOpening = -250;
    pos.pstEndgame = -107;
    EXPECT_EQ(WhiteEval(&pos, &ply, &zero), -40 + correction) << fen;
  }
}

TEST(EvaluateFirstStage, LazyWindowIsInTheMoversView) {
  const EvalWeights zero{};
  // White is a rook up with all pieces on: quick score +500 in White's view.
  Position pos = Load("1nbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQk - 0 1");
  const i32 correction = MaterialLookup(&pos)->value;
  ASSERT_NE(correction, 0);  // so that leaving it out of the quick score shows

  PlyRecord ply = FreshPly(-100, 100);
  EXPECT_EQ(Eval(&pos, &ply, &zero), -500);
  EXPECT_EQ(ply.lazy, 1);
  EXPECT_EQ(ply.eval, -500);

  // -500 inside the mover's window: the full evaluation runs.
  ply = FreshPly(-600, -400);
  EXPECT_EQ(Eval(&pos, &ply, &zero), -(500 + correction));
  EXPECT_EQ(ply.lazy, 0);

  // Both bounds are inclusive.
  ply = FreshPly(-500, 0);
  EXPECT_EQ(Eval(&pos, &ply, &zero), -500);
  EXPECT_EQ(ply.lazy, 1);
  ply = FreshPly(-1000, -500);
  EXPECT_EQ(Eval(&pos, &ply, &zero), -500);
  EXPECT_EQ(ply.lazy, 1);
}

TEST(EvaluateFirstStage, FewPiecesAlwaysRunTheSecondStage) {
  const EvalWeights zero{};
  // KRB v KQ: two pieces a side, no special flag. An empty window would make
  // any quick score exit.
  Position pos = Load("3qk3/8/8/8/8/8/8/2B1K2R w - - 0 1");
  ASSERT_FALSE(MaterialLookup(&pos)->flags & (KnownDraw | SingleRooks | ManyPieces));
  PlyRecord ply = FreshPly(0, 0);
  Eval(&pos, &ply, &zero);
  EXPECT_EQ(ply.lazy, 0);
  EXPECT_EQ(ply.threats[White], 0u);  // the garbage was cleared
  EXPECT_EQ(ply.threats[Black], 0u);
  EXPECT_EQ(ply.threatBalance, 0);
}

// More pieces of a kind than the material index's digits hold (promoted
// material) get no table entry: plain material, no known draw, and the
// ordinary terms with a phase from the real counts.
TEST(EvaluateFirstStage, PromotedMaterialScoresAsPlainMaterial) {
  const EvalWeights zero{};
  const struct {
    const char* fen;
    i32 material;
    int phase;
  } cases[] = {
      {"4k3/8/8/8/8/8/8/RRR1K3 w - - 0 1", 1500, 18},  // once read as K v KB, a known draw
      {"4k3/8/8/8/8/8/8/1BBBK3 b - - 0 1", 990, 21},   // once read as K v KN
      {"4k3/8/8/8/8/8/8/NNN1K3 w - - 0 1", 990, 21},
      {"rrr1k3/8/8/8/8/8/8/4K3 b - - 0 1", -1500, 18},
      {"r1b1k2r/ppp2ppp/2n5/8/8/2N5/PPP2PPP/R1BQKQ1R w KQkq - 0 1", 1950, 4},
      {"2q1k3/8/8/8/8/8/8/QQQQKQQQ w - - 0 1", 5850, 0},  // the phase stops at 0
  };
  for (const auto& c : cases) {
    Position pos = Load(c.fen);
    const MaterialEntry* entry = MaterialLookup(&pos);
    EXPECT_EQ(entry->value, 0) << c.fen;
    EXPECT_EQ(MaterialPhase(entry), c.phase) << c.fen;
    EXPECT_FALSE(entry->flags & (KnownDraw | SingleRooks | BishopsOnly)) << c.fen;
    PlyRecord ply = FreshPly();
    EXPECT_EQ(WhiteEval(&pos, &ply, &zero), c.material) << c.fen;
    EXPECT_EQ(ply.lazy, 0) << c.fen;
  }

  // With the shipped weights the side with the extra pieces is clearly ahead.
  const char* winning[] = {
      "4k3/8/8/8/8/8/8/RRR1K3 w - - 0 1", "4k3/8/8/8/8/8/8/1BBBK3 w - - 0 1",
      "r1b1k2r/ppp2ppp/2n5/8/8/2N5/PPP2PPP/R1BQKQ1R w KQkq - 0 1",
      "r3k2r/ppp2ppp/2n5/1q6/8/2N5/PPP2PPP/R2QKQ1R w KQkq - 0 1",  // two queens against one
  };
  for (const char* fen : winning) {
    Position pos = Load(fen);
    PlyRecord ply = FreshPly();
    EXPECT_GT(WhiteEval(&pos, &ply, ShippedWeights()), 700) << fen;
  }
}

struct ThreatCase {
  const char* fen;
  u64 threatsWhite;
  u64 threatsBlack;
  int balance;
  int pieceBalance;
};

TEST(EvaluateSecondStage, ThreatsFromPawnsAndKings) {
  const u64 d5 = Bit("d5"), f5 = Bit("f5"), e4 = Bit("e4"), e3 = Bit("e3"), c3 = Bit("c3"), d3 = Bit("d3"),
            e5 = Bit("e5");
  const ThreatCase cases[] = {
      // A pawn attacking a knight threatens it, defended or not.
      {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", d5, 0, 1, 1},
      {"4k3/8/2p5/3n4/4P3/8/8/4K3 w - - 0 1", d5, 0, 1, 1},
      {"4k3/8/8/3n1n2/4P3/8/8/4K3 b - - 0 1", d5 | f5, 0, 2, 2},
      // Pawn against pawn: only the pawn of the side not to move is a target.
      {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", d5, 0, 1, 0},
      {"4k3/8/8/3p4/4P3/8/8/4K3 b - - 0 1", 0, e4, -1, 0},
      {"4k3/8/8/3p4/4P3/5P2/8/4K3 b - - 0 1", 0, 0, 0, 0},
      // Pawn d2 pinned on the c1-e3 diagonal takes only the pinner into account,
      // whichever side is to move; unpinned it attacks both, and the bishop
      // hits the pawn, which nothing defends once the king has left c1.
      {"7k/8/8/8/8/2n1b3/3P4/2K5 w - - 0 1", e3, 0, 1, 1},
      {"7k/8/8/8/8/2n1b3/3P4/2K5 b - - 0 1", e3, 0, 1, 1},
      {"7k/8/8/8/8/2n1b3/3P4/K7 w - - 0 1", c3 | e3, Bit("d2"), 1, 2},
      // A pawn pinned along its file attacks nothing.
      {"4r2k/8/8/8/8/3b4/4P3/4K3 w - - 0 1", 0, 0, 0, 0},
      {"r6k/8/8/8/8/3b4/4P3/4K3 w - - 0 1", d3, 0, 1, 1},
      // A king threatens the units next to it that its opponent's king does not
      // guard, pawns of the side to move included.
      {"8/p7/4k3/4n3/4K3/8/8/8 w - - 0 1", 0, 0, 0, 0},
      {"8/p5k1/8/4n3/4K3/8/8/8 w - - 0 1", e5, 0, 1, 1},
      {"8/6k1/8/4p3/4K3/8/8/8 b - - 0 1", e5, 0, 1, 0},
  };
  EvalWeights weights{};
  weights.ATTACKED_PAWN_BONUS = 1;
  weights.ATTACKED_PIECE_BONUS = 10;
  for (const ThreatCase& c : cases) {
    Position pos = Load(c.fen);
    PlyRecord ply = FreshPly();
    Eval(&pos, &ply, &weights);
    EXPECT_EQ(ply.lazy, 0) << c.fen;
    EXPECT_EQ(ply.threats[White], c.threatsWhite) << c.fen;
    EXPECT_EQ(ply.threats[Black], c.threatsBlack) << c.fen;
    EXPECT_EQ(ply.threatBalance, c.balance) << c.fen;
    EXPECT_EQ(ply.pieceThreatBalance, c.pieceBalance) << c.fen;
    EXPECT_EQ(Delta(c.fen, weights), c.balance * 1 + c.pieceBalance * 10) << c.fen;
  }
}

TEST(EvaluateSecondStage, PinDataStaysTheMoversWhenBothSidesArePinned) {
  const EvalWeights zero{};
  // Black to move: White's pawn d2 is pinned (used for the threats), Black has no pin.
  Position pos = Load("7k/8/8/8/8/2n1b3/3P4/2K5 b - - 0 1");
  PlyRecord ply = FreshPly();
  Eval(&pos, &ply, &zero);
  EXPECT_EQ(ply.pinData[0], 0u);
  EXPECT_EQ(ply.pinData[1], 0u);
  EXPECT_EQ(ply.threats[White], Bit("e3"));
}

TEST(EvaluateSecondStage, UndefendedPawnNearTheEnemyKing) {
  EvalWeights weights{};
  weights.EG_KING_ZONE_PENALTY = -24;
  // Kings and pawns only: phase 24, so the endgame term counts in full.
  EXPECT_EQ(Delta("4k3/8/4P3/8/8/8/8/4K3 w - - 0 1", weights), -24);
  EXPECT_EQ(Delta("4k3/8/4P3/3P4/8/8/8/4K3 w - - 0 1", weights), 0);  // defended by d5
  EXPECT_EQ(Delta("4k3/8/2P5/8/8/8/8/4K3 w - - 0 1", weights), 0);    // c6 is outside the zone
  EXPECT_EQ(Delta("4k3/8/8/8/8/4p3/8/4K3 b - - 0 1", weights), 24);
  EXPECT_EQ(Delta("4k3/8/8/8/8/8/2p5/4K3 b - - 0 1", weights), 24);  // c2 is inside White's zone
}

TEST(EvaluateSecondStage, TrappedBishopsCountOncePerCorner) {
  EvalWeights weights{};
  weights.TRAPPED_PENALTY_1 = 100;
  weights.TRAPPED_PENALTY_2 = 7;
  const DeltaCase cases[] = {
      {"4k3/B7/1p6/8/8/8/7P/4K3 w - - 0 1", 100},
      {"1B2k3/B1p5/1p6/8/8/8/7P/4K3 w - - 0 1", 100},  // a7 and b8 share a corner
      {"4k3/B6B/1p4p1/8/8/8/7P/4K3 w - - 0 1", 200},
      {"4k1B1/5p2/8/8/8/8/7P/4K3 w - - 0 1", 100},
      {"4k3/B7/1P6/8/8/8/7p/4K3 w - - 0 1", 0},  // own pawn on b6
      {"4k3/7p/8/8/8/1P6/b7/4K3 w - - 0 1", -100},
      {"4k3/7p/8/8/8/6P1/2P4b/1b2K3 b - - 0 1", -200},
      {"4k3/8/B6B/1p4p1/8/8/7P/4K3 w - - 0 1", 7},  // a6 and h6 together count once
      {"4k3/7p/8/8/1P6/b7/8/4K3 w - - 0 1", -7},
      {"4k3/7p/8/6P1/8/7b/8/4K3 w - - 0 1", 0},  // g5 is not g4
  };
  ExpectDeltas(weights, cases);
}

TEST(EvaluateSecondStage, RooksBlockedByTheirKing) {
  EvalWeights weights{};
  weights.BLOCKED_PENALTY = 24;
  // Opening only: with equal sums the score moves by exactly 24 - phase.
  const struct {
    const char* fen;
    int sign;
  } cases[] = {
      {"r2qk3/8/8/8/8/8/8/3Q2KR w - - 0 1", 1},  {"r2qk3/8/8/8/8/8/7R/3Q1K2 w - - 0 1", 1},
      {"r2qk3/8/8/8/8/8/R7/2KQ4 b - - 0 1", 1},  {"r2qk3/8/8/8/8/8/R7/RK6 w - - 0 1", 1},
      {"r2qk3/8/8/8/8/8/8/1K1Q3R w - - 0 1", 0}, {"r2qk3/8/8/8/8/8/8/3Q1RK1 w - - 0 1", 0},
      {"3q2kr/8/8/8/8/8/8/R2QK3 w - - 0 1", -1}, {"1k1q4/r7/8/8/8/8/8/R2QK3 b - - 0 1", -1},
      {"3q1rk1/8/8/8/8/8/8/R2QK3 w - - 0 1", 0},
  };
  for (const auto& c : cases) {
    Position pos = Load(c.fen);
    const int phase = MaterialPhase(MaterialLookup(&pos));
    EXPECT_EQ(Delta(c.fen, weights), c.sign * (24 - phase)) << c.fen;
  }
}

TEST(EvaluateSecondStage, ExtremeWeightsSaturateShortOfMateScores) {
  EvalWeights weights{};
  weights.ATTACKED_PIECE_BONUS = 17000;
  // The pawn forks two undefended knights: +34000 to both sums, a score
  // past 16 bits that must neither wrap round nor pass for a mate.
  Position pos = Load("4k3/8/8/3n1n2/4P3/8/8/4K3 w - - 0 1");
  ASSERT_GT(MaterialLookup(&pos)->value + 100 - 660 + 34000, 32767);
  PlyRecord ply = FreshPly();
  EXPECT_EQ(Eval(&pos, &ply, &weights), EvalLimit);
  Position flipped = Load("4k3/8/8/4p3/3N1N2/8/8/4K3 b - - 0 1");
  ply = FreshPly();
  EXPECT_EQ(Eval(&flipped, &ply, &weights), EvalLimit);
}

// Random games scored with the piece-square values of the shipped weights,
// under both the shipped and the driver weights.
class EvaluateProperties : public ShippedPieceSquares, public ::testing::WithParamInterface<bool> {
 protected:
  const EvalWeights* Weights() const { return GetParam() ? ShippedWeights() : DriverWeights(); }
};

TEST_P(EvaluateProperties, PositionIsLeftUnchangedAndRootWindowNeverExitsEarly) {
  const EvalWeights* weights = Weights();
  Random random{12345};
  int positions = 0, fullEvaluations = 0, withSquareValues = 0;
  ForVariedGames([&](Position* pos) {
    withSquareValues += pos->pstOpening != 0;
    Position before;
    std::memcpy(&before, pos, sizeof before);
    const u16 flags = MaterialLookup(pos)->flags;

    PlyRecord ply = FreshPly();
    Eval(pos, &ply, weights);
    ASSERT_EQ(std::memcmp(&before, pos, sizeof before), 0);
    EXPECT_EQ(ply.lazy, (flags & (KnownDraw | SingleRooks)) ? 1 : 0);
    fullEvaluations += ply.lazy == 0;

    const i16 low = i16(int(random.Next() % 2001) - 1000);
    ply = FreshPly(low, i16(low + int(random.Next() % 400)));
    Eval(pos, &ply, weights);
    ASSERT_EQ(std::memcmp(&before, pos, sizeof before), 0);
    if (!(flags & (KnownDraw | SingleRooks | ManyPieces))) {
      EXPECT_EQ(ply.lazy, 0);
    }
    ++positions;
  });
  EXPECT_GT(positions, 1000);
  EXPECT_GT(fullEvaluations, 1000);
  EXPECT_GT(withSquareValues, positions / 2);  // the shipped piece-square values are in play
}

INSTANTIATE_TEST_SUITE_P(Weights, EvaluateProperties, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Shipped" : "Driver");
                         });

}  // namespace
