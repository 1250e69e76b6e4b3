// The evaluation subsystem's public face.
#pragma once

#include "board/board.h"
#include "search/records.h"

struct EvalWeights;
struct PawnHashTable;

constexpr int Sign[2] = {1, -1};

// The rows of an evaluation breakdown, in the order the sums are built.
enum EvalTerm : int {
  TermMaterial,
  TermPieceSquares,
  TermPawnStructure,
  TermKingZonePawns,  // undefended pawns next to the enemy king
  TermPieces,         // mobility and placement of knights, bishops, rooks, queens
  TermKingSafety,
  TermPassedPawns,  // what the pieces make of the passers, and pawn races
  TermThreats,
  TermPatterns,  // trapped bishops and rooks shut in by their king
  EvalTermCount
};

// Why the first stage gave the result without the attack terms.
enum EvalExit : int { ExitNone, ExitKnownDraw, ExitRookEnding, ExitOutsideWindow };

// What one evaluation is made of; filled only when asked for (the search
// passes no record). parts[t][c] is colour c's share in its own view, so a
// term adds parts[t][White] - parts[t][Black] to White's sums; the scaling of
// drawish endings comes on top: sum over t plus `scaling` is `opening` and
// `endgame`.
struct EvalBreakdown {
  i32 parts[EvalTermCount][2][2];  // [term][colour][0 opening, 1 endgame]
  u8 computed[EvalTermCount];      // the term was evaluated (not skipped by an early exit)
  i32 scaling[2];                  // change of the sums by the opposite-bishops rule
  i32 opening, endgame;            // the sums, White's view
  i32 phase;                       // 0 (all pieces) .. 24
  i32 blended;                     // the sums blended by the phase
  i32 materialCorrection;          // added after the blend (0 when not applied)
  i32 rookEnding;                  // the rook-ending evaluator's blended score
  i32 exit;                        // EvalExit
  i32 whiteScore;                  // the result, White's view
  i32 score;                       // the result, side to move's view
};

// Static score in centipawns from the side to move's view; also fills the
// ply record's check, pin, lazy and threat fields the search reads. The
// caller sets the record's lazyLow/lazyHigh window first. The position is
// left exactly as it was; the pawn table is the cache the pawn structure is
// looked up in (and stored to).
// With a breakdown record, also explains the score in it (slower; for the
// "eval" command and tests).
i32 Evaluate(Position* pos, PlyRecord* ply, const EvalWeights* weights, PawnHashTable* pawns,
             EvalBreakdown* breakdown = nullptr);
