// Endings with bishops on squares of different colours: which side defends,
// and how far its king and bishop pull the score towards a draw.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "tests/eval/eval_test_support.h"

namespace {

constexpr i32 Opening = 1000, Endgame = 600;

// White's score when the two sums stand at Opening and Endgame before any
// scaling (the piece-square sums make up the difference to the material).
i32 ScoreFromSums(const char* fen) {
  const EvalWeights w = NoTerms();
  Position pos = Load(fen);
  pos.pstOpening = Opening - pos.material;
  pos.pstEndgame = Endgame - pos.material;
  PlyRecord ply = FreshPly();
  const i32 score = WhiteEval(&pos, &ply, &w);
  EXPECT_EQ(ply.lazy, 0) << fen;
  return score;
}

// The score after scaling both sums by num/den in turn, as integer steps.
i32 Scaled(const char* fen, std::initializer_list<std::pair<int, int>> steps) {
  Position pos = Load(fen);
  const MaterialEntry* entry = MaterialLookup(&pos);
  i32 opening = Opening, endgame = Endgame;
  for (const auto& [num, den] : steps) {
    opening = num * opening / den;
    endgame = num * endgame / den;
  }
  const int phase = MaterialPhase(entry);
  return entry->value + ((24 - phase) * opening + phase * endgame) / 24;
}

TEST(OppositeBishops, EqualPawnsMakeBlackTheDefender) {
  // Black's king g7 and bishop c7 both stand on dark squares; White's do not
  // match. No White passer: Black's pair holds, the sums are halved as well.
  const char* fen = "8/2b3k1/8/2pp4/2PP4/8/8/5BK1 w - - 0 1";
  EXPECT_EQ(ScoreFromSums(fen), Scaled(fen, {{3, 5}, {1, 2}}));
  // Move Black's king to a light square: only the general scaling remains.
  const char* apart = "8/2b4k/8/2pp4/2PP4/8/8/5BK1 w - - 0 1";
  EXPECT_EQ(ScoreFromSums(apart), Scaled(apart, {{3, 5}}));
}

TEST(OppositeBishops, ThreePawnsMoreEscapeTheGeneralScaling) {
  // Black, three pawns down, defends with king and bishop apart.
  const char* fen = "8/2b4k/8/8/8/P7/1PP5/5BK1 w - - 0 1";
  EXPECT_EQ(ScoreFromSums(fen), Scaled(fen, {}));
  const char* two = "8/2b4k/8/8/8/8/1PP5/5BK1 w - - 0 1";
  EXPECT_EQ(ScoreFromSums(two), Scaled(two, {{3, 5}}));
}

TEST(OppositeBishops, BareDefenderHoldingEveryStopSquareIsADraw) {
  // King b7 and bishop e8 (both light) hold c6; the b4 pawn stands on the
  // king's file and is left out. The material correction goes too.
  for (const char* fen : {"4b3/1k6/8/2P5/8/4B3/8/6K1 w - - 0 1", "4b3/1k6/8/2P5/1P6/4B3/8/6K1 b - - 0 1"}) {
    Position pos = Load(fen);
    ASSERT_NE(MaterialLookup(&pos)->value, 0) << fen;
    EXPECT_EQ(ScoreFromSums(fen), 0) << fen;
  }
  // g6 is out of the king's reach: the general scaling, then halved since
  // the bishop alone holds both squares in front of the passers.
  const char* far = "4b3/1k6/8/2P3P1/8/4B3/8/6K1 w - - 0 1";
  EXPECT_EQ(ScoreFromSums(far), Scaled(far, {{3, 5}, {1, 2}}));
}

TEST(OppositeBishops, DefendedPawnsAndNoPassersScaleToOneTenth) {
  // Black's b6 is guarded by the bishop a7, c5 by b6; White has no passer.
  const char* fen = "8/b5k1/1p6/1Pp5/2P5/8/8/5BK1 w - - 0 1";
  EXPECT_EQ(ScoreFromSums(fen), Scaled(fen, {{3, 5}, {1, 5}, {1, 2}}));
  // Without the guard on b6 the one-fifth step is lost.
  const char* loose = "8/4b1k1/1p6/1Pp5/2P5/8/8/5BK1 w - - 0 1";
  EXPECT_EQ(ScoreFromSums(loose), Scaled(loose, {{3, 5}, {1, 2}}));
}

TEST(OppositeBishops, AttackerPasserHalvedOnlyWhenTheDefenderAloneHoldsItsPath) {
  // White's a5 is passed; a6 is held by Black's bishop c8 and by nothing of
  // White's: halved. With White's king on b5 it is contested: not halved.
  const char* held = "2b3k1/8/8/P7/8/8/1p6/4B1K1 w - - 0 1";
  const char* contested = "2b3k1/8/8/PK6/8/8/1p6/4B3 w - - 0 1";
  EXPECT_EQ(ScoreFromSums(held), Scaled(held, {{3, 5}, {1, 2}}));
  EXPECT_EQ(ScoreFromSums(contested), Scaled(contested, {{3, 5}}));
}

TEST(OppositeBishops, BishopsOfOneColourAreNotScaled) {
  const char* fen = "8/6k1/8/2pp1b2/2PP4/8/8/5BK1 w - - 0 1";
  EXPECT_EQ(ScoreFromSums(fen), Scaled(fen, {}));
}

}  // namespace
