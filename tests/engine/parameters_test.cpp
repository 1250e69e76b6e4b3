#include "engine/parameters.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "eval/weights.h"
#include "tests/support.h"

bool operator==(const ScorePair& a, const ScorePair& b) {
  return a.opening == b.opening && a.endgame == b.endgame;
}

namespace {

namespace fs = std::filesystem;

const std::string SourceDir = TARVO_SOURCE_DIR;
const char* const MissingMessage = "Error. Tarvo.exe and Parameters.txt should be in one folder\n";

// Runs every test in a fresh temporary directory, since the loader writes its
// dump into the working directory.
class ParameterFile : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(dir_.Path());
    weights_ = std::make_unique<EvalWeights>();
  }
  void TearDown() override { fs::current_path(previous_); }

  struct Result {
    std::string out;
    bool dumped;
    std::string dump;
  };

  // Loads fileName as the engine does and collects what it printed and what
  // it dumped beside the file.
  Result Load(const std::string& fileName) {
    const fs::path dump = fs::path(fileName).parent_path() / "PERSON INIT.txt";
    fs::remove(dump);
    ::testing::internal::CaptureStdout();
    LoadParameters(weights_.get(), fileName.c_str());
    Result result{::testing::internal::GetCapturedStdout(), fs::exists(dump), ""};
    if (result.dumped) result.dump = ReadFile(dump.string());
    return result;
  }

  Result LoadText(const std::string& text) {
    WriteFile("Parameters.txt", text);
    return Load("Parameters.txt");
  }
  // A copy in the test's folder: the dump goes beside the file read.
  Result LoadShipped() { return LoadText(ReadFile(SourceDir + "/Parameters.txt")); }

  fs::path previous_;
  TempDir dir_;
  std::unique_ptr<EvalWeights> weights_;
};

// A file of the numbers 1..count, each after a bracketed comment.
std::string Counting(int count) {
  std::string text;
  for (int k = 1; k <= count; ++k) text += "<number " + std::to_string(k) + "> " + std::to_string(k) + "\n";
  return text;
}

// The numbers of the shipped file with the given positions (1-based) replaced.
std::string ShippedWith(const std::vector<std::pair<int, std::string>>& replacements) {
  std::vector<std::string> tokens;
  char buffer[64];
  for (double number : ShippedNumbers()) {
    snprintf(buffer, sizeof buffer, "%.17g", number);
    tokens.push_back(buffer);
  }
  for (const auto& [position, token] : replacements) tokens[position - 1] = token;
  std::string text;
  for (const std::string& token : tokens) text += token + "\n";
  return text;
}

