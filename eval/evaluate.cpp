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

// Penalises a pawn of colour c standing, undefended by its own pawns, in the
// zone around the enemy king, where the king can pick it up.
void AddWeakPawnsNearKing(EvalContext* ctx, int c) {
  const Position* pos = ctx->pos;
  const int e = c ^ 1;
  const u64 pawns = pos->pieces[Pawn] & pos->colours[c];
  if (KingZone[e][pos->kingSquare[e]] & pawns & ~ctx->pawnAttacks[c])
    ctx->endgame += Sign[c] * ctx->weights->EG_KING_ZONE_PENALTY;
}

// Where a breakdown stands: the sums already shared out among the terms.
struct Tracer {
  EvalBreakdown* out;
  i32 opening;
  i32 endgame;
};

// Gives what the sums gained since the last mark to colour c's share of a term.
template <bool Trace>
inline void Mark(Tracer* t, const EvalContext* ctx, int term, int c) {
  if constexpr (Trace) {
    t->out->parts[term][c][0] += Sign[c] * (ctx->opening - t->opening);
    t->out->parts[term][c][1] += Sign[c] * (ctx->endgame - t->endgame);
    t->out->computed[term] = 1;
    t->opening = ctx->opening;
    t->endgame = ctx->endgame;
  }
}

