// The parameter file: reading "Parameters.txt", turning its numbers into the
// evaluation weights and piece-square tables, and writing the dump file.
#pragma once

#include <cstddef>

#include "board/types.h"

struct EvalWeights;

// The shipped Parameters.txt, embedded at build time (NUL-terminated).
extern const char* const EmbeddedParameters;
extern const unsigned EmbeddedParametersSize;

constexpr int ParameterCount = 125;                 // numbers the conversion takes
constexpr int MaxParameterNumbers = 4096;           // numbers kept from one file
constexpr size_t MaxParameterFileSize = 16u << 20;  // bytes read from the file

// The numbers of a parameter text in file order; those past the capacity are dropped.
struct NumberList {
  i32 count;
  i32 exponents;  // numbers whose text carried an exponent ("1e3": 1000, then 3 again)
  double values[MaxParameterNumbers];
  // Where each number stands in the text (the tuner rewrites numbers in place).
  u32 start[MaxParameterNumbers];
  u32 length[MaxParameterNumbers];
};

// Appends the numbers of text[0..length) to list; prints "error...\n" and stops at a
// character outside the grammar, returning false. text[length] must be NUL.
bool ParseNumbers(NumberList* list, const char* text, size_t length);

// Bounds of every converted weight entry (tables, piece-square tables and the
// knight outposts included): [-WeightLimit, WeightLimit], and at least 1 for
// the three divisors SAFETY_RATIO, MAX_SHELTER_VALUE and MIN_SHELTER_VALUE.
// Why this limit keeps every sum of the evaluation inside 32 bits:
//  - the shelter and storm tables are built as sums of up to 14 entries plus
//    STORM_SHELTER_PENALTY_2 times such a sum (14 * limit^2 < 2^31), and are
//    stored in 16 bits after clamping to a sum of three entries (3 * limit);
//  - an opening or endgame sum gathers, over at most 64 units, fewer than 3000
//    entries, some multiplied by a king distance (7) or a threat count (64),
//    and the phase blend multiplies the sum by up to 24: 24 * 3000 * limit
//    stays far below 2^31;
//  - the king-safety product PIECE_ATT_WEIGHT * blended attack weights is
//    formed in 64 bits (limit * 2^32).
// A shipped or tuned file stays far inside (the shipped one below 1000).
constexpr i32 WeightLimit = 10000;

// Whether every entry of the weights lies inside the bounds above: what
// ConvertWeights guarantees, and what a tuner or a fuzzer setting weights
// directly must keep.
bool WeightsWithinBounds(const EvalWeights* weights);

// Converts the first ParameterCount numbers into the weights, writing each value
// under its name to weights->dumpFile when that is open. A value outside the
// bounds above is clamped to them (a NaN counts as 0) before it is dumped or
// used to build another weight; returns how many entries were clamped.
int ConvertWeights(EvalWeights* weights, const double* numbers);

// Fills PieceSquareValue and weights->knightOutpost from the converted tables.
void BuildPieceSquareValues(EvalWeights* weights);

// What became of the parameter file, told to the user after the first "uci".
enum ParameterSource : i32 {
  ParametersNotSearched = 0,  // tools and tests: built-in values, nothing to tell
  ParametersRead,
  ParametersMissing,
  ParametersUnreadable,
};

struct ParameterReport {
  i32 source;
  i32 numbers;    // numbers the file held (at most MaxParameterNumbers are counted)
  i32 exponents;  // of which read from an exponent
  u8 dumpFailed;  // "PERSON INIT.txt" could not be written in the working directory
  u8 reported;
  char path[1024];  // the file read or refused, as it was opened
};

// Converts a parameter text held in memory (text[length] must be NUL; nullptr
// reads as empty): numbers it lacks come from the embedded copy. Writes the dump
// when weights->dumpFile is open, and builds the piece-square values.
void LoadParameterText(EvalWeights* weights, const char* text, size_t length);

// Reads fileName, converts it, writes "PERSON INIT.txt" beside it (skipped
// where that folder cannot be written) and builds the piece-square values. A missing file is reported and the embedded copy used;
// numbers a short file lacks come from the embedded copy too. With a report,
// records what happened there.
void LoadParameters(EvalWeights* weights, const char* fileName, ParameterReport* report = nullptr);

// Looks for "Parameters.txt" in the working directory, then beside the
// executable, then in the installed data folder (../share/tarvo from the
// executable's folder), and writes the first that exists to path. When none
// does, path is "Parameters.txt" and the result false.
bool FindParameterFile(char* path, int capacity);

// Prints, once, the "info string" lines about the file: which one was read or
// why the built-in values are in use, and what looks damaged in it.
void ReportParameters(ParameterReport* report);

// Converts the shipped numbers built into the binary (no file, no dump):
// tools use it so that their figures do not depend on the working directory.
void LoadEmbeddedParameters(EvalWeights* weights);
