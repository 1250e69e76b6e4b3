// The match runner: its statistics against values worked out independently
// from the published formulas, the rules it adjudicates by, the SAN it writes,
// and whole matches against engines that misbehave in every way it scores.
#include "tools/match/match.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "tests/support.h"
#include "tools/match/rules.h"
#include "tools/match/stats.h"

namespace {

using namespace match;

Tally Trinomial(int wins, int losses, int draws) {
  Tally t;
  t.wins = wins, t.losses = losses, t.draws = draws;
  return t;
}

Tally Pentanomial(std::vector<int> pairs) {
  Tally t;
  for (int i = 0; i < 5; ++i) t.penta[i] = pairs[size_t(i)];
  return t;
}

// Elo from the score, its interval from the sample variance (z = 1.96), LOS
// from the normal approximation of wins against losses: worked out by hand.
TEST(MatchStats, EloIntervalAndLosMatchHandComputedValues) {
  EXPECT_NEAR(EloFromScore(0.75), 190.85, 0.01);
  EXPECT_NEAR(EloFromScore(0.5), 0.0, 1e-9);
  const EloEstimate games = TrinomialElo(Trinomial(30, 20, 50));
  EXPECT_NEAR(games.elo, 34.860, 0.001);
  EXPECT_NEAR(games.margin, 48.470, 0.001);
  const EloEstimate pairs = PentanomialElo(Pentanomial({10, 40, 100, 45, 5}));
  EXPECT_NEAR(pairs.elo, -4.343, 0.001);
  EXPECT_NEAR(pairs.margin, 20.518, 0.001);
  EXPECT_NEAR(LikelihoodOfSuperiority(Trinomial(30, 20, 50)), 0.92135, 1e-5);
  EXPECT_TRUE(std::isinf(TrinomialElo(Trinomial(5, 0, 0)).margin));
  EXPECT_EQ(TrinomialElo(Tally{}).elo, 0);
}

// LLR values from an independent transcription of OpenBench's
// PentanomialSPRT (its maximum-likelihood t-value method, which fastchess
// also applies to trinomial counts), zero counts taken as 0.001.
TEST(MatchStats, SprtLlrMatchesTheNormalizedEloMethod) {
  struct Case {
    Tally tally;
    bool pairs;
    double elo0, elo1, llr;
  };
  const Case cases[] = {
      {Trinomial(4307, 4063, 8620), false, 0, 3, 2.368416},
      {Trinomial(30, 20, 50), false, 0, 5, 0.193215},
      {Trinomial(30, 20, 50), false, -5, 0, 0.213821},
      {Trinomial(0, 0, 10), false, 0, 5, -0.001277},
      {Pentanomial({10, 40, 100, 45, 5}), true, 0, 5, -0.161203},
      {Pentanomial({3, 30, 120, 40, 7}), true, -5, 0, 0.536713},
  };
  for (const Case& c : cases) {
    SprtSettings sprt;
    sprt.elo0 = c.elo0, sprt.elo1 = c.elo1;
    const double llr = c.pairs ? PentanomialLlr(c.tally, sprt) : TrinomialLlr(c.tally, sprt);
    EXPECT_NEAR(llr, c.llr, 2e-4) << "case with llr " << c.llr;
  }
  SprtSettings sprt;
  EXPECT_NEAR(SprtLowerBound(sprt), -2.944439, 1e-6);
  EXPECT_NEAR(SprtUpperBound(sprt), 2.944439, 1e-6);
}

// Every way a game ends by the rules, and the move before it does not end it.
TEST(MatchRules, GamesEndByTheRules) {
  InitBoardTables();
  struct Case {
    const char* fen;
    std::vector<const char*> moves;  // the last one ends the game
    Outcome outcome;
    const char* reason;
  };
  const Case cases[] = {
      {"startpos", {"f2f3", "e7e5", "g2g4", "d8h4"}, Outcome::BlackWins, "checkmate"},
      {"7k/5Q2/8/6K1/8/8/8/8 w - - 0 1", {"g5g6"}, Outcome::Draw, "stalemate"},
      {"startpos",
       {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"},
       Outcome::Draw,
       "threefold repetition"},
      {"8/8/8/4k3/8/8/4K3/4R3 w - - 99 80", {"e1a1"}, Outcome::Draw, "fifty-move rule"},
      {"8/8/8/4k3/8/8/3rK3/8 w - - 0 1", {"e2d2"}, Outcome::Draw, "insufficient material"},
      {"8/8/8/4k3/2b5/3n4/8/5BK1 w - - 0 1", {"f1d3"}, Outcome::Draw, "insufficient material"},
  };
  for (const Case& c : cases) {
    GameBoard board;
    ASSERT_TRUE(StartBoard(&board, c.fen)) << c.fen;
    const char* reason = "";
    for (size_t i = 0; i < c.moves.size(); ++i) {
      EXPECT_EQ(RuleOutcome(&board.pos, &reason), Outcome::Ongoing) << c.fen << " before " << c.moves[i];
      ASSERT_TRUE(PlayUciMove(&board, c.moves[i])) << c.moves[i];
    }
    EXPECT_EQ(RuleOutcome(&board.pos, &reason), c.outcome) << c.fen;
    EXPECT_STREQ(reason, c.reason) << c.fen;
  }
  // Bishops on squares of both colours can still mate; a bad token is refused.
  GameBoard board;
  ASSERT_TRUE(StartBoard(&board, "8/8/8/4k3/8/2b5/8/5BK1 w - - 0 1"));
  ASSERT_TRUE(PlayUciMove(&board, "g1g2"));
  const char* reason = "";
  EXPECT_EQ(RuleOutcome(&board.pos, &reason), Outcome::Ongoing);
  for (const char* bad : {"e5e3", "g2g3", "c3c3", "a1", "e5d5x", "c3d2qq", ""})
    EXPECT_FALSE(PlayUciMove(&board, bad)) << bad;
  EXPECT_EQ(board.uciMoves.size(), 1u);
}

TEST(MatchRules, SanNamesMovesAsPgnReadersExpect) {
  InitBoardTables();
  struct Case {
    const char* fen;
    const char* move;
    const char* san;
  };
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1", "O-O"},
      {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1c1", "O-O-O"},
      {"3k4/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1c1", "O-O-O+"},
      {"4k3/8/8/8/8/8/8/R4RK1 w - - 0 1", "a1c1", "Rac1"},
      {"4k3/8/8/8/R7/8/8/R3K3 w - - 0 1", "a1a2", "R1a2"},
      {"4k3/8/8/8/2N1N3/8/8/4K3 w - - 0 1", "c4d2", "Ncd2"},
      {"4k3/8/8/8/8/1N6/8/1N2KN2 w - - 0 1", "b1d2", "Nb1d2"},
      {"3r3k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7d8q", "exd8=Q+"},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", "exd6"},
      {"rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2", "d8h4", "Qh4#"},
  };
  for (const Case& c : cases) {
    GameBoard board;
    ASSERT_TRUE(StartBoard(&board, c.fen)) << c.fen;
    ASSERT_TRUE(PlayUciMove(&board, c.move)) << c.fen << " " << c.move;
    EXPECT_EQ(board.sanMoves.back(), c.san) << c.fen;
  }
}

std::vector<char*> Argv(std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  return argv;
}

TEST(MatchArgs, CutechessStyleSettingsAreReadAndCheckedWhole) {
  std::vector<std::string> words = {
      "tarvo-match",   "-engine",      "cmd=./a", "name=new",  "option.Hash=32", "ponder",      "-engine",
      "cmd=./b",       "tc=8+0.08",    "-each",   "tc=2+0.02", "-games",         "2",           "-rounds",
      "300",           "-repeat",      "-sprt",   "elo0=-5",   "elo1=0",         "alpha=0.1",   "-openings",
      "file=book.epd", "order=random", "start=3", "-draw",     "movenumber=40",  "movecount=8", "score=10"};
  std::vector<char*> argv = Argv(words);
  MatchSetup setup;
  ASSERT_TRUE(ParseMatchArgs(int(argv.size()), argv.data(), &setup));
  EXPECT_EQ(setup.engines[0].name, "new");
  EXPECT_EQ(setup.engines[1].name, "b");
  EXPECT_TRUE(setup.engines[0].ponder);
  ASSERT_EQ(setup.engines[0].options.size(), 1u);
  EXPECT_EQ(setup.engines[0].options[0].second, "32");
  EXPECT_EQ(setup.engines[0].limits.baseMs, 2000);  // from -each
  EXPECT_EQ(setup.engines[1].limits.baseMs, 8000);  // its own setting wins
  EXPECT_EQ(setup.engines[1].limits.incMs, 80);
  EXPECT_EQ(setup.games * setup.rounds, 600);
  EXPECT_TRUE(setup.repeat && setup.sprt && setup.randomOrder);
  EXPECT_EQ(setup.sprtSettings.elo0, -5);
  EXPECT_EQ(setup.sprtSettings.alpha, 0.1);
  EXPECT_EQ(setup.openingStart, 3);
  EXPECT_EQ(setup.drawMoveCount, 8);

  const std::vector<std::vector<std::string>> refused = {
      {"tarvo-match", "-engine", "cmd=a", "nodes=4k", "-engine", "cmd=b", "nodes=1"},
      {"tarvo-match", "-engine", "cmd=a", "-engine", "cmd=b", "-each", "depth=3", "-games", "2x"},
      {"tarvo-match", "-engine", "cmd=a", "tc=1+0.01"},
      {"tarvo-match", "-engine", "cmd=a", "-engine", "cmd=b", "-each", "tc=1", "-sprt", "elo0=5", "elo1=0"},
      {"tarvo-match", "-engine", "cmd=a", "-engine", "cmd=b"},
  };
  for (std::vector<std::string> r : refused) {
    std::vector<char*> bad = Argv(r);
    MatchSetup ignored;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ParseMatchArgs(int(bad.size()), bad.data(), &ignored)) << r.back();
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  }
}

// Tarvo in a folder of its own (it writes a weights dump where it runs).
EngineSetup Tarvo(const TempDir& dir, const char* name, Limits limits) {
  EngineSetup e;
  e.name = name;
  e.command = TARVO_ENGINE_PATH;
  e.dir = dir.Path();
  e.limits = limits;
  return e;
}

Limits Clock(int baseMs, int incMs) {
  Limits l;
  l.baseMs = baseMs, l.incMs = incMs;
  return l;
}

struct Timed {
  MatchReport report;
  double seconds;
};

Timed PlayMatch(const MatchSetup& setup) {
  const auto start = std::chrono::steady_clock::now();
  FILE* sink = std::tmpfile();
  Timed t{RunMatch(setup, sink), 0};
  std::fclose(sink);
  t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return t;
}

// Each way of failing loses every game of the fake engine, is counted as what
// it is (and nothing else), and costs the runner no more than its limits: a
// crashed or hung engine is started afresh for the next game.
TEST(MatchRunner, EachFaultLosesAndIsCountedApart) {
  struct Case {
    const char* mode;
    Fault fault;
  };
  const Case cases[] = {{"illegal", IllegalMove}, {"garbage", MalformedMove},
                        {"crash", Crash},         {"hang", Hang},
                        {"flood", Hang},          {"slow", TimeLoss}};
  TempDir dir;
  for (const Case& c : cases) {
    MatchSetup setup;
    setup.engines[0] = Tarvo(dir, "tarvo", Clock(400, 0));
    setup.engines[1].name = c.mode;
    setup.engines[1].command = std::string("sh " TARVO_SOURCE_DIR "/tests/tools/fake_engine.sh ") + c.mode;
    setup.engines[1].limits = Clock(400, 0);
    setup.games = 2;
    setup.repeat = true;
    setup.quiet = true;
    const Timed t = PlayMatch(setup);
    ASSERT_TRUE(t.report.started) << c.mode;
    EXPECT_EQ(t.report.tally.wins, 2) << c.mode;
    EXPECT_EQ(t.report.tally.penta[4], 1) << c.mode;
    for (int k = 0; k < FaultKinds; ++k) {
      EXPECT_EQ(t.report.faults[1][k], k == c.fault ? 2 : 0) << c.mode << " " << FaultNames[k];
      EXPECT_EQ(t.report.faults[0][k], 0) << c.mode << " " << FaultNames[k];
    }
    // Two games of at most a clock and a grace each, plus start-ups.
    EXPECT_LT(t.seconds, 2 * (0.4 + setup.hangGraceMs / 1000.0) + 4) << c.mode;
  }
}

TEST(MatchRunner, AnEngineThatCannotStartStopsTheMatchAtOnce) {
  TempDir dir;
  MatchSetup setup;
  setup.engines[0] = Tarvo(dir, "tarvo", Clock(400, 0));
  setup.engines[1] = Tarvo(dir, "missing", Clock(400, 0));
  setup.engines[1].command = dir.Path() + "/no-such-engine";
  const Timed t = PlayMatch(setup);
  EXPECT_FALSE(t.report.started);
  EXPECT_LT(t.seconds, 5);
}

// An SPRT stops as soon as the answer is clear: every game of an engine that
// plays illegal moves is lost. With bounds 0 and 50 the LLR of n pairs won
// twice is 0.18185 n (the independent transcription above), so the verdict
// comes at the 17th pair.
TEST(MatchRunner, SprtStopsEarlyWithTheVerdict) {
  TempDir dir;
  MatchSetup setup;
  setup.engines[0] = Tarvo(dir, "tarvo", Clock(400, 0));
  setup.engines[1].name = "illegal";
  setup.engines[1].command = "sh " TARVO_SOURCE_DIR "/tests/tools/fake_engine.sh illegal";
  setup.engines[1].limits = Clock(400, 0);
  setup.games = 1000;
  setup.repeat = true;
  setup.quiet = true;
  setup.sprt = true;
  setup.sprtSettings.elo1 = 50;
  const MatchReport report = PlayMatch(setup).report;
  EXPECT_EQ(report.verdict, 1);
  EXPECT_GE(report.llr, SprtUpperBound(setup.sprtSettings));
  EXPECT_EQ(report.tally.Games(), 34);
  EXPECT_EQ(report.tally.wins, report.tally.Games());
}

// Two Tarvo engines play real games, one of them pondering: no faults, every
// game in the PGN with a result that agrees with the counts.
TEST(MatchRunner, TarvoAgainstTarvoWritesEveryGameToThePgn) {
  TempDir dir;
  MatchSetup setup;
  setup.engines[0] = Tarvo(dir, "pondering", Clock(1000, 10));
  setup.engines[0].ponder = true;
  setup.engines[1] = Tarvo(dir, "nodes", Limits{});
  setup.engines[1].limits.nodes = 3000;
  setup.games = 4;
  setup.repeat = true;
  // One game at a time: a pondering engine keeps a core busy in its
  // opponent's time. Thirty moves each and five seconds forgiven over the
  // clock: on a loaded machine, and more so under emulation, Tarvo can run
  // late at 1+0.01, and its time keeping is not what this test checks.
  setup.maxMoves = 30;
  setup.timeMarginMs = 5000;
  setup.quiet = true;
  setup.openingsFile = TARVO_SOURCE_DIR "/tools/books/confirm.epd";
  setup.pgnFile = dir.Path() + "/games.pgn";
  setup.logFile = dir.Path() + "/traffic.log";
  const MatchReport report = PlayMatch(setup).report;
  ASSERT_TRUE(report.started);
  EXPECT_EQ(report.tally.Games(), 4);
  EXPECT_EQ(report.tally.Pairs(), 2);
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < FaultKinds; ++k) EXPECT_EQ(report.faults[i][k], 0) << i << " " << FaultNames[k];
  // Without a time loss no game can have used more than its clock, thirty
  // increments and the forgiven margin; the node-limited engine has no clock.
  EXPECT_GE(report.clockMoves[0], 4);
  EXPECT_LE(report.clockMoves[0], 4 * 30);
  EXPECT_GT(report.clockUsedMs[0], 0.0);
  EXPECT_LE(report.clockUsedMs[0], 4 * (1000.0 + 30 * 10 + setup.timeMarginMs));
  EXPECT_EQ(report.clockMoves[1], 0);

