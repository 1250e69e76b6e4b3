#include "tools/tuning/selfplay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "eval/eval.h"
#include "search/search.h"
#include "search/state.h"
#include "tools/tuning/tuning.h"

namespace tuning {

namespace {

// splitmix64: games of one seed get independent streams by index.
u64 Mix(u64 x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

struct Rng {
  u64 state;
  u64 Next() { return state = Mix(state); }
  int Below(int n) { return int(Next() % u64(n)); }
};

int LegalMoves(const Position* pos, MoveList* list) {
  list->count = 0;
  GenerateLegal(pos, list);
  return list->count;
}

void Play(Position* pos, Move m) {
  TrimHistory(pos);
  UndoRecord undo;
  MakeMove(pos, m, &undo);
}

// The search's verdict, side to move's view, and its move.
i32 SearchMove(EngineState* engine, Position* pos, const SelfPlayOptions& options, Move* best) {
  static SearchLimits limits;
  std::memset(&limits, 0, sizeof limits);
  if (options.depth > 0)
    limits.depth = options.depth;
  else
    limits.nodes = options.nodes;
  RootSearch(engine, pos, &limits);
  const PlyRecord* root = &engine->plies[0];
  *best = root->pvCount > 0 ? root->pv[0] : limits.searchmoves.move[0];
  // A search cut by its node limit before the iteration scored a move keeps
  // the last completed iteration's score.
  return engine->lines.pvScore[0] != -InfiniteScore ? engine->lines.pvScore[0] : engine->root.lastScore;
}

// Kings with at most one minor piece between them cannot mate.
bool InsufficientMaterial(const Position* pos) {
  if (pos->pieces[Pawn] | pos->pieces[Rook] | pos->pieces[Queen]) return false;
  return PopCount(pos->pieces[Knight] | pos->pieces[Bishop]) <= 1;
}

// Third occurrence of the position since the last irreversible move.
bool ThreefoldRepetition(const Position* pos) {
  const int reach = pos->fifty < int(pos->historyCount) ? pos->fifty : int(pos->historyCount);
  int seen = 0;
  for (int d = 2; d <= reach; d += 2)
    if (pos->history[pos->historyCount - d] == pos->key && ++seen == 2) return true;
  return false;
}

// Sets up a position from the opening list (or the start) and random plies.
bool SetUpOpening(const SelfPlayOptions& options, Rng* rng, Position* pos) {
  const std::vector<std::string>* list = options.openings;
  const char* fen =
      list != nullptr && !list->empty() ? (*list)[size_t(rng->Below(int(list->size())))].c_str() : StartFen;
  if (!LoadFen(pos, fen)) return false;
  pos->historyCount = 0;
  MoveList moves;
  for (int ply = 0; ply < options.randomPlies; ++ply) {
    if (LegalMoves(pos, &moves) == 0) return false;
    Play(pos, moves.move[rng->Below(moves.count)]);
  }
  return LegalMoves(pos, &moves) > 0;
}

}  // namespace

bool IsQuietPosition(EngineState* engine, Position* pos, i32* staticScore) {
  // Nothing of an earlier search may stop this one.
  engine->searchState = SearchToLimit;
  engine->budget.nodeLimit = 0;
  engine->budget.moveTime = 0;
  engine->progress.pollCountdown = engine->progress.pollInterval = 1 << 30;
  PlyRecord* root = &engine->plies[0];
  root->lazyLow = i16(-InfiniteScore);
  root->lazyHigh = i16(InfiniteScore);
  *staticScore = Evaluate(pos, root, engine->weights, engine->pawnTable);
  if (root->checkCount != 0) return false;
  // Depth 0: captures and promotions only, no quiet checks.
  return Quiesce(engine, pos, -InfiniteScore, InfiniteScore, 0.0f, 0) == *staticScore;
}

bool PlayGame(EngineState* engine, Position* pos, const SelfPlayOptions& options, u64 index,
              GameRecord* game) {
  Rng rng{Mix(options.seed) ^ Mix(index + 0x5EED)};
  game->positions.clear();
  game->plies = 0;
  game->result = 0.5;
  game->reason = "";
  Move move;

  bool ready = false;
  for (int attempt = 0; attempt < 50 && !ready; ++attempt) {
    if (!SetUpOpening(options, &rng, pos)) continue;
    ResetSearchState(engine);
    const i32 v = SearchMove(engine, pos, options, &move);
    ready = v <= options.openingLimit && v >= -options.openingLimit;
  }
  if (!ready) return false;
  ResetSearchState(engine);

  int winning = 0, level = 0;  // plies in a row beyond the resign or within the draw score
  MoveList moves;
  for (;;) {
    if (LegalMoves(pos, &moves) == 0) {
      const bool mated = IsAttacked(pos, pos->side ^ 1, pos->kingSquare[pos->side]);
      game->result = !mated ? 0.5 : pos->side == White ? 0.0 : 1.0;
      game->reason = mated ? "mate" : "stalemate";
      return true;
    }
    if (pos->fifty >= 100 || ThreefoldRepetition(pos) || InsufficientMaterial(pos)) {
      game->result = 0.5;
      game->reason = pos->fifty >= 100           ? "fifty moves"
                     : InsufficientMaterial(pos) ? "material"
                                                 : "repetition";
      return true;
    }
    if (game->plies >= options.maxPlies) {
      game->result = 0.5;
      game->reason = "move cap";
      return true;
    }

    i32 staticScore = 0;
    const bool keep = game->plies >= options.skipPlies && IsQuietPosition(engine, pos, &staticScore);
    const i32 v = SearchMove(engine, pos, options, &move);
    const i32 white = Sign[pos->side] * v;
    if (keep && v < MateBound && v > -MateBound)
      game->positions.push_back({PositionToFen(pos, 1 + game->plies / 2), white, pos->key});

    winning = white >= options.resignScore    ? (winning > 0 ? winning + 1 : 1)
              : white <= -options.resignScore ? (winning < 0 ? winning - 1 : -1)
                                              : 0;
    level = white <= options.drawScore && white >= -options.drawScore ? level + 1 : 0;
    if (winning >= options.resignPlies || winning <= -options.resignPlies) {
      game->result = winning > 0 ? 1.0 : 0.0;
      game->reason = "resign";
      return true;
    }
    if (game->plies >= options.drawFromPly && level >= options.drawPlies) {
      game->result = 0.5;
      game->reason = "draw score";
      return true;
    }
    Play(pos, move);
    ++game->plies;
  }
}

std::vector<size_t> SampleIndices(size_t count, int k, u64 seed, u64 game) {
  std::vector<size_t> indices(count);
  for (size_t n = 0; n < count; ++n) indices[n] = n;
  if (k < 0 || count <= size_t(k)) return indices;
  // A partial Fisher-Yates shuffle on a stream of its own (not the game's).
  Rng rng{Mix(seed ^ 0x5A3B1E) ^ Mix(game + 0xC0FFEE)};
  for (size_t n = 0; n < size_t(k); ++n)
    std::swap(indices[n], indices[n + size_t(rng.Below(int(count - n)))]);
  indices.resize(size_t(k));
  std::sort(indices.begin(), indices.end());
  return indices;
}

std::vector<std::string> ReadOpenings(const char* fileName) {
  std::vector<std::string> out;
  FILE* file = std::fopen(fileName, "r");
  if (file == nullptr) return out;
  char line[512];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string text = line;
    const size_t cut = text.find_first_of(";\r\n");
    if (cut != std::string::npos) text.resize(cut);
    const size_t bm = text.find(" bm ");
    if (bm != std::string::npos) text.resize(bm);
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos || text[first] == '#') continue;
    out.push_back(text.substr(first));
  }
  std::fclose(file);
  return out;
}

}  // namespace tuning
