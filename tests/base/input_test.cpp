// The input reader and the search's poll, fed through a pipe as the GUI feeds
// the engine.
#include "base/input.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "search/searchio.h"
#include "search/state.h"

namespace {

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(pipe(fds), 0);
    std::memset(&engine, 0, sizeof engine);
    InitInputReader(&engine.session.input, fds[0]);
  }
  void TearDown() override {
    if (fds[1] >= 0) close(fds[1]);
    close(fds[0]);
  }
  void Write(const std::string& text) {
    ASSERT_EQ(write(fds[1], text.data(), text.size()), ssize_t(text.size()));
  }
  void CloseWriter() {
    close(fds[1]);
    fds[1] = -1;
  }
  // Every line the command loop gets until the input ends.
  std::vector<std::string> RemainingLines() {
    std::vector<std::string> lines;
    while (const char* line = NextLine(&engine.session.input)) lines.push_back(line);
    return lines;
  }
  // Whole lines held that the search has not looked at, left where they are.
  int PendingCount() {
    InputReader copy = engine.session.input;
    const char* line;
    int count = 0;
    for (i32 size; (size = PendingLine(&copy, &line)) > 0; ++count) KeepLine(&copy, size);
    return count;
  }

  // What the search's poll prints.
  std::string Poll() {
    testing::internal::CaptureStdout();
    PollInput(&engine);
    return testing::internal::GetCapturedStdout();
  }

  int fds[2] = {-1, -1};
  static EngineState engine;
};
EngineState InputTest::engine;

TEST_F(InputTest, LinesSplitAtEveryByteArriveWholeAndInOrder) {
  const std::string text = "uci\r\nisready\nposition startpos moves e2e4\ngo depth 4\nquit";
  int newlines = 0;
  for (char c : text) {
    Write(std::string(1, c));
    // Never waits for the rest of a line; a line counts once its newline is in.
    ReadWaiting(&engine.session.input);
    newlines += c == '\n';
    ASSERT_EQ(PendingCount(), newlines) << "after byte " << int(c);
  }
  CloseWriter();
  std::vector<std::string> expected = {"uci\n", "isready\n", "position startpos moves e2e4\n", "go depth 4\n",
                                       "quit\n"};
  EXPECT_EQ(RemainingLines(), expected);
}

TEST_F(InputTest, SearchActsOnItsCommandsAndKeepsTheRestInOrder) {
  engine.searchState = SearchToLimit;
  Write("isready\nsetoption name Hash value 32\nponderhit\nposition startpos\nstop\nisready\ngo depth 3\n");
  EXPECT_EQ(Poll(), "readyok\n");
  EXPECT_EQ(engine.searchState, SearchStopped);
  // A stopped search reads nothing more.
  Write("stop\n");
  PollInput(&engine);
  CloseWriter();
  std::vector<std::string> expected = {"setoption name Hash value 32\n", "position startpos\n", "isready\n",
                                       "go depth 3\n", "stop\n"};
  EXPECT_EQ(RemainingLines(), expected);
}

// "quit" ends the search without an answer: nothing after it is read or
// answered, and the command loop sees the request and returns.
TEST_F(InputTest, QuitStopsTheSearchAndTakesNothingAfterIt) {
  engine.searchState = SearchToLimit;
  Write("quit\nisready\n");
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(engine.searchState, SearchStopped);
  EXPECT_EQ(engine.session.quitRequested, 1);
  CloseWriter();
  EXPECT_EQ(RemainingLines(), std::vector<std::string>{"isready\n"});
}

TEST_F(InputTest, CommandsAfterAWaitingGoBelongToTheNextSearch) {
  engine.searchState = SearchToLimit;
  Write("position startpos\ngo infinite\nponderhit\nstop\nisready\n");
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(engine.searchState, SearchToLimit);
  // The loop runs "position" and "go"; the new search then sees the rest.
  EXPECT_STREQ(NextLine(&engine.session.input), "position startpos\n");
  EXPECT_STREQ(NextLine(&engine.session.input), "go infinite\n");
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(engine.searchState, SearchStopped);
  // "isready" came after "stop": it is answered after the search's answer.
  EXPECT_STREQ(NextLine(&engine.session.input), "isready\n");
}

TEST_F(InputTest, EndOfInputStopsOnlySearchesThatWaitForTheGui) {
  Write("isready");  // the last line, without its newline
  CloseWriter();
  engine.searchState = SearchToLimit;
  engine.budget.untilStopped = 0;
  EXPECT_EQ(Poll(), "readyok\n");
  EXPECT_TRUE(engine.session.input.ended);
  EXPECT_EQ(engine.searchState, SearchToLimit);
  engine.budget.untilStopped = 1;
  PollInput(&engine);
  EXPECT_EQ(engine.searchState, SearchStopped);
  // After a "ponderhit" the search is an ordinary clock search.
  engine.searchState = SearchOnClock;
  PollInput(&engine);
  EXPECT_EQ(engine.searchState, SearchOnClock);
  EXPECT_EQ(NextLine(&engine.session.input), nullptr);
}

TEST_F(InputTest, OverlongLinesAreRefusedWhole) {
  // The longest line that fits: 65535 characters and the newline.
  std::string longest = "isready" + std::string(InputBufferSize - 8, ' ') + "\n";
  std::string tooLong = std::string(70000, 'x') + "isready\n";
  std::string text = longest + tooLong + "isready\r\n" + "x";
  testing::internal::CaptureStdout();
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size(); at += 4096) {
    Write(text.substr(at, 4096));
    ReadWaiting(&engine.session.input);
    // The loop takes its lines as they come, as it would between searches.
    for (int n = PendingCount(); n > 0; --n) lines.push_back(NextLine(&engine.session.input));
  }
  CloseWriter();
  for (const std::string& line : RemainingLines()) lines.push_back(line);
  std::vector<std::string> expected = {longest, "isready\n", "x\n"};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "info string line too long, ignored\n");
}

}  // namespace
