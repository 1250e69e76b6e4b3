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
// Nodes between two looks at the input and the clock; fewer under a node limit.
constexpr i32 PollInterval = 10000;
constexpr i32 NodeLimitPollInterval = 1000;
// Progress lines start with this iteration; "currmove" lines once a search
// has run this long.
constexpr int InfoFromIteration = 3;
constexpr i32 CurrMoveAfterMs = 512;

// The statistics of the last search, wiped or carried scaled down: the
// positions of the next move are much the same.
void ClearStatistics(EngineState* engine) {
  MoveStatistics* s = &engine->stats;
  if (Constants.historyCarryDivisor == 0) {
    for (int i = 0; i < 768; ++i) s->historyScore[i] = s->historyGood[i] = s->historyBad[i] = 0;
    return;
  }
  // Kept apart from the wipe so that a compiled-in 0 is no division.
  const i32 divisor = Constants.historyCarryDivisor > 0 ? Constants.historyCarryDivisor : 1;
  for (int i = 0; i < 768; ++i) {
    s->historyScore[i] /= divisor;
    s->historyGood[i] /= divisor;
    s->historyBad[i] /= divisor;
  }
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
  if ((v < MateBound && v > -MateBound) && engine->searchState != SearchStopped &&
      engine->progress.infoEnabled)
    Print("info depth %d score cp %d %s pv %s\n", engine->root.iterationDepth, v, bound, MoveToText(m).text);
}

i32 Elapsed(const EngineState* engine) {
  return ElapsedMs(engine->progress.lastTick, engine->progress.startTick);
}

// Prints the multi-PV lines of `iteration` for a search that printed none.
// When a stop left that iteration without a scored move, the best line of the
// last complete one (`completed`, 0 for none) takes rank 1.
void ReportScore(EngineState* engine, int iteration, int completed) {
  if (engine->lines.pvScore[0] == -InfiniteScore) {
    const PlyRecord* root = &engine->plies[0];
    if (completed == 0 || root->pvCount == 0) return;
    int slot = engine->lines.pvSlot[0];
    int length = root->pvCount < u32(MaxPly) ? int(root->pvCount) : MaxPly;
    for (int i = 0; i < length; ++i) engine->lines.pvLines[slot][i] = root->pv[i];
    engine->lines.pvLength[slot] = length;
    engine->lines.pvNodes[slot] = engine->progress.nodes;
    engine->progress.lastTick = TickCount();
    engine->lines.pvTime[slot] = Elapsed(engine);
    engine->lines.pvScore[0] = engine->root.lastScore;
    iteration = completed;
  }
  int current = engine->root.iterationDepth;
  engine->root.iterationDepth = iteration;
  PrintPvLines(engine);
  engine->root.iterationDepth = current;
}

}  // namespace

bool AspirationAllowed(const EngineState* engine) {
  return engine->root.iterationDepth >= Constants.aspirationMinIteration && engine->options.multiPv == 1;
}

bool RecordRootResult(EngineState* engine, i32 score, Move move) {
  int k = engine->options.multiPv - 1;
  if (score <= engine->lines.pvScore[k]) return false;
  if (engine->searchState == SearchStopped && engine->root.rootMoveCount > 1) return false;

  int slot = engine->lines.pvSlot[k];
  const PlyRecord* child = &engine->plies[1];
  u32 childCount = child->pvCount < u32(MaxPly) - 1 ? child->pvCount : u32(MaxPly) - 1;
  engine->lines.pvNodes[slot] = engine->progress.nodes;
  engine->progress.lastTick = TickCount();
  engine->lines.pvTime[slot] = Elapsed(engine);
  engine->lines.pvLines[slot][0] = move;
  for (u32 i = 0; i < childCount; ++i) engine->lines.pvLines[slot][i + 1] = child->pv[i];
  engine->lines.pvLength[slot] = i32(childCount) + 1;

  int j = k;
  for (; j > 0 && score > engine->lines.pvScore[j - 1]; --j) {
    engine->lines.pvScore[j] = engine->lines.pvScore[j - 1];
    engine->lines.pvSlot[j] = engine->lines.pvSlot[j - 1];
  }
  engine->lines.pvScore[j] = score;
  engine->lines.pvSlot[j] = slot;

  if (j == 0) {
    PlyRecord* root = &engine->plies[0];
    root->pv[0] = move;
    for (u32 i = 0; i < childCount; ++i) root->pv[i + 1] = child->pv[i];
    root->pvCount = childCount + 1;
    engine->root.bestMoveChanges[engine->root.iterationDepth] += 1;
  }
  return true;
}

