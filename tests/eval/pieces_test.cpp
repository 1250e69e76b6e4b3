// Piece activity terms, each measured alone: every weight zero except those
// under test, piece-square sums cleared, amounts that blend without remainder.
#include <gtest/gtest.h>

#include "tests/eval/eval_test_support.h"

namespace {

TEST(PieceActivity, KnightMobilityCountsOnlySafeSquares) {
  EvalWeights w = NoTerms();
  for (int k = 0; k < 9; ++k) w.OP_KNIGHT_MOB_1[k] = w.EG_KNIGHT_MOB_1[k] = 24 * (k + 1);
  const DeltaCase cases[] = {
      // h1: f2 holds an own pawn, g3 is covered by the pawn h4.
      {"4k3/8/8/8/7p/8/5P2/4K2N w - - 0 1", 24},
      {"4k3/p7/8/8/3N4/8/8/4K3 w - - 0 1", 9 * 24},
      // e2 own, f5 covered by g6: six left.
      {"4k3/8/6p1/8/3N4/8/4P3/4K3 w - - 0 1", 7 * 24},
      // An enemy piece on a target square is a capture, still a safe square.
      {"4k3/8/2r5/8/3N4/8/8/4K3 w - - 0 1", 9 * 24},
      {"4k3/8/8/3n4/8/8/7P/4K3 w - - 0 1", -9 * 24},
  };
  ExpectDeltas(w, cases);
}

TEST(PieceActivity, PinnedKnightKeepsMobilityButThreatensNothing) {
  EvalWeights w = NoTerms();
  for (int k = 0; k < 9; ++k) w.OP_KNIGHT_MOB_1[k] = w.EG_KNIGHT_MOB_1[k] = 24 * (k + 1);
  // The knight e2 is pinned by the rook e8 and attacks the rook c3.
  for (const char* fen : {"4r3/8/8/6k1/8/2r5/4N3/4K3 w - - 0 1", "4r3/8/8/6k1/8/2r5/4N3/4K3 b - - 0 1"}) {
    EXPECT_EQ(ThreatsOf(fen, w).white, 0u) << fen;
    EXPECT_EQ(Delta(fen, w), 7 * 24) << fen;  // c1, c3, d4, f4, g1, g3
  }
  // With the king on d1 the knight is free and the rook is threatened.
  for (const char* fen : {"4r3/8/8/6k1/8/2r5/4N3/3K4 w - - 0 1", "4r3/8/8/6k1/8/2r5/4N3/3K4 b - - 0 1"}) {
    EXPECT_EQ(ThreatsOf(fen, w).white, Bit("c3")) << fen;
    EXPECT_EQ(Delta(fen, w), 7 * 24) << fen;
  }
}

TEST(PieceActivity, KingAttackersCountPinnedPiecesAndAllPawnsAsOne) {
  // With no shelter the danger to Black's king is PIECE_ATT_WEIGHT[attackers]
  // times the sum of the attackers' _BS weights; White's queen (a1, b1) makes
  // the verdict count without reaching the king's neighbours itself.
  EvalWeights w = NoTerms();
  w.KNIGHT_ATT_WEIGHT_BS = 1;
  w.QUEEN_ATT_WEIGHT_BS = 1000;
  for (int k = 0; k < 16; ++k) w.PIECE_ATT_WEIGHT[k] = 24 * k;
  const DeltaCase cases[] = {
      // The knight e2, pinned by the rook e8, still reaches f4 next to g5.
      {"4r3/8/8/6k1/8/2r5/4N3/Q3K3 w - - 0 1", 24 * 1 * 1},
      // Knight e4 on f6; the pawns h5 (on g6) and e5 (on f6) count once.
      {"8/6k1/8/7P/4N3/8/8/1Q2K3 w - - 0 1", 24 * 2 * 1},
      {"8/6k1/8/4P2P/4N3/8/8/1Q2K3 w - - 0 1", 24 * 2 * 1},
      {"8/6k1/8/8/4N3/8/7P/1Q2K3 w - - 0 1", 24 * 1 * 1},
  };
  ExpectDeltas(w, cases, OpeningShare);
}

TEST(PieceActivity, PinnedSlidersThreatenOnlyAlongTheirPin) {
  const EvalWeights w = NoTerms();
  const struct {
    const char* fen;
    u64 threats;
  } cases[] = {
      // Bishop c3 pinned on the a1-h8 diagonal: the queen e5 only, not the rook b4.
      {"7k/8/8/4q3/1r6/2B5/8/K7 w - - 0 1", Bit("e5")},
      {"7k/8/8/4q3/1r6/2B5/8/7K w - - 0 1", Bit("e5") | Bit("b4")},
      // Bishop a5 pinned on the a-file: nothing.
      {"K7/8/8/B7/8/2q5/8/r6k w - - 0 1", 0},
      {"K7/8/8/B7/8/2q5/8/1r5k w - - 0 1", Bit("c3")},
      // Rook c3 pinned on a diagonal: nothing.
      {"7k/2q5/8/4b3/8/2R5/8/K7 w - - 0 1", 0},
      {"7k/2q5/8/4b3/8/2R5/8/1K6 w - - 0 1", Bit("c7")},
      // Rook a4 pinned on the a-file: the queen a8, not the loose rook f4.
      {"q6k/8/8/8/R4r2/8/8/K7 w - - 0 1", Bit("a8")},
      {"q6k/8/8/8/R4r2/8/8/1K6 w - - 0 1", Bit("a8") | Bit("f4")},
      // Queen pinned on a file or a diagonal hits only what lies on the pin.
      {"r6k/8/8/8/Q4n2/8/8/K7 w - - 0 1", Bit("a8")},
      {"r6k/8/8/8/Q4n2/8/8/1K6 w - - 0 1", Bit("a8") | Bit("f4")},
      {"2r4k/8/8/4b3/8/2Q5/8/K7 w - - 0 1", Bit("e5")},
      {"2r4k/8/8/4b3/8/2Q5/8/1K6 w - - 0 1", Bit("e5") | Bit("c8")},
  };
  for (const auto& c : cases) EXPECT_EQ(ThreatsOf(c.fen, w).white, c.threats) << c.fen;
}

TEST(PieceActivity, PinnedBishopStillCountsAgainstTheKing) {
  EvalWeights w = NoTerms();
  w.BISHOP_ATT_WEAK_SQUARES = 48;
  const char* const reaching[] = {
      "6k1/p7/8/8/8/8/1B5P/4K3 w - - 0 1",  // b2 sees g7
      "4r3/7k/8/8/8/4B3/8/4K3 w - - 0 1",   // e3, pinned on the e-file, sees h6
      "4r3/7k/8/8/8/4B3/8/4K3 b - - 0 1",
  };
  for (const char* fen : reaching) EXPECT_EQ(Delta(fen, w), OpeningShare(fen, 48)) << fen;
  EXPECT_EQ(Delta("6k1/p7/8/8/8/2p5/1B5P/4K3 w - - 0 1", w), 0);  // blocked on c3
  const char* black = "4k3/7p/8/8/4b3/8/P7/1K6 w - - 0 1";        // e4 sees c2, next to b1
  EXPECT_EQ(Delta(black, w), OpeningShare(black, -48));
}

TEST(PieceActivity, QueenMobilityStopsAtEightSafeSquares) {
  EvalWeights w = NoTerms();
  for (int k = 0; k < 8; ++k) w.OP_QUEEN_MOB_1[k] = 24 * (k + 1);
  // h1 with the king a1: six rank squares, then h2 up to the own pawn.
  const char* seven = "4k3/8/8/8/8/7P/6P1/K6Q w - - 0 1";
  const char* eight = "4k3/8/8/8/7P/8/6P1/K6Q w - - 0 1";
  EXPECT_EQ(Delta(seven, w), OpeningShare(seven, 8 * 24));
  EXPECT_EQ(Delta(eight, w), 0);
}

TEST(PieceActivity, QueenClosenessToTheEnemyKing) {
  EvalWeights w = NoTerms();
  for (int k = 0; k < 15; ++k) {
    w.OP_QUEEN_MOB_2[k] = 24 * k;
    w.EG_QUEEN_MOB_2[k] = 24 * k;
  }
  EXPECT_EQ(Delta("4k3/8/8/8/8/8/6P1/4K2Q w - - 0 1", w), 24 * (14 - 10));  // h1 to e8
  EXPECT_EQ(Delta("4k3/8/8/8/3Q4/8/8/4K3 w - - 0 1", w), 24 * (14 - 5));    // d4 to e8
  EXPECT_EQ(Delta("4k3/8/8/8/3q4/8/8/K7 w - - 0 1", w), -24 * (14 - 6));    // d4 to a1
}

TEST(PieceActivity, SeventhRank) {
  EvalWeights w = NoTerms();
  w.OP_ROOK_ON_7TH = w.EG_ROOK_ON_7TH = 48;
  w.OP_QUEEN_ON_7TH = w.EG_QUEEN_ON_7TH = 24;
  const DeltaCase cases[] = {
      // An enemy pawn on the 7th: any rook, wherever it stands.
      {"4k3/1p6/8/8/8/8/8/R3K3 w - - 0 1", 48},
      {"4k3/1p6/8/8/8/8/R7/R3K3 w - - 0 1", 96},
      {"4k3/8/1p6/8/8/8/8/R3K3 w - - 0 1", 0},
      // On the 7th with the king on the 8th.
      {"4k3/R7/8/8/8/8/8/4K3 b - - 0 1", 48},
      {"8/R3k3/8/8/8/8/8/4K3 b - - 0 1", 0},
      {"4k2r/8/8/8/8/8/1P6/4K3 w - - 0 1", -48},
      {"8/8/8/8/8/8/3r4/3K1k2 w - - 0 1", -48},
      // The queen follows the same rule with its own weights.
      {"4k3/1p6/8/8/8/8/8/Q3K3 w - - 0 1", 24},
      {"4k3/Q7/8/8/8/8/8/4K3 b - - 0 1", 24},
  };
  ExpectDeltas(w, cases);
}

TEST(PieceActivity, EighthRankHoldsTheKing) {
  EvalWeights w = NoTerms();
  w.ROOK_ON_8TH = 48;
  w.QUEEN_ON_8TH = 96;
  const DeltaCase cases[] = {
      // The rook sees the king through its own queen; the queen is no help.
      {"R2Q2k1/8/8/8/8/8/8/4K3 b - - 0 1", 48},
      // Queen behind the rook: the queen's term only.
      {"Q2R2k1/8/8/8/8/8/8/4K3 b - - 0 1", 96},
      // Any own unit between rook and king will do.
      {"R1N3k1/8/8/8/8/8/8/4K3 w - - 0 1", 48},
      // An enemy piece next to the king cuts the rank.
      {"R2Qn1k1/8/8/8/8/8/8/4K3 w - - 0 1", 0},
      // The king off its last rank.
      {"R2Q4/6k1/8/8/8/8/8/4K3 w - - 0 1", 0},
      {"6k1/8/8/8/8/8/8/r2q2K1 w - - 0 1", -48},
  };
  ExpectDeltas(w, cases);
}

TEST(PieceActivity, KnightOutposts) {
  EvalWeights w = NoTerms();
  // Distinct values per square, so that a wrong square shows.
  for (int s = 0; s < 64; ++s) {
    w.knightOutpost[White][s] = 24 * (1 + s % 7);
    w.knightOutpost[Black][s] = -24 * (1 + s % 7);
  }
  const i32 d4 = -24 * (1 + 27 % 7), e5 = 24 * (1 + 36 % 7);
  const DeltaCase cases[] = {
      // Black knight d4 guarded by e5: White's score drops.
      {"4k3/8/8/4p3/3n4/8/8/4K3 w - - 0 1", d4},
      {"4k3/8/2P5/4p3/3n4/8/8/4K3 w - - 0 1", d4},  // c6 is behind it
      {"4k3/8/8/4p3/3n4/8/2P5/4K3 w - - 0 1", 0},   // c2 can still chase it
      {"4k3/8/8/8/3n4/8/7P/4K3 w - - 0 1", 0},      // no guard
      {"4k3/8/8/4N3/3P1p2/8/8/4K3 w - - 0 1", e5},
      {"4k3/3p4/8/4N3/3P4/8/8/4K3 w - - 0 1", 0},
  };
  ExpectDeltas(w, cases, OpeningShare);
}

TEST(PieceActivity, ConnectedRooksCountOnce) {
  EvalWeights w = NoTerms();
  w.CONNECTED_ROOKS = 24;
  const DeltaCase cases[] = {
      {"4k3/8/8/8/8/8/4K3/R6R w - - 0 1", 24},  {"4k3/R7/8/8/8/8/8/R3K3 b - - 0 1", 24},
      {"4k3/R7/8/8/P7/8/8/R3K3 b - - 0 1", 0},  {"r6r/4k3/8/8/8/8/8/4K3 w - - 0 1", -24},
      {"r6r/4k3/8/8/8/8/4K3/R6R w - - 0 1", 0},
  };
  ExpectDeltas(w, cases);
}

TEST(PieceActivity, RookFiles) {
  EvalWeights w = NoTerms();
  w.OP_ROOK_HALF_OPEN_FILE = w.EG_ROOK_HALF_OPEN_FILE = 24;
  w.OP_ROOK_OPEN_FILE = w.EG_ROOK_OPEN_FILE = 48;
  const DeltaCase cases[] = {
      {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", 72},  {"4k3/p7/8/8/8/8/8/R3K3 w - - 0 1", 24},
      {"4k3/8/8/8/8/8/P7/R3K3 w - - 0 1", 0},  {"4k3/8/8/8/R7/8/P7/4K3 w - - 0 1", 72},  // the pawn is behind
      {"r3k3/8/8/8/8/8/8/4K3 w - - 0 1", -72}, {"r3k3/8/8/8/8/8/P7/4K3 w - - 0 1", -24},
  };
  ExpectDeltas(w, cases);
}

TEST(PieceActivity, RookFileTowardsTheKingNeedsQueenAndNoPawnBehind) {
  EvalWeights w = NoTerms();
  w.OP_ROOK_FILE_ATT_KING_1 = 240;
  w.OP_ROOK_FILE_ATT_KING_2 = 480;
  const DeltaCase cases[] = {
      {"6k1/8/8/8/8/8/8/Q3K1R1 b - - 0 1", 720},    // king on the file
      {"6k1/6p1/8/8/8/8/8/Q3K1R1 w - - 0 1", 720},  // an enemy pawn does not close it
      {"6k1/8/8/8/8/8/8/Q3KR2 w - - 0 1", 240},     // the file meets the king's neighbours
      {"6k1/8/8/8/8/8/8/Q2RK3 w - - 0 1", 0},      {"6k1/8/8/8/8/8/8/N3K1R1 b - - 0 1", 0},  // no queen
      {"6k1/8/8/8/6R1/8/6P1/Q3K3 b - - 0 1", 0},  // own pawn behind
      {"6k1/8/8/8/8/8/6P1/Q3K1R1 w - - 0 1", 0},  // own pawn in front
      {"q3k1r1/8/8/8/8/8/8/6K1 w - - 0 1", -720},
  };
  ExpectDeltas(w, cases, OpeningShare);

  EvalWeights behind = NoTerms();
  behind.OP_PAWNS_BEHIND_ROOK_PENALTY = -48;
  const char* pawnBehind = "4k3/8/8/8/R7/8/P7/4K3 w - - 0 1";
  EXPECT_EQ(Delta(pawnBehind, behind), OpeningShare(pawnBehind, -48));
  EXPECT_EQ(Delta("4k3/8/8/8/P7/8/R7/4K3 w - - 0 1", behind), 0);
  const char* blackBehind = "4k3/p7/8/r7/8/8/8/4K3 w - - 0 1";
  EXPECT_EQ(Delta(blackBehind, behind), OpeningShare(blackBehind, 48));
}

}  // namespace
