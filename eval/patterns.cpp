// Fixed patterns that the general terms miss: bishops shut in behind an enemy
// pawn and rooks shut in by their own king.
#include "eval/context.h"
#include "eval/weights.h"

namespace {

constexpr int A1 = 0, B1 = 1, C1 = 2, F1 = 5, G1 = 6, H1 = 7;
constexpr int A2 = 8, C2 = 10, F2 = 13, H2 = 15;
constexpr int B3 = 17, G3 = 22, A3 = 16, H3 = 23;
constexpr int B4 = 25, G4 = 30;
constexpr int B5 = 33, G5 = 38;
constexpr int A6 = 40, B6 = 41, G6 = 46, H6 = 47;
constexpr int A7 = 48, C7 = 50, F7 = 53, H7 = 55;
constexpr int A8 = 56, B8 = 57, C8 = 58, F8 = 61, G8 = 62, H8 = 63;

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

void AddFixedPatterns(EvalContext* ctx, i32 (*shares)[2]) {
  const Position* pos = ctx->pos;
  const i32 trapped1 = ctx->weights->TRAPPED_PENALTY_1;
  const i32 trapped2 = ctx->weights->TRAPPED_PENALTY_2;
  i32 trapped[2] = {0, 0};

  // A bishop that took a rook pawn in the corner, or went behind the enemy
  // pawn chain, has no way out; each corner counts once.
  if (Trapped(pos, White, A7, B6) || Trapped(pos, White, B8, C7)) trapped[White] += trapped1;
  if (Trapped(pos, White, H7, G6) || Trapped(pos, White, G8, F7)) trapped[White] += trapped1;
  if (Trapped(pos, Black, A2, B3) || Trapped(pos, Black, B1, C2)) trapped[Black] += trapped1;
  if (Trapped(pos, Black, H2, G3) || Trapped(pos, Black, G1, F2)) trapped[Black] += trapped1;
  if (Trapped(pos, White, A6, B5) || Trapped(pos, White, H6, G5)) trapped[White] += trapped2;
  if (Trapped(pos, Black, A3, B4) || Trapped(pos, Black, H3, G4)) trapped[Black] += trapped2;
  ctx->opening += trapped[White] - trapped[Black];
  ctx->endgame += trapped[White] - trapped[Black];

  // A rook shut in its corner by its own king, which went there without
  // castling, matters while the pieces are still on.
  const i32 penalty = ctx->weights->BLOCKED_PENALTY;
  i32 blocked[2] = {0, 0};
  if (Blocked(pos, White, Bit(B1) | Bit(C1), Bit(A1) | Bit(B1) | Bit(A2)) ||
      Blocked(pos, White, Bit(F1) | Bit(G1), Bit(G1) | Bit(H1) | Bit(H2)))
    blocked[White] = penalty;
  if (Blocked(pos, Black, Bit(B8) | Bit(C8), Bit(A8) | Bit(B8) | Bit(A7)) ||
      Blocked(pos, Black, Bit(F8) | Bit(G8), Bit(G8) | Bit(H8) | Bit(H7)))
    blocked[Black] = penalty;
  ctx->opening += blocked[White] - blocked[Black];

  if (shares != nullptr) {
    for (int c = White; c <= Black; ++c) {
      shares[c][0] = trapped[c] + blocked[c];
      shares[c][1] = trapped[c];
    }
  }
}
