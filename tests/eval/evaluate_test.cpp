#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/board.h"
#include "engine/parameters.h"
#include "eval/eval.h"
#include "eval/material.h"
#include "eval/weights.h"
#include "tests/eval/eval_test_support.h"

using evaltest::FlippedFen;
using evaltest::Mirror;

namespace {

void EnsureTables() {
  static const bool built = [] {
    InitBoardTables();
    BuildMaterialTable();
    return true;
  }();
  (void)built;
}

// Every weight the driver reads set, large enough to show in any score.
const EvalWeights* DriverWeights() {
  static const EvalWeights weights = [] {
    EvalWeights w{};
    w.ATTACKED_PAWN_BONUS = 3;
    w.ATTACKED_PIECE_BONUS = 17;
    w.TRAPPED_PENALTY_1 = -90;
    w.TRAPPED_PENALTY_2 = -40;
    w.BLOCKED_PENALTY = -33;
    w.EG_KING_ZONE_PENALTY = -11;
    return w;
  }();
  return &weights;
}

// The shipped weights, converted from the embedded copy of Parameters.txt
// without writing the dump file.
EvalWeights* ShippedWeights() {
  static EvalWeights weights{};
  static const bool loaded = [] {
    static NumberList numbers;
    numbers.count = 0;
    ParseNumbers(&numbers, EmbeddedParameters, EmbeddedParametersSize);
    EXPECT_GE(numbers.count, ParameterCount);
    ConvertWeights(&weights, numbers.values);
    return true;
  }();
  (void)loaded;
  return &weights;
}

u64 Bit(const char* square) { return 1ull << ((square[1] - '1') * 8 + (square[0] - 'a')); }

// Loads a FEN with the piece-square sums cleared, so that only material and
// the weights under test make up the score.
Position Load(const char* fen) {
  EnsureTables();
  Position pos;
  EXPECT_TRUE(LoadFen(&pos, fen)) << fen;
  pos.pstOpening = pos.pstEndgame = 0;
  return pos;
}

// A ply record full of garbage, as the search hands it over.
PlyRecord FreshPly(i16 low = -InfiniteScore, i16 high = InfiniteScore) {
  PlyRecord ply;
  std::memset(&ply, 0xA5, sizeof ply);
  ply.lazyLow = low;
  ply.lazyHigh = high;
  return ply;
}

// The score turned to White's view.
i32 WhiteScore(Position* pos, const EvalWeights* weights, PlyRecord* ply) {
  return Sign[pos->side] * Evaluate(pos, ply, weights, evaltest::PawnTableFor(weights));
}

// How much the given weights move White's score against all-zero weights.
i32 Delta(const char* fen, const EvalWeights& weights) {
  Position pos = Load(fen);
  const EvalWeights zero{};
  PlyRecord ply = FreshPly();
  const i32 base = WhiteScore(&pos, &zero, &ply);
  EXPECT_EQ(ply.lazy, 0) << fen;
  return WhiteScore(&pos, &weights, &ply) - base;
}

TEST(EvaluateFirstStage, KnownDrawScoresZeroButFillsCheckAndPins) {
  const EvalWeights zero{};
  // Bishop b5 checks the lone Black king.
  Position pos = Load("4k3/8/8/1B6/8/8/8/4K3 b - - 0 1");
  PlyRecord ply = FreshPly();
  EXPECT_EQ(Evaluate(&pos, &ply, &zero, evaltest::PawnTableFor(&zero)), 0);
  EXPECT_EQ(ply.eval, 0);
  EXPECT_EQ(ply.lazy, 1);
  EXPECT_EQ(ply.checkers, Bit("b5"));
  EXPECT_EQ(ply.checkCount, 1);
  EXPECT_EQ(ply.pinData[0], 0u);
  EXPECT_EQ(ply.pinData[1], 0u);

  // KB v KN: the knight d7 is pinned by the bishop b5.
  pos = Load("4k3/3n4/8/1B6/8/8/8/4K3 b - - 0 1");
  ply = FreshPly();
  EXPECT_EQ(Evaluate(&pos, &ply, &zero, evaltest::PawnTableFor(&zero)), 0);
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
    EXPECT_EQ(WhiteScore(&pos, &zero, &ply), 130 + correction) << fen;
    EXPECT_EQ(ply.lazy, 1);
    // opening -150, endgame -7 - 12 = -19 -> -1938 / 100 = -19:
    // (-600 - 380) / 24 = -40.8, truncated toward zero.
    pos.pstOpening = -250;
    pos.pstEndgame = -107;
    EXPECT_EQ(WhiteScore(&pos, &zero, &ply), -40 + correction) << fen;
  }
}

