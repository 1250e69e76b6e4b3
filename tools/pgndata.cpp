// tarvo-pgndata: training positions from the games of PGN files.
//
//   tarvo-pgndata --pgn FILE [--pgn FILE ...] --out FILE [--per-game K] [--skip-plies N]
//                 [--seed S] [--first-game N]
//
// Meant for games against other engines (tarvo-match ... -pgnout FILE). Each
// line of FILE is "<FEN> [<result>] game=<N>": the game's result from White's
// view and its number, counted from --first-game (default 0) through all the
// PGN files in order. The positions kept are those tarvo-datagen keeps (not in
// check, no capture or promotion that changes the static score, after the
// first N plies, default 4), at most K of each game (drawn by the seed and
// the game's number). They carry no score: tarvo-label adds one. Games without
// a result, lost by a fault (time, illegal move) or holding an unreadable move
// are counted and left out.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/output.h"
#include "engine/engine.h"
#include "search/state.h"
#include "search/table.h"
#include "tools/common/args.h"
#include "tools/data/pgn.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: tarvo-pgndata --pgn FILE [--pgn FILE ...] --out FILE [--per-game K] [--skip-plies N]\n"
               "       [--seed S] [--first-game N]\n");
  return BadArgumentsStatus;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> inputs;
  const char* outName = nullptr;
  long long number = 0;
  data::ConvertOptions options;
  ArgReader args = StartArgs("tarvo-pgndata", argc, argv);
  while (NextArg(&args)) {
    if (ArgIs(&args, "--pgn"))
      inputs.push_back(ArgText(&args));
    else if (ArgIs(&args, "--out"))
      outName = ArgText(&args);
    else if (ArgIs(&args, "--per-game"))
      options.perGame = i32(ArgInt(&args, 1, 1000));
    else if (ArgIs(&args, "--skip-plies"))
      options.skipPlies = i32(ArgInt(&args, 0, 1000));
    else if (ArgIs(&args, "--seed"))
      options.seed = ArgUnsigned(&args, UINT64_MAX);
    else if (ArgIs(&args, "--first-game"))
      number = ArgInt(&args, 0, INT64_MAX / 2);
    else
      UnknownArg(&args);
  }
  if (args.failed || inputs.empty() || outName == nullptr) return Usage();

  EngineState* engine = NewEngine(BuiltInParameters, DefaultHashMb);
  if (engine == nullptr) return 1;
  engine->session.ignoreInput = 1;
  SetOutputMuted(true);
  FILE* out = std::fopen(outName, "w");
  if (out == nullptr) {
    std::fprintf(stderr, "cannot write %s\n", outName);
    return 1;
  }
  long long converted = 0, positions = 0;
  std::map<std::string, long long> leftOut;  // reason and count
  data::PgnGame game;
  std::vector<tuning::Sample> samples;
  std::string why;
  for (const std::string& input : inputs) {
    FILE* in = std::fopen(input.c_str(), "r");
    if (in == nullptr) {
      std::fprintf(stderr, "cannot read %s\n", input.c_str());
      return 1;
    }
    while (data::ReadPgnGame(in, &game)) {
      if (!data::GameSamples(engine, game, number, options, &samples, &why)) {
        // The move's text differs from game to game; count by the kind of fault.
        ++leftOut[why.compare(0, 5, "move ") == 0 ? "an illegal or unreadable move" : why];
        ++number;
        continue;
      }
      for (const tuning::Sample& s : samples) std::fprintf(out, "%s\n", tuning::FormatDataLine(s).c_str());
      positions += (long long)samples.size();
      ++converted;
      ++number;
    }
    std::fclose(in);
  }
  if (std::fclose(out) != 0) {
    std::fprintf(stderr, "cannot write %s\n", outName);
    return 1;
  }
  std::printf("%lld games, %lld positions written; next game number %lld\n", converted, positions, number);
  for (const auto& [reason, count] : leftOut)
    std::printf("left out: %lld games, %s\n", count, reason.c_str());
  return 0;
}
