// The engine as a GUI sees it: "position", "go" and the commands read during
// a search, through real pipes.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "engine_pipe.h"

namespace {

std::vector<std::string> Split(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Whether `move` is legal after "position <setup>" (setup as sent to the engine).
bool IsLegalAfter(const std::string& fen, const std::vector<std::string>& moves, const std::string& move) {
  InitBoardTables();
  static Position pos;
  if (!LoadFen(&pos, fen.c_str())) return false;
  for (const std::string& m : moves) {
    Move word = FindLegalMove(&pos, m.c_str());
    if (word == NoMove) return false;
    UndoRecord undo;
    MakeMove(&pos, word, &undo);
  }
  return FindLegalMove(&pos, move.c_str()) != NoMove;
}

// The move of a "bestmove" line; empty when there is none.
std::string BestMove(const std::string& line) {
  const std::vector<std::string> words = Split(line);
  return words.size() >= 2 ? words[1] : "";
}

// Whether a "bestmove" line answers with a move legal after "position fen
// <fen> moves <moves>".
::testing::AssertionResult LegalAnswer(const std::string& line, const std::vector<std::string>& moves = {},
                                       const std::string& fen = StartFen) {
  if (IsLegalAfter(fen, moves, BestMove(line))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no legal answer: \"" << line << "\"";
}

long MsSince(std::chrono::steady_clock::time_point start) {
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                  .count());
}

class Conformance : public ::testing::Test {
 protected:
  // The next "bestmove" line (empty on timeout).
  std::string Answer(int timeoutMs) {
    std::string line;
    return engine.WaitFor("bestmove", timeoutMs, &line) ? line : "";
  }
  // Sends "go ..." and returns the bestmove line.
  std::string GoAndWait(const std::string& go, int timeoutMs) {
    engine.Send(go);
    return Answer(timeoutMs);
  }
  bool Saw(const std::string& prefix) const {
    for (const std::string& l : engine.Lines())
      if (l.rfind(prefix, 0) == 0) return true;
    return false;
  }
  TempDir dir{true};  // outlives the engine that runs in it
  EnginePipe engine{dir.Path()};
};

TEST_F(Conformance, DepthLimitAndBestmoveFormat) {
  engine.Send("position startpos moves e2e4 e7e5");
  std::string best = GoAndWait("go depth 5", 10000);
  ASSERT_FALSE(best.empty());
  // Iterations 1 to 5; progress lines from iteration 3 on.
  EXPECT_TRUE(Saw("info depth 3"));
  EXPECT_TRUE(Saw("info depth 5"));
  EXPECT_TRUE(Saw("info multipv 1 depth 5 score "));
  EXPECT_FALSE(Saw("info depth 6"));
  EXPECT_FALSE(Saw("info depth 2"));
  // "bestmove m " or "bestmove m  ponder p ": each move followed by one blank.
  std::vector<std::string> words = Split(best);
  ASSERT_GE(words.size(), 2u);
  EXPECT_TRUE(IsLegalAfter(StartFen, {"e2e4", "e7e5"}, words[1])) << best;
  if (words.size() == 4) {
    EXPECT_EQ(best, "bestmove " + words[1] + "  ponder " + words[3] + " ");
    EXPECT_TRUE(IsLegalAfter(StartFen, {"e2e4", "e7e5", words[1]}, words[3])) << best;
  } else {
    EXPECT_EQ(best, "bestmove " + words[1] + " ");
  }
}

// The last line with a score before "bestmove", as python-chess keeps it.
std::string LastScoreLine(const std::vector<std::string>& lines) {
  std::string last;
  for (const std::string& l : lines)
    if (l.find(" score ") != std::string::npos) last = l;
  return last;
}

// "mate N" searches at most 2N - 1 plies and ends once a mate in N or fewer is
// proven; every search reports its score, short ones included.
TEST_F(Conformance, MateAndDepthLimitsFindTheMates) {
  struct Case {
    const char* fen;
    const char* go;
    const char* move;    // nullptr: several first moves mate as fast
    const char* score;   // in the last line with a score
    const char* beyond;  // a progress line the search must not reach
  } cases[] = {
      {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "go depth 1", "d1d8", "depth 1 score mate 1 ", "info depth"},
      {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "go mate 1", "d1d8", "depth 1 score mate 1 ", "info depth"},
      {"k7/8/2K5/8/8/8/8/7R w - - 0 1", "go mate 2", nullptr, "score mate 2 ", "info depth 4"},
      {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", "go mate 3", "f6a6", "score mate 3 ", "info depth 6"},
      // A mate in three proven early ends a search allowed nine plies.
      {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", "go mate 5", "f6a6", "score mate 3 ", "info depth 9"},
      // Black mates: the score is in the view of the side to move.
      {"3r2k1/5ppp/8/8/8/8/5PPP/6K1 b - - 0 1", "go depth 2", "d8d1", "depth 2 score mate 1 ", "info depth"},
  };
  for (const Case& c : cases) {
    engine.Send(std::string("position fen ") + c.fen);
    size_t before = engine.Lines().size();
    std::string best = GoAndWait(c.go, 10000);
    ASSERT_FALSE(best.empty()) << c.fen << " " << c.go;
    std::vector<std::string> lines(engine.Lines().begin() + long(before), engine.Lines().end());
    if (c.move != nullptr) {
      EXPECT_EQ(BestMove(best), c.move) << c.fen << " " << c.go;
    }
    std::string last = LastScoreLine(lines);
    EXPECT_EQ(last.rfind("info multipv 1 ", 0), 0u) << last;
    EXPECT_NE(last.find(c.score), std::string::npos) << c.go << ": " << last;
    EXPECT_NE(last.find(" pv " + BestMove(best) + " "), std::string::npos) << last;
    for (const std::string& l : lines) EXPECT_NE(l.rfind(c.beyond, 0), 0u) << c.go << ": " << l;
  }
}

// A node limit that ends the search as iteration 3 begins, before it scores
// a move, still reports the score of the answer: that of iteration 2.
TEST_F(Conformance, NodeLimitBeforeTheFirstScoreLineReportsOne) {
  engine.Send("position startpos");
  std::string best = GoAndWait("go nodes 50", 5000);
  ASSERT_FALSE(best.empty());
  std::string last = LastScoreLine(engine.Lines());
  EXPECT_EQ(last.rfind("info multipv 1 depth 2 score cp ", 0), 0u) << last;
  EXPECT_NE(last.find(" pv " + BestMove(best) + " "), std::string::npos) << last << " / " << best;
}

// A GUI asking for depth N gets iteration N as the depth of the last score.
TEST_F(Conformance, DepthEightReportsDepthEight) {
  engine.Send("position startpos moves e2e4 e7e5 g1f3 b8c6");
  ASSERT_FALSE(GoAndWait("go depth 8", 20000).empty());
  EXPECT_TRUE(Saw("info depth 8"));
  EXPECT_FALSE(Saw("info depth 9"));
  EXPECT_EQ(LastScoreLine(engine.Lines()).rfind("info multipv 1 depth 8 score cp ", 0), 0u)
      << LastScoreLine(engine.Lines());
}

TEST_F(Conformance, SearchmovesRestrictTheRoot) {
  engine.Send("position startpos");
  std::string best = GoAndWait("go depth 6 searchmoves a2a3 h2h3 e7e5 zz", 10000);
  std::string move = BestMove(best);
  EXPECT_TRUE(move == "a2a3" || move == "h2h3") << best;
  for (const std::string& l : engine.Lines()) {
    size_t pv = l.find(" pv ");
    if (l.rfind("info multipv", 0) == 0 && pv != std::string::npos) {
      std::string first = Split(l.substr(pv + 4)).at(0);
      EXPECT_TRUE(first == "a2a3" || first == "h2h3") << l;
    }
  }
}

TEST_F(Conformance, MultiPvReportsThreeLines) {
  engine.Send("setoption name MultiPV value 3");
  engine.Send("position startpos");
  ASSERT_FALSE(GoAndWait("go depth 6", 10000).empty());
  EXPECT_TRUE(Saw("info multipv 1 depth 6 "));
  EXPECT_TRUE(Saw("info multipv 2 depth 6 "));
  EXPECT_TRUE(Saw("info multipv 3 depth 6 "));
  EXPECT_FALSE(Saw("info multipv 4 "));
}

TEST_F(Conformance, InfiniteSearchWaitsForStopAndAnswersIsReady) {
  engine.Send("position startpos");
  engine.Send("go infinite");
  EXPECT_FALSE(engine.WaitFor("bestmove", 500));
  engine.Send("isready");
  EXPECT_TRUE(engine.WaitFor("readyok", 1000));
  engine.Send("stop");
  EXPECT_TRUE(LegalAnswer(Answer(2000)));
}

TEST_F(Conformance, StopDuringTheFirstIterationIsNotLost) {
  engine.Send("position startpos");
  engine.Send("go infinite");
  engine.Send("stop");
  EXPECT_TRUE(LegalAnswer(Answer(3000)));
}

TEST_F(Conformance, InfiniteSearchOutOfDepthWaitsForTheGui) {
  // A mate in one: all 63 iterations finish at once, then the engine waits.
  engine.Send("position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1");
  engine.Send("go infinite");
  EXPECT_FALSE(engine.WaitFor("bestmove", 1000));
  engine.Send("isready");
  EXPECT_TRUE(engine.WaitFor("readyok", 1000));
  engine.Send("stop");
  EXPECT_EQ(BestMove(Answer(1000)), "d1d8");
}

TEST_F(Conformance, DepthSearchOutOfDepthAnswersAtOnce) {
  engine.Send("position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1");
  EXPECT_EQ(BestMove(GoAndWait("go depth 64", 3000)), "d1d8");
}

TEST_F(Conformance, QuitDuringASearchEndsWithoutBestmove) {
  engine.Send("position startpos");
  engine.Send("go infinite");
  EXPECT_FALSE(engine.WaitFor("bestmove", 300));
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(2000), 0);
  EXPECT_FALSE(Saw("bestmove"));
}

TEST_F(Conformance, EndOfInputStillGetsAnAnswer) {
  // An infinite search stops at once, answers and the process ends.
  engine.Send("position startpos");
  engine.Send("go infinite");
  EXPECT_FALSE(engine.WaitFor("bestmove", 300));
  engine.CloseInput();
  EXPECT_TRUE(LegalAnswer(Answer(2000)));
  EXPECT_EQ(engine.WaitExit(2000), 0);
}

TEST_F(Conformance, EndOfInputLetsFixedSearchesRunToTheirLimits) {
  // Everything sent before the end runs, in order, each search to its limit.
  engine.SendRaw(
      "position startpos\ngo depth 8\nposition startpos moves e2e4\ngo nodes 20000\n"
      "position startpos moves e2e4 e7e5\ngo movetime 200\nisready");
  engine.CloseInput();
  EXPECT_TRUE(LegalAnswer(Answer(10000)));
  EXPECT_TRUE(Saw("info depth 6"));
  EXPECT_TRUE(LegalAnswer(Answer(10000), {"e2e4"}));
  EXPECT_TRUE(LegalAnswer(Answer(10000), {"e2e4", "e7e5"}));
  // The last search answers the "isready" read while it runs.
  EXPECT_TRUE(Saw("readyok") || engine.WaitFor("readyok", 2000));
  EXPECT_EQ(engine.WaitExit(2000), 0);
}

TEST_F(Conformance, CommandsPipelinedAfterStopAreKept) {
  // Two root moves: the stop is almost surely read inside the tree, where the
  // search once polled again after it and lost the next line.
  engine.Send("position startpos");
  engine.Send("go infinite searchmoves e2e4 d2d4");
  EXPECT_FALSE(engine.WaitFor("bestmove", 300));
  engine.SendRaw("stop\nposition startpos moves e2e4\ngo depth 4\n");
  ASSERT_FALSE(Answer(2000).empty());
  EXPECT_TRUE(LegalAnswer(Answer(5000), {"e2e4"}));

  engine.Send("go infinite searchmoves e7e5 c7c5");
  EXPECT_FALSE(engine.WaitFor("bestmove", 300));
  engine.SendRaw("stop\nisready\nposition startpos moves e2e4 e7e5\ngo depth 4\nisready\n");
  std::string line;
  ASSERT_TRUE(engine.ReadLine(&line, 2000));
  while (line.rfind("info", 0) == 0) ASSERT_TRUE(engine.ReadLine(&line, 2000));
  // "isready" after "stop" is answered after the answer it waited for.
  EXPECT_EQ(line.rfind("bestmove", 0), 0u) << line;
  EXPECT_TRUE(LegalAnswer(line, {"e2e4"}));
  ASSERT_TRUE(engine.ReadLine(&line, 2000));
  EXPECT_EQ(line, "readyok");
  // The last "isready" is read while "go depth 4" searches, so its answer may
  // come before or after that search's "bestmove"; both must come.
  bool answered = false, ready = false;
  while (!(answered && ready) && engine.ReadLine(&line, 5000)) {
    if (line == "readyok") ready = true;
    if (line.rfind("bestmove", 0) == 0) {
      answered = true;
      EXPECT_TRUE(LegalAnswer(line, {"e2e4", "e7e5"}));
    }
  }
  EXPECT_TRUE(answered);
  EXPECT_TRUE(ready);
}

TEST_F(Conformance, APartialLineNeverHoldsUpTheSearch) {
  engine.Send("position startpos");
  engine.Send("go movetime 300");
  engine.SendRaw("isre");
  ASSERT_FALSE(Answer(2000).empty());
  engine.SendRaw("ady\n");
  EXPECT_TRUE(engine.WaitFor("readyok", 2000));
  // A whole session written one byte at a time.
  std::string session = "position startpos moves e2e4\ngo infinite\nisready\nstop\n";
  for (char c : session) {
    engine.SendRaw(std::string(1, c));
    usleep(2000);
  }
  ASSERT_TRUE(engine.WaitFor("readyok", 2000));
  EXPECT_TRUE(LegalAnswer(Answer(2000), {"e2e4"}));
}

TEST_F(Conformance, StopLimitsAndTheClockEndTheFirstIteration) {
  // A crowded position whose first iteration alone takes minutes.
  const std::string fen = "rnb1kbRr/rBppprp1/rqqQQnqq/pprnBBPp/bpBpQBBP/NPPQqNBb/PP2PPQp/R1BKnRRQ w Kq - 0 1";
  engine.Send("position fen " + fen);
  const char* const searches[] = {"go infinite", "go wtime 2597 btime 2861 winc 10 binc 10", "go nodes 5000",
                                  "go movetime 200"};
  for (const char* go : searches) {
    auto start = std::chrono::steady_clock::now();
    engine.Send(go);
    if (std::string(go) == "go infinite") {
      EXPECT_FALSE(engine.WaitFor("bestmove", 300));
      engine.Send("stop");
    }
    const std::string line = Answer(2000);
    EXPECT_LT(MsSince(start), 1500) << go;
    EXPECT_TRUE(LegalAnswer(line, {}, fen)) << go;
  }
}

TEST_F(Conformance, PonderhitSwitchesToTheClock) {
  engine.Send("position startpos moves e2e4");
  engine.Send("go ponder wtime 2000 btime 2000");
  EXPECT_FALSE(engine.WaitFor("bestmove", 500));
  engine.Send("ponderhit");
  EXPECT_TRUE(LegalAnswer(Answer(2000), {"e2e4"}));
}

TEST_F(Conformance, ClockAndMovetimeBudgetsAreKept) {
  engine.Send("position startpos");
  auto start = std::chrono::steady_clock::now();
  ASSERT_FALSE(GoAndWait("go movetime 300", 2000).empty());
  const long ms = MsSince(start);
  EXPECT_GE(ms, 250);
  EXPECT_LT(ms, 800);
  start = std::chrono::steady_clock::now();
  ASSERT_FALSE(GoAndWait("go wtime 1000 btime 1000 winc 10 binc 10", 2000).empty());
  EXPECT_LT(MsSince(start), 900);
  // Two moves to go with 1.5 s: the hard limit is 1500 / 1.264 - 100 = 1086 ms.
  start = std::chrono::steady_clock::now();
  ASSERT_FALSE(GoAndWait("go wtime 1500 btime 1500 movestogo 2", 3000).empty());
  EXPECT_LT(MsSince(start), 1086 + 150);
}

// Analysis tools show the result of a finished game: mate or stalemate, just
// before the empty answer.
TEST_F(Conformance, NoLegalMoveReportsMateOrStalemate) {
  struct Case {
    const char* fen;
    const char* go;
    const char* info;
  } cases[] = {
      {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "go depth 5", "info depth 0 score mate 0"},
      {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go movetime 500", "info depth 0 score cp 0"},
      {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", "go wtime 1000 btime 1000",
       "info depth 0 score mate 0"},
  };
  for (const Case& c : cases) {
    engine.Send(std::string("position fen ") + c.fen);
    size_t before = engine.Lines().size();
    EXPECT_EQ(GoAndWait(c.go, 2000), "bestmove 0000") << c.fen;
    const std::vector<std::string>& lines = engine.Lines();
    ASSERT_EQ(lines.size(), before + 2) << c.fen;
    EXPECT_EQ(lines[before], c.info) << c.fen;
  }
}

TEST_F(Conformance, PonderAndInfiniteWithNoLegalMoveWaitForTheGui) {
  // A GUI ponders on the move it expects; when that move mates, the engine is
  // asked to ponder a lost position and must still answer only after "stop"
  // (or "ponderhit"), never before.
  engine.Send("position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");
  for (const char* release : {"stop", "ponderhit"}) {
    engine.Send("go ponder wtime 1000 btime 1000");
    EXPECT_FALSE(engine.WaitFor("bestmove", 300)) << release;
    engine.Send(release);
    EXPECT_EQ(Answer(2000), "bestmove 0000") << release;
  }
  engine.Send("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
  engine.Send("go infinite");
  EXPECT_FALSE(engine.WaitFor("bestmove", 300));
  engine.Send("stop");
  EXPECT_TRUE(engine.WaitFor("bestmove 0000", 2000));
}

TEST_F(Conformance, BadInputNeverYieldsAnIllegalMove) {
  // No position yet, a refused FEN, a line with neither startpos nor fen.
  EXPECT_EQ(GoAndWait("go depth 3", 2000), "bestmove 0000");
  engine.Send("position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 garbage");
  engine.Send("position fen xyz");
  EXPECT_EQ(GoAndWait("go depth 3", 2000), "bestmove 0000");
  engine.Send("position");
  EXPECT_EQ(GoAndWait("go depth 3", 2000), "bestmove 0000");
  // Checkmated and stalemated sides have no move to give.
  engine.Send("position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");
  EXPECT_EQ(GoAndWait("go depth 5", 2000), "bestmove 0000");
  engine.Send("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
  EXPECT_EQ(GoAndWait("go wtime 1000 btime 1000", 2000), "bestmove 0000");
  // Replay stops at the first move that is not legal.
  engine.Send("position startpos moves e2e4 e2e4 d7d5");
  EXPECT_TRUE(LegalAnswer(GoAndWait("go depth 4", 5000), {"e2e4"}));
  // Huge numbers and garbage keywords.
  engine.Send("position startpos moves e2e4 e7e5 g1f3");
  for (const char* go : {"go depth 99999999999999999999 nodes 5000", "go wtime -500 btime -500"})
    EXPECT_TRUE(LegalAnswer(GoAndWait(go, 5000), {"e2e4", "e7e5", "g1f3"})) << go;
  engine.Send("isready");
  EXPECT_TRUE(engine.WaitFor("readyok", 2000));
}

// The line before "bestmove" carries the search's totals, not those of the
// last progress line; a "go" without limits analyses until "stop"; without a
// position any "go" says why it has no move.
TEST_F(Conformance, TotalsBeforeBestmoveAndBareGo) {
  engine.Send("go");
  std::string line;
  ASSERT_TRUE(engine.ReadLine(&line, 2000));
  EXPECT_EQ(line, "info string no position: send \"position startpos\" or \"position fen ...\" first");
  EXPECT_EQ(Answer(2000), "bestmove 0000");

  engine.Send("position startpos moves e2e4");
  for (const char* go : {"go", "gowtime"}) {
    const size_t before = engine.Lines().size();
    engine.Send(go);
    EXPECT_FALSE(engine.WaitFor("bestmove", 1500)) << go;
    engine.Send("stop");
    EXPECT_TRUE(LegalAnswer(Answer(2000), {"e2e4"})) << go;
    const std::vector<std::string>& lines = engine.Lines();
    int time = -1, nps = -1;
    unsigned long long nodes = 0, earlier = 0;
    ASSERT_EQ(
        std::sscanf(lines[lines.size() - 2].c_str(), "info time %d nodes %llu nps %d", &time, &nodes, &nps),
        3);
    // It searched until "stop", which came 1.5 s after "go" was sent (the
    // engine's clock starts when it reads the line, a little later).
    EXPECT_GE(time, 1400);
    EXPECT_EQ(u64(nps), nodes * 1000 / u64(time));
    for (size_t i = before; i + 2 < lines.size(); ++i) {
      if (std::sscanf(lines[i].c_str(), "info time %*d nodes %llu", &earlier) == 1) {
        EXPECT_LE(earlier, nodes);
      }
    }
  }
}

// A search restricted to one move answers with that move, so each reply shows
// whether the engine read the position and the move the way they were sent.
TEST_F(Conformance, TabsSeparateWordsAndPromotionLettersTakeEitherCase) {
  // e7e5 is legal only if e2e4 was played.
  engine.Send("position\tstartpos\tmoves\te2e4");
  EXPECT_EQ(BestMove(GoAndWait("go\tdepth\t2\tsearchmoves\te7e5", 5000)), "e7e5");
  engine.Send("position startpos moves\te2e4\t\tc7c5 g1f3");
  EXPECT_EQ(BestMove(GoAndWait("go depth 2 searchmoves\td7d6", 5000)), "d7d6");
  engine.Send("position\tfen\t4k3/1P6/8/8/8/8/8/4K3\tw\t-\t-\t0\t1\tmoves\tb7b8Q");
  EXPECT_EQ(BestMove(GoAndWait("go depth 2 searchmoves e8f7", 5000)), "e8f7");
  engine.Send("position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(BestMove(GoAndWait("go depth 2 searchmoves b7b8N", 5000)), "b7b8n");
}

}  // namespace
