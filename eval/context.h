// The scratch of one evaluation, shared by the files of the evaluation
// subsystem; nothing outside eval/ includes this header.
#pragma once

#include "board/board.h"
#include "eval/eval.h"
#include "eval/material.h"
#include "eval/pawns.h"

struct EvalWeights;

// Indexes of the two pin masks of a colour, in the order PinRays fills them.
constexpr int PinOrth = 0;
constexpr int PinDiag = 1;

// Everything one Evaluate call accumulates. It lives on the caller's stack for
// the duration of the call; the term functions read the position and the
// weights through it and add to `opening` and `endgame` (White's view).
//
// The first stage fills everything down to `pins[side]`; the second stage
// fills the rest before any term reads it:
//   pins[side ^ 1]      pin rays of the side not to move
//   pawnAttacks[c]      squares c's pawns attack (pinned pawns included)
//   kingNeighbours[c]   KingAttacks of c's king
//   attackers[c]        units of c bearing on the enemy king's neighbours;
//   goodShelterSum[c]   with the two weight sums below, the king-attack
//   badShelterSum[c]    count that the piece loops add to
//   pieceAttacks[c]     union of the attack sets of c's pieces
//   hits[c]             enemy units c attacks (defended or not)
//   raceValue[c]        twice the relative rank of c's furthest unstoppable
//                       passed pawn (0 when the enemy has pieces)
// The threats themselves are kept in ply->threats, which the search reads.
struct EvalContext {
  const Position* pos;
  const EvalWeights* weights;
  EvalRecord* ply;

  MaterialEntry entry;
  const PawnEntry* pawnEntry;  // valid for the whole call: nothing else probes meanwhile
  i32 phase;                   // 0 (full material) .. 24 (kings and pawns)
  i32 materialCorrection;      // starts as entry.value; endgame scalers may change it
  i32 opening;
  i32 endgame;

  u64 pins[2][2];  // [colour][PinOrth / PinDiag]

  u64 pawnAttacks[2];
  u64 kingNeighbours[2];
  i32 attackers[2];
  i32 goodShelterSum[2];
  i32 badShelterSum[2];
  u64 pieceAttacks[2];
  u64 hits[2];
  i32 raceValue[2];
};

// King safety of colour c's king, when the opponent has a queen and another
// piece: adds the shelter-and-attack verdict to the sums and records it in
// ply->kingSafety[c]. Runs after the piece loops have counted the attackers.
void KingSafety(EvalContext* ctx, int colour);

// Score of a single-rook ending (one rook a side, otherwise kings and pawns)
// from the first-stage sums, White's view, without the material correction.
i32 RookEndingScore(const EvalContext* ctx);

// Adds the trapped-bishop and blocked-rook patterns to the sums; with
// `shares`, also each colour's part in its own view ([colour][phase]).
void AddFixedPatterns(EvalContext* ctx, i32 (*shares)[2] = nullptr);

// Counts one piece of `attacker` whose attack set reaches the enemy king's
// neighbours, with its shelter weights.
void CountKingAttack(EvalContext* ctx, int attacker, int pieceType, u64 attackSet);
// Mobility and placement of colour's knights, bishops, rooks and queens; fills
// pieceAttacks, hits, the piece threats and the king-attack count.
void AddPieceActivity(EvalContext* ctx, int colour);
// What the pieces make of c's passed pawns; sets raceValue[c].
void AddPassedPawns(EvalContext* ctx, int colour);
// Scores a pawn race between unstoppable passed pawns.
void AddPawnRace(EvalContext* ctx);
// Scales the sums (and perhaps the material correction) of an ending with
// one bishop a side on squares of different colours towards a draw.
void OppositeBishopsAdjust(EvalContext* ctx);
