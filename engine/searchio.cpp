#include "engine/searchio.h"

#include <cstdio>
#include <cstdlib>

#include "board/board.h"
#include "engine/output.h"
#include "engine/platform.h"
#include "engine/state.h"
#include "engine/text.h"
#include "engine/uci.h"

void PollInput(EngineState* engine) {
  if (engine->ignoreInput || !InputWaiting()) return;
  char line[512];
  if (std::fgets(line, sizeof line, stdin) == nullptr || Contains(line, "quit")) std::exit(0);
  if (Contains(line, "stop")) {
    // The first iteration always completes so that there is a move to play;
    // a stop read before then takes effect as soon as it has.
    if (engine->iterationDepth >= 2)
      engine->searchState = 0;
    else
      engine->stopPending = 1;
    return;
  }
  if (Contains(line, "ponderhit")) engine->searchState = 1;
  // GUIs wait for this answer even while the engine thinks.
  if (Contains(line, "isready")) Print("readyok\n");
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
  if (engine->stopPending && engine->iterationDepth >= 2) engine->searchState = 0;
  if (engine->searchState == 1) {
    if (engine->iterationDepth >= 2 && elapsed >= engine->maximumTime) engine->searchState = 0;
    if (engine->iterationDepth >= 4 && elapsed >= engine->allocatedTime + engine->extraTime &&
        engine->laterRootMove && !engine->scoreDropped && !engine->rootResearch)
      engine->searchState = 0;
  } else {
    if (engine->moveTime != 0 && engine->iterationDepth >= 2 && elapsed >= engine->moveTime)
      engine->searchState = 0;
    if (engine->nodeLimit != 0 && engine->iterationDepth >= 3 && engine->nodes >= u64(engine->nodeLimit))
      engine->searchState = 0;
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

void ReleaseWait() {
  char line[LineBufferSize];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    if (Contains(line, "ponderhit") || Contains(line, "stop")) return;
    if (Contains(line, "quit")) std::exit(0);
    if (Contains(line, "isready")) Print("readyok\n");
  }
}
