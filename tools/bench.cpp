// tarvo-bench: the bench signature from the command line (the same bench as
// `tarvo bench` and the engine's "bench" command).
//
//   tarvo-bench [depth] [--expect NODES]
//
// The last line is "Bench: <nodes> nodes <nps> nps"; with --expect the exit
// status says whether the node count matched.
#include "engine/bench.h"

#include <cstdio>

#include "tools/common/args.h"

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
  ArgReader args = StartArgs("tarvo-bench", argc, argv);
  while (NextArg(&args)) {
    i64 value = 0;
    if (ArgIs(&args, "--expect")) {
      check = true;
      expected = ArgUnsigned(&args, UINT64_MAX);
    } else if (ParseWholeInt(CurrentArg(&args), MinBenchDepth, MaxBenchDepth, &value)) {
      depth = int(value);
    } else {
      FailArgs(&args, "\"%s\" is neither a depth (%d..%d) nor --expect NODES", CurrentArg(&args),
               MinBenchDepth, MaxBenchDepth);
    }
  }
  if (args.failed) return Usage();
  return BenchFromCommandLine(depth, check, expected);
}
