// Records shared by every part of the search: score constants, the move
// picker, the per-ply record (which begins with the evaluation's record) and
// the transposition table.
#pragma once

#include "board/board.h"
#include "eval/eval.h"

// Scores are i32 centipawns in the side to move's view.
constexpr i32 MateValue = 32700;      // mated at ply p scores p - 32700
constexpr i32 InfiniteScore = 32701;  // beyond every real score; -32701 marks "no score"
constexpr i32 MateBound = 32636;      // |s| >= 32636 is a mate score
constexpr i32 DrawScore = 0;
static_assert(EvalLimit < MateBound, "a static score must never read as a mate");
constexpr int MaxPly = 64;  // PlyRecords; a node at ply >= 63 returns its static score

// Staged move picker state, one per ply.
struct MovePicker {
  u64 stages;      // bit set of the stages not yet begun
  u64 checkers;    // copied from the node's PlyRecord
  u64 pinData[2];  // pinsOrth, pinsDiag of the node
  u64 discOrth;
  u64 discDiag;
  u64 checkSquares[King + 1];  // per piece type, where it would check the enemy king
  u64 victimMask;              // squares whose pieces the capture stage may take
  u32 hashMove;
  u32 mateKiller;
  u32 killerSlots[4];
  u32 current;  // the move last handed out, NoMove when none
  MoveList list;
  u32 stage;                // stage of `current`
  u32 quietCount;           // moves the quiet stage generated
  i32 lowestScoreCount;     // quiet moves sharing the lowest history score
  i32 checkCountGenerated;  // moves the quiet-check stage generated, -1 before
  i32 evasionCount;         // moves the evasion stage generated, -1 before
  i32 captureCount;         // moves the capture stage generated, -1 before
  u32 inCheckCount;         // the node's check count, for the evasion generator
  u8 newStage;              // the current call began a stage
  u8 killerFilter;          // quiet stage skips moves that are killer slots
  u8 killerHit;             // the last move the quiet stage examined was a killer
};

// Per-ply search and evaluation data; record p belongs to the node p plies from the root.
// The evaluation fills the EvalRecord part (check, pins, threats, lazy exit, score).
struct PlyRecord : EvalRecord {
  u32 currentMove;
  u32 pvCount;
  u32 pv[MaxPly];
  u32 hashMove;
  u32 mateKiller;
  u32 killers[2];  // newest first
  MovePicker picker;
};

// Transposition table entry (16 bytes, four to a 64-byte bucket):
//   key            full Zobrist key
//   moveAndBound   bits 0-23 move word, bits 24-25 bound (0 none, 1 lower, 2 exact, 3 upper)
//   score          best score, side-to-move view, no ply adjustment
//   depth          depth truncated toward zero, clamped to -127..126; -128 when empty
//   age            table generation when last stored, probed or claimed
struct TTEntry {
  u64 key;
  u32 moveAndBound;
  i16 score;
  i8 depth;
  u8 age;
};
static_assert(sizeof(TTEntry) == 16);

enum Bound : u32 { BoundNone = 0, BoundLower = 1, BoundExact = 2, BoundUpper = 3 };

struct TransTable {
  TTEntry* entries;
  u8 generation;
  u32 entryCount;  // a power of two
  u32 bucketCount;
  u32 fills;  // entries claimed during the current search
  u32 storeHits;
  u32 probeHits;
  u32 stores;
  u32 probes;
};
