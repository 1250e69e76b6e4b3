// Piece activity: the knight, bishop, rook and queen loops of the second
// stage. Each piece gets its attack set (sliders through the full occupancy),
// feeds the king-attack count and the threat bookkeeping, and earns mobility
// on safe squares plus the placement terms of its type.
#include "eval/context.h"
#include "eval/eval.h"
#include "eval/weights.h"

namespace {

// Relative 7th and 8th ranks of each colour.
constexpr u64 SeventhRank[2] = {Rank1Mask << 48, Rank1Mask << 8};
constexpr u64 EighthRank[2] = {Rank1Mask << 56, Rank1Mask};

inline int Distance1D(int a, int b) { return a > b ? a - b : b - a; }

}  // namespace

void CountKingAttack(EvalContext* ctx, int attacker, int pieceType, u64 attackSet) {
  if (!(attackSet & ctx->kingNeighbours[attacker ^ 1])) return;
  const EvalWeights* w = ctx->weights;
  ctx->attackers[attacker] += 1;
  switch (pieceType) {
    case Knight:
      ctx->goodShelterSum[attacker] += w->KNIGHT_ATT_WEIGHT_GS;
      ctx->badShelterSum[attacker] += w->KNIGHT_ATT_WEIGHT_BS;
      break;
    case Bishop:
      ctx->goodShelterSum[attacker] += w->BISHOP_ATT_WEIGHT_GS;
      ctx->badShelterSum[attacker] += w->BISHOP_ATT_WEIGHT_BS;
      ctx->opening += Sign[attacker] * w->BISHOP_ATT_WEAK_SQUARES;
      break;
    case Rook:
      ctx->goodShelterSum[attacker] += w->ROOK_ATT_WEIGHT_GS;
      ctx->badShelterSum[attacker] += w->ROOK_ATT_WEIGHT_BS;
      break;
    default:
      ctx->goodShelterSum[attacker] += w->QUEEN_ATT_WEIGHT_GS;
      ctx->badShelterSum[attacker] += w->QUEEN_ATT_WEIGHT_BS;
      break;
  }
}

