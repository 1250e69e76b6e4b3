// A parameter file: read from memory, converted, and used to build the
// piece-square values and the pawn-shelter tables; then a handful of positions
// are evaluated, with a full window and with a narrow one, and one of them gets
// a one-ply search. Whatever the file holds, nothing overflows (UBSan aborts on
// it) and every evaluation stays inside the score bounds, where the search
// cannot take it for a mate.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/parameters.h"
#include "eval/eval.h"
#include "eval/weights.h"
#include "search/search.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Require;

// Openings, middlegames with attacked kings, passers, a rook ending and pawn
// endings: each reaches different groups of weights.
constexpr const char* Positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp3ppp/2n1pn2/2bp2B1/2P5/2NBPN2/PP3PPP/R2QK2R b KQ - 0 8",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/5k2/8/3P4/8/8/3K4/8 w - - 0 1",
    "2kr3r/pppq1ppp/2n5/3Qp3/4P3/2N5/PPP2PPP/2KR3R w - - 0 12",
    "6k1/1P6/8/8/8/8/p7/6K1 b - - 0 1",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EngineState* engine = fuzz::BuildEngine();
  std::vector<char> text(data, data + size);
  text.push_back('\0');

  LoadParameterText(engine->weights, text.data(), size);
  Require(WeightsWithinBounds(engine->weights), "a converted weight outside its bounds");
  // The cached pawn structures and the shelter tables follow the weights.
  CreatePawnTable(engine->pawnTable);
  BuildStormTable(engine->pawnTable, engine->weights);
  BuildShelterTable(engine->pawnTable, engine->weights);

  static Position pos;
  PlyRecord* ply = &engine->plies[0];
  for (const char* fen : Positions) {
    // Loaded after the conversion: the piece-square sums come from the new values.
    Require(LoadFen(&pos, fen), "refused", fen);
    const i16 windows[2][2] = {{i16(-InfiniteScore), i16(InfiniteScore)}, {-10, 10}};
    for (const auto& window : windows) {
      ply->lazyLow = window[0];
      ply->lazyHigh = window[1];
      const i32 score = Evaluate(&pos, ply, engine->weights, engine->pawnTable);
      Require(score > -MateBound && score < MateBound, "evaluation outside the score bounds", fen);
    }
  }
  // A one-ply search meets the weights in many more positions (pieces with no
  // move, captures of every kind) than the list above.
  Require(LoadFen(&pos, Positions[1]), "refused", Positions[1]);
  ResetSearchState(engine);
  SearchLimits limits;
  std::memset(&limits, 0, sizeof limits);
  limits.depth = 2;
  RootSearch(engine, &pos, &limits);
  Require(ply->pvCount > 0, "a search left no move");
  return 0;
}