TEST(EvaluateFirstStage, LazyWindowIsInTheMoversView) {
  const EvalWeights zero{};
  // White is a rook up with all pieces on: quick score +500 in White's view.
  Position pos = Load("1nbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQk - 0 1");
  const i32 correction = MaterialLookup(&pos)->value;
  ASSERT_NE(correction, 0);  // so that leaving it out of the quick score shows

  PlyRecord ply = FreshPly(-100, 100);
  EXPECT_EQ(Evaluate(&pos, &ply, &zero, evaltest::PawnTableFor(&zero)), -500);
  EXPECT_EQ(ply.lazy, 1);
  EXPECT_EQ(ply.eval, -500);

  // -500 inside the mover's window: the full evaluation runs.
  ply = FreshPly(-600, -400);
  EXPECT_EQ(Evaluate(&pos, &ply, &zero, evaltest::PawnTableFor(&zero)), -(500 + correction));
  EXPECT_EQ(ply.lazy, 0);

  // Both bounds are inclusive.
  ply = FreshPly(-500, 0);
  EXPECT_EQ(Evaluate(&pos, &ply, &zero, evaltest::PawnTableFor(&zero)), -500);
  EXPECT_EQ(ply.lazy, 1);
  ply = FreshPly(-1000, -500);
  EXPECT_EQ(Evaluate(&pos, &ply, &zero, evaltest::PawnTableFor(&zero)), -500);
  EXPECT_EQ(ply.lazy, 1);
}

