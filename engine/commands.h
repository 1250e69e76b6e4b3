// The "position" and "go" commands.
#pragma once

#include "board/board.h"

struct EngineState;

// Sets up the position from the text after "position ".
void HandlePosition(const char* args, Position* pos, EngineState* engine);
// Searches with the limits in the text after "go " and prints "bestmove".
void HandleGo(const char* args, Position* pos, EngineState* engine);
