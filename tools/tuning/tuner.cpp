#include "tools/tuning/tuner.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "search/state.h"
#include "tools/tuning/tuning.h"

namespace tuning {

namespace {

// Lines per block of a file without game numbers; every tenth block is held out.
constexpr int HoldoutBlock = 64;

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A position to evaluate: the packed fields, no history.
Position* Scratch() {
  static Position pos;
  return &pos;
}

}  // namespace

void AddPosition(DataSet* set, const Position* pos, double result, float searchScore) {
  PackedPosition packed;
  std::memcpy(packed.bytes, pos, PackedPositionSize);
  set->positions.push_back(packed);
  set->results.push_back(float(result));
  set->searchScores.push_back(searchScore);
}

bool LoadDataSet(const std::vector<std::string>& fileNames, DataSet* train, DataSet* holdout, long long limit,
                 LoadCounts* counts, std::string* error) {
  *counts = LoadCounts{};
  std::unordered_set<u64> seen;
  char line[512];
  Sample sample;
  Position* pos = Scratch();
  for (size_t f = 0; f < fileNames.size(); ++f) {
    FILE* file = std::fopen(fileNames[f].c_str(), "r");
    if (file == nullptr) {
      *error = "cannot read " + fileNames[f];
      return false;
    }
    long long unnamed = 0;                // lines of this file without a game
    std::unordered_set<long long> games;  // numbers are the file's own
    while (std::fgets(line, sizeof line, file) != nullptr && (limit <= 0 || counts->positions < limit)) {
      if (!ParseDataLine(line, &sample) || !LoadFen(pos, sample.fen.c_str())) {
        ++counts->skipped;
        continue;
      }
      if (!seen.insert(pos->key).second) {
        ++counts->duplicates;
        continue;
      }
      bool held;
      if (sample.game >= 0) {
        held = sample.game % 10 == 9;
        if (games.insert(sample.game).second) ++(held ? counts->holdoutGames : counts->trainGames);
      } else {
        held = (unnamed / HoldoutBlock) % 10 == 9;
        ++unnamed;
        ++counts->unnamed;
      }
      pos->historyCount = 0;
      AddPosition(held ? holdout : train, pos, sample.result, sample.hasScore ? float(sample.score) : NAN);
      ++counts->positions;
    }
    std::fclose(file);
  }
  return true;
}

void ScorePass(EngineState* engine, const DataSet& set, std::vector<float>* scores) {
  Position* pos = Scratch();
  pos->historyCount = 0;
  scores->resize(set.positions.size());
  for (size_t n = 0; n < set.positions.size(); ++n) {
    std::memcpy(pos, set.positions[n].bytes, PackedPositionSize);
    (*scores)[n] = float(StaticScoreWhite(engine, pos));
  }
}

void RoundNumbers(double* numbers, const int* decimals) {
  for (int k = 0; k < ParameterCount; ++k) {
    const double scale = std::pow(10.0, decimals[k]);
    numbers[k] = std::round(numbers[k] * scale) / scale;
  }
}

bool LayoutDecimals(const std::string& layout, std::vector<int>* decimals, std::string* error) {
  std::vector<NumberToken> tokens;
  if (!ScanNumberTokens(layout, &tokens, error)) return false;
  if (tokens.size() < size_t(ParameterCount)) {
    *error = "the layout holds " + std::to_string(tokens.size()) + " numbers, " +
             std::to_string(ParameterCount) + " needed";
    return false;
  }
  decimals->resize(ParameterCount);
  for (int k = 0; k < ParameterCount; ++k) (*decimals)[k] = WrittenDecimals(k, tokens[size_t(k)].decimals);
  return true;
}

bool WriteParameterFile(const std::string& fileName, const std::string& layout, const double* numbers,
                        std::string* error) {
  std::vector<NumberToken> tokens;
  std::vector<int> decimals;
  if (!ScanNumberTokens(layout, &tokens, error) || !LayoutDecimals(layout, &decimals, error)) return false;
  const std::string text = RewriteNumbers(layout, tokens, numbers, decimals.data());
  // Written beside the target and renamed, so that a stopped run never leaves half a file.
  const std::string temporary = fileName + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size() ||
      std::fclose(file) != 0 || std::rename(temporary.c_str(), fileName.c_str()) != 0) {
    *error = "cannot write " + fileName;
    return false;
  }
  return true;
}

