#include "search/table.h"

#include "base/platform.h"
#include "search/state.h"

namespace {

constexpr TTEntry EmptyEntry{0, 0, -32768, -128, 0};

void ClearCounters(TransTable* tt) {
  tt->generation = 0;
  tt->fills = tt->storeHits = tt->probeHits = tt->stores = tt->probes = 0;
}

}  // namespace

bool AllocateTable(TransTable* tt, u32 megabytes) {
  u64 count = u64(megabytes) * 1024 * 1024 / sizeof(TTEntry);
  TTEntry* entries = static_cast<TTEntry*>(AllocateLarge(count * sizeof(TTEntry)));
  if (entries == nullptr) return false;
  FreeTable(tt);
  tt->entries = entries;
  tt->entryCount = u32(count);
  tt->bucketCount = u32(count / 4);
  ClearTable(tt);
  return true;
}

void ClearTable(TransTable* tt) {
  for (u32 i = 0; i < tt->entryCount; ++i) tt->entries[i] = EmptyEntry;
  ClearCounters(tt);
}

void FreeTable(TransTable* tt) {
  FreeLarge(tt->entries);
  tt->entries = nullptr;
  tt->entryCount = tt->bucketCount = 0;
}

namespace {

TTEntry* Bucket(TransTable* tt, u64 key) { return tt->entries + 4 * (key & (tt->bucketCount - 1)); }

// How much an entry is worth keeping: its depth, and with replacement by age
// entries of earlier searches below every entry of this one.
i32 KeepValue(const TransTable* tt, const TTEntry* e) {
  return Constants.ttReplaceByAge && e->age != tt->generation ? e->depth - 256 : e->depth;
}

// The entry of `key` in its bucket, or nullptr; *candidate receives the first
// entry least worth keeping.
TTEntry* FindInBucket(TransTable* tt, u64 key, TTEntry** candidate) {
  TTEntry* bucket = Bucket(tt, key);
  *candidate = bucket;
  for (int i = 0; i < 4; ++i) {
    if (bucket[i].key == key) return &bucket[i];
    if (KeepValue(tt, &bucket[i]) < KeepValue(tt, *candidate)) *candidate = &bucket[i];
  }
  return nullptr;
}

}  // namespace

const TTEntry* Probe(TransTable* tt, u64 key) {
  tt->probes++;
  TTEntry* bucket = Bucket(tt, key);
  for (int i = 0; i < 4; ++i)
    if (bucket[i].key == key) {
      tt->probeHits++;
      bucket[i].age = tt->generation;
      return &bucket[i];
    }
  return nullptr;
}

void Store(TransTable* tt, u64 key, Move move, i32 score, f32 depth, u32 bound) {
  tt->stores++;
  f32 truncated = depth < -127.0f ? -127.0f : depth > 126.0f ? 126.0f : depth;
  i8 d = i8(truncated);
  TTEntry* candidate;
  TTEntry* hit = FindInBucket(tt, key, &candidate);
  if (hit == nullptr) {
    if (candidate->age != tt->generation) tt->fills++;
    *candidate = TTEntry{key, move | bound << 24, i16(score), d, tt->generation};
    return;
  }
  tt->storeHits++;
  if (hit->age != tt->generation || hit->age == 0) tt->fills++;
  hit->age = tt->generation;
  // A result for a known position replaces the entry only when deeper; with
  // replacement by age also at equal depth (a re-search's new best move).
  if (d > hit->depth || (Constants.ttReplaceByAge && d == hit->depth)) {
    hit->depth = d;
    hit->score = i16(score);
    hit->moveAndBound = move | bound << 24;
  }
}

namespace {

constexpr u32 MoveMask = 0xFFFFFF;
// The least depth a store records: any real result of the key is deeper.
constexpr i8 PvOnlyDepth = -127;

}  // namespace

// The PV write only supplies first moves. It keeps the depth, bound and score
// an entry already has; a new entry gets no bound and the least depth, so that
// any real result of the position replaces it and it is the first to leave a
// full bucket. (A PV entry that outranked real results would outlive its
// search and keep their scores out of the table.)
void StorePvInTable(EngineState* engine, const Position* pos) {
  TransTable* tt = &engine->tt;
  const PlyRecord* root = &engine->plies[0];
  Position copy = *pos;
  MoveList legal;
  for (u32 i = 0; i < root->pvCount && i < u32(MaxPly); ++i) {
    Move m = root->pv[i];
    if (m < 2) return;
    legal.count = 0;
    GenerateLegal(&copy, &legal);
    bool found = false;
    for (int k = 0; k < legal.count && !found; ++k) found = legal.move[k] == m;
    if (!found) return;

    tt->stores++;
    TTEntry* candidate;
    TTEntry* hit = FindInBucket(tt, copy.key, &candidate);
    if (hit != nullptr) {
      tt->storeHits++;
      if (!(hit->age == tt->generation && hit->age != 0)) tt->fills++;
      hit->age = tt->generation;
      hit->moveAndBound = (hit->moveAndBound & ~MoveMask) | m;
    } else {
      if (candidate->age != tt->generation) tt->fills++;
      *candidate = TTEntry{copy.key, m, i16(-InfiniteScore), PvOnlyDepth, tt->generation};
    }
    if (i + 1 == root->pvCount) return;
    UndoRecord undo;
    MakeMove(&copy, m, &undo);
  }
}
