// The extension rules: the child depth of each move, before any reduction.
#pragma once

#include "search/search.h"
#include "search/state.h"

// GivesCheck's part for promotions, castling and en passant.
bool SpecialMoveGivesCheck(const Position* pos, Move move);

// Whether the move, once made, leaves the opponent's king attacked; the rays
// of DiscoveredRays and the squares of DirectCheckSquares for this position.
inline bool GivesCheck(const Position* pos, Move move, u64 discOrth, u64 discDiag, const u64* checkSquares) {
  const int from = MoveFrom(move);
  const int to = MoveTo(move);
  const int king = pos->kingSquare[pos->side ^ 1];

  // Discovered: the mover was the only piece between the king and an own slider,
  // and it leaves that line.
  if (((discOrth | discDiag) & SquareMask[from]) && !(Line[king][from] & SquareMask[to])) return true;

  // A plain move checks directly when it lands on one of its type's check
  // squares. The square it leaves cannot open its own line to the king: it
  // would lie between the king and the destination, and the mover would
  // then have been checking the king already, or been blocked there too.
  if (!(move & (MovePromotionFlag | MoveCastleFlag | MoveEnPassantFlag)))
    return (checkSquares[MovePiece(move)] & SquareMask[to]) != 0;
  return SpecialMoveGivesCheck(pos, move);
}

// Knight and bishop moves, and king moves that take no piece, are never
// critical: a cheap test that spares most moves the full one.
inline bool MayBeCritical(Move move) {
  const int piece = MovePiece(move);
  return piece != Knight && piece != Bishop && (piece != King || MoveCaptured(move) >= Knight);
}

// Child depth before reductions: one ply less, plus the first extension that
// applies. Inline: the move loop asks for every move, and as a call the
// arguments and saved registers cost more than most of the rules.
inline __attribute__((always_inline)) f32 NewDepth(const EngineState* engine, const Position* pos, f32 depth,
                                                   int ply, Move move, bool pvNode, bool inCheck,
                                                   const MovePicker* picker) {
  const f32 next = DepthMinusOne(depth);

  if (inCheck && picker->evasionCount == 1)
    return next + (pvNode ? Constants.extSingleReplyPv : Constants.extSingleReply);

  if (GivesCheck(pos, move, picker->discOrth, picker->discDiag, picker->checkSquares)) {
    if (!pvNode && !ExchangeAtLeast(pos, move, Constants.losingCheckExchange))
      return next + Constants.extCheckLosing;
    return next + Constants.extCheck;
  }

  if (MovePiece(move) == Pawn && RelativeRank(pos->side, MoveTo(move)) >= 5 && IsPassedPawnPush(pos, move))
    return next + (pvNode ? Constants.extPassedPawnPv : Constants.extPassedPawn);

  // Taking back on the square of the previous capture, for the same material.
  const int captured = MoveCaptured(move);
  if (captured != Empty && ply > 0) {
    const Move previous = engine->plies[ply - 1].currentMove;
    if (MoveTo(previous) == MoveTo(move) && ExchangeValue[MoveCaptured(previous)] == ExchangeValue[captured])
      return next + (pvNode ? Constants.extRecapturePv : Constants.extRecapture);
  }

  if (MayBeCritical(move) && IsCriticalMove(pos, move))
    return next + (pvNode ? Constants.extCriticalPv : Constants.extCritical);
  return next;
}
