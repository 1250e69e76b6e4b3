// The full legal move list in one self-contained pass, the validity test for
// moves taken from the hash table or killer slots, and the passed-pawn-push test.
#include "board/board.h"
#include "board/movegen_internal.h"

using namespace gen;

namespace {

// The four lines through a square, in the order pins are looked for.
enum LineKind { LineDiag, LineAnti, LineRank, LineFile };

// Attacks along one line from square s with the position's occupancy.
inline u64 LineAttacks(const Position* pos, int kind, int s) {
  switch (kind) {
    case LineDiag:
      return DiagAttacksFrom(pos->occupiedDiagonals, s);
    case LineAnti:
      return AntiDiagAttacksFrom(pos->occupiedAntiDiagonals, s);
    case LineRank:
      return RankAttacksFrom(pos->occupied, s);
    default:
      return FileAttacksFrom(pos->occupiedFiles, s);
  }
}

// Appends the moves of the pawns in `pawns` onto `targets`: captures by 7,
// captures by 9, single pushes (promotions as Queen, Knight, Rook, Bishop),
// then double pushes.
inline void AddPawnMoves(const Position* pos, MoveList* list, u64 pawns, u64 targets) {
  const int us = pos->side, d = ForwardDelta(us);
  const u64 victims = pos->colours[us ^ 1] & targets;
  const u64 empty = ~pos->occupied;
  const u64 last = PromotionRank[us];
  for (u64 t = Capture7(pawns, us) & victims; t; t &= t - 1) {
    const int to = BitScan(t);
    if (SquareMask[to] & last)
      AddPromotions(list, to - Delta7(us), to, pos->board[to]);
    else
      AddMove(list, MakeMoveWord(to - Delta7(us), to, Pawn, pos->board[to]));
  }
  for (u64 t = Capture9(pawns, us) & victims; t; t &= t - 1) {
    const int to = BitScan(t);
    if (SquareMask[to] & last)
      AddPromotions(list, to - Delta9(us), to, pos->board[to]);
    else
      AddMove(list, MakeMoveWord(to - Delta9(us), to, Pawn, pos->board[to]));
  }
  const u64 single = Forward(pawns, us) & empty;
  for (u64 t = single & targets; t; t &= t - 1) {
    const int to = BitScan(t);
    if (SquareMask[to] & last)
      AddPromotions(list, to - d, to, Empty);
    else
      AddMove(list, MakeMoveWord(to - d, to, Pawn, Empty));
  }
  for (u64 t = Forward(single & Forward(SecondRank[us], us), us) & empty & targets; t; t &= t - 1) {
    const int to = BitScan(t);
    AddMove(list, MakeMoveWord(to - 2 * d, to, Pawn, Empty) | MoveDoublePushFlag);
  }
}

// Moves of a piece on `p` pinned along line `kind` by the slider on `pinner`.
inline void AddPinnedMoves(const Position* pos, MoveList* list, int kind, int p, int pinner) {
  const int us = pos->side, k = pos->kingSquare[us];
  const int type = pos->board[p];
  const bool diagonal = kind == LineDiag || kind == LineAnti;
  if (type == Queen || type == (diagonal ? Bishop : Rook)) {
    AddPieceMoves(pos, list, p, (Between[k][pinner] | SquareMask[pinner]) & ~SquareMask[p]);
    return;
  }
  if (type != Pawn || kind == LineRank) return;
  if (kind == LineFile) {
    const int d = ForwardDelta(us);
    const u64 one = Forward(SquareMask[p], us) & ~pos->occupied;
    if (!one) return;
    if (one & PromotionRank[us]) {
      AddPromotions(list, p, p + d, Empty);
      return;
    }
    AddMove(list, MakeMoveWord(p, p + d, Pawn, Empty));
    if ((SquareMask[p] & SecondRank[us]) && (Forward(one, us) & ~pos->occupied))
      AddMove(list, MakeMoveWord(p, p + 2 * d, Pawn, Empty) | MoveDoublePushFlag);
    return;
  }
  // A pawn pinned on a diagonal may only capture along it: the pinner itself,
  // or en passant onto a target square of the pin line.
  const u64 step = PawnAttacks[us][p] & Line[k][p];
  if (step & SquareMask[pinner]) {
    if (step & PromotionRank[us])
      AddPromotions(list, p, pinner, pos->board[pinner]);
    else
      AddMove(list, MakeMoveWord(p, pinner, Pawn, pos->board[pinner]));
  } else if (pos->epFile && (step & SquareMask[EnPassantTarget(pos)])) {
    GenEnPassant(pos, list, step, SquareMask[p]);
  }
}

}  // namespace

