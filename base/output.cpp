#include "base/output.h"

#include <cstdarg>
#include <cstdio>

namespace {
// The one process-wide output switch; only tools and tests turn it off.
bool outputMuted = false;
}  // namespace

void SetOutputMuted(bool muted) { outputMuted = muted; }

bool OutputMuted() { return outputMuted; }

void Print(const char* format, ...) {
  if (outputMuted) return;
  char buffer[4096];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length < 0) return;
  if (length >= int(sizeof buffer)) length = int(sizeof buffer) - 1;
  fwrite(buffer, 1, size_t(length), stdout);
}
