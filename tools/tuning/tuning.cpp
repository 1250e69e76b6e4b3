#include "tools/tuning/tuning.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/parameters.h"
#include "eval/eval.h"
#include "eval/pawns.h"
#include "eval/weights.h"
#include "search/records.h"
#include "search/state.h"

namespace tuning {

// ---------------------------------------------------------------------------
// Training data

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads a result in any of the accepted spellings; advances *p past it.
bool ReadResult(const char** p, double* result) {
  const char* c = *p;
  static const struct {
    const char* text;
    double value;
  } words[] = {{"1/2-1/2", 0.5}, {"1-0", 1.0}, {"0-1", 0.0}};
  for (const auto& w : words) {
    const size_t n = std::strlen(w.text);
    if (std::strncmp(c, w.text, n) == 0) {
      *result = w.value;
      *p = c + n;
      return true;
    }
  }
  char* end = nullptr;
  const double v = std::strtod(c, &end);
  if (end == c || !(v == 0.0 || v == 0.5 || v == 1.0)) return false;
  *result = v;
  *p = end;
  return true;
}

}  // namespace

bool ParseDataLine(const char* line, Sample* sample) {
  const char* p = line;
  while (IsBlank(*p)) ++p;
  if (*p == '\0' || *p == '\n' || *p == '#') return false;
  // Six FEN fields.
  const char* fenStart = p;
  for (int field = 0; field < 6; ++field) {
    if (*p == '\0' || *p == '\n' || *p == '[') return false;
    while (*p != '\0' && *p != '\n' && !IsBlank(*p)) ++p;
    if (field < 5) {
      if (!IsBlank(*p)) return false;
      while (IsBlank(*p)) ++p;
    }
  }
  sample->fen.assign(fenStart, size_t(p - fenStart));
  while (IsBlank(*p)) ++p;
  const bool bracket = *p == '[';
  if (bracket) ++p;
  if (!ReadResult(&p, &sample->result)) return false;
  if (bracket) {
    if (*p != ']') return false;
    ++p;
  }
  while (IsBlank(*p)) ++p;
  sample->hasScore = false;
  sample->score = 0;
  sample->game = -1;
  auto atEnd = [](const char* c) { return *c == '\0' || *c == '\n' || *c == '\r'; };
  if (!atEnd(p) && std::strncmp(p, "game=", 5) != 0) {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 10);
    if (end == p || !(IsBlank(*end) || atEnd(end))) return false;
    sample->score = int(v);
    sample->hasScore = true;
    p = end;
    while (IsBlank(*p)) ++p;
  }
  if (std::strncmp(p, "game=", 5) == 0) {
    p += 5;
    if (*p < '0' || *p > '9') return false;
    char* end = nullptr;
    const long long n = std::strtoll(p, &end, 10);
    if (n < 0 || !(IsBlank(*end) || atEnd(end))) return false;
    sample->game = n;
    p = end;
    while (IsBlank(*p)) ++p;
  }
  return atEnd(p);
}

std::string FormatDataLine(const char* fen, double result, int score) {
  char line[160];
  std::snprintf(line, sizeof line, "%s [%.1f] %d", fen, result, score);
  return line;
}

std::string FormatDataLine(const Sample& sample) {
  char line[200];
  int n = std::snprintf(line, sizeof line, "%s [%.1f]", sample.fen.c_str(), sample.result);
  if (sample.hasScore && n > 0 && n < int(sizeof line))
    n += std::snprintf(line + n, sizeof line - size_t(n), " %d", sample.score);
  if (sample.game >= 0 && n > 0 && n < int(sizeof line))
    std::snprintf(line + n, sizeof line - size_t(n), " game=%lld", sample.game);
  return line;
}

std::string PositionToFen(const Position* pos, int moveNumber) {
  char fen[128];
  ::PositionToFen(pos, moveNumber, fen, sizeof fen);
  return fen;
}

// ---------------------------------------------------------------------------
// Parameter file layout