// Every legal move of the side to move, found without help from outside:
// pinned pieces first (along their pin lines), then castling, en passant,
// knights, bishops, rooks, queens, pawns and the king.
void GenerateLegal(const Position* pos, MoveList* list) {
  const int us = pos->side, them = us ^ 1, k = pos->kingSquare[us];
  const u64 own = pos->colours[us], enemy = pos->colours[them];
  const u64 enemyDiag = (pos->pieces[Bishop] | pos->pieces[Queen]) & enemy;
  const u64 enemyOrth = (pos->pieces[Rook] | pos->pieces[Queen]) & enemy;
  const int start = list->count;

  // 1. Checks, line by line; the king may not step along a checking slider's line.
  u64 checkers = KnightAttacks[k] & pos->pieces[Knight] & enemy;
  int checkCount = checkers != 0;
  const u64 pawnChecker = PawnAttacks[us][k] & pos->pieces[Pawn] & enemy;
  checkCount += pawnChecker != 0;
  checkers |= pawnChecker;
  const bool pushedPawnChecks =
      pawnChecker && pos->epFile && (pawnChecker & SquareMask[EnPassantVictim(pos)]);
  u64 lineAttacks[4];
  u64 kingAvoid = 0;
  for (int kind = LineDiag; kind <= LineFile; ++kind) {
    lineAttacks[kind] = LineAttacks(pos, kind, k);
    const u64 c = lineAttacks[kind] & (kind <= LineAnti ? enemyDiag : enemyOrth);
    if (c) {
      checkers |= c;
      ++checkCount;
    }
    // A FEN may put a checker on each side of the king on one line; the
    // king must keep off the line of both.
    for (u64 rest = c; rest; rest &= rest - 1) {
      const int s = BitScan(rest);
      kingAvoid |= Between[k][s] | BeyondKing[k][s];
    }
  }

  // Two checkers of one group (a FEN no game reaches) make a double check too.
  if (checkCount == 1 && (checkers & (checkers - 1))) checkCount = 2;

  // 2. Pins, diagonals first, then the rank and the file: the pinned pieces move
  // along their lines at once.
  u64 pinned = 0;
  for (int kind = LineDiag; kind <= LineFile; ++kind) {
    const u64 sliders = kind <= LineAnti ? enemyDiag : enemyOrth;
    const u64 emptyLine = kind <= LineAnti ? BishopEmpty[k] : RookEmpty[k];
    if (!(sliders & emptyLine)) continue;
    for (u64 c = lineAttacks[kind] & own; c; c &= c - 1) {
      const int p = BitScan(c);
      const u64 pinner = LineAttacks(pos, kind, p) & sliders;
      if (!pinner) continue;
      pinned |= SquareMask[p];
      AddPinnedMoves(pos, list, kind, p, BitScan(pinner));
    }
  }

  // 3. In check, pinned pieces cannot help; in double check only the king moves.
  if (checkCount < 2) {
    u64 targets = ~own;
    const u64 free = own & ~pinned;
    if (checkCount) {
      list->count = start;
      targets = checkers | Between[k][BitScan(checkers)];
      // 4. En passant helps only by taking the pawn that has just pushed.
      if (pushedPawnChecks) GenEnPassant(pos, list, ~0ull, free);
    } else {
      if (pos->castling & (5 << us)) {
        if (CastlingAllowed(pos, true)) AddMove(list, CastleKingSide[us]);
        if (CastlingAllowed(pos, false)) AddMove(list, CastleQueenSide[us]);
      }
      // 4. En passant by pawns free to move.
      GenEnPassant(pos, list, ~0ull, free);
    }

    // 5. Knights, bishops, rooks, queens, each piece ascending.
    for (u64 n = pos->pieces[Knight] & free; n; n &= n - 1) {
      const int p = BitScan(n);
      AddPieceMoves(pos, list, p, KnightAttacks[p] & targets);
    }
    for (u64 b = pos->pieces[Bishop] & free; b; b &= b - 1) {
      const int p = BitScan(b);
      AddPieceMoves(pos, list, p, BishopAttacksFrom(pos, p) & targets);
    }
    for (u64 r = pos->pieces[Rook] & free; r; r &= r - 1) {
      const int p = BitScan(r);
      AddPieceMoves(pos, list, p, RookAttacksFrom(pos, p) & targets);
    }
    for (u64 q = pos->pieces[Queen] & free; q; q &= q - 1) {
      const int p = BitScan(q);
      AddPieceMoves(pos, list, p, QueenAttacksFrom(pos, p) & targets);
    }

    // 6. Pawns.
    AddPawnMoves(pos, list, pos->pieces[Pawn] & free, targets);
  } else {
    list->count = start;
  }

  // 7. King steps.
  const Move base = Move(k) | Move(King) << 12;
  for (u64 t = SafeKingSteps(pos, KingAttacks[k] & ~own & ~kingAvoid, them); t; t &= t - 1) {
    const int to = BitScan(t);
    AddMove(list, base | Move(to) << 6 | Move(pos->board[to]) << 15);
  }
}

