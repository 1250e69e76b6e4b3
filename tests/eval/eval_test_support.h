// Shared by the evaluation tests: a pawn cache that always matches the
// weights a test evaluates with; tables built once, weights with only the
// terms under test set, positions without piece-square sums, and the score
// change a set of weights causes.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "board/board.h"
#include "engine/parameters.h"
#include "eval/eval.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/weights.h"
#include "search/records.h"

namespace evaltest {

// Board and material tables, built once for the whole test binary.
inline void EnsureTables() {
  static const bool built = [] {
    InitBoardTables();
    BuildMaterialTable();
    return true;
  }();
  (void)built;
}

// The shipped weights, converted from the embedded Parameters.txt without
// writing the dump file or touching the piece-square values.
inline const EvalWeights* ShippedWeights() {
  static EvalWeights weights{};
  static const bool loaded = [] {
    static NumberList numbers;
    numbers.count = 0;
    ParseNumbers(&numbers, EmbeddedParameters, EmbeddedParametersSize);
    ConvertWeights(&weights, numbers.values);
    return true;
  }();
  (void)loaded;
  return &weights;
}

// A suite that evaluates real positions with the shipped numbers: their
// piece-square values are built for it and cleared again afterwards, since
// other suites count on the piece-square sums being zero.
class ShippedPieceSquares : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureTables();
    BuildPieceSquareValues(const_cast<EvalWeights*>(ShippedWeights()));
  }
  static void TearDownTestSuite() { std::memset(PieceSquareValue, 0, sizeof PieceSquareValue); }
};

// A position from a FEN that the test knows to be valid.
inline Position FromFen(const char* fen) {
  EnsureTables();
  Position pos;
  const bool loaded = LoadFen(&pos, fen);
  EXPECT_TRUE(loaded) << fen;
  return pos;
}

// The pawn table for a set of weights. Cached entries and the shelter tables
// depend on the weights, so the one table is emptied and rebuilt whenever a
// test passes weights whose values differ from the last ones.
inline PawnHashTable* PawnTableFor(const EvalWeights* weights) {
  static PawnHashTable table;
  static EvalWeights last;
  static bool built = false;
  constexpr size_t from = offsetof(EvalWeights, EG_DOUBLED_PAWN_PENALTY);
  const auto* a = reinterpret_cast<const char*>(weights) + from;
  const auto* b = reinterpret_cast<const char*>(&last) + from;
  if (!built || std::memcmp(a, b, sizeof(EvalWeights) - from) != 0) {
    CreatePawnTable(&table);
    BuildStormTable(&table, weights);
    BuildShelterTable(&table, weights);
    std::memcpy(&last, weights, sizeof last);
    built = true;
  }
  return &table;
}

constexpr int Sq(const char* t) { return (t[0] - 'a') + 8 * (t[1] - '1'); }
constexpr u64 Bit(const char* t) { return 1ull << Sq(t); }

// All weights zero except the three divisors, which are never below 1.
inline EvalWeights NoTerms() {
  EvalWeights w{};
  w.SAFETY_RATIO = 1;
  w.MAX_SHELTER_VALUE = 1;
  w.MIN_SHELTER_VALUE = 1;
  return w;
}

// A FEN with the piece-square sums cleared: the score is material plus the
// weights under test.
inline Position Load(const char* fen) {
  EnsureTables();
  Position pos;
  EXPECT_TRUE(LoadFen(&pos, fen)) << fen;
  pos.pstOpening = pos.pstEndgame = 0;
  return pos;
}

// A ply record full of garbage, with the window that never exits early.
inline PlyRecord FreshPly() {
  PlyRecord ply;
  std::memset(&ply, 0xA5, sizeof ply);
  ply.lazyLow = -InfiniteScore;
  ply.lazyHigh = InfiniteScore;
  return ply;
}

// Evaluation in the mover's view.
inline i32 Eval(Position* pos, PlyRecord* ply, const EvalWeights* weights) {
  return Evaluate(pos, ply, weights, PawnTableFor(weights));
}

// White's score with the given weights.
inline i32 WhiteScore(const char* fen, const EvalWeights& weights) {
  Position pos = Load(fen);
  PlyRecord ply = FreshPly();
  const i32 score = Sign[pos.side] * Eval(&pos, &ply, &weights);
  EXPECT_EQ(ply.lazy, 0) << fen;
  return score;
}

// How much the given weights move White's score against NoTerms().
inline i32 Delta(const char* fen, const EvalWeights& weights) {
  return WhiteScore(fen, weights) - WhiteScore(fen, NoTerms());
}

// Phase of a position's material, 0..24.
inline int PhaseOf(const char* fen) {
  Position pos = Load(fen);
  return MaterialPhase(MaterialLookup(&pos));
}

// What an opening-only or endgame-only amount is worth after the blend. The
// tests pick amounts that blend without a remainder, so that no truncation
// hides or fakes a difference.
inline i32 OpeningShare(const char* fen, i32 amount) {
  const int phase = PhaseOf(fen);
  EXPECT_EQ((24 - phase) * amount % 24, 0) << fen;
  return (24 - phase) * amount / 24;
}
inline i32 EndgameShare(const char* fen, i32 amount) {
  const int phase = PhaseOf(fen);
  EXPECT_EQ(phase * amount % 24, 0) << fen;
  return phase * amount / 24;
}

// The threats the evaluation records for the position.
struct Threats {
  u64 white;
  u64 black;
};
inline Threats ThreatsOf(const char* fen, const EvalWeights& weights) {
  Position pos = Load(fen);
  PlyRecord ply = FreshPly();
  Eval(&pos, &ply, &weights);
  return {ply.threats[White], ply.threats[Black]};
}

// The position with colours swapped and ranks mirrored, as FEN.
inline std::string FlippedFen(const Position* pos) {
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const int from = MakeSquare(file, 7 - rank);
      const int type = pos->board[from];
      if (type == Empty) {
        ++empty;
        continue;
      }
      if (empty) fen += char('0' + empty);
      empty = 0;
      const char letter = " pnbrqk"[type];
      fen += (pos->colours[White] >> from & 1) ? letter : char(letter - 'a' + 'A');
    }
    if (empty) fen += char('0' + empty);
    if (rank) fen += '/';
  }
  fen += pos->side == White ? " b " : " w ";
  std::string rights;
  if (pos->castling & CastleBlackKing) rights += 'K';
  if (pos->castling & CastleBlackQueen) rights += 'Q';
  if (pos->castling & CastleWhiteKing) rights += 'k';
  if (pos->castling & CastleWhiteQueen) rights += 'q';
  fen += rights.empty() ? "-" : rights;
  if (pos->epFile) {
    fen += ' ';
    fen += char('a' + pos->epFile - 1);
    fen += pos->side == White ? '3' : '6';
  } else {
    fen += " -";
  }
  return fen + " 0 1";
}

inline u64 Mirror(u64 b) { return __builtin_bswap64(b); }

}  // namespace evaltest