namespace {

// The state of one tuning run: the data, the curve and the bookkeeping of passes.
struct Run {
  EngineState* engine;
  const DataSet* train;
  const DataSet* holdout;
  const TuneOptions* options;
  std::vector<float> trainLabels, holdoutLabels;
  double k;
  int passes;
  double passSeconds;
  double lastError;
};

// A training pass under `numbers`; prints the pass line with `label`.
double TrainPass(Run* run, const double* numbers, std::vector<float>* scores, const char* label) {
  const double start = Now();
  ApplyNumbers(run->engine, numbers);
  ScorePass(run->engine, *run->train, scores);
  const double seconds = Now() - start;
  const double error = MeanSquaredError(*scores, run->trainLabels, run->k);
  ++run->passes;
  run->passSeconds += seconds;
  if (label != nullptr)
    std::fprintf(run->options->log, "pass %d %-40s error %.7f change %+.7f %.2f s\n", run->passes, label,
                 error, error - run->lastError, seconds);
  return error;
}

double HoldoutError(Run* run) {
  std::vector<float> scores;
  ScorePass(run->engine, *run->holdout, &scores);
  return MeanSquaredError(scores, run->holdoutLabels, run->k);
}

// The linear model of one round: score(u) = base + D u, u in units of each
// number's step (taken in the direction `direction`).
struct Linear {
  std::vector<int> columns;  // the tuned numbers
  std::vector<i16> d;        // [position][column]: score change for one step
  std::vector<float> base;
};

// Finite differences: one pass per tuned number.
void Linearise(Run* run, const double* x, const double* direction, const std::vector<float>& base,
               Linear* model) {
  const size_t count = run->train->positions.size();
  const size_t width = model->columns.size();
  model->base = base;
  model->d.assign(count * width, 0);
  std::vector<double> probe(x, x + ParameterCount);
  std::vector<float> scores;
  for (size_t c = 0; c < width; ++c) {
    const int k = model->columns[c];
    probe[size_t(k)] = x[k] + direction[k] * Ranges[k].step;
    char label[64];
    std::snprintf(label, sizeof label, "d %s %+g", Ranges[k].name, direction[k] * Ranges[k].step);
    TrainPass(run, probe.data(), &scores, run->options->verbose ? label : nullptr);
    probe[size_t(k)] = x[k];
    for (size_t n = 0; n < count; ++n) {
      float diff = scores[n] - base[n];
      diff = diff > 32767 ? 32767 : diff < -32767 ? -32767 : diff;
      model->d[n * width + c] = i16(diff);
    }
  }
}

// Adam on the linear model; u starts at 0 and stays inside [low, high].
double Optimise(const Run& run, const Linear& model, const std::vector<double>& low,
                const std::vector<double>& high, std::vector<double>* u) {
  const size_t count = run.train->positions.size();
  const size_t width = model.columns.size();
  const double scale = run.k * std::log(10.0) / 400.0;
  std::vector<double> m(width, 0), v(width, 0), g(width);
  std::vector<float> uf(width), gf(width, 0.0f);
  const double beta1 = 0.9, beta2 = 0.999;
  double error = 0, checkpoint = 0;
  const double start = Now();
  u->assign(width, 0);
  for (int step = 1; step <= run.options->adamSteps; ++step) {
    for (size_t c = 0; c < width; ++c) uf[c] = float((*u)[c]);
    std::fill(g.begin(), g.end(), 0.0);
    std::fill(gf.begin(), gf.end(), 0.0f);
    double sum = 0;
    for (size_t n = 0; n < count; ++n) {
      // Float partial sums over blocks, gathered in double.
      if (n % 4096 == 0) {
        for (size_t c = 0; c < width; ++c) g[c] += gf[c];
        std::fill(gf.begin(), gf.end(), 0.0f);
      }
      const i16* row = &model.d[n * width];
      float s = model.base[n];
      for (size_t c = 0; c < width; ++c) s += float(row[c]) * uf[c];
      const double e = 1.0 / (1.0 + std::exp(-scale * s));
      const double r = e - run.trainLabels[n];
      sum += r * r;
      const float weight = float(2 * r * e * (1 - e) * scale);
      if (weight == 0) continue;
      for (size_t c = 0; c < width; ++c) gf[c] += weight * float(row[c]);
    }
    error = sum / double(count);
    for (size_t c = 0; c < width; ++c) g[c] = (g[c] + gf[c]) / double(count);
    for (size_t c = 0; c < width; ++c) {
      m[c] = beta1 * m[c] + (1 - beta1) * g[c];
      v[c] = beta2 * v[c] + (1 - beta2) * g[c] * g[c];
      const double mh = m[c] / (1 - std::pow(beta1, step)), vh = v[c] / (1 - std::pow(beta2, step));
      double next = (*u)[c] - run.options->learningRate * mh / (std::sqrt(vh) + 1e-15);
      next = next < low[c] ? low[c] : next > high[c] ? high[c] : next;
      (*u)[c] = next;
    }
    if (step % 100 == 0 || step == 1)
      std::fprintf(run.options->log, "  adam step %d linear-model error %.7f %.3f s per step\n", step, error,
                   (Now() - start) / step);
    // Settled: the model's error no longer moves.
    if (step % 50 == 0) {
      if (step > 50 && checkpoint - error < 1e-9) {
        std::fprintf(run.options->log, "  adam step %d linear-model error %.7f (settled)\n", step, error);
        break;
      }
      checkpoint = error;
    }
  }
  return error;
}

}  // namespace

