#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "board/board.h"
#include "tests/support.h"

namespace {

u64 Bits(std::initializer_list<const char*> squares) {
  u64 b = 0;
  for (const char* s : squares) b |= 1ull << Sq(s);
  return b;
}

// Attacks along the given directions by stepping square by square until the
// edge or an occupied square.
u64 RayWalk(int s, u64 occupied, const int (*dirs)[2]) {
  u64 attacks = 0;
  for (int d = 0; d < 4; ++d) {
    int f = FileOf(s) + dirs[d][0], r = RankOf(s) + dirs[d][1];
    for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += dirs[d][0], r += dirs[d][1]) {
      attacks |= 1ull << MakeSquare(f, r);
      if (occupied >> MakeSquare(f, r) & 1) break;
    }
  }
  return attacks;
}
constexpr int RookDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr int BishopDirs[4][2] = {{1, 1}, {-1, -1}, {1, -1}, {-1, 1}};

// Sets the occupancy fields the sliding lookups read.
void SetOccupancy(Position* pos, u64 occupied) {
  pos->occupied = occupied;
  pos->occupiedFiles = pos->occupiedAntiDiagonals = pos->occupiedDiagonals = 0;
  for (u64 b = occupied; b;) {
    int s = PopLowest(&b);
    pos->occupiedFiles |= SquareMaskFiles[s];
    pos->occupiedAntiDiagonals |= SquareMaskAnti[s];
    pos->occupiedDiagonals |= SquareMaskDiag[s];
  }
}

class BoardTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitBoardTables(); }
};

// Every square needs a shift that C++ can perform.
TEST_F(BoardTables, RotatedShiftsStayBelow64) {
  for (int s = 0; s < 64; ++s) {
    EXPECT_LT(ShiftAnti[s], 64) << s;
    EXPECT_LT(ShiftDiag[s], 64) << s;
  }
}

TEST_F(BoardTables, SlidingLookupsMatchRayWalkOnRandomOccupancies) {
  Position* pos = new Position{};
  Random random{0x9E3779B97F4A7C15ull};
  int mismatches = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    // Sparse to dense boards: AND or OR a few random words together.
    u64 occ = random.Next();
    switch (trial % 4) {
      case 0:
        occ &= random.Next() & random.Next();
        break;
      case 1:
        occ &= random.Next();
        break;
      case 2:
        break;
      case 3:
        occ |= random.Next();
        break;
    }
    SetOccupancy(pos, occ);
    for (int s = 0; s < 64; ++s) {
      if (RookAttacksFrom(pos, s) != RayWalk(s, occ, RookDirs)) ++mismatches;
      if (BishopAttacksFrom(pos, s) != RayWalk(s, occ, BishopDirs)) ++mismatches;
    }
  }
  SetOccupancy(pos, 0);
  for (int s = 0; s < 64; ++s) {
    EXPECT_EQ(RookEmpty[s], RayWalk(s, 0, RookDirs));
    EXPECT_EQ(BishopEmpty[s], RayWalk(s, 0, BishopDirs));
  }
  SetOccupancy(pos, ~0ull);
  for (int s = 0; s < 64; ++s) EXPECT_EQ(QueenAttacksFrom(pos, s), KingAttacks[s]);
  EXPECT_EQ(mismatches, 0);
  delete pos;
}

