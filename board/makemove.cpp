// Playing and taking back moves with every incremental field kept exact: the
// bitboards are toggled and the mailbox rewritten from the move word, the scalar
// fields come back from the undo record.
#include <cassert>
#include <cstring>

#include "board/board.h"

namespace {

// Toggles s in the three rotated occupancy words.
inline void ToggleRotated(Position* pos, int s) {
  pos->occupiedFiles ^= SquareMaskFiles[s];
  pos->occupiedAntiDiagonals ^= SquareMaskAnti[s];
  pos->occupiedDiagonals ^= SquareMaskDiag[s];
}

// The rook's squares of a castling move, from the king's destination.
inline int CastleRookFrom(int kingFrom, int kingTo) { return kingTo > kingFrom ? kingTo + 1 : kingTo - 2; }
inline int CastleRookTo(int kingFrom, int kingTo) { return (kingFrom + kingTo) >> 1; }

}  // namespace

// Plays a move consistent with the position; always true.
bool MakeMove(Position* pos, Move move, UndoRecord* undo) {
  assert(pos->historyCount < HistorySize);
  const int from = MoveFrom(move), to = MoveTo(move), type = MovePiece(move);
  const int cap = (move >> 15) & 15;  // 9 for en passant
  const int us = pos->side, them = us ^ 1;

  std::memcpy(undo, pos, UndoStateBytes);

  pos->fifty = type == Pawn || (move & 0x38000) ? 0 : u8(pos->fifty + (pos->fifty < 255));
  pos->history[pos->historyCount++] = pos->key;

  u64 key = pos->key ^ ZobristSide;
  const u8 rights = pos->castling & CastleMask[to] & CastleMask[from];
  key ^= ZobristCastle[pos->castling ^ rights];
  pos->castling = rights;
  key ^= ZobristEnPassant[pos->epFile];  // entry 0 is zero
  pos->epFile = 0;

  key ^= ZobristPiece[us][type][from];
  i32 opening = pos->pstOpening - PieceSquareValue[us][type][from].opening;
  i32 endgame = pos->pstEndgame - PieceSquareValue[us][type][from].endgame;

  int placed = type;
  if (move & MovePromotionFlag) {
    placed = PROMOTION_PIECES[MovePromotionIndex(move)];
    pos->pieces[Pawn] ^= SquareMask[from];
    pos->pieces[placed] ^= SquareMask[to];
    pos->pawnKey ^= ZobristPawn[us][from];
    pos->materialIndex += PromotionIndexDelta(us, placed);
    pos->material += PromotionValueDelta(us, placed);
  } else {
    pos->pieces[type] ^= SquareMask[from] | SquareMask[to];
    if (type == Pawn) {
      pos->pawnKey ^= ZobristPawn[us][from] ^ ZobristPawn[us][to];
      // Record the file only when an enemy pawn stands beside the pushed pawn;
      // a pawn on the passed-over square would attack exactly those two squares.
      if ((move & MoveDoublePushFlag) &&
          (PawnAttacks[us][(from + to) >> 1] & pos->pieces[Pawn] & pos->colours[them])) {
        pos->epFile = u8(FileOf(to) + 1);
        key ^= ZobristEnPassant[pos->epFile];
      }
    } else if (type == King) {
      pos->kingSquare[us] = u8(to);
      if (move & MoveCastleFlag) {
        const int rookFrom = CastleRookFrom(from, to), rookTo = CastleRookTo(from, to);
        const u64 both = SquareMask[rookFrom] | SquareMask[rookTo];
        pos->board[rookFrom] = Empty;
        pos->board[rookTo] = Rook;
        pos->pieces[Rook] ^= both;
        pos->colours[us] ^= both;
        ToggleRotated(pos, rookFrom);
        ToggleRotated(pos, rookTo);
        key ^= ZobristPiece[us][Rook][rookFrom] ^ ZobristPiece[us][Rook][rookTo];
        opening += PieceSquareValue[us][Rook][rookTo].opening - PieceSquareValue[us][Rook][rookFrom].opening;
        endgame += PieceSquareValue[us][Rook][rookTo].endgame - PieceSquareValue[us][Rook][rookFrom].endgame;
      }
    }
  }
  pos->board[to] = u8(placed);
  key ^= ZobristPiece[us][placed][to];
  opening += PieceSquareValue[us][placed][to].opening;
  endgame += PieceSquareValue[us][placed][to].endgame;

  if (cap == 0) {
    ToggleRotated(pos, to);
  } else {
    // En passant takes the pawn beside the from-square, on the to-square's file.
    const int at = cap == 9 ? to ^ 8 : to;
    const int victim = cap & 7;
    if (cap == 9) {
      pos->board[at] = Empty;
      ToggleRotated(pos, at);
      ToggleRotated(pos, to);
    }
    pos->pieces[victim] ^= SquareMask[at];
    pos->colours[them] ^= SquareMask[at];
    key ^= ZobristPiece[them][victim][at];
    if (victim == Pawn) pos->pawnKey ^= ZobristPawn[them][at];
    pos->materialIndex -= MaterialIndexWeight[them][victim];
    pos->material -= PieceValue[them][victim];
    opening -= PieceSquareValue[them][victim][at].opening;
    endgame -= PieceSquareValue[them][victim][at].endgame;
  }

  pos->colours[us] ^= SquareMask[from] | SquareMask[to];
  pos->board[from] = Empty;
  pos->occupied = pos->colours[White] | pos->colours[Black];
  ToggleRotated(pos, from);
  pos->side = u8(them);
  pos->key = key;
  pos->pstOpening = opening;
  pos->pstEndgame = endgame;
  // Only a promotion can push a count past its digit, and only a capture can
  // bring it back; both are rare enough to recount then.
  if ((move & MovePromotionFlag) || (pos->materialOverflow && cap != 0))
    pos->materialOverflow = ExceedsMaterialDigits(pos) ? 1 : 0;
  return true;
}

