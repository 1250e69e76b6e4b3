#include <cstdio>
#include <cstring>
#include <string>

#include "tests/board/board_test_support.h"

namespace {

class Fen : public BoardTest {};

TEST_F(Fen, StartPosition) {
  Load(StartFen);
  EXPECT_EQ(pos->side, White);
  EXPECT_EQ(pos->castling, 15);
  EXPECT_EQ(pos->epFile, 0);
  EXPECT_EQ(pos->fifty, 0);
  EXPECT_EQ(pos->historyCount, 0u);
  EXPECT_EQ(pos->material, 0);
  EXPECT_EQ(pos->pstOpening, 0);  // mirrored, negated tables cancel out
  EXPECT_EQ(pos->pstEndgame, 0);
  EXPECT_EQ(pos->materialIndex, 236195);
  EXPECT_EQ(pos->kingSquare[White], Sq("e1"));
  EXPECT_EQ(pos->kingSquare[Black], Sq("e8"));
  EXPECT_EQ(pos->occupied, 0xFFFF00000000FFFFull);
  EXPECT_EQ(pos->pieces[Knight], 0x4200000000000042ull);
  EXPECT_EQ(pos->colours[Black], 0xFFFF000000000000ull);
  EXPECT_EQ(pos->board[Sq("d8")], Queen);
  EXPECT_EQ(pos->pieces[Empty] | pos->pieces[7], 0u);
  const char* what = "";
  EXPECT_TRUE(PositionIsOk(pos, &what)) << what;
}

TEST_F(Fen, DerivedFieldsOfUnbalancedPositions) {
  Load("4k3/8/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(pos->materialIndex, 0);
  EXPECT_EQ(pos->material, 0);
  EXPECT_EQ(pos->key, ZobristPiece[White][King][Sq("e1")] ^ ZobristPiece[Black][King][Sq("e8")]);
  EXPECT_EQ(pos->pawnKey, 0u);

  // Three white knights overflow their digit: the index is the plain weighted sum.
  Load("4k3/2p5/8/8/8/8/8/1NNNK3 w - -");
  EXPECT_EQ(pos->materialIndex, 3 * 972 + 2916);
  EXPECT_EQ(pos->material, 3 * 330 - 100);
  EXPECT_EQ(pos->pawnKey, ZobristPawn[Black][Sq("c7")]);
  EXPECT_EQ(pos->pstOpening,
            PieceSquareValue[White][Knight][1].opening + PieceSquareValue[White][Knight][2].opening +
                PieceSquareValue[White][Knight][3].opening + PieceSquareValue[White][King][4].opening +
                PieceSquareValue[Black][King][60].opening + PieceSquareValue[Black][Pawn][Sq("c7")].opening);
  EXPECT_TRUE(PositionIsOk(pos, nullptr));
}

TEST_F(Fen, OptionalFieldsAndLineEnds) {
  Load("8/8/3k2pp/3p1p2/1K6/4PPPP/8/8 w - -");
  EXPECT_EQ(pos->side, White);
  EXPECT_EQ(pos->castling, 0);
  EXPECT_EQ(pos->epFile, 0);
  EXPECT_EQ(pos->fifty, 0);

  Load("8/8/3k2pp/3p1p2/1K6/4PPPP/8/8 b");
  EXPECT_EQ(pos->side, Black);
  Load("r3k2r/8/8/8/8/8/8/R3K2R");
  EXPECT_EQ(pos->side, White);
  EXPECT_EQ(pos->castling, 0);
  Load("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 57 80\r\n");
  EXPECT_EQ(pos->side, Black);
  EXPECT_EQ(pos->castling, 15);
  EXPECT_EQ(pos->fifty, 57);
  // Nothing after a line end is read.
  Load("r3k2r/8/8/8/8/8/8/R3K2R w\nb KQkq");
  EXPECT_EQ(pos->side, White);
  EXPECT_EQ(pos->castling, 0);
  Load("r3k2r/8/8/8/8/8/8/R3K2R b Kq\n");
  EXPECT_EQ(pos->castling, CastleWhiteKing | CastleBlackQueen);
}

TEST_F(Fen, HalfmoveClockIsRead) {
  const struct {
    const char* tail;
    int fifty;
  } cases[] = {
      {" - 0 1", 0},
      {" - 57 80", 57},
      {" - 99", 99},
      {" -\t42\t7", 42},
      {" - 255 300", 255},
      {" - 256 300", 255},
      {" - 99999999999999999999 1", 255},
      {" - 12\n", 12},
      {" - 12\r\n", 12},
      {" - -3 1", 0},
      {" - x 1", 0},
      {" - 12x 1", 0},
      {" - 1.5 1", 0},
      {" -", 0},
      {" - \n34", 0},
      {" e3 17 9", 17},
  };
  for (const auto& c : cases) {
    const std::string fen = std::string("4k3/8/8/8/4P3/8/8/4K3 b -") + c.tail;
    pos->fifty = 200;
    Load(fen.c_str());
    EXPECT_EQ(pos->fifty, c.fifty) << fen;
  }
  // The clock does not enter the key: only the draw rule reads it.
  Load("4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
  const u64 key = pos->key;
  Load("4k3/8/8/8/8/8/8/3QK3 w - - 99 1");
  EXPECT_EQ(pos->key, key);
}

// A game position written as FEN loads back with the counters play gave it,
// and play goes on counting from there.
TEST_F(Fen, HalfmoveClockRoundTripsThroughPlay) {
  Load(StartFen);
  for (const char* token : {"g1f3", "g8f6", "f3g1", "f6g8", "b1c3"}) {
    UndoRecord undo;
    MakeMove(pos, MoveFromText(pos, token), &undo);
  }
  const Position played = *pos;
  ASSERT_EQ(played.fifty, 5);
  Load("rnbqkbnr/pppppppp/8/8/8/2N5/PPPPPPPP/R1BQKBNR b KQkq - 5 3");
  EXPECT_EQ(pos->fifty, played.fifty);
  EXPECT_EQ(pos->key, played.key);
  EXPECT_EQ(pos->materialIndex, played.materialIndex);

  UndoRecord undo;
  Move knight = MoveFromText(pos, "g8f6");
  MakeMove(pos, knight, &undo);
  EXPECT_EQ(pos->fifty, 6);
  UnmakeMove(pos, knight, &undo);
  EXPECT_EQ(pos->fifty, 5);
  MakeMove(pos, MoveFromText(pos, "e7e5"), &undo);
  EXPECT_EQ(pos->fifty, 0);

  // The largest clock kept stays there while play goes on.
  Load("4k3/8/8/8/8/8/8/3QK3 w - - 255 200");
  MakeMove(pos, MoveFromText(pos, "d1d2"), &undo);
  EXPECT_EQ(pos->fifty, 255);
}

TEST_F(Fen, SideToMoveChangesKeyByTheSideKeyOnly) {
  Load("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4");
  const u64 white = pos->key;
  Load("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 4 4");
  EXPECT_EQ(white ^ pos->key, ZobristSide);
  Load("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b Kkq - 4 4");
  EXPECT_NE(white ^ pos->key, ZobristSide);
}

TEST_F(Fen, RefusedTextLeavesPositionUntouched) {
  const char* refused[] = {
      "",
      "\n",
      "rnbqkbnr/ppppxppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",    // unknown letter
      "rnbqkbnr/pppp0ppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",    // digit 0
      "rnbqkbnr/ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",     // seven squares
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1",     // last rank short
      "rnbqkbnr/pppppppp1/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",   // nine squares
      "rnbqkbnrp/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",   // piece off the board
      "rnbqkbnr/pppppppp/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",      // seven ranks
      "rnbqkbnr/pppppppp/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",  // nine ranks
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/ w KQkq - 0 1",   // trailing slash
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKB",                   // text ends early
      "rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ - 0 1",      // no black king
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBKR w KQkq - 0 1",    // two white kings
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNp w KQkq - 0 1",    // pawn on rank 1
      "rnbqkbnP/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",    // pawn on rank 8
      "4k3/8/8/8/8/8/8/4R1K1 w - -",                                 // side not to move in check
      "4k3/8/8/8/8/8/3p4/4K3 b - -",                                 // the same by a pawn
      "4k3/8/8/8/8/8/8/4K3 x - -",                                   // side letter
      "4k3/8/8/8/8/8/8/4K3 white - -",                               // side word
      "4k3/8/8/8/8/8/8/4K3 w KX -",                                  // castling letter
      "4k3/8/8/8/8/8/8/4K3 w -K -",                                  // rights after '-'
      "4k3/8/8/8/8/8/8/4K3 w - e9",                                  // en-passant rank
      "4k3/8/8/8/8/8/8/4K3 w - i6",                                  // en-passant file
      "4k3/8/8/8/8/8/8/4K3 w - e",                                   // en-passant rank missing
  };
  Load("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 4 4");
  const Position before = *pos;
  for (const char* fen : refused) {
    EXPECT_FALSE(LoadFen(pos, fen)) << fen;
    EXPECT_EQ(std::memcmp(pos, &before, sizeof(Position)), 0) << fen;
  }
  // The side to move may stand in check.
  EXPECT_TRUE(LoadFen(pos, "4k3/8/8/8/8/8/8/4R1K1 b - -"));
  EXPECT_TRUE(LoadFen(pos, "4k3/8/8/8/8/8/3p4/4K3 w - -"));
}

TEST_F(Fen, HistoryEntriesAreLeftButNotCounted) {
  Load(StartFen);
  pos->history[0] = 0x1234;
  pos->historyCount = 1;
  Load("4k3/8/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(pos->historyCount, 0u);
  EXPECT_EQ(pos->history[0], 0x1234u);
}

TEST_F(Fen, CastlingRightsNeedKingAndRookAtHome) {
  Load("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  EXPECT_EQ(pos->castling, 15);
  const u64 full = pos->key;
  Load("r3k2r/8/8/8/8/8/8/R3K1R1 w KQkq -");  // rook on g1
  EXPECT_EQ(pos->castling, 15 & ~CastleWhiteKing);
  Load("r3k2r/8/8/8/8/8/8/R2K3R w KQkq -");  // king on d1
  EXPECT_EQ(pos->castling, CastleBlackKing | CastleBlackQueen);
  Load("1r2k2r/8/8/8/8/8/8/R3K2R w KQkq -");  // rook on b8
  EXPECT_EQ(pos->castling, 15 & ~CastleBlackQueen);
  Load("r3k2r/8/8/8/8/8/8/R3K2r w KQkq -");  // black rook on h1
  EXPECT_EQ(pos->castling, 15 & ~CastleWhiteKing);
  Load("r3k2r/8/8/8/8/8/8/R3K2R w Kq -");
  EXPECT_EQ(pos->castling, CastleWhiteKing | CastleBlackQueen);
  EXPECT_EQ(pos->key ^ full, ZobristCastle[CastleWhiteQueen | CastleBlackKing]);
}

TEST_F(Fen, EnPassantFieldKeptOnlyBehindADoublePushedPawn) {
  // No black pawn can take on e3, but the white pawn did just pass it.
  Load("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  EXPECT_EQ(pos->epFile, 5);
  const u64 withTarget = pos->key;
  Load("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(withTarget ^ pos->key, ZobristEnPassant[5]);

  Load("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3");
  EXPECT_EQ(pos->epFile, 6);
  EXPECT_TRUE(PositionIsOk(pos, nullptr));

  struct Phantom {
    const char* fen;
    const char* field;
  };
  const Phantom phantoms[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e6 0 1", "e6"},       // no pawn on e5
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq e3 0 1", "e3"},       // no pawn on e4
      {"rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d3 0 1", "d3"},    // rank of the other side
      {"rnbqkbnr/ppp1pppp/3b4/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 1", "d6"},  // target square occupied
      {"rnbqkbnr/pppppppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 1", "d6"},    // the pawn's origin occupied
      {"rnbqkbnr/ppp1pppp/8/3PP3/8/8/PPP2PPP/RNBQKBNR w KQkq d6 0 1", "d6"},     // own pawn, not the enemy's
  };
  for (const Phantom& p : phantoms) {
    Load(p.fen);
    EXPECT_EQ(pos->epFile, 0) << p.fen;
    const u64 key = pos->key;
    char plain[100];
    std::snprintf(plain, sizeof plain, "%s", p.fen);
    char* field = std::strstr(plain, p.field);
    field[0] = '-', field[1] = ' ';
    Load(plain);
    EXPECT_EQ(pos->key, key) << plain;
  }
}

TEST_F(Fen, MoveFromTextBuildsWordsFromTheBoard) {
  Load("r5k1/4P3/8/3pP3/8/8/1p6/R3K2R w KQ d6 0 1");
  EXPECT_EQ(MoveFromText(pos, "e1g1"), 0x106184u);
  EXPECT_EQ(MoveFromText(pos, "e1c1"), 0x106084u);
  EXPECT_EQ(MoveFromText(pos, "e1f1"), MakeMoveWord(Sq("e1"), Sq("f1"), King, Empty));
  EXPECT_EQ(MoveFromText(pos, "e5d6"), MakeMoveWord(Sq("e5"), Sq("d6"), Pawn, Pawn) | MoveEnPassantFlag);
  EXPECT_EQ(MoveFromText(pos, "e5e6"), MakeMoveWord(Sq("e5"), Sq("e6"), Pawn, Empty));
  EXPECT_EQ(MoveFromText(pos, "a1a8"), MakeMoveWord(Sq("a1"), Sq("a8"), Rook, Rook));
  const Move queen = MoveFromText(pos, "e7e8q"), knight = MoveFromText(pos, "e7e8n");
  EXPECT_EQ(queen, MakeMoveWord(Sq("e7"), Sq("e8"), Pawn, Empty) | MovePromotionFlag);
  EXPECT_EQ(queen ^ knight, 1u << 22);
  EXPECT_EQ(MoveFromText(pos, "e7e8r") ^ queen, 2u << 22);
  EXPECT_EQ(MoveFromText(pos, "e7e8b") ^ queen, 3u << 22);
  EXPECT_EQ(MoveFromText(pos, "e1g1 e8g8"), 0x106184u);  // only the token's first characters count

  // Tokens that make-move could not play consistently.
  EXPECT_EQ(MoveFromText(pos, "e7e8Q"), queen);  // either case names the piece
  EXPECT_EQ(MoveFromText(pos, "e7e8N"), knight);
  EXPECT_EQ(MoveFromText(pos, "e7e8R") ^ queen, 2u << 22);
  EXPECT_EQ(MoveFromText(pos, "e7e8B") ^ queen, 3u << 22);
  EXPECT_EQ(MoveFromText(pos, "e7e8K"), NoMove);
  EXPECT_EQ(MoveFromText(pos, "e7e8"), NoMove);
  EXPECT_EQ(MoveFromText(pos, "e2e4"), NoMove);   // empty from-square
  EXPECT_EQ(MoveFromText(pos, "b2b1q"), NoMove);  // the opponent's pawn
  EXPECT_EQ(MoveFromText(pos, "a1e1"), NoMove);   // own piece on the to-square
  EXPECT_EQ(MoveFromText(pos, "e5f6"), NoMove);   // en passant on the wrong file
  EXPECT_EQ(MoveFromText(pos, "e1g"), NoMove);
  EXPECT_EQ(MoveFromText(pos, ""), NoMove);
  EXPECT_EQ(MoveFromText(pos, "e1i1"), NoMove);
  EXPECT_EQ(MoveFromText(pos, "e0e1"), NoMove);
  EXPECT_EQ(MoveFromText(pos, "E1G1"), NoMove);

  // A rook on e1 does not castle; nor does a king without the right.
  Load("3k4/8/8/8/8/8/8/K3R3 w - -");
  EXPECT_EQ(MoveFromText(pos, "e1g1"), MakeMoveWord(Sq("e1"), Sq("g1"), Rook, Empty));
  Load("r3k2r/8/8/8/8/8/8/R3K2R b Kk -");
  EXPECT_EQ(MoveFromText(pos, "e8g8"), 0x106FBCu);
  EXPECT_EQ(MoveFromText(pos, "e8c8"), NoMove);

  // Black's double push, and a black underpromotion with capture.
  Load("4k3/p7/8/8/8/8/1p6/R3K3 b - -");
  EXPECT_EQ(MoveFromText(pos, "a7a5"), MakeMoveWord(Sq("a7"), Sq("a5"), Pawn, Empty) | MoveDoublePushFlag);
  EXPECT_EQ(MoveFromText(pos, "b2a1n"),
            MakeMoveWord(Sq("b2"), Sq("a1"), Pawn, Rook) | MovePromotionFlag | 1u << 22);
}

TEST_F(Fen, MoveToText) {
  EXPECT_STREQ(MoveToText(NullMove).text, "null");
  EXPECT_STREQ(MoveToText(NoMove).text, "none");
  EXPECT_STREQ(MoveToText(0x106184).text, "e1g1");
  EXPECT_STREQ(MoveToText(0x106EBC).text, "e8c8");
  EXPECT_STREQ(MoveToText(MakeMoveWord(Sq("b2"), Sq("a1"), Pawn, Rook) | MovePromotionFlag | 1u << 22).text,
               "b2a1n");
  EXPECT_STREQ(MoveToText(MakeMoveWord(Sq("h7"), Sq("h8"), Pawn, 0) | MovePromotionFlag | 3u << 22).text,
               "h7h8b");

  Load("r5k1/4P3/8/3pP3/8/8/1p6/R3K2R w KQ d6 0 1");
  for (const char* token : {"e1g1", "e1c1", "e5d6", "e7e8q", "e7e8n", "e7e8r", "e7e8b", "h1h8", "a1d1"})
    EXPECT_STREQ(MoveToText(MoveFromText(pos, token)).text, token);
}

TEST_F(Fen, PositionIsOkNamesTheCorruptedField) {
  Load("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4");
  const Position good = *pos;
  struct Case {
    const char* field;
    void (*corrupt)(Position*);
  };
  const Case cases[] = {
      {"side", [](Position* p) { p->side = 2; }},
      {"epFile", [](Position* p) { p->epFile = 9; }},
      {"castling", [](Position* p) { p->castling = 16; }},
      {"colours", [](Position* p) { p->colours[Black] |= 1; }},
      {"board", [](Position* p) { p->board[Sq("e4")] = Empty; }},
      {"board", [](Position* p) { p->board[Sq("e3")] = Knight; }},
      {"pieces", [](Position* p) { p->board[Sq("e4")] = Queen; }},
      {"pieces", [](Position* p) { p->pieces[7] = 1; }},
      {"pieces", [](Position* p) { p->pieces[Empty] = 1ull << 20; }},
      {"kingSquare", [](Position* p) { p->kingSquare[Black] = Sq("d8"); }},
      {"occupied", [](Position* p) { p->occupied ^= 1ull << 20; }},
      {"occupiedFiles", [](Position* p) { p->occupiedFiles ^= SquareMaskFiles[20]; }},
      {"occupiedAntiDiagonals", [](Position* p) { p->occupiedAntiDiagonals ^= SquareMaskAnti[20]; }},
      {"occupiedDiagonals", [](Position* p) { p->occupiedDiagonals ^= SquareMaskDiag[20]; }},
      {"key", [](Position* p) { p->castling = 7; }},
      {"key", [](Position* p) { p->side = Black; }},
      {"pawnKey", [](Position* p) { p->pawnKey ^= 1; }},
      {"materialIndex", [](Position* p) { p->materialIndex -= 1; }},
      {"material", [](Position* p) { p->material += 100; }},
      {"pstOpening", [](Position* p) { p->pstOpening += 1; }},
      {"pstEndgame", [](Position* p) { p->pstEndgame -= 1; }},
  };
  for (const Case& c : cases) {
    *pos = good;
    c.corrupt(pos);
    const char* what = nullptr;
    EXPECT_FALSE(PositionIsOk(pos, &what)) << c.field;
    EXPECT_STREQ(what, c.field);
  }
  *pos = good;
  const char* what = "untouched";
  EXPECT_TRUE(PositionIsOk(pos, &what));
  EXPECT_EQ(what, nullptr);
}

}  // namespace
