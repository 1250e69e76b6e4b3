// Runs the real engine binary through pipes, as a GUI would.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine_pipe.h"

namespace {

struct RunResult {
  int status;
  std::string output;
};

int CountOccurrences(const std::string& text, const std::string& needle) {
  int count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

// The engine's output from `dir` when the binary is `engine` (the built one
// unless a copy is given), with arguments; its standard error is dropped
// unless `errors` says where it goes.
RunResult RunIn(const std::string& dir, const std::string& input,
                const std::string& engine = TARVO_ENGINE_PATH, const std::string& arguments = "",
                const std::string& errors = "2>/dev/null") {
  WriteFile(dir + "/input.txt", input);
  std::string command = "cd '" + dir + "' && '";
  command += engine;
  command += "' " + arguments + " < input.txt > output.txt " + errors;
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir + "/output.txt")};
}

// The built engine's output, standard error included.
RunResult RunEngine(const std::string& dir, const std::string& input) {
  return RunIn(dir, input, TARVO_ENGINE_PATH, "", "2>&1");
}

TEST(EngineProcess, SilentStartAndExitAtEndOfInput) {
  TempDir dir(true);
  RunResult r = RunEngine(dir.Path(), "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "");
  std::string dump = ReadFile(dir.Path() + "/PERSON INIT.txt");
  EXPECT_NE(dump.find("index = 125"), std::string::npos);
}

TEST(EngineProcess, QuitEndsAtOnceWithoutOutput) {
  RunResult r = RunEngine(TempDir(true).Path(), "quit\nuci\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "");
}

TEST(EngineProcess, AnswersUciAndIsReadyThroughAPipe) {
  RunResult r = RunEngine(TempDir(true).Path(), "uci\r\nisready\nquit\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("id name Tarvo ", 0), 0u);
  // The first "uci" is followed by the line naming the parameter file read.
  EXPECT_NE(r.output.find("uciok\ninfo string parameters read from Parameters.txt in the working directory\n"
                          "readyok\n"),
            std::string::npos);
}

TEST(EngineProcess, GarbageAndOverlongLinesAreNamedAndIgnored) {
  std::string input = std::string(200000, 'x') + "\n" + "garbage\n\n\x01\x02\n" + "isready\n";
  RunResult r = RunEngine(TempDir(true).Path(), input);
  EXPECT_EQ(r.status, 0);
  // The overlong line is refused whole; every other word is named as unknown
  // and the blank line gets nothing.
  EXPECT_EQ(r.output,
            "info string line too long, ignored\ninfo string unknown command: garbage\n"
            "info string unknown command: ??\nreadyok\n");
}

TEST(EngineProcess, AnOverlongLineIsRefusedWholeNeverSplit) {
  // 65535 characters and the newline still fit; one more and the line is
  // refused, its tail never read as a command of its own.
  std::string longest = "isready" + std::string(65535 - 7, ' ') + "\n";
  std::string tooLong = std::string(65536, ' ') + "isready\n";
  RunResult r =
      RunEngine(TempDir(true).Path(), longest + tooLong + "uci" + std::string(65536, ' ') + "\nquit\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "readyok\ninfo string line too long, ignored\ninfo string line too long, ignored\n");
}

TEST(EngineProcess, MissingParameterFileIsReportedAndPlayContinues) {
  // The build keeps a copy of the file beside the binary: run a copy of the
  // binary that has none.
  if (std::string(TARVO_ENGINE_PATH).find("/emulated/") != std::string::npos)
    GTEST_SKIP() << "the engine runs under an emulator";
  TempDir temp;
  const std::string dir = temp.Path();
  std::filesystem::copy_file(TARVO_ENGINE_PATH, dir + "/tarvo");
  RunResult r = RunIn(dir, "isready\n", dir + "/tarvo");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "Error. Tarvo.exe and Parameters.txt should be in one folder\nreadyok\n");
  EXPECT_FALSE(std::ifstream(dir + "/PERSON INIT.txt").good());
}

// The line after the first "uciok".
std::string ReportLine(const std::string& output) {
  const size_t at = output.find("uciok\n");
  if (at == std::string::npos) return "";
  const size_t start = at + 6;
  return output.substr(start, output.find('\n', start) - start);
}

namespace fs = std::filesystem;

// An install-like tree: DIR/bin/tarvo, with the shipped file beside it
// and/or in DIR/share/tarvo, and an empty working folder DIR/work.
class FileSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    // A wrapper that runs the binary under an emulator cannot be copied.
    if (std::string(TARVO_ENGINE_PATH).find("/emulated/") != std::string::npos)
      GTEST_SKIP() << "the engine runs under an emulator";
    fs::create_directories(root_ + "/bin");
    fs::create_directories(root_ + "/share/tarvo");
    fs::create_directories(root_ + "/work");
    fs::copy_file(TARVO_ENGINE_PATH, Engine());
  }
  void Place(const std::string& folder, const std::string& text) {
    std::ofstream(root_ + "/" + folder + "/Parameters.txt", std::ios::binary) << text;
  }
  std::string Shipped() { return ReadFile(std::string(TARVO_SOURCE_DIR) + "/Parameters.txt"); }
  std::string Engine() { return root_ + "/bin/tarvo"; }
  RunResult Run(const std::string& input = "uci\nuci\nisready\n") {
    return RunIn(root_ + "/work", input, Engine());
  }

  TempDir dir_;
  const std::string root_ = dir_.Path();
};

TEST_F(FileSearch, NoFileAnywhere) {
  RunResult r = Run();
  EXPECT_EQ(r.output.rfind("Error. Tarvo.exe and Parameters.txt should be in one folder\nid name Tarvo", 0),
            0u);
  const std::string bin = fs::canonical(root_ + "/bin").string();
  EXPECT_EQ(ReportLine(r.output), "info string no Parameters.txt in the working directory, in " + bin +
                                      " or in " + bin + "/../share/tarvo: using the built-in values");
  // One report, after the first "uci" only.
  EXPECT_EQ(CountOccurrences(r.output, "info string"), 1);
  EXPECT_FALSE(fs::exists(root_ + "/work/PERSON INIT.txt"));
}

TEST_F(FileSearch, TheFirstFoundIsRead) {
  const std::string bin = fs::canonical(root_ + "/bin").string();
  Place("share/tarvo", Shipped());
  RunResult r = Run();
  EXPECT_EQ(r.output.find("Error."), std::string::npos);
  EXPECT_EQ(ReportLine(r.output),
            "info string parameters read from " + bin + "/../share/tarvo/Parameters.txt");
  // The dump goes beside the file read, never into the GUI's folder.
  EXPECT_NE(ReadFile(root_ + "/share/tarvo/PERSON INIT.txt").find("index = 125"), std::string::npos);

  Place("bin", Shipped());
  EXPECT_EQ(ReportLine(Run().output), "info string parameters read from " + bin + "/Parameters.txt");
  EXPECT_TRUE(fs::exists(root_ + "/bin/PERSON INIT.txt"));

  Place("work", Shipped());
  EXPECT_EQ(ReportLine(Run().output),
            "info string parameters read from Parameters.txt in the working directory");
  EXPECT_TRUE(fs::exists(root_ + "/work/PERSON INIT.txt"));
}

TEST_F(FileSearch, AReadOnlyInstallGetsNoDumpAndNoWarning) {
  Place("share/tarvo", Shipped());
  const std::string folder = root_ + "/share/tarvo";
  // Root writes through the permission bits: a folder by the dump's name
  // makes the folder as unwritable for it as the bits make it for others.
  if (geteuid() == 0) fs::create_directory(folder + "/PERSON INIT.txt");
  fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  RunResult r = Run("uci\nisready\n");
  fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReportLine(r.output), "info string parameters read from " +
                                      fs::canonical(root_ + "/bin").string() +
                                      "/../share/tarvo/Parameters.txt");
  EXPECT_EQ(CountOccurrences(r.output, "info string"), 1) << r.output;
  EXPECT_TRUE(r.output.ends_with("readyok\n")) << r.output;
  EXPECT_FALSE(fs::is_regular_file(folder + "/PERSON INIT.txt"));
  EXPECT_FALSE(fs::exists(root_ + "/work/PERSON INIT.txt"));
}

