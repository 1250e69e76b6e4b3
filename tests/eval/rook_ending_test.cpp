#include <gtest/gtest.h>

#include <span>

#include "board/board.h"
#include "eval/context.h"
#include "eval/weights.h"
#include "tests/eval/eval_test_support.h"

// Every expectation below is worked out by hand from the position: the
// per-passer steps, rook mobility (3 per square on the rook's rank and file,
// the first unit met included), then the whole-board scalings and the blend
// (4 * opening + 20 * endgame) / 24. The first-stage sums are passed in
// directly (opening 100, endgame 500 unless said otherwise).
namespace {

struct RookCase {
  const char* fen;
  i32 opening, endgame;  // the first-stage sums
  i32 score;
};

void ExpectScores(const EvalWeights& weights, std::span<const RookCase> cases) {
  for (const RookCase& c : cases) {
    Position pos = FromFen(c.fen);
    EvalContext ctx{};
    ctx.pos = &pos;
    ctx.weights = &weights;
    ctx.pawnEntry = ProbePawnTable(PawnTableFor(&weights), &pos, &weights);
    ctx.opening = c.opening;
    ctx.endgame = c.endgame;
    EXPECT_EQ(RookEndingScore(&ctx), c.score) << c.fen;
  }
}

// Weights with only the kings' distances to a passer on the given rank set.
EvalWeights KingDistances(int rank, i32 attacker, i32 defender) {
  EvalWeights w{};
  w.EG_PASSED_PAWN_ATTACKER[rank] = attacker;
  w.EG_PASSED_PAWN_DEFENDER[rank] = defender;
  return w;
}

TEST(RookEnding, RookPawnLosesAFifthOfItsProfile) {
  // Kings g2/g7 and rooks h1/h8 (14 squares each, mobility cancels); the
  // lone pawn on a-d makes layout 1, scaled by 2 * (1 + 50) / 100.
  const RookCase cases[] = {
      // b6: 1000 -> 1020 -> 20 * 1020 / 24 = 850.
      {"7r/6k1/1P6/8/8/8/6K1/7R w - - 0 1", 0, 1000, 850},
      // a6 (profile 60): 1000 - 12 = 988 -> 1007 -> 839.
      {"7r/6k1/P7/8/8/8/6K1/7R w - - 0 1", 0, 1000, 839},
      // b7 and a7 (profile 100): 850, and 1000 - 20 = 980 -> 999 -> 832.
      {"7r/1P4k1/8/8/8/8/6K1/7R w - - 0 1", 0, 1000, 850},
      {"7r/P5k1/8/8/8/8/6K1/7R w - - 0 1", 0, 1000, 832},
      // Black's a3 mirrors a6: -1000 + 12 = -988 -> -1007 -> -839.
      {"7r/6k1/8/8/8/p7/6K1/7R w - - 0 1", 0, -1000, -839},
  };
  ExpectScores(EvalWeights{}, cases);
}

TEST(RookEnding, PassersOnBothSidesShrinkBeforeTheLayoutScaling) {
  // White a6 (rook pawn, -12), Black h4 (rook pawn on its rank 4: +6);
  // Rh1 sees 6 + 3 squares, Ra8 6 + 2: +3. Endgame 902 - 3 = 899.
  // 70 %: 629; layout 1 with two pawns: 104 * 629 / 100 = 654; 20 * 654 / 24 = 545.
  // (The other order would give 899 -> 934 -> 653 and 544.)
  const RookCase cases[] = {{"r5k1/8/P7/8/7p/8/8/1K5R w - - 0 1", 0, 902, 545}};
  ExpectScores(EvalWeights{}, cases);
}

TEST(RookEnding, WithoutPassersOnlyMobilityAndTheWholeBoardSteps) {
  // Passer weights set, but a5/a6 block each other: no passed pawn.
  EvalWeights w{};
  for (int r = 0; r < 8; ++r) {
    w.EG_PASSED_PAWN_ATTACKER[r] = 50;
    w.EG_PASSED_PAWN_DEFENDER[r] = 50;
    w.OP_PASSED_CHAIN[r] = 50;
  }
  const RookCase cases[] = {
      // Two pawns on a-d, none on e-h: layout 3, no scaling. Rd1 sees 6 + 6
      // squares, Rd7 7 + 7: -6. (4 * 100 + 20 * 494) / 24 = 428.
      {"6k1/3r4/p7/P7/8/8/8/3R2K1 w - - 0 1", 100, 500, 428},
      // Black's king on b7 has the a5 pawn in its zone: -10; Rd7 now sees 6 + 7:
      // -3. (400 + 20 * 487) / 24 = 422.5, truncated.
      {"8/1k1r4/p7/P7/8/8/8/3R2K1 w - - 0 1", 100, 500, 422},
  };
  ExpectScores(w, cases);
}

TEST(RookEnding, RookCuttingOffAndKingNearThePromotionSquare) {
  const RookCase cases[] = {
      // e5 (profile 30), layout 2 (single pawn on e-h, factor 40).
      // Rg1 stands between e5 and the king on h7: +20. King d5 is no closer to
      // e8 than h7 by two. Distances from e6: 3 * 3 (h7) - 2 * 1 (d5) = +7.
      // Rooks 14 squares each. 527 -> 102 * 527 / 100 = 537;
      // (400 + 20 * 537) / 24 = 464.
      {"r7/7k/8/3KP3/8/8/8/6R1 w - - 0 1", 100, 500, 464},
      // Re1 behind the pawn: + 40 % of 30 = 12. King d5: 3 to e8 against 6 for
      // a2: + 40 % of 30 = 12. Distances: 3 * 4 - 2 * 1 = +10. Re1 sees 7 + 4,
      // Rh8 7 + 7: -9. 525 -> 535; (400 + 10700) / 24 = 462.
      {"7r/8/8/3KP3/8/8/k7/4R3 w - - 0 1", 100, 500, 462},
  };
  ExpectScores(KingDistances(4, 3, 2), cases);
}

TEST(RookEnding, SeventhRankPawn) {
  const RookCase cases[] = {
      // a7 with the rook in front on a8, Black's rook behind on a2 (-40), rook
      // pawn (-20), distances from a8: 5 * 6 - 4 * 7 = +2; Ra8 sees 7 + 1 squares,
      // Ra2 7 + 6: -15. The king on g7 guards g8, the only square where the
      // rook's rank meets the king's lines: -50.
      // 500 - 123 = 377 -> 102 * 377 / 100 = 384; (400 + 7680) / 24 = 336.
      {"R7/P5k1/8/8/8/8/r7/6K1 w - - 0 1", 100, 500, 336},
      // King on g6: g8 is no longer next to it, no -50. 427 -> 435; 379.
      {"R7/P7/6k1/8/8/8/r7/6K1 w - - 0 1", 100, 500, 379},
      // The rook beside it on b7 instead: it cuts the g8 king off (+20), holds it
      // on the back rank (+20), supports the pawn on the seventh (+40); Black's
      // rook a1 behind (-40), rook pawn (-20), distances 5 * 6 - 4 * 7 = +2;
      // Rb7 14 squares, Ra1 13: +3. 525 -> 535; 462.
      {"6k1/PR6/8/8/8/8/7K/r7 w - - 0 1", 100, 500, 462},
  };
  ExpectScores(KingDistances(6, 5, 4), cases);
}

TEST(RookEnding, ConnectedPassers) {
  EvalWeights w{};
  w.OP_PASSED_CHAIN[4] = 7;
  w.EG_PASSED_CHAIN[4] = 11;
  const RookCase cases[] = {
      // f5 and g5 side by side, two pawns on e-h: layout 3. Each earns opening
      // 7 and endgame 11 + 30 % of 30 = 20. Rd1 sees 7 + 7, Rd8 5 + 7: +6.
      // opening 114, endgame 546: (456 + 10920) / 24 = 474.
      {"2kr4/8/8/5PP1/8/8/8/K2R4 w - - 0 1", 100, 500, 474},
      // f5 with g4 diagonally behind: only f5 has a partner. opening 107,
      // endgame 526: (428 + 10520) / 24 = 456.
      {"2kr4/8/8/5P2/6P1/8/8/K2R4 w - - 0 1", 100, 500, 456},
  };
  ExpectScores(w, cases);
}

TEST(RookEnding, LonePawnWingWithKingsAndBlockedPawns) {
  // b4 alone on a-d (passed, no term applies), g4 blocked by g5: layout 1,
  // three pawns, one blocked. Rooks 14 squares each. 500 -> 106 * 500 / 100 =
  // 530 -> 106 * 530 / 100 = 561; White's king (g) is further right than
  // Black's (e) with pawns on e-h: +30 = 591; (400 + 11820) / 24 = 509.
  const RookCase cases[] = {{"7r/4k3/8/6p1/1P4P1/8/6K1/R7 w - - 0 1", 100, 500, 509}};
  ExpectScores(EvalWeights{}, cases);
}

}  // namespace