TEST_F(BoardTables, LineTablesWorkedExamples) {
  EXPECT_EQ(RankAttacks[Sq("a1")][0], Bits({"b1", "c1", "d1", "e1", "f1", "g1", "h1"}));
  EXPECT_EQ(RankAttacks[Sq("d1")][1 << 4], Bits({"a1", "b1", "c1", "e1", "f1"}));
  // e6 is rank index 5, index bit 6 - 5 = 1.
  EXPECT_EQ(FileAttacks[Sq("e4")][1 << 1], Bits({"e1", "e2", "e3", "e5", "e6"}));
  for (int p = 0; p < 64; ++p) EXPECT_EQ(DiagAttacks[Sq("h1")][p], 0u);
  EXPECT_EQ(AntiDiagAttacks[Sq("h1")][0], Bits({"g2", "f3", "e4", "d5", "c6", "b7", "a8"}));
  // Short lines ignore the index bits of the other line sharing their byte.
  for (int p = 0; p < 64; ++p) {
    EXPECT_EQ(DiagAttacks[Sq("f1")][p & 1], DiagAttacks[Sq("f1")][p]);
    EXPECT_EQ(AntiDiagAttacks[Sq("b1")][0], AntiDiagAttacks[Sq("b1")][p]);
  }

  EXPECT_EQ(Between[Sq("a1")][Sq("h8")], Bits({"b2", "c3", "d4", "e5", "f6", "g7"}));
  EXPECT_EQ(Line[Sq("a1")][Sq("h8")], Bits({"a1", "b2", "c3", "d4", "e5", "f6", "g7", "h8"}));
  EXPECT_EQ(Between[Sq("a1")][Sq("b3")], 0u);
  EXPECT_EQ(Line[Sq("a1")][Sq("b3")], 0u);
  EXPECT_EQ(Between[Sq("e2")][Sq("e3")], 0u);
  EXPECT_EQ(Line[Sq("c4")][Sq("c4")], 0u);
  EXPECT_EQ(Between[Sq("h3")][Sq("c3")], Bits({"d3", "e3", "f3", "g3"}));
  EXPECT_EQ(Line[Sq("b7")][Sq("b2")], FileMask[1]);
  EXPECT_EQ(Line[Sq("g2")][Sq("d5")], Bits({"a8", "b7", "c6", "d5", "e4", "f3", "g2", "h1"}));

  EXPECT_EQ(BeyondKing[Sq("e4")][Sq("e1")], Bits({"e5"}));
  EXPECT_EQ(BeyondKing[Sq("e1")][Sq("e8")], 0u);
  EXPECT_EQ(BeyondKing[Sq("e4")][Sq("a8")], Bits({"f3"}));
  EXPECT_EQ(BeyondKing[Sq("e4")][Sq("f4")], Bits({"d4"}));
  EXPECT_EQ(BeyondKing[Sq("e4")][Sq("f6")], 0u);

  for (int a = 0; a < 64; ++a)
    for (int b = 0; b < 64; ++b) {
      EXPECT_EQ(Between[a][b], Between[b][a]);
      EXPECT_EQ(Line[a][b], Line[b][a]);
      EXPECT_EQ(Between[a][b] & ~Line[a][b], 0u);
    }
}

TEST_F(BoardTables, LeaperAttacksStayOnTheBoard) {
  EXPECT_EQ(KnightAttacks[Sq("a1")], Bits({"b3", "c2"}));
  EXPECT_EQ(KnightAttacks[Sq("h8")], Bits({"g6", "f7"}));
  EXPECT_EQ(KnightAttacks[Sq("g2")], Bits({"e1", "e3", "f4", "h4"}));
  EXPECT_EQ(KingAttacks[Sq("h1")], Bits({"g1", "g2", "h2"}));
  EXPECT_EQ(KingAttacks[Sq("a5")], Bits({"a4", "b4", "b5", "a6", "b6"}));
  EXPECT_EQ(PawnAttacks[White][Sq("a2")], Bits({"b3"}));
  EXPECT_EQ(PawnAttacks[White][Sq("h7")], Bits({"g8"}));
  EXPECT_EQ(PawnAttacks[Black][Sq("e5")], Bits({"d4", "f4"}));
  EXPECT_EQ(PawnAttacks[White][Sq("c8")], 0u);
  EXPECT_EQ(PawnAttacks[Black][Sq("c1")], 0u);
  for (int s = 0; s < 64; ++s) EXPECT_TRUE(PopCount(KnightAttacks[s]) >= 2 && PopCount(KingAttacks[s]) >= 3);
}

