// tarvo-pipe-relay: starts a program with a Windows anonymous pipe as its
// standard input and copies this process's standard input into that pipe,
// the way a Windows GUI feeds an engine. Under Wine a Unix pipe handed to a
// program directly does not answer PeekNamedPipe; this pipe does.
//
//   tarvo-pipe-relay PROGRAM.exe
//
// The program writes straight to this process's standard output; the exit
// status is the program's.
#include <windows.h>

#include <cstdio>

namespace {

// Copies standard input into the program's pipe until either side closes,
// then closes the pipe so that the program sees the end of its input.
DWORD WINAPI CopyInput(void* pipe) {
  HANDLE feed = pipe;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    DWORD written = 0;
    if (!WriteFile(feed, buffer, got, &written, nullptr)) break;
  }
  CloseHandle(feed);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tarvo-pipe-relay PROGRAM.exe\n");
    return 2;
  }
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE childInput = nullptr;
  HANDLE feed = nullptr;
  if (!CreatePipe(&childInput, &feed, &inherit, 0) || !SetHandleInformation(feed, HANDLE_FLAG_INHERIT, 0)) {
    std::fprintf(stderr, "tarvo-pipe-relay: no pipe (error %lu)\n", GetLastError());
    return 2;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child{};
  if (!CreateProcessA(argv[1], nullptr, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
    std::fprintf(stderr, "tarvo-pipe-relay: cannot start %s (error %lu)\n", argv[1], GetLastError());
    return 2;
  }
  CloseHandle(childInput);
  // The copy runs beside the wait: a program that quits on its own ends the
  // relay even while our input stays open.
  if (CreateThread(nullptr, 0, CopyInput, feed, 0, nullptr) == nullptr) {
    std::fprintf(stderr, "tarvo-pipe-relay: no thread (error %lu)\n", GetLastError());
    TerminateProcess(child.hProcess, 2);
    return 2;
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(child.hProcess, &status);
  return int(status);
}
