// Shared helpers of the move generation tests: move lists as sorted sets and
// random games from the perft reference positions.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "board/perft.h"
#include "tests/board/board_test_support.h"

inline std::vector<Move> Staged(const Position* pos) {
  MoveList list;
  list.count = 0;
  GenerateStaged(pos, &list);
  return Moves(list);
}

// The move of the list with the given text, or NoMove.
inline Move Find(const std::vector<Move>& moves, const char* text) {
  for (Move m : moves)
    if (Text(m) == text) return m;
  return NoMove;
}

inline bool Contains(const std::vector<Move>& moves, const char* text) { return Find(moves, text) != NoMove; }

// Whether the side that just moved left its king attacked.
inline bool MoverInCheck(const Position* pos) {
  return IsAttacked(pos, pos->side, pos->kingSquare[pos->side ^ 1]);
}

// Whether the move, once made, attacks the enemy king (the position is restored).
inline bool GivesCheckByMaking(Position* pos, Move m) {
  UndoRecord undo;
  MakeMove(pos, m, &undo);
  const bool check = IsAttacked(pos, pos->side ^ 1, pos->kingSquare[pos->side]);
  UnmakeMove(pos, m, &undo);
  return check;
}

// Plays `games` random games of up to `plies` moves from each reference
// position and calls visit(pos) at every position reached, the start included.
template <typename Visit>
void ForRandomPositions(int games, int plies, Visit visit) {
  std::vector<std::string> starts;
  for (const EpdEntry& e : ReadEpd()) starts.insert(starts.end(), size_t(games), e.fen);
  ForRandomGames(starts, int(starts.size()), plies + 1, 0x7A72u, visit);
}
