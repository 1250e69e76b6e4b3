#include <algorithm>
#include <cmath>

#include "eval/eval.h"
#include "search/extensions.h"
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
    if (engine->stats.historyScore[i] >= HistoryHalvingLimit)
      for (i32& e : engine->stats.historyScore) e = (e + 1) / 2;
  }
  // The cut-off move is the last one tried; with only searched quiet moves
  // recorded it may not be among them at all.
  for (int k = 0; k < triedCount; ++k) {
    if (Constants.historyOnlySearched ? tried[k] == bestMove : k + 1 == triedCount) continue;
    int j = HistoryIndex(pos->side, tried[k]);
    if (++engine->stats.historyBad[j] >= HistoryHalvingLimit) {
      engine->stats.historyGood[j] = (engine->stats.historyGood[j] + 1) / 2;
      engine->stats.historyBad[j] = (engine->stats.historyBad[j] + 1) / 2;
    }
  }
}

}  // namespace

// One node of the principal-variation search. A node never evaluates itself:
// its parent evaluated it right after making the move (the make-and-evaluate
// step below), so on entry the node's record already holds its static score,
// its checkers and pins, and the threats the pruning rules compare between
// parent and child.
i32 Search(EngineState* engine, Position* pos, i32 alpha, i32 beta, f32 depth, int ply, int nullAllowed) {
  PlyRecord* node = &engine->plies[ply];
  MovePicker* picker = &node->picker;

  // Node set-up: a window wider than one point marks a PV node, whose score
  // must be exact.
  const bool pvNode = beta - alpha > 1;
  const i32 origAlpha = alpha;
  i32 best = -InfiniteScore;
  Move bestMove = NoMove;
  node->pvCount = 0;
  ResetPicker(picker);

  // Horizon: from here only captures (and a few checks) are searched, until
  // the position is quiet enough for its static score to stand.
  if (depth <= 0.0f)
    return Quiesce(engine, pos, alpha, beta, (pvNode ? Constants.qsCheckDepthPv : Constants.qsCheckDepth),
                   ply);

  // Early returns: an abandoned search unwinds with no score; a draw by the
  // fifty-move rule or by a repetition needs no search (one repetition is
  // enough: whatever was good here the first time is good again, so the
  // opponent can repeat); the last ply record takes the static score.
  if (engine->searchState == SearchStopped) return 0;
  if (IsDrawByRule(pos)) return DrawScore;
  if (ply >= MaxPly - 1) return node->eval;

  // Count the node; every few thousand nodes the input and the limits are
  // looked at, which may stop the search.
  if (ply > engine->progress.selDepth) engine->progress.selDepth = ply;
  CountNode(engine);

  // Mate-distance bounds: no line from here can mate faster than the next
  // ply or be mated before the one after, so the window shrinks to what is
  // still possible and may close at once.
  i32 cut;
  if (MateDistanceCut(pos, node, ply, &alpha, &beta, &cut)) return cut;

  // Transposition table: the move found best at the last visit is tried
  // first; at non-PV nodes a bound from a search at least this deep that lies
  // outside the window ends the node.
  node->hashMove = NoMove;
  if (depth >= Constants.ttMinDepth) {
    if (const TTEntry* entry = Probe(&engine->tt, pos->key)) {
      node->hashMove = EntryMove(entry);
      if (!pvNode && f32(entry->depth) >= depth) {
        const u32 bound = EntryBound(entry);
        const i32 score = ScoreFromTable(entry->score, ply);
        if (bound == BoundExact && Constants.ttExactCutoff) return score;
        if (bound == BoundLower && score >= beta) return score;
        if (bound == BoundUpper && score <= alpha) return score;
      }
    }
  }

  // The static score and check state the parent's evaluation left here.
  const i32 eval = node->eval;
  const bool inCheck = node->checkCount != 0;
  PlyRecord* child = &engine->plies[ply + 1];

  bool nullFailedLow = false;
  if (pvNode) {
    // Internal iterative deepening: a PV node without a table move searches
    // itself shallower first, so that its first move is a good one (the move
    // order of a PV node decides the size of the whole tree below it).
    if (node->hashMove == NoMove && depth >= Constants.iidMinDepth) {
      f32 reduced = depth - Constants.iidReduction;
      f32 halved = f32(double(depth) * double(Constants.iidDepthShare));
      i32 v = Search(engine, pos, alpha, beta, reduced < halved ? reduced : halved, ply, 0);
      if (v >= MateBound || v <= -MateBound) return v;
      node->hashMove = node->pv[0];
    }
  } else {
    // Null move: let the opponent move twice. If a shallower search still
    // fails high, a real move would too, since the right to move is worth
    // something, except in zugzwang: hence no null move with only king and
    // pawns. Deep nodes try it only when the static score is already at beta.
    // At larger depths a verification search follows a fail-high, and one
    // that fails low (zugzwang) lets the node search its moves after all.
    if (nullAllowed && depth >= Constants.nullMinDepth && !inCheck && HasPieces(pos, pos->side)) {
      const f32 R = Constants.nullReduction;
      if (!(double(R) < double(depth) - 1.0 && eval < beta)) {
        UndoRecord undo;
        MakeNullMove(pos, &undo);
        SetLazyWindow(child, alpha, beta);
        Evaluate(pos, child, engine->weights, engine->pawnTable);
        i32 v = -Search(engine, pos, -beta, -beta + 1, f32(double(depth) - 1.0 - double(R)), ply + 1, 0);
        UnmakeNullMove(pos, &undo);
        if (v >= beta) {
          if (Constants.nullVerification == 2 || double(depth) - 1.0 < double(Constants.verifyReduction))
            return beta;
          const i32 verified = Search(engine, pos, alpha, beta, depth - Constants.verifyReduction, ply, 0);
          if (Constants.nullVerification == 0 || verified >= beta) return beta;
          // The moves fail low where passing did not: likely zugzwang, so
          // the node is searched as if no null move had been tried.
        } else {
          nullFailedLow = true;
        }
      }
    }
    // Razoring: a shallow node far below beta, with no null-move result to
    // go on, is settled by a quiescence search when that confirms the fail-low.
    if (!nullFailedLow && depth <= Constants.razorMaxDepth && eval + Constants.razorMargin < beta &&
        (Constants.staticPruningInCheck || !inCheck)) {
      i32 v = Quiesce(engine, pos, beta - 1, beta, 0.0f, ply);
      if (v < beta) return v;
    }
  }

  // Move loop set-up: the picker hands out the table move, the mate killer,
  // the captures, the killers and the quiet moves in that order (or only the
  // evasions in check), generating each stage only when it is reached.
  picker->checkers = node->checkers;
  picker->pinData[0] = node->pinData[0];
  picker->pinData[1] = node->pinData[1];
  InitPicker(engine, picker, ply, node->checkCount);
  DiscoveredRays(pos, &picker->discOrth, &picker->discDiag);
  DirectCheckSquares(pos, picker->checkSquares);
  picker->stages = inCheck ? StageBit(StageEvasions)
                           : StageBit(StageHashMove) | StageBit(StageMateKiller) | StageBit(StageCaptures) |
                                 StageBit(StageKillers) | StageBit(StageQuiets);
  int moveCount = 0;
  Move tried[MaxTried];
  int triedCount = 0;
  i32 lastScore = 0;
  const int us = pos->side;
  constexpr i32 NoFutilityMargin = INT32_MIN;
  i32 futilityMargin = NoFutilityMargin;
  // The parts of the pruning rules' conditions that hold for the whole node,
  // worked out once: each move then tests only its own parts.
  const bool quietNode = !pvNode && !inCheck;
  const bool futilityNode = !pvNode && depth >= 1.0f && depth <= Constants.futilityMaxDepth &&
                            (Constants.staticPruningInCheck || !inCheck);
  const bool lateFutilityNode = quietNode && depth <= Constants.lateFutilityMaxDepth;
  const bool threatPruneNode = quietNode && depth <= Constants.threatPruneMaxDepth;
  const f32 markFrom = std::max(Constants.lateMoveMarkPerPly * depth, Constants.lateMoveMarkMinimum);
  const f32 pruneFrom = Constants.lateMoveMarkPerPly * depth + Constants.lateMovePruneExtra;
  const bool reductionNode = depth >= Constants.lmrMinDepth;
  const int reduceFrom = pvNode ? Constants.lmrMinMovesPv : Constants.lmrMinMoves;

  for (Move m = NextMove(picker, pos, engine->stats.historyScore); m >= 2;
       m = NextMove(picker, pos, engine->stats.historyScore)) {
    // Every picked move counts, pruned or not: the late-move rules go by it.
    ++moveCount;
    if (!Constants.historyOnlySearched && triedCount < MaxTried) tried[triedCount++] = m;
    node->currentMove = m;

    // The child's depth: one ply less, plus the first extension that applies.
    f32 newDepth = NewDepth(engine, pos, depth, ply, m, pvNode, inCheck, picker);
    const bool extended = double(newDepth) > double(depth) - 1.0;
    const bool quiet = !IsTactical(m);
    const bool castle = (m & MoveCastleFlag) != 0;
    const int index = HistoryIndex(us, m);
    // Only pawn moves can be passed-pawn pushes; ask only when a rule needs it.
    const bool passed = MovePiece(m) == Pawn && quiet && IsPassedPawnPush(pos, m);

    // Futility pruning: a quiet move cannot lift a static score this far
    // below alpha within the remaining depth; it is not even made.
    if (futilityNode && !extended && quiet) {
      // The margin depends on the depth alone: one logarithm per node.
      if (futilityMargin == NoFutilityMargin)
        futilityMargin = i32(std::trunc(double(std::log(depth)) * double(Constants.futilityMarginLogScale) +
                                        double(Constants.futilityMarginBase)));
      i32 futility = futilityMargin + eval;
      if (futility <= alpha) {
        if (futility > best) best = futility;
        continue;
      }
    }

    // Late-move pruning: late quiet moves whose history says they rarely cut
    // off are not tried at all, or (not quite so late) only when they create
    // a threat, which the threat test below sees once the move is made.
    bool marked = false;
    if (quietNode && !extended && !castle && quiet && !passed && f32(moveCount) >= markFrom &&
        i64(engine->stats.historyGood[index]) * i64(depth) < i64(engine->stats.historyBad[index])) {
      if (f32(moveCount) >= pruneFrom) continue;
      marked = true;
    }

    // Late-move reduction: quiet moves late in the order (never the table
    // move, killers or captures) are searched shallower first, and again at
    // full depth only when they beat alpha.
    bool reduced = false;
    if (reductionNode && moveCount >= reduceFrom && picker->stage == StageQuiets && !extended && !castle &&
        !passed &&
        i64(engine->stats.historyGood[index]) * Constants.lmrHistoryPercent / 100 <
            i64(engine->stats.historyBad[index])) {
      newDepth -= Constants.lmrReduction;
      reduced = true;
    }

    // Make the move and evaluate the child here, in the parent: the rules
    // below compare the two records, and the child finds its static score
    // ready when it is searched. The lazy window lets the evaluation stop
    // early once the score is far outside this node's window.
    const u64 moverPieces = pos->occupied & ~pos->pieces[Pawn];
    UndoRecord undo;
    MakeMove(pos, m, &undo);
    // The child probes the table after its evaluation: the bucket can load meanwhile.
    if (newDepth >= Constants.ttMinDepth) PrefetchBucket(&engine->tt, pos->key);
    SetLazyWindow(child, alpha, beta);
    Evaluate(pos, child, engine->weights, engine->pawnTable);
    const int s = Sign[us];
    const int pieceThreatGain = (child->pieceThreatBalance - node->pieceThreatBalance) * s;
    const int threatGain = (child->threatBalance - node->threatBalance) * s;

    bool skip = false;
    // A late move marked above is kept only when it creates a new threat.
    if (marked && CreatesNoNewThreat(node, child, us)) skip = true;
    // Late futility: at shallow depth a late quiet move whose static score
    // after the move stays clearly below the best score so far is not searched.
    if (!skip && lateFutilityNode && !extended && quiet && !passed &&
        f32(moveCount) >= depth + Constants.lateFutilityMinMovesOverDepth) {
      i32 v = best + child->eval;
      int piece = MovePiece(m);
      i32 margin = piece == King   ? Constants.lateFutilityKingMargin
                   : piece == Pawn ? Constants.lateFutilityPawnMargin
                                   : Constants.lateFutilityPieceMargin;
      if (v >= margin) skip = true;
    }
    // Threat pruning: at shallow depth a late quiet move that hands the
    // opponent a new threat is not searched (both evaluations must have run
    // to the end, or the threat counts are missing).
    if (!skip && threatPruneNode && !extended && quiet && !passed && f32(moveCount) >= depth &&
        node->lazy == 0 && child->lazy == 0) {
      if (pieceThreatGain < 0)
        skip = true;
      else if (threatGain < 0 && depth <= Constants.threatPrunePawnMaxDepth &&
               (node->threats[us ^ 1] & moverPieces) == 0)
        skip = true;
    }
    // A move pruned after it was made is taken back unsearched.
    if (skip) {
      UnmakeMove(pos, m, &undo);
      continue;
    }

    if (Constants.historyOnlySearched && quiet && triedCount < MaxTried) tried[triedCount++] = m;

    // Principal-variation search: the first move of a PV node gets the full
    // window, later ones a null window that only proves them worse, searched
    // again with the full window when they are not; a reduced move that
    // beats alpha is searched again at its full depth.
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
      v = -Search(engine, pos, -beta, -alpha, newDepth + Constants.lmrReduction, ply + 1, 1);
    lastScore = v;

    // Take the move back; a better score takes the principal variation, and
    // one at beta ends the node (a cut-off).
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

  // An abandoned search stores nothing. No move at all is mate or stalemate
  // (moves pruned in the loop still count as moves).
  if (engine->searchState == SearchStopped) return 0;
  if (moveCount == 0) return inCheck ? ply - MateValue : DrawScore;

  // A cut-off teaches the move order (killers, history); the result is a
  // lower bound after a cut-off, exact when it raised alpha, else an upper bound.
  u32 bound;
  if (best >= beta) {
    UpdateStatistics(engine, node, pos, bestMove, depth, lastScore, tried, triedCount);
    bound = BoundLower;
  } else {
    bound = best <= origAlpha ? BoundUpper : BoundExact;
  }

  // Store the result for later visits. When every move was pruned unscored,
  // the node has only shown that it fails low at alpha; -InfiniteScore is no
  // score, and stored as a bound it would cut later nodes off with a value
  // outside every window.
  if (depth >= Constants.ttMinDepth)
    Store(&engine->tt, pos->key, bestMove, ScoreToTable(best == -InfiniteScore ? origAlpha : best, ply),
          depth, bound);

  // Fail hard: the window's lower edge as raised, the cut-off score after a cut-off.
  return alpha;
}
