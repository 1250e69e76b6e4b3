// Endings with one bishop a side on squares of different colours: drawish
// even with a pawn or two more, the more so when the defender's king and
// bishop hold the squares in front of the attacker's pawns.
#include "eval/context.h"
#include "eval/pawns.h"

namespace {

// The given pawns of colour c pushed one square (the last rank never holds pawns).
inline u64 PushedOnce(u64 pawns, int c) { return c == White ? pawns << 8 : pawns >> 8; }

// Squares in front of c's pawns in `set` that hold no pawn of the set,
// ignoring the pawns on `kingFile` (already blocked by the defending king).
inline u64 StopSquares(u64 set, int c, u64 kingFile) {
  set &= ~kingFile;
  return PushedOnce(set, c) & ~set;
}

}  // namespace

void OppositeBishopsAdjust(EvalContext* ctx) {
  const Position* pos = ctx->pos;
  const u64 pawns = pos->pieces[Pawn];
  const u64 bishops = pos->pieces[Bishop];
  const u64 whiteBishop = bishops & pos->colours[White];
  const u64 blackBishop = bishops & pos->colours[Black];
  // Promoted material can make the index name this ending wrongly; only a
  // true bishop each is judged.
  if (!whiteBishop || (whiteBishop & (whiteBishop - 1)) || !blackBishop || (blackBishop & (blackBishop - 1)))
    return;

  // 1. Drawish by nature unless one side is three pawns up.
  const int nWhite = PopCount(pawns & pos->colours[White]);
  const int nBlack = PopCount(pawns & pos->colours[Black]);
  if (nWhite - nBlack < 3 && nBlack - nWhite < 3) {
    ctx->opening = 3 * ctx->opening / 5;
    ctx->endgame = 3 * ctx->endgame / 5;
  }

  // 2. The side with fewer pawns defends; Black on equal counts.
  const int d = nWhite < nBlack ? White : Black;
  const int a = d ^ 1;
  const int bishopSquare = BitScan(d == White ? whiteBishop : blackBishop);
  const int kingSquare = pos->kingSquare[d];

  // 3. King and bishop on squares of different colours do not work together.
  const bool bishopLight = LightSquares & SquareMask[bishopSquare];
  const bool kingLight = LightSquares & SquareMask[kingSquare];
  if (bishopLight != kingLight) return;

  const u64 defenderPawns = pawns & pos->colours[d];
  const u64 attackerPawns = pawns & pos->colours[a];
  const u64 attackerPassers = ctx->pawnEntry->passed & attackerPawns;
  const u64 held =
      (BishopAttacksFrom(pos, bishopSquare) | SquareMask[bishopSquare]) & KingAttacks[kingSquare];
  const u64 kingFile = FrontSpan[d][kingSquare];
  u64 control[2] = {ctx->pieceAttacks[White] | ctx->pawnAttacks[White],
                    ctx->pieceAttacks[Black] | ctx->pawnAttacks[Black]};

  if (!defenderPawns) {
    // 4. A bare defender holding every path is a dead draw.
    if (!(StopSquares(attackerPawns, a, kingFile) & ~held)) {
      ctx->opening = ctx->endgame = 0;
      ctx->materialCorrection = 0;
    }
  } else {
    // 5. Defended pawns, not too few of them, and the passers stopped.
    const int nDefender = d == White ? nWhite : nBlack;
    const int nAttacker = d == White ? nBlack : nWhite;
    const bool pawnsCovered = !(defenderPawns & ~control[d]);
    if (pawnsCovered && nDefender >= PopCount(attackerPawns & ~attackerPassers) && nDefender <= nAttacker &&
        !(StopSquares(attackerPassers, a, kingFile) & ~held)) {
      ctx->opening /= 5;
      ctx->endgame /= 5;
    }
  }

  // 6. Kings and bishops take part in the control.
  for (int c = White; c <= Black; ++c) {
    const int king = pos->kingSquare[c];
    control[c] |= (bishops & pos->colours[c]) | SquareMask[king] | KingAttacks[king];
  }

  // 7. Every passer's next square held by the defender alone.
  const u64 ahead = PushedOnce(attackerPassers, a);
  if (!(ahead & ~(control[d] & ~control[a]))) {
    ctx->opening /= 2;
    ctx->endgame /= 2;
  }
}
