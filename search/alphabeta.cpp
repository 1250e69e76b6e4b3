#include <algorithm>
#include <cmath>

#include "eval/eval.h"
#include "search/node.h"
#include "search/search.h"
#include "search/state.h"
#include "search/table.h"

namespace {

constexpr int MaxTried = 256;

bool HasPieces(const Position* pos, int colour) {
  return (pos->colours[colour] &
          (pos->pieces[Knight] | pos->pieces[Bishop] | pos->pieces[Rook] | pos->pieces[Queen])) != 0;
}

void CopyPv(PlyRecord* node, Move m, const PlyRecord* child) {
  node->pv[0] = m;
  u32 count = child->pvCount < u32(MaxPly) - 1 ? child->pvCount : u32(MaxPly) - 1;
  for (u32 i = 0; i < count; ++i) node->pv[i + 1] = child->pv[i];
  node->pvCount = count + 1;
}

// Statistics after a cut-off: killers, mate killer, and the success counts of
// the cut-off move and of every move tried before it.
void UpdateStatistics(EngineState* engine, PlyRecord* node, const Position* pos, Move bestMove, f32 depth,
                      i32 lastScore, const Move* tried, int triedCount) {
  bool quiet = !IsTactical(bestMove);
  if (quiet && bestMove != node->killers[0]) {
    node->killers[1] = node->killers[0];
    node->killers[0] = bestMove;
  }
  if (lastScore >= MateBound || lastScore <= -MateBound) node->mateKiller = bestMove;
  if (quiet) {
    int i = HistoryIndex(pos->side, bestMove);
    engine->stats.historyGood[i] += 1;
    engine->stats.historyScore[i] += i32(depth * depth);
    if (engine->stats.historyScore[i] >= 32000)
      for (i32& e : engine->stats.historyScore) e = (e + 1) / 2;
  }
  for (int k = 0; k + 1 < triedCount; ++k) {
    int j = HistoryIndex(pos->side, tried[k]);
    if (++engine->stats.historyBad[j] >= 32000) {
      engine->stats.historyGood[j] = (engine->stats.historyGood[j] + 1) / 2;
      engine->stats.historyBad[j] = (engine->stats.historyBad[j] + 1) / 2;
    }
  }
}

}  // namespace

