// Check, pin and discovered-check information of a node, computed once and
// handed to every generator stage of that node.
#include "board/board.h"

// Counts the groups giving check (knights, pawns, and each of the four lines
// through the king separately) and returns the checking pieces through
// *checkers, and the side to move's pin rays as PinRays gives them: one pass
// over the enemy sliders on the king's lines finds both, a slider with nothing
// between it and the king checking, one with a lone own piece between pinning.
// In positions that legal play reaches, the count is the number of checkers.
int CheckersAndPins(const Position* pos, u64* checkers, u64* pinsOrth, u64* pinsDiag) {
  const int us = pos->side, k = pos->kingSquare[us];
  const u64 own = pos->colours[us];
  const u64 enemy = pos->colours[us ^ 1];
  const u64 occ = pos->occupied;
  const u64 knights = KnightAttacks[k] & pos->pieces[Knight] & enemy;
  const u64 pawns = PawnAttacks[us][k] & pos->pieces[Pawn] & enemy;
  u64 diagCheckers = 0, orthCheckers = 0, orthRays = 0, diagRays = 0;
  auto walk = [&](u64 sliders, u64* checking, u64* rays) {
    for (; sliders; sliders &= sliders - 1) {
      const int sq = BitScan(sliders);
      const u64 blockers = Between[k][sq] & occ;
      if (!blockers)
        *checking |= SquareMask[sq];
      else if (!(blockers & (blockers - 1)) && (blockers & own))
        *rays |= Between[k][sq] | SquareMask[sq];
    }
  };
  walk(BishopEmpty[k] & (pos->pieces[Bishop] | pos->pieces[Queen]) & enemy, &diagCheckers, &diagRays);
  walk(RookEmpty[k] & (pos->pieces[Rook] | pos->pieces[Queen]) & enemy, &orthCheckers, &orthRays);
  *pinsOrth = orthRays;
  *pinsDiag = diagRays;
  *checkers = knights | pawns | diagCheckers | orthCheckers;
  int groups = (knights != 0) + (pawns != 0);
  if (diagCheckers | orthCheckers) {
    // The empty-board attacks of each line through the king tell the lines apart.
    groups += ((diagCheckers & DiagAttacks[k][0]) != 0) + ((diagCheckers & AntiDiagAttacks[k][0]) != 0) +
              ((orthCheckers & RankAttacks[k][0]) != 0) + ((orthCheckers & FileAttacks[k][0]) != 0);
  }
  // Two knights or two pawns checking at once come only from a FEN no game
  // reaches; counting them as two keeps the evasions to king moves there.
  return groups == 1 && (*checkers & (*checkers - 1)) ? 2 : groups;
}

// The checkers alone.
int Checkers(const Position* pos, u64* checkers) {
  u64 pinsOrth, pinsDiag;
  return CheckersAndPins(pos, checkers, &pinsOrth, &pinsDiag);
}

// Pin rays of colour `colour`'s king: for each enemy slider (outside
// `excluded`) with exactly one piece, an own one, between it and the king, the
// slider's square and the squares between.
void PinRaysFor(const Position* pos, int colour, u64 excluded, u64* pinsOrth, u64* pinsDiag) {
  const int k = pos->kingSquare[colour];
  const u64 own = pos->colours[colour];
  const u64 enemy = pos->colours[colour ^ 1] & ~excluded;
  const u64 occ = pos->occupied;
  u64 orthRays = 0, diagRays = 0;
  u64 snipers = BishopEmpty[k] & (pos->pieces[Bishop] | pos->pieces[Queen]) & enemy;
  for (; snipers; snipers &= snipers - 1) {
    const int s = BitScan(snipers);
    const u64 blockers = Between[k][s] & occ;
    if (blockers && !(blockers & (blockers - 1)) && (blockers & own))
      diagRays |= Between[k][s] | SquareMask[s];
  }
  snipers = RookEmpty[k] & (pos->pieces[Rook] | pos->pieces[Queen]) & enemy;
  for (; snipers; snipers &= snipers - 1) {
    const int s = BitScan(snipers);
    const u64 blockers = Between[k][s] & occ;
    if (blockers && !(blockers & (blockers - 1)) && (blockers & own))
      orthRays |= Between[k][s] | SquareMask[s];
  }
  *pinsOrth = orthRays;
  *pinsDiag = diagRays;
}

// Pin rays of the side to move.
void PinRays(const Position* pos, u64 excluded, u64* pinsOrth, u64* pinsDiag) {
  PinRaysFor(pos, pos->side, excluded, pinsOrth, pinsDiag);
}

// Lines from the enemy king to an own slider blocked by exactly one own piece:
// moving that piece off the line gives a discovered check.
void DiscoveredRays(const Position* pos, u64* discOrth, u64* discDiag) {
  const int us = pos->side, e = pos->kingSquare[us ^ 1];
  const u64 own = pos->colours[us];
  const u64 occ = pos->occupied;
  u64 orthRays = 0, diagRays = 0;
  u64 sliders = BishopEmpty[e] & (pos->pieces[Bishop] | pos->pieces[Queen]) & own;
  for (; sliders; sliders &= sliders - 1) {
    const int s = BitScan(sliders);
    const u64 blockers = Between[e][s] & occ;
    if (blockers && !(blockers & (blockers - 1)) && (blockers & own)) diagRays |= Between[e][s];
  }
  sliders = RookEmpty[e] & (pos->pieces[Rook] | pos->pieces[Queen]) & own;
  for (; sliders; sliders &= sliders - 1) {
    const int s = BitScan(sliders);
    const u64 blockers = Between[e][s] & occ;
    if (blockers && !(blockers & (blockers - 1)) && (blockers & own)) orthRays |= Between[e][s];
  }
  *discOrth = orthRays;
  *discDiag = diagRays;
}

void DirectCheckSquares(const Position* pos, u64 squares[King + 1]) {
  const int them = pos->side ^ 1, e = pos->kingSquare[them];
  const u64 diagonal = BishopAttacksFrom(pos, e), orthogonal = RookAttacksFrom(pos, e);
  squares[Empty] = 0;
  squares[Pawn] = PawnAttacks[them][e];
  squares[Knight] = KnightAttacks[e];
  squares[Bishop] = diagonal;
  squares[Rook] = orthogonal;
  squares[Queen] = diagonal | orthogonal;
  squares[King] = 0;
}
