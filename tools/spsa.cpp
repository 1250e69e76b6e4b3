// tarvo-spsa: tunes a block of the search constants by games, with
// simultaneous perturbation stochastic approximation as fishtest and
// OpenBench run it.
//
//   tarvo-spsa --engine build-tune/tarvo --block BLOCK --iterations N
//              [--pairs P] [--tc 1+0.01] [--book tools/books/openings.epd]
//              [--concurrency K] [--seed S] [--state FILE] [--log FILE]
//
// BLOCK has one constant a line: "NAME START LOW HIGH C_END R_END" in the UCI
// integers of the tuning build's options (fractional depths in sixteenths);
// '#' starts a comment. Each iteration moves every constant by +-c_k at
// random, plays P game pairs (one opening, both colours) of the build with
// the values moved up against the build with them moved down, and steps the
// values by r_k * c_k * (wins - losses) in the direction that won. The gains
// follow fishtest: c_k = c / k^0.101, a_k = a / (A + k)^0.602 with A a tenth
// of the iterations, chosen so that the last iteration uses C_END and
// R_END = a_end / c_end^2. With --state the values after every iteration are
// written to FILE and a later run with the same FILE goes on from there.
// The final values print as "NAME VALUE" lines, rounded.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board/board.h"
#include "tools/common/args.h"
#include "tools/match/match.h"

namespace {

struct Tuned {
  std::string name;
  double value, low, high, cEnd, rEnd;
};

constexpr double Alpha = 0.602;
constexpr double Gamma = 0.101;

// One line per constant; false after a message naming the line.
bool ReadBlock(const char* path, std::vector<Tuned>* block) {
  FILE* f = std::fopen(path, "r");
  if (f == nullptr) {
    std::fprintf(stderr, "tarvo-spsa: cannot read %s\n", path);
    return false;
  }
  char line[512];
  int number = 0;
  bool ok = true;
  while (ok && std::fgets(line, sizeof line, f) != nullptr) {
    ++number;
    if (char* hash = std::strchr(line, '#')) *hash = '\0';
    char name[128];
    Tuned t;
    char extra;
    const int n = std::sscanf(line, "%127s %lf %lf %lf %lf %lf %c", name, &t.value, &t.low, &t.high, &t.cEnd,
                              &t.rEnd, &extra);
    if (n <= 0) continue;
    if (n != 6 || !(t.low < t.high) || t.value < t.low || t.value > t.high || !(t.cEnd > 0) ||
        !(t.rEnd > 0)) {
      std::fprintf(stderr, "tarvo-spsa: %s:%d: want NAME START LOW HIGH C_END R_END, LOW <= START <= HIGH\n",
                   path, number);
      ok = false;
    } else {
      t.name = name;
      block->push_back(t);
    }
  }
  std::fclose(f);
  if (ok && block->empty()) {
    std::fprintf(stderr, "tarvo-spsa: %s holds no constant\n", path);
    ok = false;
  }
  return ok;
}

// The state file: "iteration K" then "NAME VALUE" lines. Values of names not
// in the block are ignored; a missing file starts at iteration 1.
int ReadState(const char* path, std::vector<Tuned>* block) {
  FILE* f = std::fopen(path, "r");
  if (f == nullptr) return 1;
  int next = 1;
  char name[128];
  double value;
  if (std::fscanf(f, "iteration %d", &next) != 1) next = 1;
  while (std::fscanf(f, "%127s %lf", name, &value) == 2)
    for (Tuned& t : *block)
      if (t.name == name) t.value = value;
  std::fclose(f);
  return next;
}

void WriteState(const char* path, int next, const std::vector<Tuned>& block) {
  const std::string temporary = std::string(path) + ".new";
  FILE* f = std::fopen(temporary.c_str(), "w");
  if (f == nullptr) return;
  std::fprintf(f, "iteration %d\n", next);
  for (const Tuned& t : block) std::fprintf(f, "%s %.4f\n", t.name.c_str(), t.value);
  std::fclose(f);
  std::rename(temporary.c_str(), path);
}

double Clamp(double v, double low, double high) { return v < low ? low : v > high ? high : v; }

int Usage() {
  std::fprintf(stderr,
               "usage: tarvo-spsa --engine PATH --block FILE --iterations N [--pairs P] [--tc B+I]\n"
               "       [--book EPD] [--concurrency K] [--seed S] [--state FILE] [--log FILE]\n");
  return BadArgumentsStatus;
}

}  // namespace

