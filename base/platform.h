// The only place that talks to the operating system: reading standard input
// with and without waiting, the millisecond clock and unbuffered standard streams.
#pragma once

#include "base/types.h"

// Standard input as the operating system names it: a file descriptor, or a
// handle on Windows (a HANDLE is a pointer).
#ifdef _WIN32
using InputHandle = void*;
#else
using InputHandle = int;
#endif

// The process's standard input, prepared for reading (a Windows console stops
// queueing mouse and window events).
InputHandle StandardInput();

// Reads at most `capacity` bytes of what is already waiting on `input` without
// ever blocking: the byte count, 0 when nothing is waiting, -1 at end of input.
// An interactive console counts as waiting only once a line has been finished
// with Enter.
i32 ReadWaitingInput(InputHandle input, char* buffer, i32 capacity);

// Blocks until at least one byte arrives: the byte count, or -1 at end of input.
i32 ReadInput(InputHandle input, char* buffer, i32 capacity);

// Milliseconds from an arbitrary origin; wraps after about 49.7 days, so
// elapsed times are signed 32-bit differences of two samples.
u32 TickCount();

// Elapsed milliseconds from `since` to `now`, correct across the wrap.
inline i32 ElapsedMs(u32 now, u32 since) { return i32(now - since); }

// Makes standard input and output unbuffered: input is read with the system
// calls above, so no unread input may sit in a library buffer.
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

// The machine's physical memory in megabytes; 0 where it cannot be told.
u64 PhysicalMemoryMb();

// Memory for the big tables, aligned to the system's large pages and, where
// the system offers them, backed by them (fewer address-translation misses
// for tables probed at random). Zero-filled; nullptr when it cannot be had.
// Freed only with FreeLarge.
void* AllocateLarge(u64 bytes);
void FreeLarge(void* memory);

// Peak resident memory of the process in kilobytes (0 where unknown); for the
// developer tools' reports.
u64 PeakMemoryKb();
