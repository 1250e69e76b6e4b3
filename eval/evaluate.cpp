// The evaluation driver: a cheap first stage (material, piece-square sums)
// that may return at once when the score lies outside the parent's window,
// then the second stage that adds the attack-based terms. All sums are kept in
// White's view and turned to the mover's view at the end.
#include "eval/context.h"
#include "eval/eval.h"
#include "eval/pawns.h"
#include "eval/weights.h"

namespace {

constexpr u64 NotFileA = ~FileAMask;
constexpr u64 NotFileH = ~(FileAMask << 7);

// Squares the given pawns of colour c attack (the union of their PawnAttacks).
inline u64 PawnAttackSet(u64 pawns, int colour) {
  if (colour == White) return ((pawns & NotFileA) << 7) | ((pawns & NotFileH) << 9);
  return ((pawns & NotFileA) >> 9) | ((pawns & NotFileH) >> 7);
}

// The two-phase blend: phase 0 takes the opening sum, phase 24 the endgame sum.
inline i32 Blend(i32 opening, i32 endgame, int phase) {
  return ((24 - phase) * opening + phase * endgame) / 24;
}

// Penalises a pawn standing, undefended by its own pawns, in the zone around
// the enemy king, where the king can pick it up.
void AddWeakPawnsNearKing(EvalContext* ctx) {
  const Position* pos = ctx->pos;
  const u64 whitePawns = pos->pieces[Pawn] & pos->colours[White];
  const u64 blackPawns = pos->pieces[Pawn] & pos->colours[Black];
  const i32 penalty = ctx->weights->EG_KING_ZONE_PENALTY;
  if (KingZone[Black][pos->kingSquare[Black]] & whitePawns & ~ctx->pawnAttacks[White])
    ctx->endgame += penalty;
  if (KingZone[White][pos->kingSquare[White]] & blackPawns & ~ctx->pawnAttacks[Black])
    ctx->endgame -= penalty;
}

// Records the enemy units each colour's pawns attack. A pawn pinned along a
// rank or file attacks nothing; one pinned along a diagonal only threatens
// what it could capture without leaving the ray.
void AddPawnHits(EvalContext* ctx) {
  const Position* pos = ctx->pos;
  const u64 pawns = pos->pieces[Pawn];
  for (int c = White; c <= Black; ++c) {
    const int enemy = c ^ 1;
    const u64 own = pawns & pos->colours[c];
    const u64 pinsDiag = ctx->pins[c][PinDiag];
    const u64 free = own & ~(ctx->pins[c][PinOrth] | pinsDiag);
    const u64 attacked = PawnAttackSet(free, c) & pos->colours[enemy];
    ctx->ply->threats[c] |= attacked & ~pawns;
    // A pawn of the side to move may simply move away, so it is no target.
    ctx->hits[c] |= enemy == pos->side ? attacked & ~pawns : attacked;
    const u64 pinned = own & pinsDiag;
    if (pinned) ctx->ply->threats[c] |= PawnAttackSet(pinned, c) & pos->colours[enemy] & pinsDiag;
  }
}

// Turns the hits into threats (an attacked unit the enemy does not defend at
// all) and scores the difference of threatened units between the colours.
void AddThreatBalance(EvalContext* ctx) {
  const Position* pos = ctx->pos;
  PlyRecord* ply = ctx->ply;
  for (int c = White; c <= Black; ++c) {
    const int enemy = c ^ 1;
    const u64 defended = ctx->kingNeighbours[enemy] | ctx->pieceAttacks[enemy] | ctx->pawnAttacks[enemy];
    ply->threats[c] |= ctx->hits[c] & ~defended;
  }
  const u64 notPawns = ~pos->pieces[Pawn];
  const int balance = PopCount(ply->threats[White]) - PopCount(ply->threats[Black]);
  const int pieceBalance =
      PopCount(ply->threats[White] & notPawns) - PopCount(ply->threats[Black] & notPawns);
  ply->threatBalance = i16(balance);
  ply->pieceThreatBalance = i16(pieceBalance);
  const i32 bonus =
      balance * ctx->weights->ATTACKED_PAWN_BONUS + pieceBalance * ctx->weights->ATTACKED_PIECE_BONUS;
  ctx->opening += bonus;
  ctx->endgame += bonus;
}

// The full evaluation after the first stage; returns the score, White's view.
i32 SecondStage(const Position* pos, EvalContext* ctx) {
  PlyRecord* ply = ctx->ply;
  const int side = pos->side;

  // 1. Pins of the side not to move too, no pinner excluded.
  PinRaysFor(pos, side ^ 1, 0, &ctx->pins[side ^ 1][PinOrth], &ctx->pins[side ^ 1][PinDiag]);

  // 2. Attack bookkeeping.
  ply->threats[White] = ply->threats[Black] = 0;
  for (int c = White; c <= Black; ++c) {
    ctx->pawnAttacks[c] = PawnAttackSet(pos->pieces[Pawn] & pos->colours[c], c);
    ctx->kingNeighbours[c] = KingAttacks[pos->kingSquare[c]];
    ctx->pieceAttacks[c] = 0;
    ctx->hits[c] = 0;
    ctx->goodShelterSum[c] = 0;
    ctx->badShelterSum[c] = 0;
  }
  for (int c = White; c <= Black; ++c)
    ctx->attackers[c] = (ctx->pawnAttacks[c] & ctx->kingNeighbours[c ^ 1]) ? 1 : 0;

  // 3. Undefended pawns near the enemy king.
  AddWeakPawnsNearKing(ctx);

  // 4. Pawn attacks on enemy units.
  AddPawnHits(ctx);

  // 5. Piece loops: mobility and placement; they also fill pieceAttacks,
  //    hits, threats and the king-attack count.
  AddPieceActivity(ctx);

  // 6. Per king: units next to it are hit by it; its safety; then its
  //    side's passed pawns, which need both colours' attack sets.
  for (int c = White; c <= Black; ++c) {
    ctx->hits[c] |= ctx->kingNeighbours[c] & pos->colours[c ^ 1];
    KingSafety(ctx, c);
    AddPassedPawns(ctx, c);
  }

  // 7. Race between unstoppable passed pawns.
  AddPawnRace(ctx);

  // 8. Threat balance.
  AddThreatBalance(ctx);

  // 9. Fixed patterns.
  AddFixedPatterns(ctx);

  // 10. One bishop a side on squares of different colours: drawish.
  const u64 bishops = pos->pieces[Bishop];
  if ((ctx->entry.flags & BishopsOnly) && (bishops & LightSquares) && (bishops & DarkSquares))
    OppositeBishopsAdjust(ctx);

  // 11. Blend by phase, then add the material correction in 16 bits.
  const i32 total = Blend(ctx->opening, ctx->endgame, ctx->phase);
  return i16(ctx->materialCorrection + total);
}

}  // namespace

