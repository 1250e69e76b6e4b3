// Pawn structure: per-pawn scores and the passed pawns, cached under the pawn
// key, and per king wing the shelter of own pawns minus the enemy storm, both
// looked up from tables built once from the weights.
#include "eval/pawns.h"

#include <cstring>

#include "eval/eval.h"
#include "eval/weights.h"

namespace {

// A pawn picture is 12 bits: bit 3*k + j is a pawn in file slot j (0 inner,
// 1 central, 2 outer) on the k-th rank in front of the king (k = 0..3, the
// 2nd to 5th rank counted from the king's side of the board).
constexpr int SlotFiles[3][3] = {{1, 2, 0}, {3, 4, 5}, {5, 6, 7}};  // [wing][slot]

// Bit of slot j on picture rank k.
constexpr int PictureBit(int k, int j) { return 1 << (3 * k + j); }

// Lowest picture rank (0..3) that holds a pawn in slot j, -1 when the slot is empty.
int FrontRank(int picture, int j) {
  for (int k = 0; k < 4; ++k)
    if (picture & PictureBit(k, j)) return k;
  return -1;
}

// The board seen from the other side: rank r becomes rank 7 - r.
constexpr u64 MirrorRanks(u64 b) {
  b = ((b >> 8) & 0x00FF00FF00FF00FFull) | ((b & 0x00FF00FF00FF00FFull) << 8);
  b = ((b >> 16) & 0x0000FFFF0000FFFFull) | ((b & 0x0000FFFF0000FFFFull) << 16);
  return (b >> 32) | (b << 32);
}

// The picture of `pawns` on a wing, for a king of the colour whose pawns are
// already turned so that its side is rank 1 (ranks 2..5 are rank indexes 1..4).
int Picture(u64 pawns, int wing) {
  int picture = 0;
  for (int j = 0; j < 3; ++j) {
    const u64 file = (pawns >> (8 + SlotFiles[wing][j])) & 0x01010101ull;  // rank indexes 1..4
    // One multiplication carries bits 0, 8, 16 and 24 to 15, 18, 21 and 24; its
    // sixteen partial products fall on distinct bits, so nothing carries over.
    picture |= int((file * 0x8421ull) >> 15 & 0x249) << j;
  }
  return picture;
}

}  // namespace

