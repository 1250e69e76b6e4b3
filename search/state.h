// The one engine object: everything a search needs, passed by pointer to every
// subsystem. It is a handful of records, each named for what it holds; the
// front end builds it with NewEngine (engine/engine.h).
#pragma once

#include "base/input.h"
#include "search/constants.h"
#include "search/records.h"

struct EvalWeights;
struct PawnHashTable;

constexpr int MaxMultiPv = 16;
constexpr i32 DefaultMoveOverhead = 10;  // ms, the "Move Overhead" option's default
constexpr i32 MaxMoveOverhead = 5000;

// How the search in progress may end. Every node entered once it is
// SearchStopped returns at once and stores nothing; the root then answers with
// the best move it knows.
enum SearchState : i32 {
  SearchStopped = 0,
  SearchOnClock,  // a game clock: the time rules end it
  SearchToLimit,  // fixed depth, nodes or move time, infinite analysis or pondering: only the limit or the
                  // GUI ends it
};

// The GUI's settings, as ApplyOptions last took them from the option table.
struct EngineOptions {
  i32 hashSizeMb;    // the Hash value last applied (the table may be smaller)
  i32 multiPv;       // root lines searched and reported, 1..MaxMultiPv
  i32 rateOfPlay;    // 0 slow, 1 normal, 2 fast: how much of the clock a move may use
  i32 moveOverhead;  // ms of transmission lag taken off the clock before the time allocation
  // Accepted from the GUI; nothing reads them.
  u8 chess960;
  u8 ponderEnabled;
  u8 showCurrLine;
};

// What ends the current search: the limits of its "go" as the root applied
// them, and the time budgets of a clock search.
struct SearchBudget {
  i32 maxDepth;       // last iteration to start
  i32 nodeLimit;      // 0: none
  i32 moveTime;       // ms, 0: none
  i32 allocatedTime;  // ms the search aims to use
  i32 maximumTime;    // ms, the hard limit
  i32 extraTime;      // ms the root adds when the best move is unstable or the score dropped
  // "go infinite" or "go ponder" before its "ponderhit": only the GUI ends it,
  // so the end of input stops it.
  u8 untilStopped;
};

// Counters and clock readings of the current search; the node countdown that
// decides when the input and the limits are looked at.
struct SearchProgress {
  u64 nodes;
  i32 selDepth;  // deepest ply reached
  i32 pollInterval;
  i32 pollCountdown;
  u32 startTick;
  u32 lastTick;      // the most recent sample of the clock
  u32 lastInfoTick;  // when the last periodic info line was printed
  u8 infoEnabled;    // progress lines are printed (from iteration 3 on)
};

// The multi-PV store: the root's best lines of the current iteration. Ranks
// point to slots, so that a new line moves no other line's moves.
struct MultiPvStore {
  u32 pvLines[MaxMultiPv][MaxPly];
  u64 pvNodes[MaxMultiPv];   // nodes when the line was stored
  i32 pvLength[MaxMultiPv];  // moves in the line
  i32 pvTime[MaxMultiPv];    // ms since the start when the line was stored
  i32 pvScore[MaxMultiPv];   // k-th best score, -InfiniteScore = empty rank
  i32 pvSlot[MaxMultiPv];    // which slot holds rank k
};

// The root's view across iterations: what the time rules and the info lines need.
struct RootRecord {
  i32 rootMoveCount;
  i32 iterationDepth;  // the iteration in progress
  i32 previousScore;   // scores of the two last completed iterations
  i32 lastScore;
  i32 mateDepthSum;  // sum of the iterations that ended with a mate score
  u8 scoreDropped;   // the last iteration's score fell clearly below the one before
  u8 rootResearch;   // the root move in flight is being re-searched with the full window
  u8 laterRootMove;  // a move after the first multiPv ones is being searched with a zero window
  i32 bestMoveChanges[MaxPly + 1];  // new best root moves, by iteration; -1 before it ran
};

// Move statistics, indexed by HistoryIndex: 12 * to + 6 * side + (piece - 1).
// Cleared at every search start.
struct MoveStatistics {
  i32 historyScore[768];  // depth-weighted cut-offs, orders the quiet moves
  i32 historyGood[768];   // cut-offs
  i32 historyBad[768];    // moves tried before a cut-off
};

// The conversation with the GUI.
struct GuiSession {
  InputReader input;  // shared by the command loop and the search
  // Tools and tests that search without a GUI set this so that the search
  // never reads (or ends at the end of) their standard input.
  u8 ignoreInput;
  // "quit" was read: the search unwinds without an answer and the command
  // loop returns.
  u8 quitRequested;
  // The last "position" command set up a position (a refused FEN does not).
  u8 positionValid;
  // Full-move number of that position: the FEN's, advanced by the moves played.
  i32 fullMove;
};

struct EngineState {
  SearchState searchState;
  SearchProgress progress;
  SearchBudget budget;
  RootRecord root;
  MultiPvStore lines;
  MoveStatistics stats;
  EngineOptions options;
  TransTable tt;
  PlyRecord* plies;          // MaxPly records, one per ply from the root
  EvalWeights* weights;      // the converted Parameters.txt
  PawnHashTable* pawnTable;  // pawn-structure cache and the shelter tables built from the weights
  GuiSession session;
};

// Allocates the engine object in its start-up state: default options and
// search parameters, a table of hashMb megabytes, the ply records, a zero
// weights record and an empty pawn table, nothing loaded or built yet. Returns
// nullptr when memory cannot be obtained. NewEngine (engine/engine.h) is the
// one way to get a ready engine; this is its first step.
EngineState* AllocateEngine(u32 hashMb);
// Releases everything AllocateEngine obtained; nullptr is ignored.
void ReleaseEngine(EngineState* engine);
// Builds the tables that follow the weights: board tables, material table,
// then the storm and shelter tables of the engine's pawn table.
void BuildTables(const EngineState* engine);
// Puts the search's memory back to its constructed state: an empty table, no
// statistics, killers or principal variations (fresh state for tools and tests).
void ResetSearchState(EngineState* engine);
