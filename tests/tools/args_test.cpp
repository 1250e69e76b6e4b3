// The tools' argument reader: numbers are taken only whole and in range, and
// the first fault ends the walk with a message.
#include "tools/common/args.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ToolArgs, NumbersAreTakenWholeAndInRange) {
  struct Case {
    const char* text;
    bool accepted;
    i64 value;
  };
  const Case cases[] = {{"4000", true, 4000}, {"-7", true, -7},
                        {"4k", false, 0},     {"", false, 0},
                        {" 5", false, 0},     {"5 ", false, 0},
                        {"1e3", false, 0},    {"10001", false, 0},
                        {"-11", false, 0},    {"99999999999999999999", false, 0}};
  for (const Case& c : cases) {
    i64 value = 0;
    EXPECT_EQ(ParseWholeInt(c.text, -10, 10000, &value), c.accepted) << c.text;
    if (c.accepted) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
  u64 big = 0;
  EXPECT_TRUE(ParseWholeU64("18446744073709551615", UINT64_MAX, &big));
  EXPECT_EQ(big, UINT64_MAX);
  EXPECT_FALSE(ParseWholeU64("-1", UINT64_MAX, &big));
  double real = 0;
  EXPECT_TRUE(ParseWholeReal("0.25", 0, 1, &real));
  EXPECT_EQ(real, 0.25);
  EXPECT_FALSE(ParseWholeReal("0.25x", 0, 1, &real));
  EXPECT_FALSE(ParseWholeReal("nan", -1e9, 1e9, &real));
  EXPECT_FALSE(ParseWholeReal("1.5", 0, 1, &real));
}

// Runs the reader over a command line as a tool's loop does.
struct Walk {
  const char* out = nullptr;
  i64 games = 0;
  bool quiet = false;
  bool failed = false;
};

Walk WalkArgs(std::vector<const char*> words) {
  words.insert(words.begin(), "tarvo-x");
  ArgReader args = StartArgs("tarvo-x", int(words.size()), const_cast<char**>(words.data()));
  Walk walk;
  while (NextArg(&args)) {
    if (ArgIs(&args, "--out"))
      walk.out = ArgText(&args);
    else if (ArgIs(&args, "--games"))
      walk.games = ArgInt(&args, 1, 1000);
    else if (ArgIs(&args, "--quiet"))
      walk.quiet = true;
    else
      UnknownArg(&args);
  }
  walk.failed = args.failed;
  return walk;
}

TEST(ToolArgs, TheWalkStopsAtTheFirstFault) {
  Walk good = WalkArgs({"--quiet", "--games", "12", "--out", "f.txt"});
  EXPECT_FALSE(good.failed);
  EXPECT_TRUE(good.quiet);
  EXPECT_EQ(good.games, 12);
  EXPECT_STREQ(good.out, "f.txt");

  testing::internal::CaptureStderr();
  Walk bad = WalkArgs({"--games", "4k", "--quiet"});
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(bad.failed);
  EXPECT_FALSE(bad.quiet);  // nothing after the fault is read
  EXPECT_EQ(message, "tarvo-x: --games takes a whole number from 1 to 1000, not \"4k\"\n");

  testing::internal::CaptureStderr();
  EXPECT_TRUE(WalkArgs({"--out"}).failed);
  EXPECT_TRUE(WalkArgs({"--colour", "white"}).failed);
  const std::string more = testing::internal::GetCapturedStderr();
  EXPECT_NE(more.find("--out needs a value"), std::string::npos);
  EXPECT_NE(more.find("unknown argument \"--colour\""), std::string::npos);
}

}  // namespace
