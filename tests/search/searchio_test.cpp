#include "search/searchio.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/platform.h"
#include "search/state.h"

namespace {

class SearchIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitBoardTables();
    std::memset(&engine, 0, sizeof engine);
    engine.session.ignoreInput = 1;
    for (int k = 0; k < MaxMultiPv; ++k) {
      engine.lines.pvScore[k] = -InfiniteScore;
      engine.lines.pvSlot[k] = k;
    }
  }
  // The clock as if the search had started `ms` milliseconds ago.
  void StartedAgo(i32 ms) {
    engine.progress.startTick = engine.progress.lastInfoTick = TickCount() - u32(ms);
  }
  static std::string PvLines() {
    testing::internal::CaptureStdout();
    PrintPvLines(&engine);
    return testing::internal::GetCapturedStdout();
  }
  static inline EngineState engine;
};

Move Word(const char* text) {
  static Position pos;
  LoadFen(&pos, StartFen);
  return MoveFromText(&pos, text);
}

// Short searches show their real speed: the time counts from 1 ms.
TEST(NodesPerSecond, OverTheRealElapsedTime) {
  EXPECT_EQ(NodesPerSecond(1000, 0), 1000000);
  EXPECT_EQ(NodesPerSecond(1000, 1), 1000000);
  EXPECT_EQ(NodesPerSecond(1000, 10), 100000);
  EXPECT_EQ(NodesPerSecond(1000, 127), 7874);
  EXPECT_EQ(NodesPerSecond(1000, 1000), 1000);
  EXPECT_EQ(NodesPerSecond(1000, -5), 1000000);  // a clock that went backwards
  EXPECT_EQ(NodesPerSecond(u64(1) << 40, 1), 2147483647);
}

TEST_F(SearchIoTest, PvLinesWithCentipawnAndMateScores) {
  engine.options.multiPv = 3;
  engine.root.rootMoveCount = 20;
  engine.root.iterationDepth = 7;
  // Rank 0 lives in slot 2, rank 1 in slot 0; rank 2 is empty.
  engine.lines.pvScore[0] = 32699;
  engine.lines.pvSlot[0] = 2;
  engine.lines.pvScore[1] = -35;
  engine.lines.pvSlot[1] = 0;
  engine.lines.pvLines[2][0] = Word("e2e4");
  engine.lines.pvLength[2] = 1;
  engine.lines.pvTime[2] = 1000;
  engine.lines.pvNodes[2] = 123456;
  engine.lines.pvLines[0][0] = Word("d2d4");
  engine.lines.pvLines[0][1] = MakeMoveWord(51, 35, Pawn, Empty) | MoveDoublePushFlag;  // d7d5
  engine.lines.pvLength[0] = 2;
  engine.lines.pvTime[0] = 10;
  engine.lines.pvNodes[0] = 1280;
  EXPECT_EQ(PvLines(),
            "info multipv 1 depth 7 score mate 1 time 1000 nodes 123456 nps 123456 pv e2e4 \n"
            "info multipv 2 depth 7 score cp -35 time 10 nodes 1280 nps 128000 pv d2d4 d7d5 \n");

  // Mate scores: -32698 is mated in one, 32635 is still centipawns.
  engine.options.multiPv = 1;
  engine.lines.pvScore[0] = -32698;
  EXPECT_NE(PvLines().find("score mate -1 "), std::string::npos);
  engine.lines.pvScore[0] = 32635;
  EXPECT_NE(PvLines().find("score cp 32635 "), std::string::npos);

  // Never more lines than root moves.
  engine.options.multiPv = 3;
  engine.root.rootMoveCount = 1;
  EXPECT_EQ(PvLines().find("multipv 2"), std::string::npos);
}

// Each row is one periodic check of a search that started `elapsed` ms ago,
// under a clock of 400 ms allocated and 1000 ms at most.
TEST_F(SearchIoTest, ClockAndLimitRules) {
  struct Check {
    SearchState state = SearchOnClock;
    i32 depth = 1, elapsed = 0, moveTime = 0, nodeLimit = 0;
    u64 nodes = 0;
    u8 laterRootMove = 0, scoreDropped = 0, rootResearch = 0;
    i32 extraTime = 0;
    SearchState after = SearchOnClock;
    i32 countdownAfter = 1000;  // the countdown to the next check, 1000 before
  };
  const Check checks[] = {
      // The hard limit ends even the first iteration.
      {.elapsed = 900},
      {.elapsed = 1000, .after = SearchStopped},
      // The soft limit needs a later root move, no score drop and no re-search.
      {.depth = 4, .elapsed = 500},
      {.depth = 4, .elapsed = 500, .laterRootMove = 1, .scoreDropped = 1},
      {.depth = 4, .elapsed = 500, .laterRootMove = 1, .rootResearch = 1},
      {.depth = 4, .elapsed = 500, .laterRootMove = 1, .extraTime = 200},
      {.depth = 4, .elapsed = 500, .laterRootMove = 1, .after = SearchStopped},
      // Move time and node limits end the first iteration too.
      {.state = SearchToLimit, .elapsed = 250, .moveTime = 300, .after = SearchToLimit},
      {.state = SearchToLimit, .elapsed = 300, .moveTime = 300, .after = SearchStopped},
      {.state = SearchToLimit, .nodeLimit = 1000, .nodes = 1000, .after = SearchStopped},
      // Short of the limit, the next check is moved onto the node that reaches it.
      {.state = SearchToLimit,
       .nodeLimit = 5000,
       .nodes = 4200,
       .after = SearchToLimit,
       .countdownAfter = 799},
      {.state = SearchToLimit, .nodeLimit = 5000, .nodes = 1000, .after = SearchToLimit},
  };
  engine.budget.maximumTime = 1000;
  engine.budget.allocatedTime = 400;
  for (const Check& c : checks) {
    engine.searchState = c.state;
    engine.root.iterationDepth = c.depth;
    engine.budget.moveTime = c.moveTime;
    engine.budget.nodeLimit = c.nodeLimit;
    engine.progress.nodes = c.nodes;
    engine.progress.pollCountdown = 1000;
    engine.root.laterRootMove = c.laterRootMove;
    engine.root.scoreDropped = c.scoreDropped;
    engine.root.rootResearch = c.rootResearch;
    engine.budget.extraTime = c.extraTime;
    StartedAgo(c.elapsed);
    PeriodicCheck(&engine);
    EXPECT_EQ(engine.searchState, c.after) << "row " << &c - checks;
    EXPECT_EQ(engine.progress.pollCountdown, c.countdownAfter) << "row " << &c - checks;
  }
}

TEST_F(SearchIoTest, PeriodicInfoLineAtMostOncePerSecond) {
  engine.searchState = SearchToLimit;
  engine.progress.infoEnabled = 1;
  engine.root.iterationDepth = 5;
  engine.progress.nodes = 2000000;
  static TTEntry entries[4096];
  engine.tt.entries = entries;
  engine.tt.entryCount = 4096;
  engine.tt.fills = 1024;
  StartedAgo(2000);
  testing::internal::CaptureStdout();
  PeriodicCheck(&engine);
  PeriodicCheck(&engine);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("info hashfull 250\ninfo time ", 0), 0u) << out;
  EXPECT_NE(out.find(" nodes 2000000 nps "), std::string::npos);
  EXPECT_EQ(out.find("hashfull", 10), std::string::npos);  // printed once
}

}  // namespace
