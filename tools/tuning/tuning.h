// Shared by tarvo-datagen, tarvo-tune and their tests: the training-data line
// format, the layout of a parameter file (where each of its numbers sits and
// how precisely it is written), the sane range of each number, the logistic
// curve and the evaluation of a position under a given set of numbers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "board/board.h"
#include "engine/parameters.h"

struct EngineState;

namespace tuning {

// ---------------------------------------------------------------------------
// Training data: one position a line,
//   <FEN, six fields> [<result>] [<score>] [game=<N>]
// result from White's view as 1.0, 0.5 or 0.0; score a search score in
// centipawns from White's view; N the number of the game the position comes
// from, unique within its file (the tuner keeps a game's positions on one side
// of its held-out split). Score and game are optional. "1-0", "0-1" and
// "1/2-1/2" are accepted for the result too.

struct Sample {
  std::string fen;
  double result;
  int score;
  bool hasScore;
  long long game = -1;  // -1: the line names no game
};

// False for a line that does not follow the format (blank and '#' lines included).
bool ParseDataLine(const char* line, Sample* sample);
std::string FormatDataLine(const char* fen, double result, int score);
// The line of a sample: its score and game only where it has them.
std::string FormatDataLine(const Sample& sample);

// The FEN of a position (half-move clock from `fifty`, move number given).
std::string PositionToFen(const Position* pos, int moveNumber);

// ---------------------------------------------------------------------------
// Parameter file layout

// A number of the file as the engine reads it: where its text starts, how long
// the text is, its value and its digits after the point (0: an integer).
struct NumberToken {
  size_t start;
  size_t length;
  double value;
  int decimals;
};

// The numbers of a parameter text in reading order, found by the same scan as
// the engine's; false (with *error set) when the engine would stop early.
bool ScanNumberTokens(const std::string& text, std::vector<NumberToken>* tokens, std::string* error);

// A number written with the given digits after the point; never "-0".
std::string FormatNumber(double value, int decimals);

// The text with the first ParameterCount numbers replaced by `values`, each
// written with decimals[k] digits; everything else is kept byte for byte.
std::string RewriteNumbers(const std::string& text, const std::vector<NumberToken>& tokens,
                           const double* values, const int* decimals);

// ---------------------------------------------------------------------------
// What each of the 125 numbers may do while tuning.

struct ParameterRange {
  const char* name;
  double low, high;  // sane range of the raw number
  double step;       // finite-difference step: moves the converted weights by a few units
  int minDecimals;   // resolution the tuner writes a fractional number with, at least
  bool tuned;        // false: the number plays no part, or must not move
};
extern const ParameterRange Ranges[ParameterCount];

// Digits after the point to write number k with: integers stay integers, a
// fractional number keeps the file's digits and at least its own minimum.
int WrittenDecimals(int k, int fileDecimals);

// Puts the numbers inside their ranges and keeps the joint rule of king safety:
// the largest shelter the tables can give must not exceed MAX_SHELTER_VALUE,
// whose difference to the shelter the attack blend takes unsigned.
void Project(double* numbers);

// ---------------------------------------------------------------------------
// The logistic curve E(s) = 1 / (1 + 10^(-K s / 400)).

double Expected(double score, double k);
double MeanSquaredError(const std::vector<float>& scores, const std::vector<float>& results, double k);
// K minimising the error for fixed scores (golden-section search on 0.05..5).
double FitK(const std::vector<float>& scores, const std::vector<float>& results);

// ---------------------------------------------------------------------------
// Evaluation under a set of numbers

// Converts the numbers into the engine's weights and rebuilds everything built
// from them: the piece-square values, the storm and shelter tables; the pawn
// cache is emptied, since its entries hold weighted scores.
void ApplyNumbers(EngineState* engine, const double* numbers);

// Static score, White's view, with the full window (no lazy exit). The
// position's piece-square sums are recomputed from the current weights first.
i32 StaticScoreWhite(EngineState* engine, Position* pos);

// Recomputes pstOpening and pstEndgame from PieceSquareValue.
void RefreshPieceSquareSums(Position* pos);

}  // namespace tuning
