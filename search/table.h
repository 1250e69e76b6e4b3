// The transposition table: allocation, resizing and clearing.
#pragma once

#include "search/records.h"

struct EngineState;

constexpr u32 DefaultHashMb = 16;

// Allocates an empty table of `megabytes` (a power of two); false, and the
// table untouched, when the memory cannot be obtained.
bool AllocateTable(TransTable* tt, u32 megabytes);
// Empties every entry; generation and counters back to 0, size kept.
void ClearTable(TransTable* tt);
void FreeTable(TransTable* tt);

// Looks the key up in its bucket; a hit refreshes the entry's age and is
// returned, a miss returns nullptr. Counts probes and hits.
const TTEntry* Probe(TransTable* tt, u64 key);
// Stores a node result: an entry of the same key is only deepened, otherwise
// the shallowest entry of the bucket is replaced.
void Store(TransTable* tt, u64 key, Move move, i32 score, f32 depth, u32 bound);
// Writes the root's principal variation into the table so that the next
// iteration tries those moves first: an entry of the position takes the PV
// move and keeps the rest; a missing one is added as a move-only entry that
// every later store replaces.
void StorePvInTable(EngineState* engine, const Position* pos);

// Starts loading the bucket of `key`, for a probe a little later.
inline void PrefetchBucket(const TransTable* tt, u64 key) {
  Prefetch(tt->entries + 4 * (key & (tt->bucketCount - 1)));
}

// Mate scores count plies from the root, but an entry is read from whatever
// ply the position turns up at next. The table holds them counted from the
// node that stored them, and each reader converts back to its own ply, so a
// mate found through a transposition keeps its true distance.
inline i32 ScoreToTable(i32 score, int ply) {
  return score >= MateBound ? score + ply : score <= -MateBound ? score - ply : score;
}
inline i32 ScoreFromTable(i32 score, int ply) {
  return score >= MateBound ? score - ply : score <= -MateBound ? score + ply : score;
}

inline Move EntryMove(const TTEntry* e) { return e->moveAndBound & 0xFFFFFF; }
inline u32 EntryBound(const TTEntry* e) { return (e->moveAndBound >> 24) & 3; }