// The entries a dump shows for one weight: from the line after its name up to
// the line ending before the next name.
std::string DumpBlock(const std::string& dump, const std::string& name) {
  const size_t at = dump.find("\n" + name + "\n");
  if (at == std::string::npos) return "";
  const size_t from = at + name.size() + 2;
  size_t to = dump.find('\n', from);
  while (to != std::string::npos && to + 1 < dump.size() &&
         !isalpha(static_cast<unsigned char>(dump[to + 1])))
    to = dump.find('\n', to + 1);
  return dump.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

std::vector<ScorePair> AllPieceSquareValues() {
  std::vector<ScorePair> values(sizeof PieceSquareValue / sizeof(ScorePair));
  memcpy(values.data(), PieceSquareValue, sizeof PieceSquareValue);
  return values;
}

// Numbers a text gives, and what the scan printed.
std::vector<double> Scan(const std::string& text, std::string* out) {
  auto list = std::make_unique<NumberList>();
  list->count = 0;
  ::testing::internal::CaptureStdout();
  ParseNumbers(list.get(), text.c_str(), text.size());
  *out = ::testing::internal::GetCapturedStdout();
  return std::vector<double>(list->values, list->values + list->count);
}

TEST(ParameterScan, NumbersCommentsAndMarkers) {
  struct Case {
    std::string text;
    std::vector<double> numbers;
    bool error;
  } cases[] = {
      {"0.5 -1.25\n7", {0.5, -1.25, 7}, false},
      {"1,5", {1, 5}, false},
      {".5", {}, false},
      {"-.5", {-0.5}, false},
      {"3e2", {300, 2}, false},
      {"2.5e-1", {0.25, -1}, false},
      {"1.5.5", {1.5}, false},
      {"#12 7 #3", {7}, false},
      {"<a 1>[b 2] 3", {3}, false},
      {"<a>[b]#4 5", {5}, false},
      {"<a> <b> 6", {6}, false},
      {"4 <a><b> 6", {4}, true},
      {"4 [a]<b> 6", {4}, true},
      {"4 ##1 6", {4}, true},
      {"1 +2 3", {1}, true},
      {"1 x 3", {1}, true},
      {"1 2 <never closed 3", {1, 2}, false},
      {"1 [never closed 3", {1}, false},
      {"", {}, false},
      {std::string("1 2 \0 3", 7), {1, 2}, false},
      {std::string("1 2\0003", 5), {1, 2, 3}, false},  // NUL right after a digit is skipped
      {"1\r\n-2\t3", {1, -2, 3}, false},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(Scan(c.text, &out), c.numbers) << c.text;
    EXPECT_EQ(out, c.error ? "error...\n" : "") << c.text;
  }
}

TEST(ParameterScan, KeepsAtMostTheListCapacity) {
  std::string text;
  for (int k = 1; k <= MaxParameterNumbers + 500; ++k) text += std::to_string(k) + " ";
  text += "+";  // the scan still reaches the end of the text
  std::string out;
  const std::vector<double> numbers = Scan(text, &out);
  ASSERT_EQ(numbers.size(), size_t(MaxParameterNumbers));
  EXPECT_EQ(numbers.back(), MaxParameterNumbers);
  EXPECT_EQ(out, "error...\n");
}

TEST_F(ParameterFile, TruncatesTowardZeroAndRaisesRatios) {
  const Result result =
      LoadText(ShippedWith({{1, "2.9"}, {2, "-2.9"}, {58, "0.5"}, {59, "-7"}, {60, "1.9"}}));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(weights_->EG_DOUBLED_PAWN_PENALTY, 2);
  EXPECT_EQ(weights_->EG_ISOLATED_PAWN_PENALTY, -2);
  EXPECT_EQ(weights_->SAFETY_RATIO, 1);
  EXPECT_EQ(weights_->MAX_SHELTER_VALUE, 1);
  EXPECT_EQ(weights_->MIN_SHELTER_VALUE, 1);
  EXPECT_NE(result.dump.find("\nSAFETY_RATIO\n1\n"), std::string::npos);
}

// Numbers far out of range become the nearest bound, keeping their sign, and
// the dump shows the value the engine uses. (An exponent such as 1e300 would
// also be read again as a number of its own, so plain digits are used.)
TEST_F(ParameterFile, DumpShowsClampedValues) {
  const Result result = LoadText(ShippedWith(
      {{1, "99999999999999999999"}, {2, "-99999"}, {12, "-1000000000"}, {60, "2147483648"}, {65, "-0.5"}}));
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.dump.find("\nEG_DOUBLED_PAWN_PENALTY\n10000\n"), std::string::npos);
  EXPECT_NE(result.dump.find("\nEG_ISOLATED_PAWN_PENALTY\n-10000\n"), std::string::npos);
  EXPECT_NE(result.dump.find("\nMIN_SHELTER_VALUE\n10000\n"), std::string::npos);
  EXPECT_EQ(DumpBlock(result.dump, "OP_PASSED_PAWN"), "  0   0   0 -10000 -10000 -10000 -10000 -10000 \n");
  // A negative exponent makes k = 0 infinite: that entry stops at the bound.
  EXPECT_EQ(weights_->OP_KNIGHT_MOB_1[0], WeightLimit);
  for (int k = 1; k < 9; ++k) EXPECT_GE(weights_->OP_KNIGHT_MOB_1[k], -WeightLimit) << k;
  EXPECT_TRUE(WeightsWithinBounds(weights_.get()));
}