void ScoreColourPawns(const Position* pos, const EvalWeights* w, int c, i32* openingOut, i32* endgameOut,
                      u64* passedOut) {
  const u64 allPawns = pos->pieces[Pawn];
  i32 opening = 0, endgame = 0;
  u64 passed = 0;
  const int enemy = c ^ 1;
  const u64 own = allPawns & pos->colours[c];
  const u64 theirs = allPawns & pos->colours[enemy];
  for (u64 rest = own; rest;) {
    const int sq = PopLowest(&rest);
    const int r = c == White ? RankOf(sq) : 7 - RankOf(sq);
    const bool open = (FrontSpan[c][sq] & allPawns) == 0;
    bool isPassed = false;

    if ((PassedMask[c][sq] & theirs) == 0) {
      isPassed = true;
      passed |= SquareMask[sq];
      opening += w->OP_PASSED_PAWN[r];
      endgame += w->EG_PASSED_PAWN[r];
      if (SupportMask[c][sq] & own) {
        opening += w->OP_DEFENDED_PASSED_PAWN[r];
        endgame += w->EG_DEFENDED_PASSED_PAWN[r];
      }
    } else if (open) {
      // A candidate: its neighbour files hold at least as many own pawns
      // (level or behind) as enemy pawns that could stop it.
      const u64 left = LeftLevelOrBehind[c][sq], right = RightLevelOrBehind[c][sq];
      const int k =
          ((left & own) != 0) - ((left & theirs) != 0) + ((right & own) != 0) - ((right & theirs) != 0);
      if (k >= 0) {
        const int supporters = PopCount(AdjacentLevelOrBehind[c][sq] & own);
        const int sentries = PopCount(AdjacentLevelOrBehind[enemy][sq] & theirs);
        if (sentries <= supporters) {
          opening += w->OP_CANDIDATE_PASSED_PAWN[r];
          endgame += w->EG_CANDIDATE_PASSED_PAWN[r];
        }
      }
    }

    // Doubled is judged towards rank 8 for both colours, so of two Black
    // pawns on one file it is the front one that pays.
    const bool doubled = (FrontSpan[White][sq] & own) != 0;
    if (doubled) endgame += w->EG_DOUBLED_PAWN_PENALTY;

    if (AdjacentFilesMask[sq] & own) {
      if ((SupportMask[c][sq] & own) == 0) endgame += w->EG_UNPROTECTED_PAWN_PENALTY;
      const bool canBeBackward =
          !isPassed && (PawnAttacks[c][sq] & theirs) == 0 && (AdjacentLevelOrBehind[c][sq] & own) == 0;
      if (canBeBackward && ((AdjacentTwoAhead[c][sq] & theirs) ||
                            ((AdjacentThreeAhead[c][sq] & theirs) && (PawnAttacks[c][sq] & own) == 0))) {
        if (open) {
          opening += w->OP_WEAK_BACKWARD_PAWN_PENALTY;
          endgame += w->EG_WEAK_BACKWARD_PAWN_PENALTY;
        } else {
          opening += w->OP_BACKWARD_PAWN_PENALTY;
          endgame += w->EG_BACKWARD_PAWN_PENALTY;
        }
      }
    } else if (open) {
      opening += w->OP_WEAK_ISOLATED_PAWN_PENALTY;
      endgame += w->EG_WEAK_ISOLATED_PAWN_PENALTY;
    } else {
      opening += w->OP_ISOLATED_PAWN_PENALTY;
      endgame += w->EG_ISOLATED_PAWN_PENALTY;
      if (doubled) endgame += w->EG_ISOLATED_DOUBLED_PAWN_PENALTY;
    }
  }
  *openingOut = opening;
  *endgameOut = endgame;
  *passedOut = passed;
}

namespace {

// Fills the per-pawn scores and the passed-pawn set of a new entry.
void ScorePawns(PawnEntry* entry, const Position* pos, const EvalWeights* w) {
  i32 opening[2], endgame[2];
  u64 passed[2];
  for (int c = White; c <= Black; ++c) ScoreColourPawns(pos, w, c, &opening[c], &endgame[c], &passed[c]);
  entry->passed = passed[White] | passed[Black];
  entry->opening = SaturateToI16(opening[White] - opening[Black]);
  entry->endgame = SaturateToI16(endgame[White] - endgame[Black]);
}

// Fills the shelter-minus-storm value of each colour and wing.
void ScoreShelter(PawnEntry* entry, const PawnHashTable* table, const Position* pos) {
  // Each colour's own pawns and the enemy's, turned so that the king's side is rank 1.
  u64 seenBy[2][2];  // [king colour][pawn colour]
  seenBy[White][White] = pos->pieces[Pawn] & pos->colours[White];
  seenBy[White][Black] = pos->pieces[Pawn] & pos->colours[Black];
  seenBy[Black][White] = MirrorRanks(seenBy[White][White]);
  seenBy[Black][Black] = MirrorRanks(seenBy[White][Black]);
  for (int c = White; c <= Black; ++c)
    for (int wing = 0; wing < 3; ++wing)
      entry->kingShelter[c][wing] = i16(table->shelterTable[Picture(seenBy[c][c], wing)] -
                                        table->stormTable[Picture(seenBy[c][c ^ 1], wing)]);
}

}  // namespace

// An empty cache with empty storm and shelter tables.
void CreatePawnTable(PawnHashTable* table) {
  std::memset(table, 0, sizeof *table);
  table->mask = PawnTableEntries - 1;
  table->entryCount = PawnTableEntries;
}

