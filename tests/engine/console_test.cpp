// The console commands typed into the running engine: their output shapes,
// and that they leave the position and the settings as they were.
#include "engine/console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/uci.h"
#include "eval/eval.h"
#include "search/state.h"
#include "tests/support.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Standard output of a shell command.
std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
  pclose(pipe);
  return out;
}

// A shell word in single quotes (built by appending: GCC 12 warns falsely
// about "'" + std::string).
std::string Quoted(const std::string& word) {
  std::string quoted(1, '\'');
  quoted.append(word);
  quoted.push_back('\'');
  return quoted;
}

// A program built beside the engine (or its emulator wrapper).
std::string Sibling(const char* name) {
  std::string path = TARVO_ENGINE_PATH;
  return path.substr(0, path.rfind('/') + 1) + name;
}

class Console : public SharedEngine {
 protected:
  void SetUp() override {
    std::memset(&position, 0, sizeof position);
    engine->session.ignoreInput = 0;  // as in the running engine, which the bench must restore
    engine->session.positionValid = 0;
    RegisterOptions(&options);
  }

  std::string Run(const std::string& line) {
    testing::internal::CaptureStdout();
    HandleCommand((line + "\n").c_str(), &options, &position, engine);
    return testing::internal::GetCapturedStdout();
  }

  Position position;
  OptionTable options;
};

TEST_F(Console, BoardShowsDiagramFenKeyAndCheckers) {
  const char* const fens[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w Kq - 0 1",
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 1",
      "8/8/8/8/8/3n1k2/8/r3K3 w - - 0 1",  // rook and knight both check
  };
  for (const char* fen : fens) {
    Run(std::string("position fen ") + fen);
    const std::vector<std::string> lines = Lines(Run("d"));
    ASSERT_EQ(lines.size(), 23u) << fen;
    EXPECT_EQ(lines[18], "   a   b   c   d   e   f   g   h");
    EXPECT_EQ(lines[20], std::string("Fen: ") + fen);
    char key[40];
    std::snprintf(key, sizeof key, "Key: %016" PRIX64, position.key);
    EXPECT_EQ(lines[21], key);
    EXPECT_EQ(lines[22], fen == fens[3] ? "Checkers: a1 d3" : "Checkers: none");
  }
  // The rank lines put each piece on its square; an en-passant square is
  // kept (and shown) only where a pawn can take.
  Run("position startpos moves e2e4");
  const std::vector<std::string> lines = Lines(Run("d"));
  EXPECT_EQ(lines[2], " | r | n | b | q | k | b | n | r | 8");
  EXPECT_EQ(lines[10], " |   |   |   |   | P |   |   |   | 4");
  EXPECT_EQ(lines[14], " | P | P | P | P |   | P | P | P | 2");
  EXPECT_EQ(lines[20], "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");

  // The full-move number is the FEN's (1 without one), advanced by each move of Black.
  const struct {
    const char* position;
    const char* fen;
  } numbered[] = {
      {"startpos moves e2e4 e7e5 g1f3", "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2"},
      {"fen r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPPQ2PP/2KR3R b - - 3 14 moves e6e5 f4e5 d6e5",
       "r1b2rk1/2q1bppp/p4n2/1p2p3/3BP3/2N2B2/PPPQ2PP/2KR3R w - - 0 16"},
      {"fen 4k3/8/8/8/8/8/8/4K3 b - -", "4k3/8/8/8/8/8/8/4K3 b - - 0 1"},
  };
  for (const auto& c : numbered) {
    Run(std::string("position ") + c.position);
    EXPECT_EQ(Lines(Run("d"))[20], std::string("Fen: ") + c.fen) << c.position;
  }
}

