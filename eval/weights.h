// The evaluation weights: every number of the parameter file, converted to
// integers (and tables) under its parameter-file name.
#pragma once

#include <cstddef>
#include <cstdio>

#include "board/types.h"

// Storage order of EvalWeights::pieceSquareBase. Each table is in diagram
// order as seen by the side using it: index i has row i >> 3 (row 0 is that
// side's far rank) and file i & 7.
enum PieceSquareTable : int {
  PawnOpening,
  PawnEndgame,
  KnightOpening,
  KnightEndgame,
  KnightOutpostOpening,
  BishopOpening,
  BishopEndgame,
  RookOpening,
  RookEndgame,
  QueenOpening,
  QueenEndgame,
  KingOpening,
  KingEndgame,
  PieceSquareTableCount
};

// The opening and endgame tables of a piece type Pawn..King.
constexpr PieceSquareTable OpeningTableOf(int pieceType) {
  constexpr PieceSquareTable tables[7] = {PawnOpening, PawnOpening,  KnightOpening, BishopOpening,
                                          RookOpening, QueenOpening, KingOpening};
  return tables[pieceType];
}
constexpr PieceSquareTable EndgameTableOf(int pieceType) {
  constexpr PieceSquareTable tables[7] = {PawnEndgame, PawnEndgame,  KnightEndgame, BishopEndgame,
                                          RookEndgame, QueenEndgame, KingEndgame};
  return tables[pieceType];
}

// Field order follows the parameter file, except that the shelter and storm
// groups are stored inner, central, outer so that the pawn code can index
// them by file slot. Tables indexed by relative rank have 8 entries.
struct EvalWeights {
  i32 readCursor;  // next number to take while converting, 0 otherwise
  FILE* dumpFile;  // open only while converting

  i32 EG_DOUBLED_PAWN_PENALTY;
  i32 EG_ISOLATED_PAWN_PENALTY;
  i32 EG_ISOLATED_DOUBLED_PAWN_PENALTY;
  i32 OP_ISOLATED_PAWN_PENALTY;
  i32 EG_WEAK_ISOLATED_PAWN_PENALTY;
  i32 OP_WEAK_ISOLATED_PAWN_PENALTY;
  i32 EG_UNPROTECTED_PAWN_PENALTY;
  i32 EG_BACKWARD_PAWN_PENALTY;
  i32 OP_BACKWARD_PAWN_PENALTY;
  i32 EG_WEAK_BACKWARD_PAWN_PENALTY;
  i32 OP_WEAK_BACKWARD_PAWN_PENALTY;
  i32 OP_PASSED_PAWN[8];
  i32 EG_PASSED_PAWN[8];
  i32 EG_UNSTOPPABLE_PASSED_PAWN;
  i32 EG_PASSED_PAWN_WO_OUR_BLOCKER[8];
  i32 EG_PASSED_PAWN_WO_OPP_BLOCKER[8];
  i32 EG_PASSED_PAWN_WO_MOB_BLOCKER[8];
  i32 OP_PASSED_CHAIN[8];
  i32 EG_PASSED_CHAIN[8];
  i32 EG_PASSED_PAWN_DEFENDER[8];
  i32 EG_PASSED_PAWN_ATTACKER[8];
  i32 OP_DEFENDED_PASSED_PAWN[8];
  i32 EG_DEFENDED_PASSED_PAWN[8];
  i32 OP_CANDIDATE_PASSED_PAWN[8];
  i32 EG_CANDIDATE_PASSED_PAWN[8];

  // King shelter by front-pawn rank index (relative rank 2..5), then storm by
  // the rank index of the nearest enemy pawn, entry 4 for an empty file.
  i32 INNER_SIDE_SHELTER[4];
  i32 CENTRAL_SHELTER[4];
  i32 OUTER_SIDE_SHELTER[4];
  i32 STORM_SHELTER_BONUS_1;
  i32 STORM_SHELTER_PENALTY_1;
  i32 STORM_SHELTER_PENALTY_2;
  i32 STORM_CHAIN;
  i32 INNER_SIDE_STORM[5];
  i32 CENTRAL_STORM[5];
  i32 OUTER_SIDE_STORM[5];
  i32 SECOND_INNER_SIDE_SHELTER[4];
  i32 SECOND_CENTRAL_SHELTER[4];
  i32 SECOND_OUTER_SIDE_SHELTER[4];