bool ScanNumberTokens(const std::string& text, std::vector<NumberToken>* tokens, std::string* error) {
  // The engine's own reader, which also tells where each number stands.
  tokens->clear();
  auto list = std::make_unique<NumberList>();
  list->count = list->exponents = 0;
  const bool whole = ParseNumbers(list.get(), text.c_str(), text.size());
  for (int k = 0; k < list->count; ++k) {
    const size_t start = list->start[k], n = list->length[k];
    const std::string written = text.substr(start, n);
    if (n == 0 || written.find_first_of("eExXnN") != std::string::npos) {
      *error = "number " + std::to_string(k + 1) + " (\"" + text.substr(start, 12) +
               "\") cannot be rewritten in place";
      return false;
    }
    NumberToken token{start, n, list->values[k], 0};
    const size_t point = written.find('.');
    if (point != std::string::npos) token.decimals = int(n - point - 1);
    tokens->push_back(token);
  }
  if (!whole) {
    *error = "a character after number " + std::to_string(list->count) + " ends the engine's reading";
    return false;
  }
  if (list->count == MaxParameterNumbers) {
    *error = "more numbers than the engine keeps";
    return false;
  }
  return true;
}

std::string FormatNumber(double value, int decimals) {
  char text[64];
  const double scale = std::pow(10.0, decimals);
  double rounded = std::round(value * scale) / scale;
  if (rounded == 0.0) rounded = 0.0;  // -0.0 compares equal: no "-0"
  std::snprintf(text, sizeof text, "%.*f", decimals, rounded);
  return text;
}

std::string RewriteNumbers(const std::string& text, const std::vector<NumberToken>& tokens,
                           const double* values, const int* decimals) {
  std::string out;
  size_t from = 0;
  for (size_t k = 0; k < tokens.size() && k < size_t(ParameterCount); ++k) {
    out.append(text, from, tokens[k].start - from);
    out += FormatNumber(values[k], decimals[k]);
    from = tokens[k].start + tokens[k].length;
  }
  out.append(text, from, std::string::npos);
  return out;
}

// ---------------------------------------------------------------------------
// Ranges. Penalties stay at or below zero and bonuses at or above (a term the
// data do not want goes to zero rather than turning into its opposite);
// exponents stay positive; the divisors of king safety stay at 1 or more; the
// queen-closeness offset stays at or below zero, since a power of a negative
// base would make the table undefined.

namespace {

constexpr ParameterRange Penalty(const char* name, double low, double step = 1) {
  return {name, low, 0, step, 0, true};
}
constexpr ParameterRange Bonus(const char* name, double high, double step = 1) {
  return {name, 0, high, step, 0, true};
}
constexpr ParameterRange Range(const char* name, double low, double high, double step, int decimals = 0) {
  return {name, low, high, step, decimals, true};
}
// A factor of the rank profile (0..100): 0.02 moves the seventh rank by 2.
constexpr ParameterRange RankFactor(const char* name, double high = 2.5) {
  return {name, 0, high, 0.02, 2, true};
}
constexpr ParameterRange Fixed(const char* name) { return {name, -1e9, 1e9, 1, 0, false}; }

}  // namespace

