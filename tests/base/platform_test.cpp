// The big tables' memory: aligned, zeroed, and refused rather than wrapped
// when the size is absurd.
#include "base/platform.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(LargeMemoryTest, GivesZeroedPageAlignedMemoryOrNothing) {
  // An odd size: the rounding up to whole pages must cover every byte asked for.
  const u64 bytes = (u64(3) << 20) + 5;
  auto* memory = static_cast<unsigned char*>(AllocateLarge(bytes));
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % 4096, 0u);
  u64 nonZero = 0;
  for (u64 i = 0; i < bytes; ++i) nonZero += memory[i] != 0;
  EXPECT_EQ(nonZero, 0u);
  memory[bytes - 1] = 1;
  FreeLarge(memory);
  FreeLarge(nullptr);

  // Sizes near the top of the address space cannot be had; a wrapped rounding
  // would hand out a few megabytes instead.
  EXPECT_EQ(AllocateLarge(~u64(0)), nullptr);
  EXPECT_EQ(AllocateLarge(~u64(0) - (u64(1) << 20)), nullptr);
}

}  // namespace
