// The evaluation subsystem's public face.
#pragma once

#include "board/board.h"
#include "search/records.h"

struct EvalWeights;
struct PawnHashTable;

constexpr int Sign[2] = {1, -1};

// Static score in centipawns from the side to move's view; also fills the
// ply record's check, pin, lazy and threat fields the search reads. The
// caller sets the record's lazyLow/lazyHigh window first. The position is
// left exactly as it was; the pawn table is the cache the pawn structure is
// looked up in (and stored to).
i32 Evaluate(Position* pos, PlyRecord* ply, const EvalWeights* weights, PawnHashTable* pawns);