i32 Evaluate(Position* pos, PlyRecord* ply, const EvalWeights* weights, PawnHashTable* pawns) {
  EvalContext ctx;
  ctx.pos = pos;
  ctx.weights = weights;
  ctx.ply = ply;
  const int side = pos->side;

  // 1. Material entry: phase, special-case flags and the correction.
  ctx.entry = *MaterialLookup(pos);
  ctx.phase = MaterialPhase(&ctx.entry);
  ctx.materialCorrection = ctx.entry.value;

  // 2. Raw material and piece-square sums.
  ctx.opening = pos->pstOpening + pos->material;
  ctx.endgame = pos->pstEndgame + pos->material;

  // 3. Pawn structure from the cache.
  ctx.pawnEntry = ProbePawnTable(pawns, pos, weights);
  ctx.opening += ctx.pawnEntry->opening;
  ctx.endgame += ctx.pawnEntry->endgame;

  // 4. Check and pin information the search uses whatever the exit.
  ply->checkCount = u16(Checkers(pos, &ply->checkers));
  PinRays(pos, ply->checkers, &ply->pinData[0], &ply->pinData[1]);
  ctx.pins[side][PinOrth] = ply->pinData[0];
  ctx.pins[side][PinDiag] = ply->pinData[1];
  ply->lazy = 0;
  // Only a king the second stage judges gets a value; the others read 0,
  // never a value left over from an earlier position.
  ply->kingSafety[White] = ply->kingSafety[Black] = 0;

  // 5. Early result: a settled verdict, or a quick score already outside the
  //    window. With two or fewer pieces a side the attack terms weigh too
  //    much to be skipped.
  const u16 flags = ctx.entry.flags;
  i32 quick = 0;
  bool lazyExit = true;
  if (flags & KnownDraw) {
    quick = 0;
  } else if (flags & SingleRooks) {
    quick = i16(RookEndingScore(&ctx) + ctx.entry.value);
  } else if (flags & ManyPieces) {
    quick = i16(Blend(ctx.opening, ctx.endgame, ctx.phase));
    const i32 mover = Sign[side] * quick;
    lazyExit = mover >= ply->lazyHigh || mover <= ply->lazyLow;
  } else {
    lazyExit = false;
  }
  if (!lazyExit) {
    ply->eval = Sign[side] * SecondStage(pos, &ctx);
    return ply->eval;
  }

  // 6. Lazy exit.
  ply->lazy = 1;
#ifdef TARVO_LAZY_THREATS_ZERO
  ply->threats[White] = ply->threats[Black] = 0;
  ply->threatBalance = ply->pieceThreatBalance = 0;
#endif
  ply->eval = Sign[side] * quick;
  return ply->eval;
}
