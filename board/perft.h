// Move-path enumeration (perft) for testing the generators and make/unmake:
// node counts to compare with other programs, and a checking walk that
// recomputes everything at every node.
#pragma once

#include "board/board.h"

enum PerftGenerator { PerftLegal = 0, PerftStaged = 1 };

// All legal moves through the staged generators, as the search calls them:
// captures of every piece then quiet moves out of check, evasions in check,
// with the pin rays computed with the checkers excluded.
void GenerateStaged(const Position* pos, MoveList* list);

// Number of leaf nodes `depth` plies below the position; the last ply is
// counted from the move list without making the moves.
u64 Perft(Position* pos, int depth, PerftGenerator generator);

// What the checking walk found wrong, and the moves that led there.
struct PerftFailure {
  bool failed;
  char message[160];
  int pathLength;
  Move path[64];
};

// Perft that makes every move down to the leaves and, at every node, compares
// the incremental fields with a recomputation, the staged and the full legal
// generators' move sets, the legality of each generated move, and the position
// after unmake with the one before. Stops at the first fault and describes it
// in *failure; returns the leaf count so far.
u64 PerftVerify(Position* pos, int depth, PerftFailure* failure);
