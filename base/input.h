// Standard input for the command loop and the search alike. One buffer holds
// every byte read and not yet used: while a search runs only the bytes already
// waiting are read, a line is looked at once it is whole, and the lines the
// search leaves alone stay in the buffer, in order, for the command loop.
#pragma once

#include "base/platform.h"
#include "base/types.h"

// The longest line: 65535 characters and its newline. A longer one is refused.
constexpr i32 InputBufferSize = 65536;

struct InputReader {
  InputHandle handle;
  i32 length;    // bytes held in data
  i32 examined;  // leading bytes: whole lines the search looked at and left for the command loop
  u8 held;       // the search takes no further command (after "stop", or a "go" meant for later)
  u8 skipping;   // inside a refused overlong line: its bytes are dropped up to its newline
  u8 ended;      // end of input seen: what is held is all there will be
  char data[InputBufferSize];
  char line[InputBufferSize + 1];  // the command loop's current line
};

void InitInputReader(InputReader* in, InputHandle handle);

// Moves the bytes already waiting into the buffer; never blocks.
void ReadWaiting(InputReader* in);
// Blocks until more bytes arrive; false when nothing more can be read (end of
// input, or a buffer full of lines waiting for the command loop).
bool ReadMore(InputReader* in);

// The next whole line after the examined ones, in place and not terminated:
// its size in bytes with the newline, or 0 when no whole line is held. After
// the end of input a last line without a newline counts as whole.
i32 PendingLine(const InputReader* in, const char** line);
// Removes that line (the search acted on it) ...
void ConsumeLine(InputReader* in, i32 size);
// ... or leaves it for the command loop.
void KeepLine(InputReader* in, i32 size);
// Whether the line of `size` bytes begins with `word`.
bool LineStartsWith(const char* line, i32 size, const char* word);

// The command loop's next line: newline included (CR LF becomes one newline),
// NUL-terminated, valid until the next call. Blocks; nullptr once input has
// ended and every line has been taken.
const char* NextLine(InputReader* in);