  const std::string pgn = ReadFile(setup.pgnFile);
  int games = 0, firstEnginePoints = 0;  // half-points
  for (size_t at = pgn.find("[Round "); at != std::string::npos; at = pgn.find("[Round ", at + 1)) {
    ++games;
    const bool white = pgn.find("[White \"pondering\"]", at) == pgn.find("[White ", at);
    const size_t result = pgn.find("[Result \"", at) + 9;
    const std::string r = pgn.substr(result, pgn.find('"', result) - result);
    firstEnginePoints += r == "1/2-1/2" ? 1 : (r == "1-0") == white ? 2 : 0;
    EXPECT_NE(pgn.find("[FEN \"", at), std::string::npos);
  }
  EXPECT_EQ(games, 4);
  EXPECT_EQ(firstEnginePoints, 2 * report.tally.wins + report.tally.draws);
  const std::string log = ReadFile(setup.logFile);
  EXPECT_NE(log.find("go ponder"), std::string::npos);
  EXPECT_NE(log.find("> go nodes 3000"), std::string::npos);
}

// The FEN tags of a PGN, game by game.
std::vector<std::string> PgnFens(const std::string& pgn) {
  std::vector<std::string> fens;
  for (size_t at = pgn.find("[FEN \""); at != std::string::npos; at = pgn.find("[FEN \"", at + 1))
    fens.push_back(pgn.substr(at + 6, pgn.find('"', at + 6) - at - 6));
  return fens;
}

