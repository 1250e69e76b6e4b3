// Fixed patterns that the general terms miss: bishops shut in behind an enemy
// pawn and rooks shut in by their own king.
#include "eval/context.h"
#include "eval/eval.h"
#include "eval/weights.h"

namespace {

constexpr int A1 = 0, B1 = 1, C1 = 2, F1 = 5, G1 = 6, H1 = 7;
constexpr int A2 = 8, H2 = 15;
constexpr int B5 = 33, G5 = 38;
constexpr int A6 = 40, B6 = 41, G6 = 46, H6 = 47;
constexpr int A7 = 48, C7 = 50, F7 = 53, H7 = 55;
constexpr int B8 = 57, G8 = 62;

constexpr u64 Bit(int square) { return 1ull << square; }

// Whether a piece of the given colour and type stands on the square.
inline bool Has(const Position* pos, int colour, int type, int square) {
  return pos->pieces[type] & pos->colours[colour] & Bit(square);
}

// Whether a bishop of colour c on `bishop` is shut in by an enemy pawn on `pawn`.
inline bool Trapped(const Position* pos, int colour, int bishop, int pawn) {
  return Has(pos, colour, Bishop, bishop) && Has(pos, colour ^ 1, Pawn, pawn);
}

// Whether c's king stands on one of `kings` with one of c's rooks on `rooks`.
inline bool Blocked(const Position* pos, int colour, u64 kings, u64 rooks) {
  return (Bit(pos->kingSquare[colour]) & kings) && (pos->pieces[Rook] & pos->colours[colour] & rooks);
}

}  // namespace

void AddFixedPatterns(EvalContext* ctx, int c) {
  const Position* pos = ctx->pos;
  // Black's squares are White's mirrored across the middle rank.
  const int m = c == White ? 0 : 56;
  const i32 trapped1 = ctx->weights->TRAPPED_PENALTY_1;
  const i32 trapped2 = ctx->weights->TRAPPED_PENALTY_2;
  i32 trapped = 0;

  // A bishop that took a rook pawn in the corner, or went behind the enemy
  // pawn chain, has no way out; each corner counts once.
  if (Trapped(pos, c, A7 ^ m, B6 ^ m) || Trapped(pos, c, B8 ^ m, C7 ^ m)) trapped += trapped1;
  if (Trapped(pos, c, H7 ^ m, G6 ^ m) || Trapped(pos, c, G8 ^ m, F7 ^ m)) trapped += trapped1;
  if (Trapped(pos, c, A6 ^ m, B5 ^ m) || Trapped(pos, c, H6 ^ m, G5 ^ m)) trapped += trapped2;
  ctx->opening += Sign[c] * trapped;
  ctx->endgame += Sign[c] * trapped;

  // A rook shut in its corner by its own king, which went there without
  // castling, matters while the pieces are still on.
  if (Blocked(pos, c, Bit(B1 ^ m) | Bit(C1 ^ m), Bit(A1 ^ m) | Bit(B1 ^ m) | Bit(A2 ^ m)) ||
      Blocked(pos, c, Bit(F1 ^ m) | Bit(G1 ^ m), Bit(G1 ^ m) | Bit(H1 ^ m) | Bit(H2 ^ m)))
    ctx->opening += Sign[c] * ctx->weights->BLOCKED_PENALTY;
}
