#include "base/input.h"

#include <cstring>

#include "base/output.h"

namespace {

// Takes in the `n` bytes just read to the end of the held ones.
void Append(InputReader* in, i32 n) {
  char* fresh = in->data + in->length;
  if (in->skipping) {
    const char* newline = static_cast<const char*>(std::memchr(fresh, '\n', size_t(n)));
    if (newline == nullptr) return;  // still inside the refused line
    in->skipping = 0;
    i32 rest = n - i32(newline + 1 - fresh);
    std::memmove(fresh, newline + 1, size_t(rest));
    n = rest;
  }
  in->length += n;
  // A full buffer without a newline holds part of a line that cannot fit:
  // refuse it whole rather than run its pieces as commands.
  if (in->length == InputBufferSize && std::memchr(in->data, '\n', size_t(InputBufferSize)) == nullptr) {
    Print("info string line too long, ignored\n");
    in->length = 0;
    in->examined = 0;
    in->skipping = 1;
  }
}

// Size of the whole line starting at `from` (newline included), or 0.
i32 LineSize(const InputReader* in, i32 from) {
  i32 held = in->length - from;
  const char* start = in->data + from;
  const char* newline = static_cast<const char*>(std::memchr(start, '\n', size_t(held)));
  if (newline != nullptr) return i32(newline + 1 - start);
  return in->ended ? held : 0;
}

}  // namespace

void InitInputReader(InputReader* in, InputHandle handle) {
  in->handle = handle;
  in->length = in->examined = 0;
  in->held = in->skipping = in->ended = 0;
}

void ReadWaiting(InputReader* in) {
  // Until nothing more is waiting: a last line is whole only once the end of
  // input behind it has been seen.
  while (!in->ended && in->length < InputBufferSize) {
    i32 n = ReadWaitingInput(in->handle, in->data + in->length, InputBufferSize - in->length);
    if (n == 0) return;
    if (n < 0)
      in->ended = 1;
    else
      Append(in, n);
  }
}

bool ReadMore(InputReader* in) {
  if (in->ended || in->length == InputBufferSize) return false;
  i32 n = ReadInput(in->handle, in->data + in->length, InputBufferSize - in->length);
  if (n < 0) {
    in->ended = 1;
    return false;
  }
  Append(in, n);
  return true;
}

i32 PendingLine(const InputReader* in, const char** line) {
  *line = in->data + in->examined;
  return LineSize(in, in->examined);
}

void ConsumeLine(InputReader* in, i32 size) {
  char* at = in->data + in->examined;
  std::memmove(at, at + size, size_t(in->length - in->examined - size));
  in->length -= size;
}

void KeepLine(InputReader* in, i32 size) { in->examined += size; }

bool LineStartsWith(const char* line, i32 size, const char* word) {
  size_t length = std::strlen(word);
  return size_t(size) >= length && std::memcmp(line, word, length) == 0;
}

const char* NextLine(InputReader* in) {
  i32 size;
  while ((size = LineSize(in, 0)) == 0) {
    if (in->ended) return nullptr;
    ReadMore(in);
  }
  std::memcpy(in->line, in->data, size_t(size));
  i32 length = size;
  if (in->line[length - 1] != '\n') in->line[length++] = '\n';  // the last line, cut by the end of input
  // GUIs on Windows may end lines with CR LF; the pair is one newline.
  if (length >= 2 && in->line[length - 2] == '\r') in->line[--length - 1] = '\n';
  in->line[length] = '\0';
  std::memmove(in->data, in->data + size, size_t(in->length - size));
  in->length -= size;
  // The lines still held come after this one: the next search looks at them afresh.
  in->examined = 0;
  in->held = 0;
  return in->line;
}