// Whether a move taken from the hash table or a killer slot is legal now. The
// side to move must not be in check; the pin masks are those of this node. The
// move came from some generator, so the geometry of a knight or king step
// needs no test.
bool IsMoveValid(const Position* pos, Move move, u64 pinsOrth, u64 pinsDiag) {
  const int us = pos->side;
  const int from = MoveFrom(move), to = MoveTo(move), type = MovePiece(move);
  const u64 own = pos->colours[us];
  const u64 fromMask = SquareMask[from], toMask = SquareMask[to];
  // Words 0 and 1 have type Empty, and no piece of that type exists.
  if (!(pos->pieces[type] & own & fromMask)) return false;

  if (move & MoveEnPassantFlag) {
    if (type != Pawn || pos->epFile == 0 || to != EnPassantTarget(pos)) return false;
    if (!(PawnAttacks[us ^ 1][to] & fromMask)) return false;
    const int victim = EnPassantVictim(pos);
    if (!(pos->pieces[Pawn] & pos->colours[us ^ 1] & SquareMask[victim]) || (pos->occupied & toMask))
      return false;
    if (fromMask & pinsOrth) return false;
    if ((fromMask & pinsDiag) && !(toMask & pinsDiag)) return false;
    return EnPassantKeepsKingSafe(pos, from, to, victim);
  }

  if (move & MoveCastleFlag) {
    if (type != King) return false;
    if (move == CastleKingSide[us]) return CastlingAllowed(pos, true);
    if (move == CastleQueenSide[us]) return CastlingAllowed(pos, false);
    return false;
  }

  if (own & toMask) return false;
  const int captured = MoveCaptured(move);
  if (captured != pos->board[to]) return false;
  // With the captured type matching the board, a capture finds an enemy piece
  // on the to-square and a non-capture an empty one.
  const u64 pinned = pinsOrth | pinsDiag;

  switch (type) {
    case Knight:
      return !(fromMask & pinned);
    case Bishop:
      if (!(BishopAttacksFrom(pos, from) & toMask) || (fromMask & pinsOrth)) return false;
      return !(fromMask & pinsDiag) || (toMask & pinsDiag);
    case Rook:
      if (!(RookAttacksFrom(pos, from) & toMask) || (fromMask & pinsDiag)) return false;
      return !(fromMask & pinsOrth) || (toMask & pinsOrth);
    case Queen:
      if (!(QueenAttacksFrom(pos, from) & toMask)) return false;
      return !(fromMask & pinned) || (Line[from][to] & SquareMask[pos->kingSquare[us]]);
    case Pawn: {
      if (us == White ? to <= from : to >= from) return false;
      if (!captured) {
        const int d = ForwardDelta(us);
        if (pos->occupied & SquareMask[from + d]) return false;
        if ((move & MoveDoublePushFlag) && (pos->occupied & toMask)) return false;
      }
      if ((fromMask & pinsOrth) && !(toMask & pinsOrth)) return false;
      return !(fromMask & pinsDiag) || (toMask & pinsDiag);
    }
    case King: {
      // The attack test with the king lifted off the board.
      const int them = us ^ 1;
      const u64 enemy = pos->colours[them];
      if (PawnAttacks[us][to] & pos->pieces[Pawn] & enemy) return false;
      if (KnightAttacks[to] & pos->pieces[Knight] & enemy) return false;
      if (KingAttacks[to] & pos->pieces[King] & enemy) return false;
      const u64 diag = (pos->pieces[Bishop] | pos->pieces[Queen]) & enemy;
      const u64 orth = (pos->pieces[Rook] | pos->pieces[Queen]) & enemy;
      const u64 occ = pos->occupied ^ fromMask;
      const u64 files = pos->occupiedFiles ^ SquareMaskFiles[from];
      const u64 d = pos->occupiedDiagonals ^ SquareMaskDiag[from];
      const u64 a = pos->occupiedAntiDiagonals ^ SquareMaskAnti[from];
      if ((DiagAttacksFrom(d, to) | AntiDiagAttacksFrom(a, to)) & diag) return false;
      return !((RankAttacksFrom(occ, to) | FileAttacksFrom(files, to)) & orth);
    }
    default:
      return false;
  }
}

