// Fixed-depth searches through the public search functions.
#include "search/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "eval/eval.h"
#include "eval/pawns.h"
#include "search/node.h"
#include "search/state.h"
#include "search/table.h"
#include "tests/support.h"

namespace {

class SearchTest : public SharedEngine {
 protected:
  // A fresh search of the position.
  void Fresh(const char* fen) {
    FreshSearch();
    ASSERT_TRUE(LoadFen(&pos, fen)) << fen;
  }

  void Play(const char* moves) {
    char token[8];
    for (const char* p = moves; *p;) {
      int n = 0;
      while (*p && *p != ' ') token[n++] = *p++;
      token[n] = '\0';
      while (*p == ' ') ++p;
      Move m = FindLegalMove(&pos, token);
      ASSERT_NE(m, NoMove) << token;
      UndoRecord undo;
      MakeMove(&pos, m, &undo);
    }
  }

  // Searches the current position as the node at `ply` with the full window.
  i32 SearchAt(f32 depth, int ply = 1, i32 alpha = -InfiniteScore, i32 beta = InfiniteScore) {
    EvaluateAt(&pos, ply);
    return Search(engine, &pos, alpha, beta, depth, ply, 1);
  }

  Move Best() const { return engine->plies[1].pv[0]; }
  const char* BestText() {
    static MoveText text;
    text = MoveToText(Best());
    return text.text;
  }