void ClearPawnTable(PawnHashTable* table) {
  std::memset(table->entries, 0, sizeof table->entries);
  std::memset(table->evalCache, 0, sizeof table->evalCache);
  std::memset(table->evalCacheTags, 0, sizeof table->evalCacheTags);
  table->hits = table->probes = 0;
}

// Storm value of every picture of enemy pawns: the nearer, the worse.
void BuildStormTable(PawnHashTable* table, const EvalWeights* weights) {
  const i32* z[3] = {weights->INNER_SIDE_STORM, weights->CENTRAL_STORM, weights->OUTER_SIDE_STORM};
  const i32 maxStorm =
      weights->INNER_SIDE_STORM[1] + weights->CENTRAL_STORM[1] + weights->OUTER_SIDE_STORM[1];
  constexpr int Rank4 = PictureBit(2, 0) | PictureBit(2, 1) | PictureBit(2, 2);
  constexpr int Rank5 = PictureBit(3, 0) | PictureBit(3, 1) | PictureBit(3, 2);
  for (int picture = 0; picture < PawnPictures; ++picture) {
    i32 storm = 0;
    int filled = 0;
    for (int j = 0; j < 3; ++j) {
      const int front = FrontRank(picture, j);
      storm += z[j][front < 0 ? 4 : front];
      filled += front >= 0;
    }
    if (filled < 2) storm -= weights->INNER_SIDE_STORM[4];
    if ((picture & Rank5) == Rank5) storm += weights->STORM_CHAIN;
    if ((picture & Rank4) == Rank4) storm += weights->STORM_CHAIN;
    if (storm < 0) storm = 0;
    if (storm > maxStorm) storm = maxStorm;
    table->stormTable[picture] = i16(storm);
  }
}

// Shelter value of every picture of own pawns in front of the king.
void BuildShelterTable(PawnHashTable* table, const EvalWeights* weights) {
  const i32* x[3] = {weights->INNER_SIDE_SHELTER, weights->CENTRAL_SHELTER, weights->OUTER_SIDE_SHELTER};
  const i32* y[3] = {weights->SECOND_INNER_SIDE_SHELTER, weights->SECOND_CENTRAL_SHELTER,
                     weights->SECOND_OUTER_SIDE_SHELTER};
  const i32 maxShelter =
      weights->INNER_SIDE_SHELTER[0] + weights->CENTRAL_SHELTER[0] + weights->OUTER_SIDE_SHELTER[0];
  const i32 divisor = maxShelter > 1 ? maxShelter : 1;
  for (int picture = 0; picture < PawnPictures; ++picture) {
    int front[3];
    i32 sum = 0;
    for (int j = 0; j < 3; ++j) {
      front[j] = FrontRank(picture, j);
      for (int k = 0; k < 4; ++k) {
        if (!(picture & PictureBit(k, j))) continue;
        sum += k == front[j] ? x[j][k] : y[j][k];
      }
    }
    const int inner = front[0], central = front[1], outer = front[2];
    // The outer file is judged against the other two: whether inner and
    // central stand level decides which outer rank counts as in step.
    const int level = inner == central ? 1 : 0;
    if (level != outer) sum += weights->OUTER_SIDE_SHELTER[1] - weights->OUTER_SIDE_SHELTER[0];
    // Neither of the two files nearest the king keeps its pawn at home.
    if (inner != 0 && central != 0) sum += i32(i64(weights->STORM_SHELTER_PENALTY_2) * sum / divisor);
    if (sum < 0) sum = 0;
    if (sum > maxShelter) sum = maxShelter;
    table->shelterTable[picture] = i16(sum);
  }
}

const PawnEntry* FillPawnEntry(PawnEntry* entry, PawnHashTable* table, const Position* pos,
                               const EvalWeights* weights) {
  entry->key = pos->pawnKey;
  ScorePawns(entry, pos, weights);
  ScoreShelter(entry, table, pos);
  return entry;
}
