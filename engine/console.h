// Commands for a person at the console and for test frameworks, beside the
// UCI protocol: "bench", "d", "eval" and "go perft". GUIs never send them.
#pragma once

#include "board/board.h"

struct EngineState;

// Runs "go perft N" on the current position: the count below each legal move,
// a blank line and the total, as tarvo-perft --divide prints them.
void HandlePerft(const char* args, Position* pos, const EngineState* engine);

// Whether no position has been set up; if so, says so in an "info string" line.
bool ReportMissingPosition(const EngineState* engine);

// Runs a console command, or answers a line that is no command at all with
// "info string unknown command: <word>"; a blank line gets no reply.
void HandleConsoleCommand(const char* line, Position* pos, EngineState* engine);