// The book's order: sequential from start=K, or shuffled by the seed alone;
// the two games of a pair share their opening.
TEST(MatchRunner, OpeningsComeInTheOrderAsked) {
  TempDir dir;
  const auto play = [&](bool random, u64 seed, int start, const std::string& pgn) {
    MatchSetup setup;
    setup.engines[0] = Tarvo(dir, "tarvo", Clock(400, 0));
    setup.engines[1].name = "illegal";
    setup.engines[1].command = "sh " TARVO_SOURCE_DIR "/tests/tools/fake_engine.sh illegal";
    setup.engines[1].limits = Clock(400, 0);
    setup.games = 6;
    setup.repeat = true;
    setup.quiet = true;
    setup.openingsFile = TARVO_SOURCE_DIR "/tools/books/confirm.epd";
    setup.randomOrder = random;
    setup.seed = seed;
    setup.openingStart = start;
    setup.pgnFile = dir.Path() + "/" + pgn;
    EXPECT_EQ(PlayMatch(setup).report.tally.Games(), 6);
    // The games end at the first move, so each FEN is the opening as played
    // (the book has no move counters: the PGN adds "0 1").
    std::vector<std::string> fens = PgnFens(ReadFile(setup.pgnFile));
    for (std::string& fen : fens) fen.resize(fen.size() - 4);
    return fens;
  };
  std::vector<std::string> book;
  std::istringstream lines(ReadFile(TARVO_SOURCE_DIR "/tools/books/confirm.epd"));
  for (std::string line; std::getline(lines, line);) book.push_back(line);

  const std::vector<std::string> sequential = play(false, 0, 3, "sequential.pgn");
  ASSERT_EQ(sequential.size(), 6u);
  for (size_t g = 0; g < 6; ++g) EXPECT_EQ(sequential[g], book[2 + g / 2]) << g;
  const std::vector<std::string> first = play(true, 5, 1, "first.pgn");
  EXPECT_EQ(play(true, 5, 1, "again.pgn"), first);
  EXPECT_NE(play(true, 6, 1, "other.pgn"), first);
  EXPECT_NE(first, play(false, 0, 1, "plain.pgn"));
  for (size_t g = 0; g < 6; g += 2) EXPECT_EQ(first[g], first[g + 1]);
}