TEST_F(ParameterFile, RankAndMobilityTables) {
  const Result result = LoadText(ShippedWith({{12, "0.5"}, {64, "10"}, {65, "0.5"}}));
  const std::vector<i32> passed(weights_->OP_PASSED_PAWN, weights_->OP_PASSED_PAWN + 8);
  EXPECT_EQ(passed, (std::vector<i32>{0, 0, 0, 5, 15, 30, 50, 50}));
  const std::vector<i32> knight(weights_->OP_KNIGHT_MOB_1, weights_->OP_KNIGHT_MOB_1 + 9);
  EXPECT_EQ(knight, (std::vector<i32>{-17, -7, -3, 0, 3, 5, 7, 9, 11}));
  EXPECT_EQ(DumpBlock(result.dump, "OP_PASSED_PAWN"), "  0   0   0   5  15  30  50  50 \n");
  EXPECT_EQ(DumpBlock(result.dump, "OP_KNIGHT_MOB_1"), "-17  -7  -3   0   3   5   7   9 \n 11 ");
}

TEST_F(ParameterFile, EveryNumberLandsInItsWeight) {
  const Result result = LoadText(Counting(ParameterCount));
  EXPECT_EQ(result.out, "");
  ASSERT_TRUE(result.dumped);
  EXPECT_EQ(result.dump.substr(result.dump.size() - 12), "\nindex = 125");
  EXPECT_EQ(weights_->readCursor, 0);
  EXPECT_EQ(weights_->dumpFile, nullptr);
  EXPECT_EQ(weights_->EG_DOUBLED_PAWN_PENALTY, 1);
  EXPECT_EQ(weights_->OP_WEAK_BACKWARD_PAWN_PENALTY, 11);
  EXPECT_EQ(weights_->EG_UNSTOPPABLE_PASSED_PAWN, 14);
  EXPECT_EQ(weights_->EG_CANDIDATE_PASSED_PAWN[6], 2500);
  EXPECT_EQ(weights_->CENTRAL_SHELTER[3], 29);
  EXPECT_EQ(weights_->INNER_SIDE_SHELTER[1], 27 * 30);
  EXPECT_EQ(weights_->OUTER_SIDE_SHELTER[1], 27 * 31);
  EXPECT_EQ(weights_->STORM_SHELTER_BONUS_1, 32);
  EXPECT_EQ(weights_->STORM_CHAIN, 35);
  EXPECT_EQ(weights_->CENTRAL_STORM[4], 40);
  EXPECT_EQ(weights_->INNER_SIDE_STORM[0], 36 * 41);
  EXPECT_EQ(weights_->OUTER_SIDE_STORM[0], 36 * 42);
  EXPECT_EQ(weights_->SECOND_OUTER_SIDE_SHELTER[0], 45 * 26);
  EXPECT_EQ(weights_->KNIGHT_ATT_WEIGHT_GS, 46);
  EXPECT_EQ(weights_->QUEEN_ATT_WEIGHT_BS, 54);
  EXPECT_EQ(weights_->SAFETY_RATIO, 58);
  EXPECT_EQ(weights_->MIN_SHELTER_VALUE, 60);
  EXPECT_EQ(weights_->OP_ROOK_ON_7TH, 84);
  EXPECT_EQ(weights_->BLOCKED_PENALTY, 97);
  EXPECT_EQ(weights_->ROOK_ON_8TH, 120);
  EXPECT_EQ(weights_->ATTACKED_PAWN_BONUS, 125);
  std::string zeros;
  for (int row = 0; row < 8; ++row) zeros += "  0   0   0   0   0   0   0   0 \n";
  EXPECT_EQ(DumpBlock(result.dump, "RookEndgame"), zeros);
  // The rook endgame table takes no number, so QueenEndgame's a is number 113: a square
  // of the central four is 2 * 113 = 226 before the table's mean, -10848 / 64 = -169, is taken off.
  EXPECT_EQ(weights_->pieceSquareBase[QueenEndgame][3 * 8 + 3], 395);
}

