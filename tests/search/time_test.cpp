#include "search/time.h"

#include <gtest/gtest.h>

#include <cstring>

#include "search/state.h"

namespace {

struct Budget {
  i32 allocated, maximum, countdown;
};

Budget Allocate(int side, i32 wtime, i32 btime, i32 winc, i32 binc, i32 movestogo, bool ponder, int rate = 1,
                i32 overhead = 0) {
  static EngineState engine;
  static Position pos;
  std::memset(&engine, 0, sizeof engine);
  std::memset(&pos, 0, sizeof pos);
  pos.side = u8(side);
  engine.options.rateOfPlay = rate;
  engine.options.moveOverhead = overhead;
  engine.progress.pollCountdown = 10000;
  AllocateTime(&engine, &pos, wtime, btime, winc, binc, movestogo, ponder);
  return {engine.budget.allocatedTime, engine.budget.maximumTime, engine.progress.pollCountdown};
}

TEST(AllocateTime, SuddenDeathAtNormalRate) {
  // n = 1/0.033, k = 0.264: a = 60000/n, b = 60000/(k*n + 1 - k) - 100.
  Budget b = Allocate(White, 60000, 1000, 0, 0, 0, false);
  EXPECT_EQ(b.allocated, 1980);
  EXPECT_EQ(b.maximum, 6768);
  EXPECT_EQ(b.countdown, 10000);
  // Black reads its own clock.
  Budget black = Allocate(Black, 1000, 60000, 0, 0, 0, false);
  EXPECT_EQ(black.allocated, 1980);
  EXPECT_EQ(black.maximum, 6768);
}

TEST(AllocateTime, MoveOverheadComesOffTheClockFirst) {
  // Overhead 0 is the allocation without the option, to the millisecond.
  Budget none = Allocate(White, 60000, 1000, 0, 0, 0, false, 1, 0);
  EXPECT_EQ(none.allocated, 1980);
  EXPECT_EQ(none.maximum, 6768);
  // With an overhead the budget is the one of the shorter clock, increment kept.
  for (i32 overhead : {10, 500, 4000}) {
    Budget with = Allocate(Black, 1000, 45000, 0, 300, 12, false, 1, overhead);
    Budget shorter = Allocate(Black, 1000, 45000 - overhead, 0, 300, 12, false, 1, 0);
    EXPECT_EQ(with.allocated, shorter.allocated) << overhead;
    EXPECT_EQ(with.maximum, shorter.maximum) << overhead;
    EXPECT_LT(with.maximum, Allocate(Black, 1000, 45000, 0, 300, 12, false).maximum) << overhead;
  }
  // A clock shorter than the lag keeps a millisecond rather than going negative.
  Budget tiny = Allocate(White, 50, 50, 0, 0, 0, false, 1, 100);
  EXPECT_EQ(tiny.allocated, Allocate(White, 1, 50, 0, 0, 0, false).allocated);
}

TEST(AllocateTime, LastMoveBeforeTheControlIsCapped) {
  // a = 10000 and b = 10000 - 100, both capped by 0.9 * 10000 - 100.
  Budget b = Allocate(White, 10000, 10000, 0, 0, 1, false);
  EXPECT_EQ(b.allocated, 8900);
  EXPECT_EQ(b.maximum, 8900);
}

TEST(AllocateTime, MovesToGoBeyondTheDefaultIsReplaced) {
  Budget defaulted = Allocate(White, 60000, 60000, 0, 0, 0, false);
  Budget many = Allocate(White, 60000, 60000, 0, 0, 40, false);
  EXPECT_EQ(many.allocated, defaulted.allocated);
  EXPECT_EQ(many.maximum, defaulted.maximum);
  Budget twenty = Allocate(White, 60000, 60000, 0, 0, 20, false);
  EXPECT_EQ(twenty.allocated, 60000 / 20);
}

TEST(AllocateTime, PonderRaisesOnlyTheTarget) {
  Budget normal = Allocate(White, 60000, 60000, 0, 0, 0, false);
  Budget ponder = Allocate(White, 60000, 60000, 0, 0, 0, true);
  EXPECT_EQ(ponder.maximum, normal.maximum);
  EXPECT_NEAR(ponder.allocated, 1.3 * 60000 * 0.033, 1.0);
}

TEST(AllocateTime, IncrementAndRates) {
  // total = (n - 1) * inc + time.
  Budget inc = Allocate(White, 10000, 10000, 100, 100, 0, false);
  double n = 1 / 0.033;
  EXPECT_NEAR(inc.allocated, ((n - 1) * 100 + 10000) / n, 1.0);
  Budget slow = Allocate(White, 60000, 60000, 0, 0, 0, false, 0);
  Budget fast = Allocate(White, 60000, 60000, 0, 0, 0, false, 2);
  EXPECT_NEAR(slow.allocated, 60000 * 0.043, 1.0);
  EXPECT_NEAR(fast.allocated, 60000 * 0.024, 1.0);
}

TEST(AllocateTime, BlitzTargetSpendsTheIncrementAndAShareOfTheClock) {
  // 3 s left at +50 ms: the target is about time/30 + inc, not 100 ms less
  // (which was below the increment and left most of the clock unused).
  Budget blitz = Allocate(White, 3000, 3000, 50, 50, 0, false);
  EXPECT_EQ(blitz.allocated, 147);
  EXPECT_EQ(blitz.maximum, 411);
  // Down to a few hundred ms the target stays above the increment, and the
  // hard limit stays inside 90% of the clock less the margin.
  for (i32 time : {5000, 1000, 400, 250}) {
    Budget b = Allocate(Black, 1, time, 1, 50, 0, false);
    EXPECT_GT(b.allocated, 50) << time;
    EXPECT_LE(b.allocated, b.maximum) << time;
    EXPECT_LE(b.maximum, 0.9 * time - 100) << time;
  }
}

TEST(AllocateTime, ShortBudgetsBringTheFirstPollForward) {
  // b = total / (k*n + 1 - k) - 100 below 800 halves, below 400 quarters.
  EXPECT_EQ(Allocate(White, 6000, 6000, 0, 0, 0, false).countdown, 5000);
  EXPECT_EQ(Allocate(White, 2000, 2000, 0, 0, 0, false).countdown, 2500);
  Budget bare = Allocate(White, 0, 0, 0, 0, 0, false);
  EXPECT_EQ(bare.allocated, 0);
  EXPECT_EQ(bare.maximum, 0);
  EXPECT_EQ(bare.countdown, 2500);
}

TEST(AllocateTime, LimitsNeverRiseAsTheClockFalls) {
  // Down to the last millisecond, with and without an increment and a move
  // overhead, a shorter clock never allows a longer think, and both limits
  // stay inside it.
  const struct { i32 inc, overhead; } clocks[] = {{0, 0}, {10, 0}, {50, 10}, {100, 0}};
  for (const auto& c : clocks) {
    Budget last = Allocate(White, 2001, 0, c.inc, 0, 0, false, 1, c.overhead);
    for (i32 time = 2000; time >= 1; --time) {
      const Budget b = Allocate(White, time, 0, c.inc, 0, 0, false, 1, c.overhead);
      ASSERT_LE(b.allocated, last.allocated) << time << "+" << c.inc << " overhead " << c.overhead;
      ASSERT_LE(b.maximum, last.maximum) << time << "+" << c.inc << " overhead " << c.overhead;
      ASSERT_LT(b.maximum, time) << time << "+" << c.inc << " overhead " << c.overhead;
      last = b;
    }
  }
}

TEST(AllocateTime, AbsurdClocksDoNotOverflow) {
  Budget huge = Allocate(White, 2147483647, 0, 2147483647, 0, 0, false);
  EXPECT_GT(huge.allocated, 0);
  EXPECT_GE(huge.maximum, huge.allocated);
  Budget negative = Allocate(White, -5000, 0, 0, 0, 0, false);
  EXPECT_LE(negative.allocated, 0);
}

}  // namespace
