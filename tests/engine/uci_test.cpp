#include "engine/uci.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/engine.h"
#include "engine/hash_size.h"
#include "search/state.h"
#include "search/table.h"
#include "tests/support.h"

namespace {

// One engine object per test: the state is large and must start from its
// constructed defaults each time.
class UciTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine = NewEngine(BuiltInParameters, DefaultHashMb);
    ASSERT_NE(engine, nullptr);
    std::memset(&position, 0, sizeof position);
    RegisterOptions(&options);
  }
  void TearDown() override { FreeEngine(engine); }

  std::string Run(const std::string& line) {
    testing::internal::CaptureStdout();
    HandleCommand(line.c_str(), &options, &position, engine);
    return testing::internal::GetCapturedStdout();
  }

  static EngineState* engine;
  Position position;
  OptionTable options;
};
EngineState* UciTest::engine = nullptr;

TEST(Version, FromCompilerDate) {
  char out[32];
  VersionFromDate("Mar 14 2014", out, sizeof out);
  EXPECT_STREQ(out, "14.3");
  VersionFromDate("Dec  7 2026", out, sizeof out);
  EXPECT_STREQ(out, "26.12");
  VersionFromDate("Jan  1 2100", out, sizeof out);
  EXPECT_STREQ(out, "100.1");
  VersionFromDate("Foo 12 2020", out, sizeof out);
  EXPECT_STREQ(out, "20.13");
}

TEST_F(UciTest, UciReplyIsExact) {
  char version[32];
  VersionString(version, sizeof version);
  std::string expected = std::string("id name Tarvo ") + version +
                         "\n"
                         "id author Halvesk\n"
                         "option name Hash type spin default 16 min 8 max " +
                         std::to_string(MaxHashMb) +
                         "\n"
                         "option name Clear Hash type button \n"
                         "option name MultiPV type spin default 1 min 1 max 16\n"
                         "option name Ponder type check default false \n"
                         "option name Rate of play type combo default normal var slow var normal var fast\n"
                         "option name UCI_ShowCurrLine type check default false \n"
                         "option name UCI_EngineAbout type string default Tarvo by Halvesk \n"
                         "option name Move Overhead type spin default 10 min 0 max 5000\n"
                         "option name Threads type spin default 1 min 1 max 1\n";
#ifdef TARVO_TUNE
  // The tuning build announces its search constants after the engine's own options.
  for (int i = 0; i < TunableConstantCount; ++i) {
    const TunableConstant& c = TunableConstants[i];
    expected += std::string("option name ") + c.name + " type spin default " + std::to_string(c.value) +
                " min " + std::to_string(c.low) + " max " + std::to_string(c.high) + "\n";
  }
#endif
  expected += "uciok\n";
  EXPECT_EQ(Run("uci\n"), expected);
  EXPECT_EQ(Run("isready\n"), "readyok\n");
}

TEST_F(UciTest, CommandsMatchByLeadingTextOnly) {
  // What matches no command is named back in one line and changes nothing.
  EXPECT_EQ(Run(" isready\n"), "info string unknown command: isready\n");
  EXPECT_EQ(Run("ISREADY\n"), "info string unknown command: ISREADY\n");
  EXPECT_EQ(Run("isreadyplease\n"), "readyok\n");
  EXPECT_EQ(Run("hello world\n"), "info string unknown command: hello\n");
  EXPECT_EQ(Run("stop\n"), "");
  EXPECT_EQ(Run("ponderhit\n"), "");
  EXPECT_EQ(Run(""), "");
  // Truncated command texts must not read past the line; without a position
  // there is no move to give.
  EXPECT_EQ(Run("go"),
            "info string no position: send \"position startpos\" or \"position fen ...\" first\n"
            "bestmove 0000\n");
  EXPECT_EQ(Run("position"), "");
  EXPECT_EQ(Run("setoption name"), "info string setoption without an option name\n");
  EXPECT_EQ(Run("setoption name "), "info string setoption without an option name\n");
  // "ucinewgame" is not taken for "uci".
  EXPECT_EQ(Run("ucinewgame\n"), "");
}

