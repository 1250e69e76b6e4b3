// King safety: the pawn cover in front of a king (shelter minus storm, from the
// pawn entry) against the enemy pieces bearing on the squares around it.
#include "eval/context.h"
#include "eval/eval.h"
#include "eval/weights.h"

// Adds the safety verdict on colour's king to the sums and the ply record.
void KingSafety(EvalContext* ctx, int colour) {
  const int attacker = colour ^ 1;
  // Without a queen and a second piece an attack on the king goes nowhere.
  if (!(ctx->entry.flags & (attacker == White ? WhiteQueenPlus : BlackQueenPlus))) return;

  const Position* pos = ctx->pos;
  const EvalWeights* w = ctx->weights;
  const int king = pos->kingSquare[colour];
  const i16* shelter = ctx->pawnEntry->kingShelter[colour];

  // The shelter where the king stands, and the best it may still castle into.
  const i32 s0 = shelter[KingWing[king]];
  i32 best = s0;
  if ((pos->castling & (CastleWhiteKing << colour)) && shelter[2] > best) best = shelter[2];
  if ((pos->castling & (CastleWhiteQueen << colour)) && shelter[0] > best) best = shelter[0];

  // The attack weights blended by the shelter: all _GS at MAX_SHELTER_VALUE,
  // all _BS at 0. A shelter outside that range (storm pawns can push it
  // below zero, a tuned maximum can sit below what the pawns give) blends as
  // the nearest end: letting the blend run past an end would turn a thin
  // cover into a bonus or a full one into a disaster. The parameter loader
  // keeps the three divisor weights at 1 or more; hand-made weight sets are
  // held to that here too.
  const i32 maxShelter = w->MAX_SHELTER_VALUE > 1 ? w->MAX_SHELTER_VALUE : 1;
  const i32 minShelter = w->MIN_SHELTER_VALUE > 1 ? w->MIN_SHELTER_VALUE : 1;
  const i64 cover = s0 < 0 ? 0 : s0 > maxShelter ? maxShelter : s0;
  const i64 blended = (i64(ctx->goodShelterSum[attacker]) * cover +
                       i64(ctx->badShelterSum[attacker]) * (maxShelter - cover)) /
                      maxShelter;

  // The table ends at 15 attackers. Promotions make more pieces possible
  // than the table foresees, and a set-up position may hold still more, so
  // a larger count takes the last entry.
  const int count = ctx->attackers[attacker] < 15 ? ctx->attackers[attacker] : 15;
  i32 divisor = s0 / 16 + w->SAFETY_RATIO;
  if (divisor < 1) divisor = 1;
  // Kept in 64 bits: large weights make the danger exceed 32 bits.
  const i64 danger = w->PIECE_ATT_WEIGHT[count] * blended / divisor;

  // The verdict is stored in 16 bits: an overwhelming attack saturates there
  // rather than wrapping round into a bonus.
  const i16 safety = SaturateToI16((best + s0) / 2 - danger);
  ctx->ply->kingSafety[colour] = safety;
  ctx->opening += Sign[colour] * safety;

  // Own units around the king matter more in the endgame the thinner its cover.
  int defenders = PopCount(KingAttacks[king] & pos->colours[colour]);
  if (defenders > 7) defenders = 7;  // eight neighbours count as seven
  const i64 thinness = safety > minShelter ? i64(safety) : minShelter;
  ctx->endgame += i32(Sign[colour] * w->NON_PAWN_DEFENDER_VALUE[defenders] / thinness);
}
