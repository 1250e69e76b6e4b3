// Small text helpers for the command parsers.
#pragma once

#include "base/types.h"

// Decimal value at text: leading blanks skipped, optional sign, digits up to
// the first non-digit; 0 when there are none. Saturates at the i32 range so
// a huge number cannot overflow.
i32 ParseInt(const char* text);

// Whether `needle` occurs anywhere in `text`.
bool Contains(const char* text, const char* needle);

// Whether `text` begins with `prefix` (case-sensitive).
bool StartsWith(const char* text, const char* prefix);

// Copies at most capacity - 1 characters of src, stopping at a newline, and
// terminates the copy.
void CopyBounded(char* dest, const char* src, int capacity);
