// The bench: fixed-depth searches of a fixed list of positions, each from a
// fresh search state. Its node count is the signature of the search and the
// evaluation; `tarvo bench`, the "bench" command and tarvo-bench share it.
#pragma once

#include "board/types.h"

struct EngineState;

constexpr int DefaultBenchDepth = 10;
constexpr int MinBenchDepth = 2;
constexpr int MaxBenchDepth = 64;

struct BenchResult {
  u64 nodes;
  u64 nps;
  i32 elapsedMs;
  i32 positions;
};

// Receives one progress line (no newline) of the bench.
using BenchSink = void (*)(const char* line);

// Runs the bench on the engine's weights, sending a line per position and a
// summary to `progress`. The search runs with one line, a 16 MB table and no
// input reading; the engine's own settings are restored afterwards (the
// table keeps what the bench stored unless the Hash size differed). False when a bench position is refused (a
// broken build).
bool RunBench(EngineState* engine, int depth, BenchSink progress, BenchResult* result);

// The command-line bench (`tarvo bench`, tarvo-bench): a fresh engine on the
// built-in weights, progress on standard error, the "Bench:" line on standard
// output. With `check`, a node count other than `expected` fails. Returns the
// process exit status.
int BenchFromCommandLine(int depth, bool check, u64 expected);
