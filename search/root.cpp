#include <cstdlib>

#include "base/output.h"
#include "base/platform.h"
#include "eval/eval.h"
#include "search/search.h"
#include "search/searchio.h"
#include "search/state.h"
#include "search/table.h"
#include "search/time.h"

namespace {

// A root move scored at iteration d sorts above every move last scored earlier.
constexpr i32 IterationKeyStep = 2 * InfiniteScore;
// The deepest iteration: its children still fit in the ply records.
constexpr int MaxIteration = MaxPly - 1;

void ClearStatistics(EngineState* engine) {
  for (int i = 0; i < 768; ++i) engine->historyScore[i] = engine->historyGood[i] = engine->historyBad[i] = 0;
}

// Stable insertion sort by key, best first.
void SortRootMoves(MoveList* list) {
  int count = list->count < 257 ? list->count : 257;
  for (int i = 1; i < count; ++i) {
    i32 key = list->score[i];
    Move m = list->move[i];
    int j = i - 1;
    for (; j >= 0 && list->score[j] < key; --j) {
      list->score[j + 1] = list->score[j];
      list->move[j + 1] = list->move[j];
    }
    list->score[j + 1] = key;
    list->move[j + 1] = m;
  }
}

bool GivesCheckByMaking(Position* pos, Move m) {
  UndoRecord undo;
  MakeMove(pos, m, &undo);
  bool check = IsAttacked(pos, pos->side ^ 1, pos->kingSquare[pos->side]);
  UnmakeMove(pos, m, &undo);
  return check;
}

void PrintBoundLine(const EngineState* engine, i32 v, Move m, const char* bound) {
  if ((v < MateBound && v > -MateBound) && engine->searchState != 0 && engine->infoEnabled)
    Print("info depth %d score cp %d %s pv %s\n", engine->iterationDepth, v, bound, MoveToText(m).text);
}

i32 Elapsed(const EngineState* engine) { return ElapsedMs(engine->lastTick, engine->startTick); }

// Prints the multi-PV lines of `iteration` for a search that printed none.
// When a stop left that iteration without a scored move, the best line of the
// last complete one (`completed`, 0 for none) takes rank 1.
void ReportScore(EngineState* engine, int iteration, int completed) {
  if (engine->pvScore[0] == -InfiniteScore) {
    const PlyRecord* root = &engine->plies[0];
    if (completed == 0 || root->pvCount == 0) return;
    int slot = engine->pvSlot[0];
    int length = root->pvCount < u32(MaxPly) ? int(root->pvCount) : MaxPly;
    for (int i = 0; i < length; ++i) engine->pvLines[slot][i] = root->pv[i];
    engine->pvLength[slot] = length;
    engine->pvNodes[slot] = engine->nodes;
    engine->lastTick = TickCount();
    engine->pvTime[slot] = Elapsed(engine);
    engine->pvScore[0] = engine->lastScore;
    iteration = completed;
  }
  int current = engine->iterationDepth;
  engine->iterationDepth = iteration;
  PrintPvLines(engine);
  engine->iterationDepth = current;
}

}  // namespace

bool AspirationAllowed(const EngineState* engine) {
  return engine->iterationDepth >= 6 && engine->multiPv == 1;
}

bool RecordRootResult(EngineState* engine, i32 score, Move move) {
  int k = engine->multiPv - 1;
  if (score <= engine->pvScore[k]) return false;
  if (engine->searchState == 0 && engine->rootMoveCount > 1) return false;

  int slot = engine->pvSlot[k];
  const PlyRecord* child = &engine->plies[1];
  u32 childCount = child->pvCount < u32(MaxPly) - 1 ? child->pvCount : u32(MaxPly) - 1;
  engine->pvNodes[slot] = engine->nodes;
  engine->lastTick = TickCount();
  engine->pvTime[slot] = Elapsed(engine);
  engine->pvLines[slot][0] = move;
  for (u32 i = 0; i < childCount; ++i) engine->pvLines[slot][i + 1] = child->pv[i];
  engine->pvLength[slot] = i32(childCount) + 1;

  int j = k;
  for (; j > 0 && score > engine->pvScore[j - 1]; --j) {
    engine->pvScore[j] = engine->pvScore[j - 1];
    engine->pvSlot[j] = engine->pvSlot[j - 1];
  }
  engine->pvScore[j] = score;
  engine->pvSlot[j] = slot;

  if (j == 0) {
    PlyRecord* root = &engine->plies[0];
    root->pv[0] = move;
    for (u32 i = 0; i < childCount; ++i) root->pv[i + 1] = child->pv[i];
    root->pvCount = childCount + 1;
    engine->bestMoveChanges[engine->iterationDepth] += 1;
  }
  return true;
}