TEST_F(ParameterFile, BoardSquaresReadTheTablesFromEachSidesView) {
  for (int t = 0; t < PieceSquareTableCount; ++t)
    for (int i = 0; i < 64; ++i) weights_->pieceSquareBase[t][i] = t * 1000 + i;
  weights_->pieceSquareBase[PawnOpening][0] = INT32_MIN;
  BuildPieceSquareValues(weights_.get());
  const int e2 = MakeSquare(4, 1), e7 = MakeSquare(4, 6), e5 = MakeSquare(4, 4), a8 = MakeSquare(0, 7);
  EXPECT_EQ(PieceSquareValue[White][Pawn][e2].opening, PawnOpening * 1000 + 52);
  EXPECT_EQ(PieceSquareValue[White][Pawn][e2].endgame, PawnEndgame * 1000 + 52);
  EXPECT_EQ(PieceSquareValue[Black][Pawn][e7].opening, -(PawnOpening * 1000 + 52));
  EXPECT_EQ(PieceSquareValue[Black][Pawn][e7].endgame, -(PawnEndgame * 1000 + 52));
  EXPECT_EQ(PieceSquareValue[White][Pawn][a8].opening, INT32_MIN);
  EXPECT_EQ(PieceSquareValue[Black][Pawn][0].opening, INT32_MIN);  // negation wraps instead of overflowing
  EXPECT_EQ(weights_->knightOutpost[White][e5], KnightOutpostOpening * 1000 + 28);
  EXPECT_EQ(weights_->knightOutpost[Black][MakeSquare(4, 3)], -(KnightOutpostOpening * 1000 + 28));
  for (int type = Pawn; type <= King; ++type)
    for (int s = 0; s < 64; ++s) {
      const ScorePair white = PieceSquareValue[White][type][s];
      const ScorePair black = PieceSquareValue[Black][type][s ^ 56];
      EXPECT_EQ(white.opening, weights_->pieceSquareBase[OpeningTableOf(type)][(s ^ 56)]) << type << " " << s;
      EXPECT_EQ(white.endgame, weights_->pieceSquareBase[EndgameTableOf(type)][(s ^ 56)]) << type << " " << s;
      if (white.opening != INT32_MIN) {
        EXPECT_EQ(black.opening, -white.opening) << type << " " << s;
      }
      EXPECT_EQ(black.endgame, -white.endgame) << type << " " << s;
    }
}

TEST_F(ParameterFile, MissingFileUsesTheShippedNumbersWithoutDump) {
  const Result shipped = LoadShipped();
  ASSERT_EQ(shipped.out, "");
  auto expected = std::make_unique<EvalWeights>(*weights_);
  const std::vector<ScorePair> pieceSquares = AllPieceSquareValues();

  *weights_ = EvalWeights{};
  const Result missing = Load("no such file.txt");
  EXPECT_EQ(missing.out, MissingMessage);
  EXPECT_FALSE(missing.dumped);
  EXPECT_EQ(memcmp(weights_.get(), expected.get(), sizeof(EvalWeights)), 0);
  EXPECT_EQ(pieceSquares, AllPieceSquareValues());
}

TEST_F(ParameterFile, ShortFileTakesTheRestFromTheShippedFile) {
  const Result shipped = LoadShipped();
  const EvalWeights expected = *weights_;
  const Result shortFile = LoadText("<first two only> 2.9 -2.9\n");
  EXPECT_EQ(shortFile.out, "");
  EXPECT_EQ(weights_->EG_DOUBLED_PAWN_PENALTY, 2);
  EXPECT_EQ(weights_->EG_ISOLATED_PAWN_PENALTY, -2);
  EXPECT_EQ(weights_->EG_ISOLATED_DOUBLED_PAWN_PENALTY, expected.EG_ISOLATED_DOUBLED_PAWN_PENALTY);
  EXPECT_EQ(memcmp(weights_->pieceSquareBase, expected.pieceSquareBase, sizeof expected.pieceSquareBase), 0);
  EXPECT_EQ(shortFile.dump.substr(shortFile.dump.find("\nEG_ISOLATED_DOUBLED_PAWN_PENALTY")),
            shipped.dump.substr(shipped.dump.find("\nEG_ISOLATED_DOUBLED_PAWN_PENALTY")));
}

