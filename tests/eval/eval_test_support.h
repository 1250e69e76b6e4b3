// Shared by the evaluation tests: a pawn cache that always matches the
// weights a test evaluates with; tables built once, weights with only the
// terms under test set, positions without piece-square sums, and the score
// change a set of weights causes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "engine/parameters.h"
#include "eval/eval.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/weights.h"
#include "search/records.h"
#include "tests/support.h"

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
  static const int clamped = ConvertWeights(&weights, ShippedNumbers().data());
  (void)clamped;
  return &weights;
}

// Every weight the driver reads set, large enough to show in any score.
inline const EvalWeights* DriverWeights() {
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
    BuildPawnTable(&table, weights);
    std::memcpy(&last, weights, sizeof last);
    built = true;
  }
  return &table;
}

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

// Evaluation in the mover's view.
inline i32 Eval(Position* pos, PlyRecord* ply, const EvalWeights* weights) {
  return Evaluate(pos, ply, weights, PawnTableFor(weights));
}
// The same in White's view.
inline i32 WhiteEval(Position* pos, PlyRecord* ply, const EvalWeights* weights) {
  return Sign[pos->side] * Eval(pos, ply, weights);
}

// White's score with the given weights.
inline i32 WhiteScore(const char* fen, const EvalWeights& weights) {
  Position pos = Load(fen);
  PlyRecord ply = FreshPly();
  const i32 score = WhiteEval(&pos, &ply, &weights);
  EXPECT_EQ(ply.lazy, 0) << fen;
  return score;
}

// How much the given weights move White's score against NoTerms().
inline i32 Delta(const char* fen, const EvalWeights& weights) {
  return WhiteScore(fen, weights) - WhiteScore(fen, NoTerms());
}

struct DeltaCase {
  const char* fen;
  i32 delta;  // the amount before the blend, where a share is asked for
};

// Each case's Delta() under the weights: the amount itself, or its share
// after the blend (OpeningShare or EndgameShare).
inline void ExpectDeltas(const EvalWeights& weights, std::span<const DeltaCase> cases,
                         i32 (*share)(const char*, i32) = nullptr) {
  for (const DeltaCase& c : cases)
    EXPECT_EQ(Delta(c.fen, weights), share != nullptr ? share(c.fen, c.delta) : c.delta) << c.fen;
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

// The position with colours swapped and ranks mirrored, as FEN: the board's
// FEN with the ranks in reverse order and every letter's case turned.
inline std::string FlippedFen(const Position* pos) {
  auto turned = [](char c) { return char(std::isupper(c) ? std::tolower(c) : std::toupper(c)); };
  std::istringstream fields(FenOf(pos));
  std::string board, side, rights, ep, rank, fen, white, black;
  fields >> board >> side >> rights >> ep;
  for (std::istringstream ranks(board); std::getline(ranks, rank, '/');)
    fen = rank + (fen.empty() ? "" : "/") + fen;
  std::transform(fen.begin(), fen.end(), fen.begin(), turned);
  for (char c : rights)  // Black's rights become White's, which are written first
    if (c != '-') (std::islower(c) ? white : black) += turned(c);
  if (ep != "-") ep[1] = ep[1] == '6' ? '3' : '6';
  const std::string castling = white + black;
  return fen + (side == "w" ? " b " : " w ") + (castling.empty() ? "-" : castling) + " " + ep + " 0 1";
}

// Visits the positions of random games from varied starts: openings, a
// middlegame, endings with rooks, with a bishop and with pawns only.
template <typename Visit>
void ForVariedGames(Visit visit) {
  const std::vector<std::string> starts = {
      StartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "4k3/pp3ppp/8/8/8/8/PPB2PPP/4K3 w - - 0 1",
      "2r3k1/5ppp/8/8/8/8/5PPP/3R2K1 b - - 0 1",
  };
  EnsureTables();
  ForRandomGames(starts, 24, 120, 0x9E3779B97F4A7C15ull, visit);
}

inline u64 Mirror(u64 b) { return __builtin_bswap64(b); }
