// A UCI engine as a child process (POSIX: fork, exec, pipes, poll). Every
// wait has a deadline and every line read is bounded, so that nothing an
// engine does or prints can stall or crash the runner.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace match {

using Clock = std::chrono::steady_clock;

// Lines longer than this are dropped whole: no UCI line the runner reads is
// anywhere near it.
constexpr size_t MaxLineLength = 64 * 1024;

// Writes every line both ways, with milliseconds since the match began; shared
// by the workers.
struct TrafficLog;
TrafficLog* OpenTrafficLog(const std::string& path);
void CloseTrafficLog(TrafficLog* log);

struct EngineProcess {
  // Who and how.
  std::string name;  // in the log
  std::string command;
  std::string dir;
  TrafficLog* log = nullptr;

  pid_t pid = -1;
  int toEngine = -1;
  int fromEngine = -1;
  bool alive = false;  // started and neither ended nor killed

  // Input not yet split into lines; a line over the limit is skipped to its end.
  std::string pending;
  bool skipping = false;

  // What the lines said since the last Expect...() call.
  bool uciok = false;
  bool readyok = false;
  std::string idName;
  bool bestmoveSeen = false;
  std::string bestmoveLine;  // the whole "bestmove ..." line
  Clock::time_point bestmoveAt;
  bool hasScore = false;
  int score = 0;  // centipawns, side to move's view; mates as +-(30000 - plies)
};

// Starts the command (split at blanks; relative paths are taken from the
// runner's working directory) in dir, or the runner's own when empty. False
// when it could not be started; a program that cannot be run shows up as an
// engine that ends at once.
bool StartEngine(EngineProcess* e);
// Sends one line; false when the engine is gone or stops reading past the deadline.
bool SendLine(EngineProcess* e, const std::string& line, Clock::time_point deadline);
// Reads from the engines until the first one's `done` flag holds or the
// deadline passes; the others (a pondering opponent) are drained meanwhile so
// that their pipes never fill. False on the deadline or when the first engine
// ended (its pipe closed).
bool WaitFor(EngineProcess* e, bool EngineProcess::*done, Clock::time_point deadline,
             EngineProcess* also = nullptr);
// "uci" and "uciok", options, then "isready" and "readyok", all within the time.
bool Handshake(EngineProcess* e, const std::vector<std::string>& setup, int timeoutMs);
// Clears what the lines said before a new search.
void ExpectBestmove(EngineProcess* e);
// Kills the process group and reaps it.
void KillEngine(EngineProcess* e);
// "quit", a short wait, then the kill if it is still there.
void StopEngine(EngineProcess* e);

}  // namespace match
