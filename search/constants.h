// The numbers that shape the search: pruning margins, reductions, extensions.
// Depths are in plies (fractions allowed). A pair indexed [pvNode] holds the
// value for a non-PV node first, then for a PV node.
#pragma once

#include "base/types.h"

struct SearchParams {
  // Quiescence delta pruning: how far the stand-pat score may lie below alpha
  // before captures of pawns, minors, rooks and then queens cannot lift it.
  i32 deltaMargin[4];
  // Late-move reductions: from which move number, at what depth, by how much.
  i32 lmrMinMoves[2];
  f32 lmrMinDepth;
  f32 lmrReduction;
  // Razoring: a shallow node whose static score lies this far below beta is
  // settled by a quiescence search.
  i32 razorMargin;
  f32 razorMaxDepth;
  // Internal iterative deepening: a PV node without a table move searches
  // itself shallower first to find one.
  f32 iidMinDepth;
  f32 iidReduction;
  // Shallower nodes neither probe nor store the transposition table.
  f32 ttMinDepth;
  // Null move: the depth it needs, the depth it saves and the verification
  // search's reduction.
  f32 nullMinDepth;
  f32 nullReduction;
  f32 verifyReduction;
  // Quiescence plies that still try quiet checks, and the extra ply an evasion earns.
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
