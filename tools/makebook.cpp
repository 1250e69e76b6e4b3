// tarvo-makebook: opening books for matches, made by random walks from the
// start position and kept when a shallow search finds them roughly balanced.
//
//   tarvo-makebook --out FILE [--count N] [--confirm FILE --confirm-count M]
//                  [--plies P] [--depth D] [--max-score CP] [--seed S]
//
// Each walk plays P or P + 1 uniformly random legal moves (default 8, so that
// either side may be to move); the position is
// kept when the side to move is not in check, the game is not over, the
// position is new, and a search of depth D (default 6, fresh state) scores
// it within CP centipawns (default 100) of equality. The first N positions
// kept go to FILE, the next M to the confirm file: the two never share a
// position. One line per position: its EPD (board, side, castling, en
// passant). A seed always gives the same files.
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/output.h"
#include "board/board.h"
#include "engine/engine.h"
#include "search/search.h"
#include "search/state.h"
#include "tools/common/args.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: tarvo-makebook --out FILE [--count N] [--confirm FILE --confirm-count M]\n"
               "       [--plies P] [--depth D] [--max-score CP] [--seed S]\n");
  return BadArgumentsStatus;
}

int Legal(const Position* pos, MoveList* list) {
  list->count = 0;
  GenerateLegal(pos, list);
  return list->count;
}

// The score of a depth-limited search from a fresh state, side to move's view.
i32 ShallowScore(EngineState* engine, Position* pos, int depth) {
  static SearchLimits limits;
  std::memset(&limits, 0, sizeof limits);
  limits.depth = depth;
  ResetSearchState(engine);
  RootSearch(engine, pos, &limits);
  return engine->lines.pvScore[0] != -InfiniteScore ? engine->lines.pvScore[0] : engine->root.lastScore;
}

// The EPD of the position: the FEN without its two move counters.
std::string Epd(const Position* pos) {
  char fen[128];
  PositionToFen(pos, 1, fen, sizeof fen);
  std::string text = fen;
  for (int cut = 0; cut < 2; ++cut) text.resize(text.find_last_of(' '));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const char* out = nullptr;
  const char* confirm = nullptr;
  long long count = 2500, confirmCount = 0;
  int plies = 8, depth = 6, maxScore = 100;
  u64 seed = 1;
  ArgReader args = StartArgs("tarvo-makebook", argc, argv);
  while (NextArg(&args)) {
    if (ArgIs(&args, "--out"))
      out = ArgText(&args);
    else if (ArgIs(&args, "--count"))
      count = ArgInt(&args, 1, 10000000);
    else if (ArgIs(&args, "--confirm"))
      confirm = ArgText(&args);
    else if (ArgIs(&args, "--confirm-count"))
      confirmCount = ArgInt(&args, 1, 10000000);
    else if (ArgIs(&args, "--plies"))
      plies = int(ArgInt(&args, 1, 40));
    else if (ArgIs(&args, "--depth"))
      depth = int(ArgInt(&args, 1, 30));
    else if (ArgIs(&args, "--max-score"))
      maxScore = int(ArgInt(&args, 0, 10000));
    else if (ArgIs(&args, "--seed"))
      seed = ArgUnsigned(&args, UINT64_MAX);
    else
      UnknownArg(&args);
  }
  if (args.failed || out == nullptr || (confirm == nullptr) != (confirmCount == 0)) return Usage();

  EngineState* engine = NewEngine(BuiltInParameters, DefaultHashMb);
  if (engine == nullptr) return 1;
  engine->session.ignoreInput = 1;
  SetOutputMuted(true);

  std::vector<std::string> kept;
  std::unordered_set<u64> seen;
  static Position pos;
  MoveList moves;
  long long walks = 0;
  u64 state = seed;
  while ((long long)kept.size() < count + confirmCount) {
    ++walks;
    LoadFen(&pos, StartFen);
    bool alive = true;
    const int length = plies + int(keygen::SplitMix(state) & 1);
    for (int ply = 0; ply < length && alive; ++ply) {
      alive = Legal(&pos, &moves) > 0;
      if (!alive) break;
      UndoRecord undo;
      MakeMove(&pos, moves.move[keygen::SplitMix(state) % u64(moves.count)], &undo);
    }
    if (!alive || Legal(&pos, &moves) == 0 || IsAttacked(&pos, pos.side ^ 1, pos.kingSquare[pos.side]))
      continue;
    if (!seen.insert(pos.key).second) continue;
    const i32 score = ShallowScore(engine, &pos, depth);
    if (score > maxScore || score < -maxScore) continue;
    kept.push_back(Epd(&pos));
  }

  const auto write = [](const char* file, const std::string* first, long long n) {
    FILE* f = std::fopen(file, "w");
    if (f == nullptr) {
      std::fprintf(stderr, "tarvo-makebook: cannot write %s\n", file);
      return false;
    }
    for (long long i = 0; i < n; ++i) std::fprintf(f, "%s\n", first[i].c_str());
    return std::fclose(f) == 0;
  };
  bool ok = write(out, kept.data(), count);
  if (confirm != nullptr) ok = ok && write(confirm, kept.data() + count, confirmCount);
  std::fprintf(stderr, "tarvo-makebook: %lld walks, %zu positions kept\n", walks, kept.size());
  FreeEngine(engine);
  return ok ? 0 : 1;
}
