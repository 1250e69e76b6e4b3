// The one engine object: everything a search needs, owned by the entry routine
// and passed by pointer to every subsystem.
#pragma once

#include "base/input.h"
#include "search/records.h"

struct EvalWeights;
struct PawnHashTable;

constexpr int MaxMultiPv = 16;
constexpr i32 DefaultMoveOverhead = 10;  // ms, the "Move Overhead" option's default
constexpr i32 MaxMoveOverhead = 5000;

struct EngineState {
  PlyRecord* plies;      // 64 records, allocated once
  EvalWeights* weights;  // allocated once

  // Multi-PV store of the root search.
  u32 pvLines[MaxMultiPv][MaxPly];
  u64 pvNodes[MaxMultiPv];
  i32 pvLength[MaxMultiPv];
  i32 pvTime[MaxMultiPv];
  i32 pvScore[MaxMultiPv];  // k-th best score, -32701 = empty rank
  i32 pvSlot[MaxMultiPv];   // which line slot holds rank k

  i32 rootMoveCount;
  i32 multiPv;
  i32 rateOfPlay;  // 0 slow, 1 normal, 2 fast
  i32 allocatedTime;
  i32 maximumTime;
  i32 extraTime;
  i32 maxDepth;
  i32 nodeLimit;
  i32 moveTime;
  i32 pollInterval;
  i32 pollCountdown;
  i32 iterationDepth;
  i32 searchState;  // 0 stop, 1 clock control, 3 fixed limits / infinite / ponder
  u64 nodes;

  // Root bookkeeping.
  u8 scoreDropped;
  u8 rootResearch;
  i32 mateDepthSum;
  i32 selDepth;
  i32 previousScore;
  i32 lastScore;
  i32 noMoveSentinel;
  u8 laterRootMove;
  i32 bestMoveChanges[65];

  u32 lastInfoTick;
  u32 lastTick;
  u32 startTick;

  // Option values as last applied.
  i32 hashSizeMb;
  i32 multiPvOption;
  i32 rateOfPlayOption;
  u8 chess960;
  u8 ponderEnabled;
  u8 showCurrLine;

  // Search parameters, fixed at construction ([0] non-PV node, [1] PV node).
  i32 deltaMargin[4];
  i32 lmrMinMoves[2];
  i32 razorMargin;
  f32 lmrReduction;
  f32 lmrMinDepth;
  f32 iidMinDepth;
  f32 ttMinDepth;
  f32 razorMaxDepth;
  f32 iidReduction;
  f32 nullMinDepth;
  f32 nullReduction;
  f32 qsCheckDepth[2];
  f32 verifyReduction;
  f32 extRecapture[2];
  f32 extCheckLosing;
  f32 extCheck;
  f32 extSingleReply[2];
  f32 extPassedPawn[2];
  f32 extCritical[2];
  f32 qsCheckExtension;

  // Move statistics, indexed by 12*to + 6*side + (piece - 1).
  i32 historyScore[768];
  i32 historyGood[768];
  i32 historyBad[768];

  TransTable tt;
  i32 personality;  // weights set in use; always 0
  // The pawn-structure cache, created before the engine object and set by
  // whoever constructs it; its shelter tables follow the weights in use.
  PawnHashTable* pawnTable;
  u8 infoEnabled;
  // "go infinite" or "go ponder" before its "ponderhit": only the GUI ends it,
  // so the end of input stops it.
  u8 untilStopped;
  // The last "position" command set up a position (a refused FEN does not).
  u8 positionValid;
  // Tools and tests that search without a GUI set this so that the search
  // never reads (or ends at the end of) their standard input.
  u8 ignoreInput;
  // Standard input, shared by the command loop and the search.
  InputReader input;
  // Milliseconds of transmission lag taken off the clock before the time
  // allocation ("Move Overhead").
  i32 moveOverhead;
};

// Builds the engine object in its start-up state: parameters, statistics, a
// 16 MB table, the 64 ply records and the weights record, left zero for the
// parameter file to fill (the front end's ConstructEngine does both).
// Returns false only when memory cannot be obtained.
bool AllocateEngine(EngineState* engine);
// The fixed search parameters at their defaults (part of the construction).
void SetSearchParameters(EngineState* engine);
// Releases everything ConstructEngine obtained (table, weights, ply records),
// also after a construction that failed part way.
void DestroyEngine(EngineState* engine);
// Builds the process-wide tables that follow the engine object at start-up:
// board tables, material table, then the storm and shelter tables of the
// engine's pawn table (engine->pawnTable must be set) from its weights.
void BuildTables(const EngineState* engine);
// Puts the search's memory back to its constructed state: an empty table, no
// statistics, killers or principal variations (fresh state for tools and tests).
void ResetSearchState(EngineState* engine);