bool ExceedsMaterialDigits(const Position* pos) {
  for (int colour = White; colour <= Black; ++colour)
    for (int type = Pawn; type <= Queen; ++type)
      if (PopCount(pos->pieces[type] & pos->colours[colour]) > MaterialDigitMax[type]) return true;
  return false;
}

// Takes back the move that filled `undo`; always true.
bool UnmakeMove(Position* pos, Move move, const UndoRecord* undo) {
  const int from = MoveFrom(move), to = MoveTo(move), type = MovePiece(move);
  const int cap = (move >> 15) & 15;
  const int us = undo->side, them = us ^ 1;

  std::memcpy(pos, undo, UndoStateBytes);

  const int placed = move & MovePromotionFlag ? PROMOTION_PIECES[MovePromotionIndex(move)] : type;
  pos->pieces[type] ^= SquareMask[from];
  pos->pieces[placed] ^= SquareMask[to];
  pos->board[from] = u8(type);
  if (move & MoveCastleFlag) {
    const int rookFrom = CastleRookFrom(from, to), rookTo = CastleRookTo(from, to);
    const u64 both = SquareMask[rookFrom] | SquareMask[rookTo];
    pos->board[rookTo] = Empty;
    pos->board[rookFrom] = Rook;
    pos->pieces[Rook] ^= both;
    pos->colours[us] ^= both;
    ToggleRotated(pos, rookFrom);
    ToggleRotated(pos, rookTo);
  }

  if (cap == 0) {
    ToggleRotated(pos, to);
    pos->board[to] = Empty;
  } else if (cap == 9) {
    const int at = to ^ 8;
    pos->board[at] = Pawn;
    pos->board[to] = Empty;
    pos->pieces[Pawn] ^= SquareMask[at];
    pos->colours[them] ^= SquareMask[at];
    ToggleRotated(pos, at);
    ToggleRotated(pos, to);
  } else {
    pos->pieces[cap] ^= SquareMask[to];
    pos->colours[them] ^= SquareMask[to];
    pos->board[to] = u8(cap);
  }

  pos->colours[us] ^= SquareMask[from] | SquareMask[to];
  pos->occupied = pos->colours[White] | pos->colours[Black];
  ToggleRotated(pos, from);
  return true;
}

// Passes the turn; no piece moves.
void MakeNullMove(Position* pos, UndoRecord* undo) {
  assert(pos->historyCount < HistorySize);
  undo->epFile = pos->epFile;
  undo->historyCount = pos->historyCount;
  undo->fifty = pos->fifty;
  undo->side = pos->side;
  undo->key = pos->key;
  pos->fifty = 0;
  pos->history[pos->historyCount++] = pos->key;
  pos->side ^= 1;
  pos->key ^= ZobristSide ^ ZobristEnPassant[pos->epFile];
  pos->epFile = 0;
}

// Takes back a null move.
void UnmakeNullMove(Position* pos, const UndoRecord* undo) {
  pos->epFile = undo->epFile;
  pos->historyCount = undo->historyCount;
  pos->fifty = undo->fifty;
  pos->side = undo->side;
  pos->key = undo->key;
}

// Drops the history entries the repetition test can no longer reach once the
// array is close to full, so a game of any length leaves room for a search.
void TrimHistory(Position* pos) {
  if (pos->historyCount <= HistorySize - 128) return;
  const u32 keep = pos->fifty < pos->historyCount ? pos->fifty : pos->historyCount;
  std::memmove(pos->history, pos->history + (pos->historyCount - keep), keep * sizeof(u64));
  pos->historyCount = keep;
}
