// The tools' command-line reader: "--name value" options and bare flags, every
// number read whole and checked against its range, so that "--positions 4k"
// is refused with a message instead of being read as 4. The same checked
// conversions serve "key=value" settings.
#pragma once

#include "base/output.h"
#include "base/types.h"

// Whether the whole of text is a decimal integer (optional sign) within
// [min, max]; on success *value holds it.
bool ParseWholeInt(const char* text, i64 min, i64 max, i64* value);
// The same for an unsigned number up to max (no sign).
bool ParseWholeU64(const char* text, u64 max, u64* value);
// Whether the whole of text is a finite decimal number within [min, max].
bool ParseWholeReal(const char* text, double min, double max, double* value);

// One pass over argv. Typical use:
//   ArgReader args = StartArgs("tarvo-x", argc, argv);
//   while (NextArg(&args)) {
//     if (ArgIs(&args, "--out")) out = ArgText(&args);
//     else if (ArgIs(&args, "--games")) games = ArgInt(&args, 1, 1000000);
//     else if (ArgIs(&args, "--quiet")) quiet = true;
//     else UnknownArg(&args);
//   }
//   if (args.failed) return Usage();  // the fault is already on standard error
// After the first fault every call does nothing and NextArg ends the loop.
struct ArgReader {
  const char* program;  // names the tool in messages
  int argc;
  char** argv;
  int index;  // the current argument
  bool failed;
};

ArgReader StartArgs(const char* program, int argc, char** argv);
// Moves to the next argument; false at the end or after a fault.
bool NextArg(ArgReader* args);
// Whether the current argument is exactly name.
bool ArgIs(const ArgReader* args, const char* name);
// The current argument itself (a positional one).
const char* CurrentArg(const ArgReader* args);

// The value after the current option name. A missing or malformed value is
// reported on standard error and marks the reader failed.
const char* ArgText(ArgReader* args);
i64 ArgInt(ArgReader* args, i64 min, i64 max);
u64 ArgUnsigned(ArgReader* args, u64 max);
double ArgReal(ArgReader* args, double min, double max);
// Reports the current argument as unknown.
void UnknownArg(ArgReader* args);
// Reports a fault of the caller's own, printf-style, after the tool's name.
void FailArgs(ArgReader* args, const char* format, ...) __attribute__((format(TARVO_PRINTF_FORMAT, 2, 3)));

// Exit status of a tool whose arguments were refused.
constexpr int BadArgumentsStatus = 2;
