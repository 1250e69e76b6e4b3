#include "engine/parameters.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/output.h"
#include "base/platform.h"
#include "board/board.h"
#include "eval/weights.h"

namespace {

constexpr const char* DumpFileName = "PERSON INIT.txt";

// Profiles the tables are built from: r is the rank counted from the side's
// own first rank, f the file, both 0..7.
constexpr i32 RankProfile[8] = {0, 0, 0, 10, 30, 60, 100, 100};
constexpr i32 PawnFileProfile[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr i32 KnightProfile[8] = {-4, -2, 0, 1, 1, 0, -2, -4};
constexpr i32 KnightRankProfile[8] = {-2, -1, 0, 1, 2, 3, 2, 1};
constexpr i32 BishopProfile[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr i32 RookFileProfile[8] = {-2, -1, 0, 1, 1, 0, -1, -2};
constexpr i32 QueenProfile[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr i32 KingEndgameProfile[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr i32 KingFileProfile[8] = {3, 4, 2, 0, 0, 2, 4, 3};
constexpr i32 KingRankProfile[4] = {0, -1, -3, -5};  // by distance from the nearer edge rank
constexpr i32 OutpostFileProfile[4] = {0, 0, 1, 2};  // by distance from the nearer edge file
constexpr i32 OutpostRankProfile[8] = {0, 0, 0, 1, 5, 3, 0, -1};

constexpr const char* PieceSquareTableName[PieceSquareTableCount] = {
    "PawnOpening",   "PawnEndgame",   "KnightOpening", "KnightEndgame", "KnightOutpostOpening",
    "BishopOpening", "BishopEndgame", "RookOpening",   "RookEndgame",   "QueenOpening",
    "QueenEndgame",  "KingOpening",   "KingEndgame"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Truncation toward zero; values whose truncation leaves the i32 range stop
// at its ends and NaN gives 0 (the weight bounds clamp all of them further).
i32 Truncate(double x) {
  if (x != x) return 0;
  if (x <= -2147483649.0) return INT32_MIN;
  if (x >= 2147483648.0) return INT32_MAX;
  return i32(x);
}

// Two's-complement wrap of integer results that absurd files can push out of range.
i32 Wrap(i64 x) { return i32(u32(u64(x))); }

// Subtracts the truncated integer mean so that a table sums to about zero.
void Centre(i32* values, int count) {
  i64 sum = 0;
  for (int k = 0; k < count; ++k) sum += values[k];
  const i64 mean = sum / count;
  for (int k = 0; k < count; ++k) values[k] = Wrap(values[k] - mean);
}

// The numbers being converted and the record they go to.
struct Converter {
  EvalWeights* weights;
  const double* numbers;
  int clamped;  // entries moved into the bounds so far
};

// Every weight entry, from the first named weight to the end of the record.
constexpr int WeightEntryCount = 323 + 2 * 64 + 6 + PieceSquareTableCount * 64;
static_assert(offsetof(EvalWeights, pieceSquareBase) + sizeof(EvalWeights::pieceSquareBase) -
                  offsetof(EvalWeights, EG_DOUBLED_PAWN_PENALTY) ==
              WeightEntryCount * sizeof(i32));

bool IsDivisor(const EvalWeights* weights, const i32* entry) {
  return entry == &weights->SAFETY_RATIO || entry == &weights->MAX_SHELTER_VALUE ||
         entry == &weights->MIN_SHELTER_VALUE;
}

// Returns the next number of the file.
double Next(Converter* c) { return c->numbers[c->weights->readCursor++]; }

// Clamps one finished weight into the bounds, then writes it to the dump: a
// scalar on its own line, a table eight entries to a row.
void Dump(Converter* c, const char* name, i32* values, int count) {
  for (int k = 0; k < count; ++k) {
    const i32 low = IsDivisor(c->weights, &values[k]) ? 1 : -WeightLimit;
    const i32 clamped = values[k] < low ? low : values[k] > WeightLimit ? WeightLimit : values[k];
    c->clamped += clamped != values[k];
    values[k] = clamped;
  }
  FILE* file = c->weights->dumpFile;
  if (file == nullptr) return;
  if (count == 1) {
    fprintf(file, "\n%s\n%d\n", name, values[0]);
    return;
  }
  fprintf(file, "\n%s\n", name);
  for (int k = 0; k < count; ++k) {
    fprintf(file, "%3d ", values[k]);
    if (k % 8 == 7) fputc('\n', file);
  }
}

// Lets one macro hand over a scalar or an array field with its name.
i32* Entries(i32& value) { return &value; }
template <int N>
i32* Entries(i32 (&values)[N]) {
  return values;
}
template <int N>
constexpr int Count(const i32 (&)[N]) {
  return N;
}
constexpr int Count(const i32&) { return 1; }

#define WEIGHT(field) #field, Entries(c.weights->field), Count(c.weights->field)

// One number per entry.
void Plain(Converter* c, const char* name, i32* values, int count) {
  for (int k = 0; k < count; ++k) values[k] = Truncate(Next(c));
  Dump(c, name, values, count);
}

// One number; below 1 (or not a usable integer) it becomes 1, since the
// evaluation divides by these weights.
void AtLeastOne(Converter* c, const char* name, i32* values, int) {
  const i32 value = Truncate(Next(c));
  values[0] = value < 1 ? 1 : value;
  Dump(c, name, values, 1);
}

// One number scaled by the rank profile.
void ByRank(Converter* c, const char* name, i32* values, int count) {
  const double v = Next(c);
  for (int k = 0; k < count; ++k) values[k] = Truncate(v * RankProfile[k]);
  Dump(c, name, values, count);
}

// One number scaling an already converted table.
void ScaledFrom(Converter* c, const i32* base, const char* name, i32* values, int count) {
  const double v = Next(c);
  for (int k = 0; k < count; ++k) values[k] = Truncate(base[k] * v);
  Dump(c, name, values, count);
}

// Like ScaledFrom, but never below zero.
void StormFrom(Converter* c, const i32* base, const char* name, i32* values, int count) {
  const double v = Next(c);
  for (int k = 0; k < count; ++k) {
    const double x = v * base[k];
    values[k] = Truncate(x > 0 ? x : 0);
  }
  Dump(c, name, values, count);
}

// Attack scale by number of attackers (a, p, c): nothing for fewer than two.
void AttackCurve(Converter* c, const char* name, i32* values, int count) {
  const double a = Next(c);
  const double p = Next(c);
  const double offset = Next(c);
  for (int k = 0; k < count; ++k) values[k] = k <= 1 ? 0 : Truncate(a * std::pow(double(k - 2), p) + offset);
  Dump(c, name, values, count);
}

// Defender value by number of defenders (a, p, c).
void DefenderCurve(Converter* c, const char* name, i32* values, int count) {
  const double a = Next(c);
  const double p = Next(c);
  const double offset = Next(c);
  for (int k = 0; k < count; ++k) values[k] = Truncate((a * std::pow(double(k), p) + offset) * 30);
  Dump(c, name, values, count);
}

// Mobility curve a * k^p, centred.
void Mobility(Converter* c, const char* name, i32* values, int count) {
  const double a = Next(c);
  const double p = Next(c);
  for (int k = 0; k < count; ++k) values[k] = Truncate(a * std::pow(double(k), p));
  Centre(values, count);
  Dump(c, name, values, count);
}

// Queen closeness curve -(a * (k - c)^p), centred.
void Closeness(Converter* c, const char* name, i32* values, int count) {
  const double a = Next(c);
  const double offset = Next(c);
  const double p = Next(c);
  for (int k = 0; k < count; ++k) values[k] = Truncate(-(a * std::pow(k - offset, p)));
  Centre(values, count);
  Dump(c, name, values, count);
}

// Fills a piece-square table from formula(row, f, r) for every index.
template <class Formula>
i32* FillTable(Converter* c, PieceSquareTable table, Formula formula) {
  i32* values = c->weights->pieceSquareBase[table];
  for (int i = 0; i < 64; ++i) values[i] = formula(i >> 3, i & 7, 7 - (i >> 3));
  return values;
}

// Centres a piece-square table if asked and dumps it.
void FinishTable(Converter* c, PieceSquareTable table, bool centred) {
  i32* values = c->weights->pieceSquareBase[table];
  if (centred) Centre(values, 64);
  Dump(c, PieceSquareTableName[table], values, 64);
}

int Nearer(int x) { return x < 7 - x ? x : 7 - x; }

// The thirteen piece-square tables, in file order.
void ConvertPieceSquareTables(Converter* c) {
  double a = Next(c), b = Next(c);
  FillTable(c, PawnOpening,
            [=](int, int f, int r) { return Truncate(PawnFileProfile[f] * a + RankProfile[r] * b); });
  FinishTable(c, PawnOpening, false);
  a = Next(c), b = Next(c);
  FillTable(c, PawnEndgame,
            [=](int, int f, int r) { return Truncate(PawnFileProfile[f] * a + RankProfile[r] * b); });
  FinishTable(c, PawnEndgame, false);

  a = Next(c), b = Next(c);
  i32* knight = FillTable(c, KnightOpening, [=](int, int f, int r) {
    return Truncate(KnightProfile[f] * a + KnightProfile[r] * a + KnightRankProfile[r] * b);
  });
  knight[0] = Wrap(i64(knight[0]) - 100);  // far corners: a knight there is nearly lost
  knight[7] = Wrap(i64(knight[7]) - 100);
  FinishTable(c, KnightOpening, true);
  a = Next(c);
  FillTable(c, KnightEndgame,
            [=](int, int f, int r) { return Truncate(KnightProfile[f] * a + KnightProfile[r] * a); });
  FinishTable(c, KnightEndgame, true);

  a = Next(c), b = Next(c);
  const double diagonal = Next(c);
  i32* bishop = FillTable(c, BishopOpening, [=](int, int f, int r) {
    return Truncate(BishopProfile[f] * a + BishopProfile[r] * a);
  });
  for (int i = 0; i < 8; ++i) bishop[56 + i] = Truncate(bishop[56 + i] - b);  // own back rank
  for (int row = 0; row < 8; ++row) {
    bishop[row * 8 + row] = Truncate(bishop[row * 8 + row] + diagonal);  // the two long diagonals
    bishop[row * 8 + 7 - row] = Truncate(bishop[row * 8 + 7 - row] + diagonal);
  }
  FinishTable(c, BishopOpening, true);
  a = Next(c);
  FillTable(c, BishopEndgame,
            [=](int, int f, int r) { return Truncate(BishopProfile[f] * a + BishopProfile[r] * a); });
  FinishTable(c, BishopEndgame, true);

  a = Next(c), b = Next(c);
  FillTable(c, RookOpening,
            [=](int, int f, int r) { return Truncate(RookFileProfile[f] * a - RankProfile[r] * b); });
  FinishTable(c, RookOpening, true);
  FillTable(c, RookEndgame, [](int, int, int) { return 0; });
  FinishTable(c, RookEndgame, true);

  a = Next(c), b = Next(c);
  i32* queen = FillTable(c, QueenOpening, [=](int, int f, int r) {
    return Truncate(QueenProfile[f] * a + QueenProfile[r] * a);
  });
  for (int i = 0; i < 8; ++i) queen[56 + i] = Truncate(queen[56 + i] - b);  // own back rank
  FinishTable(c, QueenOpening, true);
  a = Next(c);
  FillTable(c, QueenEndgame,
            [=](int, int f, int r) { return Truncate(QueenProfile[f] * a + QueenProfile[r] * a); });
  FinishTable(c, QueenEndgame, true);

  a = Next(c), b = Next(c);
  FillTable(c, KingOpening, [=](int, int f, int r) {
    return Truncate(KingFileProfile[f] * a + KingRankProfile[Nearer(r)] * b);
  });
  FinishTable(c, KingOpening, true);
  a = Next(c), b = Next(c);
  FillTable(c, KingEndgame, [=](int, int f, int r) {
    return Truncate((KingEndgameProfile[f] + KingEndgameProfile[r]) * a - KingRankProfile[Nearer(r)] * b);
  });
  FinishTable(c, KingEndgame, true);

  a = Next(c), b = Next(c);
  FillTable(c, KnightOutpostOpening, [=](int, int f, int r) {
    return Truncate(OutpostRankProfile[r] * b + a * OutpostFileProfile[Nearer(f)]);
  });
  FinishTable(c, KnightOutpostOpening, false);
}

// Reads a whole file, at most MaxParameterFileSize bytes, into a NUL-terminated
// buffer the caller frees; null when no memory could be had.
char* ReadWholeFile(FILE* file, size_t* length) {
  size_t capacity = size_t(1) << 16;
  size_t used = 0;
  char* text = static_cast<char*>(malloc(capacity + 1));
  *length = 0;
  if (text == nullptr) return nullptr;
  for (;;) {
    used += fread(text + used, 1, capacity - used, file);
    if (used < capacity || capacity >= MaxParameterFileSize) break;
    const size_t grown = capacity * 2 < MaxParameterFileSize ? capacity * 2 : MaxParameterFileSize;
    char* bigger = static_cast<char*>(realloc(text, grown + 1));
    if (bigger == nullptr) break;
    text = bigger;
    capacity = grown;
  }
  text[used] = '\0';
  *length = used;
  return text;
}

// Gives the positions 0..ParameterCount-1 a short list lacks the shipped
// file's numbers at the same positions.
void CompleteFromEmbedded(NumberList* list) {
  if (list->count >= ParameterCount) return;
  NumberList* shipped = static_cast<NumberList*>(malloc(sizeof(NumberList)));
  if (shipped != nullptr) {
    shipped->count = shipped->exponents = 0;
    ParseNumbers(shipped, EmbeddedParameters, EmbeddedParametersSize);
  }
  for (int k = list->count; k < ParameterCount; ++k)
    list->values[k] = shipped != nullptr && k < shipped->count ? shipped->values[k] : 0.0;
  list->count = ParameterCount;
  free(shipped);
}

}  // namespace

bool ParseNumbers(NumberList* list, const char* text, size_t length) {
  // Past the end the text reads as NUL, which ends the scan like a NUL inside it.
  auto at = [&](size_t k) { return k < length ? text[k] : '\0'; };
  auto skipPast = [&](size_t from, char close) {
    const void* found = memchr(text + from, close, length - from);
    return found != nullptr ? size_t(static_cast<const char*>(found) - text) + 1 : length;
  };
  size_t i = 0;
  while (i < length) {
    // One comment of each kind and one '#' marker may open a step, in this order.
    if (at(i) == '<') i = skipPast(i + 1, '>');
    if (at(i) == '[') i = skipPast(i + 1, ']');
    if (at(i) == '#') {
      ++i;
      while (i < length && IsDigit(text[i])) ++i;
    }
    const char c = at(i);
    const char before = i >= 1 ? at(i - 1) : '\0';
    if (c == ',' || c == '.' || IsSpace(c)) {
      ++i;
    } else if (i >= 1 && (IsDigit(before) || before == '-' || before == '.')) {
      ++i;  // the rest of a number already taken
    } else if (c == '\0') {
      return true;
    } else if (IsDigit(c) || c == '-') {
      char* end = nullptr;
      const double value = strtod(text + i, &end);
      if (list->count < MaxParameterNumbers) {
        list->values[list->count] = value;
        list->start[list->count] = u32(i);
        list->length[list->count] = u32(end - (text + i));
        ++list->count;
      }
      for (const char* p = text + i; p < end; ++p)
        if (*p == 'e' || *p == 'E') {
          ++list->exponents;
          break;
        }
      ++i;
    } else {
      Print("error...\n");
      return false;
    }
  }
  return true;
}

bool WeightsWithinBounds(const EvalWeights* weights) {
  const i32* entries = &weights->EG_DOUBLED_PAWN_PENALTY;
  for (int k = 0; k < WeightEntryCount; ++k) {
    const i32 low = IsDivisor(weights, &entries[k]) ? 1 : -WeightLimit;
    if (entries[k] < low || entries[k] > WeightLimit) return false;
  }
  return true;
}

int ConvertWeights(EvalWeights* weights, const double* numbers) {
  Converter c{weights, numbers, 0};
  weights->readCursor = 0;
  Plain(&c, WEIGHT(EG_DOUBLED_PAWN_PENALTY));
  Plain(&c, WEIGHT(EG_ISOLATED_PAWN_PENALTY));
  Plain(&c, WEIGHT(EG_ISOLATED_DOUBLED_PAWN_PENALTY));
  Plain(&c, WEIGHT(OP_ISOLATED_PAWN_PENALTY));
  Plain(&c, WEIGHT(EG_WEAK_ISOLATED_PAWN_PENALTY));
  Plain(&c, WEIGHT(OP_WEAK_ISOLATED_PAWN_PENALTY));
  Plain(&c, WEIGHT(EG_UNPROTECTED_PAWN_PENALTY));
  Plain(&c, WEIGHT(EG_BACKWARD_PAWN_PENALTY));
  Plain(&c, WEIGHT(OP_BACKWARD_PAWN_PENALTY));
  Plain(&c, WEIGHT(EG_WEAK_BACKWARD_PAWN_PENALTY));
  Plain(&c, WEIGHT(OP_WEAK_BACKWARD_PAWN_PENALTY));
  ByRank(&c, WEIGHT(OP_PASSED_PAWN));
  ByRank(&c, WEIGHT(EG_PASSED_PAWN));
  Plain(&c, WEIGHT(EG_UNSTOPPABLE_PASSED_PAWN));
  ByRank(&c, WEIGHT(EG_PASSED_PAWN_WO_OUR_BLOCKER));
  ByRank(&c, WEIGHT(EG_PASSED_PAWN_WO_OPP_BLOCKER));
  ByRank(&c, WEIGHT(EG_PASSED_PAWN_WO_MOB_BLOCKER));
  ByRank(&c, WEIGHT(OP_PASSED_CHAIN));
  ByRank(&c, WEIGHT(EG_PASSED_CHAIN));
  ByRank(&c, WEIGHT(EG_PASSED_PAWN_DEFENDER));
  ByRank(&c, WEIGHT(EG_PASSED_PAWN_ATTACKER));
  ByRank(&c, WEIGHT(OP_DEFENDED_PASSED_PAWN));
  ByRank(&c, WEIGHT(EG_DEFENDED_PASSED_PAWN));
  ByRank(&c, WEIGHT(OP_CANDIDATE_PASSED_PAWN));
  ByRank(&c, WEIGHT(EG_CANDIDATE_PASSED_PAWN));

  Plain(&c, WEIGHT(CENTRAL_SHELTER));
  ScaledFrom(&c, weights->CENTRAL_SHELTER, WEIGHT(INNER_SIDE_SHELTER));
  ScaledFrom(&c, weights->CENTRAL_SHELTER, WEIGHT(OUTER_SIDE_SHELTER));
  Plain(&c, WEIGHT(STORM_SHELTER_BONUS_1));
  Plain(&c, WEIGHT(STORM_SHELTER_PENALTY_1));
  Plain(&c, WEIGHT(STORM_SHELTER_PENALTY_2));
  Plain(&c, WEIGHT(STORM_CHAIN));
  Plain(&c, WEIGHT(CENTRAL_STORM));
  StormFrom(&c, weights->CENTRAL_STORM, WEIGHT(INNER_SIDE_STORM));
  StormFrom(&c, weights->CENTRAL_STORM, WEIGHT(OUTER_SIDE_STORM));
  ScaledFrom(&c, weights->CENTRAL_SHELTER, WEIGHT(SECOND_INNER_SIDE_SHELTER));
  ScaledFrom(&c, weights->CENTRAL_SHELTER, WEIGHT(SECOND_CENTRAL_SHELTER));
  ScaledFrom(&c, weights->CENTRAL_SHELTER, WEIGHT(SECOND_OUTER_SIDE_SHELTER));

  Plain(&c, WEIGHT(KNIGHT_ATT_WEIGHT_GS));
  Plain(&c, WEIGHT(KNIGHT_ATT_WEIGHT_BS));
  Plain(&c, WEIGHT(BISHOP_ATT_WEIGHT_GS));
  Plain(&c, WEIGHT(BISHOP_ATT_WEIGHT_BS));
  Plain(&c, WEIGHT(BISHOP_ATT_WEAK_SQUARES));
  Plain(&c, WEIGHT(ROOK_ATT_WEIGHT_GS));
  Plain(&c, WEIGHT(ROOK_ATT_WEIGHT_BS));
  Plain(&c, WEIGHT(QUEEN_ATT_WEIGHT_GS));
  Plain(&c, WEIGHT(QUEEN_ATT_WEIGHT_BS));
  AttackCurve(&c, WEIGHT(PIECE_ATT_WEIGHT));
  AtLeastOne(&c, WEIGHT(SAFETY_RATIO));
  AtLeastOne(&c, WEIGHT(MAX_SHELTER_VALUE));
  AtLeastOne(&c, WEIGHT(MIN_SHELTER_VALUE));
  DefenderCurve(&c, WEIGHT(NON_PAWN_DEFENDER_VALUE));

  Mobility(&c, WEIGHT(OP_KNIGHT_MOB_1));
  Mobility(&c, WEIGHT(EG_KNIGHT_MOB_1));
  Mobility(&c, WEIGHT(OP_BISHOP_MOB_1));
  Mobility(&c, WEIGHT(EG_BISHOP_MOB_1));
  Mobility(&c, WEIGHT(OP_ROOK_MOB_1));
  Mobility(&c, WEIGHT(EG_ROOK_MOB_1));
  Mobility(&c, WEIGHT(OP_QUEEN_MOB_1));
  Closeness(&c, WEIGHT(OP_QUEEN_MOB_2));
  Closeness(&c, WEIGHT(EG_QUEEN_MOB_2));

  Plain(&c, WEIGHT(OP_ROOK_ON_7TH));
  Plain(&c, WEIGHT(EG_ROOK_ON_7TH));
  Plain(&c, WEIGHT(OP_QUEEN_ON_7TH));
  Plain(&c, WEIGHT(EG_QUEEN_ON_7TH));
  Plain(&c, WEIGHT(OP_ROOK_HALF_OPEN_FILE));
  Plain(&c, WEIGHT(EG_ROOK_HALF_OPEN_FILE));
  Plain(&c, WEIGHT(OP_ROOK_OPEN_FILE));
  Plain(&c, WEIGHT(EG_ROOK_OPEN_FILE));
  Plain(&c, WEIGHT(OP_ROOK_FILE_ATT_KING_1));
  Plain(&c, WEIGHT(OP_ROOK_FILE_ATT_KING_2));
  Plain(&c, WEIGHT(OP_PAWNS_BEHIND_ROOK_PENALTY));
  Plain(&c, WEIGHT(TRAPPED_PENALTY_1));
  Plain(&c, WEIGHT(TRAPPED_PENALTY_2));
  Plain(&c, WEIGHT(BLOCKED_PENALTY));

  ConvertPieceSquareTables(&c);

  Plain(&c, WEIGHT(ROOK_ON_8TH));
  Plain(&c, WEIGHT(QUEEN_ON_8TH));
  Plain(&c, WEIGHT(CONNECTED_ROOKS));
  Plain(&c, WEIGHT(EG_KING_ZONE_PENALTY));
  Plain(&c, WEIGHT(ATTACKED_PIECE_BONUS));
  Plain(&c, WEIGHT(ATTACKED_PAWN_BONUS));

  if (weights->dumpFile != nullptr) fprintf(weights->dumpFile, "index = %d", weights->readCursor);
  weights->readCursor = 0;
  return c.clamped;
}

#undef WEIGHT

void BuildPieceSquareValues(EvalWeights* weights) {
  const i32(*base)[64] = weights->pieceSquareBase;
  for (int colour = White; colour <= Black; ++colour) {
    // Black's tables are the same diagram seen from the other side; negation
    // wraps so that even an INT32_MIN entry stays defined.
    auto signedValue = [&](i32 value) { return colour == White ? value : Wrap(-i64(value)); };
    for (int s = 0; s < 64; ++s) {
      const int i = colour == White ? (7 - (s >> 3)) * 8 + (s & 7) : s;
      PieceSquareValue[colour][Empty][s] = ScorePair{0, 0};
      PieceSquareValue[colour][7][s] = ScorePair{0, 0};
      for (int type = Pawn; type <= King; ++type)
        PieceSquareValue[colour][type][s] =
            ScorePair{signedValue(base[OpeningTableOf(type)][i]), signedValue(base[EndgameTableOf(type)][i])};
      weights->knightOutpost[colour][s] = signedValue(base[KnightOutpostOpening][i]);
    }
  }
}

namespace {

// Converts the numbers of a text (nullptr reads as empty), completed from the
// embedded copy, and builds the piece-square values; the dump is written when
// weights->dumpFile is open. Tells how many numbers the text held.
void ConvertText(EvalWeights* weights, const char* text, size_t length, i32* numbers, i32* exponents) {
  NumberList* list = static_cast<NumberList*>(malloc(sizeof(NumberList)));
  if (list == nullptr) return;
  list->count = 0;
  list->exponents = 0;
  if (text != nullptr) ParseNumbers(list, text, length);
  if (numbers != nullptr) *numbers = list->count;
  if (exponents != nullptr) *exponents = list->exponents;
  CompleteFromEmbedded(list);
  ConvertWeights(weights, list->values);
  BuildPieceSquareValues(weights);
  free(list);
}

}  // namespace

void LoadParameterText(EvalWeights* weights, const char* text, size_t length) {
  ConvertText(weights, text, length, nullptr, nullptr);
}

namespace {

// The dump goes beside the file read, so that a GUI's folder collects nothing;
// a bare file name was read from the working directory, and so is the dump.
// False when the path does not fit.
bool DumpPathFor(const char* fileName, char* path, size_t capacity) {
  const char* name = fileName;
  for (const char* p = fileName; *p; ++p)
    if (*p == '/' || *p == PathSeparator) name = p + 1;
  const int length = snprintf(path, capacity, "%.*s%s", int(name - fileName), fileName, DumpFileName);
  return length > 0 && size_t(length) < capacity;
}

}  // namespace

void LoadParameters(EvalWeights* weights, const char* fileName, ParameterReport* report) {
  weights->dumpFile = nullptr;
  FILE* file = fopen(fileName, "rb");
  i32 source = ParametersRead;
  bool dumpFailed = false;
  size_t length = 0;
  char* text = nullptr;
  if (file == nullptr) {
    // The engine still plays, on the shipped numbers, and writes no dump.
    Print("Error. Tarvo.exe and Parameters.txt should be in one folder\n");
    source = errno == ENOENT ? ParametersMissing : ParametersUnreadable;
  } else {
    text = ReadWholeFile(file, &length);
    if (text == nullptr || ferror(file)) source = ParametersUnreadable;  // a folder, an I/O error
    fclose(file);
    // Without the dump the weights still load. Only a failure in the working
    // directory is worth a warning: another folder may be a read-only install.
    char dumpPath[1100];
    if (DumpPathFor(fileName, dumpPath, sizeof dumpPath)) weights->dumpFile = fopen(dumpPath, "w");
    dumpFailed = weights->dumpFile == nullptr && strcmp(dumpPath, DumpFileName) == 0;
  }
  i32 numbers = 0, exponents = 0;
  ConvertText(weights, text, length, &numbers, &exponents);
  free(text);
  if (report != nullptr) {
    report->source = source;
    report->numbers = numbers;
    report->exponents = exponents;
    report->dumpFailed = dumpFailed;
    snprintf(report->path, sizeof report->path, "%s", fileName);
  }
  if (weights->dumpFile != nullptr) fclose(weights->dumpFile);
  weights->dumpFile = nullptr;
}

void LoadEmbeddedParameters(EvalWeights* weights) {
  weights->dumpFile = nullptr;
  LoadParameterText(weights, nullptr, 0);
}
