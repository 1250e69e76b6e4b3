// Passed pawns as the pieces see them: the pawn entry has scored them by rank
// already; here come blockers, control of the path, the kings' distances,
// passers side by side and, against a bare king, the square rule and the race.
#include "eval/context.h"
#include "eval/eval.h"
#include "eval/pawns.h"
#include "eval/weights.h"

namespace {

// Chebyshev distance: king moves between two squares.
inline int KingDistance(int a, int b) {
  const int files = FileOf(a) > FileOf(b) ? FileOf(a) - FileOf(b) : FileOf(b) - FileOf(a);
  const int ranks = RankOf(a) > RankOf(b) ? RankOf(a) - RankOf(b) : RankOf(b) - RankOf(a);
  return files > ranks ? files : ranks;
}

}  // namespace

void AddPassedPawns(EvalContext* ctx, int c) {
  ctx->raceValue[c] = 0;
  const Position* pos = ctx->pos;
  const u64 own = pos->colours[c];
  const u64 passers = ctx->pawnEntry->passed & own;
  if (!passers) return;

  const EvalWeights* w = ctx->weights;
  const int e = c ^ 1;
  const u64 enemy = pos->colours[e];
  const int ownKing = pos->kingSquare[c];
  const int enemyKing = pos->kingSquare[e];
  const int forward = c == White ? 8 : -8;
  const bool enemyHasPieces =
      enemy & (pos->pieces[Knight] | pos->pieces[Bishop] | pos->pieces[Rook] | pos->pieces[Queen]);
  // Squares the enemy's pawns and pieces reach and c's do not (kings aside).
  const u64 enemyOnly =
      (ctx->pieceAttacks[e] | ctx->pawnAttacks[e]) & ~(ctx->pieceAttacks[c] | ctx->pawnAttacks[c]);
  i32 opening = 0, endgame = 0;

  for (u64 rest = passers; rest;) {
    const int q = PopLowest(&rest);
    const int r = c == White ? RankOf(q) : 7 - RankOf(q);
    const u64 front = FrontSpan[c][q];

    if (!enemyHasPieces) {
      // Square rule on the square the pawn effectively stands on: a king in
      // its path costs a tempo, the move and the double step gain one each.
      int a = q, ar = r;
      if (front & pos->pieces[King]) a -= forward, --ar;
      if (pos->side == c) a += forward, ++ar;
      if (r == 1) a += forward, ++ar;
      if ((OutsidePawnSquare[c][a] & SquareMask[enemyKing]) ||
          (KingGuardsFront[c][q] & SquareMask[ownKing])) {
        if (2 * ar > ctx->raceValue[c]) ctx->raceValue[c] = 2 * ar;
      }
    } else {
      if (!(front & own)) endgame += w->EG_PASSED_PAWN_WO_OUR_BLOCKER[r];
      if (!(front & enemy)) endgame += w->EG_PASSED_PAWN_WO_OPP_BLOCKER[r];
      if (!(front & enemyOnly)) endgame += w->EG_PASSED_PAWN_WO_MOB_BLOCKER[r];
    }

    const int stop = q + forward;
    endgame += w->EG_PASSED_PAWN_ATTACKER[r] * KingDistance(stop, enemyKing);
    endgame -= w->EG_PASSED_PAWN_DEFENDER[r] * KingDistance(stop, ownKing);

    // Another passer beside it or guarding it from behind.
    if (SupportMask[c][q] & passers) {
      opening += w->OP_PASSED_CHAIN[r];
      endgame += w->EG_PASSED_CHAIN[r];
    }
  }

  ctx->opening += Sign[c] * opening;
  ctx->endgame += Sign[c] * endgame;
}

void AddPawnRace(EvalContext* ctx) {
  const int t = Sign[ctx->pos->side];
  const i32 lead = ctx->raceValue[White] - ctx->raceValue[Black];
  if (lead - t >= 3) {
    ctx->endgame += ctx->weights->EG_UNSTOPPABLE_PASSED_PAWN;
  } else if (-lead + t >= 3) {
    ctx->endgame -= ctx->weights->EG_UNSTOPPABLE_PASSED_PAWN;
  }
}
