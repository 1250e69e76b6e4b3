#include <gtest/gtest.h>

#include "tests/board/movegen_test_support.h"

namespace {

class Legality : public BoardTest {
 protected:
  // IsMoveValid with the pins of the current position.
  bool Valid(Move m) {
    u64 checkers, orth, diag;
    Checkers(pos, &checkers);
    PinRays(pos, checkers, &orth, &diag);
    return IsMoveValid(pos, m, orth, diag);
  }
  // The legal move with this text in the current position (the test needs it).
  Move MoveOf(const char* text) {
    const Move m = Find(LegalMoves(pos), text);
    EXPECT_NE(m, NoMove) << text;
    return m;
  }
};

TEST_F(Legality, StartPositionOrder) {
  Load(StartFen);
  EXPECT_EQ(
      Text(LegalMoves(pos)),
      "b1a3 b1c3 g1f3 g1h3 a2a3 b2b3 c2c3 d2d3 e2e3 f2f3 g2g3 h2h3 a2a4 b2b4 c2c4 d2d4 e2e4 f2f4 g2g4 h2h4");
}

TEST_F(Legality, FullListOrder) {
  // Promotions: captures by 7, by 9, then the push, each Queen, Knight, Rook, Bishop; the king last.
  Load("r1n1k3/1P6/8/8/8/8/8/7K w - -");
  EXPECT_EQ(Text(LegalMoves(pos)),
            "b7a8q b7a8n b7a8r b7a8b b7c8q b7c8n b7c8r b7c8b b7b8q b7b8n b7b8r b7b8b h1g1 h1g2 h1h2");
  // Pinned pieces first, along their lines; then castling, knights, bishops, rooks, queens.
  Load("6k1/8/8/8/1b6/8/3B4/R2QK2R w KQ -");
  EXPECT_EQ(Text(LegalMoves(pos)),
            "d2c3 d2b4 e1g1 a1b1 a1c1 a1a2 a1a3 a1a4 a1a5 a1a6 a1a7 a1a8 h1f1 h1g1 h1h2 h1h3 h1h4 h1h5 h1h6 "
            "h1h7 h1h8 d1b1 d1c1 d1c2 d1e2 d1b3 d1f3 d1a4 d1g4 d1h5 e1f1 e1e2 e1f2");
}

TEST_F(Legality, InCheckNoCastlingAndNoPinnedPiece) {
  // The pinned knight could block on e4; the rooks have the right but not the chance.
  Load("4r1k1/8/8/b7/8/8/3N4/R3K2R w KQ -");
  EXPECT_EQ(Text(LegalMoves(pos)), "e1d1 e1f1 e1f2");
  EXPECT_EQ(Sorted(LegalMoves(pos)), Sorted(Staged(pos)));
  Load("4r1k1/8/8/8/8/8/3N4/R3K2R w KQ -");  // unpinned, it blocks
  EXPECT_TRUE(Contains(LegalMoves(pos), "d2e4"));
  // Checkers on both sides of the king on one rank (only a FEN gives it): taking
  // the near rook leaves the king on the far rook's line.
  Load("8/8/8/8/Rk2R2p/8/8/4K3 b - -");
  EXPECT_EQ(Text(LegalMoves(pos)), "b4b3 b4c3 b4b5 b4c5");
  EXPECT_EQ(Sorted(LegalMoves(pos)), Sorted(Staged(pos)));
}

// Moves collected from many positions are tried in many others: IsMoveValid
// must accept exactly the ones the full generator makes there.
TEST_F(Legality, IsMoveValidAgreesWithTheLegalList) {
  std::vector<Move> pool;
  ForRandomPositions(1, 60, [&](Position* p) {
    for (Move m : LegalMoves(p)) pool.push_back(m);
  });
  std::sort(pool.begin(), pool.end());
  pool.erase(std::unique(pool.begin(), pool.end()), pool.end());
  ASSERT_GT(pool.size(), 5000u);

  Random random{4242};
  int accepted = 0, rejected = 0, specials = 0;
  ForRandomPositions(1, 60, [&](Position* p) {
    u64 checkers, orth, diag;
    if (Checkers(p, &checkers)) return;
    PinRays(p, checkers, &orth, &diag);
    const std::vector<Move> legal = Sorted(LegalMoves(p));
    auto check = [&](Move m) {
      const bool isLegal = std::binary_search(legal.begin(), legal.end(), m);
      ASSERT_EQ(IsMoveValid(p, m, orth, diag), isLegal) << MoveToText(m).text << " 0x" << std::hex << m;
      (isLegal ? accepted : rejected) += 1;
      if (m & (MoveCastleFlag | MoveEnPassantFlag | MovePromotionFlag)) ++specials;
    };
    for (Move m : legal) check(m);
    for (int i = 0; i < 40; ++i) check(pool[random.Next() % pool.size()]);
    // Moves of the same piece type from the same squares, as killers often are.
    for (Move m : pool)
      if (p->colours[p->side] >> MoveFrom(m) & 1 && p->board[MoveFrom(m)] == MovePiece(m)) check(m);
  });
  EXPECT_GT(accepted, 50000);
  EXPECT_GT(rejected, 50000);
  EXPECT_GT(specials, 1000);
}

TEST_F(Legality, IsMoveValidEdgeCases) {
  EXPECT_FALSE(IsMoveValid(pos, NullMove, 0, 0));
  Load(StartFen);
  EXPECT_FALSE(Valid(NullMove));
  EXPECT_FALSE(Valid(NoMove));
  EXPECT_TRUE(Valid(MoveOf("g1f3")));

  // The captured type must still be what stands on the to-square.
  Load("4k3/8/8/3p4/4P3/8/8/4K3 w - -");
  const Move capture = MoveOf("e4d5");
  EXPECT_TRUE(Valid(capture));
  EXPECT_FALSE(Valid((capture & ~(7u << 15)) | Move(Knight) << 15));
  EXPECT_FALSE(Valid(capture & ~(7u << 15)));  // as a non-capture

  // A bishop's path must be open now.
  Load("4k3/8/8/8/8/8/8/2B1K3 w - -");
  const Move bishop = MoveOf("c1h6");
  EXPECT_TRUE(Valid(bishop));
  Load("4k3/8/8/8/8/4P3/8/2B1K3 w - -");
  EXPECT_FALSE(Valid(bishop));

  // A pinned knight never moves.
  Load("4k3/8/8/8/8/8/3N4/4K3 w - -");
  const Move knight = MoveOf("d2f3");
  EXPECT_TRUE(Valid(knight));
  Load("4k3/8/8/b7/8/8/3N4/4K3 w - -");
  EXPECT_FALSE(Valid(knight));

  // Castling needs the right, empty squares and squares not attacked.
  Load("4k3/8/8/8/8/8/8/R3K2R w KQ -");
  const Move shortCastle = MoveOf("e1g1"), longCastle = MoveOf("e1c1");
  EXPECT_TRUE(Valid(shortCastle));
  EXPECT_TRUE(Valid(longCastle));
  Load("4k3/8/8/8/8/8/8/R3K2R w Q -");
  EXPECT_FALSE(Valid(shortCastle));
  EXPECT_TRUE(Valid(longCastle));
  Load("4k3/8/8/8/8/8/8/R3KB1R w KQ -");
  EXPECT_FALSE(Valid(shortCastle));
  Load("4k3/8/8/8/8/8/7p/R3K2R w KQ -");  // the pawn attacks g1
  EXPECT_FALSE(Valid(shortCastle));
  EXPECT_TRUE(Valid(longCastle));
  Load("4k3/8/8/8/8/8/2p5/R3K2R w KQ -");  // the pawn attacks b1 and d1
  EXPECT_TRUE(Valid(shortCastle));
  EXPECT_FALSE(Valid(longCastle));
  Load("4k3/8/8/8/8/n7/8/R3K2R w KQ -");  // only b1 attacked: the king does not cross it
  EXPECT_TRUE(Valid(longCastle));
  Load("r3k2r/8/8/8/8/8/8/4K3 b kq -");
  EXPECT_FALSE(Valid(shortCastle));  // White's castling word with Black to move

  // A pawn's word must point forward for the side to move.
  Load("4k3/8/8/8/8/8/4p3/4K3 w - -");
  EXPECT_FALSE(Valid(MakeMoveWord(Sq("e2"), Sq("e3"), Pawn, Empty)));
}

TEST_F(Legality, IsMoveValidEnPassant) {
  Load("4k3/8/8/4p3/3Pp3/8/8/4K3 b - d3");
  const Move ep = MoveOf("e4d3");
  EXPECT_TRUE(Valid(ep));
  // White's capture e5xd6 as a word, with a black pawn standing on e5: the
  // file matches the en-passant file but the square is not Black's target.
  const Move whiteWord = MakeMoveWord(Sq("e5"), Sq("d6"), Pawn, Pawn) | MoveEnPassantFlag;
  EXPECT_FALSE(Valid(whiteWord));
  Load("4k3/8/8/4p3/3P4/8/8/4K3 b - -");  // no double push just happened
  EXPECT_FALSE(Valid(ep));
  Load("8/8/8/8/R2Pp2k/8/8/4K3 b - d3");  // both pawns leave the king's rank
  EXPECT_FALSE(Valid(ep));
}

TEST_F(Legality, PassedPawnPush) {
  Load("4k3/8/8/8/4P3/8/4P3/4K3 w - -");
  EXPECT_FALSE(IsPassedPawnPush(pos, MoveOf("e2e3")));  // rear pawn of a doubled pair
  EXPECT_TRUE(IsPassedPawnPush(pos, MoveOf("e4e5")));
  EXPECT_FALSE(IsPassedPawnPush(pos, MoveOf("e1d1")));
  Load("4k3/3p4/8/8/4P3/8/8/4K3 w - -");
  EXPECT_FALSE(IsPassedPawnPush(pos, MoveOf("e4e5")));  // enemy pawn ahead on an adjacent file
  Load("4k3/8/8/8/4P3/3p4/8/4K3 w - -");
  EXPECT_TRUE(IsPassedPawnPush(pos, MoveOf("e4e5")));  // the enemy pawn is behind
  Load("4k3/8/8/3p4/8/8/8/4K3 b - -");
  EXPECT_TRUE(IsPassedPawnPush(pos, MoveOf("d5d4")));
}

TEST_F(Legality, FindLegalMoveReadsTokens) {
  Load(StartFen);
  EXPECT_EQ(FindLegalMove(pos, "e2e4"), MoveOf("e2e4"));
  EXPECT_EQ(FindLegalMove(pos, "e2e4\n"), MoveOf("e2e4"));
  EXPECT_EQ(FindLegalMove(pos, "g1f3 b8c6"), MoveOf("g1f3"));
  EXPECT_EQ(FindLegalMove(pos, "e2e5"), NoMove);
  EXPECT_EQ(FindLegalMove(pos, "e7e5"), NoMove);  // not the side to move
  EXPECT_EQ(FindLegalMove(pos, "e2e"), NoMove);
  EXPECT_EQ(FindLegalMove(pos, ""), NoMove);
  EXPECT_EQ(FindLegalMove(pos, "i2i4"), NoMove);
  EXPECT_EQ(FindLegalMove(pos, "e0e4"), NoMove);
  EXPECT_EQ(FindLegalMove(pos, "e2e4q"), NoMove);  // a promotion letter on a plain move

  Load("4k3/1P6/8/8/8/8/8/R3K2R w KQ -");
  EXPECT_EQ(FindLegalMove(pos, "e1g1"), MoveOf("e1g1"));
  EXPECT_NE(FindLegalMove(pos, "e1g1") & MoveCastleFlag, 0u);
  EXPECT_EQ(FindLegalMove(pos, "b7b8n"), MoveOf("b7b8n"));
  EXPECT_EQ(MovePromotionIndex(FindLegalMove(pos, "b7b8b")), 3);
  EXPECT_EQ(FindLegalMove(pos, "b7b8"), NoMove);
  EXPECT_EQ(FindLegalMove(pos, "b7b8k"), NoMove);
  EXPECT_EQ(FindLegalMove(pos, "b7b8K"), NoMove);
  EXPECT_EQ(FindLegalMove(pos, "b7b8X"), NoMove);
  // Promotion letters in upper case name the same moves.
  EXPECT_EQ(FindLegalMove(pos, "b7b8Q"), MoveOf("b7b8q"));
  EXPECT_EQ(FindLegalMove(pos, "b7b8N"), MoveOf("b7b8n"));
  EXPECT_EQ(FindLegalMove(pos, "b7b8R\n"), MoveOf("b7b8r"));
  EXPECT_EQ(FindLegalMove(pos, "b7b8B"), MoveOf("b7b8b"));
  EXPECT_EQ(FindLegalMove(pos, "e1g1Q"), NoMove);
}

}  // namespace