  static inline Position pos;
};

TEST_F(SearchTest, MatesAreFoundWithExactDistances) {
  // Scores are seen from ply 1: mating at ply p scores 32700 - p.
  struct Case {
    const char* fen;
    f32 depth;
    i32 score;
    const char* move;
  } cases[] = {
      {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", 2, 32698, "d1d8"},
      {"r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4", 2, 32698, "h5f7"},
      {"k7/8/2K5/8/8/8/8/7R w - - 0 1", 4, 32696, nullptr},
      {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", 6, 32694, "f6a6"},
  };
  for (const Case& c : cases) {
    Fresh(c.fen);
    EXPECT_EQ(SearchAt(c.depth), c.score) << c.fen;
    if (c.move != nullptr) {
      EXPECT_STREQ(BestText(), c.move) << c.fen;
    }
  }
}

TEST_F(SearchTest, MatedStalemateAndMateDistanceBounds) {
  Fresh("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");  // mated
  EXPECT_EQ(SearchAt(3), 1 - MateValue);
  Fresh("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");  // stalemated
  EXPECT_EQ(SearchAt(3), 0);

  // At ply 5 nothing better than mating at ply 6 exists: a window above it closes at once.
  Fresh(StartFen);
  EXPECT_EQ(SearchAt(4, 5, MateValue - 1 - 5, InfiniteScore), MateValue - 1 - 5);
  EXPECT_EQ(engine->progress.nodes, 1u);
  // Nor can the side to move be mated before ply 7.
  FreshSearch();
  EXPECT_EQ(SearchAt(4, 5, -InfiniteScore, 5 - (MateValue - 2)), 5 - (MateValue - 2));
}

TEST_F(SearchTest, MateScoresThroughTheTableCountFromTheReadingNode) {
  // Black to move is mated at ply 3 (Ka7 Ra1#). A null window below that
  // leaves bounds in the table: at the node after Ka7 (ply 2), a lower bound
  // of mating at ply 3.
  Fresh("k7/2K5/8/8/8/8/8/7R b - - 0 1");
  EXPECT_EQ(SearchAt(3, 1, -32650, -32649), -32650);  // fails low, hard
  // The same position met again at ply 4 takes the bound from the table: its
  // mate now falls at ply 5, not at a ply the node has already passed.
  Play("a8a7");
  EvaluateAt(&pos, 4);
  const u64 before = engine->progress.nodes;
  EXPECT_EQ(Search(engine, &pos, 32649, 32650, 2, 4, 1), MateValue - 5);
  EXPECT_EQ(engine->progress.nodes, before + 1) << "the bound should end the node";
}

TEST_F(SearchTest, AnExactEntryDeepEnoughEndsANonPvNode) {
  const char* fen = "r1bqkb1r/pppp1ppp/2n2n2/4p3/4P3/2N2N2/PPPP1PPP/R1BQKB1R w KQkq - 4 4";
  // A shallower entry cannot answer a deeper node.
  Fresh(fen);
  const Move move = FindLegalMove(&pos, "f1b5");
  Store(&engine->tt, pos.key, move, 37, 2.0f, BoundExact);
  SearchAt(4, 2, 36, 37);
  EXPECT_GT(engine->progress.nodes, 1u);
  // One deep enough answers inside a null window and outside it alike.
  Fresh(fen);
  Store(&engine->tt, pos.key, move, 37, 5.0f, BoundExact);
  for (const i32 alpha : {-200, 36, 100}) {
    const u64 before = engine->progress.nodes;
    EXPECT_EQ(SearchAt(4, 2, alpha, alpha + 1), 37) << alpha;
    EXPECT_EQ(engine->progress.nodes, before + 1) << alpha;
  }
  // A PV node searches on.
  SearchAt(4, 2, -200, 200);
  EXPECT_GT(engine->progress.nodes, 4u);
}

TEST_F(SearchTest, AVerificationBelowBetaLetsTheNodeSearchItsMoves) {
  // A queen up, so passing fails high; an upper bound left in the table at
  // the verification's depth makes the verification fail low, as it does in
  // zugzwang. The node then searches its moves: its first, the table move,
  // cuts off and is counted, where a null-move cut-off would count nothing.
  Fresh("6k1/5ppp/8/8/8/8/5PPP/3Q2K1 w - - 0 1");
  const Move move = FindLegalMove(&pos, "d1d2");
  Store(&engine->tt, pos.key, move, -500, 1.0f, BoundUpper);
  EXPECT_GE(SearchAt(5, 2, 99, 100), 100);
  EXPECT_EQ(engine->stats.historyGood[HistoryIndex(White, move)], 1);
  EXPECT_EQ(engine->plies[2].killers[0], move);
}

TEST_F(SearchTest, OnlySearchedQuietMovesCountAFailure) {
  // gxf3 is tried first and stays below alpha, then the quiet Rd8 mates:
  // the capture is no failure of a quiet move, and the mate counts a success.
  Fresh("6k1/5ppp/8/8/8/5p2/6PP/3R2K1 w - - 0 1");
  const int capture = HistoryIndex(White, FindLegalMove(&pos, "g2f3"));
  const int mate = HistoryIndex(White, FindLegalMove(&pos, "d1d8"));
  const i32 eval = EvaluateAt(&pos, 1);
  EXPECT_GE(SearchAt(1, 1, eval + 150, eval + 151), MateBound);
  EXPECT_EQ(engine->stats.historyGood[mate], 1);
  EXPECT_EQ(engine->stats.historyBad[capture], 0);
}

TEST_F(SearchTest, StatisticsCarryHalvedFromSearchToSearch) {
  // The statistics of a queen move; the position has no queen, so only the
  // step between searches can change them.
  const int index = HistoryIndex(White, MakeMoveWord(Sq("d4"), Sq("d1"), Queen, Empty));
  static SearchLimits limits;
  Fresh("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
  engine->stats.historyScore[index] = 400;
  engine->stats.historyGood[index] = 40;
  engine->stats.historyBad[index] = 80;
  limits = SearchLimits{};
  limits.depth = 2;
  RootSearch(engine, &pos, &limits);
  EXPECT_EQ(engine->stats.historyScore[index], 200);
  EXPECT_EQ(engine->stats.historyGood[index], 20);
  EXPECT_EQ(engine->stats.historyBad[index], 40);
}

TEST_F(SearchTest, DrawsByRuleInsideTheTree) {
  // A single repetition two plies deep is a draw.
  Fresh(StartFen);
  Play("g1f3 g8f6 f3g1 f6g8");
  EXPECT_EQ(SearchAt(5), 0);
  EXPECT_EQ(engine->progress.nodes, 0u);

  const struct {
    const char* fen;
    int fifty;  // set after loading; -1 keeps the FEN's own clock
    i32 score;
  } cases[] = {
      // Fifty-move rule: a draw unless the side to move is mated on the hundredth ply.
      {"4k3/8/8/8/8/8/3q4/4K3 w - - 0 1", 100, 0},
      {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", 100, 1 - MateValue},
      {"7k/8/6K1/8/8/8/8/6Q1 w - - 0 1", 101, 0},
      // The FEN's halfmove clock counts: a queen up but one move from the
      // fifty-move draw, with no mate in one, is a draw.
      {"4k3/8/8/8/8/8/8/3QK3 w - - 99 80", -1, 0},
      {"3qk3/8/8/8/8/8/8/4K3 b - - 99 80", -1, 0},
  };
  for (const auto& c : cases) {
    Fresh(c.fen);
    if (c.fifty >= 0) pos.fifty = u8(c.fifty);
    EXPECT_EQ(SearchAt(3), c.score) << c.fen;
  }
  // Without the clock it wins.
  Fresh("4k3/8/8/8/8/8/8/3QK3 w - - 90 80");
  EXPECT_GT(SearchAt(3), 500);
}

TEST_F(SearchTest, WinsHangingMaterial) {
  Fresh("4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1");
  i32 v = SearchAt(4);
  EXPECT_STREQ(BestText(), "d2d5");
  EXPECT_GT(v, 300);
  Fresh("r1bqkbnr/pppp1ppp/2n5/4p3/3PP3/5N2/PPP2PPP/RNBQKB1R b KQkq - 0 3");
  SearchAt(6);
  EXPECT_STREQ(BestText(), "e5d4");
}

TEST_F(SearchTest, LeavesThePositionAsItFoundIt) {
  const char* fens[] = {StartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
                        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8"};
  for (const char* fen : fens) {
    Fresh(fen);
    static Position before;
    before = pos;
    SearchAt(6);
    // Everything up to the key history, and the valid part of the history.
    EXPECT_EQ(std::memcmp(&before, &pos, offsetof(Position, history)), 0) << fen;
    EXPECT_EQ(std::memcmp(before.history, pos.history, pos.historyCount * sizeof(u64)), 0) << fen;
  }
}

TEST_F(SearchTest, FixedDepthSearchesAreDeterministic) {
  const char* fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
  Fresh(fen);
  i32 first = SearchAt(7);
  u64 firstNodes = engine->progress.nodes;
  Move firstMove = Best();
  Fresh(fen);
  EXPECT_EQ(SearchAt(7), first);
  EXPECT_EQ(engine->progress.nodes, firstNodes);
  EXPECT_EQ(Best(), firstMove);
  EXPECT_GT(firstNodes, 1000u);
}

TEST_F(SearchTest, QuiescenceStandPatAndEvasions) {
  // Not in check, static score above beta: the stand-pat score itself.
  Fresh("4k3/8/8/8/8/8/8/QQQ1K3 w - - 0 1");
  i32 eval = EvaluateAt(&pos, 1);
  EXPECT_EQ(Quiesce(engine, &pos, -100, 100, 1.0f, 1), eval);
  EXPECT_EQ(engine->progress.nodes, 1u);

  // Nothing to capture and no check to give: max(alpha, eval).
  Fresh("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  eval = EvaluateAt(&pos, 1);
  EXPECT_EQ(Quiesce(engine, &pos, eval - 50, eval + 50, 0.0f, 1), eval);
  EXPECT_EQ(Quiesce(engine, &pos, eval + 10, eval + 50, 0.0f, 1), eval + 10);

  // In check with legal replies that all fail low: alpha, not the best score.
  Fresh("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1");
  EvaluateAt(&pos, 1);
  ASSERT_NE(engine->plies[1].checkCount, 0);
  EXPECT_EQ(Quiesce(engine, &pos, 2000, 2100, 0.0f, 1), 2000);
  // Mated in the quiescence search.
  Fresh("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");
  EvaluateAt(&pos, 1);
  EXPECT_EQ(Quiesce(engine, &pos, -InfiniteScore, InfiniteScore, 0.0f, 1), 1 - MateValue);
}

TEST_F(SearchTest, LazyWindowSaturatesInsteadOfWrapping) {
  PlyRecord child{};
  SetLazyWindow(&child, -InfiniteScore, InfiniteScore);
  EXPECT_EQ(child.lazyLow, -32768);
  EXPECT_EQ(child.lazyHigh, 32767);
  SetLazyWindow(&child, 10, 11);
  EXPECT_EQ(child.lazyLow, -181);
  EXPECT_EQ(child.lazyHigh, 160);
}

// Scores outside the real range in the table (what a node whose moves were
// all pruned could once leave there) must not keep the root's aspiration loop
// widening a window that cannot widen.
TEST_F(SearchTest, RootTerminatesWithOutOfRangeTableScores) {
  Fresh("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  for (Move first : LegalMoves(&pos)) {
    UndoRecord u1;
    MakeMove(&pos, first, &u1);
    for (Move second : LegalMoves(&pos)) {
      UndoRecord u2;
      MakeMove(&pos, second, &u2);
      Store(&engine->tt, pos.key, NoMove, -InfiniteScore, 100.0f, BoundUpper);
      UnmakeMove(&pos, second, &u2);
    }
    UnmakeMove(&pos, first, &u1);
  }
  static SearchLimits limits;
  limits = SearchLimits{};
  limits.depth = 5;
  RootSearch(engine, &pos, &limits);
  // The iterations ran and searched: without them the first root move alone
  // would pass the checks below.
  EXPECT_GT(engine->progress.nodes, 1000u);
  EXPECT_GE(engine->root.iterationDepth, 4);
  EXPECT_GE(engine->plies[0].pvCount, 1u);
  EXPECT_NE(FindLegalMove(&pos, MoveToText(engine->plies[0].pv[0]).text), NoMove);
}

// MultiPV ranks hold the best moves in order, whichever iteration first saw
// them: with K+R v K (values from an outside engine at depth 30) two quiet
// king moves mate in two and only rook moves follow, the best of them mating
// in three (Ra1, Rh8+, Rh5 and others).
TEST_F(SearchTest, MultiPvRanksAreTheBestMovesInOrder) {
  struct Rank {
    i32 score;
    const char* moves[2];  // a move beginning with either, each at most once
  };
  const Rank expected[] = {
      {MateValue - 3, {"c6b6", "c6c7"}}, {MateValue - 3, {"c6b6", "c6c7"}}, {MateValue - 5, {"h1", nullptr}}};
  for (int depth : {3, 4, 5, 7}) {
    Fresh("k7/8/2K5/8/8/8/8/7R w - - 0 1");
    static SearchLimits limits;
    limits = SearchLimits{};
    limits.depth = depth;
    engine->options.multiPv = 3;
    RootSearch(engine, &pos, &limits);
    engine->options.multiPv = 1;
    std::string seen;
    for (int k = 0; k < 3; ++k) {
      const int slot = engine->lines.pvSlot[k];
      const std::string move = MoveToText(engine->lines.pvLines[slot][0]).text;
      EXPECT_EQ(engine->lines.pvScore[k], expected[k].score)
          << "depth " << depth << " rank " << k + 1 << " " << move;
      const auto begins = [&](const char* m) { return m && move.rfind(m, 0) == 0; };
      const bool listed = begins(expected[k].moves[0]) || begins(expected[k].moves[1]);
      EXPECT_TRUE(listed) << "depth " << depth << " rank " << k + 1 << " " << move;
      EXPECT_EQ(seen.find(move), std::string::npos) << move << " twice";
      seen += move + " ";
    }
  }
}

// A lazy evaluation writes no threat counts: the test of a marked move must
// not read counts another position left in the record.
TEST_F(SearchTest, ThreatTestIgnoresLeftoverCounts) {
  // A quiet move in a full middlegame, for either side; the child is
  // evaluated with a window its quick score misses, so it exits lazily.
  struct Case {
    const char* fen;
    const char* move;
  } cases[] = {{"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", "h2h3"},
               {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 b - - 0 10", "h7h6"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(LoadFen(&pos, c.fen)) << c.fen;
    EvaluateAt(&pos, 1);
    PlyRecord* node = &engine->plies[1];
    PlyRecord* child = &engine->plies[2];
    ASSERT_EQ(node->lazy, 0) << c.fen;
    const int mover = pos.side;
    UndoRecord undo;
    Move m = FindLegalMove(&pos, c.move);
    ASSERT_NE(m, NoMove) << c.move;
    MakeMove(&pos, m, &undo);
    bool verdict[2];
    for (int run = 0; run < 2; ++run) {
      // Counts left by an earlier position: far behind, or far ahead.
      const i16 leftover = i16((run == 0 ? 30 : -30) * Sign[mover]);
      child->threatBalance = child->pieceThreatBalance = leftover;
      child->threats[White] = child->threats[Black] = run == 0 ? ~u64(0) : 0;
      // A window that the quick score misses by far.
      child->lazyLow = -32000;
      child->lazyHigh = -31999;
      Evaluate(&pos, child, engine->weights, engine->pawnTable);
      ASSERT_EQ(child->lazy, 1) << c.fen;
      verdict[run] = CreatesNoNewThreat(node, child, mover);
    }
    UnmakeMove(&pos, m, &undo);
    EXPECT_EQ(verdict[0], verdict[1]) << c.fen << " " << c.move;
  }
}

}  // namespace

// The line copied behind a move keeps every move of the child's line up to
// the record's length, whether it is copied as the short block or in full.
TEST(PrincipalVariationCopy, KeepsTheWholeLineUpToTheRecordsLength) {
  auto records = std::make_unique<PlyRecord[]>(2);
  PlyRecord* node = &records[0];
  PlyRecord* child = &records[1];
  for (u32 count : {0u, 1u, 7u, 8u, 9u, 40u, u32(MaxPly) - 1, u32(MaxPly)}) {
    for (int i = 0; i < MaxPly; ++i) {
      child->pv[i] = 1000 + u32(i);
      node->pv[i] = 0;
    }
    child->pvCount = count;
    CopyPv(node, 77, child);
    const u32 kept = std::min(count, u32(MaxPly) - 1);
    ASSERT_EQ(node->pvCount, kept + 1) << count;
    EXPECT_EQ(node->pv[0], 77u);
    for (u32 i = 0; i < kept; ++i) ASSERT_EQ(node->pv[i + 1], 1000 + i) << count << " " << i;
  }
}
