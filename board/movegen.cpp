// Staged legal move generation: the building blocks and the four stages the
// move picker calls. Pins and king safety are settled here, so every move that
// comes out may be made without a legality test. The order of the moves within
// each stage is fixed: the picker's tie-breaking depends on it.
#include "board/board.h"
#include "board/movegen_internal.h"

using namespace gen;

// Rook-direction moves (rooks and queens) of the own pieces in `from` onto `targets`.
void GenRookLike(const Position* pos, MoveList* list, u64 targets, u64 from) {
  u64 sliders = (pos->pieces[Rook] | pos->pieces[Queen]) & pos->colours[pos->side] & from;
  for (; sliders; sliders &= sliders - 1) {
    const int p = BitScan(sliders);
    // No target on its lines at all (common for captures): no lookup needed.
    if (RookEmpty[p] & targets) AddPieceMoves(pos, list, p, RookAttacksFrom(pos, p) & targets);
  }
}

// Bishop-direction moves (bishops and queens) of the own pieces in `from` onto `targets`.
void GenBishopLike(const Position* pos, MoveList* list, u64 targets, u64 from) {
  u64 sliders = (pos->pieces[Bishop] | pos->pieces[Queen]) & pos->colours[pos->side] & from;
  for (; sliders; sliders &= sliders - 1) {
    const int p = BitScan(sliders);
    if (BishopEmpty[p] & targets) AddPieceMoves(pos, list, p, BishopAttacksFrom(pos, p) & targets);
  }
}

// King steps onto `targets` that the enemy does not attack (the king still
// counted as a blocker: exact out of check, the evasion stage removes the rest).
void GenKing(const Position* pos, MoveList* list, u64 targets) {
  const int us = pos->side, k = pos->kingSquare[us];
  const Move base = Move(k) | Move(King) << 12;
  for (u64 t = SafeKingSteps(pos, KingAttacks[k] & targets, us ^ 1); t; t &= t - 1) {
    const int to = BitScan(t);
    AddMove(list, base | Move(to) << 6 | Move(pos->board[to]) << 15);
  }
}

// Non-promoting pawn captures onto `targets` by the own pawns in `from`: the
// by-7 diagonal first, then the by-9 one, each ascending.
void GenPawnCaptures(const Position* pos, MoveList* list, u64 targets, u64 from) {
  const int us = pos->side;
  const u64 pawns = pos->pieces[Pawn] & pos->colours[us] & from;
  const u64 allowed = targets & pos->colours[us ^ 1] & ~PromotionRank[us];
  for (u64 t = Capture7(pawns, us) & allowed; t; t &= t - 1) {
    const int to = BitScan(t);
    AddMove(list, MakeMoveWord(to - Delta7(us), to, Pawn, pos->board[to]));
  }
  for (u64 t = Capture9(pawns, us) & allowed; t; t &= t - 1) {
    const int to = BitScan(t);
    AddMove(list, MakeMoveWord(to - Delta9(us), to, Pawn, pos->board[to]));
  }
}

// Every promotion of the own pawns in `from`: captures by 7, captures by 9,
// then pushes, each onto `targets` only.
void GenPromotions(const Position* pos, MoveList* list, u64 targets, u64 from) {
  const int us = pos->side;
  const u64 pawns = pos->pieces[Pawn] & pos->colours[us] & from & SeventhRank[us];
  if (!pawns) return;
  const u64 victims = targets & pos->colours[us ^ 1];
  for (u64 t = Capture7(pawns, us) & victims; t; t &= t - 1) {
    const int to = BitScan(t);
    AddPromotions(list, to - Delta7(us), to, pos->board[to]);
  }
  for (u64 t = Capture9(pawns, us) & victims; t; t &= t - 1) {
    const int to = BitScan(t);
    AddPromotions(list, to - Delta9(us), to, pos->board[to]);
  }
  for (u64 t = Forward(pawns, us) & targets & ~pos->occupied; t; t &= t - 1) {
    const int to = BitScan(t);
    AddPromotions(list, to - ForwardDelta(us), to, Empty);
  }
}

