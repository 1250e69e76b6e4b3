// tarvo-tune: fits the 125 numbers of a parameter file to labelled positions.
//
//   tarvo-tune --data FILE [--data FILE ...] --params START.txt --out TUNED.txt [--k K]
//              [--lambda L] [--score-k K] [--rounds N] [--steps N] [--rate R] [--trust T]
//              [--limit POSITIONS] [--quiet]
//
// The data files have one position a line, "<FEN> [<result>] [score] [game=N]"
// (as tarvo-datagen, tarvo-pgndata and tarvo-label write them); a position
// given twice is kept once, from the first file and line. With --lambda L
// below 1 the label is L times the result plus 1 - L times the curve of the
// search score, on the evaluation's curve, or with --score-k on one of its
// own (0: fitted to the training set). K of the curve
// 1 / (1 + 10^(-K s / 400)) is fitted first with the starting numbers (unless
// given); then every round measures how each number moves each position's
// score, fits that linear model with Adam, and keeps the move when the true
// error falls. Every tenth game is held out (every tenth block of 64 lines in
// a file that names no games): the output (in the starting file's layout) is
// rewritten after every round that lowers the held-out error too, two rounds
// in a row that raise it end the run, and at the end it holds the numbers with
// the lowest held-out error. To resume a stopped run, start again from the
// last file written, with the K printed at the start.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/output.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "search/state.h"
#include "search/table.h"
#include "tools/common/args.h"
#include "tools/tuning/tuner.h"
#include "tools/tuning/tuning.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: tarvo-tune --data FILE [--data FILE ...] --params START.txt --out TUNED.txt [--k K]\n"
               "       [--lambda L] [--score-k K] [--rounds N] [--steps N] [--rate R] [--trust T] [--limit "
               "POSITIONS]\n"
               "       [--quiet]\n");
  return 2;
}

bool ReadText(const char* fileName, std::string* text) {
  FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return false;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, n);
  std::fclose(file);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> data;
  const char* params = nullptr;
  long long limit = 0;
  tuning::TuneOptions options;
  ArgReader args = StartArgs("tarvo-tune", argc, argv);
  while (NextArg(&args)) {
    if (ArgIs(&args, "--quiet"))
      options.verbose = false;
    else if (ArgIs(&args, "--data"))
      data.push_back(ArgText(&args));
    else if (ArgIs(&args, "--params"))
      params = ArgText(&args);
    else if (ArgIs(&args, "--out"))
      options.outFile = ArgText(&args);
    else if (ArgIs(&args, "--k"))
      options.k = ArgReal(&args, 0.0, 100.0);
    else if (ArgIs(&args, "--lambda"))
      options.lambda = ArgReal(&args, 0.0, 1.0);
    else if (ArgIs(&args, "--score-k"))
      options.scoreK = ArgReal(&args, 0.0, 100.0);
    else if (ArgIs(&args, "--rounds"))
      options.rounds = i32(ArgInt(&args, 0, 1000000));
    else if (ArgIs(&args, "--steps"))
      options.adamSteps = i32(ArgInt(&args, 1, 100000000));
    else if (ArgIs(&args, "--rate"))
      options.learningRate = ArgReal(&args, 0.0, 1e6);
    else if (ArgIs(&args, "--trust"))
      options.trust = ArgReal(&args, 0.0, 1e6);
    else if (ArgIs(&args, "--limit"))
      limit = ArgInt(&args, 0, INT64_MAX);
    else
      UnknownArg(&args);
  }
  if (args.failed) return Usage();
  if (data.empty() || params == nullptr || options.outFile.empty()) return Usage();

  if (!ReadText(params, &options.layout)) {
    std::fprintf(stderr, "cannot read %s\n", params);
    return 1;
  }
  std::vector<tuning::NumberToken> tokens;
  std::string error;
  if (!tuning::ScanNumberTokens(options.layout, &tokens, &error) || tokens.size() < size_t(ParameterCount)) {
    std::fprintf(stderr, "%s: %s\n", params, error.empty() ? "fewer than 125 numbers" : error.c_str());
    return 1;
  }
  std::vector<double> numbers(ParameterCount);
  for (int k = 0; k < ParameterCount; ++k) numbers[size_t(k)] = tokens[size_t(k)].value;

  EngineState* engine = NewEngine(BuiltInParameters, DefaultHashMb);
  if (engine == nullptr) return 1;
  engine->session.ignoreInput = 1;
  SetOutputMuted(true);

  tuning::DataSet train, holdout;
  tuning::LoadCounts counts;
  if (!tuning::LoadDataSet(data, &train, &holdout, limit, &counts, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf(
      "%zu training and %zu held-out positions (%lld and %lld games, %lld positions of no game), "
      "%lld duplicates dropped, %lld lines skipped\n",
      train.positions.size(), holdout.positions.size(), counts.trainGames, counts.holdoutGames,
      counts.unnamed, counts.duplicates, counts.skipped);
  if (train.positions.empty() || holdout.positions.empty()) {
    std::fprintf(stderr, "not enough positions\n");
    return 1;
  }

  tuning::TuneReport report;
  if (!tuning::Tune(engine, train, holdout, numbers.data(), options, &report)) return 1;
  std::printf(
      "done: K %.4f, training error %.7f -> %.7f, held-out %.7f -> %.7f, %d passes of %.3f s, last Jacobian "
      "%.1f s\n",
      report.k, report.startError, report.finalError, report.startHoldout, report.finalHoldout, report.passes,
      report.secondsPerPass, report.secondsPerJacobian);
  return 0;
}
