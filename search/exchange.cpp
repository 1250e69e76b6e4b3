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

// The square being fought over as the exchange sees it: the occupancy and
// every unit attacking the square, both updated as captures remove units.
struct Exchange {
  const Position* pos;
  Occupancy occ;
  u64 attackers;
  u64 diagonalSliders;
  u64 straightSliders;
  int to;
  int mover;  // the colour of the unit that made the first capture
};

// The board after the move's unit has left its square (it now stands on `to`).
inline void StartExchange(Exchange* x, const Position* pos, Move move) {
  const int from = MoveFrom(move);
  x->pos = pos;
  x->to = MoveTo(move);
  x->mover = (pos->colours[White] & SquareMask[from]) ? White : Black;
  x->occ = {pos->occupied, pos->occupiedFiles, pos->occupiedDiagonals, pos->occupiedAntiDiagonals};
  Vacate(&x->occ, from);
  const u64* pieces = pos->pieces;
  const int to = x->to;
  x->diagonalSliders = pieces[Bishop] | pieces[Queen];
  x->straightSliders = pieces[Rook] | pieces[Queen];
  x->attackers = (PawnAttacks[Black][to] & pieces[Pawn] & pos->colours[White]) |
                 (PawnAttacks[White][to] & pieces[Pawn] & pos->colours[Black]) |
                 (KnightAttacks[to] & pieces[Knight]) | (KingAttacks[to] & pieces[King]) |
                 (DiagonalLines(&x->occ, to) & x->diagonalSliders) |
                 (StraightLines(&x->occ, to) & x->straightSliders);
  x->attackers &= x->occ.ranks;
}

// The value gained by the move's own capture, and the value of the unit it
// leaves on the square.
inline void FirstCapture(Move move, i32* gained, i32* onSquare) {
  *gained = ExchangeValue[MoveCaptured(move)];
  *onSquare = ExchangeValue[MovePiece(move)];
  if (move & MovePromotionFlag) {
    const i32 promoted = PromotionExchangeValue[MovePromotionIndex(move)];
    *gained += promoted - ExchangeValue[Pawn];
    *onSquare = promoted;
  }
}

// Takes on the square with the least valuable attacker of `side`, which must
// have one, and returns its type. Its departure may open a line to the square
// for a slider behind it.
inline int CaptureWithLeastValuable(Exchange* x, int side) {
  const u64* pieces = x->pos->pieces;
  const u64 own = x->attackers & x->pos->colours[side];
  int type = Pawn;
  while (!(own & pieces[type])) ++type;
  Vacate(&x->occ, BitScan(own & pieces[type]));
  if (type == Pawn || type == Bishop || type == Queen)
    x->attackers |= DiagonalLines(&x->occ, x->to) & x->diagonalSliders;
  if (type == Rook || type == Queen) x->attackers |= StraightLines(&x->occ, x->to) & x->straightSliders;
  x->attackers &= x->occ.ranks;
  return type;
}

inline bool HasAttacker(const Exchange* x, int side) { return (x->attackers & x->pos->colours[side]) != 0; }

// Longest possible sequence: one capture per other occupied square, plus the
// entry that marks an illegal king capture.
constexpr int MaxExchangeDepth = 66;

}  // namespace

// Material balance of the exchange on the move's destination, mover's view.
i32 StaticExchange(const Position* pos, Move move) {
  i32 gain[MaxExchangeDepth];
  i32 onSquare;
  FirstCapture(move, &gain[0], &onSquare);
  Exchange x;
  StartExchange(&x, pos, move);

  int side = x.mover ^ 1;
  if (!HasAttacker(&x, side)) return gain[0];

  int d = 1;
  for (;;) {
    const int type = CaptureWithLeastValuable(&x, side);
    gain[d] = onSquare - gain[d - 1];
    onSquare = ExchangeValue[type];
    ++d;
    side ^= 1;

    const bool replies = HasAttacker(&x, side);
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

// Whether StaticExchange(pos, move) >= threshold, settled as soon as one side
// can stop with the outcome in its favour whatever follows.
bool ExchangeAtLeast(const Position* pos, Move move, i32 threshold) {
  i32 balance, onSquare;  // the mover's balance so far; the unit standing on the square
  FirstCapture(move, &balance, &onSquare);
  Exchange x;
  StartExchange(&x, pos, move);
  const int mover = x.mover;

  for (int side = mover ^ 1;; side ^= 1) {
    if (side != mover) {
      // The opponent may stop here; the mover may stop after a recapture.
      if (balance < threshold) return false;
      if (balance - onSquare >= threshold) return true;
    } else {
      if (balance >= threshold) return true;
      if (balance + onSquare < threshold) return false;
    }
    // Undecided: the side to capture must, and can only when it has an
    // attacker (a king only when the square is not defended any more).
    if (!HasAttacker(&x, side)) return side != mover;
    const int type = CaptureWithLeastValuable(&x, side);
    if (type == King && HasAttacker(&x, side ^ 1)) return side != mover;
    balance += side == mover ? onSquare : -onSquare;
    onSquare = ExchangeValue[type];
  }
}
