// Every line the GUI sees goes through these functions.
#pragma once

#include <cinttypes>

// MinGW checks formats against the printf it links (its C99 one in our builds).
#ifdef __MINGW_PRINTF_FORMAT
#define TARVO_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define TARVO_PRINTF_FORMAT printf
#endif

// Formats like printf and writes the result to standard output in one write,
// so a line never reaches the GUI in pieces.
void Print(const char* format, ...) __attribute__((format(TARVO_PRINTF_FORMAT, 1, 2)));

// Silences Print (benchmarks and tests that drive whole searches).
void SetOutputMuted(bool muted);
// Whether Print is silenced.
bool OutputMuted();