// Non-promoting single pushes onto `targets`, then double pushes whose
// passed-over square is empty and whose to-square is in `targets`.
void GenPawnPushes(const Position* pos, MoveList* list, u64 targets, u64 from) {
  const int us = pos->side, d = ForwardDelta(us);
  const u64 pawns = pos->pieces[Pawn] & pos->colours[us] & from;
  const u64 empty = ~pos->occupied;
  for (u64 t = Forward(pawns, us) & targets & empty & ~PromotionRank[us]; t; t &= t - 1) {
    const int to = BitScan(t);
    AddMove(list, MakeMoveWord(to - d, to, Pawn, Empty));
  }
  const u64 passed = Forward(pawns & SecondRank[us], us) & empty;
  for (u64 t = Forward(passed, us) & targets & empty; t; t &= t - 1) {
    const int to = BitScan(t);
    AddMove(list, MakeMoveWord(to - 2 * d, to, Pawn, Empty) | MoveDoublePushFlag);
  }
}

// En-passant captures by the own pawns in `from`, when the target square is in
// `targets` and the capture does not expose the own king.
void GenEnPassant(const Position* pos, MoveList* list, u64 targets, u64 from) {
  if (pos->epFile == 0) return;
  const int us = pos->side;
  const int target = EnPassantTarget(pos), victim = EnPassantVictim(pos);
  if (!(targets & SquareMask[target])) return;
  // Guard against an en-passant file that no double push explains.
  if (!(pos->pieces[Pawn] & pos->colours[us ^ 1] & SquareMask[victim]) ||
      (pos->occupied & SquareMask[target]))
    return;
  for (u64 p = PawnAttacks[us ^ 1][target] & pos->pieces[Pawn] & pos->colours[us] & from; p; p &= p - 1) {
    const int sq = BitScan(p);
    if (EnPassantKeepsKingSafe(pos, sq, target, victim))
      AddMove(list, MakeMoveWord(sq, target, Pawn, Pawn) | MoveEnPassantFlag);
  }
}

// Castling, king side first; only called when the side to move is not in check.
void GenCastling(const Position* pos, MoveList* list) {
  const int us = pos->side;
  if (!(pos->castling & (5 << us))) return;
  if (CastlingAllowed(pos, true)) AddMove(list, CastleKingSide[us]);
  if (CastlingAllowed(pos, false)) AddMove(list, CastleQueenSide[us]);
}

// Appends the moves of the own knights in `from` onto `targets`.
static void GenKnights(const Position* pos, MoveList* list, u64 targets, u64 from) {
  for (u64 n = pos->pieces[Knight] & pos->colours[pos->side] & from; n; n &= n - 1) {
    const int p = BitScan(n);
    AddPieceMoves(pos, list, p, KnightAttacks[p] & targets);
  }
}

// Capture stage, not in check: captures of pieces in `targets` and every promotion.
void GenCaptures(const Position* pos, MoveList* list, u64 pinsOrth, u64 pinsDiag, u64 targets) {
  const int us = pos->side;
  const u64 own = pos->colours[us];
  const u64 victims = pos->colours[us ^ 1] & targets;
  const u64 unpinned = own & ~(pinsOrth | pinsDiag);
  const u64 pawns = pos->pieces[Pawn] & own;
  const bool pawnVictim = (pos->pieces[Pawn] & targets) != 0;

  // Most nodes have no promotion or en passant: those generators are not
  // even called then.
  GenKing(pos, list, victims);
  GenPawnCaptures(pos, list, victims, unpinned);
  if (pawns & SeventhRank[us]) GenPromotions(pos, list, ~0ull, unpinned);
  if (pawnVictim && pos->epFile != 0) GenEnPassant(pos, list, ~0ull, unpinned);
  if (pawns & pinsDiag) {
    const u64 pinnedPawns = pawns & pinsDiag;
    GenPawnCaptures(pos, list, victims & pinsDiag, pinnedPawns);
    GenPromotions(pos, list, victims & pinsDiag, pinnedPawns);
    if (pawnVictim) GenEnPassant(pos, list, pinsDiag, pinnedPawns);
  }
  GenKnights(pos, list, victims, unpinned);
  GenBishopLike(pos, list, victims, unpinned);
  GenRookLike(pos, list, victims, unpinned);
  if (pinsDiag) GenBishopLike(pos, list, victims & pinsDiag, own & pinsDiag);
  if (pinsOrth) GenRookLike(pos, list, victims & pinsOrth, own & pinsOrth);
}

