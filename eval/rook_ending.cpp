// Single-rook endings: one rook a side, otherwise kings and pawns. They never
// reach the attack terms; this evaluator scores them from the first-stage sums
// with what matters in such endings: passed pawns against rooks and kings,
// rook activity, and how drawish the pawn layout is.
#include <cstdlib>

#include "eval/context.h"
#include "eval/eval.h"
#include "eval/weights.h"

namespace {

// Percentages of a passed pawn's worth by relative rank.
constexpr i32 RankProfile[8] = {0, 0, 0, 10, 30, 60, 100, 100};

constexpr u64 QueenSideFiles = 0x0F0F0F0F0F0F0F0Full;  // files a-d
constexpr u64 KingSideFiles = ~QueenSideFiles;         // files e-h
constexpr u64 RookFiles = FileAMask | FileAMask << 7;  // files a and h

// Chebyshev distance between two squares.
inline int Distance(int a, int b) {
  const int files = std::abs(FileOf(a) - FileOf(b));
  const int ranks = std::abs(RankOf(a) - RankOf(b));
  return files > ranks ? files : ranks;
}

// Whether file f lies strictly between files a and b.
inline bool StrictlyBetween(int f, int a, int b) { return (a < f && f < b) || (b < f && f < a); }

// A share of the rank profile, truncated toward zero.
inline i32 Share(int percent, int r) { return percent * RankProfile[r] / 100; }

}  // namespace

