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
    engine.ignoreInput = 1;
    for (int k = 0; k < MaxMultiPv; ++k) {
      engine.pvScore[k] = -InfiniteScore;
      engine.pvSlot[k] = k;
    }
  }
  // The clock as if the search had started `ms` milliseconds ago.
  void StartedAgo(i32 ms) { engine.startTick = engine.lastInfoTick = TickCount() - u32(ms); }
  static EngineState engine;
};
EngineState SearchIoTest::engine;

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
  engine.multiPv = 3;
  engine.rootMoveCount = 20;
  engine.iterationDepth = 7;
  // Rank 0 lives in slot 2, rank 1 in slot 0; rank 2 is empty.
  engine.pvScore[0] = 32699;
  engine.pvSlot[0] = 2;
  engine.pvScore[1] = -35;
  engine.pvSlot[1] = 0;
  engine.pvLines[2][0] = Word("e2e4");
  engine.pvLength[2] = 1;
  engine.pvTime[2] = 1000;
  engine.pvNodes[2] = 123456;
  engine.pvLines[0][0] = Word("d2d4");
  engine.pvLines[0][1] = MakeMoveWord(51, 35, Pawn, Empty) | MoveDoublePushFlag;  // d7d5
  engine.pvLength[0] = 2;
  engine.pvTime[0] = 10;
  engine.pvNodes[0] = 1280;
  testing::internal::CaptureStdout();
  PrintPvLines(&engine);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "info multipv 1 depth 7 score mate 1 time 1000 nodes 123456 nps 123456 pv e2e4 \n"
            "info multipv 2 depth 7 score cp -35 time 10 nodes 1280 nps 128000 pv d2d4 d7d5 \n");

  // Mate scores: -32698 is mated in one, 32635 is still centipawns.
  engine.multiPv = 1;
  engine.pvScore[0] = -32698;
  testing::internal::CaptureStdout();
  PrintPvLines(&engine);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("score mate -1 "), std::string::npos);
  engine.pvScore[0] = 32635;
  testing::internal::CaptureStdout();
  PrintPvLines(&engine);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("score cp 32635 "), std::string::npos);

  // Never more lines than root moves.
  engine.multiPv = 3;
  engine.rootMoveCount = 1;
  testing::internal::CaptureStdout();
  PrintPvLines(&engine);
  std::string one = testing::internal::GetCapturedStdout();
  EXPECT_EQ(one.find("multipv 2"), std::string::npos);
}

TEST_F(SearchIoTest, ClockRules) {
  engine.searchState = 1;
  engine.maximumTime = 1000;
  engine.allocatedTime = 400;
  // The hard limit ends even the first iteration.
  engine.iterationDepth = 1;
  StartedAgo(900);
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 1);
  StartedAgo(1000);
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 0);

  // The soft limit needs a later root move, no score drop and no re-search.
  engine.searchState = 1;
  engine.iterationDepth = 4;
  StartedAgo(500);
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 1);
  engine.laterRootMove = 1;
  engine.scoreDropped = 1;
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 1);
  engine.scoreDropped = 0;
  engine.rootResearch = 1;
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 1);
  engine.rootResearch = 0;
  engine.extraTime = 200;
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 1);
  engine.extraTime = 0;
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 0);
}

TEST_F(SearchIoTest, FixedLimitRules) {
  // Move time and node limits end the first iteration too.
  engine.searchState = 3;
  engine.moveTime = 300;
  engine.iterationDepth = 1;
  StartedAgo(250);
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 3);
  StartedAgo(300);
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 0);

  engine.searchState = 3;
  engine.moveTime = 0;
  engine.nodeLimit = 1000;
  engine.nodes = 1000;
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 0);

  // Short of the limit, the next check is moved onto the node that reaches it.
  engine.searchState = 3;
  engine.nodeLimit = 5000;
  engine.nodes = 4200;
  engine.pollCountdown = 1000;
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.searchState, 3);
  EXPECT_EQ(engine.pollCountdown, 799);
  engine.nodes = 1000;
  engine.pollCountdown = 1000;
  PeriodicCheck(&engine);
  EXPECT_EQ(engine.pollCountdown, 1000);
}

TEST_F(SearchIoTest, PeriodicInfoLineAtMostOncePerSecond) {
  engine.searchState = 3;
  engine.infoEnabled = 1;
  engine.iterationDepth = 5;
  engine.nodes = 2000000;
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
