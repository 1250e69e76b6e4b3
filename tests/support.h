// What the suites share: square names, move lists as vectors, one
// pseudo-random generator and the random-game walker built on it, the perft
// reference positions, the board's FEN as text, files in a temporary folder,
// the shipped numbers and one engine per suite.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "eval/pawns.h"
#include "search/records.h"
#include "search/state.h"

// Square from text such as "e4".
constexpr int Sq(const char* t) { return (t[0] - 'a') + 8 * (t[1] - '1'); }
constexpr u64 Bit(const char* t) { return 1ull << Sq(t); }

// Deterministic pseudo-random numbers (xorshift64): the same sequence on every
// platform and build, so that every run visits the same positions.
struct Random {
  u64 state;
  u64 Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  int Below(int n) { return int(Next() % u64(n)); }
};

inline std::vector<Move> Moves(const MoveList& list) {
  return std::vector<Move>(list.move, list.move + list.count);
}

inline std::vector<Move> LegalMoves(const Position* pos) {
  MoveList list;
  list.count = 0;
  GenerateLegal(pos, &list);
  return Moves(list);
}

inline std::vector<Move> Sorted(std::vector<Move> moves) {
  std::sort(moves.begin(), moves.end());
  return moves;
}

inline std::string Text(Move m) { return MoveToText(m).text; }

// Move texts joined by blanks, for readable failure messages.
inline std::string Text(const std::vector<Move>& moves) {
  std::string out;
  for (Move m : moves) out.append(out.empty() ? "" : " ").append(Text(m));
  return out;
}

// One line of the perft reference file.
struct EpdEntry {
  std::string fen;
  std::vector<u64> counts;  // counts[d - 1] = leaves at depth d
};

inline std::vector<EpdEntry> ReadEpd() {
  std::vector<EpdEntry> entries;
  std::ifstream in(std::string(TARVO_SOURCE_DIR) + "/tests/data/perft.epd");
  EXPECT_TRUE(in.good());
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    EpdEntry e;
    size_t semicolon = line.find(';');
    e.fen = line.substr(0, line.find_last_not_of(' ', semicolon - 1) + 1);
    for (; semicolon != std::string::npos; semicolon = line.find(';', semicolon + 1)) {
      int depth = 0;
      unsigned long long count = 0;
      if (std::sscanf(line.c_str() + semicolon + 1, "D%d %llu", &depth, &count) == 2 &&
          depth == int(e.counts.size()) + 1)
        e.counts.push_back(count);
    }
    entries.push_back(e);
  }
  return entries;
}

// Any legal move, each as likely as the others.
struct AnyMove {
  Move operator()(const MoveList& legal, Random* random) const {
    return legal.move[random->Below(legal.count)];
  }
};

// Plays `games` random games, game g from starts[g % starts.size()], and hands
// `visit` every position of a game before its move is chosen, the last one of a
// finished game included, up to `plies` positions a game. `pick` chooses each
// move from the legal ones. The position handed over must be left as it was.
template <typename Visit, typename Pick = AnyMove>
void ForRandomGames(const std::vector<std::string>& starts, int games, int plies, u64 seed, Visit visit,
                    Pick pick = {}) {
  static Position pos;
  Random random{seed};
  for (int game = 0; game < games; ++game) {
    const std::string& fen = starts[size_t(game) % starts.size()];
    if (!LoadFen(&pos, fen.c_str())) {
      ADD_FAILURE() << "refused " << fen;
      return;
    }
    for (int ply = 0; ply < plies; ++ply) {
      visit(&pos);
      MoveList legal;
      legal.count = 0;
      GenerateLegal(&pos, &legal);
      if (legal.count == 0) break;
      UndoRecord undo;
      MakeMove(&pos, pick(legal, &random), &undo);
    }
  }
}

// The board's FEN of the position.
inline std::string FenOf(const Position* pos) {
  char fen[128];
  PositionToFen(pos, 1, fen, sizeof fen);
  return fen;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A fresh folder of the test's own, with the shipped parameter file in it if
// asked; removed with everything in it when the test is done.
class TempDir {
 public:
  explicit TempDir(bool withParameters = false) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvo-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no temporary folder";
    path_ = pattern;
    if (withParameters) WriteFile(path_ + "/Parameters.txt", ReadFile(TARVO_SOURCE_DIR "/Parameters.txt"));
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The numbers of the shipped Parameters.txt, from the copy built into the engine.
inline std::vector<double> ShippedNumbers() {
  static NumberList list;
  list.count = 0;
  ParseNumbers(&list, EmbeddedParameters, EmbeddedParametersSize);
  EXPECT_GE(list.count, ParameterCount);
  return std::vector<double>(list.values, list.values + ParameterCount);
}

// Empties the pawn table and builds its storm and shelter tables for the weights.
inline void BuildPawnTable(PawnHashTable* table, const EvalWeights* weights) {
  CreatePawnTable(table);
  BuildStormTable(table, weights);
  BuildShelterTable(table, weights);
}

// A ply record full of garbage, as the search hands it over, with the window
// that never exits early unless another is given.
inline PlyRecord FreshPly(i16 low = -InfiniteScore, i16 high = InfiniteScore) {
  PlyRecord ply;
  std::memset(&ply, 0xA5, sizeof ply);
  ply.lazyLow = low;
  ply.lazyHigh = high;
  return ply;
}

// One engine for the whole suite, on the built-in weights; it never reads the
// standard input.
#ifdef TARVO_TUNE
// Puts the search constants back when a tuning-build test that changed them
// ends, however it ends.
struct RestoreConstantsAtExit {
  ~RestoreConstantsAtExit() { Constants = DefaultConstants; }
};
#endif

class SharedEngine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    engine = NewEngine(BuiltInParameters, DefaultHashMb);
    ASSERT_NE(engine, nullptr);
    engine->session.ignoreInput = 1;
  }
  static void TearDownTestSuite() {
    FreeEngine(engine);
    engine = nullptr;
  }

  // A fixed-depth search from scratch: empty table, statistics and killers
  // cleared, no clock.
  static void FreshSearch() {
    ResetSearchState(engine);
    engine->searchState = SearchToLimit;
    engine->progress.nodes = 0;
    engine->progress.pollInterval = engine->progress.pollCountdown = 1 << 30;
    engine->root.iterationDepth = 1;
  }
  // Evaluates the position into the record of `ply` with the widest window,
  // as the parent does before it searches a node.
  static i32 EvaluateAt(Position* pos, int ply) {
    PlyRecord* node = &engine->plies[ply];
    node->lazyLow = -32768;
    node->lazyHigh = 32767;
    return Evaluate(pos, node, engine->weights, engine->pawnTable);
  }

  static inline EngineState* engine = nullptr;
};