// The blended score of a single-rook ending from the first-stage sums.
i32 RookEndingScore(const EvalContext* ctx) {
  const Position* pos = ctx->pos;
  const EvalWeights* w = ctx->weights;
  i32 opening = ctx->opening;
  i32 endgame = ctx->endgame;

  const u64 pawns = pos->pieces[Pawn];
  const u64 whitePawns = pawns & pos->colours[White];
  const u64 blackPawns = pawns & pos->colours[Black];
  const u64 rooks[2] = {pos->pieces[Rook] & pos->colours[White], pos->pieces[Rook] & pos->colours[Black]};
  // The material class promises one rook each; without them there is nothing
  // rook-specific to say.
  if (rooks[White] == 0 || rooks[Black] == 0) return (4 * opening + 20 * endgame) / 24;

  // Layout 1: a single pawn on files a-d; layout 2: a single pawn on e-h.
  const int queenSidePawns = PopCount(pawns & QueenSideFiles);
  const int kingSidePawns = PopCount(pawns & KingSideFiles);
  const int layout = queenSidePawns == 1 ? 1 : kingSidePawns == 1 ? 2 : 3;
  const int layoutFactor = layout == 3 ? 30 : 40;

  int passerCount[2] = {0, 0};
  for (int c = White; c <= Black; ++c) {
    const int s = Sign[c];
    const int enemy = c ^ 1;
    const int rook = BitScan(rooks[c]);
    const int enemyRook = BitScan(rooks[enemy]);
    const int king = pos->kingSquare[c];
    const int enemyKing = pos->kingSquare[enemy];
    const u64 ownPassed = ctx->pawnEntry->passed & pos->colours[c];

    for (u64 rest = ownPassed; rest;) {
      const int q = PopLowest(&rest);
      ++passerCount[c];
      const int r = RelativeRank(c, q);
      const int file = FileOf(q);
      const int stop = c == White ? q + 8 : q - 8;
      const int promo = c == White ? MakeSquare(file, 7) : MakeSquare(file, 0);
      const u64 ahead = FrontSpan[c][q];
      const u64 behind = FrontSpan[enemy][q];

      // 1. A rook between the pawn and the enemy king cuts the king off.
      if (layout != 3) {
        if (StrictlyBetween(FileOf(rook), file, FileOf(enemyKing))) endgame += 20 * s;
        if (StrictlyBetween(FileOf(enemyRook), file, FileOf(king))) endgame -= 20 * s;
      }
      // 2. The enemy king shut in on its back rank.
      if (RelativeRank(c, enemyKing) == 7 && RelativeRank(c, rook) == 6) endgame += 20 * s;
      // 3. Passed pawns side by side or protecting each other.
      if (SupportMask[c][q] & ownPassed) {
        opening += s * w->OP_PASSED_CHAIN[r];
        endgame += s * w->EG_PASSED_CHAIN[r] + s * Share(30, r);
      }
      // 4, 5. A rook behind a passed pawn, own or enemy.
      if (behind & rooks[c]) endgame += s * Share(40, r);
      if (behind & rooks[enemy]) endgame -= s * Share(40, r);
      // 6. The rook beside its pawn on the seventh rank.
      if (r == 6 && RelativeRank(c, rook) == 6) endgame += 40 * s;
      // 7. The own king in the pawn's way.
      if (ahead & SquareMask[king]) endgame -= s * Share(20, r);
      // 8. The rook in front of its pawn on the seventh: penalised unless the
      //    rook's rank crosses the enemy king's rank or file away from the
      //    king's own neighbourhood, that is unless it keeps the king at bay.
      if (r == 6 && (ahead & rooks[c])) {
        const u64 kingLines = RookAttacksFrom(pos, enemyKing);
        const u64 rookRank = RankAttacksFrom(pos->occupied, rook);
        if ((kingLines & rookRank & ~KingAttacks[enemyKing]) == 0) endgame -= 50 * s;
      }
      // 9. A rook pawn draws more often.
      if (SquareMask[q] & RookFiles) endgame -= s * Share(20, r);
      // 10. The own king near the promotion square first.
      if (r >= 3 && std::abs(FileOf(king) - file) <= 1 &&
          Distance(promo, king) < Distance(promo, enemyKing) - 1)
        endgame += s * Share(layoutFactor, r);
      // 11. King distances to the square in front of the pawn.
      endgame += s * w->EG_PASSED_PAWN_ATTACKER[r] * Distance(stop, enemyKing);
      endgame -= s * w->EG_PASSED_PAWN_DEFENDER[r] * Distance(stop, king);
    }

    // Rook mobility along its rank and file.
    endgame += 3 * s * PopCount(RookAttacksFrom(pos, rook));
  }

  // 1. Passed pawns on both sides cancel out in part.
  if (passerCount[White] && passerCount[Black]) endgame = 70 * endgame / 100;

  // 2. With a single pawn on one wing the edge shrinks with fewer pawns and
  //    grows with pawns locked head to head.
  if (layout != 3) {
    endgame = 2 * (PopCount(pawns) + 50) * endgame / 100;
    const int blocked = PopCount(whitePawns & (blackPawns >> 8));
    endgame = (100 + 6 * blocked) * endgame / 100;
  }

  // 3. The defending king on the wrong wing for the lone pawn.
  const int whiteKingFile = FileOf(pos->kingSquare[White]);
  const int blackKingFile = FileOf(pos->kingSquare[Black]);
  if (layout == 1 && (pawns & KingSideFiles)) {
    if ((whitePawns & QueenSideFiles) && whiteKingFile > blackKingFile)
      endgame += 30;
    else if ((blackPawns & QueenSideFiles) && blackKingFile > whiteKingFile)
      endgame -= 30;
  } else if (layout == 2 && (pawns & QueenSideFiles)) {
    if ((whitePawns & KingSideFiles) && whiteKingFile < blackKingFile)
      endgame += 30;
    else if ((blackPawns & KingSideFiles) && blackKingFile < whiteKingFile)
      endgame -= 30;
  }

  // 4. Enemy pawns near a king are targets for it.
  if (KingZone[Black][pos->kingSquare[Black]] & whitePawns) endgame -= 10;
  if (KingZone[White][pos->kingSquare[White]] & blackPawns) endgame += 10;

  // 5. The blend sits at a fixed late phase: such endings are almost pure endgames.
  return (4 * opening + 20 * endgame) / 24;
}
