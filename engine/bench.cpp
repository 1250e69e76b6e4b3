#include "engine/bench.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/output.h"
#include "base/platform.h"
#include "engine/bench_positions.h"
#include "engine/engine.h"
#include "engine/hash_size.h"
#include "engine/parameters.h"
#include "eval/pawns.h"
#include "search/search.h"
#include "search/state.h"
#include "search/table.h"

bool RunBench(EngineState* engine, int depth, BenchSink progress, BenchResult* result) {
  // The signature must not depend on what the user set or typed meanwhile.
  const i32 savedMultiPv = engine->options.multiPv;
  const i32 savedHash = engine->options.hashSizeMb;
  const u8 savedIgnoreInput = engine->session.ignoreInput;
  engine->options.multiPv = 1;
  ApplyHashOption(engine, DefaultHashMb);
  engine->session.ignoreInput = 1;

  static Position pos;
  static SearchLimits limits;
  char line[256];
  bool ok = true;
  u64 totalNodes = 0;
  const u32 start = TickCount();
  int index = 0;
  for (const char* fen : BenchPositions) {
    ++index;
    if (!LoadFen(&pos, fen)) {
      std::snprintf(line, sizeof line, "bench position %d refused: %s", index, fen);
      progress(line);
      ok = false;
      break;
    }
    ResetSearchState(engine);
    std::memset(&limits, 0, sizeof limits);
    limits.depth = depth;
    const u32 before = TickCount();
    const bool wasMuted = OutputMuted();
    SetOutputMuted(true);  // no info lines from the searches
    RootSearch(engine, &pos, &limits);
    SetOutputMuted(wasMuted);
    totalNodes += engine->progress.nodes;
    std::snprintf(line, sizeof line, "%2d %-72s %10" PRIu64 " nodes %6d ms  %s", index, fen,
                  engine->progress.nodes, ElapsedMs(TickCount(), before),
                  MoveToText(engine->plies[0].pv[0]).text);
    progress(line);
  }
  const i32 elapsed = ElapsedMs(TickCount(), start);
  result->nodes = totalNodes;
  result->elapsedMs = elapsed;
  result->nps = totalNodes * 1000 / u64(elapsed > 0 ? elapsed : 1);
  result->positions = index;
  std::snprintf(line, sizeof line, "depth %d, %d positions, %d ms, peak memory %" PRIu64 " KB", depth, index,
                elapsed, PeakMemoryKb());
  progress(line);
  // The cache is kept across positions, as in a game.
  std::snprintf(line, sizeof line, "pawn hash hits %u of %u probes", engine->pawnTable->hits,
                engine->pawnTable->probes);
  progress(line);

  ApplyHashOption(engine, savedHash);
  engine->options.multiPv = savedMultiPv;
  engine->session.ignoreInput = savedIgnoreInput;
  return ok;
}

namespace {

void ToStandardError(const char* line) { std::fprintf(stderr, "%s\n", line); }

}  // namespace

int BenchFromCommandLine(int depth, bool check, u64 expected) {
  // The built-in weights, whatever the working directory holds.
  EngineState* engine = NewEngine(BuiltInParameters, DefaultHashMb);
  if (engine == nullptr) return 1;

  BenchResult result{};
  const bool ok = RunBench(engine, depth, ToStandardError, &result);
  FreeEngine(engine);
  if (!ok) return 1;
  Print("Bench: %" PRIu64 " nodes %" PRIu64 " nps\n", result.nodes, result.nps);
  if (check && result.nodes != expected) {
    std::fprintf(stderr, "bench signature changed: expected %" PRIu64 ", got %" PRIu64 "\n", expected,
                 result.nodes);
    return 1;
  }
  return 0;
}
