// Every line the GUI sees goes through these functions.
#pragma once

#include <cinttypes>

// Formats like printf and writes the result to standard output in one write,
// so a line never reaches the GUI in pieces.
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Silences Print (benchmarks and tests that drive whole searches).
void SetOutputMuted(bool muted);