const ParameterRange Ranges[ParameterCount] = {
    Penalty("EG_DOUBLED_PAWN_PENALTY", -60),
    Penalty("EG_ISOLATED_PAWN_PENALTY", -60),
    Penalty("EG_ISOLATED_DOUBLED_PAWN_PENALTY", -60),
    Penalty("OP_ISOLATED_PAWN_PENALTY", -60),
    Penalty("EG_WEAK_ISOLATED_PAWN_PENALTY", -60),
    Penalty("OP_WEAK_ISOLATED_PAWN_PENALTY", -60),
    Penalty("EG_UNPROTECTED_PAWN_PENALTY", -60),
    Penalty("EG_BACKWARD_PAWN_PENALTY", -60),
    Penalty("OP_BACKWARD_PAWN_PENALTY", -60),
    Penalty("EG_WEAK_BACKWARD_PAWN_PENALTY", -60),
    Penalty("OP_WEAK_BACKWARD_PAWN_PENALTY", -60),
    RankFactor("OP_PASSED_PAWN"),
    RankFactor("EG_PASSED_PAWN", 3.0),
    Bonus("EG_UNSTOPPABLE_PASSED_PAWN", 900, 5),
    RankFactor("EG_PASSED_PAWN_WO_OUR_BLOCKER"),
    RankFactor("EG_PASSED_PAWN_WO_OPP_BLOCKER"),
    RankFactor("EG_PASSED_PAWN_WO_MOB_BLOCKER"),
    RankFactor("OP_PASSED_CHAIN"),
    RankFactor("EG_PASSED_CHAIN"),
    // Multiplied by a king distance of up to 7.
    Range("EG_PASSED_PAWN_DEFENDER", 0, 0.5, 0.01, 2),
    Range("EG_PASSED_PAWN_ATTACKER", 0, 0.5, 0.01, 2),
    RankFactor("OP_DEFENDED_PASSED_PAWN"),
    RankFactor("EG_DEFENDED_PASSED_PAWN"),
    RankFactor("OP_CANDIDATE_PASSED_PAWN"),
    RankFactor("EG_CANDIDATE_PASSED_PAWN"),
    Range("CENTRAL_SHELTER rank 2", 0, 80, 1),
    Range("CENTRAL_SHELTER rank 3", 0, 80, 1),
    Range("CENTRAL_SHELTER rank 4", 0, 80, 1),
    Range("CENTRAL_SHELTER rank 5", 0, 80, 1),
    Range("INNER_SIDE_SHELTER factor", 0, 2, 0.05, 2),
    Range("OUTER_SIDE_SHELTER factor", 0, 2, 0.05, 2),
    Fixed("STORM_SHELTER_BONUS_1"),  // read, never used by the evaluation
    Fixed("STORM_SHELTER_PENALTY_1"),
    Penalty("STORM_SHELTER_PENALTY_2", -100, 2),
    Bonus("STORM_CHAIN", 40),
    Range("CENTRAL_STORM rank 2", 0, 60, 1),
    Range("CENTRAL_STORM rank 3", 0, 60, 1),
    Range("CENTRAL_STORM rank 4", 0, 60, 1),
    Range("CENTRAL_STORM rank 5", 0, 60, 1),
    Range("CENTRAL_STORM empty file", 0, 60, 1),
    Range("INNER_SIDE_STORM factor", 0, 2, 0.1, 2),
    Range("OUTER_SIDE_STORM factor", 0, 2, 0.1, 2),
    Range("SECOND_INNER_SIDE_SHELTER factor", 0, 1, 0.05, 2),
    Range("SECOND_CENTRAL_SHELTER factor", 0, 1, 0.05, 2),
    Range("SECOND_OUTER_SIDE_SHELTER factor", 0, 1, 0.05, 2),
    Bonus("KNIGHT_ATT_WEIGHT_GS", 30),
    Bonus("KNIGHT_ATT_WEIGHT_BS", 30),
    Bonus("BISHOP_ATT_WEIGHT_GS", 30),
    Bonus("BISHOP_ATT_WEIGHT_BS", 30),
    Bonus("BISHOP_ATT_WEAK_SQUARES", 30),
    Bonus("ROOK_ATT_WEIGHT_GS", 30),
    Bonus("ROOK_ATT_WEIGHT_BS", 30),
    Bonus("QUEEN_ATT_WEIGHT_GS", 30),
    Bonus("QUEEN_ATT_WEIGHT_BS", 30),
    Range("PIECE_ATT_WEIGHT a", 0, 80, 1),
    Range("PIECE_ATT_WEIGHT p", 0.1, 2, 0.05, 2),
    Range("PIECE_ATT_WEIGHT c", 0, 60, 1),
    Range("SAFETY_RATIO", 1, 30, 1),
    Range("MAX_SHELTER_VALUE", 1, 250, 2),
    Range("MIN_SHELTER_VALUE", 1, 100, 1),
    Range("NON_PAWN_DEFENDER_VALUE a", 0, 10, 1),
    Range("NON_PAWN_DEFENDER_VALUE p", 0.1, 2, 0.05, 2),
    Range("NON_PAWN_DEFENDER_VALUE c", -5, 5, 1),
    Range("OP_KNIGHT_MOB_1 a", 0, 40, 1),
    Range("OP_KNIGHT_MOB_1 p", 0.1, 1.5, 0.05, 2),
    Range("EG_KNIGHT_MOB_1 a", 0, 40, 1),
    Range("EG_KNIGHT_MOB_1 p", 0.1, 1.5, 0.05, 2),
    Range("OP_BISHOP_MOB_1 a", 0, 40, 1),
    Range("OP_BISHOP_MOB_1 p", 0.1, 1.5, 0.05, 2),
    Range("EG_BISHOP_MOB_1 a", 0, 40, 1),
    Range("EG_BISHOP_MOB_1 p", 0.1, 1.5, 0.05, 2),
    Range("OP_ROOK_MOB_1 a", 0, 40, 1),
    Range("OP_ROOK_MOB_1 p", 0.1, 1.5, 0.05, 2),
    Range("EG_ROOK_MOB_1 a", 0, 40, 1),
    Range("EG_ROOK_MOB_1 p", 0.1, 1.5, 0.05, 2),
    Range("OP_QUEEN_MOB_1 a", 0, 40, 1),
    Range("OP_QUEEN_MOB_1 p", 0.1, 1.5, 0.05, 2),
    // Negative a: a bonus for the queen's closeness to the enemy king.
    Range("OP_QUEEN_MOB_2 a", -3, 0, 0.05, 2),
    Range("OP_QUEEN_MOB_2 c", -5, 0, 1),
    Range("OP_QUEEN_MOB_2 p", 0.5, 3, 0.05, 2),
    Range("EG_QUEEN_MOB_2 a", -3, 0, 0.05, 2),
    Range("EG_QUEEN_MOB_2 c", -5, 0, 1),
    Range("EG_QUEEN_MOB_2 p", 0.5, 3, 0.05, 2),
    Bonus("OP_ROOK_ON_7TH", 60),
    Bonus("EG_ROOK_ON_7TH", 60),
    Bonus("OP_QUEEN_ON_7TH", 60),
    Bonus("EG_QUEEN_ON_7TH", 60),
    Bonus("OP_ROOK_HALF_OPEN_FILE", 60),
    Bonus("EG_ROOK_HALF_OPEN_FILE", 60),
    Bonus("OP_ROOK_OPEN_FILE", 60),
    Bonus("EG_ROOK_OPEN_FILE", 60),
    Bonus("OP_ROOK_FILE_ATT_KING_1", 60),
    Bonus("OP_ROOK_FILE_ATT_KING_2", 60),
    Penalty("OP_PAWNS_BEHIND_ROOK_PENALTY", -60),
    Penalty("TRAPPED_PENALTY_1", -300, 5),
    Penalty("TRAPPED_PENALTY_2", -200, 5),
    Penalty("BLOCKED_PENALTY", -150, 2),
    Range("PawnOpening a file", -20, 20, 1),
    Range("PawnOpening b rank", -1, 1, 0.02, 2),
    Range("PawnEndgame a file", -20, 20, 1),
    Range("PawnEndgame b rank", -1, 1, 0.02, 2),
    Range("KnightOpening a centre", 0, 20, 1),
    Range("KnightOpening b rank", -10, 10, 1),
    Range("KnightEndgame a centre", 0, 20, 1),
    Range("BishopOpening a centre", 0, 20, 1),
    Range("BishopOpening b back rank", 0, 40, 1),
    Range("BishopOpening c long diagonals", 0, 30, 1),
    Range("BishopEndgame a centre", 0, 20, 1),
    Range("RookOpening a file", -10, 10, 1),
    Range("RookOpening b rank", -1, 1, 0.02, 2),
    Range("QueenOpening a centre", 0, 20, 1),
    Range("QueenOpening b back rank", 0, 40, 1),
    Range("QueenEndgame a centre", 0, 20, 1),
    Range("KingOpening a file", 0, 40, 1),
    Range("KingOpening b rank", 0, 40, 1),
    Range("KingEndgame a centre", 0, 30, 1),
    Range("KingEndgame b rank", -20, 20, 1),
    Range("KnightOutpostOpening a file", 0, 20, 1),
    Range("KnightOutpostOpening b rank", 0, 20, 1),
    Bonus("ROOK_ON_8TH", 60),
    Bonus("QUEEN_ON_8TH", 60),
    Bonus("CONNECTED_ROOKS", 60),
    Penalty("EG_KING_ZONE_PENALTY", -60),
    Bonus("ATTACKED_PIECE_BONUS", 60),
    Bonus("ATTACKED_PAWN_BONUS", 60),
};