// Adjudication by score and by length ends games early, as asked, and says
// so; two games at a time.
TEST(MatchRunner, GamesAreAdjudicatedByScoreAndLength) {
  TempDir dir;
  Limits nodes;
  nodes.nodes = 500;
  struct Case {
    int drawMoveNumber, drawMoveCount, drawScore, maxMoves;
    const char* reason;
    int plies;
  };
  // A draw once both sides stayed within 1000 cp for one move each; a draw
  // at three moves.
  const Case cases[] = {{1, 1, 1000, 0, "adjudicated draw by score", 2}, {0, 0, 0, 3, "move limit", 6}};
  for (const Case& c : cases) {
    MatchSetup setup;
    setup.engines[0] = Tarvo(dir, "a", nodes);
    setup.engines[1] = Tarvo(dir, "b", nodes);
    setup.games = 4;
    setup.repeat = true;
    setup.concurrency = 2;
    setup.quiet = true;
    setup.openingsFile = TARVO_SOURCE_DIR "/tools/books/confirm.epd";
    setup.drawMoveNumber = c.drawMoveNumber, setup.drawMoveCount = c.drawMoveCount,
    setup.drawScore = c.drawScore;
    setup.maxMoves = c.maxMoves;
    setup.pgnFile = dir.Path() + "/" + std::to_string(c.plies) + ".pgn";
    const MatchReport report = PlayMatch(setup).report;
    EXPECT_EQ(report.tally.draws, 4) << c.reason;
    EXPECT_EQ(report.tally.penta[2], 2) << c.reason;  // pairs put together from two workers
    ASSERT_EQ(report.endings.size(), 1u) << c.reason;
    EXPECT_EQ(report.endings[0].first, c.reason);
    const std::string pgn = ReadFile(setup.pgnFile);
    EXPECT_NE(pgn.find("[PlyCount \"" + std::to_string(c.plies) + "\"]"), std::string::npos) << c.reason;
    EXPECT_NE(pgn.find(std::string("{") + c.reason + "} 1/2-1/2"), std::string::npos) << c.reason;
  }
}

}  // namespace
