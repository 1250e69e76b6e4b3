#include "base/platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

InputHandle StandardInput() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  // Key events only: mouse and window events would crowd the console's queue
  // in which the poll looks for a finished line.
  if (GetConsoleMode(input, &mode))
    SetConsoleMode(input, mode & ~DWORD(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
  return input;
}

namespace {

// Whether the console holds a finished line: an Enter key press among the
// events waiting. The console hands out a line only after Enter, so reading
// before then would block; the events are only peeked at, so nothing typed is
// lost. A line longer than the events looked at is read after the search.
bool ConsoleLineWaiting(HANDLE input) {
  INPUT_RECORD records[512];
  DWORD count = 0;
  if (!PeekConsoleInputW(input, records, 512, &count)) return false;
  for (DWORD i = 0; i < count; ++i) {
    const INPUT_RECORD& r = records[i];
    if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown &&
        r.Event.KeyEvent.wVirtualKeyCode == VK_RETURN)
      return true;
  }
  return false;
}

}  // namespace

i32 ReadWaitingInput(InputHandle handle, char* buffer, i32 capacity) {
  HANDLE input = static_cast<HANDLE>(handle);
  DWORD mode = 0;
  if (GetConsoleMode(input, &mode)) {
    if (!ConsoleLineWaiting(input)) return 0;
  } else if (GetFileType(input) == FILE_TYPE_PIPE) {
    DWORD available = 0;
    if (PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) {
      if (available == 0) return 0;
      if (available < DWORD(capacity)) capacity = i32(available);
    } else if (GetLastError() == ERROR_BROKEN_PIPE) {
      return -1;  // the writer has closed its end
    }
    // Another failure (a pipe the peek does not understand): read, which then
    // waits for input as the only way to receive any.
  }
  // Files and other devices always have their bytes (or their end) at hand.
  return ReadInput(handle, buffer, capacity);
}

i32 ReadInput(InputHandle handle, char* buffer, i32 capacity) {
  DWORD got = 0;
  // A closed pipe fails; a file at its end (or Ctrl+Z in a console) reads nothing.
  if (!ReadFile(static_cast<HANDLE>(handle), buffer, DWORD(capacity), &got, nullptr) || got == 0) return -1;
  return i32(got);
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

u64 PhysicalMemoryMb() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return u64(status.ullTotalPhys) / (1024u * 1024u);
}

void* AllocateLarge(u64 bytes) {
  // Large pages need a privilege few users hold; committed pages come zeroed.
  if (bytes > u64(SIZE_MAX)) return nullptr;
  return VirtualAlloc(nullptr, size_t(bytes), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeLarge(void* memory) {
  if (memory != nullptr) VirtualFree(memory, 0, MEM_RELEASE);
}

u64 PeakMemoryKb() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return u64(counters.PeakWorkingSetSize) / 1024u;
}

#else
#include <errno.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

InputHandle StandardInput() { return 0; }

i32 ReadWaitingInput(InputHandle input, char* buffer, i32 capacity) {
  pollfd fd{input, POLLIN, 0};
  int ready = poll(&fd, 1, 0);
  // A failing query says nothing about the input: try again at the next poll.
  if (ready <= 0) return 0;
  if (fd.revents & POLLNVAL) return -1;  // no standard input at all
  // Readable, or hung up (end of input): either way the read does not block.
  ssize_t n = read(input, buffer, size_t(capacity));
  if (n < 0) return errno == EINTR || errno == EAGAIN ? 0 : -1;
  return n == 0 ? -1 : i32(n);
}

i32 ReadInput(InputHandle input, char* buffer, i32 capacity) {
  for (;;) {
    ssize_t n = read(input, buffer, size_t(capacity));
    if (n > 0) return i32(n);
    if (n == 0) return -1;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // A descriptor left non-blocking by the parent: wait for it instead.
      pollfd fd{input, POLLIN, 0};
      poll(&fd, 1, -1);
    } else if (errno != EINTR) {
      return -1;
    }
  }
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

u64 PhysicalMemoryMb() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return u64(pages) * u64(pageSize) / (1024u * 1024u);
}

void* AllocateLarge(u64 bytes) {
  // Whole 2 MB pages on a 2 MB boundary, so that the kernel can back every
  // page of the range with a large one.
  constexpr u64 LargePage = u64(2) << 20;
  if (bytes > u64(SIZE_MAX) - LargePage) return nullptr;  // the rounding would wrap
  const u64 size = (bytes + LargePage - 1) / LargePage * LargePage;
  void* memory = std::aligned_alloc(size_t(LargePage), size_t(size));
  if (memory == nullptr) return nullptr;
#ifdef MADV_HUGEPAGE
  madvise(memory, size_t(size), MADV_HUGEPAGE);
#endif
  std::memset(memory, 0, size_t(size));
  return memory;
}

void FreeLarge(void* memory) { std::free(memory); }

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
