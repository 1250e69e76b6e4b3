// Shared by the evaluation tests: a pawn cache that always matches the
// weights a test evaluates with.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "board/board.h"
#include "engine/parameters.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/weights.h"

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

}  // namespace evaltest
