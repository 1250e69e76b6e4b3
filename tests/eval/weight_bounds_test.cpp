// Parameter files with absurd numbers: every converted weight stays inside the
// bounds, and the pawn tables, the evaluation and the search built on such
// weights run without a signed overflow. The overflow itself is only seen in
// a build with -fsanitize=undefined -fno-sanitize-recover=undefined, where it
// ends the test run; the ordinary build checks the bounds and the results.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/parameters.h"
#include "eval/pawns.h"
#include "search/search.h"
#include "search/state.h"
#include "tests/eval/eval_test_support.h"

namespace {

// Positions that reach every part of the evaluation: king attacks, passed
// pawns of both colours, rook and bishop endings, promoted material.
const char* const Positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1b2rk1/pp1nqppp/2p1p3/3pP1N1/2PP4/3B4/PP3PPP/R2QR1K1 w - - 0 1",
    "8/1P3k2/8/3p4/8/2K5/6p1/8 b - - 0 1",
    "8/5pk1/6p1/1r6/8/6P1/5PK1/1R6 w - - 0 1",
    "8/4kp2/6p1/2b5/8/3B2P1/5PK1/8 w - - 0 1",
    "r1b1k2r/ppp2ppp/2n5/8/8/2N5/PPP2PPP/R1BQKQ1R w KQkq - 0 1",
    "6k1/5ppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQ - 0 1",
};

class WeightBounds : public SharedEngine {
 protected:
  // The piece-square values are saved before the engine's construction sets them.
  static void SetUpTestSuite() {
    EnsureTables();
    std::memcpy(savedSquareValues, PieceSquareValue, sizeof savedSquareValues);
    SharedEngine::SetUpTestSuite();
  }
  static void TearDownTestSuite() {
    std::memcpy(PieceSquareValue, savedSquareValues, sizeof savedSquareValues);
    SharedEngine::TearDownTestSuite();
  }
  void SetUp() override {
    weights = std::make_unique<EvalWeights>();
    table = std::make_unique<PawnHashTable>();
  }

  // Converts the numbers; true when every weight lies inside the bounds.
  bool Convert(const std::vector<double>& numbers, int* clamped = nullptr) {
    const int count = ConvertWeights(weights.get(), numbers.data());
    if (clamped != nullptr) *clamped = count;
    BuildPieceSquareValues(weights.get());
    return WeightsWithinBounds(weights.get());
  }

  // Builds the pawn tables from the weights and evaluates every position
  // with a full window and with windows that take the lazy exit.
  void EvaluateAll() {
    BuildPawnTable(table.get(), weights.get());
    for (const char* fen : Positions) {
      Position pos;
      ASSERT_TRUE(LoadFen(&pos, fen)) << fen;
      for (const i32 low : {-InfiniteScore, -50, 300}) {
        PlyRecord ply = FreshPly();
        ply.lazyLow = i16(low);
        ply.lazyHigh = i16(low == -InfiniteScore ? InfiniteScore : low + 20);
        Evaluate(&pos, &ply, weights.get(), table.get());
      }
    }
  }

  static ScorePair savedSquareValues[2][8][64];
  std::unique_ptr<EvalWeights> weights;
  std::unique_ptr<PawnHashTable> table;
};
ScorePair WeightBounds::savedSquareValues[2][8][64];

TEST_F(WeightBounds, ShippedNumbersNeedNoClamping) {
  int clamped = -1;
  EXPECT_TRUE(Convert(ShippedNumbers(), &clamped));
  EXPECT_EQ(clamped, 0);
}

TEST_F(WeightBounds, CheckSeesEveryEntryOutsideTheBounds) {
  ASSERT_TRUE(Convert(ShippedNumbers()));
  const EvalWeights shipped = *weights;
  auto outside = [&](auto change) {
    *weights = shipped;
    change(weights.get());
    return !WeightsWithinBounds(weights.get());
  };
  EXPECT_TRUE(outside([](EvalWeights* w) { w->EG_DOUBLED_PAWN_PENALTY = WeightLimit + 1; }));
  EXPECT_TRUE(outside([](EvalWeights* w) { w->OP_PASSED_PAWN[7] = -WeightLimit - 1; }));
  EXPECT_TRUE(outside([](EvalWeights* w) { w->SAFETY_RATIO = 0; }));
  EXPECT_TRUE(outside([](EvalWeights* w) { w->MIN_SHELTER_VALUE = -5; }));
  EXPECT_TRUE(outside([](EvalWeights* w) { w->knightOutpost[Black][63] = INT32_MIN; }));
  EXPECT_TRUE(outside([](EvalWeights* w) { w->ATTACKED_PAWN_BONUS = INT32_MAX; }));
  EXPECT_TRUE(outside([](EvalWeights* w) { w->pieceSquareBase[KingEndgame][63] = WeightLimit + 1; }));
  EXPECT_FALSE(outside([](EvalWeights* w) {
    w->EG_DOUBLED_PAWN_PENALTY = -WeightLimit;
    w->pieceSquareBase[KingEndgame][63] = WeightLimit;
    w->SAFETY_RATIO = 1;
  }));
}

