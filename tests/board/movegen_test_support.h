// Shared helpers of the move generation tests: move lists as sorted sets,
// reference positions, and random games that visit many positions.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "board/perft.h"
#include "tests/board/board_test_support.h"

namespace movegentest {

using boardtest::Sq;

// The moves of a list, in generation order.
inline std::vector<Move> Moves(const MoveList& list) {
  return std::vector<Move>(list.move, list.move + list.count);
}

inline std::vector<Move> Sorted(std::vector<Move> moves) {
  std::sort(moves.begin(), moves.end());
  return moves;
}

inline std::vector<Move> Legal(const Position* pos) {
  MoveList list;
  list.count = 0;
  GenerateLegal(pos, &list);
  return Moves(list);
}

inline std::vector<Move> Staged(const Position* pos) {
  MoveList list;
  list.count = 0;
  GenerateStaged(pos, &list);
  return Moves(list);
}

// Move texts joined by blanks, for readable failure messages.
inline std::string Text(const std::vector<Move>& moves) {
  std::string out;
  for (Move m : moves) {
    if (!out.empty()) out += ' ';
    out += MoveToText(m).text;
  }
  return out;
}

// The move of the list with the given text, or NoMove.
inline Move Find(const std::vector<Move>& moves, const char* text) {
  for (Move m : moves)
    if (std::strcmp(MoveToText(m).text, text) == 0) return m;
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

// One line of the perft reference file.
struct EpdEntry {
  std::string fen;
  std::vector<u64> counts;  // counts[d - 1] = leaves at depth d
};

inline std::vector<EpdEntry> ReadEpd() {
  std::vector<EpdEntry> entries;
  std::ifstream in(std::string(TARVO_SOURCE_DIR) + "/tests/data/perft.epd");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    EpdEntry e;
    size_t semicolon = line.find(';');
    e.fen = line.substr(0, line.find_last_not_of(' ', semicolon - 1) + 1);
    while (semicolon != std::string::npos) {
      const size_t next = line.find(';', semicolon + 1);
      int depth = 0;
      unsigned long long count = 0;
      if (std::sscanf(line.c_str() + semicolon + 1, "D%d %llu", &depth, &count) == 2 &&
          depth == int(e.counts.size()) + 1)
        e.counts.push_back(count);
      semicolon = next;
    }
    entries.push_back(e);
  }
  return entries;
}

// Deterministic pseudo-random numbers.
struct Random {
  u64 state;
  u32 Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return u32(state >> 33);
  }
};

// Plays `games` random games of up to `plies` moves from each reference
// position and calls visit(pos) at every position reached, the start included.
// The position handed over must be left as it was found.
inline void ForRandomPositions(int games, int plies, const std::function<void(Position*)>& visit) {
  static Position position;
  Position* pos = &position;
  Random random{0x7A72u};
  for (const EpdEntry& e : ReadEpd()) {
    for (int g = 0; g < games; ++g) {
      if (!LoadFen(pos, e.fen.c_str())) {
        ADD_FAILURE() << "refused " << e.fen;
        return;
      }
      visit(pos);
      for (int ply = 0; ply < plies; ++ply) {
        const std::vector<Move> moves = Legal(pos);
        if (moves.empty()) break;
        UndoRecord undo;
        MakeMove(pos, moves[random.Next() % moves.size()], &undo);
        visit(pos);
      }
    }
  }
}

}  // namespace movegentest