TEST_F(BoardTables, CastleMaskClearsOnlyTheRightsOfItsSquare) {
  u8 expected[64];
  std::memset(expected, 255, sizeof expected);
  expected[Sq("a1")] = 255 & ~CastleWhiteQueen;
  expected[Sq("h1")] = 255 & ~CastleWhiteKing;
  expected[Sq("e1")] = 255 & ~(CastleWhiteKing | CastleWhiteQueen);
  expected[Sq("a8")] = 255 & ~CastleBlackQueen;
  expected[Sq("h8")] = 255 & ~CastleBlackKing;
  expected[Sq("e8")] = 255 & ~(CastleBlackKing | CastleBlackQueen);
  for (int s = 0; s < 64; ++s) EXPECT_EQ(CastleMask[s], expected[s]) << s;
}

TEST_F(BoardTables, PawnMasks) {
  EXPECT_EQ(PassedMask[White][Sq("e4")], (FileMask[3] | FileMask[4] | FileMask[5]) & 0xFFFFFFFF00000000ull);
  EXPECT_EQ(PassedMask[Black][Sq("a3")], Bits({"a2", "a1", "b2", "b1"}));
  EXPECT_EQ(FrontSpan[Black][Sq("e4")], Bits({"e3", "e2", "e1"}));
  EXPECT_EQ(FrontSpan[White][Sq("h8")], 0u);
  EXPECT_EQ(AdjacentAhead[White][Sq("g6")], Bits({"f7", "f8", "h7", "h8"}));
  EXPECT_EQ(AdjacentFilesMask[Sq("a5")], FileMask[1]);
  EXPECT_EQ(SupportMask[White][Sq("e4")], Bits({"d3", "f3", "d4", "f4"}));
  EXPECT_EQ(SupportMask[Black][Sq("a5")], Bits({"b6", "b5"}));
  EXPECT_EQ(SupportMask[White][Sq("c8")], Bits({"b7", "d7"}));
  EXPECT_EQ(SupportMask[White][Sq("c1")], Bits({"b1", "d1"}));
  EXPECT_EQ(AdjacentLevelOrBehind[White][Sq("e2")], Bits({"d1", "d2", "f1", "f2"}));
  EXPECT_EQ(LeftLevelOrBehind[Black][Sq("e7")], Bits({"d7", "d8"}));
  EXPECT_EQ(RightLevelOrBehind[White][Sq("h3")], 0u);
  EXPECT_EQ(RightLevelOrBehind[White][Sq("g2")], Bits({"h1", "h2"}));
  EXPECT_EQ(AdjacentTwoAhead[White][Sq("e4")], Bits({"d6", "f6"}));
  EXPECT_EQ(AdjacentThreeAhead[Black][Sq("e4")], Bits({"d1", "f1"}));
  EXPECT_EQ(AdjacentThreeAhead[White][Sq("e6")], 0u);
  EXPECT_EQ(KingWing[Sq("c3")], 0);
  EXPECT_EQ(KingWing[Sq("d3")], 1);
  EXPECT_EQ(KingWing[Sq("e8")], 1);
  EXPECT_EQ(KingWing[Sq("f1")], 2);
}