int WrittenDecimals(int k, int fileDecimals) {
  if (fileDecimals == 0) return 0;
  return fileDecimals > Ranges[k].minDecimals ? fileDecimals : Ranges[k].minDecimals;
}

namespace {
// Positions (0-based) of the numbers the joint rule of king safety involves.
constexpr int CentralShelterRank2 = 25, InnerShelterFactor = 29, OuterShelterFactor = 30;
constexpr int MaxShelterValue = 58;
}  // namespace

void Project(double* numbers) {
  for (int k = 0; k < ParameterCount; ++k) {
    if (!Ranges[k].tuned) continue;
    if (numbers[k] < Ranges[k].low) numbers[k] = Ranges[k].low;
    if (numbers[k] > Ranges[k].high) numbers[k] = Ranges[k].high;
  }
  // The converter's truncations, so that the bound holds for the integers the
  // shelter table really uses.
  const double central = std::trunc(numbers[CentralShelterRank2]);
  const double largest = std::trunc(central * numbers[InnerShelterFactor]) + central +
                         std::trunc(central * numbers[OuterShelterFactor]);
  if (numbers[MaxShelterValue] < largest) numbers[MaxShelterValue] = largest;
}

// ---------------------------------------------------------------------------
// The logistic curve

double Expected(double score, double k) { return 1.0 / (1.0 + std::pow(10.0, -k * score / 400.0)); }

