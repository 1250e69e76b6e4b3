// The evaluation cache: a position taken from it scores and fills the record
// exactly as an evaluation without the cache does, and emptying the table
// for new weights leaves nothing of the old ones. The evaluation that skips
// positions in check fills the record exactly as the full one elsewhere.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/bench_positions.h"
#include "tests/eval/eval_test_support.h"

namespace {

std::unique_ptr<PawnHashTable> TableFor(const EvalWeights* weights, bool cacheOn) {
  auto table = std::make_unique<PawnHashTable>();
  BuildPawnTable(table.get(), weights);
  table->evalCacheOn = cacheOn;
  return table;
}

// Every field of the record the search reads, as text.
std::string RecordText(const PlyRecord& ply, i32 score) {
  char text[256];
  std::snprintf(text, sizeof text, "%d %d %llx %u %llx %llx %llx %llx %d %d %d %d %u", score, ply.eval,
                (unsigned long long)ply.checkers, ply.checkCount, (unsigned long long)ply.pinData[0],
                (unsigned long long)ply.pinData[1], (unsigned long long)ply.threats[0],
                (unsigned long long)ply.threats[1], ply.threatBalance, ply.pieceThreatBalance,
                ply.kingSafety[0], ply.kingSafety[1], ply.lazy);
  return text;
}

// The score and the record of a full evaluation, as text.
std::string Evaluated(Position* pos, const EvalWeights* weights, PawnHashTable* table) {
  PlyRecord ply = FreshPly();
  const i32 score = Evaluate(pos, &ply, weights, table);
  return RecordText(ply, score);
}

std::vector<std::string> Starts() {
  return std::vector<std::string>(std::begin(BenchPositions), std::end(BenchPositions));
}

}  // namespace

TEST_F(ShippedPieceSquares, EvalCacheHitsMatchTheComputedEvaluation) {
  const EvalWeights* weights = ShippedWeights();
  auto cached = TableFor(weights, true);
  auto plain = TableFor(weights, false);
  int hits = 0, positions = 0;
  ForRandomGames(Starts(), 60, 80, 0xC0FFEEull, [&](Position* pos) {
    const std::string expected = Evaluated(pos, weights, plain.get());
    // The first evaluation may store the position, the second then takes it from the cache.
    ASSERT_EQ(Evaluated(pos, weights, cached.get()), expected) << FenOf(pos);
    EvalCacheEntry* slot = &cached->evalCache[EvalCacheIndex(pos->key)];
    const bool stored = EvalCacheHolds(cached.get(), pos->key);
    hits += stored;
    ASSERT_EQ(Evaluated(pos, weights, cached.get()), expected) << FenOf(pos);
    ++positions;
    // The slot is what the next evaluation reads, threat counts and sums
    // alike, and only for its own key.
    if (!stored) return;
    slot->threatBalance = i16(slot->threatBalance + 1);
    ASSERT_NE(Evaluated(pos, weights, cached.get()), expected) << FenOf(pos);
    slot->threatBalance = i16(slot->threatBalance - 1);
    slot->opening = i16(slot->opening + 300);
    slot->endgame = i16(slot->endgame + 300);
    ASSERT_NE(Evaluated(pos, weights, cached.get()), expected) << FenOf(pos);
    slot->keyMiddle ^= 1u << 14;  // key bit 30: same tag and slot, another position
    ASSERT_EQ(Evaluated(pos, weights, cached.get()), expected) << FenOf(pos);
  });
  // Nearly every position runs the second stage with the full window and is stored.
  EXPECT_GT(positions, 3000);
  EXPECT_GT(hits, positions * 9 / 10);
}

TEST_F(ShippedPieceSquares, ClearedEvalCacheKeepsNothingOfEarlierWeights) {
  EvalWeights weights = *ShippedWeights();
  auto cached = TableFor(&weights, true);
  std::vector<Position> seen;
  ForRandomGames(Starts(), 30, 40, 0xBEEFull, [&](Position* pos) {
    Evaluated(pos, &weights, cached.get());
    seen.push_back(*pos);
  });
  for (int m = 0; m < 9; ++m) weights.OP_KNIGHT_MOB_1[m] += 7 * m;
  weights.ATTACKED_PIECE_BONUS += 5;
  ClearPawnTable(cached.get());
  auto plain = TableFor(&weights, false);
  auto shipped = TableFor(ShippedWeights(), false);
  int changed = 0;
  for (Position& pos : seen) {
    const std::string expected = Evaluated(&pos, &weights, plain.get());
    ASSERT_EQ(Evaluated(&pos, &weights, cached.get()), expected) << FenOf(&pos);
    changed += expected != Evaluated(&pos, ShippedWeights(), shipped.get());
  }
  // The new weights do change most scores, so stale entries would have shown.
  EXPECT_GT(changed, int(seen.size()) / 2);
}

TEST_F(ShippedPieceSquares, EvaluationUnlessInCheckDiffersOnlyInCheck) {
  auto table = TableFor(ShippedWeights(), true);
  int inCheck = 0;
  ForRandomGames(Starts(), 60, 80, 0xC4ECull, [&](Position* pos) {
    PlyRecord full = FreshPly(), part = FreshPly();
    const i32 score = Evaluate(pos, &full, ShippedWeights(), table.get());
    EvaluateUnlessInCheck(pos, &part, ShippedWeights(), table.get());
    if (full.checkCount == 0) {
      ASSERT_EQ(RecordText(part, part.eval), RecordText(full, score)) << FenOf(pos);
    } else {
      // Only the check and pin fields count; the record is marked as holding no full score.
      ++inCheck;
      ASSERT_EQ(std::make_tuple(part.checkCount, part.checkers, part.pinData[0], part.pinData[1], part.lazy),
                std::make_tuple(full.checkCount, full.checkers, full.pinData[0], full.pinData[1], u16(1)))
          << FenOf(pos);
    }
  });
  EXPECT_GT(inCheck, 100);
}
