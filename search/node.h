// Steps shared by the alpha-beta and quiescence nodes.
#pragma once

#include <cstring>

#include "board/board.h"
#include "search/search.h"
#include "search/searchio.h"
#include "search/state.h"

// Counts the node and, every pollInterval + 1 nodes, polls the input and
// applies the limits.
inline void CountNode(EngineState* engine) {
  engine->progress.nodes++;
  i32 countdown = engine->progress.pollCountdown;
  engine->progress.pollCountdown = countdown - 1;
  if (countdown <= 0) {
    engine->progress.pollCountdown = engine->progress.pollInterval;
    PollInput(engine);
    PeriodicCheck(engine);
  }
}

// Draw by the fifty-move rule (unless mated on the hundredth ply) or by a
// single repetition since the last irreversible move.
inline bool IsDrawByRule(const Position* pos) {
  if (pos->fifty > 100) return true;
  if (pos->fifty == 100 && !IsAttacked(pos, pos->side ^ 1, pos->kingSquare[pos->side])) return true;
  int reach = pos->fifty < int(pos->historyCount) ? pos->fifty : int(pos->historyCount);
  for (int d = 2; d <= reach; d += 2)
    if (pos->history[pos->historyCount - d] == pos->key) return true;
  return false;
}

// Narrows the window by the mate distance; returns true with *result set when
// the window closes.
inline bool MateDistanceCut(const Position* pos, const PlyRecord* node, int ply, i32* alpha, i32* beta,
                            i32* result) {
  i32 lo = ply - (MateValue - 2);  // the side to move cannot be mated before ply + 2
  if (*alpha < lo && IsMated(pos, node->checkCount, node->checkers, node->pinData)) lo = ply - MateValue;
  if (lo >= *beta) {
    *result = lo;
    return true;
  }
  if (lo > *alpha) *alpha = lo;
  i32 hi = MateValue - 1 - ply;
  if (hi <= *alpha) {
    *result = hi;
    return true;
  }
  if (hi < *beta) *beta = hi;
  return false;
}

// Whether a marked late move created no new threat for `mover`, comparing the
// threat counts the evaluations left in the node's and the child's records.
// A lazy evaluation counts no threats; without both counts the move is kept.
inline bool CreatesNoNewThreat(const PlyRecord* node, const PlyRecord* child, int mover) {
  if (node->lazy != 0 || child->lazy != 0) return false;
  const int s = Sign[mover];
  return (child->pieceThreatBalance - node->pieceThreatBalance) * s < 1 &&
         (child->threatBalance - node->threatBalance) * s < 1;
}

// The principal variation through move m: m, then the child's line, cut to
// the record's length. Short lines, the usual case, are copied as one fixed
// block whatever their length (entries past the count are never read), so
// the copy takes no branch that depends on the length.
inline void CopyPv(PlyRecord* node, Move m, const PlyRecord* child) {
  constexpr u32 Block = 8;
  node->pv[0] = m;
  const u32 count = child->pvCount < u32(MaxPly) - 1 ? child->pvCount : u32(MaxPly) - 1;
  if (count <= Block)
    std::memcpy(&node->pv[1], child->pv, Block * sizeof(u32));
  else
    std::memcpy(&node->pv[1], child->pv, count * sizeof(u32));
  node->pvCount = count + 1;
}
