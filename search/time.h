// Time budgets of a search under a game clock.
#pragma once

#include "board/board.h"

struct EngineState;

// Sets allocatedTime (the time the search aims to use) and maximumTime (the
// hard limit) from the side to move's clock, increment and moves to go, the
// rate of play and pondering; very short budgets bring the first poll forward.
void AllocateTime(EngineState* engine, const Position* pos, i32 wtime, i32 btime, i32 winc, i32 binc,
                  i32 movestogo, bool ponder);