i32 Search(EngineState* engine, Position* pos, i32 alpha, i32 beta, f32 depth, int ply, int nullAllowed) {
  PlyRecord* node = &engine->plies[ply];
  MovePicker* picker = &node->picker;

  // 1. Node set-up.
  const bool pvNode = beta - alpha > 1;
  const i32 origAlpha = alpha;
  i32 best = -InfiniteScore;
  Move bestMove = NoMove;
  node->pvCount = 0;
  ResetPicker(picker);

  // 2. Horizon.
  if (depth <= 0.0f) return Quiesce(engine, pos, alpha, beta, engine->params.qsCheckDepth[pvNode], ply);

  // 3-6. Stop, fifty-move rule, repetition, ply limit.
  if (engine->searchState == SearchStopped) return 0;
  if (IsDrawByRule(pos)) return DrawScore;
  if (ply >= MaxPly - 1) return node->eval;

  // 7. Count the node; poll now and then.
  if (ply > engine->progress.selDepth) engine->progress.selDepth = ply;
  CountNode(engine);

  // 8. Mate-distance bounds.
  i32 cut;
  if (MateDistanceCut(pos, node, ply, &alpha, &beta, &cut)) return cut;

  // 9-10. Transposition table: the first move to try and, at non-PV nodes, cut-offs.
  node->hashMove = NoMove;
  if (depth >= engine->params.ttMinDepth) {
    if (const TTEntry* entry = Probe(&engine->tt, pos->key)) {
      node->hashMove = EntryMove(entry);
      if (!pvNode && f32(entry->depth) >= depth) {
        u32 bound = EntryBound(entry);
        if (bound == BoundLower && entry->score >= beta) return entry->score;
        if (bound == BoundUpper && entry->score <= alpha) return entry->score;
      }
    }
  }

  // 11. The static score and check state the parent's evaluation left here.
  const i32 eval = node->eval;
  const bool inCheck = node->checkCount != 0;
  PlyRecord* child = &engine->plies[ply + 1];

  bool nullFailedLow = false;
  if (pvNode) {
    // 13. Internal iterative deepening when the table offers no move.
    if (node->hashMove == NoMove && depth >= engine->params.iidMinDepth) {
      f32 reduced = depth - engine->params.iidReduction;
      f32 halved = f32(double(depth) * 0.5);
      i32 v = Search(engine, pos, alpha, beta, reduced < halved ? reduced : halved, ply, 0);
      if (v >= MateBound || v <= -MateBound) return v;
      node->hashMove = node->pv[0];
    }
  } else {
    // 12. Null move with a verification search at larger depths.
    if (nullAllowed && depth >= engine->params.nullMinDepth && !inCheck && HasPieces(pos, pos->side)) {
      const f32 R = engine->params.nullReduction;
      if (!(double(R) < double(depth) - 1.0 && eval < beta)) {
        UndoRecord undo;
        MakeNullMove(pos, &undo);
        SetLazyWindow(child, alpha, beta);
        Evaluate(pos, child, engine->weights, engine->pawnTable);
        i32 v = -Search(engine, pos, -beta, -beta + 1, f32(double(depth) - 1.0 - double(R)), ply + 1, 0);
        UnmakeNullMove(pos, &undo);
        if (v >= beta) {
          if (double(depth) - 1.0 >= double(engine->params.verifyReduction))
            Search(engine, pos, alpha, beta, depth - engine->params.verifyReduction, ply, 0);
          return beta;
        }
        nullFailedLow = true;
      }
    }
    // 14. Razoring, for nodes without a null-move result.
    if (!nullFailedLow && depth <= engine->params.razorMaxDepth && eval + engine->params.razorMargin < beta) {
      i32 v = Quiesce(engine, pos, beta - 1, beta, 0.0f, ply);
      if (v < beta) return v;
    }
  }

  // 15. Move loop set-up.
  picker->checkers = node->checkers;
  picker->pinData[0] = node->pinData[0];
  picker->pinData[1] = node->pinData[1];
  InitPicker(engine, picker, ply, node->checkCount);
  DiscoveredRays(pos, &picker->discOrth, &picker->discDiag);
  picker->stages = inCheck ? StageBit(StageEvasions)
                           : StageBit(StageHashMove) | StageBit(StageMateKiller) | StageBit(StageCaptures) |
                                 StageBit(StageKillers) | StageBit(StageQuiets);
  int moveCount = 0;
  Move tried[MaxTried];
  int triedCount = 0;
  i32 lastScore = 0;
  const int us = pos->side;

  // 16. The moves.
  for (Move m = NextMove(picker, pos, engine->stats.historyScore); m >= 2;
       m = NextMove(picker, pos, engine->stats.historyScore)) {
    // 16.1
    ++moveCount;
    if (triedCount < MaxTried) tried[triedCount++] = m;
    node->currentMove = m;

    // 16.2 Depth of the child before any reduction.
    f32 newDepth = NewDepth(engine, pos, depth, ply, m, pvNode, inCheck, picker);
    const bool extended = double(newDepth) > double(depth) - 1.0;
    const bool quiet = !IsTactical(m);
    const bool castle = (m & MoveCastleFlag) != 0;
    const int index = HistoryIndex(us, m);
    // Only pawn moves can be passed-pawn pushes; ask only when a rule needs it.
    const bool passed = MovePiece(m) == Pawn && quiet && IsPassedPawnPush(pos, m);

    // 16.3 Futility pruning.
    if (!pvNode && !extended && depth >= 1.0f && quiet) {
      i32 futility = i32(std::trunc(double(std::log(depth)) * 140.0 + 100.0)) + eval;
      if (futility <= alpha) {
        if (futility > best) best = futility;
        continue;
      }
    }

    // 16.4 Late-move pruning, or a mark for the threat test.
    bool marked = false;
    if (f32(moveCount) >= std::max(2.0f * depth, 2.0f) && !pvNode && !inCheck && !extended && !castle &&
        quiet && !passed &&
        i64(engine->stats.historyGood[index]) * i64(depth) < i64(engine->stats.historyBad[index])) {
      if (f32(moveCount) >= 2.0f * depth + 3.0f) continue;
      marked = true;
    }

    // 16.5 Late-move reduction of quiet moves.
    bool reduced = false;
    if (depth >= engine->params.lmrMinDepth && moveCount >= engine->params.lmrMinMoves[pvNode] &&
        picker->stage == StageQuiets && !extended && !castle && !passed &&
        i64(engine->stats.historyGood[index]) * 30 / 100 < i64(engine->stats.historyBad[index])) {
      newDepth -= engine->params.lmrReduction;
      reduced = true;
    }

    // 16.6 Make the move and evaluate the child.
    const u64 moverPieces = pos->occupied & ~pos->pieces[Pawn];
    UndoRecord undo;
    MakeMove(pos, m, &undo);
    SetLazyWindow(child, alpha, beta);
    Evaluate(pos, child, engine->weights, engine->pawnTable);
    const int s = Sign[us];
    const int pieceThreatGain = (child->pieceThreatBalance - node->pieceThreatBalance) * s;
    const int threatGain = (child->threatBalance - node->threatBalance) * s;

    bool skip = false;
    // 16.7 A marked move is kept only when it creates a new threat.
    if (marked && CreatesNoNewThreat(node, child, us)) skip = true;
    // 16.8 Late futility against the static score after the move.
    if (!skip && !pvNode && !inCheck && !extended && depth <= 4.0f && quiet &&
        f32(moveCount) >= depth + 2.0f && !passed) {
      i32 v = best + child->eval;
      int piece = MovePiece(m);
      i32 margin = piece == King ? 90 : piece == Pawn ? 150 : 110;
      if (v >= margin) skip = true;
    }
    // 16.9 Threat pruning: quiet moves that hand the opponent threats.
    if (!skip && !pvNode && !inCheck && !extended && depth <= 3.0f && quiet && f32(moveCount) >= depth &&
        node->lazy == 0 && child->lazy == 0 && !passed) {
      if (pieceThreatGain < 0)
        skip = true;
      else if (threatGain < 0 && depth <= 2.0f && (node->threats[us ^ 1] & moverPieces) == 0)
        skip = true;
    }
    // 16.10
    if (skip) {
      UnmakeMove(pos, m, &undo);
      continue;
    }

    // 16.11 Principal-variation search with re-searches.
    i32 v;
    if (pvNode && moveCount <= 1) {
      v = -Search(engine, pos, -beta, -alpha, newDepth, ply + 1, 1);
    } else if (pvNode) {
      v = -Search(engine, pos, -alpha - 1, -alpha, newDepth, ply + 1, 1);
      if (alpha < v && v < beta) v = -Search(engine, pos, -beta, -alpha, newDepth, ply + 1, 1);
    } else {
      v = -Search(engine, pos, -beta, -alpha, newDepth, ply + 1, 1);
    }
    if (reduced && v > alpha)
      v = -Search(engine, pos, -beta, -alpha, newDepth + engine->params.lmrReduction, ply + 1, 1);
    lastScore = v;

    // 16.12-13
    UnmakeMove(pos, m, &undo);
    if (v > best) {
      best = v;
      bestMove = m;
      CopyPv(node, m, child);
      if (v > alpha) {
        alpha = v;
        if (v >= beta) break;
      }
    }
  }

  // 17. Abandoned search, mate and stalemate.
  if (engine->searchState == SearchStopped) return 0;
  if (moveCount == 0) return inCheck ? ply - MateValue : DrawScore;

  // 18. Statistics and the bound of the result.
  u32 bound;
  if (best >= beta) {
    UpdateStatistics(engine, node, pos, bestMove, depth, lastScore, tried, triedCount);
    bound = BoundLower;
  } else {
    bound = best <= origAlpha ? BoundUpper : BoundExact;
  }

  // 19. Store the result. When every move was pruned unscored, the node has
  // only shown that it fails low at alpha; -InfiniteScore is no score, and
  // stored as a bound it would cut later nodes off with a value outside every
  // window.
  if (depth >= engine->params.ttMinDepth)
    Store(&engine->tt, pos->key, bestMove, best == -InfiniteScore ? origAlpha : best, depth, bound);

  // 20. Fail hard: the window's lower edge as raised.
  return alpha;
}