TEST_F(ParameterFile, UnwritableDumpStillLoads) {
  fs::create_directory("PERSON INIT.txt");
  ::testing::internal::CaptureStdout();
  WriteFile("Parameters.txt", ReadFile(SourceDir + "/Parameters.txt"));
  LoadParameters(weights_.get(), "Parameters.txt");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(weights_->dumpFile, nullptr);
  const EvalWeights loaded = *weights_;
  fs::remove("PERSON INIT.txt");
  LoadShipped();
  EXPECT_EQ(memcmp(&loaded, weights_.get(), sizeof loaded), 0);
}

// What the shipped numbers turn into: every value usable, and the king-safety
// weights consistent with each other.
TEST_F(ParameterFile, ShippedFileIsCleanAndConsistent) {
  ASSERT_EQ(ReadFile(SourceDir + "/Parameters.txt"), std::string(EmbeddedParameters, EmbeddedParametersSize));
  std::string out;
  EXPECT_EQ(Scan(std::string(EmbeddedParameters, EmbeddedParametersSize), &out).size(),
            size_t(ParameterCount));
  EXPECT_EQ(out, "");
  const Result result = LoadShipped();
  EXPECT_EQ(result.out, "");
  const i32* first = &weights_->EG_DOUBLED_PAWN_PENALTY;
  for (int k = 0; k < 323; ++k) EXPECT_NE(first[k], INT32_MIN) << k;
  for (int t = 0; t < PieceSquareTableCount; ++t)
    for (int i = 0; i < 64; ++i) EXPECT_LT(std::abs(weights_->pieceSquareBase[t][i]), 200) << t << " " << i;
  const EvalWeights& w = *weights_;
  // The attack blend takes MAX_SHELTER_VALUE minus the shelter unsigned: no
  // shelter may exceed it.
  EXPECT_GE(w.MAX_SHELTER_VALUE, w.INNER_SIDE_SHELTER[0] + w.CENTRAL_SHELTER[0] + w.OUTER_SIDE_SHELTER[0]);
  for (int k = 0; k + 1 < 4; ++k) EXPECT_GE(w.CENTRAL_SHELTER[k], w.CENTRAL_SHELTER[k + 1]);
  EXPECT_GE(w.QUEEN_ATT_WEIGHT_BS, w.QUEEN_ATT_WEIGHT_GS);
  for (int k = 3; k < 16; ++k) EXPECT_GE(w.PIECE_ATT_WEIGHT[k], w.PIECE_ATT_WEIGHT[k - 1]);
  for (int k = 4; k < 7; ++k) EXPECT_GT(w.EG_PASSED_PAWN[k], w.EG_PASSED_PAWN[k - 1]);
  // Penalties stay penalties; tuning may find one worth nothing.
  EXPECT_LE(w.EG_DOUBLED_PAWN_PENALTY, 0);
  EXPECT_LE(w.TRAPPED_PENALTY_1, 0);
}

