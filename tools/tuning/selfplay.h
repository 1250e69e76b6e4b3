// Self-play games for training data: fixed-node (or fixed-depth) searches
// from varied openings, adjudicated to save time, keeping the positions a
// static evaluation can be fairly judged on.
#pragma once

#include <string>
#include <vector>

#include "board/board.h"

struct EngineState;

namespace tuning {

struct SelfPlayOptions {
  int nodes = 4000;  // per move; ignored when depth is set
  int depth = 0;
  u64 seed = 1;
  // The opening: a position of `openings` (the start position when empty),
  // then `randomPlies` uniformly random legal moves. An opening the engine
  // already judges lost for one side (beyond openingLimit) is drawn again.
  const std::vector<std::string>* openings = nullptr;
  int randomPlies = 8;
  int openingLimit = 300;
  int skipPlies = 4;  // game plies after the opening that are not kept
  // Adjudication: a win once the score stays beyond resignScore for
  // resignPlies plies in a row; a draw from drawFromPly on once it stays
  // within drawScore for drawPlies plies; a draw at maxPlies.
  int resignScore = 1000;
  int resignPlies = 8;
  int drawScore = 8;
  int drawPlies = 16;
  int drawFromPly = 80;
  int maxPlies = 400;
};

struct KeptPosition {
  std::string fen;
  i32 score;  // search score, White's view
  u64 key;
};

struct GameRecord {
  double result;  // White's view
  int plies;      // played after the opening
  const char* reason;
  std::vector<KeptPosition> positions;
};

// Whether the side to move is not in check and no capture or promotion changes
// the score: the quiescence search (captures only, full window) returns the
// static score. *staticScore gets the static score, side to move's view.
bool IsQuietPosition(EngineState* engine, Position* pos, i32* staticScore);

// Plays game number `index` of the seed's series from a fresh search state; the
// same seed and index always give the same game. `pos` is scratch (a Position
// is large). False only when no opening could be set up.
bool PlayGame(EngineState* engine, Position* pos, const SelfPlayOptions& options, u64 index,
              GameRecord* game);

// At most k of a game's `count` positions, chosen uniformly at random by the
// seed and the game's number, as indices in increasing order (all of them when
// count <= k): a few positions from many games vary more than a game's worth
// of neighbours.
std::vector<size_t> SampleIndices(size_t count, int k, u64 seed, u64 game);

// Positions (FEN text before any "bm" or ";") of an EPD or FEN file.
std::vector<std::string> ReadOpenings(const char* fileName);

}  // namespace tuning
