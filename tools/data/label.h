// Search scores from another UCI engine for data lines: a stronger engine's
// score is a less noisy label than a game's result, and the tuner's --lambda
// blends it in.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tools/match/process.h"

namespace data {

struct LabelOptions {
  std::string command;                                       // the engine, split at blanks
  std::vector<std::pair<std::string, std::string>> options;  // "setoption" name and value
  long long nodes = 0;                                       // per position; at least one of nodes and depth
  int depth = 0;
  int timeoutMs = 60000;  // a search that takes longer counts as failed
};

struct Labeller {
  LabelOptions options;
  match::EngineProcess engine;
  long long game = -1;  // of the last position searched
};

enum class Label { Score, Mate, Failed };

// Starts the engine: handshake, options, "ucinewgame"; false when it does not answer.
bool StartLabeller(Labeller* labeller, const LabelOptions& options);
void StopLabeller(Labeller* labeller);

// Searches a position. A position of another game than the last one starts
// with "ucinewgame", so that a game's scores do not depend on which positions
// came before it. Score: *whiteScore in centipawns, White's view. Mate: the
// engine found a mate (no centipawn value to give). Failed: no score within
// the time, or the engine ended; it is started again for the next position.
Label ScorePosition(Labeller* labeller, const std::string& fen, long long game, int* whiteScore);

struct LabelCounts {
  long long scored = 0;
  long long mates = 0;   // written without a score
  long long failed = 0;  // written without a score
  long long copied = 0;  // lines that are not data lines, copied as they are
};

// Reads `lines` lines (as ReadDataLine splits them) from `in` and writes each
// data line with the engine's score in place of its own (none where the engine
// found a mate or failed), keeping its result and game; other lines are
// copied, so that a line of the output stands for a line of the input. `done`
// counts the lines written so far. False when the engine cannot be started
// again or `out` cannot be written.
bool LabelLines(Labeller* labeller, FILE* in, FILE* out, long long lines, LabelCounts* counts,
                std::atomic<long long>* done);

// One line of a data file (a longer line comes in pieces); false at the end.
bool ReadDataLine(FILE* in, char (&line)[512]);

}  // namespace data
