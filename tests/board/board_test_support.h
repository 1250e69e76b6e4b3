// Shared set-up of the board tests: tables built once, and a piece-square table
// filled with arbitrary values so that the incremental sums are exercised.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "board/board.h"
#include "tests/support.h"

// Deterministic values; Black's entries mirror White's, negated, as the
// parameter loader builds them.
inline void FillPieceSquareValues() {
  Random random{12345};
  for (int t = Pawn; t <= King; ++t)
    for (int s = 0; s < 64; ++s)  // braced initialisers run left to right
      PieceSquareValue[White][t][s] = {random.Below(97) - 40, random.Below(89) - 30};
  for (int t = Pawn; t <= King; ++t)
    for (int s = 0; s < 64; ++s)
      PieceSquareValue[Black][t][s] = {-PieceSquareValue[White][t][s ^ 56].opening,
                                       -PieceSquareValue[White][t][s ^ 56].endgame};
}

class BoardTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitBoardTables();
    FillPieceSquareValues();
  }
  static void TearDownTestSuite() { std::memset(PieceSquareValue, 0, sizeof PieceSquareValue); }
  void SetUp() override { pos = new Position{}; }
  void TearDown() override { delete pos; }

  // Loads a FEN that the test relies on being accepted.
  void Load(const char* fen) { ASSERT_TRUE(LoadFen(pos, fen)) << fen; }

  Position* pos = nullptr;
};
