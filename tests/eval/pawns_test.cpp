#include "eval/pawns.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/board.h"
#include "eval/weights.h"
#include "tests/eval/eval_test_support.h"

namespace {

// The entry of a position's pawn structure under the given weights.
PawnEntry Probe(const char* fen, const EvalWeights& weights) {
  Position pos = FromFen(fen);
  return *ProbePawnTable(PawnTableFor(&weights), &pos, &weights);
}

// Shelter and storm weights small enough to work every picture out by hand.
// maxShelter = 20 + 30 + 10 = 60; maxStorm = 9 + 12 + 7 = 28.
EvalWeights ShelterWeights() {
  EvalWeights w{};
  const i32 inner[4] = {20, 14, 8, 2}, central[4] = {30, 22, 10, 4}, outer[4] = {10, 16, 6, 1};
  const i32 inner2[4] = {5, 4, 3, 2}, central2[4] = {7, 6, 5, 4}, outer2[4] = {3, 3, 2, 1};
  const i32 innerStorm[5] = {5, 9, 6, 3, 2}, centralStorm[5] = {7, 12, 8, 4, 3},
            outerStorm[5] = {4, 7, 5, 2, 5};
  std::memcpy(w.INNER_SIDE_SHELTER, inner, sizeof inner);
  std::memcpy(w.CENTRAL_SHELTER, central, sizeof central);
  std::memcpy(w.OUTER_SIDE_SHELTER, outer, sizeof outer);
  std::memcpy(w.SECOND_INNER_SIDE_SHELTER, inner2, sizeof inner2);
  std::memcpy(w.SECOND_CENTRAL_SHELTER, central2, sizeof central2);
  std::memcpy(w.SECOND_OUTER_SIDE_SHELTER, outer2, sizeof outer2);
  std::memcpy(w.INNER_SIDE_STORM, innerStorm, sizeof innerStorm);
  std::memcpy(w.CENTRAL_STORM, centralStorm, sizeof centralStorm);
  std::memcpy(w.OUTER_SIDE_STORM, outerStorm, sizeof outerStorm);
  w.STORM_SHELTER_PENALTY_2 = -20;
  w.STORM_CHAIN = 6;
  // Never read by the shelter code.
  w.STORM_SHELTER_BONUS_1 = 999;
  w.STORM_SHELTER_PENALTY_1 = -999;
  return w;
}

// Picture bit of file slot j (0 inner, 1 central, 2 outer) on the k-th rank
// in front of the king (k = 0 is the king side's second rank).
constexpr int P(int k, int j) { return 1 << (3 * k + j); }

TEST(PawnTables, ShelterValuesOfHandPickedPictures) {
  const EvalWeights w = ShelterWeights();
  const i16* shelter = PawnTableFor(&w)->shelterTable;
  // Empty: sum 0; inner and central both empty count as level (e = 1), the
  // empty outer slot (-1) differs, so + (16 - 10) = 6; no home pawn on the two
  // near files: + trunc(-20 * 6 / 60) = -2; 4.
  EXPECT_EQ(shelter[0], 4);
  // All three at home: 20 + 30 + 10 = 60; e = 1 but the outer front is 0, so
  // + 6 = 66; a home pawn stops the penalty; clamped to 60.
  EXPECT_EQ(shelter[P(0, 0) | P(0, 1) | P(0, 2)], 60);
  // Inner one up, central two up, second inner pawn two up, outer empty:
  // 14 + 10 + 3 (second pawn) = 27; e = 0, outer -1: + 6 = 33;
  // + trunc(-20 * 33 / 60) = -11; 22.
  EXPECT_EQ(shelter[P(1, 0) | P(2, 0) | P(2, 1)], 22);
  // Inner and central two up (e = 1), outer one up (1 = e, no adjustment):
  // 8 + 10 + 16 = 34; + trunc(-680 / 60 = -11.3) = -11 (toward zero); 23.
  EXPECT_EQ(shelter[P(2, 0) | P(2, 1) | P(1, 2)], 23);
  // Inner home, central and outer one up, second central pawn on k = 3:
  // 20 + 22 + 16 + 4 = 62; e = 0, outer 1: + 6 = 68; clamped to 60.
  EXPECT_EQ(shelter[P(0, 0) | P(1, 1) | P(1, 2) | P(3, 1)], 60);
  // Central pawn alone on k = 3: 4; e = 0, outer -1: + 6 = 10;
  // + trunc(-200 / 60) = -3; 7.
  EXPECT_EQ(shelter[P(3, 1)], 7);
  // Outer pawn alone at home: 10; e = 1, outer 0: + 6 = 16; + trunc(-320 / 60) = -5; 11.
  EXPECT_EQ(shelter[P(0, 2)], 11);
  // Inner pawn alone at home: 20 + 6 = 26, no penalty (inner at home).
  EXPECT_EQ(shelter[P(0, 0)], 26);
  // Central pawn alone at home: 30 + 6 = 36, no penalty.
  EXPECT_EQ(shelter[P(0, 1)], 36);
}

TEST(PawnTables, StormValuesOfHandPickedPictures) {
  const EvalWeights w = ShelterWeights();
  const i16* storm = PawnTableFor(&w)->stormTable;
  // Empty: 2 + 3 + 5 (entry 4 of each) - 2 (fewer than two slots) = 8.
  EXPECT_EQ(storm[0], 8);
  // One central pawn on k = 1: 2 + 12 + 5 - 2 = 17.
  EXPECT_EQ(storm[P(1, 1)], 17);
  // One outer pawn at k = 0: 2 + 3 + 4 - 2 = 7.
  EXPECT_EQ(storm[P(0, 2)], 7);
  // The lowest pawn of a slot counts: inner k = 0 and 3, central k = 2:
  // 5 + 8 + 5 = 18, two slots filled.
  EXPECT_EQ(storm[P(0, 0) | P(3, 0) | P(2, 1)], 18);
  // All three on k = 3 (the 5th rank): 3 + 4 + 2 + 6 (chain) = 15.
  EXPECT_EQ(storm[P(3, 0) | P(3, 1) | P(3, 2)], 15);
  // Two of three on k = 3: 3 + 4 + 5 = 12, no chain.
  EXPECT_EQ(storm[P(3, 0) | P(3, 1)], 12);
  // Chains on both k = 2 and k = 3: 6 + 8 + 5 + 6 + 6 = 31, clamped to 28.
  EXPECT_EQ(storm[P(2, 0) | P(2, 1) | P(2, 2) | P(3, 0) | P(3, 1) | P(3, 2)], 28);
}

TEST(PawnTables, KingShelterIsOwnShelterMinusEnemyStormPerWing) {
  const EvalWeights w = ShelterWeights();
  // White f2 g2 h2 against Black g4. Wing 2 (f, g, h): White's picture is all
  // three at home (60), Black's g4 is central on k = 2: 2 + 8 + 5 - 2 = 13.
  // Wing 1 (d, e, f): f2 is the outer slot at home (11) against an empty
  // storm (8). Wing 0: 4 - 8. For Black, g4 is central on k = 3 (7) and
  // White's pawns on Black's 7th rank lie outside every picture (8).
  PawnEntry e = Probe("4k3/8/8/8/6p1/8/5PPP/6K1 w - - 0 1", w);
  EXPECT_EQ(e.kingShelter[White][2], 60 - 13);
  EXPECT_EQ(e.kingShelter[White][1], 11 - 8);
  EXPECT_EQ(e.kingShelter[White][0], 4 - 8);
  EXPECT_EQ(e.kingShelter[Black][2], 7 - 8);
  EXPECT_EQ(e.kingShelter[Black][1], 4 - 8);
  EXPECT_EQ(e.kingShelter[Black][0], 4 - 8);

  // Wing 0 takes files b, c, a as inner, central, outer.
  EXPECT_EQ(Probe("4k3/8/8/8/8/8/P7/4K3 w - - 0 1", w).kingShelter[White][0], 11 - 8);
  EXPECT_EQ(Probe("4k3/8/8/8/8/8/1P6/4K3 w - - 0 1", w).kingShelter[White][0], 26 - 8);
  EXPECT_EQ(Probe("4k3/8/8/8/8/8/2P5/4K3 w - - 0 1", w).kingShelter[White][0], 36 - 8);
  // The same seen from Black's side: a7 / b7 / c7, and White's b5 as an
  // inner storm pawn on k = 2: 6 + 3 + 5 - 2 = 12.
  EXPECT_EQ(Probe("4k3/p7/8/8/8/8/8/4K3 w - - 0 1", w).kingShelter[Black][0], 11 - 8);
  EXPECT_EQ(Probe("4k3/1p6/8/8/8/8/8/4K3 w - - 0 1", w).kingShelter[Black][0], 26 - 8);
  EXPECT_EQ(Probe("4k3/2p5/8/1P6/8/8/8/4K3 w - - 0 1", w).kingShelter[Black][0], 36 - 12);
}

// Weights where only the named per-pawn terms are set, each to a value that
// tells the terms apart.
TEST(PawnTerms, PassedPawnsAndTheirDefence) {
  EvalWeights w{};
  for (int r = 0; r < 8; ++r) {
    w.OP_PASSED_PAWN[r] = 10 * r;
    w.EG_PASSED_PAWN[r] = 100 * r;
    w.OP_DEFENDED_PASSED_PAWN[r] = r;
  }
  // An enemy pawn anywhere ahead on an adjacent file stops it being passed,
  // and the White pawn in turn stands in the Black pawn's span.
  PawnEntry e = Probe("4k3/3p4/8/4P3/8/8/8/4K3 w - - 0 1", w);
  EXPECT_EQ(e.passed, 0u);
  EXPECT_EQ(e.opening, 0);
  // Behind it the enemy pawn does not count: e5 (rank 4) and d3 (Black's rank 5).
  e = Probe("4k3/8/8/4P3/8/3p4/8/4K3 w - - 0 1", w);
  EXPECT_EQ(e.passed, Bit("e5") | Bit("d3"));
  EXPECT_EQ(e.opening, 40 - 50);
  EXPECT_EQ(e.endgame, 400 - 500);
  // d4 defends e5 diagonally from behind: 40 + 30 + 4 (e5 defended).
  e = Probe("4k3/8/8/4P3/3P4/8/8/4K3 w - - 0 1", w);
  EXPECT_EQ(e.passed, Bit("e5") | Bit("d4"));
  EXPECT_EQ(e.opening, 40 + 30 + 4);
  // Side by side both count as defended: 2 * (40 + 4).
  EXPECT_EQ(Probe("4k3/8/8/3PP3/8/8/8/4K3 w - - 0 1", w).opening, 88);
}

TEST(PawnTerms, CandidatesNeedEnoughSupportersAgainstSentries) {
  EvalWeights w{};
  w.OP_CANDIDATE_PASSED_PAWN[3] = 13;
  w.EG_CANDIDATE_PASSED_PAWN[3] = 31;
  // e4 on an open file: supporter f3, sentry d6.
  PawnEntry e = Probe("4k3/8/3p4/8/4P3/5P2/8/4K3 w - - 0 1", w);
  EXPECT_EQ(e.opening, 13);
  EXPECT_EQ(e.endgame, 31);
  // A second sentry on f6 outnumbers the supporter.
  EXPECT_EQ(Probe("4k3/8/3p1p2/8/4P3/5P2/8/4K3 w - - 0 1", w).opening, 0);
  // Left file: own d2 and enemy d3 cancel; supporter d2, sentry f5: a candidate.
  EXPECT_EQ(Probe("4k3/8/8/5p2/4P3/3p4/3P4/4K3 w - - 0 1", w).opening, 13);
  // An enemy pawn on f3 (right file, behind) makes the balance negative.
  EXPECT_EQ(Probe("4k3/8/8/5p2/4P3/3p1p2/3P4/4K3 w - - 0 1", w).opening, 0);
  // Colours mirrored: Black's e5 is a candidate on its rank 3.
  EXPECT_EQ(Probe("4k3/8/5p2/4p3/8/3P4/8/4K3 w - - 0 1", w).opening, -13);
}

TEST(PawnTerms, DoubledPawnsAreMarkedLookingTowardsTheEighthRank) {
  EvalWeights w{};
  w.EG_DOUBLED_PAWN_PENALTY = -10;
  w.EG_ISOLATED_DOUBLED_PAWN_PENALTY = -100;
  // White e2/e3: e2 is doubled and, with e3 in front, isolated on a closed
  // file, so it also takes the isolated-doubled extra.
  EXPECT_EQ(Probe("4k3/8/8/8/8/4P3/4P3/4K3 w - - 0 1", w).endgame, -110);
  // Black e7/e6: the doubled mark goes to e6, whose file ahead is open, so
  // one doubled penalty and no extra.
  EXPECT_EQ(Probe("4k3/4p3/4p3/8/8/8/8/4K3 w - - 0 1", w).endgame, 10);
  // With a White pawn in front of e6 the extra applies to Black too; White's
  // e4 is not doubled.
  EXPECT_EQ(Probe("4k3/4p3/4p3/8/4P3/8/8/4K3 w - - 0 1", w).endgame, 110);
}

TEST(PawnTerms, IsolatedAndUnprotectedPawns) {
  EvalWeights w{};
  w.OP_ISOLATED_PAWN_PENALTY = -3;
  w.EG_ISOLATED_PAWN_PENALTY = -5;
  w.OP_WEAK_ISOLATED_PAWN_PENALTY = -7;
  w.EG_WEAK_ISOLATED_PAWN_PENALTY = -11;
  w.EG_UNPROTECTED_PAWN_PENALTY = -9;
  // Isolated on an open file: the weak weights.
  PawnEntry e = Probe("4k3/8/8/8/3P4/8/8/4K3 w - - 0 1", w);
  EXPECT_EQ(e.opening, -7);
  EXPECT_EQ(e.endgame, -11);
  // A Black pawn ahead closes the file; Black's c6/d6 stand side by side and
  // protect each other, so only White's d4 scores.
  e = Probe("4k3/8/2pp4/8/3P4/8/8/4K3 w - - 0 1", w);
  EXPECT_EQ(e.opening, -3);
  EXPECT_EQ(e.endgame, -5);
  // e3 defends d4 but nothing defends e3.
  e = Probe("4k3/8/8/8/3P4/4P3/8/4K3 w - - 0 1", w);
  EXPECT_EQ(e.opening, 0);
  EXPECT_EQ(e.endgame, -9);
  // Side by side they protect each other.
  EXPECT_EQ(Probe("4k3/8/8/8/3PP3/8/8/4K3 w - - 0 1", w).endgame, 0);
}

TEST(PawnTerms, BackwardPawns) {
  EvalWeights w{};
  w.OP_BACKWARD_PAWN_PENALTY = -2;
  w.EG_BACKWARD_PAWN_PENALTY = -4;
  w.OP_WEAK_BACKWARD_PAWN_PENALTY = -6;
  w.EG_WEAK_BACKWARD_PAWN_PENALTY = -8;
  const struct {
    const char* fen;
    i16 opening, endgame;
  } cases[] = {
      // d3 left behind by c4 while e5 guards d4; open file: weak.
      {"4k3/8/8/4p3/2P5/3P4/8/4K3 w - - 0 1", -6, -8},
      // The same with the file closed by an own pawn on d5.
      {"4k3/8/8/3Pp3/2P5/3P4/8/4K3 w - - 0 1", -2, -4},
      // e6 guards d5, two squares ahead, and d3 defends nothing.
      {"4k3/8/4p3/2P5/8/3P4/8/4K3 w - - 0 1", -6, -8},
      // ... but with c4 instead of c5 d3 defends a pawn: not backward.
      {"4k3/8/4p3/8/2P5/3P4/8/4K3 w - - 0 1", 0, 0},
      // d3 attacks the enemy pawn on e4: not backward.
      {"4k3/8/8/4p3/2P1p3/3P4/8/4K3 w - - 0 1", 0, 0},
      // c3 stands level with d3: neither is backward.
      {"4k3/8/8/4p3/2P5/2PP4/8/4K3 w - - 0 1", 0, 0},
      // The first case with colours mirrored.
      {"4k3/8/3p4/2p5/4P3/8/8/4K3 w - - 0 1", 6, 8},
  };
  for (const auto& c : cases) {
    const PawnEntry e = Probe(c.fen, w);
    EXPECT_EQ(e.opening, c.opening) << c.fen;
    EXPECT_EQ(e.endgame, c.endgame) << c.fen;
  }
}

TEST(PawnTerms, ScoresSaturateAtSixteenBits) {
  EvalWeights w{};
  w.OP_PASSED_PAWN[1] = 5000;
  // Eight passed pawns on rank 2 (a bare army against a lone king): 40000
  // keeps its sign for either colour.
  EXPECT_EQ(Probe("4k3/8/8/8/8/8/PPPPPPPP/4K3 w - - 0 1", w).opening, 32767);
  EXPECT_EQ(Probe("4k3/pppppppp/8/8/8/8/8/4K3 w - - 0 1", w).opening, -32768);
}

// Positions met along fixed pseudo-random games.
std::vector<Position> GamePositions() {
  const std::vector<std::string> starts = {
      StartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "4k3/pp3ppp/8/8/8/8/PPB2PPP/4K3 w - - 0 1",
  };
  std::vector<Position> out;
  EnsureTables();
  ForRandomGames(starts, 16, 100, 0x2545F4914F6CDD1Dull, [&](Position* pos) { out.push_back(*pos); });
  return out;
}

TEST(PawnHash, AStoredEntryEqualsAFreshComputation) {
  const EvalWeights* w = ShippedWeights();
  static PawnHashTable used, fresh;
  BuildPawnTable(&used, w);
  const std::vector<Position> positions = GamePositions();
  for (const Position& pos : positions) ProbePawnTable(&used, &pos, w);
  const u32 firstHits = used.hits;
  EXPECT_EQ(used.probes, positions.size());
  // Most moves leave the pawns alone, so the first pass already hits often.
  EXPECT_GT(firstHits, positions.size() / 3);

  // Probed again, the same structures come back from the cache (unless a
  // later structure took their slot) and must equal a computation from scratch.
  int compared = 0;
  for (size_t i = 0; i < positions.size(); i += 3) {
    const u32 hitsBefore = used.hits;
    const PawnEntry cached = *ProbePawnTable(&used, &positions[i], w);
    compared += used.hits != hitsBefore;
    BuildPawnTable(&fresh, w);
    const PawnEntry computed = *ProbePawnTable(&fresh, &positions[i], w);
    EXPECT_EQ(fresh.hits, positions[i].pawnKey == 0 ? 1u : 0u);
    ASSERT_EQ(std::memcmp(&cached, &computed, sizeof cached), 0) << i;
  }
  EXPECT_GT(compared, int(positions.size() / 4));
}

// FEN of kings on e1 and e8 with the given pawns (squares 8..55), written by
// the board's writer, which reads only the board and the colours.
std::string PawnFen(const std::vector<int>& white, const std::vector<int>& black) {
  Position pos = FromFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  for (int s : white) pos.board[s] = Pawn;
  for (int s : black) {
    pos.board[s] = Pawn;
    pos.colours[Black] |= 1ull << s;
  }
  return FenOf(&pos);
}

TEST(PawnHash, PawnlessPositionsUseSlotZeroWhileItIsUntouched) {
  const EvalWeights w = ShelterWeights();
  static PawnHashTable table;
  BuildPawnTable(&table, &w);
  EXPECT_EQ(table.mask, PawnTableEntries - 1);
  EXPECT_EQ(table.entryCount, PawnTableEntries);

  // A pawnless position has key 0 and finds the zeroed slot 0 as a hit: all
  // shelter values 0 although the empty pictures are worth 4 - 8 = -4.
  const Position bare = FromFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  ASSERT_EQ(bare.pawnKey, 0u);
  const PawnEntry* e = ProbePawnTable(&table, &bare, &w);
  EXPECT_EQ(table.hits, 1u);
  EXPECT_EQ(table.probes, 1u);
  for (int c = White; c <= Black; ++c)
    for (int wing = 0; wing < 3; ++wing) EXPECT_EQ(e->kingShelter[c][wing], 0);

  // A structure whose key falls into slot 0 takes it over.
  std::string fen;
  for (int a = 8; a < 56 && fen.empty(); ++a)
    for (int b = 8; b < 56 && fen.empty(); ++b)
      for (int c = a + 1; c < 56 && fen.empty(); ++c) {
        if (b == a || b == c) continue;
        const u64 key = ZobristPawn[White][a] ^ ZobristPawn[Black][b] ^ ZobristPawn[White][c];
        if ((key & (PawnTableEntries - 1)) == 0) fen = PawnFen({a, c}, {b});
      }
  ASSERT_FALSE(fen.empty());
  const Position other = FromFen(fen.c_str());
  ProbePawnTable(&table, &other, &w);
  EXPECT_EQ(table.entries[0].key, other.pawnKey);
  EXPECT_EQ(table.hits, 1u);

  // Now the pawnless position is computed and stored like any other.
  e = ProbePawnTable(&table, &bare, &w);
  EXPECT_EQ(table.hits, 1u);
  EXPECT_EQ(table.probes, 3u);
  EXPECT_EQ(e->key, 0u);
  EXPECT_EQ(e->passed, 0u);
  EXPECT_EQ(e->opening, 0);
  EXPECT_EQ(e->endgame, 0);
  for (int c = White; c <= Black; ++c)
    for (int wing = 0; wing < 3; ++wing) EXPECT_EQ(e->kingShelter[c][wing], -4);
}

}  // namespace
