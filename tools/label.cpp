// tarvo-label: another engine's search score for every line of a data file.
//
//   tarvo-label --in FILE --out FILE --engine COMMAND [--option NAME=VALUE ...]
//               [--nodes N] [--depth D] [--workers W] [--timeout MS] [--resume]
//               [--progress SECONDS]
//
// Each data line is written again with the engine's score (centipawns, White's
// view) in place of its own, its result and game kept; where the engine finds
// a mate or gives no score in time the line keeps no score, so that the tuner
// labels it by its result alone. Other lines are copied. W engines (default 2)
// each take one of W consecutive stretches of FILE, searching with "go nodes N"
// and/or "go depth D", and "ucinewgame" before each game's positions, so a
// game's scores do not depend on the stretch it fell in. Each writes
// OUT.part<w>, line by line; --resume keeps the whole lines of the parts a
// stopped run left (same input and W) and goes on after them. The parts are
// joined into OUT at the end.
#include "tools/data/label.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tools/common/args.h"

namespace {

int Usage() {
  std::fprintf(
      stderr,
      "usage: tarvo-label --in FILE --out FILE --engine COMMAND [--option NAME=VALUE ...]\n"
      "       [--nodes N] [--depth D] [--workers W] [--timeout MS] [--resume] [--progress SECONDS]\n");
  return BadArgumentsStatus;
}

std::string PartName(const std::string& out, int worker) { return out + ".part" + std::to_string(worker); }

// Whole lines of a part a stopped run left; a piece of a line after the last
// newline is cut off.
long long KeepWholeLines(const std::string& name) {
  FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return 0;
  long long lines = 0, bytes = 0, whole = 0;
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    ++bytes;
    if (c == '\n') {
      ++lines;
      whole = bytes;
    }
  }
  std::fclose(file);
  std::error_code ignored;
  std::filesystem::resize_file(name, std::uintmax_t(whole), ignored);
  return lines;
}

struct Worker {
  long long first = 0, count = 0;  // the stretch of input lines
  long long resumed = 0;
  data::LabelCounts counts;
  std::atomic<long long> done{0};
  bool ok = false;
  std::atomic<bool> finished{false};
};

