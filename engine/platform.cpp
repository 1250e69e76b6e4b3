#include "engine/platform.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>

bool InputWaiting() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(input, &mode)) {
    // Interactive console: only key events matter, and a lone pending event is
    // the console's own noise rather than a typed line.
    SetConsoleMode(input, mode & ~DWORD(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
    FlushConsoleInputBuffer(input);
    DWORD events = 0;
    GetNumberOfConsoleInputEvents(input, &events);
    return events > 1;
  }
  DWORD available = 0;
  if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) return true;
  return available > 0;
}

u32 TickCount() { return u32(GetTickCount()); }

u64 PeakMemoryKb() { return 0; }

#else
#include <poll.h>
#include <sys/resource.h>
#include <time.h>

bool InputWaiting() {
  pollfd fd{0, POLLIN, 0};
  int ready = poll(&fd, 1, 0);
  if (ready < 0) return true;
  // End of input shows as POLLHUP; the caller's read then sees it.
  return ready > 0 && (fd.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

u32 TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return u32(u64(now.tv_sec) * 1000u + u64(now.tv_nsec) / 1000000u);
}

u64 PeakMemoryKb() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return u64(usage.ru_maxrss);
}
#endif

void SetUnbufferedStreams() {
  setvbuf(stdin, nullptr, _IONBF, 0);
  setvbuf(stdout, nullptr, _IONBF, 0);
}
