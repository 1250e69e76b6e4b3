// Tarvo: a UCI chess engine. The entry routine builds every table in a fixed
// order and then serves the GUI until "quit" or the end of standard input.
#include <cstdio>
#include <cstring>

#include "base/output.h"
#include "base/platform.h"
#include "base/text.h"
#include "board/board.h"
#include "engine/bench.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "engine/uci.h"
#include "search/table.h"

namespace {

void PrintVersion() {
  char version[32];
  VersionString(version, sizeof version);
#if defined(__clang__)
  const char* compiler = "clang " __clang_version__;
#elif defined(__GNUC__)
  const char* compiler = "g++ " __VERSION__;
#else
  const char* compiler = "unknown compiler";
#endif
#if defined(_WIN32)
  const char* system = "Windows";
#elif defined(__linux__)
  const char* system = "Linux";
#else
  const char* system = "POSIX";
#endif
  Print("Tarvo %s (built %s, %s, %d-bit, %s)\n", version, __DATE__, compiler, int(sizeof(void*) * 8), system);
}

void PrintHelp() {
  PrintVersion();
  Print(
      "A UCI chess engine: add it to a chess GUI, or type UCI commands.\n"
      "\n"
      "Usage:\n"
      "  tarvo                  serve the UCI protocol on standard input and output\n"
      "  tarvo bench [depth]    run the bench (depth %d by default) on the built-in\n"
      "                         weights, print \"Bench: <nodes> nodes <nps> nps\" and exit\n"
      "  tarvo --help           this text\n"
      "  tarvo --version        version and build\n"
      "\n"
      "Commands besides UCI, typed into the running engine:\n"
      "  bench [depth]          the bench on the weights in use\n"
      "  d                      the board, its FEN, hash key and checking pieces\n"
      "  eval                   the static evaluation term by term\n"
      "  go perft N             leaf counts below each legal move, then their total\n"
      "\n"
      "UCI options: Hash, Clear Hash, MultiPV, Ponder, Rate of play, UCI_ShowCurrLine,\n"
      "UCI_EngineAbout, Move Overhead (ms taken off the clock for transmission lag),\n"
      "Threads (1: the engine searches on one thread).\n"
      "\n"
      "Parameter file: Parameters.txt is looked for in\n"
      "  1. the working directory\n",
      DefaultBenchDepth);
  char dir[1024];
  if (ExecutableDirectory(dir, sizeof dir)) {
    Print("  2. the executable's folder: %s\n", dir);
    Print("  3. the installed data folder: %s%c..%cshare%ctarvo\n", dir, PathSeparator, PathSeparator,
          PathSeparator);
  } else {
    Print("  2. the executable's folder\n  3. the installed data folder (../share/tarvo from there)\n");
  }
  Print(
      "The first found is read; without one the engine plays with the built-in values.\n"
      "After the first \"uci\" an \"info string\" line names the file read (or why none was)\n"
      "and warns about numbers that look damaged. The converted weights are written to\n"
      "\"PERSON INIT.txt\" beside the file read, where that folder can be written.\n");
}

// The command-line arguments; returns the exit status.
int RunArguments(int argc, char** argv) {
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintHelp();
    return 0;
  }
  if (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-v") == 0) {
    PrintVersion();
    return 0;
  }
  if (std::strcmp(argv[1], "bench") == 0 && argc <= 3) {
    int depth = DefaultBenchDepth;
    if (argc == 3) {
      depth = ParseInt(argv[2]);
      if (argv[2][0] < '0' || argv[2][0] > '9' || depth < MinBenchDepth || depth > MaxBenchDepth) {
        std::fprintf(stderr, "tarvo: the bench depth must be %d..%d\n", MinBenchDepth, MaxBenchDepth);
        return 2;
      }
    }
    return BenchFromCommandLine(depth, false, 0);
  }
  std::fprintf(stderr, "tarvo: unknown argument \"%s\" (try tarvo --help)\n", argv[1]);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Unbuffered before any output: the parameter loader may already print, and
  // buffering can only be chosen before a stream's first use.
  SetUnbufferedStreams();
  if (argc > 1) return RunArguments(argc, argv);

  static Position position;
  static OptionTable options;
  // GUIs often start engines in another folder: the file may sit beside the binary.
  char parameterFile[1024];
  FindParameterFile(parameterFile, sizeof parameterFile);
  EngineState* engine = NewEngine(parameterFile, DefaultHashMb, &options.parameterReport);
  if (engine == nullptr) return 1;
  std::memset(&position, 0, sizeof position);
  // Registered now as well as on "uci", so that "setoption" before "uci" works.
  RegisterOptions(&options);

  UciLoop(&options, &position, engine);
  FreeEngine(engine);
  return 0;
}
