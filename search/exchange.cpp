// Static exchange evaluation: the material outcome of the capture sequence on a
// move's destination, worked out on the bitboards without making any move.
#include <algorithm>

#include "search/search.h"

namespace {

// Occupancy in the four orientations the sliding lookups need.
struct Occupancy {
  u64 ranks;
  u64 files;
  u64 diagonals;
  u64 antiDiagonals;
};

// Removes a square from all four orientations.
inline void Vacate(Occupancy* occ, int square) {
  occ->ranks &= ~SquareMask[square];
  occ->files &= ~SquareMaskFiles[square];
  occ->diagonals &= ~SquareMaskDiag[square];
  occ->antiDiagonals &= ~SquareMaskAnti[square];
}

// Squares reached from `square` along its two diagonals.
inline u64 DiagonalLines(const Occupancy* occ, int square) {
  return DiagAttacksFrom(occ->diagonals, square) | AntiDiagAttacksFrom(occ->antiDiagonals, square);
}

// Squares reached from `square` along its rank and file.
inline u64 StraightLines(const Occupancy* occ, int square) {
  return RankAttacksFrom(occ->ranks, square) | FileAttacksFrom(occ->files, square);
}

// Longest possible sequence: one capture per other occupied square, plus the
// entry that marks an illegal king capture.
constexpr int MaxExchangeDepth = 66;

}  // namespace

// Material balance of the exchange on the move's destination, mover's view.
i32 StaticExchange(const Position* pos, Move move) {
  const int from = MoveFrom(move);
  const int to = MoveTo(move);
  i32 gain[MaxExchangeDepth];

  gain[0] = ExchangeValue[MoveCaptured(move)];
  i32 onSquare = ExchangeValue[MovePiece(move)];
  if (move & MovePromotionFlag) {
    const i32 promoted = PromotionExchangeValue[MovePromotionIndex(move)];
    gain[0] += promoted - ExchangeValue[Pawn];
    onSquare = promoted;
  }

  Occupancy occ = {pos->occupied, pos->occupiedFiles, pos->occupiedDiagonals, pos->occupiedAntiDiagonals};
  Vacate(&occ, from);

  const u64* pieces = pos->pieces;
  const u64 diagonalSliders = pieces[Bishop] | pieces[Queen];
  const u64 straightSliders = pieces[Rook] | pieces[Queen];
  u64 attackers = (PawnAttacks[Black][to] & pieces[Pawn] & pos->colours[White]) |
                  (PawnAttacks[White][to] & pieces[Pawn] & pos->colours[Black]) |
                  (KnightAttacks[to] & pieces[Knight]) | (KingAttacks[to] & pieces[King]) |
                  (DiagonalLines(&occ, to) & diagonalSliders) | (StraightLines(&occ, to) & straightSliders);
  attackers &= occ.ranks;

  int side = (pos->colours[White] & SquareMask[from]) ? Black : White;
  if (!(attackers & pos->colours[side])) return gain[0];

  int d = 1;
  for (;;) {
    // The least valuable attacker of the side to recapture.
    const u64 own = attackers & pos->colours[side];
    int type = Pawn;
    while (!(own & pieces[type])) ++type;
    const int square = BitScan(own & pieces[type]);

    // Its departure may open a line to the square for a slider behind it.
    Vacate(&occ, square);
    if (type == Pawn || type == Bishop || type == Queen)
      attackers |= DiagonalLines(&occ, to) & diagonalSliders;
    if (type == Rook || type == Queen) attackers |= StraightLines(&occ, to) & straightSliders;
    attackers &= occ.ranks;

    gain[d] = onSquare - gain[d - 1];
    onSquare = ExchangeValue[type];
    ++d;
    side ^= 1;

    const bool replies = (attackers & pos->colours[side]) != 0;
    if (type == King) {
      // A king may not take on a square the other side still attacks.
      if (replies) gain[d++] = ExchangeValue[King];
      break;
    }
    if (!replies) break;
  }

  // Either side may stop capturing when going on would cost it.
  while (--d > 0) gain[d - 1] = std::min(gain[d - 1], -gain[d]);
  return gain[0];
}