TEST_F(FileSearch, DamagedFilesAreNamed) {
  const std::string name = "Parameters.txt in the working directory";
  // Five numbers too many.
  std::string text;
  for (int i = 1; i <= 130; ++i) text += std::to_string(i % 7) + "\n";
  Place("work", text);
  RunResult r = Run();
  EXPECT_NE(r.output.find("uciok\ninfo string parameters read from " + name +
                          "\ninfo string warning: " + name + " holds 130 numbers where 125 are expected"),
            std::string::npos)
      << r.output;

  // An exponent, and too few numbers.
  Place("work", "1e3 2 3\n");
  r = Run();
  EXPECT_NE(r.output.find("info string warning: " + name + " has 1 number written with an exponent"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("info string warning: " + name +
                          " holds only 4 numbers; the last 121 were completed from the built-in values\n"),
            std::string::npos)
      << r.output;

  // Nothing but comments: the built-in values.
  Place("work", "<just a comment>\n");
  EXPECT_EQ(ReportLine(Run().output), "info string " + name + " holds no numbers: using the built-in values");

  // A folder by the file's name cannot be read.
  fs::remove(root_ + "/work/Parameters.txt");
  fs::create_directory(root_ + "/work/Parameters.txt");
  EXPECT_EQ(ReportLine(Run().output),
            "info string " + name + " could not be read: using the built-in values");
}

TEST_F(FileSearch, AnUnwritableDumpIsReportedAndPlayGoesOn) {
  Place("work", Shipped());
  fs::create_directory(root_ + "/work/PERSON INIT.txt");
  RunResult r = Run("uci\nposition startpos\ngo depth 2\n");
  EXPECT_NE(r.output.find("uciok\ninfo string parameters read from Parameters.txt in the working directory\n"
                          "info string could not write PERSON INIT.txt in the working directory; playing on "
                          "without it\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("bestmove "), std::string::npos);
}

TEST(EngineProcess, ARefusedHashFallsBackToASmallerTable) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer cannot start under an address-space limit";
#endif
  if (std::string(TARVO_ENGINE_PATH).find("/emulated/") != std::string::npos)
    GTEST_SKIP() << "the emulator itself needs more address space";
  TempDir dir(true);
  // 400 MB of address space: the 1024 MB table is refused, and so are the
  // sizes down to what fits beside the engine and its old table.
  RunResult r = RunIn(dir.Path(), "setoption name Hash value 1024\nposition startpos\ngo depth 5\n",
                      "/bin/sh", "-c 'ulimit -v 400000 && exec \"$0\"' '" TARVO_ENGINE_PATH "'");
  EXPECT_EQ(r.status, 0);
  int megabytes = 0;
  ASSERT_EQ(
      std::sscanf(r.output.c_str(), "info string Hash 1024 could not be allocated; using %d\n", &megabytes),
      1)
      << r.output;
  EXPECT_TRUE(megabytes >= 8 && megabytes < 1024 && (megabytes & (megabytes - 1)) == 0) << megabytes;
  EXPECT_NE(r.output.find("\nbestmove "), std::string::npos) << r.output;
}

TEST(CommandLine, HelpVersionAndBench) {
  TempDir temp;
  const std::string dir = temp.Path();
  RunResult version = RunIn(dir, "", TARVO_ENGINE_PATH, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output.rfind("Tarvo ", 0), 0u);
  EXPECT_EQ(CountOccurrences(version.output, "\n"), 1);
  EXPECT_NE(version.output.find(sizeof(void*) == 8 ? "64-bit" : "32-bit"), std::string::npos);

  RunResult help = RunIn(dir, "", TARVO_ENGINE_PATH, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.rfind(version.output, 0), 0u);
  for (const char* word : {"tarvo bench [depth]", "\n  d ", "\n  eval ", "go perft N", "Move Overhead",
                           "Threads", "1. the working directory", "share/tarvo", "PERSON INIT.txt"})
    EXPECT_NE(help.output.find(word), std::string::npos) << word;

  // The bench runs on the built-in weights even without a file, and exits.
  RunResult bench = RunIn(dir, "", TARVO_ENGINE_PATH, "bench 2");
  EXPECT_EQ(bench.status, 0);
  EXPECT_EQ(bench.output.rfind("Bench: ", 0), 0u) << bench.output;
  EXPECT_EQ(CountOccurrences(bench.output, " nodes "), 1);
  EXPECT_EQ(RunIn(dir, "", TARVO_ENGINE_PATH, "bench 1").status, 2);
  EXPECT_EQ(RunIn(dir, "", TARVO_ENGINE_PATH, "--frobnicate").status, 2);
  EXPECT_FALSE(fs::exists(dir + "/PERSON INIT.txt"));
}

}  // namespace
