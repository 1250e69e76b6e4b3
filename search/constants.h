// Every number that shapes the search: pruning margins, reductions,
// extensions, windows and the root's time rules, in one block. Depths are in
// plies (fractions allowed); scores in centipawns; shares in percent. A name
// ending in Pv is the value at PV nodes, its partner without the ending the
// value at the others.
//
// Each entry is X(type, name, value, low, high): the release build turns the
// block into compile-time constants; a tuning build (-DTARVO_TUNE=ON) into
// one record that UCI options set, over the range low..high, so that the
// numbers can be tuned by games. Fractional depths travel over UCI in
// sixteenths of a ply.
#pragma once

#include "base/types.h"

// clang-format off
#define TARVO_SEARCH_CONSTANTS(X) \
  /* Quiescence delta pruning: how far the stand-pat score may lie below     */ \
  /* alpha before captures of pawns (short of the seventh rank), of minor    */ \
  /* pieces, of rooks and then of queens can no longer lift it.              */ \
  X(i32, deltaMarginPawn, 220, 50, 600) \
  X(i32, deltaMarginMinor, 450, 200, 900) \
  X(i32, deltaMarginRook, 650, 300, 1200) \
  X(i32, deltaMarginQueen, 1050, 600, 1800) \
  /* Quiescence plies that still try quiet checks, and the extra ply an      */ \
  /* evasion earns (so that checks can be answered).                         */ \
  X(f32, qsCheckDepth, 1.0f, 0.0f, 3.0f) \
  X(f32, qsCheckDepthPv, 2.0f, 0.0f, 4.0f) \
  X(f32, qsCheckExtension, 1.0f, 0.0f, 2.0f) \
  /* Shallower nodes neither probe nor store the transposition table.        */ \
  X(f32, ttMinDepth, 1.0f, 0.0f, 3.0f) \
  /* Internal iterative deepening: a PV node without a table move first      */ \
  /* searches itself shallower, by the reduction or to the share of the      */ \
  /* depth, whichever is shallower, to find one.                             */ \
  X(f32, iidMinDepth, 3.0f, 1.0f, 8.0f) \
  X(f32, iidReduction, 2.0f, 1.0f, 5.0f) \
  X(f32, iidDepthShare, 0.5f, 0.25f, 1.0f) \
  /* Null move: the depth it needs, the depth it saves, and the reduction    */ \
  /* of the verification search that follows a fail-high at larger depths.   */ \
  X(f32, nullMinDepth, 2.0f, 1.0f, 5.0f) \
  X(f32, nullReduction, 3.0f, 1.0f, 5.0f) \
  X(f32, verifyReduction, 4.0f, 2.0f, 8.0f) \
  /* What a null-move fail-high is followed by at depths where it is        */ \
  /* verified: 0 the verification is searched and beta returned whatever it */ \
  /* found, 1 a verification below beta lets the node go on (zugzwang), 2   */ \
  /* no verification.                                                        */ \
  X(i32, nullVerification, 1, 0, 2) \
  /* Table rules: whether an exact entry of sufficient depth ends a non-PV   */ \
  /* node, and the replacement (0: a result of a known position only when    */ \
  /* strictly deeper, the shallowest entry of the bucket otherwise; 1: a     */ \
  /* result of equal or greater depth, and entries of earlier searches       */ \
  /* first).                                                                 */ \
  X(i32, ttExactCutoff, 1, 0, 1) \
  X(i32, ttReplaceByAge, 1, 0, 1) \
  /* History: whether only searched quiet moves count a failure (else every  */ \
  /* move tried, pruned ones and captures included), and by how much the     */ \
  /* statistics are divided from one search to the next (0 wipes them).      */ \
  X(i32, historyOnlySearched, 1, 0, 1) \
  X(i32, historyCarryDivisor, 2, 0, 16) \
  /* Razoring: a shallow non-PV node whose static score lies this far below  */ \
  /* beta is settled by a quiescence search when that confirms the fail-low. */ \
  X(i32, razorMargin, 300, 100, 800) \
  X(f32, razorMaxDepth, 3.0f, 0.0f, 6.0f) \
  /* Whether razoring and futility pruning apply to a node in check (every  */ \
  /* move there is an evasion, and the static score says least).            */ \
  X(i32, staticPruningInCheck, 1, 0, 1) \
  /* Futility pruning of quiet moves at non-PV nodes up to this depth: a     */ \
  /* move is not made when the static score plus                             */ \
  /* trunc(ln(depth) * scale + base) cannot reach alpha (100 at depth 1,     */ \
  /* 197 at depth 2, 253 at depth 3).                                        */ \
  X(f32, futilityMaxDepth, 100.0f, 1.0f, 100.0f) \
  X(i32, futilityMarginBase, 100, 0, 300) \
  X(i32, futilityMarginLogScale, 140, 0, 400) \
  /* Late-move pruning of quiet moves whose history says they rarely cut     */ \
  /* off: from move max(perPly * depth, minimum) on they must create a       */ \
  /* threat to be searched, and from move perPly * depth + extra on they are */ \
  /* not tried.                                                              */ \
  X(f32, lateMoveMarkPerPly, 2.0f, 1.0f, 6.0f) \
  X(f32, lateMoveMarkMinimum, 2.0f, 1.0f, 8.0f) \
  X(f32, lateMovePruneExtra, 3.0f, 0.0f, 12.0f) \
  /* Late-move reductions: quiet moves from this move number on, at this     */ \
  /* depth or more, whose cut-offs number less than the percentage of their  */ \
  /* failures, are searched this much shallower first.                       */ \
  X(i32, lmrMinMoves, 4, 1, 12) \
  X(i32, lmrMinMovesPv, 15, 2, 30) \
  X(f32, lmrMinDepth, 2.0f, 1.0f, 5.0f) \
  X(f32, lmrReduction, 1.0f, 0.5f, 3.0f) \
  X(i32, lmrHistoryPercent, 30, 0, 100) \
  /* Late futility: up to this depth, from move depth + minMoves on, a quiet */ \
  /* move is not searched when the static score after it stays below the    */ \
  /* best score so far by the margin of the moving piece (a king move needs  */ \
  /* the least, a pawn move the most, as pawn moves change the structure's   */ \
  /* long-term value).                                                       */ \
  X(f32, lateFutilityMaxDepth, 4.0f, 0.0f, 8.0f) \
  X(f32, lateFutilityMinMovesOverDepth, 2.0f, 0.0f, 8.0f) \
  X(i32, lateFutilityKingMargin, 90, 0, 400) \
  X(i32, lateFutilityPawnMargin, 150, 0, 400) \
  X(i32, lateFutilityPieceMargin, 110, 0, 400) \
  /* Threat pruning: up to these depths a late quiet move is not searched    */ \
  /* when it hands the opponent a new threat on a piece (or, shallower still */ \
  /* and while no piece of the mover is threatened, on a pawn).              */ \
  X(f32, threatPruneMaxDepth, 3.0f, 0.0f, 6.0f) \
  X(f32, threatPrunePawnMaxDepth, 2.0f, 0.0f, 6.0f) \
  /* Extensions, the first that applies: a single legal reply, a check (less */ \
  /* when it loses more than the exchange margin at a non-PV node), a passed */ \
  /* pawn's push to the sixth rank or beyond, an even recapture, a critical  */ \
  /* move.                                                                   */ \
  X(f32, extSingleReply, 1.0f, 0.0f, 1.0f) \
  X(f32, extSingleReplyPv, 1.0f, 0.0f, 1.0f) \
  X(f32, extCheck, 1.0f, 0.0f, 1.0f) \
  X(f32, extCheckLosing, 0.5f, 0.0f, 1.0f) \
  X(i32, losingCheckExchange, -100, -500, 0) \
  X(f32, extPassedPawn, 0.0f, 0.0f, 1.0f) \
  X(f32, extPassedPawnPv, 1.0f, 0.0f, 1.0f) \
  X(f32, extRecapture, 0.0f, 0.0f, 1.0f) \
  X(f32, extRecapturePv, 1.0f, 0.0f, 1.0f) \
  X(f32, extCritical, 0.0f, 0.0f, 1.0f) \
  X(f32, extCriticalPv, 1.0f, 0.0f, 1.0f) \
  /* Lazy evaluation: a child's evaluation may stop early once its score     */ \
  /* lies this far outside the parent's window, where no detail can bring it */ \
  /* back.                                                                   */ \
  X(i32, lazyWindowMargin, 170, 50, 600) \
  /* Aspiration windows (from this iteration on, single-line searches only): */ \
  /* a half-width of swingFactor times the last change of the score, at      */ \
  /* least minDelta, doubled on each failure.                                */ \
  X(i32, aspirationMinIteration, 6, 2, 12) \
  X(i32, aspirationSwingFactor, 3, 1, 8) \
  X(i32, aspirationMinDelta, 25, 5, 100) \
  /* The easy move: a best move this far ahead of the second at iteration 2, */ \
  /* still best later, lets a clock search stop early.                       */ \
  X(i32, easyMoveMargin, 150, 50, 500) \
  /* Time rules between iterations of a clock search, after iteration        */ \
  /* timeRulesAfterIteration (the first ones cost little and their best move */ \
  /* is not yet worth much): extra time for each change of the best move,    */ \
  /* extra time when the score fell by more than the margin, the share of    */ \
  /* the budget after which no new iteration starts, and the share an easy   */ \
  /* move may use (percentages of the allocated time).                       */ \
  X(i32, timeRulesAfterIteration, 3, 1, 8) \
  X(i32, extraTimePerBestMoveChange, 30, 0, 100) \
  X(i32, scoreDropMargin, 36, 10, 150) \
  X(i32, scoreDropExtraTime, 200, 0, 400) \
  X(i32, newIterationShare, 60, 30, 100) \
  X(i32, easyMoveShare, 10, 5, 50)
