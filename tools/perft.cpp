// tarvo-perft: counts the leaf nodes of the move tree below a position, to
// compare with other programs and to check the generators and make/unmake.
//
//   tarvo-perft "<FEN>|startpos" <depth> [--divide] [--staged] [--verify]
//
// The last line of standard output is the node count; time and speed go to
// standard error.
#include "board/perft.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/board.h"
#include "tools/common/args.h"

namespace {

constexpr int MaxDepth = 32;

// Prints the complaint and the usage line; the exit status for bad arguments.
int Usage(const char* message) {
  std::fprintf(stderr,
               "%s\nusage: tarvo-perft \"<FEN>\"|startpos <depth 0..%d> [--divide] [--staged] [--verify]\n",
               message, MaxDepth);
  return 2;
}

// Leaf count below the position with the chosen mode.
u64 Count(Position* pos, int depth, bool staged, bool verify, PerftFailure* failure) {
  if (verify) return PerftVerify(pos, depth, failure);
  return Perft(pos, depth, staged ? PerftStaged : PerftLegal);
}

// Prints what the checking walk found and the moves leading there; exit status 1.
int ReportFailure(const PerftFailure* failure, const Move* rootMove) {
  std::fprintf(stderr, "perft verify FAILED: %s\nafter moves:", failure->message);
  if (rootMove) std::fprintf(stderr, " %s", MoveToText(*rootMove).text);
  const int length = failure->pathLength < 64 ? failure->pathLength : 64;
  for (int i = 0; i < length; ++i) std::fprintf(stderr, " %s", MoveToText(failure->path[i]).text);
  std::fprintf(stderr, "\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage("missing arguments");
  bool divide = false, staged = false, verify = false;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--divide") == 0)
      divide = true;
    else if (std::strcmp(argv[i], "--staged") == 0)
      staged = true;
    else if (std::strcmp(argv[i], "--verify") == 0)
      verify = true;
    else
      return Usage("unknown option");
  }
  i64 parsedDepth = 0;
  if (!ParseWholeInt(argv[2], 0, MaxDepth, &parsedDepth)) return Usage("bad depth");
  const int depth = int(parsedDepth);

  InitBoardTables();
  static Position position;
  Position* pos = &position;
  const char* fen = std::strcmp(argv[1], "startpos") == 0 ? StartFen : argv[1];
  if (!LoadFen(pos, fen)) return Usage("the FEN is not a playable position");

  const auto start = std::chrono::steady_clock::now();
  PerftFailure failure{};
  u64 total = 0;
  if (divide && depth > 0) {
    // The per-move walks below do not look at the root itself.
    if (verify) {
      PerftVerify(pos, 1, &failure);
      if (failure.failed) return ReportFailure(&failure, nullptr);
    }
    MoveList list;
    list.count = 0;
    if (staged)
      GenerateStaged(pos, &list);
    else
      GenerateLegal(pos, &list);
    for (int i = 0; i < list.count; ++i) {
      const Move m = list.move[i];
      UndoRecord undo;
      MakeMove(pos, m, &undo);
      const u64 nodes = Count(pos, depth - 1, staged, verify, &failure);
      UnmakeMove(pos, m, &undo);
      if (failure.failed) return ReportFailure(&failure, &m);
      std::printf("%s: %" PRIu64 "\n", MoveToText(m).text, nodes);
      total += nodes;
    }
    std::printf("\n");
  } else {
    total = Count(pos, depth, staged, verify, &failure);
    if (failure.failed) return ReportFailure(&failure, nullptr);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "time %.3f s, %.0f nodes per second\n", seconds,
               seconds > 0 ? double(total) / seconds : 0.0);
  std::printf("%" PRIu64 "\n", total);
  return 0;
}
