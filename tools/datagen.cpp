// tarvo-datagen: training positions from fast self-play games.
//
//   tarvo-datagen --out FILE [--positions N | --games N] [--nodes N | --depth D]
//                 [--workers W] [--seed S] [--openings EPD] [--random-plies R]
//                 [--skip-plies K] [--per-game K] [--params FILE] [--progress SECONDS]
//
// Each line of FILE is "<FEN> [<result>] <score> game=<N>": the game's result
// from White's view (1.0, 0.5, 0.0), the search score in centipawns, White's
// view, and the game's number in the seed's series. Positions in check,
// positions where a capture or promotion changes the static score, the opening
// plies and mate scores are left out, and each worker writes a position at
// most once; with --per-game K, at most K of a game's remaining positions are
// written, drawn by the seed and the game's number. W worker processes each play every
// W-th game of the seed's series; the output is their parts joined in worker
// order, so a seed and a worker count always give the same file. A run cut
// short leaves FILE.part<w>, holding whole games.
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/output.h"
#include "base/platform.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "search/state.h"
#include "search/table.h"
#include "tools/common/args.h"
#include "tools/tuning/selfplay.h"
#include "tools/tuning/tuning.h"

namespace {

struct Options {
  const char* out = nullptr;
  const char* openings = nullptr;
  const char* params = nullptr;
  long long positions = 0;
  long long games = 0;
  int perGame = -1;  // every position
  int workers = 2;
  int progressSeconds = 10;
};

// What each worker reports to the parent, in shared memory.
struct Counters {
  volatile long long games;
  volatile long long positions;
  volatile int done;
};

int Usage() {
  std::fprintf(stderr,
               "usage: tarvo-datagen --out FILE [--positions N | --games N] [--nodes N | --depth D]\n"
               "       [--workers W] [--seed S] [--openings EPD] [--random-plies R] [--skip-plies K]\n"
               "       [--per-game K] [--params FILE] [--progress SECONDS]\n");
  return 2;
}

std::string PartName(const char* out, int worker) {
  return std::string(out) + ".part" + std::to_string(worker);
}

// One worker: games worker, worker + W, ... until its share is reached.
int RunWorker(EngineState* engine, const Options& options, const tuning::SelfPlayOptions& play, int worker,
              Counters* counters) {
  FILE* file = std::fopen(PartName(options.out, worker).c_str(), "w");
  if (file == nullptr) return 1;
  // Larger than any game's lines and flushed after each game: a part cut
  // short holds whole games.
  std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
  static Position pos;
  tuning::GameRecord game;
  std::unordered_set<u64> seen;
  std::vector<const tuning::KeptPosition*> fresh;
  tuning::Sample line;
  const long long share = (options.positions + options.workers - 1) / options.workers;
  long long kept = 0, played = 0;
  for (u64 index = u64(worker);; index += u64(options.workers)) {
    if (options.games > 0 && index >= u64(options.games)) break;
    if (options.positions > 0 && kept >= share) break;
    if (!tuning::PlayGame(engine, &pos, play, index, &game)) continue;
    fresh.clear();
    for (const tuning::KeptPosition& p : game.positions)
      if (seen.count(p.key) == 0) fresh.push_back(&p);
    for (size_t n : tuning::SampleIndices(fresh.size(), options.perGame, play.seed, index)) {
      if (options.positions > 0 && kept >= share) break;
      const tuning::KeptPosition& p = *fresh[n];
      if (!seen.insert(p.key).second) continue;  // a repetition within the game
      line.fen = p.fen;
      line.result = game.result;
      line.score = p.score;
      line.hasScore = true;
      line.game = i64(index);
      std::fprintf(file, "%s\n", tuning::FormatDataLine(line).c_str());
      ++kept;
    }
    ++played;
    std::fflush(file);
    counters->games = played;
    counters->positions = kept;
  }
  std::fclose(file);
  counters->done = 1;
  return 0;
}

bool JoinParts(const Options& options) {
  FILE* out = std::fopen(options.out, "w");
  if (out == nullptr) return false;
  char buffer[1 << 16];
  for (int w = 0; w < options.workers; ++w) {
    const std::string name = PartName(options.out, w);
    FILE* part = std::fopen(name.c_str(), "r");
    if (part == nullptr) return false;
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, part)) > 0) std::fwrite(buffer, 1, n, out);
    std::fclose(part);
    std::remove(name.c_str());
  }
  return std::fclose(out) == 0;
}

