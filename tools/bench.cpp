// tarvo-bench: the bench signature from the command line (the same bench as
// `tarvo bench` and the engine's "bench" command).
//
//   tarvo-bench [depth] [--expect NODES]
//
// The last line is "Bench: <nodes> nodes <nps> nps"; with --expect the exit
// status says whether the node count matched.
#include "engine/bench.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: tarvo-bench [depth] [--expect NODES]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int depth = DefaultBenchDepth;
  bool check = false;
  u64 expected = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--expect") == 0 && i + 1 < argc) {
      check = true;
      expected = std::strtoull(argv[++i], nullptr, 10);
    } else if (argv[i][0] >= '1' && argv[i][0] <= '9') {
      depth = std::atoi(argv[i]);
      if (depth < MinBenchDepth || depth > MaxBenchDepth) return Usage();
    } else {
      return Usage();
    }
  }
  return BenchFromCommandLine(depth, check, expected);
}
