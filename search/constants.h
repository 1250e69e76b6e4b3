// Every number that shapes the search: pruning margins, reductions,
// extensions, windows and the root's time rules, in one block. Depths are in
// plies (fractions allowed); scores in centipawns. A pair indexed [pvNode]
// holds the value for a non-PV node first, then for a PV node.
//
// The record holds the numbers the engine object carries (tests set the
// extensions to tell them apart); the named constants below it are fixed at
// compile time.
#pragma once

#include "base/types.h"

struct SearchParams {
  // Quiescence delta pruning: how far the stand-pat score may lie below alpha
  // before captures of pawns (short of the seventh rank), of minor pieces, of
  // rooks and then of queens can no longer lift it, and are not tried.
  i32 deltaMargin[4];
  // Late-move reductions: quiet moves from this move number on, at this depth
  // or more, are searched this much shallower first.
  i32 lmrMinMoves[2];
  f32 lmrMinDepth;
  f32 lmrReduction;
  // Razoring: a shallow non-PV node whose static score lies this far below
  // beta is settled by a quiescence search when that confirms the fail-low.
  i32 razorMargin;
  f32 razorMaxDepth;
  // Internal iterative deepening: a PV node without a table move first
  // searches itself shallower to find one.
  f32 iidMinDepth;
  f32 iidReduction;
  // Shallower nodes neither probe nor store the transposition table.
  f32 ttMinDepth;
  // Null move: the depth it needs, the depth it saves, and the reduction of
  // the verification search that follows a fail-high at larger depths.
  f32 nullMinDepth;
  f32 nullReduction;
  f32 verifyReduction;
  // Quiescence plies that still try quiet checks, and the extra ply an
  // evasion earns (so that checks can be answered).
  f32 qsCheckDepth[2];
  f32 qsCheckExtension;
  // Extensions, the first that applies: a single legal reply, a check (less
  // when it loses material at a non-PV node), a passed pawn's push to the
  // sixth rank or beyond, an even recapture, a critical move.
  f32 extSingleReply[2];
  f32 extCheck;
  f32 extCheckLosing;
  f32 extPassedPawn[2];
  f32 extRecapture[2];
  f32 extCritical[2];
};

// The values the engine plays with.
constexpr SearchParams DefaultSearchParams = {
    .deltaMargin = {220, 450, 650, 1050},
    .lmrMinMoves = {4, 15},
    .lmrMinDepth = 2.0f,
    .lmrReduction = 1.0f,
    .razorMargin = 300,
    .razorMaxDepth = 3.0f,
    .iidMinDepth = 3.0f,
    .iidReduction = 2.0f,
    .ttMinDepth = 1.0f,
    .nullMinDepth = 2.0f,
    .nullReduction = 3.0f,
    .verifyReduction = 4.0f,
    .qsCheckDepth = {1.0f, 2.0f},
    .qsCheckExtension = 1.0f,
    .extSingleReply = {1.0f, 1.0f},
    .extCheck = 1.0f,
    .extCheckLosing = 0.5f,
    .extPassedPawn = {0.0f, 1.0f},
    .extRecapture = {0.0f, 1.0f},
    .extCritical = {0.0f, 1.0f},
};

// The move statistics are halved when one of them reaches this, so that they
// follow what the search finds now more than what it found long ago.
constexpr i32 HistoryHalvingLimit = 32000;

// Lazy evaluation: a child's evaluation may stop early once its score lies
// this far outside the parent's window, where no detail can bring it back.
constexpr i32 LazyWindowMargin = 170;

// Internal iterative deepening searches at most this share of the depth.
constexpr double IidDepthShare = 0.5;

// Futility pruning of quiet moves at non-PV nodes: a move is not made when the
// static score plus trunc(ln(depth) * scale + base) cannot reach alpha
// (100 at depth 1, 197 at depth 2, 253 at depth 3).
constexpr double FutilityMarginBase = 100.0;
constexpr double FutilityMarginLogScale = 140.0;

// Late-move pruning of quiet moves whose history says they rarely cut off:
// from move max(perPly * depth, minimum) on they must create a threat to be
// searched, and from move perPly * depth + extra on they are not tried.
constexpr f32 LateMoveMarkPerPly = 2.0f;
constexpr f32 LateMoveMarkMinimum = 2.0f;
constexpr f32 LateMovePruneExtra = 3.0f;

// Late-move reductions take only moves whose cut-offs number less than this
// percentage of their failures.
constexpr i64 LmrHistoryPercent = 30;

// Late futility: up to this depth, from move depth + minMoves on, a quiet move
// is not searched when the static score after it stays below the best score
// so far by the margin of the moving piece (a king move needs the least, a
// pawn move the most, as pawn moves change the structure's long-term value).
constexpr f32 LateFutilityMaxDepth = 4.0f;
constexpr f32 LateFutilityMinMovesOverDepth = 2.0f;
constexpr i32 LateFutilityKingMargin = 90;
constexpr i32 LateFutilityPawnMargin = 150;
constexpr i32 LateFutilityPieceMargin = 110;

// Threat pruning: up to these depths a late quiet move is not searched when it
// hands the opponent a new threat on a piece (or, shallower still and while
// no piece of the mover is threatened, on a pawn).
constexpr f32 ThreatPruneMaxDepth = 3.0f;
constexpr f32 ThreatPrunePawnMaxDepth = 2.0f;

// A check that loses more than this in the exchange on its square gets the
// smaller check extension at non-PV nodes.
constexpr i32 LosingCheckExchange = -100;

// Aspiration windows (from iteration AspirationMinIteration on, single-line
// searches only): a half-width of swingFactor times the last change of the
// score, at least minDelta, doubled on each failure.
constexpr int AspirationMinIteration = 6;
constexpr i64 AspirationSwingFactor = 3;
constexpr i64 AspirationMinDelta = 25;

// The easy move: a best move this far ahead of the second at iteration 2,
// still best later, lets a clock search stop early.
constexpr i32 EasyMoveMargin = 150;

// Time rules between iterations of a clock search (percentages of the
// allocated time): extra time for each change of the best move, extra time
// when the score fell by more than the margin, the share of the budget after
// which no new iteration starts, and the share an easy move may use.
constexpr i64 ExtraTimePerBestMoveChange = 30;
constexpr i32 ScoreDropMargin = 36;
constexpr i64 ScoreDropExtraTime = 200;
constexpr i64 NewIterationShare = 60;
constexpr i64 EasyMoveShare = 10;
// The time rules start after this iteration: the first ones cost little and
// their best move is not yet worth much.
constexpr int TimeRulesAfterIteration = 3;
// A clock search stops once the iterations that ended with a mate score add
// up to more than this: the mate is found, more depth only confirms it.
constexpr i32 MateDepthSumToStop = 6;