  // King attack: _GS weights count for a well sheltered king, _BS for a badly
  // sheltered one.
  i32 KNIGHT_ATT_WEIGHT_GS;
  i32 KNIGHT_ATT_WEIGHT_BS;
  i32 BISHOP_ATT_WEIGHT_GS;
  i32 BISHOP_ATT_WEIGHT_BS;
  i32 BISHOP_ATT_WEAK_SQUARES;
  i32 ROOK_ATT_WEIGHT_GS;
  i32 ROOK_ATT_WEIGHT_BS;
  i32 QUEEN_ATT_WEIGHT_GS;
  i32 QUEEN_ATT_WEIGHT_BS;
  i32 PIECE_ATT_WEIGHT[16];        // by number of attackers
  i32 SAFETY_RATIO;                // at least 1
  i32 MAX_SHELTER_VALUE;           // at least 1
  i32 MIN_SHELTER_VALUE;           // at least 1
  i32 NON_PAWN_DEFENDER_VALUE[8];  // by number of defenders

  // Mobility by number of safe squares; the queen's second pair by closeness
  // to the enemy king (14 - distance).
  i32 OP_KNIGHT_MOB_1[9];
  i32 EG_KNIGHT_MOB_1[9];
  i32 OP_BISHOP_MOB_1[14];
  i32 EG_BISHOP_MOB_1[14];
  i32 OP_ROOK_MOB_1[15];
  i32 EG_ROOK_MOB_1[15];
  i32 OP_QUEEN_MOB_1[8];
  i32 OP_QUEEN_MOB_2[15];
  i32 EG_QUEEN_MOB_2[15];

  i32 OP_ROOK_ON_7TH;
  i32 EG_ROOK_ON_7TH;
  i32 OP_QUEEN_ON_7TH;
  i32 EG_QUEEN_ON_7TH;
  i32 OP_ROOK_HALF_OPEN_FILE;
  i32 EG_ROOK_HALF_OPEN_FILE;
  i32 OP_ROOK_OPEN_FILE;
  i32 EG_ROOK_OPEN_FILE;
  i32 OP_ROOK_FILE_ATT_KING_1;
  i32 OP_ROOK_FILE_ATT_KING_2;
  i32 OP_PAWNS_BEHIND_ROOK_PENALTY;
  i32 TRAPPED_PENALTY_1;
  i32 TRAPPED_PENALTY_2;
  i32 BLOCKED_PENALTY;

  i32 knightOutpost[2][64];  // [colour][board square], signed for the colour

  i32 ROOK_ON_8TH;
  i32 QUEEN_ON_8TH;
  i32 CONNECTED_ROOKS;
  i32 EG_KING_ZONE_PENALTY;
  i32 ATTACKED_PIECE_BONUS;
  i32 ATTACKED_PAWN_BONUS;

  i32 pieceSquareBase[PieceSquareTableCount][64];  // indexed by PieceSquareTable
};

// The named weights before knightOutpost are 323 consecutive i32 without gaps,
// the shelter and storm groups adjacent as the pawn code expects.
static_assert(offsetof(EvalWeights, knightOutpost) - offsetof(EvalWeights, EG_DOUBLED_PAWN_PENALTY) ==
              323 * sizeof(i32));
static_assert(offsetof(EvalWeights, CENTRAL_SHELTER) ==
              offsetof(EvalWeights, INNER_SIDE_SHELTER) + 4 * sizeof(i32));
static_assert(offsetof(EvalWeights, OUTER_SIDE_SHELTER) ==
              offsetof(EvalWeights, CENTRAL_SHELTER) + 4 * sizeof(i32));
static_assert(offsetof(EvalWeights, CENTRAL_STORM) ==
              offsetof(EvalWeights, INNER_SIDE_STORM) + 5 * sizeof(i32));
static_assert(offsetof(EvalWeights, OUTER_SIDE_STORM) ==
              offsetof(EvalWeights, CENTRAL_STORM) + 5 * sizeof(i32));
static_assert(sizeof(EvalWeights::pieceSquareBase) == 13 * 64 * sizeof(i32));
static_assert(sizeof(EvalWeights::knightOutpost) == 2 * 64 * sizeof(i32));
