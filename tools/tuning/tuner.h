// The tuner: a data set of labelled positions, a pass (one static evaluation
// per position under the current numbers), the error of the logistic curve,
// and the fit of the 125 numbers by rounds of linearisation and Adam.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "board/board.h"
#include "engine/parameters.h"

struct EngineState;

namespace tuning {

// The fields of a Position before its key history, which the evaluation never
// reads: a data set of a million positions fits in a few hundred megabytes.
constexpr size_t PackedPositionSize = offsetof(Position, history);
struct PackedPosition {
  unsigned char bytes[PackedPositionSize];
};

struct DataSet {
  std::vector<PackedPosition> positions;
  std::vector<float> results;       // White's view
  std::vector<float> searchScores;  // White's view, NaN where the line has none
};

// What LoadDataSet read.
struct LoadCounts {
  long long positions = 0;   // kept, both sides together
  long long skipped = 0;     // lines that do not parse or hold a refused FEN
  long long duplicates = 0;  // positions an earlier line (of any file) already gave
  long long trainGames = 0, holdoutGames = 0;
  long long unnamed = 0;  // positions of lines that name no game
};

// Reads data files in order. A line's game (its number together with its
// file, so that files may reuse numbers) decides its side: every tenth game is
// held out, so no held-out game has a position in the training set. Lines
// that name no game (older files) go by blocks of 64 lines instead, every
// tenth block held out. A position (by its key) is kept once, from the first
// line that gives it. At most `limit` positions are kept when limit > 0.
bool LoadDataSet(const std::vector<std::string>& fileNames, DataSet* train, DataSet* holdout, long long limit,
                 LoadCounts* counts, std::string* error);
void AddPosition(DataSet* set, const Position* pos, double result, float searchScore = NAN);

// Static scores of every position (White's view) under the engine's current weights.
void ScorePass(EngineState* engine, const DataSet& set, std::vector<float>* scores);

struct TuneOptions {
  int rounds = 8;             // linearisations
  int adamSteps = 400;        // steps on each linear model
  double learningRate = 0.5;  // Adam's step, in units of each number's finite-difference step
  double trust = 4;           // largest move of a number per round, in the same units
  double k = 0;               // curve constant; 0 = fit on the training set
  // Share of the game result in the label; the rest is the curve of the
  // search score (where the data have one), which is less noisy than a result.
  double lambda = 1.0;
  // K of the search score's curve in the blend: negative, the evaluation's K;
  // 0, fitted to the scores and results of the training set (another
  // engine's centipawns need not be on the evaluation's scale).
  double scoreK = -1;
  std::string outFile;  // written after every round that improves both errors
  std::string layout;   // the starting file's text, whose layout the output keeps
  bool verbose = true;  // a line for every pass of the Jacobian
  FILE* log = stdout;   // progress lines
};

struct TuneReport {
  double k;
  double startError, startHoldout;
  double finalError, finalHoldout;
  int passes;
  double secondsPerPass;      // training-set passes
  double secondsPerJacobian;  // the last one
};

// Tunes `numbers` (ParameterCount of them, changed in place) on `train`;
// the result is the round with the lowest held-out error (early stopping).
// The engine's weights are left at the result.
bool Tune(EngineState* engine, const DataSet& train, const DataSet& holdout, double* numbers,
          const TuneOptions& options, TuneReport* report);

// The numbers rounded as they will be written: integers stay integers.
void RoundNumbers(double* numbers, const int* decimals);
// Writes the numbers into the layout's text and the file; false on failure.
bool WriteParameterFile(const std::string& fileName, const std::string& layout, const double* numbers,
                        std::string* error);
// Digits each number of a layout is written with (WrittenDecimals of its text).
bool LayoutDecimals(const std::string& layout, std::vector<int>* decimals, std::string* error);

}  // namespace tuning
