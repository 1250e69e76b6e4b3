#include <gtest/gtest.h>

#include "board/board.h"
#include "tests/support.h"

TEST(BitPrimitives, BitScanAndPopCount) {
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(BitScan(1ull << i), i);
    EXPECT_EQ(BitScan((1ull << i) | (i < 63 ? 1ull << 63 : 0)), i);
  }
  EXPECT_EQ(PopCount(0), 0);
  EXPECT_EQ(PopCount(~0ull), 64);
  EXPECT_EQ(PopCount(0x8100000000000081ull), 4);
}

// The builtins and the portable forms agree, on single bits and on random words.
TEST(BitPrimitives, BuiltinsMatchPortableForms) {
  Random random{0x9E3779B97F4A7C15ull};
  for (int i = 0; i < 10000; ++i) {
    const u64 x = i < 64 ? 1ull << i : random.Next() >> (i % 61);
    if (x == 0) continue;
    ASSERT_EQ(BitScan(x), BitScanPortable(x)) << x;
    ASSERT_EQ(PopCount(x), PopCountPortable(x)) << x;
  }
}
