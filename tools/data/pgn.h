// Training positions from the games of a PGN file, such as tarvo-match writes:
// games against other engines show positions self-play never reaches (attacks
// neither side of a self-play game plays). The moves are replayed on the
// engine's board code, and a position is kept on the same terms as
// tarvo-datagen's: quiet, after the opening plies, at most a few per game.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "board/board.h"
#include "tools/tuning/tuning.h"

struct EngineState;

namespace data {

struct PgnGame {
  std::string fen;     // the start: the FEN tag, or the initial position
  std::string result;  // "1-0", "0-1", "1/2-1/2" or "*"
  std::string termination;
  std::vector<std::string> moves;  // SAN, as written
};

// Reads the next game (tags, then the moves up to the result); comments,
// variations, move numbers and annotation glyphs are passed over. False when
// the input holds no further game.
bool ReadPgnGame(FILE* in, PgnGame* game);

// Plays a move written in SAN ("Nbd7", "exd8=Q+", "O-O", "0-0-0") if it names
// exactly one legal move; false leaves the position as it was.
bool PlaySan(Position* pos, const std::string& san);

struct ConvertOptions {
  int skipPlies = 4;  // plies from the start that are not kept
  int perGame = -1;   // at most this many positions of a game (-1: all)
  u64 seed = 1;       // draws the positions kept of each game
};

// The quiet positions of a game, as samples with the game's result and number
// and no score. False, with *why set, when the game has no decisive or drawn
// result, ended by a fault (time, illegal move) rather than on the board, or
// holds a move that cannot be played.
bool GameSamples(EngineState* engine, const PgnGame& game, long long number, const ConvertOptions& options,
                 std::vector<tuning::Sample>* samples, std::string* why);

}  // namespace data
