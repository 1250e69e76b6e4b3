// Helpers shared by the staged generators and the full legal generator. Only
// board/*.cpp include this file; other folders use board/board.h.
#pragma once

#include "board/board.h"

namespace gen {

constexpr u64 FileA = FileAMask;
constexpr u64 FileH = FileAMask << 7;
constexpr u64 Rank1 = Rank1Mask;
constexpr u64 Rank2 = Rank1Mask << 8;
constexpr u64 Rank7 = Rank1Mask << 48;
constexpr u64 Rank8 = Rank1Mask << 56;

constexpr Move CastleKingSide[2] = {0x106184, 0x106FBC};
constexpr Move CastleQueenSide[2] = {0x106084, 0x106EBC};
constexpr u64 PromotionRank[2] = {Rank8, Rank1};
constexpr u64 SeventhRank[2] = {Rank7, Rank2};
constexpr u64 SecondRank[2] = {Rank2, Rank7};

// One step forward for pawns of `side`.
inline u64 Forward(u64 b, int side) { return side == White ? b << 8 : b >> 8; }
inline int ForwardDelta(int side) { return side == White ? 8 : -8; }

// Pawn captures whose to-square differs by 7 (White towards the a-file, Black
// towards the h-file) and by 9 (the other diagonal); no wrap across the board edge.
inline u64 Capture7(u64 pawns, int side) {
  return side == White ? (pawns & ~FileA) << 7 : (pawns & ~FileH) >> 7;
}
inline u64 Capture9(u64 pawns, int side) {
  return side == White ? (pawns & ~FileH) << 9 : (pawns & ~FileA) >> 9;
}
inline int Delta7(int side) { return side == White ? 7 : -7; }
inline int Delta9(int side) { return side == White ? 9 : -9; }

// Square a pawn of the side to move lands on when capturing en passant.
inline int EnPassantTarget(const Position* pos) {
  return pos->side == White ? 39 + pos->epFile : 15 + pos->epFile;
}
// Square of the pawn that an en-passant capture removes.
inline int EnPassantVictim(const Position* pos) {
  return pos->side == White ? 31 + pos->epFile : 23 + pos->epFile;
}

// Appends from->to as four promotions, Queen, Knight, Rook, Bishop.
inline void AddPromotions(MoveList* list, int from, int to, int captured) {
  const Move m = MakeMoveWord(from, to, Pawn, captured) | MovePromotionFlag;
  AddMove(list, m);
  AddMove(list, m | 1u << 22);
  AddMove(list, m | 2u << 22);
  AddMove(list, m | 3u << 22);
}

// Appends from->t for every t of `targets`, ascending, with the mailbox types.
inline void AddPieceMoves(const Position* pos, MoveList* list, int from, u64 targets) {
  const Move base = Move(from) | Move(pos->board[from]) << 12;
  for (; targets; targets &= targets - 1) {
    const int to = BitScan(targets);
    AddMove(list, base | Move(to) << 6 | Move(pos->board[to]) << 15);
  }
}

// The squares of `steps` that colour `them` does not attack, with the current
// occupancy. Pawns, knights and the king cover their squares for all steps at
// once; the slider lookups run only for the steps left, and only where such a
// slider stands on one of the step's empty-board lines.
inline u64 SafeKingSteps(const Position* pos, u64 steps, int them) {
  if (!steps) return 0;
  const u64 enemy = pos->colours[them];
  const u64 pawns = pos->pieces[Pawn] & enemy;
  u64 covered = Capture7(pawns, them) | Capture9(pawns, them) | KingAttacks[pos->kingSquare[them]];
  for (u64 n = pos->pieces[Knight] & enemy; n; n &= n - 1) covered |= KnightAttacks[BitScan(n)];
  steps &= ~covered;
  const u64 queens = pos->pieces[Queen];
  const u64 diag = (pos->pieces[Bishop] | queens) & enemy;
  const u64 orth = (pos->pieces[Rook] | queens) & enemy;
  for (u64 t = steps; t; t &= t - 1) {
    const int s = BitScan(t);
    if (((BishopEmpty[s] & diag) && (BishopAttacksFrom(pos, s) & diag)) ||
        ((RookEmpty[s] & orth) && (RookAttacksFrom(pos, s) & orth)))
      steps &= ~SquareMask[s];
  }
  return steps;
}

// Whether capturing en passant from `from` leaves the own king free of slider
// attacks. Two pawns leave the capturing pawn's rank at once, which no pin mask
// describes; the test covers every line through the king, so it also settles
// the capturing pawn's own pins.
inline bool EnPassantKeepsKingSafe(const Position* pos, int from, int to, int victim) {
  const int us = pos->side, k = pos->kingSquare[us];
  const u64 enemy = pos->colours[us ^ 1] & ~SquareMask[victim];
  const u64 orth = (pos->pieces[Rook] | pos->pieces[Queen]) & enemy;
  const u64 diag = (pos->pieces[Bishop] | pos->pieces[Queen]) & enemy;
  if (orth) {
    const u64 occ = pos->occupied ^ SquareMask[from] ^ SquareMask[victim] ^ SquareMask[to];
    const u64 files =
        pos->occupiedFiles ^ SquareMaskFiles[from] ^ SquareMaskFiles[victim] ^ SquareMaskFiles[to];
    if ((RankAttacksFrom(occ, k) | FileAttacksFrom(files, k)) & orth) return false;
  }
  if (diag) {
    const u64 d = pos->occupiedDiagonals ^ SquareMaskDiag[from] ^ SquareMaskDiag[victim] ^ SquareMaskDiag[to];
    const u64 a =
        pos->occupiedAntiDiagonals ^ SquareMaskAnti[from] ^ SquareMaskAnti[victim] ^ SquareMaskAnti[to];
    if ((DiagAttacksFrom(d, k) | AntiDiagAttacksFrom(a, k)) & diag) return false;
  }
  return true;
}

// Whether castling on one wing is allowed now, the king's own square aside
// (callers castle only out of check). Besides the right, the king and rook must
// stand at home: a FEN may claim rights that its placement contradicts.
inline bool CastlingAllowed(const Position* pos, bool kingSide) {
  const int us = pos->side, them = us ^ 1;
  const int home = us == White ? 4 : 60;
  const u64 own = pos->colours[us];
  if (pos->kingSquare[us] != home) return false;
  if (kingSide) {
    if (!(pos->castling & (1 << us))) return false;
    if (pos->occupied & (SquareMask[home + 1] | SquareMask[home + 2])) return false;
    if (!(pos->pieces[Rook] & own & SquareMask[home + 3])) return false;
    return !IsAttacked(pos, them, home + 1) && !IsAttacked(pos, them, home + 2);
  }
  if (!(pos->castling & (4 << us))) return false;
  if (pos->occupied & (SquareMask[home - 1] | SquareMask[home - 2] | SquareMask[home - 3])) return false;
  if (!(pos->pieces[Rook] & own & SquareMask[home - 4])) return false;
  return !IsAttacked(pos, them, home - 2) && !IsAttacked(pos, them, home - 1);
}

}  // namespace gen