bool Tune(EngineState* engine, const DataSet& train, const DataSet& holdout, double* numbers,
          const TuneOptions& options, TuneReport* report) {
  std::vector<int> decimals;
  std::string error;
  if (!LayoutDecimals(options.layout, &decimals, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  Run run{engine, &train, &holdout, &options, train.results, holdout.results, options.k, 0, 0, 0};
  double given[ParameterCount];
  std::memcpy(given, numbers, sizeof given);
  Project(numbers);
  RoundNumbers(numbers, decimals.data());
  Project(numbers);
  for (int k = 0; k < ParameterCount; ++k)
    if (numbers[k] != given[k])
      std::fprintf(options.log, "start: number %d (%s) moved from %g to %g to fit its range and precision\n",
                   k + 1, Ranges[k].name, given[k], numbers[k]);

  std::vector<float> scores;
  ApplyNumbers(engine, numbers);
  ScorePass(engine, train, &scores);
  if (run.k <= 0) run.k = FitK(scores, train.results);
  report->k = run.k;
  std::fprintf(options.log, "K %.4f\n", run.k);
  if (options.lambda < 1) {
    double scoreK = options.scoreK < 0 ? run.k : options.scoreK;
    if (scoreK == 0) {
      std::vector<float> searched, results;
      for (size_t n = 0; n < train.positions.size(); ++n)
        if (!std::isnan(train.searchScores[n])) {
          searched.push_back(train.searchScores[n]);
          results.push_back(train.results[n]);
        }
      scoreK = searched.empty() ? run.k : FitK(searched, results);
    }
    // Blended labels: the result and the search score's curve.
    auto blend = [&](const DataSet& set, std::vector<float>* labels) {
      for (size_t n = 0; n < labels->size(); ++n)
        if (!std::isnan(set.searchScores[n]))
          (*labels)[n] = float(options.lambda * set.results[n] +
                               (1 - options.lambda) * Expected(set.searchScores[n], scoreK));
    };
    blend(train, &run.trainLabels);
    blend(holdout, &run.holdoutLabels);
    std::fprintf(options.log, "labels: %.2f of the result, %.2f of the search score's curve (K %.4f)\n",
                 options.lambda, 1 - options.lambda, scoreK);
  }
  double current = TrainPass(&run, numbers, &scores, "start");
  run.lastError = current;
  double currentHoldout = HoldoutError(&run);
  report->startError = current;
  report->startHoldout = currentHoldout;
  std::fprintf(options.log, "start: training error %.7f, held-out error %.7f (%zu and %zu positions)\n",
               current, currentHoldout, train.positions.size(), holdout.positions.size());

  double best[ParameterCount];
  std::memcpy(best, numbers, sizeof best);
  double bestHoldout = currentHoldout;
  double bestError = current;
  int holdoutRises = 0;

  Linear model;
  for (int k = 0; k < ParameterCount; ++k)
    if (Ranges[k].tuned) model.columns.push_back(k);
  const size_t width = model.columns.size();
  double trust = options.trust;
  report->secondsPerJacobian = 0;

  double direction[ParameterCount];
  bool moved = true;  // the Jacobian of the last round still holds while the point stays
  for (int round = 1; round <= options.rounds; ++round) {
    // Each step goes towards the inside of the range.
    std::vector<double> low(width), high(width);
    for (size_t c = 0; c < width; ++c) {
      const int k = model.columns[c];
      if (moved) direction[k] = numbers[k] + Ranges[k].step <= Ranges[k].high ? 1 : -1;
      const double a = (Ranges[k].low - numbers[k]) / (direction[k] * Ranges[k].step);
      const double b = (Ranges[k].high - numbers[k]) / (direction[k] * Ranges[k].step);
      low[c] = std::max(std::min(a, b), -trust);
      high[c] = std::min(std::max(a, b), trust);
    }
    if (moved) {
      const double jacobianStart = Now();
      Linearise(&run, numbers, direction, scores, &model);
      report->secondsPerJacobian = Now() - jacobianStart;
      std::fprintf(options.log, "round %d: Jacobian of %zu numbers in %.1f s\n", round, width,
                   report->secondsPerJacobian);
    }

    std::vector<double> u;
    const double predicted = Optimise(run, model, low, high, &u);
    std::fprintf(options.log, "round %d: linear model predicts %.7f\n", round, predicted);

    // The true error at the rounded point; half the move while it is worse.
    bool improved = false;
    for (int halving = 0; halving < 4 && !improved; ++halving) {
      double candidate[ParameterCount];
      std::memcpy(candidate, numbers, sizeof candidate);
      for (size_t c = 0; c < width; ++c) {
        const int k = model.columns[c];
        candidate[k] = numbers[k] + u[c] * direction[k] * Ranges[k].step;
      }
      Project(candidate);
      RoundNumbers(candidate, decimals.data());
      Project(candidate);
      char label[48];
      std::snprintf(label, sizeof label, "round %d move x%g", round, std::pow(0.5, halving));
      std::vector<float> trial;
      const double e = TrainPass(&run, candidate, &trial, label);
      if (e < current) {
        improved = true;
        std::memcpy(numbers, candidate, sizeof candidate);
        scores.swap(trial);
        run.lastError = current = e;
        currentHoldout = HoldoutError(&run);
        std::fprintf(options.log, "round %d: training error %.7f, held-out error %.7f\n", round, current,
                     currentHoldout);
        // Early stopping: a file is written only when the held-out error is
        // the best so far; two rises in a row end the run.
        if (currentHoldout >= bestHoldout) {
          ++holdoutRises;
          std::fprintf(options.log,
                       "round %d: held-out error did not fall (more data, or a smaller --trust)\n", round);
        } else {
          holdoutRises = 0;
          bestHoldout = currentHoldout;
          std::memcpy(best, numbers, sizeof best);
          bestError = current;
        }
        if (holdoutRises == 0 && !options.outFile.empty()) {
          if (!WriteParameterFile(options.outFile, options.layout, numbers, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
          }
          std::fprintf(options.log, "round %d: wrote %s\n", round, options.outFile.c_str());
        }
      }
      for (double& value : u) value *= 0.5;
    }
    std::fflush(options.log);
    if (holdoutRises >= 2) break;
    moved = improved;
    if (!improved) {
      // The linear model misleads this far out: look closer next round.
      trust /= 2;
      ApplyNumbers(engine, numbers);
      std::fprintf(options.log, "round %d: no improvement, trust region now %g steps\n", round, trust);
      if (trust < 1) break;
    }
  }
  // The result is the point with the best held-out error, written even when
  // no round improved on the start (then the start, rounded and in range).
  std::memcpy(numbers, best, sizeof best);
  ApplyNumbers(engine, numbers);
  if (!options.outFile.empty() && !WriteParameterFile(options.outFile, options.layout, numbers, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  report->finalError = bestError;
  report->finalHoldout = bestHoldout;
  report->passes = run.passes;
  report->secondsPerPass = run.passes > 0 ? run.passSeconds / run.passes : 0;
  return true;
}

}  // namespace tuning