// clang-format on

struct SearchConstants {
#define TARVO_CONSTANT_FIELD(type, name, value, low, high) type name;
  TARVO_SEARCH_CONSTANTS(TARVO_CONSTANT_FIELD)
#undef TARVO_CONSTANT_FIELD
};

// The values the engine plays with.
constexpr SearchConstants DefaultConstants = {
#define TARVO_CONSTANT_VALUE(type, name, value, low, high) value,
    TARVO_SEARCH_CONSTANTS(TARVO_CONSTANT_VALUE)
#undef TARVO_CONSTANT_VALUE
};

#ifdef TARVO_TUNE
// The tuning build reads the block from this record, which the UCI options
// of the table below set.
extern SearchConstants Constants;

struct TunableConstant {
  const char* name;
  i32 value, low, high;  // as UCI integers (fractional depths in sixteenths)
  void (*set)(i32);      // stores a UCI integer into Constants
};
extern const TunableConstant TunableConstants[];
extern const int TunableConstantCount;
#else
inline constexpr const SearchConstants& Constants = DefaultConstants;
#endif

// The move statistics are halved when one of them reaches this, so that they
// follow what the search finds now more than what it found long ago.
constexpr i32 HistoryHalvingLimit = 32000;

// A clock search stops once the iterations that ended with a mate score add
// up to more than this: the mate is found, more depth only confirms it.
constexpr i32 MateDepthSumToStop = 6;
