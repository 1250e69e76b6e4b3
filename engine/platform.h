// The only place that talks to the operating system: standard input polling,
// the millisecond clock and unbuffered standard streams.
#pragma once

#include "board/types.h"

// Whether at least one byte is waiting on standard input (a failing query
// counts as "waiting", so the caller's read decides).
bool InputWaiting();

// Milliseconds from an arbitrary origin; wraps after about 49.7 days, so
// elapsed times are signed 32-bit differences of two samples.
u32 TickCount();

// Elapsed milliseconds from `since` to `now`, correct across the wrap.
inline i32 ElapsedMs(u32 now, u32 since) { return i32(now - since); }

// Makes standard input and output unbuffered: the input poll counts the bytes
// waiting in the pipe itself, so no unread input may sit in a library buffer.
void SetUnbufferedStreams();

// Separator of the folders in a path, as the system prints it.
#ifdef _WIN32
constexpr char PathSeparator = '\\';
#else
constexpr char PathSeparator = '/';
#endif

// The folder holding the running executable, without a trailing separator;
// false where it cannot be told.
bool ExecutableDirectory(char* out, int capacity);

// Peak resident memory of the process in kilobytes (0 where unknown); for the
// developer tools' reports.
u64 PeakMemoryKb();