// Random parameter texts: a mix of well-formed numbers, comments, markers,
// separators and the occasional character the grammar rejects.
std::string RandomText(Random* random, int tokens) {
  static const char* const pieces[] = {"12",     "-7",        "0.25",         "-3.5",        "1e2",
                                       "2.5E-1", "0x1p4",     "-inf",         "-nan",        ".5",
                                       "-.5",    "1,5",       "3.",           "-",           "--2",
                                       "1e400",  "-1e400",    "2147483647.9", "2147483648",  "-2147483648.9",
                                       "<name>", "[note 12]", "<unclosed 1",  "[unclosed 2", "#12",
                                       "#",      " ",         "\n",           "\r\n",        "\t",
                                       ",",      ".",         "<a><b>",       "+1",          "x",
                                       "\x80",   "9e",        "7e+",          "0x",          "0.5e1.5"};
  std::string text;
  for (int k = 0; k < tokens; ++k) {
    const std::string piece = pieces[random->Below(int(std::size(pieces)))];
    const bool disruptive = piece == "<a><b>" || piece == "+1" || piece == "x" || piece == "\x80" ||
                            piece == "-inf" || piece == "-nan" || piece == "7e+" ||
                            piece.rfind("<unclosed", 0) == 0 || piece.rfind("[unclosed", 0) == 0;
    // About one file in four should meet one of these; the others run to their end.
    if (disruptive && random->Below(tokens + 1) >= 2) continue;
    text += piece;
    // Comments and markers opening a step in the wrong order are rare cases of their own.
    const bool opensStep = piece[0] == '<' || piece[0] == '[' || piece[0] == '#';
    text += opensStep || random->Below(100) < 70 ? " " : "";
  }
  return text;
}

// The dump and the messages must match a second implementation written
// independently in Python, byte for byte.
TEST_F(ParameterFile, AgreesWithReferenceImplementation) {
  std::vector<std::string> texts = {
      ReadFile(SourceDir + "/Parameters.txt"),
      Counting(ParameterCount),
      Counting(40),
      Counting(MaxParameterNumbers + 100),
      "",
      "#1 2 #34 5 <c 6>[d 7] 8,9 -.5 .5 3e2 1.5.5 " + Counting(130),
      Counting(60) + " 61 62 <never closed 63 64",
      Counting(60) + " [never closed 63",
      Counting(70) + " +71 72",
      Counting(70) + " <a><b> 72",
      Counting(70) + " [a]<b> 72",
      std::string("1 2 3\0 4 5", 10) + Counting(125),
      ShippedWith({{55, "-2"}, {56, "0.5"}, {57, "3"}, {61, "1"}, {62, "-1"}, {63, "0"}}),
      ShippedWith({{64, "5"}, {65, "-1"}, {66, "0"}, {67, "-0.5"}, {78, "2"}, {79, "5.5"}, {80, "0.5"}}),
      ShippedWith({{58, "-nan"}, {59, "1e300"}, {60, "-inf"}, {1, "2147483647.9"}, {2, "-2147483648.9"}}),
      ShippedWith({{98, "1e9"}, {99, "1e9"}, {102, "3e8"}, {105, "-1e9"}, {106, "2e9"}, {107, "2e9"}}),
      ShippedWith({{109, "-nan"}, {114, "7e8"}, {116, "-5e8"}, {118, "1e308"}, {119, "-1e308"}}),
  };
  Random random{20240611};
  for (int k = 0; k < 120; ++k) texts.push_back(RandomText(&random, 40 + k * 3));

  fs::create_directory("cases");
  std::string command = "python3 '" + SourceDir + "/tests/engine/reference_parameters.py' '" + SourceDir +
                        "/Parameters.txt' cases/missing.txt";
  for (size_t k = 0; k < texts.size(); ++k) {
    const std::string name = "cases/case" + std::to_string(k) + ".txt";
    WriteFile(name, texts[k]);
    command += " " + name;
  }
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  int errors = 0;
  int dumps = 0;
  for (size_t k = 0; k <= texts.size(); ++k) {
    const std::string name =
        k == texts.size() ? "cases/missing.txt" : "cases/case" + std::to_string(k) + ".txt";
    const Result result = Load(name);
    EXPECT_EQ(result.out, ReadFile(name + ".expected-out")) << name;
    ASSERT_EQ(result.dumped, fs::exists(name + ".expected-dump")) << name;
    if (result.dumped) {
      EXPECT_EQ(result.dump, ReadFile(name + ".expected-dump")) << name;
    }
    errors += result.out == "error...\n";
    dumps += result.dumped;
  }
  // The random texts must exercise both outcomes of the scan.
  EXPECT_GT(errors, 5);
  EXPECT_LT(errors, int(texts.size()) / 2);
  EXPECT_EQ(dumps, int(texts.size()));
}

}  // namespace