int main(int argc, char** argv) {
  const char* engine = nullptr;
  const char* blockFile = nullptr;
  const char* statePath = nullptr;
  const char* logPath = nullptr;
  std::string book = "tools/books/openings.epd";
  std::string tc = "1+0.01";
  i64 iterations = 0, pairs = 1, concurrency = 2;
  u64 seed = 1;
  ArgReader args = StartArgs("tarvo-spsa", argc, argv);
  while (NextArg(&args)) {
    if (ArgIs(&args, "--engine"))
      engine = ArgText(&args);
    else if (ArgIs(&args, "--block"))
      blockFile = ArgText(&args);
    else if (ArgIs(&args, "--iterations"))
      iterations = ArgInt(&args, 1, 10000000);
    else if (ArgIs(&args, "--pairs"))
      pairs = ArgInt(&args, 1, 1000);
    else if (ArgIs(&args, "--tc"))
      tc = ArgText(&args);
    else if (ArgIs(&args, "--book"))
      book = ArgText(&args);
    else if (ArgIs(&args, "--concurrency"))
      concurrency = ArgInt(&args, 1, 64);
    else if (ArgIs(&args, "--seed"))
      seed = ArgUnsigned(&args, UINT64_MAX);
    else if (ArgIs(&args, "--state"))
      statePath = ArgText(&args);
    else if (ArgIs(&args, "--log"))
      logPath = ArgText(&args);
    else
      UnknownArg(&args);
  }
  if (args.failed) return Usage();
  if (engine == nullptr || blockFile == nullptr || iterations == 0) {
    std::fprintf(stderr, "tarvo-spsa: --engine, --block and --iterations are needed\n");
    return Usage();
  }
  std::vector<Tuned> block;
  if (!ReadBlock(blockFile, &block)) return BadArgumentsStatus;

  // The match settings come from the runner's own reader, so that a time
  // control is written as for tarvo-match.
  const std::string tcArg = "tc=" + tc;
  const std::string cmdArg = std::string("cmd=") + engine;
  const std::string bookArg = "file=" + book;
  std::vector<const char*> matchArgv = {
      "tarvo-match", "-each",     cmdArg.c_str(),  tcArg.c_str(),  "-engine", "name=up", "-engine",
      "name=down",   "-openings", bookArg.c_str(), "order=random", "-repeat", "-quiet"};
  InitBoardTables();
  match::MatchSetup base;
  if (!match::ParseMatchArgs(int(matchArgv.size()), const_cast<char**>(matchArgv.data()), &base))
    return BadArgumentsStatus;
  base.games = 2;
  base.rounds = int(pairs);
  base.concurrency = int(concurrency);

  FILE* log = logPath != nullptr ? std::fopen(logPath, "a") : nullptr;
  FILE* sink = std::fopen("/dev/null", "w");
  int first = statePath != nullptr ? ReadState(statePath, &block) : 1;

  // fishtest's gains: the last iteration perturbs by c_end and steps by r_end.
  const double n = double(iterations);
  const double bigA = 0.1 * n;
  u64 random = seed;
  int totalWins = 0, totalLosses = 0, totalDraws = 0;
  for (int k = first; k <= iterations; ++k) {
    // The perturbation of each constant: c_k = c_end * (n / k)^gamma, a
    // random sign.
    std::vector<double> step(block.size());
    match::MatchSetup setup = base;
    setup.seed = seed * 1000003 + u64(k);
    for (size_t i = 0; i < block.size(); ++i) {
      const Tuned& t = block[i];
      const double ck = t.cEnd * std::pow(n / double(k), Gamma);
      step[i] = (keygen::SplitMix(random) & 1) ? ck : -ck;
      const long up = std::lround(Clamp(t.value + step[i], t.low, t.high));
      const long down = std::lround(Clamp(t.value - step[i], t.low, t.high));
      setup.engines[0].options.push_back({t.name, std::to_string(up)});
      setup.engines[1].options.push_back({t.name, std::to_string(down)});
    }
    const match::MatchReport report = match::RunMatch(setup, sink);
    if (!report.started) {
      std::fprintf(stderr, "tarvo-spsa: the engine could not be started\n");
      return 1;
    }
    const int result = report.tally.wins - report.tally.losses;
    totalWins += report.tally.wins;
    totalLosses += report.tally.losses;
    totalDraws += report.tally.draws;
    // The step towards the winner: a_k / c_k^2 * c_k * result along the
    // perturbation, a_k = r_end * c_end^2 * ((A + n) / (A + k))^alpha.
    for (size_t i = 0; i < block.size(); ++i) {
      Tuned& t = block[i];
      const double ak = t.rEnd * t.cEnd * t.cEnd * std::pow((bigA + n) / (bigA + double(k)), Alpha);
      const double ck = std::fabs(step[i]);
      t.value = Clamp(t.value + ak / (ck * ck) * result * step[i], t.low, t.high);
    }
    if (statePath != nullptr) WriteState(statePath, k + 1, block);
    if (log != nullptr) {
      std::fprintf(log, "iteration %d: +%d -%d =%d", k, report.tally.wins, report.tally.losses,
                   report.tally.draws);
      for (const Tuned& t : block) std::fprintf(log, " %s=%.2f", t.name.c_str(), t.value);
      std::fprintf(log, "\n");
      std::fflush(log);
    }
  }
  std::printf("games %d: up +%d -%d =%d\n", totalWins + totalLosses + totalDraws, totalWins, totalLosses,
              totalDraws);
  for (const Tuned& t : block) std::printf("%s %ld\n", t.name.c_str(), std::lround(t.value));
  if (log != nullptr) std::fclose(log);
  std::fclose(sink);
  return 0;
}
