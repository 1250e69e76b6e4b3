// Basic chess vocabulary shared by every layer above base/: squares, colours,
// piece types and the 32-bit move word (the integer widths are base/types.h).
#pragma once

#include "base/types.h"

// Squares run a1 = 0, b1 = 1, ... h8 = 63; bit n of a bitboard is square n.
constexpr int FileOf(int square) { return square & 7; }
constexpr int RankOf(int square) { return square >> 3; }
constexpr int MakeSquare(int file, int rank) { return rank * 8 + file; }

enum Colour : int { White = 0, Black = 1 };

// Rank of a square counted from the colour's own side: 0 is its first rank.
constexpr int RelativeRank(int colour, int square) {
  return colour == White ? RankOf(square) : 7 - RankOf(square);
}

// Piece types; a piece's colour is never stored with its type.
enum PieceType : int { Empty = 0, Pawn = 1, Knight = 2, Bishop = 3, Rook = 4, Queen = 5, King = 6 };

// Castling-rights bits: king side of colour c is 1 << c, queen side 4 << c.
constexpr int CastleWhiteKing = 1, CastleBlackKing = 2, CastleWhiteQueen = 4, CastleBlackQueen = 8;

// Move word (u32):
//   bits  0- 5  from-square
//   bits  6-11  to-square (for castling the king's destination)
//   bits 12-14  moving piece type (Pawn for a promotion)
//   bits 15-17  captured piece type, 0 for a non-capture (Pawn for en passant)
//   bit  18     en passant (0x40000)
//   bit  19     double pawn push (0x80000)
//   bit  20     castling (0x100000)
//   bit  21     promotion (0x200000)
//   bits 22-23  promotion index: 0 Queen, 1 Knight, 2 Rook, 3 Bishop
//   bits 24-31  zero
// Words 0 (NullMove) and 1 (NoMove) are never generated; any value below 2 means "no move".
using Move = u32;
constexpr Move NullMove = 0;
constexpr Move NoMove = 1;

constexpr u32 MoveEnPassantFlag = 0x40000;
constexpr u32 MoveDoublePushFlag = 0x80000;
constexpr u32 MoveCastleFlag = 0x100000;
constexpr u32 MovePromotionFlag = 0x200000;
constexpr u32 MoveTacticalMask = 0x238000;  // any capture or promotion

constexpr int MoveFrom(Move m) { return m & 63; }
constexpr int MoveTo(Move m) { return (m >> 6) & 63; }
constexpr int MovePiece(Move m) { return (m >> 12) & 7; }
constexpr int MoveCaptured(Move m) { return (m >> 15) & 7; }
constexpr int MovePromotionIndex(Move m) { return (m >> 22) & 3; }
constexpr bool IsTactical(Move m) { return (m & MoveTacticalMask) != 0; }
constexpr Move MakeMoveWord(int from, int to, int piece, int captured) {
  return Move(from) | Move(to) << 6 | Move(piece) << 12 | Move(captured) << 15;
}

// Promotion index -> piece type; the move-text letters "qnrb" follow the same order.
constexpr int PROMOTION_PIECES[4] = {Queen, Knight, Rook, Bishop};

constexpr int MaxMoves = 256;      // capacity of a MoveList
constexpr int HistorySize = 1024;  // earlier keys kept in a Position

static_assert(sizeof(Move) == 4);
