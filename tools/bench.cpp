// tarvo-bench: fixed-depth searches over a fixed list of positions from a
// fresh engine state each. The total node count is the bench signature: it
// changes exactly when the search or the evaluation changes.
//
//   tarvo-bench [depth] [--expect NODES]
//
// The last line is "Bench: <nodes> nodes <nps> nps"; with --expect the exit
// status says whether the node count matched.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_positions.h"
#include "engine/output.h"
#include "engine/platform.h"
#include "engine/state.h"
#include "eval/pawns.h"
#include "search/search.h"

namespace {

constexpr int DefaultDepth = 11;

int Usage() {
  std::fprintf(stderr, "usage: tarvo-bench [depth] [--expect NODES]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int depth = DefaultDepth;
  bool check = false;
  u64 expected = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--expect") == 0 && i + 1 < argc) {
      check = true;
      expected = std::strtoull(argv[++i], nullptr, 10);
    } else if (argv[i][0] >= '1' && argv[i][0] <= '9') {
      depth = std::atoi(argv[i]);
      if (depth < 2 || depth > 64) return Usage();
    } else {
      return Usage();
    }
  }

  static PawnHashTable pawnTable;
  CreatePawnTable(&pawnTable);
  static EngineState engine;
  // The shipped weights, whatever the working directory holds.
  if (!ConstructEngine(&engine, nullptr)) return 1;
  engine.pawnTable = &pawnTable;
  BuildTables(&engine);
  engine.ignoreInput = 1;
  SetOutputMuted(true);

  static Position pos;
  static SearchLimits limits;
  u64 totalNodes = 0;
  u32 start = TickCount();
  int index = 0;
  for (const char* fen : BenchPositions) {
    ++index;
    if (!LoadFen(&pos, fen)) {
      std::fprintf(stderr, "bench position %d refused: %s\n", index, fen);
      return 1;
    }
    ResetSearchState(&engine);
    std::memset(&limits, 0, sizeof limits);
    limits.depth = depth;
    u32 before = TickCount();
    RootSearch(&engine, &pos, &limits);
    totalNodes += engine.nodes;
    std::fprintf(stderr, "%2d %-72s %10" PRIu64 " nodes %6d ms  %s\n", index, fen, engine.nodes,
                 ElapsedMs(TickCount(), before), MoveToText(engine.plies[0].pv[0]).text);
  }
  i32 elapsed = ElapsedMs(TickCount(), start);
  u64 nps = totalNodes * 1000 / u64(elapsed > 0 ? elapsed : 1);
  std::fprintf(stderr, "depth %d, %d positions, %d ms, peak memory %" PRIu64 " KB\n", depth, index, elapsed,
               PeakMemoryKb());
  // The cache is kept across positions, as in a game.
  std::fprintf(stderr, "pawn hash hits %u of %u probes\n", pawnTable.hits, pawnTable.probes);
  std::printf("Bench: %" PRIu64 " nodes %" PRIu64 " nps\n", totalNodes, nps);
  DestroyEngine(&engine);
  if (check && totalNodes != expected) {
    std::fprintf(stderr, "bench signature changed: expected %" PRIu64 ", got %" PRIu64 "\n", expected,
                 totalNodes);
    return 1;
  }
  return 0;
}