TEST_F(WeightBounds, AbsurdNumbersAreClampedWithTheirSign) {
  std::vector<double> numbers = ShippedNumbers();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  numbers[0] = 1e300;                                      // EG_DOUBLED_PAWN_PENALTY
  numbers[1] = -1e300;                                     // EG_ISOLATED_PAWN_PENALTY
  numbers[2] = nan;                                        // EG_ISOLATED_DOUBLED_PAWN_PENALTY
  numbers[3] = 2147483648.0;                               // OP_ISOLATED_PAWN_PENALTY
  numbers[13] = 12345;                                     // EG_UNSTOPPABLE_PASSED_PAWN
  numbers[11] = 1000;                                      // OP_PASSED_PAWN, scaled by up to 100
  numbers[57] = nan;                                       // SAFETY_RATIO
  numbers[58] = 1e300;                                     // MAX_SHELTER_VALUE
  numbers[59] = -std::numeric_limits<double>::infinity();  // MIN_SHELTER_VALUE
  int clamped = 0;
  EXPECT_TRUE(Convert(numbers, &clamped));
  EXPECT_EQ(weights->EG_DOUBLED_PAWN_PENALTY, WeightLimit);
  EXPECT_EQ(weights->EG_ISOLATED_PAWN_PENALTY, -WeightLimit);
  EXPECT_EQ(weights->EG_ISOLATED_DOUBLED_PAWN_PENALTY, 0);
  EXPECT_EQ(weights->OP_ISOLATED_PAWN_PENALTY, WeightLimit);
  EXPECT_EQ(weights->EG_UNSTOPPABLE_PASSED_PAWN, WeightLimit);
  EXPECT_EQ(std::vector<i32>(weights->OP_PASSED_PAWN, weights->OP_PASSED_PAWN + 8),
            (std::vector<i32>{0, 0, 0, 10000, 10000, 10000, 10000, 10000}));
  EXPECT_EQ(weights->SAFETY_RATIO, 1);
  EXPECT_EQ(weights->MAX_SHELTER_VALUE, WeightLimit);
  EXPECT_EQ(weights->MIN_SHELTER_VALUE, 1);
  // Four scalars, four passed-pawn entries (10 * 1000 sits on the limit) and
  // MAX_SHELTER_VALUE; NaN converts to 0 and the divisors' raise to 1 clamps nothing.
  EXPECT_EQ(clamped, 4 + 4 + 1);
  EvaluateAll();
}

// Each of the 125 numbers in turn replaced by a huge value of either sign, its
// negation, NaN and numbers just past the 32-bit range: the weights stay in
// bounds and the pawn tables and the evaluation run on them.
TEST_F(WeightBounds, EveryNumberReplacedInTurn) {
  const std::vector<double> shipped = ShippedNumbers();
  const double replacements[] = {1e300,
                                 -1e300,
                                 std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(),
                                 2147483648.0,
                                 -2147483649.0,
                                 99999};
  int clampedFiles = 0, files = 0;
  for (int k = 0; k < ParameterCount; ++k) {
    std::vector<double> numbers = shipped;
    for (int r = -1; r < int(std::size(replacements)); ++r) {
      numbers[k] = r < 0 ? -shipped[k] : replacements[r];
      int clamped = 0;
      ASSERT_TRUE(Convert(numbers, &clamped)) << "number " << k + 1 << " = " << numbers[k];
      clampedFiles += clamped > 0;
      ++files;
      EvaluateAll();
      if (HasFatalFailure()) return;
    }
  }
  // Most replacements are far out of range; some land where a maximum or an
  // exponent of 0 hides them.
  EXPECT_GT(clampedFiles, files / 2);
}

// Whole files of one absurd value, and the sign flips that once overflowed
// during the search: a short search still answers with a legal move and a
// score inside the mate range.
TEST_F(WeightBounds, SearchesOnAbsurdWeights) {
  const std::vector<double> shipped = ShippedNumbers();
  std::vector<std::vector<double>> files = {
      std::vector<double>(ParameterCount, 1e300),
      std::vector<double>(ParameterCount, -1e300),
      std::vector<double>(ParameterCount, 2147483647.0),
  };
  std::vector<double> negated = shipped;
  for (double& v : negated) v = -v;
  files.push_back(negated);
  // The mobility exponents (numbers 65, 67, 69, 71, 73, 75, 77) and the
  // queen's closeness exponents (80, 83), each negated alone.
  for (int number : {65, 67, 69, 71, 73, 75, 77, 80, 83}) {
    std::vector<double> flipped = shipped;
    flipped[size_t(number - 1)] = -flipped[size_t(number - 1)];
    files.push_back(flipped);
  }

  for (const std::vector<double>& numbers : files) {
    ConvertWeights(engine->weights, numbers.data());
    BuildPieceSquareValues(engine->weights);
    ASSERT_TRUE(WeightsWithinBounds(engine->weights));
    CreatePawnTable(engine->pawnTable);
    BuildTables(engine);
    for (const char* fen : {Positions[1], Positions[3]}) {
      Position pos;
      ASSERT_TRUE(LoadFen(&pos, fen));
      FreshSearch();
      EvaluateAt(&pos, 1);
      const i32 score = Search(engine, &pos, -InfiniteScore, InfiniteScore, 4.0f, 1, 1);
      EXPECT_LE(std::abs(score), MateValue) << fen;
      EXPECT_NE(FindLegalMove(&pos, MoveToText(engine->plies[1].pv[0]).text), NoMove) << fen;
    }
  }
}

}  // namespace