double MeanSquaredError(const std::vector<float>& scores, const std::vector<float>& results, double k) {
  if (scores.empty()) return 0;
  double sum = 0;
  for (size_t n = 0; n < scores.size(); ++n) {
    const double e = Expected(scores[n], k) - results[n];
    sum += e * e;
  }
  return sum / double(scores.size());
}

double FitK(const std::vector<float>& scores, const std::vector<float>& results) {
  // The error is unimodal in K for any data set with both wins and losses.
  double a = 0.05, b = 5.0;
  const double ratio = (std::sqrt(5.0) - 1) / 2;
  double x1 = b - ratio * (b - a), x2 = a + ratio * (b - a);
  double f1 = MeanSquaredError(scores, results, x1), f2 = MeanSquaredError(scores, results, x2);
  while (b - a > 1e-6) {
    if (f1 <= f2) {
      b = x2;
      x2 = x1;
      f2 = f1;
      x1 = b - ratio * (b - a);
      f1 = MeanSquaredError(scores, results, x1);
    } else {
      a = x1;
      x1 = x2;
      f1 = f2;
      x2 = a + ratio * (b - a);
      f2 = MeanSquaredError(scores, results, x2);
    }
  }
  return (a + b) / 2;
}

// ---------------------------------------------------------------------------
// Evaluation under a set of numbers

void ApplyNumbers(EngineState* engine, const double* numbers) {
  EvalWeights* weights = engine->weights;
  weights->dumpFile = nullptr;
  ConvertWeights(weights, numbers);
  BuildPieceSquareValues(weights);
  PawnHashTable* table = engine->pawnTable;
  BuildStormTable(table, weights);
  BuildShelterTable(table, weights);
  ClearPawnTable(table);
}

void RefreshPieceSquareSums(Position* pos) {
  i32 opening = 0, endgame = 0;
  for (int c = White; c <= Black; ++c)
    for (u64 b = pos->colours[c]; b;) {
      const int s = PopLowest(&b);
      const ScorePair& v = PieceSquareValue[c][pos->board[s]][s];
      opening += v.opening;
      endgame += v.endgame;
    }
  pos->pstOpening = opening;
  pos->pstEndgame = endgame;
}

i32 StaticScoreWhite(EngineState* engine, Position* pos) {
  RefreshPieceSquareSums(pos);
  PlyRecord* ply = &engine->plies[0];
  ply->lazyLow = i16(-InfiniteScore);
  ply->lazyHigh = i16(InfiniteScore);
  return Sign[pos->side] * Evaluate(pos, ply, engine->weights, engine->pawnTable);
}

}  // namespace tuning
