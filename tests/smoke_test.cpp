#include <gtest/gtest.h>

#include "board/board.h"

TEST(BitPrimitives, BitScanAndPopCount) {
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(BitScan(1ull << i), i);
    EXPECT_EQ(BitScan((1ull << i) | (i < 63 ? 1ull << 63 : 0)), i);
  }
  EXPECT_EQ(PopCount(0), 0);
  EXPECT_EQ(PopCount(~0ull), 64);
  EXPECT_EQ(PopCount(0x8100000000000081ull), 4);
}