TEST(EvaluateFirstStage, FewPiecesAlwaysRunTheSecondStage) {
  const EvalWeights zero{};
  // KRB v KQ: two pieces a side, no special flag. An empty window would make
  // any quick score exit.
  Position pos = Load("3qk3/8/8/8/8/8/8/2B1K2R w - - 0 1");
  ASSERT_FALSE(MaterialLookup(&pos)->flags & (KnownDraw | SingleRooks | ManyPieces));
  PlyRecord ply = FreshPly(0, 0);
  Evaluate(&pos, &ply, &zero, evaltest::PawnTableFor(&zero));
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
    EXPECT_EQ(WhiteScore(&pos, &zero, &ply), c.material) << c.fen;
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
    EXPECT_GT(WhiteScore(&pos, ShippedWeights(), &ply), 700) << fen;
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
    Evaluate(&pos, &ply, &weights, evaltest::PawnTableFor(&weights));
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
  Evaluate(&pos, &ply, &zero, evaltest::PawnTableFor(&zero));
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
  const struct {
    const char* fen;
    i32 delta;
  } cases[] = {
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
  for (const auto& c : cases) EXPECT_EQ(Delta(c.fen, weights), c.delta) << c.fen;
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

TEST(EvaluateSecondStage, FinalScoreWrapsToSixteenBits) {
  EvalWeights weights{};
  weights.ATTACKED_PIECE_BONUS = 17000;
  // The pawn forks two undefended knights: +34000 to both sums.
  Position pos = Load("4k3/8/8/3n1n2/4P3/8/8/4K3 w - - 0 1");
  const i32 unwrapped = MaterialLookup(&pos)->value + 100 - 660 + 34000;
  ASSERT_GT(unwrapped, 32767);
  PlyRecord ply = FreshPly();
  EXPECT_EQ(Evaluate(&pos, &ply, &weights, evaltest::PawnTableFor(&weights)), unwrapped - 65536);
}

// A fixed pseudo-random sequence, the same on every run.
struct Random {
  u64 state;
  u64 Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
};

// Walks random games from varied starts and hands every position to `visit`.
template <typename Visit>
void ForRandomGamePositions(Visit visit) {
  const char* starts[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "4k3/pp3ppp/8/8/8/8/PPB2PPP/4K3 w - - 0 1",
      "2r3k1/5ppp/8/8/8/8/5PPP/3R2K1 b - - 0 1",
  };
  Random random{0x9E3779B97F4A7C15ull};
  for (int game = 0; game < 24; ++game) {
    Position pos;
    ASSERT_TRUE(LoadFen(&pos, starts[game % 6]));
    for (int plyIndex = 0; plyIndex < 120; ++plyIndex) {
      visit(&pos);
      MoveList list;
      list.count = 0;
      GenerateLegal(&pos, &list);
      if (list.count == 0) break;
      UndoRecord undo;
      MakeMove(&pos, list.move[random.Next() % u64(list.count)], &undo);
    }
  }
}

// Random games and flipped positions scored with the piece-square values of
// the shipped weights, and both the shipped and the driver weights.
class EvaluateProperties : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() {
    EnsureTables();
    BuildPieceSquareValues(ShippedWeights());
  }
  static void TearDownTestSuite() { std::memset(PieceSquareValue, 0, sizeof PieceSquareValue); }
  const EvalWeights* Weights() const { return GetParam() ? ShippedWeights() : DriverWeights(); }
  // The same without the one term that is not colour-symmetric: doubled
  // pawns are marked looking towards rank 8 for both colours, so the extra
  // for an isolated doubled pawn falls on White's rear pawn but on Black's
  // front one, which may stand on an open file and then not earn it.
  const EvalWeights* SymmetricWeights() const {
    static const EvalWeights symmetric = [] {
      EvalWeights w = *ShippedWeights();
      w.EG_ISOLATED_DOUBLED_PAWN_PENALTY = 0;
      return w;
    }();
    return GetParam() ? &symmetric : DriverWeights();
  }
};

TEST_P(EvaluateProperties, PositionIsLeftUnchangedAndRootWindowNeverExitsEarly) {
  const EvalWeights* weights = Weights();
  Random random{12345};
  int positions = 0, fullEvaluations = 0, withSquareValues = 0;
  ForRandomGamePositions([&](Position* pos) {
    withSquareValues += pos->pstOpening != 0;
    Position before;
    std::memcpy(&before, pos, sizeof before);
    const u16 flags = MaterialLookup(pos)->flags;

    PlyRecord ply = FreshPly();
    Evaluate(pos, &ply, weights, evaltest::PawnTableFor(weights));
    ASSERT_EQ(std::memcmp(&before, pos, sizeof before), 0);
    EXPECT_EQ(ply.lazy, (flags & (KnownDraw | SingleRooks)) ? 1 : 0);
    fullEvaluations += ply.lazy == 0;

    const i16 low = i16(int(random.Next() % 2001) - 1000);
    ply = FreshPly(low, i16(low + int(random.Next() % 400)));
    Evaluate(pos, &ply, weights, evaltest::PawnTableFor(weights));
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

// Evaluates a position and its colour flip with the same mover's window and
// compares everything the evaluation reports.
void ExpectFlipSymmetric(Position* pos, const EvalWeights* weights, i16 low, i16 high) {
  const std::string fen = FlippedFen(pos);
  Position flipped;
  ASSERT_TRUE(LoadFen(&flipped, fen.c_str())) << fen;
  PlyRecord a = FreshPly(low, high), b = FreshPly(low, high);
  EXPECT_EQ(Evaluate(pos, &a, weights, evaltest::PawnTableFor(weights)),
            Evaluate(&flipped, &b, weights, evaltest::PawnTableFor(weights)))
      << fen;
  EXPECT_EQ(a.lazy, b.lazy) << fen;
  EXPECT_EQ(a.checkers, Mirror(b.checkers)) << fen;
  EXPECT_EQ(a.pinData[0], Mirror(b.pinData[0])) << fen;
  EXPECT_EQ(a.pinData[1], Mirror(b.pinData[1])) << fen;
  if (!a.lazy) {
    EXPECT_EQ(a.threats[White], Mirror(b.threats[Black])) << fen;
    EXPECT_EQ(a.threats[Black], Mirror(b.threats[White])) << fen;
    EXPECT_EQ(a.threatBalance, -b.threatBalance) << fen;
    EXPECT_EQ(a.pieceThreatBalance, -b.pieceThreatBalance) << fen;
  }
}

TEST_P(EvaluateProperties, ColourFlipGivesTheSameScoreForTheMover) {
  const EvalWeights* weights = SymmetricWeights();
  // Positions that random games seldom reach: pinned pawns of both colours,
  // trapped bishops and blocked rooks on one side only.
  const char* corpus[] = {
      "7k/8/8/8/8/2n1b3/3P4/2K5 w - - 0 1",
      "2k5/3p4/2N1B3/8/8/8/8/7K b - - 0 1",
      "4r2k/8/8/8/8/3b4/4P3/4K3 b - - 0 1",
      "r1b1k2r/ppp2ppp/2n5/3pp3/1b1PP3/2N2N2/PPP2PPP/R1BQKB1R w KQkq - 0 1",
      "4k3/B6B/1p4p1/8/8/8/7P/4K3 w - - 0 1",
      "1B2k3/B1p5/1p6/8/8/8/7P/4K3 b - - 0 1",
      "4k1B1/5p2/B7/1p6/8/8/7P/4K3 w - - 0 1",
      "4k3/7p/8/8/8/6P1/2P4b/1b2K3 b - - 0 1",
      "r2qk3/8/8/8/8/8/7R/3Q1K2 w - - 0 1",
      "rnbq1rk1/ppppppbp/5np1/8/8/5NP1/PPPPPPBP/RNBQ1KR1 b - - 0 1",
      "2kr3r/ppp2ppp/8/8/8/8/PPP2PPP/1K1R3R w - - 0 1",
      "4k3/8/4P3/8/8/4p3/8/4K3 w - - 0 1",
      "8/6k1/8/4p3/4K3/8/8/8 b - - 0 1",
      // Promoted material: K+3R v K, K+3B v K, two queens in a middlegame.
      "4k3/8/8/8/8/8/8/RRR1K3 w - - 0 1",
      "4k3/8/8/8/8/8/8/1BBBK3 b - - 0 1",
      "r1b1k2r/ppp2ppp/2n5/8/8/2N5/PPP2PPP/R1BQKQ1R w KQkq - 0 1",
      "r3k2r/ppp2ppp/2n5/1q6/8/2N5/PPP2PPP/R2QKQ1R b KQkq - 0 1",
  };
  for (const char* fen : corpus) {
    Position pos;
    ASSERT_TRUE(LoadFen(&pos, fen)) << fen;
    ExpectFlipSymmetric(&pos, weights, -InfiniteScore, InfiniteScore);
  }

  Random random{777};
  int compared = 0;
  ForRandomGamePositions([&](Position* pos) {
    const i16 low = i16(int(random.Next() % 1201) - 600);
    ExpectFlipSymmetric(pos, weights, low, i16(low + int(random.Next() % 300)));
    ++compared;
  });
  EXPECT_GT(compared, 1000);
}

INSTANTIATE_TEST_SUITE_P(Weights, EvaluateProperties, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Shipped" : "Driver");
                         });

}  // namespace
