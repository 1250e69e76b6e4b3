#include "tools/match/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace match {

struct TrafficLog {
  FILE* file;
  std::mutex lock;
  Clock::time_point start;
};

TrafficLog* OpenTrafficLog(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "we");
  if (file == nullptr) return nullptr;
  return new TrafficLog{file, {}, Clock::now()};
}

void CloseTrafficLog(TrafficLog* log) {
  if (log == nullptr) return;
  std::fclose(log->file);
  delete log;
}

namespace {

void Log(EngineProcess* e, const char* direction, const char* text, size_t length) {
  if (e->log == nullptr) return;
  const long long ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - e->log->start).count();
  std::lock_guard<std::mutex> hold(e->log->lock);
  std::fprintf(e->log->file, "%9lld %s %s ", ms, e->name.c_str(), direction);
  std::fwrite(text, 1, length, e->log->file);
  std::fputc('\n', e->log->file);
}

int MillisecondsTo(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return left > INT_MAX ? INT_MAX : int(left) + 1;
}

bool StartsWithWord(const std::string& line, const char* word) {
  const size_t n = std::strlen(word);
  return line.compare(0, n, word) == 0 && (line.size() == n || line[n] == ' ' || line[n] == '\t');
}

// Takes in one complete line: only the few kinds the runner acts on.
void TakeLine(EngineProcess* e, const std::string& line, Clock::time_point at) {
  Log(e, "<", line.data(), line.size());
  if (StartsWithWord(line, "bestmove")) {
    e->bestmoveSeen = true;
    e->bestmoveLine = line;
    e->bestmoveAt = at;
  } else if (StartsWithWord(line, "info")) {
    const size_t score = line.find(" score ");
    if (score == std::string::npos) return;
    int value = 0;
    if (std::sscanf(line.c_str() + score, " score cp %d", &value) == 1) {
      e->hasScore = true;
      e->score = value;
    } else if (std::sscanf(line.c_str() + score, " score mate %d", &value) == 1) {
      e->hasScore = true;
      e->score = value > 0 ? 30000 - value : -30000 - value;
    }
  } else if (line == "uciok") {
    e->uciok = true;
  } else if (line == "readyok") {
    e->readyok = true;
  } else if (StartsWithWord(line, "id") && line.compare(0, 8, "id name ") == 0) {
    e->idName = line.substr(8, 200);
  }
}

// Reads what is there (the descriptor is readable) and splits it into lines.
void ReadAvailable(EngineProcess* e) {
  char buffer[16384];
  const ssize_t n = read(e->fromEngine, buffer, sizeof buffer);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) {
    e->alive = false;  // the pipe closed: the engine ended
    return;
  }
  const Clock::time_point at = Clock::now();
  for (ssize_t i = 0; i < n; ++i) {
    const char c = buffer[i];
    if (c == '\n') {
      if (!e->skipping) {
        if (!e->pending.empty() && e->pending.back() == '\r') e->pending.pop_back();
        TakeLine(e, e->pending, at);
      }
      e->pending.clear();
      e->skipping = false;
    } else if (!e->skipping) {
      e->pending.push_back(c);
      if (e->pending.size() > MaxLineLength) {
        Log(e, "< (dropped, too long)", e->pending.data(), 80);
        e->pending.clear();
        e->skipping = true;
      }
    }
  }
}

}  // namespace

