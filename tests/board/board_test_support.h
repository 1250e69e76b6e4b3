// Shared set-up of the board tests: tables built once, and a piece-square table
// filled with arbitrary values so that the incremental sums are exercised.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "board/board.h"

namespace boardtest {

// Square from text such as "e4".
constexpr int Sq(const char* t) { return (t[0] - 'a') + 8 * (t[1] - '1'); }

// Deterministic non-zero values; Black's entries mirror White's, negated, as the
// parameter loader builds them.
inline void FillPieceSquareValues() {
  u32 state = 12345;
  for (int t = Pawn; t <= King; ++t)
    for (int s = 0; s < 64; ++s) {
      state = state * 1103515245u + 12345u;
      const i32 opening = i32(state >> 16) % 97 - 40;
      state = state * 1103515245u + 12345u;
      const i32 endgame = i32(state >> 16) % 89 - 30;
      PieceSquareValue[White][t][s] = {opening, endgame};
    }
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

}  // namespace boardtest