// Whether a pawn move lands where no enemy pawn can stop it and no own pawn
// stands ahead on its file (asked before the move is made).
bool IsPassedPawnPush(const Position* pos, Move move) {
  if (MovePiece(move) != Pawn) return false;
  const int us = pos->side, to = MoveTo(move);
  if (PassedMask[us][to] & pos->pieces[Pawn] & pos->colours[us ^ 1]) return false;
  return !(RanksAhead[us][RankOf(to)] & FileMask[FileOf(to)] & pos->pieces[Pawn] & pos->colours[us]);
}

// The legal move that a token names. The first four characters give the
// squares; a fifth character from "qnrb", in either case, names a promotion
// piece, and any other fifth character (a blank, the end of the text) names
// none. A promotion matches only its own letter, so "e7e8" names no move:
// guessing a piece would replay a game other than the one the interface meant.
Move FindLegalMove(const Position* pos, const char* token) {
  if (!token) return NoMove;
  for (int i = 0; i < 4; ++i) {
    const char c = token[i];
    const bool ok = (i % 2 == 0) ? (c >= 'a' && c <= 'h') : (c >= '1' && c <= '8');
    if (!ok) return NoMove;
  }
  const int from = (token[0] - 'a') + 8 * (token[1] - '1');
  const int to = (token[2] - 'a') + 8 * (token[3] - '1');
  int promotion = -1;
  switch (token[4] >= 'A' && token[4] <= 'Z' ? token[4] - 'A' + 'a' : token[4]) {
    case 'q':
      promotion = 0;
      break;
    case 'n':
      promotion = 1;
      break;
    case 'r':
      promotion = 2;
      break;
    case 'b':
      promotion = 3;
      break;
    default:
      break;
  }
  MoveList list;
  list.count = 0;
  GenerateLegal(pos, &list);
  for (int i = 0; i < list.count; ++i) {
    const Move m = list.move[i];
    if (MoveFrom(m) != from || MoveTo(m) != to) continue;
    const int index = (m & MovePromotionFlag) ? MovePromotionIndex(m) : -1;
    if (index == promotion) return m;
  }
  return NoMove;
}
