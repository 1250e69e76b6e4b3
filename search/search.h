// The search subsystem's public face: move ordering, extensions, quiescence
// and alpha-beta search, the root search and its limits. The search also owns
// the engine object (state.h), the transposition table (table.h), the clock
// budgets (time.h) and its own input and output while it runs (searchio.h).
// Layer: search/ uses eval/, board/ and base/, never engine/; should it ever
// need the front end, it calls a hook it declares and the front end sets.
#pragma once

#include "board/board.h"
#include "search/constants.h"
#include "search/records.h"

struct EngineState;

// Picker stages, in the order they run; bit n of MovePicker::stages is stage n.
enum PickerStage : u32 {
  StageHashMove = 1,
  StageMateKiller = 2,
  StageCaptures = 3,
  StageKillers = 4,
  StageQuiets = 5,
  StageQuietChecks = 6,
  StageEvasions = 7,
};
constexpr u64 StageBit(PickerStage s) { return 1ull << s; }

// Exchange values by piece type (index 7 unused) and by promotion index.
constexpr i32 ExchangeValue[8] = {0, 100, 330, 330, 500, 975, 10000, 0};
constexpr i32 PromotionExchangeValue[4] = {975, 330, 500, 330};

// Index of a move in the three move-statistics tables (0..767).
inline int HistoryIndex(int side, Move m) { return 12 * MoveTo(m) + 6 * side + (MovePiece(m) - 1); }

// Puts a picker in its node-entry state.
void ResetPicker(MovePicker* picker);
// Prepares the picker for a node's move loop: check count, hash move, mate
// killer and the four killer candidates (this ply's and, from ply 4, ply - 2's).
void InitPicker(EngineState* engine, MovePicker* picker, int ply, int checkCount);
// Next move of the main search's stages; a value below 2 when none is left.
Move NextMove(MovePicker* picker, const Position* pos, const i32* historyScore);
// Next move of the quiescence search's stages; a value below 2 when none is left.
Move NextQuiescenceMove(MovePicker* picker, const Position* pos, const i32* historyScore);
// Material balance of the exchange sequence on the move's destination, mover's view.
i32 StaticExchange(const Position* pos, Move move);
// Whether that balance is at least `threshold`; cheaper, since it stops as
// soon as the outcome is settled.
bool ExchangeAtLeast(const Position* pos, Move move, i32 threshold);

// Whether a move deserves the critical-move extension (asked before it is made).
bool IsCriticalMove(const Position* pos, Move move);

// depth - 1.0 formed in double precision and rounded back, as every depth step is.
inline f32 DepthMinusOne(f32 depth) { return f32(double(depth) - 1.0); }

// The window a parent hands to the child's lazy evaluation: lazyWindowMargin
// around its own window, in the child's view. Saturated to 16 bits: wrapping
// would turn a full window into one that always takes the lazy exit.
inline void SetLazyWindow(PlyRecord* child, i32 alpha, i32 beta) {
  auto saturate = [](i32 v) { return i16(v < -32768 ? -32768 : v > 32767 ? 32767 : v); };
  child->lazyLow = saturate(-Constants.lazyWindowMargin - beta);
  child->lazyHigh = saturate(Constants.lazyWindowMargin - alpha);
}

// Whether the side to move is in check and has no legal move.
bool IsMated(const Position* pos, int checkCount, u64 checkers, const u64 pinData[2]);
// Quiescence search: stand pat, then captures (and quiet checks while qdepth
// lasts), or all evasions in check. The node's PlyRecord must be evaluated.
i32 Quiesce(EngineState* engine, Position* pos, i32 alpha, i32 beta, f32 qdepth, int ply);
// Principal-variation alpha-beta search below the root (ply >= 1). The node's
// PlyRecord must be evaluated. Returns the window's lower edge as raised.
i32 Search(EngineState* engine, Position* pos, i32 alpha, i32 beta, f32 depth, int ply, int nullAllowed);

// What a "go" command asks for; numeric limits are 0 when not given.
struct SearchLimits {
  i32 wtime, btime, winc, binc;
  i32 depth, nodes, mate, movestogo, movetime;
  bool ponder;
  bool infinite;
  MoveList searchmoves;  // the root moves; filled with every legal move when empty
};

// Runs iterative deepening from the position; the best line is left in the
// ply-0 record's pv and the multi-PV store. Returns when the search is over
// (for infinite and ponder searches, once the GUI releases the move).
void RootSearch(EngineState* engine, Position* pos, SearchLimits* limits);
// Enters a root result into the multi-PV store; false when it does not rank.
bool RecordRootResult(EngineState* engine, i32 score, Move move);
// Aspiration windows from iteration 6 on, single-line searches only.
bool AspirationAllowed(const EngineState* engine);
