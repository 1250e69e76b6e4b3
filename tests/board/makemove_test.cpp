#include <cstddef>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/board/board_test_support.h"

namespace {

// Whether two positions agree in every field, the valid history entries included.
bool SamePosition(const Position* a, const Position* b) {
  return std::memcmp(a, b, offsetof(Position, history)) == 0 &&
         std::memcmp(a->history, b->history, a->historyCount * sizeof(u64)) == 0;
}

std::string FirstBadField(const Position* pos) {
  const char* what = nullptr;
  return PositionIsOk(pos, &what) ? std::string("ok") : std::string(what);
}

class MakeUnmake : public BoardTest {
 protected:
  // Token -> move on the current position; fails the test on a refused token.
  Move Parse(const char* token) {
    const Move m = MoveFromText(pos, token);
    EXPECT_NE(m, NoMove) << token;
    return m;
  }
  // Plays a token, checking that its unmake restores the position exactly and
  // that the made position agrees with a recomputation.
  void Play(const char* token) {
    const Move m = Parse(token);
    const auto before = std::make_unique<Position>(*pos);
    UndoRecord undo;
    ASSERT_TRUE(MakeMove(pos, m, &undo));
    EXPECT_EQ(FirstBadField(pos), "ok") << token;
    EXPECT_EQ(pos->historyCount, before->historyCount + 1);
    EXPECT_EQ(pos->history[before->historyCount], before->key);
    ASSERT_TRUE(UnmakeMove(pos, m, &undo));
    EXPECT_TRUE(SamePosition(pos, before.get())) << token;
    MakeMove(pos, m, &undo);
  }
  // Loads the FEN and plays the moves (blank-separated) with Play.
  void LoadAndPlay(const char* fen, const char* moves) {
    Load(fen);
    std::istringstream tokens(moves);
    for (std::string token; tokens >> token;) Play(token.c_str());
  }
  u64 KeyOf(const char* fen) {
    const auto other = std::make_unique<Position>();
    EXPECT_TRUE(LoadFen(other.get(), fen)) << fen;
    return other->key;
  }
};

struct Game {
  const char* start;
  const char* moves;
  const char* end;  // the final position as an independent move generator printed it
  int fifty;        // its halfmove clock
};

// Real move sequences with castling on both wings for both sides, en passant
// both ways, promotions and underpromotions with and without capture.
const Game Games[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
     "e2e4 e7e6 d2d4 d7d5 e4e5 c7c5 g1f3 f7f5 e5f6 g8f6 f1d3 b8c6 e1g1 d8c7 c1g5 c8d7 b1d2 e8c8 c2c4 c5d4 "
     "c4d5 "
     "e6d5 f1e1 f8d6 d2b3 h7h6 g5f6 g7f6 d1c2 h8g8 a1c1 c8b8 c2d2 g8g2 g1g2 d6h2 f3h2 d8g8 g2h1 c7h2 h1h2 "
     "g8h8 h2g1",
     "1k5r/pp1b4/2n2p1p/3p4/3p4/1N1B4/PP1Q1P2/2R1R1K1 b - - 2 22", 2},
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
     "a2a4 h7h5 a4a5 b7b5 a5b6 h5h4 b6a7 h4h3 a7b8r h3g2 e2e3 g2h1n b8c8 d8c8 a1a8 c8a8 b2b3 d7d5 b3b4 d5d4 "
     "c2c4 "
     "d4c3 b1c3 e7e5 b4b5 a8a2 b5b6 a2c2 b6b7 c2d1 e1d1 e8d7 b7b8q f8b4 b8b4 h8h2 b4b5 d7e6 b5e5 e6e5",
     "6n1/2p2pp1/8/4k3/8/2N1P3/3P1P1r/2BK1BNn w - - 0 21", 0},
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
     "d2d4 g8f6 c2c4 g7g6 b1c3 f8g7 c1f4 e8g8 d1d2 d7d6 e1c1 c7c5 d4d5 e7e5 d5e6 c8e6 f4d6 d8d6 d2d6 b8d7 "
     "d6d7 "
     "e6d7 d1d7 f6d7 c3d5 a8c8 d5e7 g8h8 e7c8 f8c8 g2g4 g7b2 c1b2 h8g8 f1h3",
     "2r3k1/pp1n1p1p/6p1/2p5/2P3P1/7B/PK2PP1P/6NR b - - 2 18", 2},
    {"4k3/1P6/8/8/8/7p/1p6/R3K2R w KQ - 0 1",
     "e1g1 b2a1r f1a1 h3h2 g1g2 e8d8 b7b8n h2h1q g2h1 d8c7 b8a6 c7b6 a6b4 b6b5 a1a8 b5b4",
     "R7/8/8/8/1k6/8/8/7K w - - 0 9", 0},
    {"r3k2r/pppq1ppp/2n1bn2/2bpp3/4P3/2NP1N2/PPPBBPPP/R2QK2R b KQkq - 0 1",
     "e8c8 e1g1 d5d4 c3b1 h7h5 h2h4 g7g5 h4g5 h5h4 g2g4 h4g3 f2g3 h8h1 g1h1 d7e7 g5f6 e7f6 b2b4 c5b6 a2a4 "
     "a7a5 "
     "b4b5 c6e7",
     "2kr4/1pp1np2/1b2bq2/pP2p3/P2pP3/3P1NP1/2PBB3/RN1Q1R1K w - - 1 13", 1},
};

