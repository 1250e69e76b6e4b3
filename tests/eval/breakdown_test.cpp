// The evaluation's breakdown: its parts must add up to the score the search
// sees, and asking for it must not change that score or anything else the
// evaluation leaves in the ply record.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/bench_positions.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "eval/eval.h"
#include "eval/pawns.h"
#include "search/state.h"
#include "tests/support.h"

namespace {

using Breakdown = SharedEngine;

// Bench positions cover openings to pawn endings; the rest add the endings
// with their own rules and both sides to move.
std::vector<const char*> Positions() {
  std::vector<const char*> fens(std::begin(BenchPositions), std::end(BenchPositions));
  fens.push_back("8/3b1k2/8/2p1p3/2P1P3/4B3/5K2/8 w - - 0 1");  // opposite bishops
  fens.push_back("8/3b1k2/8/2p1p3/2P1P3/4B3/5K2/8 b - - 0 1");
  fens.push_back("8/5k2/8/2PR4/8/8/4r3/3K4 b - - 0 1");  // single rooks
  fens.push_back("4k3/8/8/1B6/8/8/8/4K3 b - - 0 1");     // known draw
  fens.push_back("r1b1k2r/ppppqppp/2n2n2/8/1bB5/2N2N2/PPPQPPPP/R3K2R b KQkq - 0 1");
  fens.push_back("6k1/1P3ppp/8/8/8/8/5PPP/6K1 w - - 0 1");  // a passer racing
  return fens;
}

TEST_F(Breakdown, PartsAddUpToTheScore) {
  int secondStage = 0, scaled = 0;
  for (const char* fen : Positions()) {
    Position pos;
    ASSERT_TRUE(LoadFen(&pos, fen)) << fen;
    PlyRecord plain = FreshPly(), traced = FreshPly();
    const i32 score = Evaluate(&pos, &plain, engine->weights, engine->pawnTable);
    EvalBreakdown b;
    std::memset(&b, 0x5A, sizeof b);  // every field must be written
    EXPECT_EQ(Evaluate(&pos, &traced, engine->weights, engine->pawnTable, &b), score) << fen;
    EXPECT_EQ(b.score, score) << fen;
    EXPECT_EQ(b.whiteScore, Sign[pos.side] * score) << fen;

    // Each phase: the colours' shares of every term and the scaling make the sums.
    for (int phase = 0; phase < 2; ++phase) {
      i32 sum = phase == 0 ? b.scaling[0] : b.scaling[1];
      for (int term = 0; term < EvalTermCount; ++term)
        sum += b.parts[term][White][phase] - b.parts[term][Black][phase];
      EXPECT_EQ(sum, phase == 0 ? b.opening : b.endgame) << fen << " phase " << phase;
    }
    if (b.exit == ExitNone) {
      ++secondStage;
      scaled += b.scaling[0] != 0 || b.scaling[1] != 0;
      EXPECT_EQ(b.blended, ((24 - b.phase) * b.opening + b.phase * b.endgame) / 24) << fen;
      EXPECT_EQ(b.whiteScore, i16(b.materialCorrection + b.blended)) << fen;
      for (int term = 0; term < EvalTermCount; ++term) EXPECT_TRUE(b.computed[term]) << fen << " " << term;
    } else if (b.exit == ExitRookEnding) {
      EXPECT_EQ(b.whiteScore, i16(b.rookEnding + b.materialCorrection)) << fen;
      EXPECT_FALSE(b.computed[TermPieces]) << fen;
    } else {
      EXPECT_EQ(b.exit, ExitKnownDraw) << fen;
      EXPECT_EQ(b.whiteScore, 0) << fen;
    }
  }
  // The list must reach the second stage and the opposite-bishops scaling.
  EXPECT_GE(secondStage, 25);
  EXPECT_GE(scaled, 1);
}

TEST_F(Breakdown, SharesAreEachSidesOwn) {
  Position pos;
  ASSERT_TRUE(LoadFen(&pos, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
  PlyRecord ply = FreshPly();
  EvalBreakdown b;
  Evaluate(&pos, &ply, engine->weights, engine->pawnTable, &b);
  // Eight pawns, two knights, bishops and rooks and a queen a side; the
  // symmetric start splits every term evenly.
  EXPECT_EQ(b.parts[TermMaterial][White][0], 8 * 100 + 2 * 330 + 2 * 330 + 2 * 500 + 975);
  for (int term = 0; term < EvalTermCount; ++term)
    for (int phase = 0; phase < 2; ++phase)
      EXPECT_EQ(b.parts[term][White][phase], b.parts[term][Black][phase]) << term;
  // A bishop up for White shows in White's material share only.
  ASSERT_TRUE(LoadFen(&pos, "rn1qkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
  Evaluate(&pos, &ply, engine->weights, engine->pawnTable, &b);
  EXPECT_EQ(b.parts[TermMaterial][White][0] - b.parts[TermMaterial][Black][0], 330);
}

TEST_F(Breakdown, AnEarlyExitIsNamedAndLeavesTheAttackTermsOut) {
  Position pos;
  ASSERT_TRUE(LoadFen(&pos, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
  // A window the quick score lies above.
  PlyRecord plain = FreshPly(-500, -400), traced = FreshPly(-500, -400);
  const i32 score = Evaluate(&pos, &plain, engine->weights, engine->pawnTable);
  EvalBreakdown b;
  EXPECT_EQ(Evaluate(&pos, &traced, engine->weights, engine->pawnTable, &b), score);
  EXPECT_EQ(plain.lazy, 1);
  EXPECT_EQ(traced.lazy, 1);
  EXPECT_EQ(b.exit, ExitOutsideWindow);
  EXPECT_TRUE(b.computed[TermPawnStructure]);
  EXPECT_FALSE(b.computed[TermKingSafety]);
  EXPECT_EQ(b.whiteScore, b.blended);
}

TEST_F(Breakdown, AskingLeavesThePlyRecordAsWithout) {
  for (const char* fen : Positions()) {
    Position pos;
    ASSERT_TRUE(LoadFen(&pos, fen));
    PlyRecord plain = FreshPly(), traced = FreshPly();
    Evaluate(&pos, &plain, engine->weights, engine->pawnTable);
    EvalBreakdown b;
    Evaluate(&pos, &traced, engine->weights, engine->pawnTable, &b);
    EXPECT_EQ(std::memcmp(&plain, &traced, sizeof plain), 0) << fen;
  }
}

}  // namespace
