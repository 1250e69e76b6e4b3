// The parameter file: reading "Parameters.txt", turning its numbers into the
// evaluation weights and piece-square tables, and writing the dump file.
#pragma once

#include <cstddef>

struct EvalWeights;

// The shipped Parameters.txt, embedded at build time (NUL-terminated).
extern const char* const EmbeddedParameters;
extern const unsigned EmbeddedParametersSize;
