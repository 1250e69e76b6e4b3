// Colour-flip symmetry of the full evaluation: a position and its twin with
// colours swapped and the board mirrored score the same for the side to move,
// and report mirrored threats and king-safety values, over a few thousand
// positions from capture-biased random games with the shipped weights.
//
// The evaluation is one-sided by design in two places, and only there does
// the test look away:
//   1. Doubled pawns are marked looking towards rank 8 for both colours, so
//      the extra for an isolated doubled pawn falls on White's rear pawn but
//      on Black's front one: positions with an isolated doubled pawn are
//      compared with EG_ISOLATED_DOUBLED_PAWN_PENALTY set to 0.
//   2. Bishops of different colours with equal pawn counts: Black is taken
//      as the defender whichever colour it is: skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "eval/pawns.h"
#include "tests/eval/eval_test_support.h"

using evaltest::FlippedFen;
using evaltest::Mirror;
#include "engine/bench_positions.h"

namespace {

// A pawn table of its own for a set of weights.
std::unique_ptr<PawnHashTable> TableFor(const EvalWeights* weights) {
  auto table = std::make_unique<PawnHashTable>();
  CreatePawnTable(table.get());
  BuildStormTable(table.get(), weights);
  BuildShelterTable(table.get(), weights);
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

struct Rng {
  u64 state;
  u64 Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  int Below(int n) { return int(Next() % u64(n)); }
};

// Starting points: the start position, the perft suite, the bench positions
// and a few endings the random games seldom reach on their own.
std::vector<std::string> StartFens() {
  std::vector<std::string> fens = {StartFen};
  std::ifstream epd(std::string(TARVO_SOURCE_DIR) + "/tests/data/perft.epd");
  EXPECT_TRUE(epd.good());
  for (std::string line; std::getline(epd, line);) {
    if (line.empty() || line[0] == '#') continue;
    fens.push_back(line.substr(0, line.find(';')) + " 0 1");
  }
  for (const char* fen : BenchPositions) fens.push_back(fen);
  for (const char* fen : {
           "8/5k2/2b2p2/p3pP2/P3P3/1P3B2/5K2/8 w - - 0 1",   // opposite bishops
           "8/4bk2/6p1/1p1B3p/1P5P/6P1/5K2/8 b - - 0 1",     // opposite bishops, pawn up
           "8/p4k2/8/1P6/8/6p1/5K2/8 w - - 0 1",             // pawn race
           "8/1p3k2/8/P7/7p/8/6K1/8 b - - 0 1",              // pawn race
           "2r3k1/pp3ppp/8/3P4/8/8/PP3PPP/2R3K1 w - - 0 1",  // rook ending with a passer
           "r1b2rk1/pp3ppp/2n5/3q4/3P4/2PB1N2/P4PPP/R2Q1RK1 w - - 0 1",
       })
    fens.push_back(fen);
  return fens;
}

// Visits the positions of capture-biased random games from every start:
// about two thirds of the moves take something when there is something to take.
template <typename Visit>
void ForCorpus(Visit visit) {
  Rng rng{0x5EED5EEDull};
  const std::vector<std::string> starts = StartFens();
  auto pos = std::make_unique<Position>();
  for (const std::string& fen : starts) {
    for (int game = 0; game < 2; ++game) {
      ASSERT_TRUE(LoadFen(pos.get(), fen.c_str())) << fen;
      for (int ply = 0; ply < 70; ++ply) {
        visit(pos.get());
        MoveList list;
        list.count = 0;
        GenerateLegal(pos.get(), &list);
        if (list.count == 0) break;
        Move tactical[MaxMoves];
        int tacticalCount = 0;
        for (int i = 0; i < list.count; ++i)
          if (IsTactical(list.move[i])) tactical[tacticalCount++] = list.move[i];
        const Move move = tacticalCount && rng.Below(3) < 2 ? tactical[rng.Below(tacticalCount)]
                                                            : list.move[rng.Below(list.count)];
        UndoRecord undo;
        MakeMove(pos.get(), move, &undo);
      }
    }
  }
}

class EvaluationSymmetry : public evaltest::ShippedPieceSquares {};

TEST_F(EvaluationSymmetry, FlippedTwinScoresTheSameForTheMover) {
  const EvalWeights* shipped = evaltest::ShippedWeights();
  static EvalWeights noIsolatedDoubled;
  noIsolatedDoubled = *shipped;
  noIsolatedDoubled.EG_ISOLATED_DOUBLED_PAWN_PENALTY = 0;
  ASSERT_NE(shipped->EG_ISOLATED_DOUBLED_PAWN_PENALTY, 0);  // else exception 1 would hide nothing
  const auto shippedTable = TableFor(shipped);
  const auto symmetricTable = TableFor(&noIsolatedDoubled);

  int compared = 0, fullEvaluations = 0, withKingSafety = 0, isolatedDoubled = 0, bishopEndings = 0,
      pawnEndingsWithPassers = 0, promoted = 0, skipped = 0;
  auto flipped = std::make_unique<Position>();
  ForCorpus([&](Position* pos) {
    if (HasFailure()) return;  // one reported position is enough
    if (OppositeBishopsEqualPawns(pos)) {
      ++skipped;
      return;
    }
    const std::string fen = FlippedFen(pos);
    ASSERT_TRUE(LoadFen(flipped.get(), fen.c_str())) << fen;
    const bool oneSided = HasIsolatedDoubledPawn(pos);
    isolatedDoubled += oneSided;
    const EvalWeights* weights = oneSided ? &noIsolatedDoubled : shipped;
    PawnHashTable* table = oneSided ? symmetricTable.get() : shippedTable.get();

    PlyRecord a = evaltest::FreshPly(), b = evaltest::FreshPly();
    const i32 scoreA = Evaluate(pos, &a, weights, table);
    const i32 scoreB = Evaluate(flipped.get(), &b, weights, table);
    ASSERT_EQ(scoreA, scoreB) << fen;
    ASSERT_EQ(a.lazy, b.lazy) << fen;
    EXPECT_EQ(a.checkers, Mirror(b.checkers)) << fen;
    EXPECT_EQ(a.pinData[0], Mirror(b.pinData[0])) << fen;
    EXPECT_EQ(a.pinData[1], Mirror(b.pinData[1])) << fen;
    EXPECT_EQ(a.kingSafety[White], b.kingSafety[Black]) << fen;
    EXPECT_EQ(a.kingSafety[Black], b.kingSafety[White]) << fen;
    if (!a.lazy) {
      ++fullEvaluations;
      EXPECT_EQ(a.threats[White], Mirror(b.threats[Black])) << fen;
      EXPECT_EQ(a.threats[Black], Mirror(b.threats[White])) << fen;
      EXPECT_EQ(a.threatBalance, -b.threatBalance) << fen;
      EXPECT_EQ(a.pieceThreatBalance, -b.pieceThreatBalance) << fen;
    }
    const u16 flags = MaterialLookup(pos)->flags;
    withKingSafety += (flags & (WhiteQueenPlus | BlackQueenPlus)) != 0;
    bishopEndings += (flags & BishopsOnly) != 0;
    const u64 pieces = pos->pieces[Knight] | pos->pieces[Bishop] | pos->pieces[Rook] | pos->pieces[Queen];
    pawnEndingsWithPassers += !pieces && ProbePawnTable(table, pos, weights)->passed;
    promoted += pos->materialOverflow;
    ++compared;
  });
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

}  // namespace
