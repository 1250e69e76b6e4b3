#include "search/searchio.h"

#include <cstdio>

#include "base/output.h"
#include "base/platform.h"
#include "base/text.h"
#include "board/board.h"
#include "search/state.h"

namespace {

// Acts on the whole lines held that the search has not looked at yet.
void HandleSearchInput(EngineState* engine) {
  InputReader* in = &engine->session.input;
  const char* line;
  for (i32 size; (size = PendingLine(in, &line)) > 0;) {
    if (LineStartsWith(line, size, "quit")) {
      // The search unwinds with no answer and the command loop returns.
      ConsumeLine(in, size);
      engine->session.quitRequested = 1;
      engine->searchState = SearchStopped;
      in->held = 1;
      return;
    }
    if (in->held) {
      KeepLine(in, size);
    } else if (LineStartsWith(line, size, "stop")) {
      ConsumeLine(in, size);
      engine->searchState = SearchStopped;
      // What follows comes after the answer ("isready" included).
      in->held = 1;
    } else if (LineStartsWith(line, size, "ponderhit")) {
      ConsumeLine(in, size);
      if (engine->searchState != SearchStopped) engine->searchState = SearchOnClock;
      engine->budget.untilStopped = 0;
    } else if (LineStartsWith(line, size, "isready")) {
      // GUIs wait for this answer even while the engine thinks.
      ConsumeLine(in, size);
      Print("readyok\n");
    } else {
      KeepLine(in, size);
      // A new search's "stop" or "ponderhit" must not end this one.
      if (LineStartsWith(line, size, "go")) in->held = 1;
    }
  }
  // Nobody is left to stop a search that waits for the GUI.
  if (in->ended && engine->budget.untilStopped && (engine->searchState == SearchToLimit))
    engine->searchState = SearchStopped;
}

}  // namespace

void PollInput(EngineState* engine) {
  if (engine->session.ignoreInput || engine->searchState == SearchStopped) return;
  ReadWaiting(&engine->session.input);
  HandleSearchInput(engine);
}

i32 NodesPerSecond(u64 nodes, i32 elapsedMs) {
  u64 ms = elapsedMs < 1 ? 1 : u64(elapsedMs);
  u64 nps = nodes * 1000 / ms;
  return nps > 2147483647 ? 2147483647 : i32(nps);
}

void PeriodicCheck(EngineState* engine) {
  // After "quit" nothing more is printed.
  if (engine->session.quitRequested) return;
  u32 now = TickCount();
  engine->progress.lastTick = now;
  i32 elapsed = ElapsedMs(now, engine->progress.startTick);
  if (engine->progress.infoEnabled && ElapsedMs(now, engine->progress.lastInfoTick) > 1024) {
    engine->progress.lastInfoTick = now;
    f32 hashfull = f32(double(f32(engine->tt.fills)) * 1000.0 / double(f32(engine->tt.entryCount)));
    Print("info hashfull %.0f\n", double(hashfull));
    PrintSearchTotals(engine, elapsed);
  }
  // The hard limits end the search wherever it is, the first iteration
  // included: the root then answers with the best move it knows.
  if (engine->searchState == SearchOnClock) {
    if (elapsed >= engine->budget.maximumTime) engine->searchState = SearchStopped;
    if (engine->root.iterationDepth >= 4 &&
        elapsed >= engine->budget.allocatedTime + engine->budget.extraTime && engine->root.laterRootMove &&
        !engine->root.scoreDropped && !engine->root.rootResearch)
      engine->searchState = SearchStopped;
  } else {
    if (engine->budget.moveTime != 0 && elapsed >= engine->budget.moveTime)
      engine->searchState = SearchStopped;
    if (engine->budget.nodeLimit != 0) {
      if (engine->progress.nodes >= u64(engine->budget.nodeLimit)) {
        engine->searchState = SearchStopped;
      } else if (u64(engine->budget.nodeLimit) - engine->progress.nodes <=
                 u64(engine->progress.pollCountdown)) {
        // The next check falls on the node that reaches the limit.
        engine->progress.pollCountdown = i32(u64(engine->budget.nodeLimit) - engine->progress.nodes) - 1;
      }
    }
  }
}

void PrintSearchTotals(const EngineState* engine, i32 elapsedMs) {
  Print("info time %d nodes %" PRIu64 " nps %d\n", elapsedMs, engine->progress.nodes,
        NodesPerSecond(engine->progress.nodes, elapsedMs));
}

void PrintPvLines(EngineState* engine) {
  int n = engine->options.multiPv < engine->root.rootMoveCount ? engine->options.multiPv
                                                               : engine->root.rootMoveCount;
  if (n > MaxMultiPv) n = MaxMultiPv;
  for (int k = 1; k <= n; ++k) {
    i32 s = engine->lines.pvScore[k - 1];
    if (s == -InfiniteScore) break;
    int slot = engine->lines.pvSlot[k - 1];
    char line[2048];  // 64 moves of at most 6 characters fit with room to spare
    int length =
        std::snprintf(line, sizeof line, "info multipv %d depth %d ", k, engine->root.iterationDepth);
    i32 nps = NodesPerSecond(engine->lines.pvNodes[slot], engine->lines.pvTime[slot]);
    if (s >= MateBound || s <= -MateBound) {
      i32 mate = (InfiniteScore - (s < 0 ? -s : s)) / 2 * (s < 0 ? -1 : 1);
      length += std::snprintf(line + length, sizeof line - size_t(length),
                              "score mate %d time %d nodes %" PRIu64 " nps %d pv ", mate,
                              engine->lines.pvTime[slot], engine->lines.pvNodes[slot], nps);
    } else {
      length += std::snprintf(line + length, sizeof line - size_t(length),
                              "score cp %d time %d nodes %" PRIu64 " nps %d pv ", s,
                              engine->lines.pvTime[slot], engine->lines.pvNodes[slot], nps);
    }
    int moves = engine->lines.pvLength[slot] < MaxPly ? engine->lines.pvLength[slot] : MaxPly;
    for (int i = 0; i < moves; ++i) {
      Move m = engine->lines.pvLines[slot][i];
      length += std::snprintf(line + length, sizeof line - size_t(length), m < 2 ? "%s" : "%s ",
                              MoveToText(m).text);
    }
    Print("%s\n", line);
  }
}

void ReleaseWait(EngineState* engine) {
  if (engine->session.ignoreInput) return;
  for (;;) {
    HandleSearchInput(engine);
    // Released by "stop" or "ponderhit", or by the end of input.
    if (engine->searchState != SearchToLimit || engine->session.input.ended) return;
    if (!ReadMore(&engine->session.input)) return;
  }
}
