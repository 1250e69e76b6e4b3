#include "engine/platform.h"

#include <cstdio>

// Depths and converted weights are floats: x87 extended precision would make
// a 32-bit build search differently from the 64-bit one.
static_assert(__FLT_EVAL_METHOD__ == 0, "build 32-bit x86 with -msse2 -mfpmath=sse");

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// After windows.h, whose types it uses.
#include <psapi.h>

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

bool ExecutableDirectory(char* out, int capacity) {
  char path[MAX_PATH * 2];
  const DWORD length = GetModuleFileNameA(nullptr, path, DWORD(sizeof path));
  if (length == 0 || length >= sizeof path) return false;
  char* slash = nullptr;
  for (char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') slash = p;
  if (slash == nullptr) return false;
  *slash = '\0';
  return std::snprintf(out, size_t(capacity), "%s", path) < capacity;
}

u64 PeakMemoryKb() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return u64(counters.PeakWorkingSetSize) / 1024u;
}

#else
#include <poll.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

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

bool ExecutableDirectory(char* out, int capacity) {
#ifdef __linux__
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return false;
  path[length] = '\0';
  char* slash = std::strrchr(path, '/');
  if (slash == nullptr) return false;
  const bool root = slash == path;
  *slash = '\0';
  return std::snprintf(out, size_t(capacity), "%s", root ? "/" : path) < capacity;
#else
  (void)out;
  (void)capacity;
  return false;
#endif
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
