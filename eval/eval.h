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

// The largest static score: extreme weights saturate here, short of the
// range the search keeps for mate scores.
constexpr i32 EvalLimit = 32000;
inline i32 LimitEval(i32 v) { return v < -EvalLimit ? -EvalLimit : v > EvalLimit ? EvalLimit : v; }

// Static score in centipawns from the side to move's view; also fills the
// record's check, pin, lazy and threat fields the search reads. The caller
// sets the record's lazyLow/lazyHigh window first. The position is
// left exactly as it was; the pawn table is the cache the pawn structure is
// looked up in (and stored to).
i32 Evaluate(Position* pos, EvalRecord* ply, const EvalWeights* weights, PawnHashTable* pawns,
             EvalBreakdown* breakdown = nullptr);
// As Evaluate, except that a position in check gets only its check and pin
// fields (eval 0, lazy 1): for a node that stands no pat in check.
void EvaluateUnlessInCheck(Position* pos, EvalRecord* ply, const EvalWeights* weights, PawnHashTable* pawns);