// Quiet stage, not in check: non-captures without promotions, castling included.
void GenQuiets(const Position* pos, MoveList* list, u64 pinsOrth, u64 pinsDiag) {
  const int us = pos->side;
  const u64 own = pos->colours[us];
  const u64 empty = ~pos->occupied;
  const u64 unpinned = own & ~(pinsOrth | pinsDiag);

  GenKing(pos, list, empty);
  GenCastling(pos, list);
  GenPawnPushes(pos, list, empty, unpinned);
  // A pawn pinned along its file keeps its pushes.
  if (pos->pieces[Pawn] & own & pinsOrth)
    GenPawnPushes(pos, list, empty & pinsOrth, pos->pieces[Pawn] & own & pinsOrth);
  GenKnights(pos, list, empty, unpinned);
  GenBishopLike(pos, list, empty, unpinned);
  GenRookLike(pos, list, empty, unpinned);
  if (pinsDiag) GenBishopLike(pos, list, empty & pinsDiag, own & pinsDiag);
  if (pinsOrth) GenRookLike(pos, list, empty & pinsOrth, own & pinsOrth);
}

// Evasion stage: every legal move when in check. A pinned piece never moves
// here, since no move of it can resolve a check.
void GenEvasions(const Position* pos, MoveList* list, u64 pinsOrth, u64 pinsDiag, u64 checkers,
                 int checkCount) {
  const int us = pos->side, k = pos->kingSquare[us];
  const u64 own = pos->colours[us];

  // The king may not step along a checking slider's line, towards it or away
  // from it (the attack test still sees the king as a blocker).
  u64 kingTargets = ~own;
  for (u64 c = checkers & ~(pos->pieces[Pawn] | pos->pieces[Knight]); c; c &= c - 1) {
    const int s = BitScan(c);
    kingTargets &= ~(Between[k][s] | BeyondKing[k][s]);
  }
  GenKing(pos, list, kingTargets);
  if (checkCount != 1) return;

  const u64 block =
      (checkers & (pos->pieces[Pawn] | pos->pieces[Knight])) ? 0 : Between[k][BitScan(checkers)];
  const u64 targets = block | checkers;
  const u64 unpinned = own & ~(pinsOrth | pinsDiag);

  GenPawnPushes(pos, list, block, unpinned);
  GenPawnCaptures(pos, list, checkers, unpinned);
  GenPromotions(pos, list, targets, unpinned);
  // En passant resolves the check only when the checker is the pawn that has
  // just made its double push: its passed-over square is then the target.
  u64 behind = Forward(checkers, us) & (us == White ? Rank1Mask << 40 : Rank1Mask << 16);
  behind &= AdjacentFileMask[FileOf(k)];
  GenEnPassant(pos, list, behind, unpinned);

  GenKnights(pos, list, targets, unpinned);
  GenBishopLike(pos, list, targets, unpinned);
  GenRookLike(pos, list, targets, unpinned);
}

