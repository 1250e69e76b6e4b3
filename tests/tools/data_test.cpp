// Tuning data from other engines: PGN games replayed into data lines, and a
// UCI engine's scores put on data lines.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/output.h"
#include "tests/support.h"
#include "tools/data/label.h"
#include "tools/data/pgn.h"
#include "tools/match/rules.h"
#include "tools/tuning/selfplay.h"

namespace {

using tuning::Sample;

std::vector<data::PgnGame> ReadGames(const std::string& path) {
  std::vector<data::PgnGame> games;
  FILE* in = std::fopen(path.c_str(), "r");
  EXPECT_NE(in, nullptr);
  if (in == nullptr) return games;
  for (data::PgnGame game; data::ReadPgnGame(in, &game);) games.push_back(game);
  std::fclose(in);
  return games;
}

TEST(PgnData, TagsMovesAndResultsAreReadPastCommentsAndVariations) {
  InitBoardTables();
  TempDir dir;
  WriteFile(dir.Path() + "/games.pgn",
            "[Event \"x\"]\n[Result \"1-0\"]\n[FEN \"4k3/P7/8/8/8/8/8/R3K3 w Q - 0 40\"]\n"
            "[Termination \"adjudication\"]\n\n"
            "40. O-O-O {a comment\nover two lines (with a bracket)} 40... Kf7 $1 (40... Ke7 41. a8=Q)\n"
            "41. a8Q! ; to the end of the line 1-0\n"
            "1-0 41... Kc7\n\n"
            "[White \"a\"]\n\n1.e4 e5 2.Nf3 *\n\n[Result \"1/2-1/2\"]\n\n1. d4 d5\n");
  const std::vector<data::PgnGame> games = ReadGames(dir.Path() + "/games.pgn");
  ASSERT_EQ(games.size(), 3u);
  EXPECT_EQ(games[0].fen, "4k3/P7/8/8/8/8/8/R3K3 w Q - 0 40");
  EXPECT_EQ(games[0].result, "1-0");
  EXPECT_EQ(games[0].termination, "adjudication");
  EXPECT_EQ(games[0].moves, (std::vector<std::string>{"O-O-O", "Kf7", "a8Q!"}));
  // What follows the result on its line is passed over with it.
  EXPECT_EQ(games[1].fen, StartFen);
  EXPECT_EQ(games[1].result, "*");
  EXPECT_EQ(games[1].moves, (std::vector<std::string>{"e4", "e5", "Nf3"}));
  EXPECT_EQ(games[2].result, "1/2-1/2");  // a game cut off still has its tag
  EXPECT_EQ(games[2].moves.size(), 2u);

  auto pos = std::make_unique<Position>();
  ASSERT_TRUE(LoadFen(pos.get(), games[0].fen.c_str()));
  for (const std::string& san : games[0].moves) ASSERT_TRUE(data::PlaySan(pos.get(), san)) << san;
  EXPECT_EQ(FenOf(pos.get()), "Q7/5k2/8/8/8/8/8/2KR4 b - - 0 1");
  ASSERT_TRUE(LoadFen(pos.get(), "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1"));
  EXPECT_FALSE(data::PlaySan(pos.get(), "R1d1"));  // rank names no single rook: both stand on it
  EXPECT_FALSE(data::PlaySan(pos.get(), "Ke3"));   // not a king move
  EXPECT_TRUE(data::PlaySan(pos.get(), "0-0-0"));
}

class PgnSamples : public SharedEngine {
 protected:
  void SetUp() override { SetOutputMuted(true); }
  void TearDown() override { SetOutputMuted(false); }
};

TEST_F(PgnSamples, RandomGamesGiveQuietPositionsOfTheirOwnGameWithItsResult) {
  // Random games written in SAN with made-up results; each game's positions
  // are known by key, so every sample can be traced to its game.
  TempDir dir;
  const char* results[] = {"1-0", "0-1", "1/2-1/2"};
  std::string pgn;
  std::vector<std::unordered_map<u64, int>> positions;  // key -> ply, per game
  std::vector<u64> finalKeys;
  const Position* current = nullptr;
  int game = -1, ply = 0;
  std::string moves;
  auto finish = [&]() {
    if (game < 0) return;
    pgn += "[Result \"" + std::string(results[game % 3]) + "\"]\n";
    if (game % 4 == 1)
      pgn += "[FEN \"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1\"]\n";
    pgn += "\n" + moves + results[game % 3] + "\n\n";
  };
  auto pick = [&](const MoveList& legal, Random* random) {
    const Move m = legal.move[random->Below(legal.count)];
    moves += match::MoveToSan(current, m) + " ";
    return m;
  };
  const std::vector<std::string> starts = {
      StartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"};
  ForRandomGames(
      {starts[0], starts[1], starts[0], starts[0]}, 24, 60, 11,
      [&](Position* pos) {
        if (current == nullptr || ply == 60 || pos->historyCount == 0) {
          finish();
          ++game, ply = 0, moves.clear();
          positions.emplace_back();
        }
        positions.back().emplace(pos->key, ply++);
        current = pos;
      },
      pick);
  finish();
  ASSERT_EQ(game, 23);
  // The PGN moves name the whole game but the position after the last move,
  // which the walker visits no more.
  WriteFile(dir.Path() + "/random.pgn", pgn);
  const std::vector<data::PgnGame> games = ReadGames(dir.Path() + "/random.pgn");
  ASSERT_EQ(games.size(), 24u);

  data::ConvertOptions options;
  options.skipPlies = 6;
  options.perGame = 5;
  options.seed = 3;
  auto pos = std::make_unique<Position>();
  int kept = 0;
  for (size_t g = 0; g < games.size(); ++g) {
    std::vector<Sample> samples, again;
    std::string why;
    ASSERT_TRUE(data::GameSamples(engine, games[g], 100 + long(g), options, &samples, &why)) << g << why;
    ASSERT_TRUE(data::GameSamples(engine, games[g], 100 + long(g), options, &again, &why));
    EXPECT_LE(samples.size(), 5u);
    kept += int(samples.size());
    const double result = g % 3 == 0 ? 1.0 : g % 3 == 1 ? 0.0 : 0.5;
    for (size_t n = 0; n < samples.size(); ++n) {
      const Sample& s = samples[n];
      EXPECT_EQ(s.fen, again[n].fen);
      EXPECT_EQ(s.result, result);
      EXPECT_EQ(s.game, 100 + long(g));
      EXPECT_FALSE(s.hasScore);
      ASSERT_TRUE(LoadFen(pos.get(), s.fen.c_str())) << s.fen;
      const auto found = positions[g].find(pos->key);
      ASSERT_NE(found, positions[g].end()) << "game " << g << ": " << s.fen;
      EXPECT_GE(found->second, 6);
      u64 checkers = 0;
      EXPECT_EQ(Checkers(pos.get(), &checkers), 0) << s.fen;
      i32 stand = 0;
      EXPECT_TRUE(tuning::IsQuietPosition(engine, pos.get(), &stand)) << s.fen;
    }
  }
  EXPECT_GT(kept, 24 * 3);

  // Games whose result is no verdict on the board are left out, as is one
  // with a move that cannot be played.
  std::vector<Sample> samples;
  std::string why;
  data::PgnGame faulty = games[0];
  faulty.termination = "time forfeit";
  EXPECT_FALSE(data::GameSamples(engine, faulty, 0, options, &samples, &why));
  faulty = games[0];
  faulty.result = "*";
  EXPECT_FALSE(data::GameSamples(engine, faulty, 0, options, &samples, &why));
  faulty = games[0];
  faulty.moves[10] = "Ke5";
  EXPECT_FALSE(data::GameSamples(engine, faulty, 0, options, &samples, &why));
  EXPECT_EQ(why.compare(0, 8, "move 11 "), 0) << why;
}

// ---------------------------------------------------------------------------
// The labeller

data::LabelOptions FakeScorer(const std::string& mode, const std::string& more = "") {
  data::LabelOptions options;
  options.command =
      "sh " TARVO_SOURCE_DIR "/tests/tools/fake_scorer.sh " + mode + (more.empty() ? "" : " " + more);
  options.nodes = 100;
  options.timeoutMs = 2000;
  return options;
}

// Labels the text and returns the lines written.
std::vector<std::string> Label(const data::LabelOptions& options, const std::string& text,
                               data::LabelCounts* counts) {
  TempDir dir;
  WriteFile(dir.Path() + "/in.txt", text);
  FILE* in = std::fopen((dir.Path() + "/in.txt").c_str(), "r");
  FILE* out = std::fopen((dir.Path() + "/out.txt").c_str(), "w");
  data::Labeller labeller;
  std::atomic<long long> done{0};
  EXPECT_TRUE(data::StartLabeller(&labeller, options));
  EXPECT_TRUE(data::LabelLines(&labeller, in, out, 1000, counts, &done));
  data::StopLabeller(&labeller);
  std::fclose(in);
  std::fclose(out);
  std::vector<std::string> lines;
  std::istringstream written(ReadFile(dir.Path() + "/out.txt"));
  for (std::string line; std::getline(written, line);) lines.push_back(line);
  EXPECT_EQ(done, (long long)lines.size());
  return lines;
}

const std::string White = "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", Black = "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1";

TEST(Labeller, ScoresAreWhitesViewAndEachGameStartsAfresh) {
  data::LabelCounts counts;
  const std::vector<std::string> lines =
      Label(FakeScorer("score"),
            White + " [1.0] 55 game=4\n" + Black + " [1.0] 55 game=4\n# kept\n" + White + " [0.5] game=9\n" +
                Black + " [0.0]\n" + Black + " [0.0]\n",
            &counts);
  // The fake's score is ten times the new games it was told of, plus 7.
  EXPECT_EQ(lines, (std::vector<std::string>{White + " [1.0] 17 game=4", Black + " [1.0] -17 game=4",
                                             "# kept", White + " [0.5] 27 game=9", Black + " [0.0] -37",
                                             Black + " [0.0] -47"}));
  EXPECT_EQ(counts.scored, 5);
  EXPECT_EQ(counts.copied, 1);
}

TEST(Labeller, MatesAndSilentEnginesLeaveTheLineWithoutAScore) {
  data::LabelCounts counts;
  EXPECT_EQ(Label(FakeScorer("mate"), White + " [0.0] 300 game=1\n", &counts),
            std::vector<std::string>{White + " [0.0] game=1"});
  EXPECT_EQ(counts.mates, 1);

  // The first engine hangs: its line has no score, and the next engine answers.
  TempDir dir;
  data::LabelOptions options = FakeScorer("hang", dir.Path() + "/hung");
  options.timeoutMs = 300;
  counts = {};
  EXPECT_EQ(Label(options, White + " [1.0] 1 game=1\n" + Black + " [1.0] 1 game=1\n", &counts),
            (std::vector<std::string>{White + " [1.0] game=1", Black + " [1.0] -5 game=1"}));
  EXPECT_EQ(counts.failed, 1);
  EXPECT_EQ(counts.scored, 1);
}

TEST(Labeller, TheToolResumesAStoppedRunAndJoinsThePartsInOrder) {
  // Two stretches of three lines; the first worker of a stopped run wrote one
  // line and a piece of the next.
  TempDir dir;
  std::string in;
  for (int game : {1, 1, 2, 2, 3, 3}) in += White + " [0.5] 0 game=" + std::to_string(game) + "\n";
  WriteFile(dir.Path() + "/in.txt", in);
  WriteFile(dir.Path() + "/out.txt.part0", White + " [0.5] 999 game=1\n" + White + " [0.5] 99");
  const std::string tool = std::filesystem::path(TARVO_ENGINE_PATH).parent_path().string() + "/tarvo-label";
  const std::string command = "'" + tool + "' --in '" + dir.Path() + "/in.txt' --out '" + dir.Path() +
                              "/out.txt' --engine 'sh " TARVO_SOURCE_DIR
                              "/tests/tools/fake_scorer.sh score' "
                              "--nodes 1 --workers 2 --resume > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  // Each engine counts its own new games: 17 for its first, 27 for its second.
  const std::string g1 = White + " [0.5] ", g2 = " game=";
  EXPECT_EQ(ReadFile(dir.Path() + "/out.txt"), g1 + "999" + g2 + "1\n" + g1 + "17" + g2 + "1\n" + g1 + "27" +
                                                   g2 + "2\n" + g1 + "17" + g2 + "2\n" + g1 + "27" + g2 +
                                                   "3\n" + g1 + "27" + g2 + "3\n");
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/out.txt.part0"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/out.txt.part1"));
}

}  // namespace
