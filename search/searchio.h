// Input and output while a search runs: the input poll, the periodic check
// with its info line and stop rules, the multi-PV lines and the final wait.
#pragma once

#include "board/types.h"

struct EngineState;

// Reads the input already waiting, without blocking, and acts on each whole
// line in order: "quit" stops the search, which then prints nothing more (the
// command loop returns), "stop" stops it with an answer, "ponderhit"
// switches to clock control, "isready" is answered at once; every other line
// (and every line after a "stop" or a "go") is left for the command loop. At
// the end of input an infinite or ponder search stops; others run to their limits.
void PollInput(EngineState* engine);
// Samples the clock, prints the periodic hashfull/nodes line and applies the
// time and node limits.
void PeriodicCheck(EngineState* engine);
// Prints "info time T nodes N nps X" for the search so far, T the elapsed ms:
// periodically, and once more with the totals before "bestmove".
void PrintSearchTotals(const EngineState* engine, i32 elapsedMs);
// Prints the current multi-PV lines.
void PrintPvLines(EngineState* engine);
// Holds back "bestmove" of an infinite or ponder search until the GUI sends
// "stop" or "ponderhit" (or input ends, or "quit" comes). Other lines
// wait for the command loop as in PollInput.
void ReleaseWait(EngineState* engine);

// Nodes per second over the elapsed milliseconds (at least 1), capped to fit
// the printed 32-bit field.
i32 NodesPerSecond(u64 nodes, i32 elapsedMs);
