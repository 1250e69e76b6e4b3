// A FEN and a game played from it: the first line is the FEN, each further
// byte picks one legal move. A refused FEN leaves the position untouched; in
// every position reached the board is consistent, the full and the staged
// generators give exactly the moves a plain square walk finds legal, and
// make/unmake restores the position. The last position gets an evaluation
// and a one-ply search whose answer must be legal.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "eval/eval.h"
#include "search/search.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Require;

// Piece counts a game can reach (a FEN may hold any number of queens, and then
// the evaluation's 16-bit sums are not meant to hold).
bool ReachableMaterial(const Position* pos) {
  for (int c = White; c <= Black; ++c) {
    const u64 own = pos->colours[c];
    const int pawns = PopCount(pos->pieces[Pawn] & own);
    int promoted = 0;
    const int start[8] = {0, 8, 2, 2, 2, 1, 1, 0};
    for (int t = Knight; t <= Queen; ++t) {
      const int extra = PopCount(pos->pieces[t] & own) - start[t];
      if (extra > 0) promoted += extra;
    }
    if (pawns + promoted > 8) return false;
  }
  return true;
}

void SearchOnePly(EngineState* engine, Position* pos, const MoveList& legal) {
  PlyRecord* ply = &engine->plies[0];
  ply->lazyLow = i16(-InfiniteScore);
  ply->lazyHigh = i16(InfiniteScore);
  const i32 score = Evaluate(pos, ply, engine->weights, engine->pawnTable);
  if (ReachableMaterial(pos))
    Require(score > -MateBound && score < MateBound, "evaluation outside the score bounds");

  ResetSearchState(engine);
  SearchLimits limits;
  std::memset(&limits, 0, sizeof limits);
  limits.depth = 2;
  limits.nodes = 20000;
  const Position before = *pos;
  RootSearch(engine, pos, &limits);
  Require(fuzz::SamePosition(before, *pos), "the search changed the position");
  Require(ply->pvCount > 0 && fuzz::InList(legal, ply->pv[0]), "illegal best move",
          MoveToText(ply->pv[0]).text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EngineState* engine = fuzz::BuildEngine();
  const uint8_t* newline = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
  const size_t fenLength = newline != nullptr ? size_t(newline - data) : size;
  const std::string fen(reinterpret_cast<const char*>(data), fenLength);

  static Position pos, untouched;
  std::memset(&pos, 0xA5, sizeof pos);
  untouched = pos;
  if (!LoadFen(&pos, fen.c_str())) {
    Require(std::memcmp(&pos, &untouched, sizeof pos) == 0, "a refused FEN changed the position");
    return 0;
  }

  MoveList legal = fuzz::CheckGenerators(&pos);
  for (size_t i = fenLength + 1; i < size && legal.count > 0; ++i) {
    const Move m = legal.move[data[i] % legal.count];
    TrimHistory(&pos);
    UndoRecord undo;
    MakeMove(&pos, m, &undo);
    legal = fuzz::CheckGenerators(&pos);
  }
  if (legal.count > 0) SearchOnePly(engine, &pos, legal);
  return 0;
}
