// The tuning build's table of search constants: what UCI options set.
#ifdef TARVO_TUNE
#include "search/constants.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "tests/support.h"

namespace {

TEST(TunableConstants, EveryEntryRoundTripsItsDefaultWithinItsRange) {
  RestoreConstantsAtExit restore;
  std::set<std::string> names;
  ASSERT_GT(TunableConstantCount, 50);
  for (int i = 0; i < TunableConstantCount; ++i) {
    const TunableConstant& c = TunableConstants[i];
    EXPECT_TRUE(names.insert(c.name).second) << c.name;
    EXPECT_LE(c.low, c.value) << c.name;
    EXPECT_LE(c.value, c.high) << c.name;
    EXPECT_LT(c.low, c.high) << c.name;
    // Setting an entry to its low end changes the record; setting it back
    // to its default restores the record byte for byte.
    c.set(c.low == c.value ? c.high : c.low);
    EXPECT_NE(std::memcmp(&Constants, &DefaultConstants, sizeof Constants), 0) << c.name;
    c.set(c.value);
    EXPECT_EQ(std::memcmp(&Constants, &DefaultConstants, sizeof Constants), 0) << c.name;
  }
  // Fractional depths travel in sixteenths of a ply.
  for (int i = 0; i < TunableConstantCount; ++i)
    if (std::string(TunableConstants[i].name) == "extCheckLosing") {
      TunableConstants[i].set(4);
      EXPECT_EQ(Constants.extCheckLosing, 0.25f);
    }
}

}  // namespace
#endif
