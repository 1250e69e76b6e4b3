// The evaluation subsystem's public face: the static score and the record it
// fills for the search.
// Layer: eval/ uses board/ and base/; nothing here includes search/ or engine/.
#pragma once

#include "board/board.h"

struct EvalWeights;
struct PawnHashTable;

constexpr int Sign[2] = {1, -1};

// What one evaluation hands to the search besides its score. The search's
// per-ply record (PlyRecord) begins with it, so the search reads these fields
// where it always has and the evaluation needs nothing from the search.
struct EvalRecord {
  u64 checkers;            // pieces giving check to the side to move
  u64 threats[2];          // per colour c: pieces of c ^ 1 that c threatens
  u64 pinData[2];          // pinsOrth, pinsDiag of the side to move, checkers excluded
  i32 eval;                // static score, side-to-move view
  i16 pieceThreatBalance;  // non-pawn pieces in threats[White] minus threats[Black]
  i16 threatBalance;       // the same over all attacked units
  i16 kingSafety[2];
  u16 lazy;        // 1 when the evaluation took its lazy exit
  u16 checkCount;  // 0 = not in check
  i16 lazyLow;     // lazy-evaluation window set by the parent
  i16 lazyHigh;
};

// Static score in centipawns from the side to move's view; also fills the
// record's check, pin, lazy and threat fields the search reads. The caller
// sets the record's lazyLow/lazyHigh window first. The position is
// left exactly as it was; the pawn table is the cache the pawn structure is
// looked up in (and stored to).
i32 Evaluate(Position* pos, EvalRecord* ply, const EvalWeights* weights, PawnHashTable* pawns);
