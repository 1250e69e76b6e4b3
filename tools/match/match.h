// tarvo-match: UCI engines play each other as child processes, from an
// opening book, on clocks the runner keeps; the results give Elo, the
// pentanomial counts of game pairs and an SPRT verdict, and every fault
// (illegal or malformed move, crash, hang, time loss) is scored and counted.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/types.h"
#include "tools/match/stats.h"

namespace match {

// What an engine is told to search: any mix of a clock, a fixed time per
// move, a node count and a depth (at least one).
struct Limits {
  int baseMs = -1;  // the clock; negative when the engine plays without one
  int incMs = 0;
  int moveTimeMs = 0;
  i64 nodes = 0;
  int depth = 0;
  bool HasClock() const { return baseMs >= 0; }
  bool Any() const { return HasClock() || moveTimeMs > 0 || nodes > 0 || depth > 0; }
};

struct EngineSetup {
  std::string name;
  std::string command;
  std::string dir;
  std::vector<std::pair<std::string, std::string>> options;  // "setoption" name and value
  Limits limits;
  bool ponder = false;
};

enum Fault { IllegalMove, MalformedMove, Crash, Hang, TimeLoss, FaultKinds };
extern const char* const FaultNames[FaultKinds];

struct MatchSetup {
  EngineSetup engines[2];
  int games = 1;  // games per round
  int rounds = 1;
  bool repeat = false;       // each opening with both colours, as a pair of games
  std::string openingsFile;  // EPD; the start position when empty
  bool randomOrder = false;
  int openingStart = 1;  // first opening used, counted from 1
  u64 seed = 0;
  int concurrency = 1;
  bool sprt = false;
  SprtSettings sprtSettings;
  // Adjudication: a draw once both sides' scores stayed within drawScore for
  // drawMoveCount moves each, from move drawMoveNumber on; a loss for the side
  // whose own score stayed at or below -resignScore for resignMoveCount moves;
  // a draw after maxMoves moves.
  int drawMoveNumber = 0, drawMoveCount = 0, drawScore = 0;
  int resignMoveCount = 0, resignScore = 0;
  int maxMoves = 0;
  std::string pgnFile;
  std::string logFile;
  int ratingInterval = 10;
  int timeMarginMs = 0;
  // A move without a clock (nodes, depth) taking longer than this is a hang;
  // on a clock, a move that has not come this long after the flag fell is one.
  int moveTimeoutMs = 60000;
  int hangGraceMs = 1000;
  bool quiet = false;  // no line per game (progress and summary still print)
};

struct MatchReport {
  std::string names[2];
  Tally tally;  // the first engine's view
  int faults[2][FaultKinds] = {};
  // The most time an engine used beyond what its clock had left (negative:
  // it never went past the clock, and this is the closest it came).
  int worstOvershootMs[2] = {};
  // Moves played on a clock and the time they took, for the mean time per
  // move over whole games (how a rate-of-play setting spends its clock).
  int clockMoves[2] = {};
  double clockUsedMs[2] = {};
  std::vector<std::pair<std::string, int>> endings;  // termination reason and count
  bool pentanomial = false;
  double llr = 0;
  int verdict = 0;    // +1 H1 accepted, -1 H0 accepted, 0 none
  int uncounted = 0;  // games still running at the verdict
  double runnerCpuSeconds = 0;
  bool started = false;  // false when an engine could not be started
};

// Reads the command line (cutechess-cli style); false after a message on
// standard error.
bool ParseMatchArgs(int argc, char** argv, MatchSetup* setup);
// Plays the match, printing a line per game (unless quiet), a progress line
// every ratingInterval games and the summary to `out`.
MatchReport RunMatch(const MatchSetup& setup, FILE* out);
void PrintSummary(const MatchSetup& setup, const MatchReport& report, FILE* out);

}  // namespace match
