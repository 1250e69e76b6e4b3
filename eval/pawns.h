// Pawn structure: everything that depends on the pawns alone, cached under
// the pawn key, and the king-shelter tables built from the weights.
#pragma once

#include <cstddef>

#include "board/board.h"

struct EvalWeights;

// One cached pawn structure (32 bytes).
struct PawnEntry {
  u64 key;      // pawnKey of the structure; 0 in a slot never written
  u64 passed;   // passed pawns of both colours
  i16 opening;  // pawn-structure score, White's view
  i16 endgame;
  i16 kingShelter[2][3];  // [colour][king wing]: shelter minus storm
};
static_assert(sizeof(PawnEntry) == 32);

constexpr u32 PawnTableEntries = 16384;
constexpr int PawnPictures = 4096;  // 12-bit pictures: three files by four ranks

// What the second stage of an evaluation found for one position (32 bytes):
// what its attack terms added to the sums and what it left in the record.
// The position's key stands for the whole position (side to move and
// castling rights included); the stage depends on nothing else but the
// weights, which the table belongs to. The slot's index holds the key's low
// 16 bits and the tag table its top 16, so the entry keeps only the middle.
struct EvalCacheEntry {
  u32 keyMiddle;  // bits 16-47 of the key; 0 in a slot never written
  i16 threatBalance;
  i16 pieceThreatBalance;
  u64 threats[2];  // EvalRecord::threats
  i16 opening;     // added to the sums by the second stage, White's view
  i16 endgame;
  i16 kingSafety[2];
};
static_assert(sizeof(EvalCacheEntry) == 32);

constexpr u32 EvalCacheEntries = 65536;  // 2 MB

// The pawn hash with the storm and shelter tables, and the evaluation cache;
// one per weights set, created before the engine starts and written only by
// the evaluation. Both caches start on a cache line, so that no 32-byte
// entry straddles two lines (one memory wait per probe, not two).
struct alignas(64) PawnHashTable {
  PawnEntry entries[PawnTableEntries];
  i16 stormTable[PawnPictures];
  i16 shelterTable[PawnPictures];
  u64 mask;
  u32 hits;
  u32 probes;
  u32 entryCount;
  // Off in a new table: only an owner that empties the cache whenever the
  // weights change (ClearPawnTable) may turn it on, as the engine does.
  u8 evalCacheOn;
  alignas(64) EvalCacheEntry evalCache[EvalCacheEntries];
  // The top 16 bits of each slot's key (the slot index holds the low ones),
  // 128 KB against the cache's 2 MB: a position whose tag differs is surely
  // not cached, and is computed at once without waiting for its slot's line.
  alignas(64) u16 evalCacheTags[EvalCacheEntries];
};
static_assert(offsetof(PawnHashTable, evalCache) % 64 == 0);

// The parts of a key the evaluation cache keeps apart: the slot index (low
// 16 bits), the tag (top 16 bits) and the middle that the slot holds.
inline u32 EvalCacheIndex(u64 key) { return u32(key & (EvalCacheEntries - 1)); }
inline u16 EvalCacheTag(u64 key) { return u16(key >> 48); }
inline u32 EvalCacheMiddle(u64 key) { return u32(key >> 16); }

// Whether the evaluation cache holds the position with this key. The tag is
// compared first: it mostly sits in a nearer cache than the slot.
inline bool EvalCacheHolds(const PawnHashTable* table, u64 key) {
  const u32 index = EvalCacheIndex(key);
  return table->evalCacheTags[index] == EvalCacheTag(key) &&
         table->evalCache[index].keyMiddle == EvalCacheMiddle(key);
}

// Zeroes the caches and the tables and sets the mask and size; the
// evaluation cache is off.
void CreatePawnTable(PawnHashTable* table);
// Empties both caches (for new weights) and the counters; the storm and
// shelter tables and whether the evaluation cache is on are kept.
void ClearPawnTable(PawnHashTable* table);
// Storm values of every picture of enemy pawns (built before the shelter table).
void BuildStormTable(PawnHashTable* table, const EvalWeights* weights);
// Shelter values of every picture of own pawns.
void BuildShelterTable(PawnHashTable* table, const EvalWeights* weights);
// The per-pawn scores of colour's pawns in its own view, and its passed
// pawns: the entry holds White's minus Black's.
void ScoreColourPawns(const Position* pos, const EvalWeights* weights, int colour, i32* opening, i32* endgame,
                      u64* passed);
// Computes the position's pawn structure into `entry`, its slot, and returns it.
const PawnEntry* FillPawnEntry(PawnEntry* entry, PawnHashTable* table, const Position* pos,
                               const EvalWeights* weights);
// The entry of the position's pawn structure, computed and stored on a miss;
// valid until the next probe. Inline: every evaluation probes, and 95% hit.
inline const PawnEntry* ProbePawnTable(PawnHashTable* table, const Position* pos,
                                       const EvalWeights* weights) {
  PawnEntry* entry = &table->entries[pos->pawnKey & table->mask];
  ++table->probes;
  if (entry->key == pos->pawnKey) {
    ++table->hits;
    return entry;
  }
  return FillPawnEntry(entry, table, pos, weights);
}
