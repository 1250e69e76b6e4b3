// Shared by the evaluation tests: a pawn cache that always matches the
// weights a test evaluates with.
#pragma once

#include <cstddef>
#include <cstring>

#include "eval/pawns.h"
#include "eval/weights.h"

namespace evaltest {

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
