// Colour-flip symmetry of the full evaluation: a position and its twin with
// colours swapped and the board mirrored score the same for the side to move,
// and report mirrored checks, pins, threats and king-safety values. The
// positions: a few thousand from capture-biased random games with the shipped
// weights, and hand-picked ones and random games under windows that take the
// lazy exit, with the shipped and the driver weights.
//
// The evaluation is one-sided by design in two places, and only there does
// the test look away:
//   1. Doubled pawns are marked looking towards rank 8 for both colours, so
//      the extra for an isolated doubled pawn falls on White's rear pawn but
//      on Black's front one, which may stand on an open file and then not
//      earn it: positions are compared with EG_ISOLATED_DOUBLED_PAWN_PENALTY
//      set to 0 (the capture-biased games only where such a pawn stands).
//   2. Bishops of different colours with equal pawn counts: Black is taken
//      as the defender whichever colour it is: skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/bench_positions.h"
#include "eval/pawns.h"
#include "tests/eval/eval_test_support.h"

namespace {

// A pawn table of its own for a set of weights.
std::unique_ptr<PawnHashTable> TableFor(const EvalWeights* weights) {
  auto table = std::make_unique<PawnHashTable>();
  BuildPawnTable(table.get(), weights);
  return table;
}

// Whether some colour has two pawns on a file with no own pawn beside it.
bool HasIsolatedDoubledPawn(const Position* pos) {
  for (int c = White; c <= Black; ++c) {
    const u64 pawns = pos->pieces[Pawn] & pos->colours[c];
    for (int f = 0; f < 8; ++f)
      if (PopCount(pawns & FileMask[f]) >= 2 && !(pawns & AdjacentFileMask[f])) return true;
  }
  return false;
}

bool OppositeBishopsEqualPawns(const Position* pos) {
  const u64 bishops = pos->pieces[Bishop];
  const u64 pieces = pos->pieces[Knight] | pos->pieces[Rook] | pos->pieces[Queen];
  const u64 pawns = pos->pieces[Pawn];
  return !pieces && PopCount(bishops & pos->colours[White]) == 1 &&
         PopCount(bishops & pos->colours[Black]) == 1 && (bishops & LightSquares) &&
         (bishops & DarkSquares) &&
         PopCount(pawns & pos->colours[White]) == PopCount(pawns & pos->colours[Black]);
}

// The shipped weights without the term of exception 1.
const EvalWeights* SymmetricWeights() {
  static const EvalWeights symmetric = [] {
    EvalWeights w = *ShippedWeights();
    w.EG_ISOLATED_DOUBLED_PAWN_PENALTY = 0;
    return w;
  }();
  return &symmetric;
}

// Evaluates a position and its colour flip with the same window in the
// mover's view, compares everything the evaluation reports and returns the
// position's record.
PlyRecord ExpectFlipSymmetric(Position* pos, const EvalWeights* weights, PawnHashTable* table,
                              i16 low = -InfiniteScore, i16 high = InfiniteScore) {
  const std::string fen = FlippedFen(pos);
  Position flipped;
  PlyRecord a = FreshPly(low, high), b = FreshPly(low, high);
  if (!LoadFen(&flipped, fen.c_str())) {
    ADD_FAILURE() << "refused " << fen;
    return a;
  }
  EXPECT_EQ(Evaluate(pos, &a, weights, table), Evaluate(&flipped, &b, weights, table)) << fen;
  EXPECT_EQ(a.lazy, b.lazy) << fen;
  EXPECT_EQ(a.checkers, Mirror(b.checkers)) << fen;
  EXPECT_EQ(a.pinData[0], Mirror(b.pinData[0])) << fen;
  EXPECT_EQ(a.pinData[1], Mirror(b.pinData[1])) << fen;
  EXPECT_EQ(a.kingSafety[White], b.kingSafety[Black]) << fen;
  EXPECT_EQ(a.kingSafety[Black], b.kingSafety[White]) << fen;
  if (!a.lazy) {
    EXPECT_EQ(a.threats[White], Mirror(b.threats[Black])) << fen;
    EXPECT_EQ(a.threats[Black], Mirror(b.threats[White])) << fen;
    EXPECT_EQ(a.threatBalance, -b.threatBalance) << fen;
    EXPECT_EQ(a.pieceThreatBalance, -b.pieceThreatBalance) << fen;
  }
  return a;
}

// Starting points, two games from each: the start position, the perft
// suite, the bench positions and a few endings the random games seldom reach
// on their own.
std::vector<std::string> CorpusStarts() {
  std::vector<std::string> fens = {StartFen};
  for (const EpdEntry& e : ReadEpd()) fens.push_back(e.fen);
  fens.insert(fens.end(), std::begin(BenchPositions), std::end(BenchPositions));
  fens.insert(fens.end(), {
                              "8/5k2/2b2p2/p3pP2/P3P3/1P3B2/5K2/8 w - - 0 1",   // opposite bishops
                              "8/4bk2/6p1/1p1B3p/1P5P/6P1/5K2/8 b - - 0 1",     // opposite bishops, pawn up
                              "8/p4k2/8/1P6/8/6p1/5K2/8 w - - 0 1",             // pawn race
                              "8/1p3k2/8/P7/7p/8/6K1/8 b - - 0 1",              // pawn race
                              "2r3k1/pp3ppp/8/3P4/8/8/PP3PPP/2R3K1 w - - 0 1",  // rook ending with a passer
                              "r1b2rk1/pp3ppp/2n5/3q4/3P4/2PB1N2/P4PPP/R2Q1RK1 w - - 0 1",
                          });
  std::vector<std::string> starts;
  for (const std::string& fen : fens) starts.insert(starts.end(), 2, fen);
  return starts;
}

// About two thirds of the moves take something when there is something to take.
Move CaptureBiased(const MoveList& legal, Random* random) {
  Move tactical[MaxMoves];
  int count = 0;
  for (int i = 0; i < legal.count; ++i)
    if (IsTactical(legal.move[i])) tactical[count++] = legal.move[i];
  return count && random->Below(3) < 2 ? tactical[random->Below(count)]
                                       : legal.move[random->Below(legal.count)];
}

class EvaluationSymmetry : public ShippedPieceSquares {};

TEST_F(EvaluationSymmetry, FlippedTwinScoresTheSameForTheMover) {
  const EvalWeights* shipped = ShippedWeights();
  ASSERT_NE(shipped->EG_ISOLATED_DOUBLED_PAWN_PENALTY, 0);  // else exception 1 would hide nothing
  const auto shippedTable = TableFor(shipped);
  const auto symmetricTable = TableFor(SymmetricWeights());

  int compared = 0, fullEvaluations = 0, withKingSafety = 0, isolatedDoubled = 0, bishopEndings = 0,
      pawnEndingsWithPassers = 0, promoted = 0, skipped = 0;
  const std::vector<std::string> starts = CorpusStarts();
  auto visit = [&](Position* pos) {
    if (HasFailure()) return;  // one reported position is enough
    if (OppositeBishopsEqualPawns(pos)) {
      ++skipped;
      return;
    }
    const bool oneSided = HasIsolatedDoubledPawn(pos);
    isolatedDoubled += oneSided;
    const EvalWeights* weights = oneSided ? SymmetricWeights() : shipped;
    PawnHashTable* table = oneSided ? symmetricTable.get() : shippedTable.get();
    fullEvaluations += ExpectFlipSymmetric(pos, weights, table).lazy == 0;
    const u16 flags = MaterialLookup(pos)->flags;
    withKingSafety += (flags & (WhiteQueenPlus | BlackQueenPlus)) != 0;
    bishopEndings += (flags & BishopsOnly) != 0;
    const u64 pieces = pos->pieces[Knight] | pos->pieces[Bishop] | pos->pieces[Rook] | pos->pieces[Queen];
    pawnEndingsWithPassers += !pieces && ProbePawnTable(table, pos, weights)->passed;
    promoted += pos->materialOverflow;
    ++compared;
  };
  ForRandomGames(starts, int(starts.size()), 70, 0x5EED5EEDull, visit, CaptureBiased);
  std::printf(
      "compared %d positions (%d full evaluations, %d with a king under attack, %d bishop endings, "
      "%d pawn endings with passers, %d with an isolated doubled pawn, %d with promoted material "
      "beyond the material index); skipped %d\n",
      compared, fullEvaluations, withKingSafety, bishopEndings, pawnEndingsWithPassers, isolatedDoubled,
      promoted, skipped);
  // The corpus reaches every part of the evaluation.
  EXPECT_GT(compared, 3000);
  EXPECT_GT(fullEvaluations, 2000);
  EXPECT_GT(withKingSafety, 1000);
  EXPECT_GT(bishopEndings, 20);
  EXPECT_GT(pawnEndingsWithPassers, 50);
  EXPECT_GT(isolatedDoubled, 50);
  EXPECT_GT(promoted, 20);
  EXPECT_LT(skipped, compared / 10);
}

// Positions that random games seldom reach, with the full window, then random
// games under windows of all kinds: both weight sets the evaluation's
// property tests use.
TEST_F(EvaluationSymmetry, HandPickedPositionsAndRandomWindows) {
  const char* corpus[] = {
      // Pinned pawns of both colours, trapped bishops and blocked rooks on one side only.
      "7k/8/8/8/8/2n1b3/3P4/2K5 w - - 0 1",
      "2k5/3p4/2N1B3/8/8/8/8/7K b - - 0 1",
      "4r2k/8/8/8/8/3b4/4P3/4K3 b - - 0 1",
      "r1b1k2r/ppp2ppp/2n5/3pp3/1b1PP3/2N2N2/PPP2PPP/R1BQKB1R w KQkq - 0 1",
      "4k3/B6B/1p4p1/8/8/8/7P/4K3 w - - 0 1",
      "1B2k3/B1p5/1p6/8/8/8/7P/4K3 b - - 0 1",
      "4k1B1/5p2/B7/1p6/8/8/7P/4K3 w - - 0 1",
      "4k3/7p/8/8/8/6P1/2P4b/1b2K3 b - - 0 1",
      "r2qk3/8/8/8/8/8/7R/3Q1K2 w - - 0 1",
      "rnbq1rk1/ppppppbp/5np1/8/8/5NP1/PPPPPPBP/RNBQ1KR1 b - - 0 1",
      "2kr3r/ppp2ppp/8/8/8/8/PPP2PPP/1K1R3R w - - 0 1",
      "4k3/8/4P3/8/8/4p3/8/4K3 w - - 0 1",
      "8/6k1/8/4p3/4K3/8/8/8 b - - 0 1",
      // Promoted material: K+3R v K, K+3B v K, two queens in a middlegame.
      "4k3/8/8/8/8/8/8/RRR1K3 w - - 0 1",
      "4k3/8/8/8/8/8/8/1BBBK3 b - - 0 1",
      "r1b1k2r/ppp2ppp/2n5/8/8/2N5/PPP2PPP/R1BQKQ1R w KQkq - 0 1",
      "r3k2r/ppp2ppp/2n5/1q6/8/2N5/PPP2PPP/R2QKQ1R b KQkq - 0 1",
  };
  for (const EvalWeights* weights : {DriverWeights(), SymmetricWeights()}) {
    for (const char* fen : corpus) {
      Position pos;
      ASSERT_TRUE(LoadFen(&pos, fen)) << fen;
      ExpectFlipSymmetric(&pos, weights, PawnTableFor(weights));
    }
    Random random{777};
    int compared = 0;
    ForVariedGames([&](Position* pos) {
      const i16 low = i16(int(random.Next() % 1201) - 600);
      ExpectFlipSymmetric(pos, weights, PawnTableFor(weights), low, i16(low + int(random.Next() % 300)));
      ++compared;
    });
    EXPECT_GT(compared, 1000);
  }
}

}  // namespace
