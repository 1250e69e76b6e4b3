// Shared by the fuzz targets: one engine object built once per process, a
// failure report that libFuzzer records as a crash, and an independent
// legal-move oracle (pseudo-legal moves from plain square walks, kept when the
// mover's king is not attacked afterwards) to hold the generators against.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/output.h"
#include "board/board.h"
#include "board/perft.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "eval/pawns.h"
#include "search/state.h"
#include "search/table.h"

namespace fuzz {

[[noreturn]] inline void Fail(const char* what, const char* detail = "") {
  std::fprintf(stderr, "fuzz invariant broken: %s %s\n", what, detail);
  std::abort();
}

inline void Require(bool condition, const char* what, const char* detail = "") {
  if (!condition) Fail(what, detail);
}

// A 1 MB table instead of the option's 8 MB minimum: clearing it for every
// input is what costs most. The option's size stays recorded, so that "uci"
// does not resize it; a "setoption name Hash" does, until the next input.
inline void SmallTable(EngineState* state) {
  if (state->tt.entryCount * sizeof(TTEntry) != (1u << 20) && !AllocateTable(&state->tt, 1)) Fail("table");
  state->options.hashSizeMb = DefaultHashMb;
}

// The engine, built once per process on the built-in weights; output muted
// and standard input never read.
inline EngineState* BuildEngine() {
  static EngineState* engine = [] {
    SetOutputMuted(true);
    EngineState* e = NewEngine(BuiltInParameters, DefaultHashMb);
    if (e == nullptr) Fail("engine construction");
    e->session.ignoreInput = 1;
    SmallTable(e);
    return e;
  }();
  return engine;
}

// A position's fields and the part of its history that is in use.
inline bool SamePosition(const Position& a, const Position& b) {
  return std::memcmp(&a, &b, offsetof(Position, history)) == 0 &&
         std::memcmp(a.history, b.history,
                     sizeof(u64) * (a.historyCount < HistorySize ? a.historyCount : HistorySize)) == 0;
}

// Whether colour `by` attacks square s, by walking the board square by square.
inline bool Attacks(const Position* pos, int by, int s) {
  const int f = FileOf(s), r = RankOf(s);
  auto piece = [&](int file, int rank, int type) {
    if (file < 0 || file > 7 || rank < 0 || rank > 7) return false;
    const int t = MakeSquare(file, rank);
    return pos->board[t] == type && (pos->colours[by] >> t & 1);
  };
  const int pawnRank = by == White ? r - 1 : r + 1;
  if (piece(f - 1, pawnRank, Pawn) || piece(f + 1, pawnRank, Pawn)) return true;
  static const int knight[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  for (const auto& d : knight)
    if (piece(f + d[0], r + d[1], Knight)) return true;
  for (int df = -1; df <= 1; ++df)
    for (int dr = -1; dr <= 1; ++dr) {
      if (df == 0 && dr == 0) continue;
      if (piece(f + df, r + dr, King)) return true;
      const int slider = df != 0 && dr != 0 ? Bishop : Rook;
      for (int file = f + df, rank = r + dr; file >= 0 && file <= 7 && rank >= 0 && rank <= 7;
           file += df, rank += dr) {
        const int t = MakeSquare(file, rank);
        if (pos->board[t] == Empty) continue;
        if ((pos->colours[by] >> t & 1) && (pos->board[t] == slider || pos->board[t] == Queen)) return true;
        break;
      }
    }
  return false;
}

// Move texts of every pseudo-legal move of the side to move (castling needs
// the right, empty squares between and a king not passing an attacked square).
inline std::vector<std::vector<char>> PseudoLegalTexts(const Position* pos) {
  std::vector<std::vector<char>> out;
  const int us = pos->side, them = us ^ 1;
  auto add = [&](int from, int to, char promotion) {
    std::vector<char> text = {char('a' + FileOf(from)),
                              char('1' + RankOf(from)),
                              char('a' + FileOf(to)),
                              char('1' + RankOf(to)),
                              promotion,
                              '\0'};
    out.push_back(text);
  };
  auto ownAt = [&](int s) { return (pos->colours[us] >> s & 1) != 0; };
  auto enemyAt = [&](int s) { return (pos->colours[them] >> s & 1) != 0; };
  auto walk = [&](int from, int df, int dr, bool slide) {
    for (int file = FileOf(from) + df, rank = RankOf(from) + dr;
         file >= 0 && file <= 7 && rank >= 0 && rank <= 7; file += df, rank += dr) {
      const int to = MakeSquare(file, rank);
      if (ownAt(to)) break;
      add(from, to, '\0');
      if (enemyAt(to) || !slide) break;
    }
  };
  for (int from = 0; from < 64; ++from) {
    if (!ownAt(from)) continue;
    const int type = pos->board[from], f = FileOf(from), r = RankOf(from);
    if (type == Pawn) {
      const int forward = us == White ? 1 : -1, last = us == White ? 7 : 0;
      auto pawnMove = [&](int to) {
        if (RankOf(to) == last)
          for (char letter : {'q', 'n', 'r', 'b'}) add(from, to, letter);
        else
          add(from, to, '\0');
      };
      const int ahead = MakeSquare(f, r + forward);
      if (pos->board[ahead] == Empty) {
        pawnMove(ahead);
        const int start = us == White ? 1 : 6;
        if (r == start && pos->board[MakeSquare(f, r + 2 * forward)] == Empty)
          add(from, MakeSquare(f, r + 2 * forward), '\0');
      }
      for (int df : {-1, 1}) {
        if (f + df < 0 || f + df > 7) continue;
        const int to = MakeSquare(f + df, r + forward);
        const bool enPassant = pos->epFile == f + df + 1 && RankOf(to) == (us == White ? 5 : 2);
        if (enemyAt(to) || enPassant) pawnMove(to);
      }
    } else if (type == Knight) {
      static const int knight[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                       {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
      for (const auto& d : knight) walk(from, d[0], d[1], false);
    } else {
      for (int df = -1; df <= 1; ++df)
        for (int dr = -1; dr <= 1; ++dr) {
          if (df == 0 && dr == 0) continue;
          const bool diagonal = df != 0 && dr != 0;
          if ((type == Bishop && !diagonal) || (type == Rook && diagonal)) continue;
          walk(from, df, dr, type != King);
        }
    }
  }
  // Castling: the rights already guarantee king and rook on their home squares.
  const int home = us == White ? 0 : 56, king = home + 4;
  if (!Attacks(pos, them, king)) {
    if ((pos->castling & (1 << us)) && pos->board[home + 5] == Empty && pos->board[home + 6] == Empty &&
        !Attacks(pos, them, home + 5))
      add(king, home + 6, '\0');
    if ((pos->castling & (4 << us)) && pos->board[home + 1] == Empty && pos->board[home + 2] == Empty &&
        pos->board[home + 3] == Empty && !Attacks(pos, them, home + 3))
      add(king, home + 2, '\0');
  }
  return out;
}

// Every legal move by the oracle, sorted.
inline std::vector<Move> OracleLegal(Position* pos) {
  std::vector<Move> legal;
  for (const std::vector<char>& text : PseudoLegalTexts(pos)) {
    const Move m = MoveFromText(pos, text.data());
    Require(m >= 2, "pseudo-legal move refused by MoveFromText", text.data());
    const Position before = *pos;
    UndoRecord undo;
    MakeMove(pos, m, &undo);
    const char* what = nullptr;
    Require(PositionIsOk(pos, &what), "inconsistent after MakeMove", what);
    const bool legalMove = !Attacks(pos, pos->side, pos->kingSquare[pos->side ^ 1]);
    UnmakeMove(pos, m, &undo);
    Require(SamePosition(before, *pos), "UnmakeMove did not restore the position", text.data());
    if (legalMove) legal.push_back(m);
  }
  std::sort(legal.begin(), legal.end());
  return legal;
}

inline std::vector<Move> Sorted(const MoveList& list) {
  std::vector<Move> moves(list.move, list.move + list.count);
  std::sort(moves.begin(), moves.end());
  return moves;
}

// Checks the position and both generators against the oracle; returns the
// legal moves in generation order.
inline MoveList CheckGenerators(Position* pos) {
  const char* what = nullptr;
  Require(PositionIsOk(pos, &what), "inconsistent position", what);
  MoveList legal, staged;
  legal.count = staged.count = 0;
  GenerateLegal(pos, &legal);
  GenerateStaged(pos, &staged);
  const std::vector<Move> expected = OracleLegal(pos);
  // A list at capacity may have dropped moves; only then may the sets differ.
  if (expected.size() < size_t(MaxMoves)) {
    Require(Sorted(legal) == expected, "GenerateLegal differs from the oracle");
    Require(Sorted(staged) == expected, "staged generators differ from the oracle");
  }
  return legal;
}

inline bool InList(const MoveList& list, Move m) {
  for (int i = 0; i < list.count; ++i)
    if (list.move[i] == m) return true;
  return false;
}

}  // namespace fuzz
