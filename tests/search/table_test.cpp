#include "search/table.h"

#include <gtest/gtest.h>

#include <cstring>

#include "search/state.h"
#include "tests/support.h"

namespace {

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(AllocateTable(&tt, 8)); }
  void TearDown() override { FreeTable(&tt); }
  // The n-th key that falls into bucket b.
  u64 KeyInBucket(u64 b, u64 n) const { return b + n * tt.bucketCount; }
  TransTable tt{};
};

TEST_F(TableTest, SizesAndEmptyEntries) {
  EXPECT_EQ(tt.entryCount, 8u * 1024 * 1024 / 16);
  EXPECT_EQ(tt.bucketCount, tt.entryCount / 4);
  for (u32 i : {0u, 1u, tt.entryCount - 1}) {
    EXPECT_EQ(tt.entries[i].key, 0u);
    EXPECT_EQ(tt.entries[i].moveAndBound, 0u);
    EXPECT_EQ(tt.entries[i].score, -32768);
    EXPECT_EQ(tt.entries[i].depth, -128);
    EXPECT_EQ(tt.entries[i].age, 0);
  }
  EXPECT_EQ(reinterpret_cast<uintptr_t>(tt.entries) % 64, 0u);
}

TEST_F(TableTest, DepthIsTruncatedAndClamped) {
  Store(&tt, 11, 0x1234, 50, 2.9f, BoundExact);
  Store(&tt, 12, 0x1234, 50, -0.5f, BoundExact);
  Store(&tt, 13, 0x1234, 50, 200.0f, BoundExact);
  Store(&tt, 14, 0x1234, 50, -300.0f, BoundExact);
  EXPECT_EQ(Probe(&tt, 11)->depth, 2);
  EXPECT_EQ(Probe(&tt, 12)->depth, 0);
  EXPECT_EQ(Probe(&tt, 13)->depth, 126);
  EXPECT_EQ(Probe(&tt, 14)->depth, -127);
  const TTEntry* e = Probe(&tt, 11);
  EXPECT_EQ(EntryMove(e), 0x1234u);
  EXPECT_EQ(EntryBound(e), u32(BoundExact));
  EXPECT_EQ(e->score, 50);
}

TEST_F(TableTest, SameKeyTakesResultsOfEqualOrGreaterDepth) {
  Store(&tt, 77, 0x111, 120, 5.0f, BoundLower);
  // A re-search at the same depth brings a new best move: it is kept.
  Store(&tt, 77, 0x222, 60, 5.0f, BoundExact);
  const TTEntry* e = Probe(&tt, 77);
  EXPECT_EQ(EntryBound(e), u32(BoundExact));
  EXPECT_EQ(e->score, 60);
  EXPECT_EQ(EntryMove(e), 0x222u);
  Store(&tt, 77, 0x333, -40, 3.0f, BoundUpper);  // shallower: ignored
  EXPECT_EQ(EntryMove(Probe(&tt, 77)), 0x222u);
  Store(&tt, 77, 0x444, -40, 6.0f, BoundUpper);
  e = Probe(&tt, 77);
  EXPECT_EQ(EntryMove(e), 0x444u);
  EXPECT_EQ(e->depth, 6);
  EXPECT_EQ(tt.storeHits, 3u);
}

TEST_F(TableTest, ReplacesFirstShallowestEntryOfTheBucket) {
  const u64 b = 1234;
  const float depths[4] = {3, 1, 1, 7};
  for (int i = 0; i < 4; ++i) Store(&tt, KeyInBucket(b, i + 1), 0x100 + i, 0, depths[i], BoundExact);
  Store(&tt, KeyInBucket(b, 9), 0x999, 0, 4.0f, BoundExact);
  TTEntry* bucket = tt.entries + 4 * b;
  EXPECT_EQ(bucket[0].key, KeyInBucket(b, 1));
  EXPECT_EQ(bucket[1].key, KeyInBucket(b, 9));
  EXPECT_EQ(bucket[2].key, KeyInBucket(b, 3));
  EXPECT_EQ(bucket[3].key, KeyInBucket(b, 4));
  EXPECT_EQ(Probe(&tt, KeyInBucket(b, 2)), nullptr);
}

TEST_F(TableTest, EntriesOfEarlierSearchesAreReplacedFirst) {
  // Three deep entries of search 1 and a shallow one of search 2: a new
  // position takes the first slot of search 1, not the shallow current one.
  tt.generation = 1;
  const u64 b = 1234;
  for (int i = 0; i < 3; ++i) Store(&tt, KeyInBucket(b, i + 1), 0x100 + i, 0, 9.0f, BoundExact);
  tt.generation = 2;
  Store(&tt, KeyInBucket(b, 4), 0x104, 0, 1.0f, BoundExact);
  Store(&tt, KeyInBucket(b, 9), 0x999, 0, 2.0f, BoundExact);
  const TTEntry* bucket = tt.entries + 4 * b;
  EXPECT_EQ(bucket[0].key, KeyInBucket(b, 9));
  EXPECT_EQ(bucket[3].key, KeyInBucket(b, 4));
}

TEST_F(TableTest, ProbeRefreshesAgeAndCounts) {
  tt.generation = 3;
  Store(&tt, 500, 0x50, 10, 4.0f, BoundUpper);
  EXPECT_EQ(tt.fills, 1u);
  tt.generation = 4;
  const TTEntry* e = Probe(&tt, 500);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->age, 4);
  EXPECT_EQ(Probe(&tt, 501), nullptr);
  EXPECT_EQ(tt.probes, 2u);
  EXPECT_EQ(tt.probeHits, 1u);
}