void RootSearch(EngineState* engine, Position* pos, SearchLimits* limits) {
  PlyRecord* root = &engine->plies[0];
  MoveList* rootMoves = &limits->searchmoves;

  // Preparation.
  u32 now = TickCount();
  engine->lastInfoTick = engine->lastTick = engine->startTick = now;
  ClearStatistics(engine);
  engine->tt.generation++;
  engine->tt.storeHits = engine->tt.probeHits = engine->tt.stores = engine->tt.probes = engine->tt.fills = 0;

  // Negative limits from a confused GUI count as absent; depths beyond the
  // ply records are bounded.
  i32 depth = limits->depth > 0 ? limits->depth : 0;
  i64 mateDepth = limits->mate > 0 ? 2 * i64(limits->mate) - 1 : 0;
  i64 maxDepth = depth > mateDepth ? depth : mateDepth;
  engine->maxDepth = i32(maxDepth > MaxIteration ? MaxIteration : maxDepth);
  engine->nodeLimit = limits->nodes > 0 ? limits->nodes : 0;
  engine->moveTime = limits->movetime > 0 ? limits->movetime : 0;
  engine->pollInterval = engine->pollCountdown =
      engine->nodeLimit != 0 ? (engine->nodeLimit < 1000 ? engine->nodeLimit : 1000) : 10000;
  engine->infoEnabled = 0;
  engine->nodes = 0;
  engine->mateDepthSum = 0;
  engine->selDepth = 0;
  engine->previousScore = engine->lastScore = 0;
  engine->scoreDropped = engine->rootResearch = engine->laterRootMove = 0;
  engine->searchState = (engine->maxDepth != 0 || engine->nodeLimit != 0 || engine->moveTime != 0 ||
                         limits->ponder || limits->infinite)
                            ? 3
                            : 1;
  for (int d = 0; d < MaxPly; ++d) engine->bestMoveChanges[d] = -1;
  AllocateTime(engine, pos, limits->wtime, limits->btime, limits->winc, limits->binc, limits->movestogo,
               limits->ponder);
  if (rootMoves->count == 0) GenerateLegal(pos, rootMoves);
  engine->rootMoveCount = rootMoves->count;
  for (int i = 0; i < rootMoves->count; ++i) rootMoves->score[i] = 0;
  if (engine->maxDepth == 0) engine->maxDepth = MaxIteration;
  root->lazyLow = i16(-InfiniteScore);
  root->lazyHigh = i16(InfiniteScore);
  Evaluate(pos, root, engine->weights, engine->pawnTable);
  engine->iterationDepth = 1;
  // Until an iteration has scored the moves, the answer is the first root move.
  root->pvCount = rootMoves->count > 0 ? 1 : 0;
  root->pv[0] = rootMoves->count > 0 ? rootMoves->move[0] : NoMove;

  Move easyMove = NoMove;
  bool stopped = false;
  int completed = 0;  // the last iteration that searched every root move
  bool scorePrinted = false;
  while (engine->iterationDepth <= engine->maxDepth) {
    const int iteration = engine->iterationDepth;
    // 1. Fresh multi-PV store and a full window.
    engine->extraTime = 0;
    for (int k = 0; k < MaxMultiPv; ++k) {
      engine->pvSlot[k] = k;
      engine->pvScore[k] = -InfiniteScore;
    }
    i32 alpha = -InfiniteScore, beta = InfiniteScore;

    // 2-3. Order by the latest scores; the easy move needs a clear margin at iteration 2.
    SortRootMoves(rootMoves);
    if (iteration == 2)
      easyMove =
          (rootMoves->count >= 2 && rootMoves->score[0] - rootMoves->score[1] >= 150) ? root->pv[0] : NoMove;
    else if (iteration > 2 && easyMove != root->pv[0])
      easyMove = NoMove;

    // 4. Aspiration half-width.
    i64 delta = InfiniteScore;
    if (AspirationAllowed(engine)) {
      i64 swing = i64(engine->lastScore) - engine->previousScore;
      delta = 3 * (swing < 0 ? -swing : swing);
      if (delta < 25) delta = 25;
    }

    // 5. Progress lines.
    if (iteration >= 3) engine->infoEnabled = 1;
    if (engine->infoEnabled) {
      Print("info depth %d\n", iteration);
      Print("info seldepth %d\n", engine->selDepth);
      engine->lastTick = TickCount();
      Print("info time %d\n", Elapsed(engine));
    }

    // 6. Every root move.
    for (int i = 0; i < engine->rootMoveCount; ++i) {
      Move m = rootMoves->move[i];
      int ext = GivesCheckByMaking(pos, m) || IsCriticalMove(pos, m) ? 1 : 0;
      f32 d = f32(iteration + ext - 1);

      UndoRecord undo;
      MakeMove(pos, m, &undo);
      root->currentMove = m;
      SetLazyWindow(&engine->plies[1], alpha, beta);
      Evaluate(pos, &engine->plies[1], engine->weights, engine->pawnTable);
      if (Elapsed(engine) > 512 && engine->infoEnabled)
        Print("info currmove %s currmovenumber %d\n", MoveToText(m).text, i + 1);
      engine->rootResearch = 0;
      engine->laterRootMove = 0;

      i32 v;
      if (iteration > 1 && i >= engine->multiPv) {
        // Later moves: a zero-window test, re-searched when it beats alpha.
        engine->laterRootMove = 1;
        v = -Search(engine, pos, -alpha - 1, -alpha, d, 1, 1);
        if (v > alpha) {
          engine->rootResearch = 1;
          // A move that beats the aspiration window's top gets the window up to the limit.
          i32 top = v < beta ? beta : InfiniteScore;
          v = -Search(engine, pos, -top, -alpha, d, 1, 1);
          rootMoves->score[i] = iteration * IterationKeyStep + v;
        } else {
          v = -InfiniteScore;
        }
      } else {
        // Leading moves: the aspiration window, widened on every failure.
        alpha = i32(engine->lastScore - delta > -InfiniteScore ? engine->lastScore - delta : -InfiniteScore);
        beta = i32(engine->lastScore + delta < InfiniteScore ? engine->lastScore + delta : InfiniteScore);
        v = -Search(engine, pos, -beta, -alpha, d, 1, 1);
        while ((v <= alpha || v >= beta) && engine->searchState != 0) {
          // A window already open on the failing side cannot widen: take the score.
          if ((v <= alpha && alpha == -InfiniteScore) || (v >= beta && beta == InfiniteScore)) break;
          delta = 2 * delta < 2 * InfiniteScore ? 2 * delta : 2 * InfiniteScore;
          if (v <= alpha) {
            alpha =
                i32(engine->lastScore - delta > -InfiniteScore ? engine->lastScore - delta : -InfiniteScore);
            PrintBoundLine(engine, v, m, "upperbound");
          } else {
            beta = i32(engine->lastScore + delta < InfiniteScore ? engine->lastScore + delta : InfiniteScore);
            PrintBoundLine(engine, v, m, "lowerbound");
          }
          v = -Search(engine, pos, -beta, -alpha, d, 1, 1);
        }
        rootMoves->score[i] = iteration * IterationKeyStep + v;
      }
      UnmakeMove(pos, m, &undo);

      if (RecordRootResult(engine, v, m) && engine->infoEnabled) {
        PrintPvLines(engine);
        scorePrinted = true;
      }
      // With several lines a later move has to beat the k-th best line, not
      // the best one, to take its rank.
      if (engine->multiPv > 1)
        alpha = engine->pvScore[engine->multiPv - 1];
      else if (v > alpha)
        alpha = v;
      if (iteration > 3) PollInput(engine);
      if (engine->searchState == 0) {
        stopped = true;
        break;
      }
    }
    if (stopped) break;

    // 7-9. Mate bookkeeping, the PV into the table, the scores.
    if (engine->pvScore[0] >= MateBound || engine->pvScore[0] <= -MateBound)
      engine->mateDepthSum += iteration;
    StorePvInTable(engine, pos);
    engine->previousScore = engine->lastScore;
    engine->lastScore = engine->pvScore[0];
    completed = iteration;

    // 10. More time when the best move is unstable or the score dropped.
    if (iteration > 3) {
      i64 extra = i64(engine->bestMoveChanges[iteration]) * engine->allocatedTime * 30 / 100;
      if (engine->lastScore + 36 < engine->previousScore) {
        engine->scoreDropped = 1;
        extra += i64(engine->allocatedTime) * 200 / 100;
      } else {
        engine->scoreDropped = 0;
      }
      engine->extraTime = i32(extra > 2147483647 ? 2147483647 : extra < -2147483647 ? -2147483647 : extra);
    }

    // 11. Whether another iteration is worth starting: not once the mate
    //     asked for (or a shorter one) is proven.
    if (mateDepth > 0 && engine->lastScore >= MateBound && engine->lastScore >= MateValue - mateDepth) break;
    if (engine->searchState == 1 && iteration > 3) {
      if (engine->mateDepthSum > 6 || engine->rootMoveCount == 1) break;
      engine->lastTick = TickCount();
      if (Elapsed(engine) > (i64(engine->extraTime) + engine->allocatedTime) * 60 / 100) break;
      if (easyMove != NoMove) {
        engine->lastTick = TickCount();
        if (Elapsed(engine) > i64(engine->allocatedTime) * 10 / 100) break;
      }
    } else if (iteration > 8 && root->pv[0] == Move(engine->noMoveSentinel)) {
      break;
    }
    engine->iterationDepth++;
  }

  // Scores are printed from iteration 3 on; a search that ended before it
  // printed one still reports the score of its answer.
  if (!scorePrinted) ReportScore(engine, stopped ? engine->iterationDepth : completed, completed);

  // An infinite or ponder search that ran out of depth waits for the GUI.
  if (!stopped && (limits->infinite || limits->ponder) && engine->iterationDepth >= MaxPly &&
      (engine->searchState & 2) && engine->nodeLimit == 0)
    ReleaseWait(engine);
}
