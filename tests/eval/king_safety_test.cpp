#include <gtest/gtest.h>

#include <cstring>

#include "board/board.h"
#include "eval/context.h"
#include "eval/eval.h"
#include "eval/weights.h"
#include "tests/eval/eval_test_support.h"

namespace {

// Runs the king-safety verdict for one colour on a hand-filled context: the
// pawn entry gives the shelter values, the attack counters are set directly.
struct Verdict {
  Position pos;
  EvalWeights weights{};
  PawnEntry pawns{};
  PlyRecord ply{};
  EvalContext ctx{};

  Verdict(const char* fen, u16 flags) : pos(FromFen(fen)) {
    weights.MAX_SHELTER_VALUE = 64;
    weights.MIN_SHELTER_VALUE = 10;
    weights.SAFETY_RATIO = 2;
    ctx.pos = &pos;
    ctx.weights = &weights;
    ctx.ply = &ply;
    ctx.pawnEntry = &pawns;
    ctx.entry.flags = flags;
    ply.kingSafety[White] = ply.kingSafety[Black] = 1234;  // shows whether it was written
  }
  void Shelter(int colour, i16 wing0, i16 wing1, i16 wing2) {
    pawns.kingShelter[colour][0] = wing0;
    pawns.kingShelter[colour][1] = wing1;
    pawns.kingShelter[colour][2] = wing2;
  }
  void Attack(int attacker, i32 count, i32 good, i32 bad) {
    ctx.attackers[attacker] = count;
    ctx.goodShelterSum[attacker] = good;
    ctx.badShelterSum[attacker] = bad;
  }
  void Run(int colour) { KingSafety(&ctx, colour); }
};

TEST(KingSafety, OnlyAgainstAQueenWithAnotherPiece) {
  // White's king: Black is the attacker, so only BlackQueenPlus matters.
  Verdict v("4k3/8/8/8/8/8/8/4K3 w - - 0 1", WhiteQueenPlus);
  v.Shelter(White, 0, 40, 0);
  v.Attack(Black, 5, 100, 100);
  v.weights.PIECE_ATT_WEIGHT[5] = 50;
  v.Run(White);
  EXPECT_EQ(v.ctx.opening, 0);
  EXPECT_EQ(v.ctx.endgame, 0);
  EXPECT_EQ(v.ply.kingSafety[White], 1234);

  v.ctx.entry.flags = BlackQueenPlus;
  v.Run(White);
  // numerator 100 * 40 + 100 * 24 = 6400, / 64 = 100; danger 50 * 100 /
  // (40 / 16 + 2 = 4) = 1250; safety 40 - 1250.
  EXPECT_EQ(v.ply.kingSafety[White], 40 - 1250);
  EXPECT_EQ(v.ctx.opening, 40 - 1250);
}

TEST(KingSafety, CastlingRightsAverageWithTheBetterWing) {
  const struct {
    const char* fen;
    int colour;
    i16 shelter[3];
    i16 expected;
  } cases[] = {
      // e1 stands on wing 1 (10); short castling reaches 50: (50 + 10) / 2.
      {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", White, {30, 10, 50}, 30},
      {"4k3/8/8/8/8/8/8/R3K2R w K - 0 1", White, {30, 10, 50}, 30},
      {"4k3/8/8/8/8/8/8/R3K2R w Q - 0 1", White, {30, 10, 50}, 20},
      {"4k3/8/8/8/8/8/8/R3K2R w - - 0 1", White, {30, 10, 50}, 10},
      // A worse wing never lowers the value.
      {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", White, {3, 10, 5}, 10},
      // Black's rights: (40 + 1) / 2 = 20.
      {"r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", Black, {7, 1, 40}, 20},
      // White's rights do not count for Black.
      {"r3k2r/8/8/8/8/8/8/R3K2R b KQ - 0 1", Black, {7, 1, 40}, 1},
      // Halves truncate toward zero: (0 - 5) / 2 = -2.
      {"r3k2r/8/8/8/8/8/8/4K3 b q - 0 1", Black, {0, -5, -9}, -2},
  };
  for (const auto& c : cases) {
    Verdict v(c.fen, WhiteQueenPlus | BlackQueenPlus);
    v.Shelter(c.colour, c.shelter[0], c.shelter[1], c.shelter[2]);
    v.Run(c.colour);
    EXPECT_EQ(v.ply.kingSafety[c.colour], c.expected) << c.fen;
    EXPECT_EQ(v.ctx.opening, Sign[c.colour] * c.expected) << c.fen;
  }
}

TEST(KingSafety, ShelterBlendsTheTwoAttackWeights) {
  const struct {
    int colour;  // the king judged
    i16 shelter;
    i32 good, bad;  // the attacker's shelter sums
    i16 safety;
  } cases[] = {
      // Full shelter (64 = MAX_SHELTER_VALUE): only the good-shelter sum counts.
      // 7 * 64 / 64 = 7; danger 12 * 7 / (64 / 16 + 2) = 14; safety 64 - 14.
      {White, 64, 7, 1000, 50},
      // No shelter: only the bad-shelter sum. 9 * 64 / 64 = 9; danger 12 * 9 / 2 = 54.
      {White, 0, 1000, 9, -54},
      // In between: (8 * 16 + 24 * 48) / 64 = 20; danger 12 * 20 / (1 + 2) = 80.
      {White, 16, 8, 24, 16 - 80},
      // Black's king, attacked by White: the verdict enters with Black's sign.
      {Black, 16, 8, 24, -64},
  };
  for (const auto& c : cases) {
    const int attacker = c.colour ^ 1;
    Verdict v("4k3/8/8/8/8/8/8/4K3 w - - 0 1", attacker == White ? WhiteQueenPlus : BlackQueenPlus);
    v.weights.PIECE_ATT_WEIGHT[3] = 12;
    v.Shelter(c.colour, 0, c.shelter, 0);
    v.Attack(attacker, 3, c.good, c.bad);
    v.Attack(c.colour, 9, 9999, 9999);  // the king's own side's attack plays no part
    v.Run(c.colour);
    EXPECT_EQ(v.ply.kingSafety[c.colour], c.safety) << c.colour << " " << c.shelter;
    EXPECT_EQ(v.ctx.opening, Sign[c.colour] * c.safety) << c.colour << " " << c.shelter;
  }
}

TEST(KingSafety, ShelterOutsideItsRangeBlendsAsTheNearestEnd) {
  const char* fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1";
  // Shelter 80 above MAX_SHELTER_VALUE 64 blends as 64: all good-shelter
  // weight, which is 0 here, so no danger; safety is the shelter itself.
  Verdict above(fen, BlackQueenPlus);
  above.weights.SAFETY_RATIO = 1;
  above.weights.PIECE_ATT_WEIGHT[1] = 1;
  above.weights.NON_PAWN_DEFENDER_VALUE[0] = 100;
  above.Shelter(White, 0, 80, 0);
  above.Attack(Black, 1, 0, 5);
  above.Run(White);
  EXPECT_EQ(above.ply.kingSafety[White], 80);
  EXPECT_EQ(above.ctx.opening, 80);
  EXPECT_EQ(above.ctx.endgame, 1);  // no defenders: 100 / 80

  // Shelter -20 blends as 0: all bad-shelter weight, 1 * 64 / 64 = 1;
  // divisor -20 / 16 + 1 = 0, raised to 1; safety -20 - 1.
  Verdict below(fen, BlackQueenPlus);
  below.weights.SAFETY_RATIO = 1;
  below.weights.PIECE_ATT_WEIGHT[1] = 1;
  below.Shelter(White, 0, -20, 0);
  below.Attack(Black, 1, 10, 1);
  below.Run(White);
  EXPECT_EQ(below.ply.kingSafety[White], -21);
  EXPECT_EQ(below.ctx.opening, -21);

  // A danger beyond 16 bits saturates instead of wrapping into a bonus:
  // 10000 * 5000 / 1 against a shelter of 0.
  Verdict crushed(fen, WhiteQueenPlus);
  crushed.weights.SAFETY_RATIO = 1;
  crushed.weights.PIECE_ATT_WEIGHT[3] = 10000;
  crushed.Shelter(Black, 0, 0, 0);
  crushed.Attack(White, 3, 0, 5000);
  crushed.Run(Black);
  EXPECT_EQ(crushed.ply.kingSafety[Black], -32768);
  EXPECT_EQ(crushed.ctx.opening, 32768);
}

TEST(KingSafety, DefendersInTheEndgame) {
  const struct {
    const char* fen;
    int colour;
    i32 endgame;
  } cases[] = {
      // All eight neighbours of e4 are White units: the last entry, 700 / 20.
      {"k7/8/8/3NBR2/3PKP2/3PQP2/8/8 w - - 0 1", White, 35},
      // Seven: the same entry.
      {"k7/8/8/3NBR2/3PKP2/3P1P2/8/8 w - - 0 1", White, 35},
      // Six: 600 / 20.
      {"k7/8/8/3NBR2/3PK3/3P1P2/8/8 w - - 0 1", White, 30},
      // Black's: -700 / 20; enemy units next to the king do not defend it.
      {"8/8/8/3nbr2/3pkp2/3pqp2/8/K7 b - - 0 1", Black, -35},
      {"8/8/8/3nbr2/3pkp2/3NBN2/8/K7 b - - 0 1", Black, -25},
  };
  for (const auto& c : cases) {
    Verdict v(c.fen, WhiteQueenPlus | BlackQueenPlus);
    for (int d = 0; d < 8; ++d) v.weights.NON_PAWN_DEFENDER_VALUE[d] = 100 * d;
    v.Shelter(c.colour, 20, 20, 20);
    v.Run(c.colour);
    EXPECT_EQ(v.ctx.endgame, c.endgame) << c.fen;
  }

  // A thin cover divides by MIN_SHELTER_VALUE instead (5 < 10), and the
  // quotient truncates toward zero: -700 / 30 = -23.
  Verdict thin("8/8/8/3nbr2/3pkp2/3pqp2/8/K7 b - - 0 1", WhiteQueenPlus);
  thin.weights.NON_PAWN_DEFENDER_VALUE[7] = 700;
  thin.weights.MIN_SHELTER_VALUE = 30;
  thin.Shelter(Black, 5, 5, 5);
  thin.Run(Black);
  EXPECT_EQ(thin.ctx.endgame, -23);
}

TEST(KingSafety, AttackerCountBeyondTheTableTakesTheLastEntry) {
  Verdict v("4k3/8/8/8/8/8/8/4K3 w - - 0 1", BlackQueenPlus);
  v.weights.PIECE_ATT_WEIGHT[15] = 3;
  // No shelter: 10 * 64 / 64 = 10; danger 3 * 10 / 2 = 15.
  v.Attack(Black, 16, 0, 10);
  v.Run(White);
  EXPECT_EQ(v.ply.kingSafety[White], -15);
}

// Weights under which a king with three pawns at home on its wing has a
// shelter of 24 and nothing attacks: the verdict is the shelter itself.
EvalWeights CentralShelterOnly() {
  EvalWeights w{};
  w.CENTRAL_SHELTER[0] = 24;
  w.MAX_SHELTER_VALUE = 24;
  w.MIN_SHELTER_VALUE = 1;
  w.SAFETY_RATIO = 1;
  return w;
}

// White's score under the given weights, evaluated with the full window into
// a ply record that starts out as garbage.
i32 Score(Position* pos, const EvalWeights* weights, PlyRecord* ply) {
  *ply = FreshPly();
  return WhiteEval(pos, ply, weights);
}

TEST(KingSafety, EvaluateJudgesTheKingsWhoseOpponentCanAttack) {
  const EvalWeights w = CentralShelterOnly();
  const EvalWeights zero{};
  PlyRecord ply;
  // Queen alone: Black's king is not judged, and no stale value is left.
  Position pos = Load("4k3/3ppp2/8/8/8/8/8/3QK3 w - - 0 1");
  const i32 alone = Score(&pos, &w, &ply);
  EXPECT_EQ(ply.kingSafety[White], 0);
  EXPECT_EQ(ply.kingSafety[Black], 0);
  EXPECT_EQ(alone, Score(&pos, &zero, &ply));

  // Queen and knight: Black's d7 e7 f7 give wing 1 its full shelter of 24,
  // which enters the opening sum with Black's sign. Phase 24 - 1 - 4 = 19:
  // the score moves by trunc(-24 * 5 / 24) = -5 against the same position
  // scored with the king-safety weights at zero.
  pos = Load("4k3/3ppp2/8/8/8/8/8/2NQK3 w - - 0 1");
  const i32 withKnight = Score(&pos, &w, &ply);
  EXPECT_EQ(ply.kingSafety[White], 0);
  EXPECT_EQ(ply.kingSafety[Black], 24);
  EXPECT_EQ(withKnight - Score(&pos, &zero, &ply), -5);
}

}  // namespace