// The rows run in order, each on the values the rows before left: names are
// case-sensitive, numbers are bounded to the announced range, and every value
// not taken as written is answered with the value in use.
TEST_F(UciTest, OptionValuesAreStoredBoundedAndAnswered) {
  const struct {
    const char* line;  // after "setoption name "
    i32 EngineOptions::*option;
    i32 value;
    const char* answer;
  } cases[] = {
      {"MultiPV value 3", &EngineOptions::multiPv, 3, ""},
      {"multipv value 5", &EngineOptions::multiPv, 3, "info string unknown option: multipv\n"},
      {"MultiPV value 0", &EngineOptions::multiPv, 1, "info string MultiPV 0 is outside 1..16; using 1\n"},
      {"MultiPV value 99", &EngineOptions::multiPv, 16,
       "info string MultiPV 99 is outside 1..16; using 16\n"},
      {"MultiPV value 123456789012345678901234567890", &EngineOptions::multiPv, 16,
       "info string MultiPV 123456789012345678901234567890 is outside 1..16; using 16\n"},
      {"MultiPV value many", &EngineOptions::multiPv, 1,
       "info string MultiPV many is not a number; using 1\n"},
      {"MultiPV value 4 \r", &EngineOptions::multiPv, 4, ""},
      {"Rate of play value fast", &EngineOptions::rateOfPlay, 2, ""},
      {"Rate of play value slow and fast", &EngineOptions::rateOfPlay, 2, ""},
      {"Rate of play value turbo", &EngineOptions::rateOfPlay, 2,
       "info string Rate of play turbo is not slow, normal or fast; using fast\n"},
      {"Move Overhead value 250", &EngineOptions::moveOverhead, 250, ""},
      {"Move Overhead value 99999", &EngineOptions::moveOverhead, 5000,
       "info string Move Overhead 99999 is outside 0..5000; using 5000\n"},
      {"Threads value 4", &EngineOptions::moveOverhead, 5000,
       "info string Threads 4 is outside 1..1; using 1\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(std::string("setoption name ") + c.line + "\n"), c.answer) << c.line;
    EXPECT_EQ(engine->options.*c.option, c.value) << c.line;
  }
  // A repeated "uci" puts every option back to its default.
  Run("uci\n");
  EXPECT_EQ(engine->options.multiPv, 1);
  EXPECT_EQ(engine->options.moveOverhead, 10);

  const struct {
    const char* line;
    u8 EngineOptions::*flag;
    u8 value;
    const char* answer;
  } checks[] = {
      {"Ponder value true", &EngineOptions::ponderEnabled, 1, ""},
      {"Ponder value yes", &EngineOptions::ponderEnabled, 0,
       "info string Ponder yes is neither true nor false; using false\n"},
      {"UCI_Chess960 value true", &EngineOptions::chess960, 0,
       "info string UCI_Chess960 true is not supported; using false\n"},
      {"UCI_ShowCurrLine value true\r", &EngineOptions::showCurrLine, 1, ""},
  };
  for (const auto& c : checks) {
    EXPECT_EQ(Run(std::string("setoption name ") + c.line + "\n"), c.answer) << c.line;
    EXPECT_EQ(engine->options.*c.flag, c.value) << c.line;
  }
}

TEST_F(UciTest, HashSizesFollowTheOption) {
  EXPECT_EQ(engine->tt.entryCount, 1048576u);
  // The caches' 32-byte entries never straddle two cache lines.
  EXPECT_EQ(reinterpret_cast<uintptr_t>(engine->pawnTable) % 64, 0u);
  Run("setoption name Hash value 64\n");
  EXPECT_EQ(engine->tt.entryCount, 4194304u);
  EXPECT_EQ(engine->tt.bucketCount, 1048576u);

  // The same value again keeps the table and its contents.
  engine->tt.entries[5].key = 12345;
  TTEntry* before = engine->tt.entries;
  Run("setoption name Hash value 64\n");
  EXPECT_EQ(engine->tt.entries, before);
  EXPECT_EQ(engine->tt.entries[5].key, 12345u);

  // Megabytes asked for, the megabytes the table gets and the answer.
  const struct {
    const char* value;
    u32 megabytes;
    std::string answer;
  } sizes[] = {{"100", 64, "info string Hash 100 is not a power of two; using 64\n"},
               {"1", 8, "info string Hash 1 is outside 8.." + std::to_string(MaxHashMb) + "; using 8\n"},
               {"200 \r\n", 128, "info string Hash 200 is not a power of two; using 128\n"},
               {"32", 32, ""}};
  for (const auto& c : sizes) {
    EXPECT_EQ(Run(std::string("setoption name Hash value ") + c.value + "\n"), c.answer);
    EXPECT_EQ(engine->tt.entryCount, c.megabytes * 1024 * 1024 / 16) << c.value;
    EXPECT_EQ(engine->tt.entries[5].key, 0u) << c.value;
    EXPECT_EQ(engine->tt.entries[5].depth, -128) << c.value;
  }

  // A repeated "uci" puts every option back to its default.
  Run("uci\n");
  EXPECT_EQ(engine->tt.entryCount, 1048576u);
  EXPECT_EQ(engine->options.hashSizeMb, 16);
}

// What a Hash value becomes on a machine of a given memory (0: unknown).
TEST(HashPlan, ClampedRoundedAndKeptWithinHalfTheMemory) {
  const struct {
    i32 requested;
    u64 physicalMb;
    i32 megabytes;
    HashAdjustment adjustment;
  } cases[] = {
      {100, 0, 64, HashNotPowerOfTwo},
      {-5, 0, 8, HashBelowMinimum},
      {MaxHashMb + 1, 0, MaxHashMb, HashAboveMaximum},
      {1024, 2048, 1024, HashAsAsked},
      {1024, 2047, 512, HashOverMemory},
      {1000, 1000, 256, HashOverMemory},
      {64, 10, 8, HashOverMemory},  // never below the minimum
  };
  for (const auto& c : cases) {
    const HashPlan plan = PlanHashSize(c.requested, c.physicalMb);
    EXPECT_EQ(plan.megabytes, c.megabytes) << c.requested << " on " << c.physicalMb;
    EXPECT_EQ(plan.adjustment, c.adjustment) << c.requested << " on " << c.physicalMb;
  }
}

TEST_F(UciTest, ClearHashEmptiesTheTableEachTimeItIsPressed) {
  const u32 entries = engine->tt.entryCount;
  auto fill = [&] {
    engine->tt.entries[7].key = 777;
    engine->tt.entries[7].depth = 20;
    engine->tt.entries[entries - 1].key = 778;
    engine->tt.fills = 2;
  };
  fill();
  EXPECT_EQ(Run("setoption name Clear Hash\n"), "");
  EXPECT_EQ(engine->tt.entries[7].key, 0u);
  EXPECT_EQ(engine->tt.entries[7].depth, -128);
  EXPECT_EQ(engine->tt.entries[entries - 1].key, 0u);
  EXPECT_EQ(engine->tt.fills, 0u);
  EXPECT_EQ(engine->tt.entryCount, entries);

  // The press is not remembered: setting another option later keeps the
  // table, and pressing again (with a value some interfaces send) clears it.
  fill();
  Run("setoption name MultiPV value 3\n");
  EXPECT_EQ(engine->tt.entries[7].key, 777u);
  Run("setoption name Clear Hash value true\r\n");
  EXPECT_EQ(engine->tt.entries[7].key, 0u);
  fill();
  Run("setoption name Clear Hash\n");
  EXPECT_EQ(engine->tt.entries[entries - 1].key, 0u);
}

TEST_F(UciTest, OverlongOptionValuesAreCut) {
  std::string value(500, 'a');
  EXPECT_EQ(Run("setoption name UCI_EngineAbout value " + value + "\n"),
            "info string UCI_EngineAbout is cut to its first 127 characters\n");
  const OptionEntry& about = options.entries[7];
  ASSERT_STREQ(about.name, "UCI_EngineAbout");
  EXPECT_EQ(std::strlen(about.value), 127u);
  EXPECT_EQ(Run("setoption name UCI_EngineAbout value a\x01"
                "b\n"),
            "");
  EXPECT_STREQ(about.value, "a?b");
  std::string name(300, 'n');
  EXPECT_EQ(Run("setoption name " + name + " value 3\n"),
            "info string unknown option: " + name.substr(0, 127) + "\n");
}

#ifdef TARVO_TUNE
TEST_F(UciTest, TuningBuildAnnouncesAndSetsTheSearchConstants) {
  RestoreConstantsAtExit restore;
  EXPECT_NE(Run("uci\n").find("option name lmrReduction type spin default 16 min 8 max 48\n"),
            std::string::npos);
  EXPECT_EQ(Run("setoption name lmrReduction value 24\n"), "");
  EXPECT_EQ(Constants.lmrReduction, 1.5f);
  EXPECT_EQ(Run("setoption name razorMargin value 5000\n"),
            "info string razorMargin 5000 is outside 100..800; using 800\n");
  EXPECT_EQ(Constants.razorMargin, 800);
  EXPECT_EQ(Run("setoption name razorMargin value wide\n"),
            "info string razorMargin wide is not a number; using 300\n");
  EXPECT_EQ(Constants.razorMargin, 300);
}
#endif

TEST_F(UciTest, NewGameEmptiesTheTable) {
  engine->tt.entries[3].key = 99;
  engine->tt.entries[3].depth = 12;
  engine->tt.generation = 7;
  engine->tt.fills = 5;
  Run("ucinewgame\n");
  EXPECT_EQ(engine->tt.entries[3].key, 0u);
  EXPECT_EQ(engine->tt.entries[3].depth, -128);
  EXPECT_EQ(engine->tt.entries[3].score, -32768);
  EXPECT_EQ(engine->tt.generation, 0);
  EXPECT_EQ(engine->tt.fills, 0u);
  EXPECT_EQ(engine->tt.entryCount, 1048576u);
}

}  // namespace
