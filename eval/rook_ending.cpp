// Single-rook endings: one rook a side, otherwise kings and pawns. They never
// reach the attack terms; this evaluator scores them from the first-stage sums.
#include "eval/context.h"

// The blended score of a single-rook ending from the first-stage sums.
i32 RookEndingScore(const EvalContext* ctx) {
  const i32 opening = ctx->opening;
  const i32 endgame = ctx->endgame;
  // Rook-ending knowledge (rooks and kings against passed pawns, whole-board
  // scalings) adjusts these copies of the sums before the blend.
  // The blend sits at a fixed late phase: such endings are almost pure endgames.
  return (4 * opening + 20 * endgame) / 24;
}
