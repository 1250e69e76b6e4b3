#include "search/searchio.h"

#include <cstdio>
#include <cstdlib>

#include "base/output.h"
#include "base/platform.h"
#include "base/text.h"
#include "board/board.h"
#include "search/state.h"

namespace {

// Acts on the whole lines held that the search has not looked at yet.
void HandleSearchInput(EngineState* engine) {
  InputReader* in = &engine->input;
  const char* line;
  for (i32 size; (size = PendingLine(in, &line)) > 0;) {
    if (LineStartsWith(line, size, "quit")) std::exit(0);
    if (in->held) {
      KeepLine(in, size);
    } else if (LineStartsWith(line, size, "stop")) {
      ConsumeLine(in, size);
      engine->searchState = 0;
      // What follows comes after the answer ("isready" included).
      in->held = 1;
    } else if (LineStartsWith(line, size, "ponderhit")) {
      ConsumeLine(in, size);
      if (engine->searchState != 0) engine->searchState = 1;
      engine->untilStopped = 0;
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
  if (in->ended && engine->untilStopped && (engine->searchState & 2)) engine->searchState = 0;
}

}  // namespace

void PollInput(EngineState* engine) {
  if (engine->ignoreInput || engine->searchState == 0) return;
  ReadWaiting(&engine->input);
  HandleSearchInput(engine);
}

i32 NodesPerSecond(u64 nodes, i32 elapsedMs) {
  u64 ms = elapsedMs < 1 ? 1 : u64(elapsedMs);
  u64 nps = nodes * 1000 / ms;
  return nps > 2147483647 ? 2147483647 : i32(nps);
}

void PeriodicCheck(EngineState* engine) {
  u32 now = TickCount();
  engine->lastTick = now;
  i32 elapsed = ElapsedMs(now, engine->startTick);
  if (engine->infoEnabled && ElapsedMs(now, engine->lastInfoTick) > 1024) {
    engine->lastInfoTick = now;
    f32 hashfull = f32(double(f32(engine->tt.fills)) * 1000.0 / double(f32(engine->tt.entryCount)));
    Print("info hashfull %.0f\n", double(hashfull));
    Print("info time %d nodes %" PRIu64 " nps %d\n", elapsed, engine->nodes,
          NodesPerSecond(engine->nodes, elapsed));
  }
  // The hard limits end the search wherever it is, the first iteration
  // included: the root then answers with the best move it knows.
  if (engine->searchState == 1) {
    if (elapsed >= engine->maximumTime) engine->searchState = 0;
    if (engine->iterationDepth >= 4 && elapsed >= engine->allocatedTime + engine->extraTime &&
        engine->laterRootMove && !engine->scoreDropped && !engine->rootResearch)
      engine->searchState = 0;
  } else {
    if (engine->moveTime != 0 && elapsed >= engine->moveTime) engine->searchState = 0;
    if (engine->nodeLimit != 0) {
      if (engine->nodes >= u64(engine->nodeLimit)) {
        engine->searchState = 0;
      } else if (u64(engine->nodeLimit) - engine->nodes <= u64(engine->pollCountdown)) {
        // The next check falls on the node that reaches the limit.
        engine->pollCountdown = i32(u64(engine->nodeLimit) - engine->nodes) - 1;
      }
    }
  }
}

void PrintPvLines(EngineState* engine) {
  int n = engine->multiPv < engine->rootMoveCount ? engine->multiPv : engine->rootMoveCount;
  if (n > MaxMultiPv) n = MaxMultiPv;
  for (int k = 1; k <= n; ++k) {
    i32 s = engine->pvScore[k - 1];
    if (s == -InfiniteScore) break;
    int slot = engine->pvSlot[k - 1];
    char line[2048];  // 64 moves of at most 6 characters fit with room to spare
    int length = std::snprintf(line, sizeof line, "info multipv %d depth %d ", k, engine->iterationDepth);
    i32 nps = NodesPerSecond(engine->pvNodes[slot], engine->pvTime[slot]);
    if (s >= MateBound || s <= -MateBound) {
      i32 mate = (InfiniteScore - (s < 0 ? -s : s)) / 2 * (s < 0 ? -1 : 1);
      length += std::snprintf(line + length, sizeof line - size_t(length),
                              "score mate %d time %d nodes %" PRIu64 " nps %d pv ", mate,
                              engine->pvTime[slot], engine->pvNodes[slot], nps);
    } else {
      length += std::snprintf(line + length, sizeof line - size_t(length),
                              "score cp %d time %d nodes %" PRIu64 " nps %d pv ", s, engine->pvTime[slot],
                              engine->pvNodes[slot], nps);
    }
    int moves = engine->pvLength[slot] < MaxPly ? engine->pvLength[slot] : MaxPly;
    for (int i = 0; i < moves; ++i) {
      Move m = engine->pvLines[slot][i];
      length += std::snprintf(line + length, sizeof line - size_t(length), m < 2 ? "%s" : "%s ",
                              MoveToText(m).text);
    }
    Print("%s\n", line);
  }
}

void ReleaseWait(EngineState* engine) {
  if (engine->ignoreInput) return;
  for (;;) {
    HandleSearchInput(engine);
    // Released by "stop" or "ponderhit", or by the end of input.
    if (engine->searchState != 3 || engine->input.ended) return;
    if (!ReadMore(&engine->input)) return;
  }
}
