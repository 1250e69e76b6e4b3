// The move tests the extension rules rest on (checking moves and critical
// moves), all answered without making the move; the rules themselves, which
// the move loop inlines, are in search/extensions.h.
#include "search/search.h"
#include "search/state.h"

namespace {

// Files a-d form the queen's wing, e-h the king's.
inline bool OnQueenWing(int square) { return FileOf(square) <= 3; }

// Whether a slider of the given type on `from` attacks `target` over `occupied`.
inline bool SliderReaches(int type, int from, int target, u64 occupied) {
  u64 lines = 0;
  if (type == Bishop || type == Queen) lines |= BishopEmpty[from];
  if (type == Rook || type == Queen) lines |= RookEmpty[from];
  return (lines & SquareMask[target]) && !(Between[from][target] & occupied);
}

}  // namespace

// The direct check of a promotion, castling or en passant, and the line an
// en-passant capture opens; GivesCheck has looked for the discovered check.
bool SpecialMoveGivesCheck(const Position* pos, Move move) {
  const int us = pos->side;
  const int from = MoveFrom(move);
  const int to = MoveTo(move);
  const int king = pos->kingSquare[us ^ 1];
  const u64 occupied = pos->occupied & ~SquareMask[from];
  int type = MovePiece(move);
  if (move & MovePromotionFlag) type = PROMOTION_PIECES[MovePromotionIndex(move)];
  switch (type) {
    case Pawn:
      if (PawnAttacks[us][to] & SquareMask[king]) return true;
      break;
    case Knight:
      return (KnightAttacks[to] & SquareMask[king]) != 0;
    case Bishop:
    case Rook:
    case Queen:
      return SliderReaches(type, to, king, occupied);
    case King:
      if (move & MoveCastleFlag) {
        // The rook lands beside the king's destination, towards the centre.
        // Only a check along the enemy king's file is looked for.
        const int rook = to > from ? to - 1 : to + 1;
        return FileOf(rook) == FileOf(king) && !(Between[rook][king] & pos->occupied);
      }
      return false;
    default:
      return false;
  }

  // En passant empties two squares of the fifth rank (fourth for Black) at once,
  // which may open a line no single-blocker mask knows about.
  if (move & MoveEnPassantFlag) {
    const int captured = us == White ? to - 8 : to + 8;
    const u64 after = (occupied & ~SquareMask[captured]) | SquareMask[to];
    const u64* pieces = pos->pieces;
    u64 sliders = ((BishopEmpty[king] & (pieces[Bishop] | pieces[Queen])) |
                   (RookEmpty[king] & (pieces[Rook] | pieces[Queen]))) &
                  pos->colours[us];
    while (sliders) {
      const int s = PopLowest(&sliders);
      if (!(Between[king][s] & after)) return true;
    }
  }
  return false;
}

// Whether a move is critical: it simplifies into a pawn ending or a queen-only
// middlegame with an exposed own king, storms a king on the other wing, or
// doubles heavy pieces on a file next to the enemy king.
bool IsCriticalMove(const Position* pos, Move move) {
  const int us = pos->side;
  const int them = us ^ 1;
  const int from = MoveFrom(move);
  const int to = MoveTo(move);
  const int type = pos->board[from];
  const int captured = MoveCaptured(move);
  const u64* pieces = pos->pieces;
  const u64 elsewhere = ~SquareMask[to];

  if ((type == Pawn || type == Queen || type == King) && captured >= Knight) {
    const u64 minorsAndRooks = pieces[Knight] | pieces[Bishop] | pieces[Rook];
    if (!((minorsAndRooks | pieces[Queen]) & elsewhere)) return true;
    if (!(minorsAndRooks & elsewhere) && (pieces[Queen] & pos->colours[them] & elsewhere)) {
      const int ownKing = pos->kingSquare[us];
      if (PopCount(QueenAttacksFrom(pos, ownKing)) >= 10) return true;
    }
  }

  if (type == Pawn) {
    if (OnQueenWing(pos->kingSquare[White]) == OnQueenWing(pos->kingSquare[Black])) return false;
    if (RelativeRank(us, to) < 4) return false;
    if (!(PawnAttacks[us][to] & pos->colours[them])) return false;
    if (!pieces[Queen] || !pieces[Rook]) return false;
    const int enemyKing = pos->kingSquare[them];
    if (FileOf(to) <= 2 && FileOf(enemyKing) <= 3) return ExchangeAtLeast(pos, move, 0);
    if (FileOf(to) < 5 || FileOf(enemyKing) < 4) return false;
    return ExchangeAtLeast(pos, move, 0);
  }

  if (type == Rook || type == Queen) {
    const u64 file = FileMask[FileOf(to)];
    const u64 ownHalf = us == White ? 0x00000000FFFFFFFFull : 0xFFFFFFFF00000000ull;
    const u64 partners = (pieces[Rook] | pieces[Queen]) & pos->colours[us] & ~SquareMask[from];
    if (!(partners & file & ownHalf)) return false;
    if (FileOf(from) == FileOf(to)) return false;
    if ((pieces[Pawn] | pieces[Knight] | pieces[Bishop]) & file) return false;
    const int kingFile = FileOf(pos->kingSquare[them]);
    if (kingFile < FileOf(to) - 1 || kingFile > FileOf(to) + 1) return false;
    return ExchangeAtLeast(pos, move, 0);
  }

  return false;
}