TEST_F(MakeUnmake, GamesKeepEveryFieldExact) {
  for (const Game& game : Games) {
    Load(game.start);
    std::istringstream tokens(game.moves);
    std::string token;
    int plies = 0;
    while (tokens >> token) {
      const int fifty = pos->fifty;
      const Move m = Parse(token.c_str());
      EXPECT_STREQ(MoveToText(m).text, token.c_str());
      Play(token.c_str());
      if (HasFatalFailure()) return;
      const bool resets = MovePiece(m) == Pawn || MoveCaptured(m) != Empty;
      EXPECT_EQ(pos->fifty, resets ? 0 : fifty + 1) << token;
      ++plies;
    }
    EXPECT_EQ(int(pos->historyCount), plies);
    EXPECT_EQ(pos->fifty, game.fifty) << game.end;
    const auto expected = std::make_unique<Position>();
    ASSERT_TRUE(LoadFen(expected.get(), game.end));
    // The history is the only field the text cannot carry.
    expected->historyCount = pos->historyCount;
    EXPECT_EQ(std::memcmp(pos, expected.get(), offsetof(Position, history)), 0) << game.end;
    EXPECT_EQ(pos->key, expected->key) << game.end;
  }
}

TEST_F(MakeUnmake, DoublePushRecordsEnPassantOnlyBesideAnEnemyPawn) {
  const struct {
    const char* start;
    const char* moves;
    int epFile;
    const char* after;  // the same position as FEN
  } cases[] = {
      {"4k3/8/8/8/8/8/3P4/4K3 w - -", "d2d4", 0, "4k3/8/8/8/3P4/8/8/4K3 b - -"},
      {"4k3/8/8/8/2p5/8/3P4/4K3 w - -", "d2d4", 4, "4k3/8/8/8/2pP4/8/8/4K3 b - d3"},
      // The next move, whatever it is, removes the en-passant term.
      {"4k3/8/8/8/2p5/8/3P4/4K3 w - -", "d2d4 e8d7", 0, "8/3k4/8/8/2pP4/8/8/4K3 w - -"},
      // A pawn of the mover's own colour beside the destination does not count.
      {"4k3/8/8/8/4P3/8/3P4/4K3 w - -", "d2d4", 0, "4k3/8/8/8/3PP3/8/8/4K3 b - -"},
      // The start position reached by e2e4 has no en-passant file, unlike the FEN with e3.
      {StartFen, "e2e4", 0, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1"},
  };
  for (const auto& c : cases) {
    LoadAndPlay(c.start, c.moves);
    EXPECT_EQ(pos->epFile, c.epFile) << c.after;
    EXPECT_EQ(pos->key, KeyOf(c.after)) << c.after;
  }
  EXPECT_EQ(KeyOf("4k3/8/8/8/2pP4/8/8/4K3 b - d3") ^ ZobristEnPassant[4],
            KeyOf("4k3/8/8/8/2pP4/8/8/4K3 b - -"));
  EXPECT_NE(KeyOf("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"), KeyOf(cases[4].after));
}

TEST_F(MakeUnmake, CastlingRightsClearedByKingRookAndCaptures) {
  const char* fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  struct Case {
    const char* move;
    int cleared;
  };
  const Case cases[] = {
      {"e1e2", CastleWhiteKing | CastleWhiteQueen},
      {"e1f1", CastleWhiteKing | CastleWhiteQueen},
      {"h1h5", CastleWhiteKing},
      {"a1b1", CastleWhiteQueen},
      {"a1a8", CastleWhiteQueen | CastleBlackQueen},
      {"h1h8", CastleWhiteKing | CastleBlackKing},
  };
  for (const Case& c : cases) {
    Load(fen);
    const u64 key = pos->key;
    const Move m = Parse(c.move);
    UndoRecord undo;
    MakeMove(pos, m, &undo);
    EXPECT_EQ(pos->castling, 15 & ~c.cleared) << c.move;
    // Remove the piece-move and side terms: what is left is the castling change.
    u64 rest = ZobristSide ^ ZobristPiece[White][MovePiece(m)][MoveFrom(m)] ^
               ZobristPiece[White][MovePiece(m)][MoveTo(m)];
    if (MoveCaptured(m)) rest ^= ZobristPiece[Black][MoveCaptured(m)][MoveTo(m)];
    EXPECT_EQ(pos->key ^ key ^ rest, ZobristCastle[c.cleared]) << c.move;
  }
  Load(fen);
  Play("e1c1");
  EXPECT_EQ(pos->castling, CastleBlackKing | CastleBlackQueen);
  EXPECT_EQ(pos->key, KeyOf("r3k2r/8/8/8/8/8/8/2KR3R b kq -"));
  Play("e8g8");
  EXPECT_EQ(pos->castling, 0);
  EXPECT_EQ(pos->key, KeyOf("r4rk1/8/8/8/8/8/8/2KR3R w - -"));
}

TEST_F(MakeUnmake, PawnKeyMaterialAndIndexChanges) {
  Load("1n2k3/P7/8/3p4/4P3/1n6/8/4K3 w - - 0 1");
  const u64 pawnKey = pos->pawnKey;
  Play("e4d5");  // pawn takes pawn
  EXPECT_EQ(pos->pawnKey, pawnKey ^ ZobristPawn[White][Sq("e4")] ^ ZobristPawn[White][Sq("d5")] ^
                              ZobristPawn[Black][Sq("d5")]);
  EXPECT_EQ(pos->material, 100 + 100 - 660);

  Load("1n2k3/P7/8/8/8/1n6/8/3QK3 w - - 0 1");
  const u64 before = pos->pawnKey;
  Play("d1b3");  // queen takes knight: no pawn involved
  EXPECT_EQ(pos->pawnKey, before);
  EXPECT_EQ(pos->materialIndex, 26244 + 2 + 324);
  Play("e8d7");
  Play("a7b8q");  // the promoted pawn leaves the pawn key
  EXPECT_EQ(pos->pawnKey, 0u);
  EXPECT_EQ(pos->materialIndex, 2 * 2);  // two white queens: the plain weighted sum

  // Knight promotion taking a rook.
  Load("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
  const i32 index = pos->materialIndex, material = pos->material;
  Play("b7a8n");
  EXPECT_EQ(pos->materialIndex - index, -25272 - 4);
  EXPECT_EQ(pos->material - material, 230 + 500);

  // Black promotes: the signs turn round.
  Load("4k3/8/8/8/8/8/6p1/4K2R b - - 0 1");
  const i32 blackIndex = pos->materialIndex, blackMaterial = pos->material;
  Play("g2h1b");
  EXPECT_EQ(pos->materialIndex - blackIndex, -2880 - 12);
  EXPECT_EQ(pos->material - blackMaterial, -230 - 500);
}

// More pieces of a kind than the material index's digit holds are marked,
// and the mark goes when a capture brings the count back.
TEST_F(MakeUnmake, MaterialOverflowFollowsPromotionsAndCaptures) {
  const char* queens = "1r2k3/P7/8/8/8/8/8/Q3K3 w - - 0 1";
  const char* rooks = "8/P7/8/1r5k/8/8/2N5/RR2K3 w - - 0 1";
  const struct {
    const char* start;
    const char* moves;
    u8 overflow;
  } cases[] = {
      {queens, "", 0},
      {queens, "a7a8n", 0},
      {queens, "a7a8q", 1},
      {queens, "a7a8q b8a8", 0},       // the rook takes the new queen
      {queens, "a7b8q", 1},            // promotion with capture
      {queens, "a7b8q e8d7 b8b1", 1},  // other moves keep the mark
      // A third rook; a capture of some other piece keeps the mark, taking a rook clears it.
      {rooks, "a7a8r", 1},
      {rooks, "a7a8r b5b2 c2e3 b2b1", 0},
      {rooks, "a7a8r b5b2 e1d1 b2c2", 1},
      // Black's side, and a FEN that already holds the extra pieces.
      {"4k3/8/8/8/8/8/1p6/B3K3 b - - 0 1", "", 0},
      {"4k3/8/8/8/8/8/1p6/B3K3 b - - 0 1", "b2a1b", 0},
      {"nnn1k3/8/8/8/8/8/8/4K2R w - - 0 1", "", 1},
      {"nnn1k3/8/8/8/8/8/8/4K2R b - - 0 1", "c8d6", 1},
      {"nnR1k3/8/8/8/8/8/8/4K3 b - - 0 1", "", 0},
  };
  for (const auto& c : cases) {
    LoadAndPlay(c.start, c.moves);
    EXPECT_EQ(pos->materialOverflow, c.overflow) << c.start << " " << c.moves;
  }
}

TEST_F(MakeUnmake, FiftyCountsReversibleMovesAndSaturates) {
  Load("r3k2r/p7/8/8/8/8/P7/R3K2R w KQkq - 0 1");
  const char* moves[] = {"e1g1", "e8c8", "g1h2", "c8b8", "a2a3", "h8h3", "h2h3"};
  const int expected[] = {1, 2, 3, 4, 0, 1, 0};
  for (int i = 0; i < 7; ++i) {
    Play(moves[i]);
    EXPECT_EQ(pos->fifty, expected[i]) << moves[i];
  }
  UndoRecord undo;
  MakeNullMove(pos, &undo);
  EXPECT_EQ(pos->fifty, 0);
  Play("a1a2");
  EXPECT_EQ(pos->fifty, 1);

  pos->fifty = 253;
  const char* quiet[] = {"d8d5", "h3g3", "d5d6", "g3h3"};
  const int saturated[] = {254, 255, 255, 255};
  for (int i = 0; i < 4; ++i) {
    Play(quiet[i]);
    EXPECT_EQ(pos->fifty, saturated[i]) << quiet[i];
  }
}

TEST_F(MakeUnmake, NullMove) {
  Load("4k3/8/8/8/2pP4/8/8/4K3 b - d3");
  ASSERT_EQ(pos->epFile, 4);
  const auto before = std::make_unique<Position>(*pos);
  UndoRecord first, second;
  MakeNullMove(pos, &first);
  EXPECT_EQ(pos->side, White);
  EXPECT_EQ(pos->epFile, 0);
  EXPECT_EQ(pos->key, before->key ^ ZobristSide ^ ZobristEnPassant[4]);
  EXPECT_EQ(pos->key, KeyOf("4k3/8/8/8/2pP4/8/8/4K3 w - -"));
  EXPECT_EQ(FirstBadField(pos), "ok");
  EXPECT_EQ(pos->historyCount, 1u);
  EXPECT_EQ(pos->history[0], before->key);
  MakeNullMove(pos, &second);
  EXPECT_EQ(pos->side, Black);
  EXPECT_EQ(pos->key, before->key ^ ZobristEnPassant[4]);
  UnmakeNullMove(pos, &second);
  UnmakeNullMove(pos, &first);
  EXPECT_TRUE(SamePosition(pos, before.get()));
}

TEST_F(MakeUnmake, TrimHistoryKeepsWhatRepetitionCanReach) {
  const char* shuffle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int pawnMoveAt : {-1, 1400}) {
    Load(StartFen);
    std::vector<u64> keys;  // every position's key, kept independently
    bool repetitionFound = false;
    for (int ply = 0; ply < 1500; ++ply) {
      keys.push_back(pos->key);
      // Both pawn moves come when the knights are at home, so the shuffle resumes.
      const bool pawns = pawnMoveAt >= 0 && ply >= pawnMoveAt;
      const char* token = !pawns                  ? shuffle[ply % 4]
                          : ply == pawnMoveAt     ? "a2a3"
                          : ply == pawnMoveAt + 1 ? "a7a6"
                                                  : shuffle[(ply - 2) % 4];
      const Move m = MoveFromText(pos, token);
      ASSERT_NE(m, NoMove) << ply;
      UndoRecord undo;
      MakeMove(pos, m, &undo);
      TrimHistory(pos);
      ASSERT_LE(pos->historyCount, u32(HistorySize - 128));
      ASSERT_GE(pos->historyCount, pos->fifty);
      for (int d = 1; d <= pos->fifty; ++d)
        ASSERT_EQ(pos->history[pos->historyCount - d], keys[keys.size() - d]) << ply << " " << d;
      for (int d = 4; d <= pos->fifty; d += 2)
        if (pos->history[pos->historyCount - d] == pos->key) repetitionFound = true;
    }
    EXPECT_EQ(pos->fifty, pawnMoveAt < 0 ? 255 : 1500 - pawnMoveAt - 2);
    EXPECT_TRUE(repetitionFound);
  }
  // Below the threshold nothing moves.
  Load(StartFen);
  Play("g1f3");
  TrimHistory(pos);
  EXPECT_EQ(pos->historyCount, 1u);
}

}  // namespace