// Quiet checks, not in check: non-captures that give check directly, by
// discovery, or by the castling rook. Only the common discovered checks are
// looked for: a bishop or rook blocking a line of its own kind, and queens
// blocking a line, cannot occur with the enemy king not in check.
void GenQuietChecks(const Position* pos, MoveList* list, u64 pinsOrth, u64 pinsDiag) {
  const int us = pos->side, them = us ^ 1;
  const int e = pos->kingSquare[them];
  const u64 own = pos->colours[us];
  const u64 empty = ~pos->occupied;
  const u64 pinned = pinsOrth | pinsDiag;
  const u64 unpinned = own & ~pinned;
  u64 discOrth, discDiag;
  DiscoveredRays(pos, &discOrth, &discDiag);
  const u64 disc = discOrth | discDiag;
  const u64 pawns = pos->pieces[Pawn] & own;
  const u64 pawnCheckSquares = PawnAttacks[them][e] & empty;
  const u64 bishopCheckSquares = BishopAttacksFrom(pos, e) & empty;
  const u64 rookCheckSquares = RookAttacksFrom(pos, e) & empty;

  // 1. The king steps off a line it blocks.
  if (disc & SquareMask[pos->kingSquare[us]]) GenKing(pos, list, empty & ~disc);

  // 2-4. Pawn pushes: direct checks, then discovered ones, then pinned pawns.
  GenPawnPushes(pos, list, pawnCheckSquares, unpinned);
  if (pawns & unpinned & disc) {
    GenPawnPushes(pos, list, empty & ~discOrth, pawns & unpinned & discOrth);
    GenPawnPushes(pos, list, empty & ~discDiag, pawns & unpinned & discDiag);
  }
  if (pawns & pinsOrth) {
    GenPawnPushes(pos, list, pawnCheckSquares & pinsOrth, pawns & pinsOrth);
    if (pawns & pinsOrth & disc) GenPawnPushes(pos, list, empty & ~disc & pinsOrth, pawns & pinsOrth & disc);
  }

  // 5-6. Direct checks by knights and sliders that neither are pinned nor uncover a check.
  const u64 plain = unpinned & ~disc;
  GenKnights(pos, list, KnightAttacks[e] & empty, plain);
  GenBishopLike(pos, list, bishopCheckSquares, plain);
  GenRookLike(pos, list, rookCheckSquares, plain);

  // 7-8. Queens reaching the king's rank or file diagonally, or its diagonals straight.
  const u64 queens = pos->pieces[Queen] & own;
  if (queens & unpinned) {
    GenBishopLike(pos, list, rookCheckSquares, queens & unpinned);
    GenRookLike(pos, list, bishopCheckSquares, queens & unpinned);
  }
  if (queens & pinsDiag) GenBishopLike(pos, list, rookCheckSquares & pinsDiag, queens & pinsDiag);
  if (queens & pinsOrth) GenRookLike(pos, list, bishopCheckSquares & pinsOrth, queens & pinsOrth);

  // 9. Pinned sliders moving along their pin line: direct checks, then discovered ones.
  if (pinsDiag) {
    GenBishopLike(pos, list, bishopCheckSquares & pinsDiag, own & pinsDiag & ~disc);
    GenBishopLike(pos, list, empty & pinsDiag, own & pinsDiag & discOrth);
  }
  if (pinsOrth) {
    GenRookLike(pos, list, rookCheckSquares & pinsOrth, own & pinsOrth & ~disc);
    GenRookLike(pos, list, empty & pinsOrth, own & pinsOrth & discDiag);
  }

  // 10-11. Discovered checks by bishops and rooks leaving the other kind's line, and by knights.
  GenBishopLike(pos, list, empty, unpinned & pos->pieces[Bishop] & discOrth);
  GenRookLike(pos, list, empty, unpinned & pos->pieces[Rook] & discDiag);
  GenKnights(pos, list, empty, unpinned & disc);

  // 12. Castling whose rook checks: at most one castling move.
  if (!(pos->castling & (5 << us))) return;
  const int home = us == White ? 4 : 60;
  const u64 fileFromKing = FileAttacksFrom(pos->occupiedFiles, e);
  if ((fileFromKing & SquareMask[home + 1]) || (RankAttacksFrom(pos->occupied, e) & SquareMask[home])) {
    if (CastlingAllowed(pos, true)) AddMove(list, CastleKingSide[us]);
  } else if ((fileFromKing & SquareMask[home - 1]) && CastlingAllowed(pos, false)) {
    AddMove(list, CastleQueenSide[us]);
  }
}