bool StartEngine(EngineProcess* e) {
  std::vector<std::string> words;
  for (size_t at = 0; at < e->command.size();) {
    const size_t begin = e->command.find_first_not_of(" \t", at);
    if (begin == std::string::npos) break;
    const size_t end = e->command.find_first_of(" \t", begin);
    words.push_back(e->command.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
    at = end == std::string::npos ? e->command.size() : end;
  }
  if (words.empty()) return false;
  // A relative path names a file from here, not from the engine's folder.
  if (words[0].find('/') != std::string::npos && words[0][0] != '/') {
    char resolved[PATH_MAX];
    if (realpath(words[0].c_str(), resolved) != nullptr) words[0] = resolved;
  }
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  int in[2], out[2];
  // Close-on-exec, so that no other engine inherits these ends and keeps a
  // pipe open after this engine has gone.
  if (pipe2(in, O_CLOEXEC) != 0) return false;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]), close(in[1]);
    return false;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    close(in[0]), close(in[1]), close(out[0]), close(out[1]);
    return false;
  }
  if (pid == 0) {
    // A group of its own: a kill reaches whatever the engine started.
    setpgid(0, 0);
    dup2(in[0], 0);
    dup2(out[1], 1);
    if (!e->dir.empty() && chdir(e->dir.c_str()) != 0) _exit(127);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  setpgid(pid, pid);
  close(in[0]);
  close(out[1]);
  fcntl(in[1], F_SETFL, O_NONBLOCK);
  fcntl(out[0], F_SETFL, O_NONBLOCK);
  e->pid = pid;
  e->toEngine = in[1];
  e->fromEngine = out[0];
  e->alive = true;
  e->pending.clear();
  e->skipping = false;
  e->uciok = e->readyok = false;
  ExpectBestmove(e);
  return true;
}

bool SendLine(EngineProcess* e, const std::string& line, Clock::time_point deadline) {
  if (!e->alive) return false;
  Log(e, ">", line.data(), line.size());
  const std::string text = line + "\n";
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = write(e->toEngine, text.data() + sent, text.size() - sent);
    if (n > 0) {
      sent += size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      e->alive = false;  // EPIPE: it has gone
      return false;
    }
    // The pipe is full: the engine does not read. Wait for room, or give up.
    pollfd p{e->toEngine, POLLOUT, 0};
    const int wait = MillisecondsTo(deadline);
    if (wait == 0 || poll(&p, 1, wait) <= 0) return false;
  }
  return true;
}

bool WaitFor(EngineProcess* e, bool EngineProcess::*done, Clock::time_point deadline, EngineProcess* also) {
  for (;;) {
    if (e->*done) return true;
    if (!e->alive) return false;
    const int wait = MillisecondsTo(deadline);
    if (wait == 0) return false;
    pollfd fds[2] = {{e->fromEngine, POLLIN, 0}, {-1, POLLIN, 0}};
    const int count = also != nullptr && also->alive ? 2 : 1;
    if (count == 2) fds[1].fd = also->fromEngine;
    const int ready = poll(fds, nfds_t(count), wait);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    if (fds[0].revents) ReadAvailable(e);
    if (count == 2 && fds[1].revents) ReadAvailable(also);
  }
}

bool Handshake(EngineProcess* e, const std::vector<std::string>& setup, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  if (!SendLine(e, "uci", deadline) || !WaitFor(e, &EngineProcess::uciok, deadline)) return false;
  for (const std::string& line : setup)
    if (!SendLine(e, line, deadline)) return false;
  e->readyok = false;
  return SendLine(e, "isready", deadline) && WaitFor(e, &EngineProcess::readyok, deadline);
}

void ExpectBestmove(EngineProcess* e) {
  e->bestmoveSeen = false;
  e->bestmoveLine.clear();
  e->hasScore = false;
  e->score = 0;
}

void KillEngine(EngineProcess* e) {
  if (e->pid > 0) {
    kill(-e->pid, SIGKILL);
    kill(e->pid, SIGKILL);
    while (waitpid(e->pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (e->toEngine >= 0) close(e->toEngine);
  if (e->fromEngine >= 0) close(e->fromEngine);
  e->pid = -1;
  e->toEngine = e->fromEngine = -1;
  e->alive = false;
}

void StopEngine(EngineProcess* e) {
  if (e->pid <= 0) return;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(1000);
  if (SendLine(e, "quit", deadline)) {
    // Wait for the pipe to close (its output is drained meanwhile), then reap.
    while (e->alive && MillisecondsTo(deadline) > 0) {
      pollfd p{e->fromEngine, POLLIN, 0};
      if (poll(&p, 1, MillisecondsTo(deadline)) > 0) ReadAvailable(e);
    }
    if (!e->alive) {
      for (int i = 0; i < 100; ++i) {
        if (waitpid(e->pid, nullptr, WNOHANG) == e->pid) {
          e->pid = -1;
          break;
        }
        usleep(10000);
      }
    }
  }
  KillEngine(e);
}

}  // namespace match
