// The UCI command loop and its option registry.
// Layer: engine/ is the front end (process entry, command loop and options,
// "position" and "go", the parameter file) and may use every layer below it:
// search/, eval/, board/, base/. Nothing below includes engine/.
#pragma once

#include "board/board.h"
#include "engine/parameters.h"

struct EngineState;

constexpr int OptionTextSize = 128;
constexpr int MaxOptions = 10;

enum OptionType : i32 {
  OptionButton = 0,
  OptionCheck = 1,
  OptionCombo = 2,
  OptionSpin = 3,
  OptionString = 4
};

struct OptionEntry {
  char name[OptionTextSize];
  i32 type;
  char value[OptionTextSize];
  char extra[OptionTextSize];  // printed after the default: spin range or combo values
  i32 min, max;                // a spin's range
  u8 settable;
  u8 announced;  // printed in the "uci" reply
};
static_assert(sizeof(OptionEntry::value) == 128 && sizeof(OptionEntry::name) == 128);

struct OptionTable {
  i32 count;
  OptionEntry entries[MaxOptions];
  // What became of the parameter file, told once after the first "uci".
  ParameterReport parameterReport;
};

// Puts the options back to their defaults.
void RegisterOptions(OptionTable* options);
// Re-reads every option value into the engine state (and resizes the table).
void ApplyOptions(const OptionTable* options, EngineState* engine);
// Engine version "major.month" from the build date, e.g. "14.3" for March 2014.
void VersionString(char* out, int capacity);
// The same from a compiler date text "Mmm dd yyyy" (an unknown month gives 13).
void VersionFromDate(const char* date, char* out, int capacity);
// Runs one command line (newline included); the loop's body, exposed for tests.
void HandleCommand(const char* line, OptionTable* options, Position* pos, EngineState* engine);
// Reads and runs commands until "quit" or the end of standard input.
void UciLoop(OptionTable* options, Position* pos, EngineState* engine);