void RunWorker(const std::string& in, const std::string& out, int w, const data::LabelOptions& options,
               bool resume, Worker* worker) {
  FILE* input = std::fopen(in.c_str(), "r");
  if (input == nullptr) {
    worker->finished = true;
    return;
  }
  const std::string part = PartName(out, w);
  worker->resumed = resume ? KeepWholeLines(part) : 0;
  if (worker->resumed > worker->count) worker->resumed = worker->count;
  char line[512];
  for (long long n = 0; n < worker->first + worker->resumed && data::ReadDataLine(input, line); ++n) {
  }
  FILE* output = std::fopen(part.c_str(), resume ? "a" : "w");
  data::Labeller labeller;
  if (output != nullptr && data::StartLabeller(&labeller, options))
    worker->ok = data::LabelLines(&labeller, input, output, worker->count - worker->resumed, &worker->counts,
                                  &worker->done);
  data::StopLabeller(&labeller);
  if (output != nullptr && std::fclose(output) != 0) worker->ok = false;
  std::fclose(input);
  worker->finished = true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string in, out;
  data::LabelOptions options;
  int workers = 2, progressSeconds = 30;
  bool resume = false;
  ArgReader args = StartArgs("tarvo-label", argc, argv);
  while (NextArg(&args)) {
    if (ArgIs(&args, "--in"))
      in = ArgText(&args);
    else if (ArgIs(&args, "--out"))
      out = ArgText(&args);
    else if (ArgIs(&args, "--engine"))
      options.command = ArgText(&args);
    else if (ArgIs(&args, "--option")) {
      const char* setting = ArgText(&args);
      const char* equals = setting != nullptr ? std::strchr(setting, '=') : nullptr;
      if (equals == nullptr || equals == setting)
        FailArgs(&args, "--option wants NAME=VALUE, not \"%s\"", setting != nullptr ? setting : "");
      else
        options.options.push_back({std::string(setting, size_t(equals - setting)), equals + 1});
    } else if (ArgIs(&args, "--nodes"))
      options.nodes = ArgInt(&args, 1, INT64_MAX);
    else if (ArgIs(&args, "--depth"))
      options.depth = i32(ArgInt(&args, 1, 200));
    else if (ArgIs(&args, "--workers"))
      workers = i32(ArgInt(&args, 1, 64));
    else if (ArgIs(&args, "--timeout"))
      options.timeoutMs = i32(ArgInt(&args, 100, 3600000));
    else if (ArgIs(&args, "--resume"))
      resume = true;
    else if (ArgIs(&args, "--progress"))
      progressSeconds = i32(ArgInt(&args, 1, 86400));
    else
      UnknownArg(&args);
  }
  if (args.failed || in.empty() || out.empty() || options.command.empty() ||
      (options.nodes <= 0 && options.depth <= 0))
    return Usage();

  FILE* input = std::fopen(in.c_str(), "r");
  if (input == nullptr) {
    std::fprintf(stderr, "cannot read %s\n", in.c_str());
    return 1;
  }
  long long lines = 0;
  char line[512];
  while (data::ReadDataLine(input, line)) ++lines;
  std::fclose(input);

  std::vector<Worker> stretches(static_cast<size_t>(workers));
  for (int w = 0; w < workers; ++w) {
    stretches[size_t(w)].first = lines * w / workers;
    stretches[size_t(w)].count = lines * (w + 1) / workers - stretches[size_t(w)].first;
  }
  std::vector<std::thread> threads;
  for (int w = 0; w < workers; ++w)
    threads.emplace_back(RunWorker, in, out, w, options, resume, &stretches[size_t(w)]);

  const auto start = std::chrono::steady_clock::now();
  auto lastReport = start;
  for (bool running = true; running;) {
    usleep(200 * 1000);
    running = false;
    for (const Worker& s : stretches) running |= !s.finished;
    const auto now = std::chrono::steady_clock::now();
    if (running && now - lastReport < std::chrono::seconds(progressSeconds)) continue;
    lastReport = now;
    long long done = 0, resumed = 0;
    for (const Worker& s : stretches) done += s.done, resumed += s.resumed;
    const double seconds = std::chrono::duration<double>(now - start).count();
    const double rate = seconds > 0 ? double(done) / seconds : 0;
    std::fprintf(stderr, "lines %lld of %lld, %.1f per second, elapsed %.0f s, left %.0f s\n", done + resumed,
                 lines, rate, seconds, rate > 0 ? double(lines - done - resumed) / rate : 0.0);
  }
  for (std::thread& t : threads) t.join();

  data::LabelCounts counts;
  bool ok = true;
  for (const Worker& s : stretches) {
    counts.scored += s.counts.scored;
    counts.mates += s.counts.mates;
    counts.failed += s.counts.failed;
    counts.copied += s.counts.copied;
    ok &= s.ok;
  }
  std::printf(
      "%lld scored, %lld mates and %lld failed searches (written without a score), %lld other lines "
      "copied\n",
      counts.scored, counts.mates, counts.failed, counts.copied);
  if (!ok) {
    std::fprintf(stderr,
                 "a worker stopped: the engine could not be started, or a part could not be written; "
                 "--resume goes on from the parts\n");
    return 1;
  }
  FILE* output = std::fopen(out.c_str(), "w");
  if (output == nullptr) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    return 1;
  }
  char buffer[1 << 16];
  for (int w = 0; w < workers; ++w) {
    const std::string name = PartName(out, w);
    FILE* part = std::fopen(name.c_str(), "rb");
    if (part == nullptr) return 1;
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, part)) > 0) std::fwrite(buffer, 1, n, output);
    std::fclose(part);
  }
  if (std::fclose(output) != 0) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    return 1;
  }
  for (int w = 0; w < workers; ++w) std::remove(PartName(out, w).c_str());
  return 0;
}