TEST_F(Console, EvalTableEndsWithTheScoreTheSearchSees) {
  Run("position fen r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPPQ2PP/2KR3R b - - 0 14");
  const u64 key = position.key;
  const std::vector<std::string> lines = Lines(Run("eval"));
  ASSERT_GE(lines.size(), 16u);
  EXPECT_EQ(lines[0].substr(0, 4), "Term");
  const char* const terms[] = {
      "Material",    "Piece squares", "Pawn structure", "Pawns near enemy king", "Mobility and pieces",
      "King safety", "Passed pawns",  "Threats",        "Trapped and blocked"};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(lines[3 + i].rfind(terms[i], 0), 0u) << lines[3 + i];
  EXPECT_NE(lines[4].find("|"), std::string::npos);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Lazy exit: no"), lines.end());

  PlyRecord ply = FreshPly();
  const i32 score = Evaluate(&position, &ply, engine->weights, engine->pawnTable);
  char last[96];
  std::snprintf(last, sizeof last, "Final evaluation: %+d (White's view), %+d (side to move)", -score, score);
  EXPECT_EQ(lines.back(), last);
  EXPECT_EQ(position.key, key);
}

TEST_F(Console, PerftPrintsWhatThePerftToolDividesInto) {
  const char* const fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
  Run(std::string("position fen ") + fen);
  const std::string output = Run("go perft 2");
  const std::vector<std::string> lines = Lines(output);
  ASSERT_EQ(lines.size(), 48u + 2u);
  EXPECT_EQ(lines[48], "");
  EXPECT_EQ(lines[49], "2039");
  EXPECT_EQ(output, Capture(Quoted(Sibling("tarvo-perft")) + " " + Quoted(fen) + " 2 --divide 2>/dev/null"));

  Run("position startpos");
  EXPECT_EQ(Run("go perft 0"), "1\n");
  EXPECT_EQ(Lines(Run("go perft 3")).back(), "8902");
  EXPECT_EQ(Run("go perft x"), "info string perft needs a depth of 0..32\n");
}

TEST_F(Console, WithoutAPositionTheCommandsSaySo) {
  const std::string message =
      "info string no position: send \"position startpos\" or \"position fen ...\" first\n";
  EXPECT_EQ(Run("d"), message);
  EXPECT_EQ(Run("eval"), message);
  EXPECT_EQ(Run("go perft 1"), message);
}

TEST_F(Console, UnknownWordsAreNamedAndChangeNothing) {
  Run("position startpos moves e2e4");
  const Position before = position;
  EXPECT_EQ(Run("hello world"), "info string unknown command: hello\n");
  EXPECT_EQ(Run("\x01\x02 x"), "info string unknown command: ??\n");
  EXPECT_EQ(Run(std::string(100, 'w')), "info string unknown command: " + std::string(40, 'w') + "\n");
  EXPECT_EQ(Run("dd"), "info string unknown command: dd\n");  // commands are whole words
  // Blank lines and the UCI commands this engine ignores get no reply.
  EXPECT_EQ(Run(""), "");
  EXPECT_EQ(Run(" \t "), "");
  EXPECT_EQ(Run("debug on"), "");
  EXPECT_EQ(std::memcmp(&before, &position, sizeof before), 0);
  EXPECT_EQ(engine->options.multiPv, 1);
}

TEST_F(Console, BenchIsTheCommandLineBenchAndRestoresTheSettings) {
  Run("setoption name MultiPV value 3");
  Run("setoption name Hash value 32");
  Run("position startpos");
  const std::vector<std::string> lines = Lines(Run("bench 3"));
  ASSERT_EQ(lines.size(), 30u + 3u);
  EXPECT_EQ(lines[0].rfind(" 1 rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 0), 0u);
  EXPECT_EQ(lines[30].rfind("depth 3, 30 positions, ", 0), 0u);
  u64 nodes = 0, nps = 0;
  ASSERT_EQ(std::sscanf(lines.back().c_str(), "Bench: %" SCNu64 " nodes %" SCNu64 " nps", &nodes, &nps), 2)
      << lines.back();
  // The same count as the command line's bench on the same (built-in) weights.
  const std::string external = Capture(Quoted(TARVO_ENGINE_PATH) + " bench 3 2>/dev/null");
  EXPECT_EQ(external.rfind("Bench: " + std::to_string(nodes) + " nodes ", 0), 0u) << external;
  EXPECT_EQ(engine->options.multiPv, 3);
  EXPECT_EQ(engine->options.hashSizeMb, 32);
  EXPECT_EQ(engine->session.ignoreInput, 0);
  EXPECT_TRUE(engine->session.positionValid);
  EXPECT_EQ(Run("bench 1"), "info string bench depth must be 2..64\n");
}

}  // namespace