TEST_F(BoardTables, KingMasks) {
  // Distance two around the king, minus the two far forward corners.
  EXPECT_EQ(KingZone[White][Sq("e1")],
            Bits({"c1", "d1", "e1", "f1", "g1", "c2", "d2", "e2", "f2", "g2", "d3", "e3", "f3"}));
  EXPECT_EQ(KingZone[Black][Sq("e8")],
            Bits({"c8", "d8", "e8", "f8", "g8", "c7", "d7", "e7", "f7", "g7", "d6", "e6", "f6"}));
  EXPECT_EQ(KingZone[White][Sq("a1")], Bits({"a1", "b1", "c1", "a2", "b2", "c2", "a3", "b3"}));
  EXPECT_EQ(PopCount(KingZone[White][Sq("e4")]), 23);
  EXPECT_EQ(KingZone[White][Sq("e4")] & Bits({"c6", "g6", "c2", "g2"}), Bits({"c2", "g2"}));
  EXPECT_EQ(PopCount(KingZone[White][Sq("e8")]), 15);

  // Pawn on e6, two steps from queening: the king outside reaches e8 too late.
  EXPECT_EQ(OutsidePawnSquare[White][Sq("e6")], 0xFFFFFFFFull | Bits({"a5", "a6", "a7", "a8"}));
  EXPECT_EQ(OutsidePawnSquare[Black][Sq("d4")], 0xFFFFFF0000000000ull);
  // From the second rank the double step counts as one move: at most five.
  EXPECT_EQ(OutsidePawnSquare[White][Sq("a2")], OutsidePawnSquare[White][Sq("a3")]);
  EXPECT_EQ(OutsidePawnSquare[White][Sq("a3")], FileMask[7] | Rank1Mask);

  EXPECT_EQ(KingGuardsFront[White][Sq("e6")], Bits({"d7", "d8", "f7", "f8"}));
  EXPECT_EQ(KingGuardsFront[White][Sq("e7")], Bits({"d7", "e7", "f7", "d8", "f8"}));
  EXPECT_EQ(KingGuardsFront[Black][Sq("a3")], Bits({"b1", "b2"}));
  EXPECT_EQ(KingGuardsFront[White][Sq("e5")], Bits({"d7", "f7"}));
  EXPECT_EQ(KingGuardsFront[White][Sq("e4")], 0u);
}

// Places pieces on an empty position, keeping the fields IsAttacked reads.
void Place(Position* pos, int colour, int type, const char* square) {
  const int s = Sq(square);
  pos->board[s] = u8(type);
  pos->pieces[type] |= 1ull << s;
  pos->colours[colour] |= 1ull << s;
  SetOccupancy(pos, pos->colours[White] | pos->colours[Black]);
}

TEST_F(BoardTables, IsAttackedFindsEveryAttacker) {
  Position* pos = new Position{};
  Place(pos, White, Bishop, "d4");
  EXPECT_TRUE(IsAttacked(pos, White, Sq("e5")));  // adjacent: caught by the pawn test
  EXPECT_TRUE(IsAttacked(pos, White, Sq("c3")));  // adjacent, behind
  EXPECT_TRUE(IsAttacked(pos, White, Sq("h8")));
  EXPECT_FALSE(IsAttacked(pos, Black, Sq("e5")));
  EXPECT_FALSE(IsAttacked(pos, White, Sq("d5")));
  Place(pos, Black, Knight, "f6");
  EXPECT_TRUE(IsAttacked(pos, White, Sq("f6")));
  EXPECT_FALSE(IsAttacked(pos, White, Sq("g7")));
  EXPECT_TRUE(IsAttacked(pos, Black, Sq("g8")));
  EXPECT_TRUE(IsAttacked(pos, Black, Sq("d5")));

  Position* q = new Position{};
  Place(q, Black, Queen, "d4");
  EXPECT_TRUE(IsAttacked(q, Black, Sq("d5")));  // adjacent: caught by the king test
  EXPECT_TRUE(IsAttacked(q, Black, Sq("e3")));
  EXPECT_TRUE(IsAttacked(q, Black, Sq("d8")));
  EXPECT_TRUE(IsAttacked(q, Black, Sq("a7")));
  EXPECT_FALSE(IsAttacked(q, Black, Sq("e6")));
  Place(q, White, Pawn, "d6");
  EXPECT_FALSE(IsAttacked(q, Black, Sq("d7")));
  EXPECT_TRUE(IsAttacked(q, White, Sq("e7")));
  EXPECT_FALSE(IsAttacked(q, White, Sq("d7")));
  EXPECT_FALSE(IsAttacked(q, White, Sq("e5")));  // pawns capture forward only
  Place(q, White, Rook, "a5");
  EXPECT_TRUE(IsAttacked(q, White, Sq("h5")));
  EXPECT_FALSE(IsAttacked(q, White, Sq("b6")));
  Place(q, White, King, "h1");
  EXPECT_TRUE(IsAttacked(q, White, Sq("g2")));
  EXPECT_FALSE(IsAttacked(q, White, Sq("f3")));
  delete pos;
  delete q;
}

}  // namespace
