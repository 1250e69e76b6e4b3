// Runs the real engine binary through pipes, as a GUI would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "engine_pipe.h"

namespace {

struct RunResult {
  int status;
  std::string output;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

RunResult RunEngine(const std::string& dir, const std::string& input) {
  {
    std::ofstream in(dir + "/input.txt", std::ios::binary);
    in << input;
  }
  std::string command = "cd '" + dir + "' && '" + TARVO_ENGINE_PATH + "' < input.txt > output.txt 2>&1";
  int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir + "/output.txt")};
}

TEST(EngineProcess, SilentStartAndExitAtEndOfInput) {
  std::string dir = MakeEngineDir(true);
  RunResult r = RunEngine(dir, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "");
  std::string dump = ReadFile(dir + "/PERSON INIT.txt");
  EXPECT_NE(dump.find("index = 125"), std::string::npos);
}

TEST(EngineProcess, QuitEndsAtOnceWithoutOutput) {
  RunResult r = RunEngine(MakeEngineDir(true), "quit\nuci\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "");
}

TEST(EngineProcess, AnswersUciAndIsReadyThroughAPipe) {
  RunResult r = RunEngine(MakeEngineDir(true), "uci\r\nisready\nquit\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("id name Tarvo ", 0), 0u);
  EXPECT_NE(r.output.find("uciok\nreadyok\n"), std::string::npos);
}

TEST(EngineProcess, GarbageAndOverlongLinesAreIgnored) {
  std::string input = std::string(200000, 'x') + "\n" + "garbage\n\n\x01\x02\n" + "isready\n";
  RunResult r = RunEngine(MakeEngineDir(true), input);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "info string line too long, ignored\nreadyok\n");
}

TEST(EngineProcess, AnOverlongLineIsRefusedWholeNeverSplit) {
  // 65535 characters and the newline still fit; one more and the line is
  // refused, its tail never read as a command of its own.
  std::string longest = "isready" + std::string(65535 - 7, ' ') + "\n";
  std::string tooLong = std::string(65536, ' ') + "isready\n";
  RunResult r =
      RunEngine(MakeEngineDir(true), longest + tooLong + "uci" + std::string(65536, ' ') + "\nquit\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "readyok\ninfo string line too long, ignored\ninfo string line too long, ignored\n");
}

TEST(EngineProcess, MissingParameterFileIsReportedAndPlayContinues) {
  std::string dir = MakeEngineDir(false);
  RunResult r = RunEngine(dir, "isready\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "Error. Tarvo.exe and Parameters.txt should be in one folder\nreadyok\n");
  EXPECT_FALSE(std::ifstream(dir + "/PERSON INIT.txt").good());
}

}  // namespace
