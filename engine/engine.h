// The one way to get a ready engine and to free it: the entry routine, the
// bench, every tool and every test fixture build their engines here.
#pragma once

#include "board/types.h"
#include "search/table.h"  // DefaultHashMb

struct EngineState;
struct ParameterReport;

// Passed as the parameter file: the shipped numbers built into the binary, no
// file read or written (tools and tests, whose figures must not depend on the
// working directory).
constexpr const char* BuiltInParameters = nullptr;

// Builds an engine ready to search: a table of hashMb megabytes (a power of
// two), the weights of parameterFile (which also writes the dump file) or the
// built-in ones, and the tables built from them. With a report, records what
// became of the file for the front end to tell. Returns nullptr only when
// memory cannot be obtained.
EngineState* NewEngine(const char* parameterFile, u32 hashMb, ParameterReport* report = nullptr);
// Frees everything NewEngine obtained; nullptr is ignored.
void FreeEngine(EngineState* engine);