// Records the enemy units each colour's pawns attack. A pawn pinned along a
// rank or file attacks nothing; one pinned along a diagonal only threatens
// what it could capture without leaving the ray.
inline __attribute__((always_inline)) void AddPawnHits(EvalContext* ctx) {
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
inline __attribute__((always_inline)) void AddThreatBalance(EvalContext* ctx) {
  const Position* pos = ctx->pos;
  EvalRecord* ply = ctx->ply;
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

// The attack-based terms of the second stage (everything but the drawish
// bishop ending and the blend): they add to the sums and fill the record's
// threats, threat balances and king safety.
template <bool Trace>
void AttackTerms(const Position* pos, EvalContext* ctx, Tracer* t) {
  EvalRecord* ply = ctx->ply;
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
  for (int c = White; c <= Black; ++c) {
    AddWeakPawnsNearKing(ctx, c);
    Mark<Trace>(t, ctx, TermKingZonePawns, c);
  }

  // 4. Pawn attacks on enemy units.
  AddPawnHits(ctx);

  // 5. Piece loops: mobility and placement; they also fill pieceAttacks,
  //    hits, threats and the king-attack count.
  for (int c = White; c <= Black; ++c) {
    AddPieceActivity(ctx, c);
    Mark<Trace>(t, ctx, TermPieces, c);
  }

  // 6. Per king: units next to it are hit by it; its safety; then its
  //    side's passed pawns, which need both colours' attack sets.
  for (int c = White; c <= Black; ++c) {
    ctx->hits[c] |= ctx->kingNeighbours[c] & pos->colours[c ^ 1];
    KingSafety(ctx, c);
    Mark<Trace>(t, ctx, TermKingSafety, c);
    AddPassedPawns(ctx, c);
    Mark<Trace>(t, ctx, TermPassedPawns, c);
  }

  // 7. Race between unstoppable passed pawns.
  AddPawnRace(ctx);
  if constexpr (Trace) {
    // The race goes to White when White's lead, counting the move, reaches 3.
    const i32 lead = ctx->raceValue[White] - ctx->raceValue[Black];
    Mark<Trace>(t, ctx, TermPassedPawns, lead - Sign[side] >= 3 ? White : Black);
  }

  // 8. Threat balance.
  AddThreatBalance(ctx);
  if constexpr (Trace) {
    // The bonus is linear in the counts, so each colour's threats give its share.
    const u64 notPawns = ~pos->pieces[Pawn];
    for (int c = White; c <= Black; ++c) {
      const i32 share = PopCount(ply->threats[c]) * ctx->weights->ATTACKED_PAWN_BONUS +
                        PopCount(ply->threats[c] & notPawns) * ctx->weights->ATTACKED_PIECE_BONUS;
      t->out->parts[TermThreats][c][0] = t->out->parts[TermThreats][c][1] = share;
    }
    t->out->computed[TermThreats] = 1;
    t->opening = ctx->opening;
    t->endgame = ctx->endgame;
  }

  // 9. Fixed patterns.
  if constexpr (Trace) {
    AddFixedPatterns(ctx, t->out->parts[TermPatterns]);
    t->out->computed[TermPatterns] = 1;
    t->opening = ctx->opening;
    t->endgame = ctx->endgame;
  } else {
    AddFixedPatterns(ctx);
  }
}

// Whether the drawish bishop ending applies; it scales the sums with the
// attack sets, so its positions are never taken from the cache.
inline bool OppositeBishops(const Position* pos, const EvalContext* ctx) {
  const u64 bishops = pos->pieces[Bishop];
  return (ctx->entry.flags & BishopsOnly) && (bishops & LightSquares) && (bishops & DarkSquares);
}

// The attack terms from the evaluation cache when the position is there;
// otherwise computed and, when what they added fits the entry, stored.
void CachedAttackTerms(const Position* pos, EvalContext* ctx, PawnHashTable* table) {
  EvalRecord* ply = ctx->ply;
  const u32 index = EvalCacheIndex(pos->key);
  EvalCacheEntry* slot = &table->evalCache[index];
  if (EvalCacheHolds(table, pos->key)) {
    ply->threats[White] = slot->threats[White];
    ply->threats[Black] = slot->threats[Black];
    ply->threatBalance = slot->threatBalance;
    ply->pieceThreatBalance = slot->pieceThreatBalance;
    ply->kingSafety[White] = slot->kingSafety[White];
    ply->kingSafety[Black] = slot->kingSafety[Black];
    ctx->opening += slot->opening;
    ctx->endgame += slot->endgame;
    return;
  }
  const i32 opening = ctx->opening, endgame = ctx->endgame;
  AttackTerms<false>(pos, ctx, nullptr);
  const i32 addedOpening = ctx->opening - opening, addedEndgame = ctx->endgame - endgame;
  // Extreme weights can add more than 16 bits hold; such a result is not kept.
  if (addedOpening != i16(addedOpening) || addedEndgame != i16(addedEndgame)) return;
  table->evalCacheTags[index] = EvalCacheTag(pos->key);
  slot->keyMiddle = EvalCacheMiddle(pos->key);
  slot->threatBalance = ply->threatBalance;
  slot->pieceThreatBalance = ply->pieceThreatBalance;
  slot->threats[White] = ply->threats[White];
  slot->threats[Black] = ply->threats[Black];
  slot->opening = i16(addedOpening);
  slot->endgame = i16(addedEndgame);
  slot->kingSafety[White] = ply->kingSafety[White];
  slot->kingSafety[Black] = ply->kingSafety[Black];
}

// The full evaluation after the first stage; returns the score, White's view.
template <bool Trace>
i32 SecondStage(const Position* pos, EvalContext* ctx, Tracer* t, PawnHashTable* table) {
  const bool oppositeBishops = OppositeBishops(pos, ctx);
  if constexpr (!Trace) {
    if (table->evalCacheOn && !oppositeBishops)
      CachedAttackTerms(pos, ctx, table);
    else
      AttackTerms<false>(pos, ctx, t);
  } else {
    AttackTerms<true>(pos, ctx, t);
  }

  // 10. One bishop a side on squares of different colours: drawish.
  if (oppositeBishops) {
    OppositeBishopsAdjust(ctx);
    if constexpr (Trace) {
      t->out->scaling[0] = ctx->opening - t->opening;
      t->out->scaling[1] = ctx->endgame - t->endgame;
    }
  }

  // 11. Blend by phase, then add the material correction.
  const i32 total = Blend(ctx->opening, ctx->endgame, ctx->phase);
  if constexpr (Trace) {
    t->out->opening = ctx->opening;
    t->out->endgame = ctx->endgame;
    t->out->blended = total;
    t->out->materialCorrection = ctx->materialCorrection;
  }
  return LimitEval(ctx->materialCorrection + total);
}

// Material and piece-square shares of each colour, counted from the pieces
// (the position keeps only their difference).
void TraceFirstStage(const Position* pos, EvalBreakdown* out) {
  for (int c = White; c <= Black; ++c) {
    for (u64 rest = pos->colours[c]; rest;) {
      const int sq = PopLowest(&rest);
      const int type = pos->board[sq];
      out->parts[TermMaterial][c][0] += Sign[c] * PieceValue[c][type];
      out->parts[TermPieceSquares][c][0] += Sign[c] * PieceSquareValue[c][type][sq].opening;
      out->parts[TermPieceSquares][c][1] += Sign[c] * PieceSquareValue[c][type][sq].endgame;
    }
    out->parts[TermMaterial][c][1] = out->parts[TermMaterial][c][0];
  }
  out->computed[TermMaterial] = out->computed[TermPieceSquares] = 1;
}

// Check and pin information the search uses whatever the exit; true when
// the side to move is in check.
inline bool ReadChecks(const Position* pos, EvalRecord* ply) {
  ply->checkCount = u16(CheckersAndPins(pos, &ply->checkers, &ply->pinData[0], &ply->pinData[1]));
  ply->lazy = 0;
  // Only a king the second stage judges gets a value; the others read 0,
  // never a value left over from an earlier position.
  ply->kingSafety[White] = ply->kingSafety[Black] = 0;
  return ply->checkCount != 0;
}

// NoScoreInCheck: a position in check gets only the check and pin fields,
// for a node that stands no pat there and so never reads its static score.
template <bool Trace, bool NoScoreInCheck = false>
i32 EvaluateWith(Position* pos, EvalRecord* ply, const EvalWeights* weights, PawnHashTable* pawns,
                 EvalBreakdown* breakdown) {
  EvalContext ctx;
  ctx.pos = pos;
  ctx.weights = weights;
  ctx.ply = ply;
  const int side = pos->side;
  Tracer tracer{breakdown, 0, 0};
  // The cache slot is read after the first stage; start loading it now.
  if (!Trace && pawns->evalCacheOn) Prefetch(&pawns->evalCache[EvalCacheIndex(pos->key)]);
  // Check and pin information first: it may be all the node needs.
  if (ReadChecks(pos, ply) && NoScoreInCheck) {
    ply->lazy = 1;
    ply->eval = 0;
    return 0;
  }

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
  if constexpr (Trace) {
    *breakdown = EvalBreakdown{};
    TraceFirstStage(pos, breakdown);
    u64 passed;
    for (int c = White; c <= Black; ++c)
      ScoreColourPawns(pos, weights, c, &breakdown->parts[TermPawnStructure][c][0],
                       &breakdown->parts[TermPawnStructure][c][1], &passed);
    breakdown->computed[TermPawnStructure] = 1;
    breakdown->phase = ctx.phase;
    tracer.opening = ctx.opening;
    tracer.endgame = ctx.endgame;
  }

  // 4. The side to move's pins, for the second stage.
  ctx.pins[side][PinOrth] = ply->pinData[0];
  ctx.pins[side][PinDiag] = ply->pinData[1];

  // 5. Early result: a settled verdict, or a quick score already outside the
  //    window. With two or fewer pieces a side the attack terms weigh too
  //    much to be skipped.
  const u16 flags = ctx.entry.flags;
  i32 quick = 0;
  bool lazyExit = true;
  if (flags & KnownDraw) {
    quick = 0;
    if constexpr (Trace) breakdown->exit = ExitKnownDraw;
  } else if (flags & SingleRooks) {
    const i32 rookEnding = RookEndingScore(&ctx);
    quick = LimitEval(rookEnding + ctx.entry.value);
    if constexpr (Trace) {
      breakdown->exit = ExitRookEnding;
      breakdown->rookEnding = rookEnding;
      breakdown->materialCorrection = ctx.entry.value;
    }
  } else if (flags & ManyPieces) {
    quick = LimitEval(Blend(ctx.opening, ctx.endgame, ctx.phase));
    const i32 mover = Sign[side] * quick;
    lazyExit = mover >= ply->lazyHigh || mover <= ply->lazyLow;
    if constexpr (Trace) {
      breakdown->exit = lazyExit ? ExitOutsideWindow : ExitNone;
      breakdown->blended = Blend(ctx.opening, ctx.endgame, ctx.phase);
    }
  } else {
    lazyExit = false;
  }
  if constexpr (Trace) {
    breakdown->opening = ctx.opening;
    breakdown->endgame = ctx.endgame;
  }
  if (!lazyExit) {
    ply->eval = Sign[side] * SecondStage<Trace>(pos, &ctx, &tracer, pawns);
  } else {
    // 6. Lazy exit.
    ply->lazy = 1;
    ply->eval = Sign[side] * quick;
  }
  if constexpr (Trace) {
    breakdown->score = ply->eval;
    breakdown->whiteScore = Sign[side] * ply->eval;
  }
  return ply->eval;
}

}  // namespace

i32 Evaluate(Position* pos, EvalRecord* ply, const EvalWeights* weights, PawnHashTable* pawns,
             EvalBreakdown* breakdown) {
  if (breakdown != nullptr) return EvaluateWith<true>(pos, ply, weights, pawns, breakdown);
  return EvaluateWith<false>(pos, ply, weights, pawns, nullptr);
}

void EvaluateUnlessInCheck(Position* pos, EvalRecord* ply, const EvalWeights* weights, PawnHashTable* pawns) {
  EvaluateWith<false, true>(pos, ply, weights, pawns, nullptr);
}
