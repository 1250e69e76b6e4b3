// Drives the engine binary through a pair of pipes, as a GUI does: lines go
// in one at a time and replies are read with a timeout.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support.h"

class EnginePipe {
 public:
  // Starts the engine in `dir` (which should hold Parameters.txt: see TempDir).
  explicit EnginePipe(const std::string& dir) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      if (chdir(dir.c_str()) != 0) _exit(127);
      execl(TARVO_ENGINE_PATH, TARVO_ENGINE_PATH, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toEngine_ = in[1];
    fromEngine_ = out[0];
    signal(SIGPIPE, SIG_IGN);
  }
  ~EnginePipe() {
    if (toEngine_ >= 0) close(toEngine_);
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (fromEngine_ >= 0) close(fromEngine_);
  }

  void Send(const std::string& line) { SendRaw(line + "\n"); }
  // Exactly these bytes, in one write.
  void SendRaw(const std::string& text) {
    ssize_t ignored = write(toEngine_, text.data(), text.size());
    (void)ignored;
  }
  void CloseInput() {
    close(toEngine_);
    toEngine_ = -1;
  }

  // The next line, or false after `timeoutMs` without one (or at end of output).
  bool ReadLine(std::string* line, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      size_t newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        *line = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        all_.push_back(*line);
        return true;
      }
      int left = int(
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
              .count());
      if (left <= 0) return false;
      pollfd fd{fromEngine_, POLLIN, 0};
      if (poll(&fd, 1, left) <= 0) return false;
      char chunk[4096];
      ssize_t n = read(fromEngine_, chunk, sizeof chunk);
      if (n <= 0) return false;
      buffer_.append(chunk, size_t(n));
    }
  }

  // Reads until a line starting with `prefix`; every line read is kept in Lines().
  bool WaitFor(const std::string& prefix, int timeoutMs, std::string* found = nullptr) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    for (;;) {
      int left = int(
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
              .count());
      if (left <= 0 || !ReadLine(&line, left)) return false;
      if (line.rfind(prefix, 0) == 0) {
        if (found != nullptr) *found = line;
        return true;
      }
    }
  }

  // Exit status after the process ends by itself within `timeoutMs`; -1 if it does not.
  int WaitExit(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(5000);
    }
    return -1;
  }

  const std::vector<std::string>& Lines() const { return all_; }

 private:
  pid_t pid_ = -1;
  int toEngine_ = -1;
  int fromEngine_ = -1;
  bool exited_ = false;
  std::string buffer_;
  std::vector<std::string> all_;
};
