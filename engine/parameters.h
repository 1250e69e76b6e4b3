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
  double values[MaxParameterNumbers];
};

// Appends the numbers of text[0..length) to list; prints "error...\n" and stops at a
// character outside the grammar. text[length] must be NUL.
void ParseNumbers(NumberList* list, const char* text, size_t length);

// Converts the first ParameterCount numbers into the weights, writing each value
// under its name to weights->dumpFile when that is open.
void ConvertWeights(EvalWeights* weights, const double* numbers);

// Fills PieceSquareValue and weights->knightOutpost from the converted tables.
void BuildPieceSquareValues(EvalWeights* weights);

// Converts a parameter text held in memory (text[length] must be NUL; nullptr
// reads as empty): numbers it lacks come from the embedded copy. Writes the dump
// when weights->dumpFile is open, and builds the piece-square values.
void LoadParameterText(EvalWeights* weights, const char* text, size_t length);

// Reads fileName, converts it, writes "PERSON INIT.txt" and builds the
// piece-square values. A missing file is reported and the embedded copy used;
// numbers a short file lacks come from the embedded copy too.
void LoadParameters(EvalWeights* weights, const char* fileName);

// Converts the shipped numbers built into the binary (no file, no dump):
// tools use it so that their figures do not depend on the working directory.
void LoadEmbeddedParameters(EvalWeights* weights);