// Numbers of a parameter file, or false with a message.
bool ReadNumbers(const char* fileName, std::vector<double>* numbers) {
  FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "cannot read %s\n", fileName);
    return false;
  }
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  static NumberList list;
  list.count = 0;
  ParseNumbers(&list, text.c_str(), text.size());
  if (list.count < ParameterCount) {
    std::fprintf(stderr, "%s holds %d numbers, %d needed\n", fileName, list.count, ParameterCount);
    return false;
  }
  numbers->assign(list.values, list.values + ParameterCount);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  tuning::SelfPlayOptions play;
  ArgReader args = StartArgs("tarvo-datagen", argc, argv);
  while (NextArg(&args)) {
    if (ArgIs(&args, "--out"))
      options.out = ArgText(&args);
    else if (ArgIs(&args, "--positions"))
      options.positions = ArgInt(&args, 1, INT64_MAX);
    else if (ArgIs(&args, "--games"))
      options.games = ArgInt(&args, 1, INT64_MAX);
    else if (ArgIs(&args, "--nodes"))
      play.nodes = i32(ArgInt(&args, 1, INT32_MAX));
    else if (ArgIs(&args, "--depth"))
      play.depth = i32(ArgInt(&args, 1, MaxPly - 1));
    else if (ArgIs(&args, "--workers"))
      options.workers = i32(ArgInt(&args, 1, 64));
    else if (ArgIs(&args, "--seed"))
      play.seed = ArgUnsigned(&args, UINT64_MAX);
    else if (ArgIs(&args, "--openings"))
      options.openings = ArgText(&args);
    else if (ArgIs(&args, "--random-plies"))
      play.randomPlies = i32(ArgInt(&args, 0, 200));
    else if (ArgIs(&args, "--skip-plies"))
      play.skipPlies = i32(ArgInt(&args, 0, 1000));
    else if (ArgIs(&args, "--per-game"))
      options.perGame = i32(ArgInt(&args, 1, 1000));
    else if (ArgIs(&args, "--params"))
      options.params = ArgText(&args);
    else if (ArgIs(&args, "--progress"))
      options.progressSeconds = i32(ArgInt(&args, 1, 86400));
    else
      UnknownArg(&args);
  }
  if (args.failed) return Usage();
  if (options.out == nullptr || (options.positions <= 0 && options.games <= 0) ||
      (play.depth <= 0 && play.nodes <= 0))
    return Usage();

  std::vector<std::string> openings;
  if (options.openings != nullptr) {
    openings = tuning::ReadOpenings(options.openings);
    if (openings.empty()) {
      std::fprintf(stderr, "no positions in %s\n", options.openings);
      return 1;
    }
    play.openings = &openings;
  }

  // One engine, built before the workers are forked: each gets its own copy.
  EngineState* engine = NewEngine(BuiltInParameters, DefaultHashMb);
  if (engine == nullptr) return 1;
  if (options.params != nullptr) {
    std::vector<double> numbers;
    if (!ReadNumbers(options.params, &numbers)) return 1;
    tuning::ApplyNumbers(engine, numbers.data());
  }
  engine->session.ignoreInput = 1;
  SetOutputMuted(true);

  auto* counters = static_cast<Counters*>(mmap(nullptr, sizeof(Counters) * size_t(options.workers),
                                               PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  if (counters == MAP_FAILED) return 1;
  std::memset(counters, 0, sizeof(Counters) * size_t(options.workers));
  std::fflush(nullptr);
  std::vector<pid_t> children;
  for (int w = 0; w < options.workers; ++w) {
    const pid_t pid = fork();
    if (pid < 0) {
      std::perror("fork");
      return 1;
    }
    if (pid == 0) _exit(RunWorker(engine, options, play, w, &counters[w]));
    children.push_back(pid);
  }

  const u32 start = TickCount();
  int running = options.workers, failed = 0;
  u32 lastReport = start;
  while (running > 0) {
    usleep(200 * 1000);
    for (pid_t& pid : children) {
      int status = 0;
      if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
        pid = 0;
        --running;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
      }
    }
    const u32 now = TickCount();
    if (ElapsedMs(now, lastReport) < options.progressSeconds * 1000 && running > 0) continue;
    lastReport = now;
    long long games = 0, positions = 0;
    for (int w = 0; w < options.workers; ++w) {
      games += counters[w].games;
      positions += counters[w].positions;
    }
    const double seconds = ElapsedMs(now, start) / 1000.0;
    const double rate = seconds > 0 ? positions / seconds : 0;
    char left[48] = "-";
    if (options.positions > 0 && rate > 0)
      std::snprintf(left, sizeof left, "%.0f s", (options.positions - positions) / rate);
    else if (options.games > 0 && games > 0)
      std::snprintf(left, sizeof left, "%.0f s", double(options.games - games) * seconds / double(games));
    std::fprintf(stderr,
                 "games %lld positions %lld (%.1f per game) %.1f positions/s elapsed %.0f s left %s\n", games,
                 positions, games > 0 ? double(positions) / double(games) : 0.0, rate, seconds, left);
  }
  if (failed > 0) {
    std::fprintf(stderr, "%d worker(s) failed\n", failed);
    return 1;
  }
  if (!JoinParts(options)) {
    std::fprintf(stderr, "cannot write %s\n", options.out);
    return 1;
  }
  return 0;
}
