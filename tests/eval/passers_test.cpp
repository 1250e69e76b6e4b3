// Passed pawns as the pieces see them, each term measured alone: blockers,
// control of the path, king distances, chains, the square rule and the race.
#include <gtest/gtest.h>

#include <iterator>

#include "tests/eval/eval_test_support.h"

namespace {

EvalWeights RaceWeights() {
  EvalWeights w = NoTerms();
  w.EG_UNSTOPPABLE_PASSED_PAWN = 240;
  return w;
}

TEST(PassedPawns, RaceOnlyAgainstABareKing) {
  const DeltaCase cases[] = {
      // a6 cannot be caught from h8.
      {"7k/8/P7/8/8/8/8/K7 w - - 0 1", 240},
      // A Black knight may stop it: no race value at all.
      {"7k/7n/P7/8/8/8/8/K7 w - - 0 1", 0},
      // White's own pieces do not matter.
      {"7k/8/P7/8/8/8/8/KR6 w - - 0 1", 240},
      // Inside the square.
      {"8/2k5/P7/8/8/8/8/K7 w - - 0 1", 0},
      // Outside the square, but the own king guards the whole path.
      {"3k4/1K6/P7/8/8/8/8/8 b - - 0 1", 240},
      {"k7/8/8/8/8/7p/8/7K b - - 0 1", 0},
      {"K7/8/8/8/8/7p/8/7k b - - 0 1", -240},
  };
  ExpectDeltas(RaceWeights(), cases, EndgameShare);
}

TEST(PassedPawns, SideToMoveWinsTheRaceWithOneRankLess) {
  const DeltaCase cases[] = {
      // a6 against h4: one rank ahead wins with the move, not without.
      {"2K4k/8/P7/8/7p/8/8/8 w - - 0 1", 240},
      {"2K4k/8/P7/8/7p/8/8/8 b - - 0 1", 0},
      // a7 against h4: two ranks ahead win either way.
      {"2K4k/P7/8/8/7p/8/8/8 b - - 0 1", 240},
      {"2K4k/P7/8/8/7p/8/8/8 w - - 0 1", 240},
      // The same for Black.
      {"2K4k/8/8/P7/8/7p/8/8 b - - 0 1", -240},
      {"2K4k/8/8/P7/8/7p/8/8 w - - 0 1", 0},
  };
  ExpectDeltas(RaceWeights(), cases, EndgameShare);
}

TEST(PassedPawns, DoubleStepAndKingInFrontShiftTheRace) {
  const DeltaCase cases[] = {
      // a2 races like a3 (the double step); counted from a2, h5 would win.
      {"2K4k/8/8/7p/8/8/P7/8 w - - 0 1", 0},
      {"2K4k/8/8/7p/8/P7/8/8 w - - 0 1", 0},
      {"2K4k/8/8/8/7p/8/P7/8 w - - 0 1", -240},
      // The own king on a8 in the pawn's path costs the a6 pawn its win.
      {"K6k/8/P7/8/7p/8/8/8 w - - 0 1", 0},
  };
  ExpectDeltas(RaceWeights(), cases, EndgameShare);
}

TEST(PassedPawns, BlockersControlAndKingDistances) {
  EvalWeights w = NoTerms();
  for (int r = 0; r < 8; ++r) {
    w.EG_PASSED_PAWN_WO_OUR_BLOCKER[r] = 24;
    w.EG_PASSED_PAWN_WO_OPP_BLOCKER[r] = 72;
    w.EG_PASSED_PAWN_WO_MOB_BLOCKER[r] = 168;
    w.EG_PASSED_PAWN_ATTACKER[r] = 24;
    w.EG_PASSED_PAWN_DEFENDER[r] = 48;
  }
  // e5 against a knight; the stop square e6 is five king moves from both
  // kings (a1, h1): 24 * 5 - 48 * 5 = -120 from the distances.
  const DeltaCase cases[] = {
      {"7n/8/8/4P3/8/1N6/8/K6k w - - 0 1", 24 + 72 + 168 - 120},
      // An own knight on e6 removes only the own-blocker term.
      {"7n/8/4N3/4P3/8/8/8/K6k w - - 0 1", 72 + 168 - 120},
      // The enemy knight on e6 removes only the enemy-blocker term.
      {"8/8/4n3/4P3/8/1N6/8/K6k w - - 0 1", 24 + 168 - 120},
      // g8 covers e7 and nothing of White's does.
      {"6n1/8/8/4P3/8/1N6/8/K6k w - - 0 1", 24 + 72 - 120},
      // c6 covers e7 as well: the path is not lost.
      {"6n1/8/2N5/4P3/8/8/8/K6k w - - 0 1", 24 + 72 + 168 - 120},
      // Kings count from the stop square e6: f7 is one move away, e4 two.
      {"7n/5k2/8/4P3/4K3/1N6/8/8 w - - 0 1", 24 + 72 + 168 + 24 * 1 - 48 * 2},
      // Black's d4 against a White knight, stop d3: a1 is three moves, h1 four.
      {"8/8/8/8/3p4/8/6N1/K6k w - - 0 1", -(24 + 72 + 168 + 24 * 3 - 48 * 4)},
  };
  ExpectDeltas(w, cases, EndgameShare);
}

TEST(PassedPawns, ChainsOfPassers) {
  EvalWeights w = NoTerms();
  for (int r = 0; r < 8; ++r) w.OP_PASSED_CHAIN[r] = w.EG_PASSED_CHAIN[r] = 24 * (r + 1);
  const DeltaCase cases[] = {
      // Side by side on the 5th: both earn it.
      {"4k3/8/8/3PP3/8/8/8/4K3 w - - 0 1", 2 * 120},
      // d4 guards e5: only the front pawn earns it, at its own rank.
      {"4k3/8/8/4P3/3P4/8/8/4K3 w - - 0 1", 120},
      // A partner that is not passed does not count.
      {"4k3/2p5/8/3PP3/8/8/8/4K3 w - - 0 1", 0},
      {"4k3/8/8/8/3pp3/8/8/4K3 w - - 0 1", -2 * 120},
      {"4k3/8/8/8/8/3p4/4p3/3K4 w - - 0 1", -24 * 7},
  };
  ExpectDeltas(w, cases);
}

}  // namespace
