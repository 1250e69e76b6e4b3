#include "search/extensions.h"

#include <span>

#include "tests/search/search_test_support.h"

namespace {

using GivesCheckTest = SearchTest;

struct CriticalCase {
  const char* fen;
  const char* move;
  bool critical;
};

class CriticalMoveTest : public SearchTest {
 protected:
  void Check(std::span<const CriticalCase> cases) {
    for (const CriticalCase& c : cases) {
      Load(c.fen);
      EXPECT_EQ(IsCriticalMove(pos.get(), M(c.move)), c.critical) << c.fen << " " << c.move;
    }
  }
};
using NewDepthTest = SearchTest;

// Whether the move checks, found by making it.
bool ChecksAfterMaking(const Position* pos, Move m) {
  Position after = *pos;
  UndoRecord undo;
  MakeMove(&after, m, &undo);
  return IsAttacked(&after, pos->side, after.kingSquare[after.side]);
}

// A castling move whose rook checks along the enemy king's rank (the one check
// GivesCheck leaves out by design).
bool IsCastlingRookRankCheck(const Position* pos, Move m) {
  if (!(m & MoveCastleFlag)) return false;
  const int rook = MoveTo(m) > MoveFrom(m) ? MoveTo(m) - 1 : MoveTo(m) + 1;
  const int king = pos->kingSquare[pos->side ^ 1];
  return RankOf(rook) == RankOf(king);
}

bool AskGivesCheck(const Position* pos, Move m) {
  u64 discOrth = 0, discDiag = 0, checkSquares[King + 1];
  DiscoveredRays(pos, &discOrth, &discDiag);
  DirectCheckSquares(pos, checkSquares);
  return GivesCheck(pos, m, discOrth, discDiag, checkSquares);
}

TEST_F(GivesCheckTest, AgreesWithMakingTheMoveOverRandomGames) {
  const std::vector<Position> positions = RandomGamePositions(60, 100, 0xA5A5A5A5ull);
  int checks = 0, moves = 0;
  for (size_t n = 0; n < positions.size(); ++n) {
    const Position* p = &positions[n];
    for (Move m : LegalMoves(p)) {
      ++moves;
      const bool made = ChecksAfterMaking(p, m);
      checks += made;
      if (made && IsCastlingRookRankCheck(p, m)) continue;
      ASSERT_EQ(AskGivesCheck(p, m), made) << "position " << n << " move " << Text(m);
    }
  }
  EXPECT_GT(moves, 50000);
  EXPECT_GT(checks, 1000);
}

TEST_F(GivesCheckTest, SpecialMoves) {
  struct Case {
    const char* fen;
    const char* move;
    bool checks;
    const char* why;
  };
  const Case cases[] = {
      {"5k2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", true, "castling rook checks along the file"},
      {"3k4/8/8/8/8/8/8/R3K3 w Q - 0 1", "e1c1", true, "queen-side rook checks along the file"},
      {"8/8/8/8/8/8/8/1k2K2R w K - 0 1", "e1g1", false, "castling rook along the rank is not counted"},
      {"8/8/8/R2Pp2k/8/8/8/4K3 w - e6 0 1", "d5e6", true, "en passant empties two squares of the rank"},
      {"7k/8/8/5b2/3pP3/8/8/1K6 b - e3 0 1", "d4e3", true, "bishop sees through the captured pawn's square"},
      {"8/6K1/8/8/3pP3/8/8/b6k b - e3 0 1", "d4e3", true, "capturing pawn leaves the bishop's diagonal"},
      {"8/2k5/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", true, "the capturing pawn checks"},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", false, "en passant without a check"},
      {"1k6/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", true, "promoted queen checks along the rank"},
      {"1k6/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8b", false, "promoted bishop does not"},
      {"8/4P3/3k4/8/8/8/8/4K3 w - - 0 1", "e7e8n", true, "knight promotion checks"},
      {"8/4P3/2k5/8/8/8/8/4K3 w - - 0 1", "e7e8n", false, "knight on e8 misses c6"},
      {"8/4P3/8/8/8/8/4k3/K7 w - - 0 1", "e7e8q", true, "promoted queen checks through the square it left"},
      {"8/8/3k4/8/4P3/8/8/4K3 w - - 0 1", "e4e5", true, "pawn push checks"},
      {"3k4/8/8/8/8/8/3B4/3RK3 w - - 0 1", "d2h6", true, "bishop leaves the file: discovered check"},
      {"3k4/8/8/8/8/3P4/8/3QK3 w - - 0 1", "d3d4", false, "pawn pushes along the queen's file"},
      {"7k/8/8/8/3R4/8/8/K7 w - - 0 1", "d4d8", true, "rook slides along the file to the rank"},
  };
  for (const Case& c : cases) {
    Load(c.fen);
    const Move m = M(c.move);
    EXPECT_EQ(ChecksAfterMaking(pos.get(), m), c.checks || IsCastlingRookRankCheck(pos.get(), m)) << c.why;
    EXPECT_EQ(AskGivesCheck(pos.get(), m), c.checks) << c.why << "\n  " << c.fen << " " << c.move;
  }
}

TEST_F(CriticalMoveTest, CapturesThatLeaveOnlyKingsAndPawns) {
  const CriticalCase cases[] = {
      {"7k/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4d5", true},     // pawn takes the last piece
      {"7k/8/8/8/8/8/3n4/4K3 w - - 0 1", "e1d2", true},       // king takes the last piece
      {"7k/8/8/3n4/8/4N3/8/4K3 w - - 0 1", "e3d5", false},    // a knight is not one of the capturing kinds
      {"7k/8/8/3n4/4P3/8/8/4K1N1 w - - 0 1", "e4d5", false},  // a white knight remains
      {"7k/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5", false},    // a pawn capture of a pawn
  };
  Check(cases);
}

TEST_F(CriticalMoveTest, QueenMiddlegameWithAnOpenOwnKing) {
  const CriticalCase cases[] = {
      // Queen takes the last rook; black keeps its queen; white's king on d4 sees
      // 27 squares along its lines.
      {"q6k/r7/8/8/3K4/8/8/Q7 w - - 0 1", "a1a7", true},
      // The same capture with the king boxed in on h1 (3 squares).
      {"q6k/r7/8/8/8/8/6PP/6QK w - - 0 1", "g1a7", false},
      // Without a black queen there is no danger to the king.
      {"7k/r7/8/8/3K4/8/8/Q7 w - - 0 1", "a1a7", false},
  };
  Check(cases);
}

TEST_F(CriticalMoveTest, PawnStormAgainstTheKingOnTheOtherWing) {
  const CriticalCase cases[] = {
      // White king g1, black king c8, queens and rooks on the board; c4-c5 attacks
      // the knight on d6 and nothing takes on c5.
      {"r1k4r/8/3n4/8/2P5/8/5PPP/3Q2KR w - - 0 1", "c4c5", true},
      // The black king on d8 still counts as a queen-side king.
      {"r2k3r/8/3n4/8/2P5/8/5PPP/3Q2KR w - - 0 1", "c4c5", true},
      // Black king on g8: both kings on the same wing.
      {"r5kr/8/3n4/8/2P5/8/5PPP/3Q2KR w - - 0 1", "c4c5", false},
      // The pawn on c5 would be taken by b6 and lost.
      {"r1k4r/8/1p1n4/8/2P5/8/5PPP/3Q2KR w - - 0 1", "c4c5", false},
      // A push to the fourth rank is too early.
      {"r1k4r/8/8/3n4/8/2P5/5PPP/3Q2KR w - - 0 1", "c3c4", false},
      // No black man attacked from c5.
      {"r1k4r/8/8/3n4/2P5/8/5PPP/3Q2KR w - - 0 1", "c4c5", false},
      // No queen on the board.
      {"r1k4r/8/3n4/8/2P5/8/5PPP/6KR w - - 0 1", "c4c5", false},
      // A push on the d-file is neither a queen-side (a-c) nor a king-side (f-h) storm.
      {"r1k4r/8/2n5/8/3P4/8/5PPP/3Q2KR w - - 0 1", "d4d5", false},
      // King-side storm: white king c1, black king g8, g4-g5 attacks the knight on f6.
      {"r5kr/8/5n2/8/6P1/8/PPP5/1KRQ4 w - - 0 1", "g4g5", true},
      // Black storms too: black king g8, white king c1, ...b5-b4 attacks the knight on c3.
      {"r5kr/8/8/1p6/8/2N5/8/2KQ3R b - - 0 1", "b5b4", true},
  };
  Check(cases);
}

TEST_F(CriticalMoveTest, HeavyPiecesDoublingNextToTheKing) {
  const CriticalCase cases[] = {
      // Ra4-e4 joins the rook on e1 on the open file next to the black king.
      {"3k4/8/8/8/R7/8/8/4R1K1 w - - 0 1", "a4e4", true},
      // A queen counts as the partner; the king on the other neighbouring file.
      {"5k2/8/8/8/R7/8/8/4Q1K1 w - - 0 1", "a4e4", true},
      // A pawn on the file.
      {"3k4/4p3/8/8/R7/8/8/4R1K1 w - - 0 1", "a4e4", false},
      // Partner in the enemy half.
      {"3k4/8/8/4R3/R7/8/8/6K1 w - - 0 1", "a4e4", false},
      // King two files away.
      {"6k1/8/8/8/R7/8/8/4R1K1 w - - 0 1", "a4e4", false},
      // Staying on its file.
      {"3k4/8/8/8/8/4R3/8/4R1K1 w - - 0 1", "e3e4", false},
      // The knight on f6 takes on e4 and the rook is lost for a knight.
      {"3k4/8/5n2/8/R7/8/8/4R1K1 w - - 0 1", "a4e4", false},
      // Black doubles in its own half (ranks 5-8).
      {"4r1k1/8/8/r7/8/8/8/3K4 b - - 0 1", "a5e5", true},
  };
  Check(cases);
}

class NewDepthFixture : public NewDepthTest {
 protected:
  // Depth of the child of `text` at a node of depth 5.0 at ply 2.
  f32 Child(const char* text, bool pvNode, Move previous = NoMove) {
    const int ply = 2;
    plies[ply - 1].currentMove = previous;
    MovePicker* picker = &plies[ply].picker;
    const int checks = Prepare(picker, pos.get());
    picker->inCheckCount = u32(checks);
    if (checks) {
      // The evasion stage has run by the time a move is handed out.
      picker->stages = StageBit(StageEvasions);
      NextMove(picker, pos.get(), engine->stats.historyScore);
    }
    return NewDepth(engine, pos.get(), 5.0f, ply, M(text), pvNode, checks != 0, picker);
  }
};

TEST_F(NewDepthFixture, SingleReplyToCheck) {
  // Rook check along the first rank: Re2-e1 is the only reply.
  Load("k7/8/8/8/8/8/4RPPP/r5K1 w - - 0 1");
  EXPECT_EQ(Child("e2e1", false), 5.0f);
  EXPECT_EQ(Child("e2e1", true), 5.0f);
  // With a bishop on d4 there are two replies: no extension.
  Load("k7/8/8/8/3B4/8/4RPPP/r5K1 w - - 0 1");
  EXPECT_EQ(Child("e2e1", false), 4.0f);
  EXPECT_EQ(Child("d4a1", false), 4.0f);
}

TEST_F(NewDepthFixture, ChecksLosingChecksAtNonPvNodes) {
  // Qa4+ hangs the queen to the knight on b6.
  Load("4k3/8/1n6/8/8/8/8/3QK3 w - - 0 1");
  EXPECT_EQ(Child("d1a4", false), 4.5f);
  EXPECT_EQ(Child("d1a4", true), 5.0f);
  EXPECT_EQ(Child("d1e2", false), 5.0f) << "a safe check";
  EXPECT_EQ(Child("d1c2", false), 4.0f) << "no check";
  // f6-f7+ loses exactly a pawn: not below -100, full extension.
  Load("4k3/8/5P2/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(Child("f6f7", false), 5.0f);
}

TEST_F(NewDepthFixture, PassedPawnToTheSixthRankAtPvNodesOnly) {
  Load("4k3/8/8/3P4/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(Child("d5d6", true), 5.0f);
  EXPECT_EQ(Child("d5d6", false), 4.0f);
  Load("4k3/8/8/8/3P4/8/8/4K3 w - - 0 1");
  EXPECT_EQ(Child("d4d5", true), 4.0f) << "fifth rank";
  Load("4k3/2p5/8/3P4/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(Child("d5d6", true), 4.0f) << "an enemy pawn ahead on the next file";
  // Black pushes to its sixth rank (rank 3).
  Load("4k3/8/8/8/4p3/8/8/K7 b - - 0 1");
  EXPECT_EQ(Child("e4e3", true), 5.0f);
}

TEST_F(NewDepthFixture, RecaptureOfEqualValueAtPvNodesOnly) {
  const Move rookTookRook = MakeMoveWord(Sq("d8"), Sq("d5"), Rook, Rook);
  const Move bishopTookKnight = MakeMoveWord(Sq("a8"), Sq("d5"), Bishop, Knight);
  const Move quietToD5 = MakeMoveWord(Sq("d8"), Sq("d5"), Rook, Empty);
  const Move rookTookRookElsewhere = MakeMoveWord(Sq("d8"), Sq("d6"), Rook, Rook);
  Load("4k3/8/8/3r4/8/8/8/3RK3 w - - 0 1");
  EXPECT_EQ(Child("d1d5", true, rookTookRook), 5.0f);
  EXPECT_EQ(Child("d1d5", false, rookTookRook), 4.0f);
  EXPECT_EQ(Child("d1d5", true, quietToD5), 4.0f);
  EXPECT_EQ(Child("d1d5", true, rookTookRookElsewhere), 4.0f);
  // Knight takes back a bishop where the bishop took a knight: same value.
  Load("4k3/8/8/3b4/8/4N3/8/4K3 w - - 0 1");
  EXPECT_EQ(Child("e3d5", true, bishopTookKnight), 5.0f);
  // Rook takes a knight where a rook was taken: 330 against 500.
  Load("4k3/8/8/3n4/8/8/8/3RK3 w - - 0 1");
  EXPECT_EQ(Child("d1d5", true, rookTookRook), 4.0f);
}

TEST_F(NewDepthFixture, CriticalMoveAtPvNodesOnly) {
  Load("7k/8/8/3n4/4P3/8/8/4K3 w - - 0 1");
  EXPECT_EQ(Child("e4d5", true), 5.0f);
  EXPECT_EQ(Child("e4d5", false), 4.0f);
  // The king and the rook are among the kinds that can make one.
  Load("7k/8/8/8/8/8/3n4/4K3 w - - 0 1");
  EXPECT_EQ(Child("e1d2", true), 5.0f) << "the king takes the last piece";
  Load("4r1k1/8/8/r7/8/8/8/3K4 b - - 0 1");
  EXPECT_EQ(Child("a5e5", true), 5.0f) << "rooks doubled next to the king";
}

#ifdef TARVO_TUNE
// Only the tuning build can give each extension its own amount, so that the
// result names the rule used.
TEST_F(NewDepthFixture, FirstApplyingRuleDecides) {
  Constants.extSingleReply = Constants.extSingleReplyPv = 0.125f;
  Constants.extCheck = 0.25f;
  Constants.extCheckLosing = 0.25f;
  Constants.extPassedPawn = Constants.extPassedPawnPv = 0.375f;
  Constants.extRecapture = Constants.extRecapturePv = 0.5f;
  Constants.extCritical = Constants.extCriticalPv = 0.625f;
  RestoreConstantsAtExit restore;

  // The only reply to a knight check, h2×g3, also checks the king on h4.
  Load("8/8/8/8/7k/6n1/6PP/6RK w - - 0 1");
  EXPECT_EQ(Child("h2g3", false), 4.125f) << "single reply before check";
  // A passed pawn's push to the seventh rank that checks.
  Load("4k3/8/3P4/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(Child("d6d7", true), 4.25f) << "check before passed pawn";
  // A passed pawn retaking on the sixth rank.
  Load("7k/8/2n5/3P4/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(Child("d5c6", true, MakeMoveWord(Sq("b8"), Sq("c6"), Knight, Knight)), 4.375f)
      << "passed pawn before recapture";
  // A pawn retaking the last piece: recapture and critical both apply.
  Load("7k/8/8/3n4/4P3/8/8/4K3 w - - 0 1");
  EXPECT_EQ(Child("e4d5", true, MakeMoveWord(Sq("b6"), Sq("d5"), Knight, Knight)), 4.5f)
      << "recapture before critical";
  EXPECT_EQ(Child("e4d5", true), 4.625f) << "critical alone";
}
#endif

}  // namespace