// The piece loops of one colour; terms are summed in c's own view and added
// to White's sums with c's sign at the end.
void AddPieceActivity(EvalContext* ctx, int c) {
  const Position* pos = ctx->pos;
  const EvalWeights* w = ctx->weights;
  const int e = c ^ 1;
  const u64 own = pos->colours[c];
  const u64 enemy = pos->colours[e];
  const u64 ownPawns = pos->pieces[Pawn] & own;
  const u64 enemyPawns = pos->pieces[Pawn] & enemy;
  const u64 safe = ~own & ~ctx->pawnAttacks[e];
  const u64 pinOrth = ctx->pins[c][PinOrth];
  const u64 pinDiag = ctx->pins[c][PinDiag];
  const u64 pinned = pinOrth | pinDiag;
  const u64 heavyTargets = enemy & (pos->pieces[Rook] | pos->pieces[Queen]);
  const u64 queenTargets = enemy & pos->pieces[Queen];
  const int enemyKing = pos->kingSquare[e];
  const u64 enemyKingBit = SquareMask[enemyKing];
  const u64 enemyKingZone = ctx->kingNeighbours[e];
  // Either the heavy piece has the king cut off on its last rank or enemy
  // pawns still sit on their second rank to be picked up.
  const bool kingOnEighth = enemyKingBit & EighthRank[c];
  const bool pawnsOnSeventh = enemyPawns & SeventhRank[c];
  const bool queenPlus = ctx->entry.flags & (c == White ? WhiteQueenPlus : BlackQueenPlus);

  u64 attacks = 0, hits = 0, threats = 0;
  i32 opening = 0, endgame = 0;

  for (u64 knights = pos->pieces[Knight] & own; knights;) {
    const int sq = PopLowest(&knights);
    const u64 a = KnightAttacks[sq];
    CountKingAttack(ctx, c, Knight, a);
    attacks |= a;
    // A pinned knight cannot move at all.
    if (!(pinned & SquareMask[sq])) {
      hits |= a & enemy;
      threats |= a & heavyTargets;
    }
    const int mob = PopCount(a & safe);
    opening += w->OP_KNIGHT_MOB_1[mob];
    endgame += w->EG_KNIGHT_MOB_1[mob];
    // Outpost: protected by a pawn and out of reach of every enemy pawn.
    if ((ctx->pawnAttacks[c] & SquareMask[sq]) && !(AdjacentAhead[c][sq] & enemyPawns))
      ctx->opening += w->knightOutpost[c][sq];
  }

  for (u64 bishops = pos->pieces[Bishop] & own; bishops;) {
    const int sq = PopLowest(&bishops);
    const u64 bit = SquareMask[sq];
    const u64 a = BishopAttacksFrom(pos, sq);
    CountKingAttack(ctx, c, Bishop, a);
    attacks |= a;
    if (!(pinned & bit)) {
      hits |= a & enemy;
      threats |= a & heavyTargets;
    } else if (!(pinOrth & bit)) {
      // Pinned on a diagonal it can still move, and capture, along it.
      hits |= a & enemy & pinDiag;
      threats |= a & heavyTargets & pinDiag;
    }
    const int mob = PopCount(a & safe);
    opening += w->OP_BISHOP_MOB_1[mob];
    endgame += w->EG_BISHOP_MOB_1[mob];
  }

  // King's rank seen through queens, for the rooks' 8th-rank rule.
  const u64 kingRankNoQueens =
      kingOnEighth ? RankAttacksFrom(pos->occupied & ~pos->pieces[Queen], enemyKing) : 0;
  u64 rookAttacks = 0;
  for (u64 rooks = pos->pieces[Rook] & own; rooks;) {
    const int sq = PopLowest(&rooks);
    const u64 bit = SquareMask[sq];
    const u64 rank = RankAttacksFrom(pos->occupied, sq);
    const u64 a = rank | FileAttacksFrom(pos->occupiedFiles, sq);
    CountKingAttack(ctx, c, Rook, a);
    attacks |= a;
    if (!(pinned & bit)) {
      hits |= a & enemy;
      threats |= a & queenTargets;
    } else if (pinOrth & bit) {
      hits |= a & enemy & pinOrth;
      threats |= a & queenTargets & pinOrth;
    }
    const int mob = PopCount(a & safe);
    opening += w->OP_ROOK_MOB_1[mob];
    endgame += w->EG_ROOK_MOB_1[mob];

    // Seen by a rook handled before: the pair is counted once.
    if (rookAttacks & bit) {
      opening += w->CONNECTED_ROOKS;
      endgame += w->CONNECTED_ROOKS;
    }
    rookAttacks |= a;

    if (((bit & SeventhRank[c]) && kingOnEighth) || pawnsOnSeventh) {
      opening += w->OP_ROOK_ON_7TH;
      endgame += w->EG_ROOK_ON_7TH;
    }
    // An own unit between rook and king on the king's rank: the rook holds
    // the king on its last rank.
    if (kingRankNoQueens & rank & own) {
      opening += w->ROOK_ON_8TH;
      endgame += w->ROOK_ON_8TH;
    }

    const u64 front = FrontSpan[c][sq];
    const bool pawnBehind = FrontSpan[e][sq] & ownPawns;
    if (!(front & ownPawns)) {
      opening += w->OP_ROOK_HALF_OPEN_FILE;
      endgame += w->EG_ROOK_HALF_OPEN_FILE;
      if (!(front & enemyPawns)) {
        opening += w->OP_ROOK_OPEN_FILE;
        endgame += w->EG_ROOK_OPEN_FILE;
      }
      if (queenPlus && !pawnBehind && (front & enemyKingZone)) {
        opening += w->OP_ROOK_FILE_ATT_KING_1;
        if (front & enemyKingBit) opening += w->OP_ROOK_FILE_ATT_KING_2;
      }
    }
    if (pawnBehind) opening += w->OP_PAWNS_BEHIND_ROOK_PENALTY;
  }

  const u64 kingRank = kingOnEighth ? RankAttacksFrom(pos->occupied, enemyKing) : 0;
  for (u64 queens = pos->pieces[Queen] & own; queens;) {
    const int sq = PopLowest(&queens);
    const u64 bit = SquareMask[sq];
    const u64 rank = RankAttacksFrom(pos->occupied, sq);
    const u64 a = rank | FileAttacksFrom(pos->occupiedFiles, sq) | BishopAttacksFrom(pos, sq);
    CountKingAttack(ctx, c, Queen, a);
    attacks |= a;
    if (!(pinned & bit)) {
      hits |= a & enemy;
    } else {
      hits |= a & enemy & ((pinOrth & bit) ? pinOrth : pinDiag);
    }
    // A queen with eight or more safe squares is mobile enough.
    const int mob = PopCount(a & safe);
    if (mob < 8) opening += w->OP_QUEEN_MOB_1[mob];
    const int closeness =
        14 - Distance1D(FileOf(sq), FileOf(enemyKing)) - Distance1D(RankOf(sq), RankOf(enemyKing));
    opening += w->OP_QUEEN_MOB_2[closeness];
    endgame += w->EG_QUEEN_MOB_2[closeness];

    if (((bit & SeventhRank[c]) && kingOnEighth) || pawnsOnSeventh) {
      opening += w->OP_QUEEN_ON_7TH;
      endgame += w->EG_QUEEN_ON_7TH;
    }
    if (kingRank & rank & own) {
      opening += w->QUEEN_ON_8TH;
      endgame += w->QUEEN_ON_8TH;
    }
  }

  ctx->pieceAttacks[c] |= attacks;
  ctx->hits[c] |= hits;
  ctx->ply->threats[c] |= threats;
  ctx->opening += Sign[c] * opening;
  ctx->endgame += Sign[c] * endgame;
}