TEST_F(TableTest, ClearEmptiesEverything) {
  Store(&tt, 42, 0x42, 1, 9.0f, BoundLower);
  tt.generation = 9;
  ClearTable(&tt);
  EXPECT_EQ(tt.generation, 0);
  EXPECT_EQ(tt.stores, 0u);
  EXPECT_EQ(tt.fills, 0u);
  EXPECT_EQ(Probe(&tt, 42), nullptr);
}

// A zeroed engine with its own table and the start position.
class StorePvInTable : public ::testing::Test {
 protected:
  void SetUp() override {
    InitBoardTables();
    std::memset(&engine, 0, sizeof engine);
    engine.plies = plies;
    ASSERT_TRUE(AllocateTable(&engine.tt, 8));
    ASSERT_TRUE(LoadFen(&pos, StartFen));
  }
  void TearDown() override { FreeTable(&engine.tt); }
  static inline EngineState engine;
  static inline PlyRecord plies[MaxPly];
  static inline Position pos;
};

TEST_F(StorePvInTable, WritesLegalPrefixOfThePrincipalVariation) {
  engine.tt.generation = 5;
  static Position walk;
  walk = pos;

  // e2e4 e7e5 g1f3, then a White king move while Black is to move.
  const char* line[] = {"e2e4", "e7e5", "g1f3", "e1e2"};
  Move moves[4];
  for (int i = 0; i < 3; ++i) {
    moves[i] = FindLegalMove(&walk, line[i]);
    ASSERT_NE(moves[i], NoMove);
    UndoRecord undo;
    MakeMove(&walk, moves[i], &undo);
  }
  moves[3] = MakeMoveWord(4, 12, King, Empty);
  PlyRecord* root = &engine.plies[0];
  for (int i = 0; i < 4; ++i) root->pv[i] = moves[i];
  root->pvCount = 4;

  ::StorePvInTable(&engine, &pos);
  Position step = pos;
  for (int i = 0; i < 3; ++i) {
    const TTEntry* e = Probe(&engine.tt, step.key);
    ASSERT_NE(e, nullptr) << i;
    EXPECT_EQ(EntryMove(e), moves[i]);
    EXPECT_EQ(EntryBound(e), 0u);
    EXPECT_EQ(e->depth, -127);
    EXPECT_EQ(e->score, -InfiniteScore);
    EXPECT_EQ(e->age, 5);
    UndoRecord undo;
    MakeMove(&step, moves[i], &undo);
  }
  EXPECT_EQ(Probe(&engine.tt, step.key), nullptr);
  EXPECT_EQ(engine.tt.stores, 3u);

  // A second write of the same line finds its entries and leaves them as they are.
  ::StorePvInTable(&engine, &pos);
  EXPECT_EQ(engine.tt.storeHits, 3u);
}

// The PV write only supplies moves: it never leaves an entry that real search
// results cannot replace, and it keeps what the search already stored.
TEST_F(StorePvInTable, LaterStoresReplaceThePvEntries) {
  TransTable* tt = &engine.tt;
  tt->generation = 2;
  static Position next;
  const Move e4 = FindLegalMove(&pos, "e2e4");
  const Move d4 = FindLegalMove(&pos, "d2d4");
  next = pos;
  UndoRecord undo;
  MakeMove(&next, e4, &undo);
  const Move e5 = FindLegalMove(&next, "e7e5");
  PlyRecord* root = &engine.plies[0];
  root->pv[0] = e4;
  root->pv[1] = e5;
  root->pvCount = 2;

  // A stored result keeps its depth, bound and score and takes the PV move.
  Store(tt, pos.key, d4, 35, 6.0f, BoundExact);
  ::StorePvInTable(&engine, &pos);
  const TTEntry* e = Probe(tt, pos.key);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(EntryMove(e), e4);
  EXPECT_EQ(EntryBound(e), u32(BoundExact));
  EXPECT_EQ(e->depth, 6);
  EXPECT_EQ(e->score, 35);
  // A deeper result of a later iteration still replaces it.
  Store(tt, pos.key, d4, 20, 7.0f, BoundLower);
  EXPECT_EQ(EntryMove(Probe(tt, pos.key)), d4);
  EXPECT_EQ(Probe(tt, pos.key)->depth, 7);

  // A position the search did not store gets a move-only entry that any real
  // result of that position replaces, however shallow.
  ASSERT_EQ(EntryMove(Probe(tt, next.key)), e5);
  Store(tt, next.key, FindLegalMove(&next, "c7c5"), -15, 1.0f, BoundUpper);
  e = Probe(tt, next.key);
  EXPECT_EQ(EntryMove(e), FindLegalMove(&next, "c7c5"));
  EXPECT_EQ(EntryBound(e), u32(BoundUpper));
  EXPECT_EQ(e->depth, 1);
  EXPECT_EQ(e->score, -15);

  // And it is the first to go when its bucket is full of real results.
  ClearTable(tt);
  ::StorePvInTable(&engine, &pos);
  const u64 bucket = pos.key & (tt->bucketCount - 1);
  for (u64 n = 1; n <= 3; ++n) Store(tt, bucket + n * tt->bucketCount, d4, 0, 2.0f, BoundExact);
  Store(tt, bucket + 4 * tt->bucketCount, d4, 0, 3.0f, BoundExact);
  EXPECT_EQ(Probe(tt, pos.key), nullptr);
  for (u64 n = 1; n <= 4; ++n) EXPECT_NE(Probe(tt, bucket + n * tt->bucketCount), nullptr) << n;
}

}  // namespace