void RootSearch(EngineState* engine, Position* pos, SearchLimits* limits) {
  PlyRecord* root = &engine->plies[0];
  MoveList* rootMoves = &limits->searchmoves;

  // Preparation: fresh statistics, a new table generation, the limits of the
  // "go", the time budget, the root moves and the root's own evaluation.
  u32 now = TickCount();
  engine->progress.lastInfoTick = engine->progress.lastTick = engine->progress.startTick = now;
  ClearStatistics(engine);
  engine->tt.generation++;
  engine->tt.storeHits = engine->tt.probeHits = engine->tt.stores = engine->tt.probes = engine->tt.fills = 0;

  // Negative limits from a confused GUI count as absent; depths beyond the
  // ply records are bounded.
  i32 depth = limits->depth > 0 ? limits->depth : 0;
  i64 mateDepth = limits->mate > 0 ? 2 * i64(limits->mate) - 1 : 0;
  i64 maxDepth = depth > mateDepth ? depth : mateDepth;
  engine->budget.maxDepth = i32(maxDepth > MaxIteration ? MaxIteration : maxDepth);
  engine->budget.nodeLimit = limits->nodes > 0 ? limits->nodes : 0;
  engine->budget.moveTime = limits->movetime > 0 ? limits->movetime : 0;
  // A node limit is checked often enough to stop close to it.
  engine->progress.pollInterval = engine->progress.pollCountdown =
      engine->budget.nodeLimit != 0
          ? (engine->budget.nodeLimit < NodeLimitPollInterval ? engine->budget.nodeLimit
                                                              : NodeLimitPollInterval)
          : PollInterval;
  engine->progress.infoEnabled = 0;
  engine->progress.nodes = 0;
  engine->root.mateDepthSum = 0;
  engine->progress.selDepth = 0;
  engine->root.previousScore = engine->root.lastScore = 0;
  engine->root.scoreDropped = engine->root.rootResearch = engine->root.laterRootMove = 0;
  engine->searchState = (engine->budget.maxDepth != 0 || engine->budget.nodeLimit != 0 ||
                         engine->budget.moveTime != 0 || limits->ponder || limits->infinite)
                            ? SearchToLimit
                            : SearchOnClock;
  for (int d = 0; d < MaxPly; ++d) engine->root.bestMoveChanges[d] = -1;
  AllocateTime(engine, pos, limits->wtime, limits->btime, limits->winc, limits->binc, limits->movestogo,
               limits->ponder);
  if (rootMoves->count == 0) GenerateLegal(pos, rootMoves);
  engine->root.rootMoveCount = rootMoves->count;
  for (int i = 0; i < rootMoves->count; ++i) rootMoves->score[i] = 0;
  if (engine->budget.maxDepth == 0) engine->budget.maxDepth = MaxIteration;
  root->lazyLow = i16(-InfiniteScore);
  root->lazyHigh = i16(InfiniteScore);
  Evaluate(pos, root, engine->weights, engine->pawnTable);
  engine->root.iterationDepth = 1;
  // Until an iteration has scored the moves, the answer is the first root move.
  root->pvCount = rootMoves->count > 0 ? 1 : 0;
  root->pv[0] = rootMoves->count > 0 ? rootMoves->move[0] : NoMove;

  Move easyMove = NoMove;
  bool stopped = false;
  int completed = 0;  // the last iteration that searched every root move
  bool scorePrinted = false;
  while (engine->root.iterationDepth <= engine->budget.maxDepth) {
    const int iteration = engine->root.iterationDepth;
    // Each iteration starts with an empty multi-PV store and a full window.
    engine->budget.extraTime = 0;
    for (int k = 0; k < MaxMultiPv; ++k) {
      engine->lines.pvSlot[k] = k;
      engine->lines.pvScore[k] = -InfiniteScore;
    }
    i32 alpha = -InfiniteScore, beta = InfiniteScore;

    // The moves in the order of their latest scores. A move far ahead of the
    // second at iteration 2 is the easy move while it stays best.
    SortRootMoves(rootMoves);
    if (iteration == 2)
      easyMove =
          (rootMoves->count >= 2 && rootMoves->score[0] - rootMoves->score[1] >= Constants.easyMoveMargin)
              ? root->pv[0]
              : NoMove;
    else if (iteration > 2 && easyMove != root->pv[0])
      easyMove = NoMove;

    // Aspiration window: the score is expected near the last one, and a
    // narrow window searches fewer nodes; the wider, the more it moved.
    i64 delta = InfiniteScore;
    if (AspirationAllowed(engine)) {
      i64 swing = i64(engine->root.lastScore) - engine->root.previousScore;
      delta = i64(Constants.aspirationSwingFactor) * (swing < 0 ? -swing : swing);
      if (delta < Constants.aspirationMinDelta) delta = Constants.aspirationMinDelta;
    }

    // Progress lines, from the iteration on which a GUI may want them.
    if (iteration >= InfoFromIteration) engine->progress.infoEnabled = 1;
    if (engine->progress.infoEnabled) {
      Print("info depth %d\n", iteration);
      Print("info seldepth %d\n", engine->progress.selDepth);
      engine->progress.lastTick = TickCount();
      Print("info time %d\n", Elapsed(engine));
    }

    // Every root move, each evaluated here before it is searched, as in the
    // nodes below. Checks and critical moves are searched a ply deeper.
    for (int i = 0; i < engine->root.rootMoveCount; ++i) {
      Move m = rootMoves->move[i];
      int ext = GivesCheckByMaking(pos, m) || IsCriticalMove(pos, m) ? 1 : 0;
      f32 d = f32(iteration + ext - 1);

      UndoRecord undo;
      MakeMove(pos, m, &undo);
      root->currentMove = m;
      SetLazyWindow(&engine->plies[1], alpha, beta);
      Evaluate(pos, &engine->plies[1], engine->weights, engine->pawnTable);
      if (Elapsed(engine) > CurrMoveAfterMs && engine->progress.infoEnabled)
        Print("info currmove %s currmovenumber %d\n", MoveToText(m).text, i + 1);
      engine->root.rootResearch = 0;
      engine->root.laterRootMove = 0;

      i32 v;
      if (iteration > 1 && i >= engine->options.multiPv) {
        // Later moves: a zero-window test, re-searched when it beats alpha.
        engine->root.laterRootMove = 1;
        v = -Search(engine, pos, -alpha - 1, -alpha, d, 1, 1);
        if (v > alpha) {
          engine->root.rootResearch = 1;
          // A move that beats the aspiration window's top gets the window up to the limit.
          i32 top = v < beta ? beta : InfiniteScore;
          v = -Search(engine, pos, -top, -alpha, d, 1, 1);
          rootMoves->score[i] = iteration * IterationKeyStep + v;
        } else {
          v = -InfiniteScore;
        }
      } else {
        // Leading moves: the aspiration window, widened on every failure.
        alpha = i32(engine->root.lastScore - delta > -InfiniteScore ? engine->root.lastScore - delta
                                                                    : -InfiniteScore);
        beta = i32(engine->root.lastScore + delta < InfiniteScore ? engine->root.lastScore + delta
                                                                  : InfiniteScore);
        v = -Search(engine, pos, -beta, -alpha, d, 1, 1);
        while ((v <= alpha || v >= beta) && engine->searchState != SearchStopped) {
          // A window already open on the failing side cannot widen: take the score.
          if ((v <= alpha && alpha == -InfiniteScore) || (v >= beta && beta == InfiniteScore)) break;
          delta = 2 * delta < 2 * InfiniteScore ? 2 * delta : 2 * InfiniteScore;
          if (v <= alpha) {
            alpha = i32(engine->root.lastScore - delta > -InfiniteScore ? engine->root.lastScore - delta
                                                                        : -InfiniteScore);
            PrintBoundLine(engine, v, m, "upperbound");
          } else {
            beta = i32(engine->root.lastScore + delta < InfiniteScore ? engine->root.lastScore + delta
                                                                      : InfiniteScore);
            PrintBoundLine(engine, v, m, "lowerbound");
          }
          v = -Search(engine, pos, -beta, -alpha, d, 1, 1);
        }
        rootMoves->score[i] = iteration * IterationKeyStep + v;
      }
      UnmakeMove(pos, m, &undo);
      // "quit" wants no answer and no more lines.
      if (engine->session.quitRequested) return;

      if (RecordRootResult(engine, v, m) && engine->progress.infoEnabled) {
        PrintPvLines(engine);
        scorePrinted = true;
      }
      // With several lines a later move has to beat the k-th best line, not
      // the best one, to take its rank.
      if (engine->options.multiPv > 1)
        alpha = engine->lines.pvScore[engine->options.multiPv - 1];
      else if (v > alpha)
        alpha = v;
      if (iteration > Constants.timeRulesAfterIteration) PollInput(engine);
      if (engine->searchState == SearchStopped) {
        stopped = true;
        break;
      }
    }
    if (stopped) break;

    // The iteration is complete: its mate score counts towards stopping, its
    // principal variation goes into the table to be tried first next time.
    if (engine->lines.pvScore[0] >= MateBound || engine->lines.pvScore[0] <= -MateBound)
      engine->root.mateDepthSum += iteration;
    StorePvInTable(engine, pos);
    engine->root.previousScore = engine->root.lastScore;
    engine->root.lastScore = engine->lines.pvScore[0];
    completed = iteration;

    // More time when the best move is unstable or the score dropped: the
    // position is harder than the budget assumed.
    if (iteration > Constants.timeRulesAfterIteration) {
      i64 extra = i64(engine->root.bestMoveChanges[iteration]) * engine->budget.allocatedTime *
                  Constants.extraTimePerBestMoveChange / 100;
      if (engine->root.lastScore + Constants.scoreDropMargin < engine->root.previousScore) {
        engine->root.scoreDropped = 1;
        extra += i64(engine->budget.allocatedTime) * Constants.scoreDropExtraTime / 100;
      } else {
        engine->root.scoreDropped = 0;
      }
      engine->budget.extraTime = i32(extra > 2147483647    ? 2147483647
                                     : extra < -2147483647 ? -2147483647
                                                           : extra);
    }

    // Whether another iteration is worth starting: not once the mate asked
    // for (or a shorter one) is proven; under a clock, not once a mate is
    // settled, with a single legal move, when the next iteration would not
    // finish in the budget, or when the easy move has had its share.
    if (mateDepth > 0 && engine->root.lastScore >= MateBound &&
        engine->root.lastScore >= MateValue - mateDepth)
      break;
    if (engine->searchState == SearchOnClock && iteration > Constants.timeRulesAfterIteration) {
      if (engine->root.mateDepthSum > MateDepthSumToStop || engine->root.rootMoveCount == 1) break;
      engine->progress.lastTick = TickCount();
      if (Elapsed(engine) >
          (i64(engine->budget.extraTime) + engine->budget.allocatedTime) * Constants.newIterationShare / 100)
        break;
      if (easyMove != NoMove) {
        engine->progress.lastTick = TickCount();
        if (Elapsed(engine) > i64(engine->budget.allocatedTime) * Constants.easyMoveShare / 100) break;
      }
    } else if (iteration > 8 && root->pv[0] == NoMove) {
      break;
    }
    engine->root.iterationDepth++;
  }

  if (engine->session.quitRequested) return;

  // Scores are printed from iteration 3 on; a search that ended before it
  // printed one still reports the score of its answer.
  if (!scorePrinted) ReportScore(engine, stopped ? engine->root.iterationDepth : completed, completed);

  // An infinite or ponder search that ran out of depth waits for the GUI.
  if (!stopped && (limits->infinite || limits->ponder) && engine->root.iterationDepth >= MaxPly &&
      (engine->searchState == SearchToLimit) && engine->budget.nodeLimit == 0)
    ReleaseWait(engine);
}
