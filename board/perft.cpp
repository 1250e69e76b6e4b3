// Perft: leaf counts with either generator, and the checking walk.
#include "board/perft.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

// Staged generation exactly as the search drives it.
void GenerateStaged(const Position* pos, MoveList* list) {
  u64 checkers, pinsOrth, pinsDiag;
  const int checkCount = CheckersAndPins(pos, &checkers, &pinsOrth, &pinsDiag);
  if (checkCount) {
    GenEvasions(pos, list, pinsOrth, pinsDiag, checkers, checkCount);
  } else {
    GenCaptures(pos, list, pinsOrth, pinsDiag, ~0ull);
    GenQuiets(pos, list, pinsOrth, pinsDiag);
  }
}

namespace {

// Fills an emptied list with the chosen generator.
inline void Generate(const Position* pos, MoveList* list, PerftGenerator generator) {
  list->count = 0;
  if (generator == PerftStaged)
    GenerateStaged(pos, list);
  else
    GenerateLegal(pos, list);
}

// Whether two positions agree in every field, the valid history included.
bool SamePosition(const Position* a, const Position* b) {
  if (a->historyCount != b->historyCount || a->materialIndex != b->materialIndex ||
      a->pstOpening != b->pstOpening || a->pstEndgame != b->pstEndgame || a->material != b->material ||
      a->side != b->side || a->epFile != b->epFile || a->castling != b->castling ||
      a->kingSquare[0] != b->kingSquare[0] || a->kingSquare[1] != b->kingSquare[1] || a->fifty != b->fifty ||
      a->materialOverflow != b->materialOverflow || a->occupied != b->occupied ||
      a->occupiedFiles != b->occupiedFiles || a->occupiedAntiDiagonals != b->occupiedAntiDiagonals ||
      a->occupiedDiagonals != b->occupiedDiagonals || a->colours[0] != b->colours[0] ||
      a->colours[1] != b->colours[1] || a->key != b->key || a->pawnKey != b->pawnKey)
    return false;
  if (std::memcmp(a->board, b->board, sizeof a->board) != 0) return false;
  if (std::memcmp(a->pieces, b->pieces, sizeof a->pieces) != 0) return false;
  const u32 count = a->historyCount < HistorySize ? a->historyCount : HistorySize;
  return std::memcmp(a->history, b->history, count * sizeof(u64)) == 0;
}

// Sorts n moves ascending (lists are short).
void SortMoves(Move* moves, int n) {
  for (int i = 1; i < n; ++i) {
    const Move m = moves[i];
    int j = i;
    for (; j > 0 && moves[j - 1] > m; --j) moves[j] = moves[j - 1];
    moves[j] = m;
  }
}

// Records the first fault found and the depth of the path that led to it.
void Fail(PerftFailure* failure, int ply, const char* format, ...) __attribute__((format(printf, 3, 4)));
void Fail(PerftFailure* failure, int ply, const char* format, ...) {
  failure->failed = true;
  failure->pathLength = ply;
  va_list args;
  va_start(args, format);
  std::vsnprintf(failure->message, sizeof failure->message, format, args);
  va_end(args);
}

// Describes the first difference of two sorted move lists, or returns false.
bool ListsDiffer(const MoveList* legal, const MoveList* staged, char* out, int size) {
  int i = 0, j = 0;
  while (i < legal->count || j < staged->count) {
    if (j >= staged->count || (i < legal->count && legal->move[i] < staged->move[j])) {
      std::snprintf(out, size, "only the legal generator makes %s (0x%x)", MoveToText(legal->move[i]).text,
                    legal->move[i]);
      return true;
    }
    if (i >= legal->count || staged->move[j] < legal->move[i]) {
      std::snprintf(out, size, "only the staged generators make %s (0x%x)", MoveToText(staged->move[j]).text,
                    staged->move[j]);
      return true;
    }
    ++i, ++j;
  }
  return false;
}

// Index of a move that appears twice in a sorted list, or -1.
int Duplicate(const MoveList* list) {
  for (int i = 1; i < list->count; ++i)
    if (list->move[i] == list->move[i - 1]) return i;
  return -1;
}

// Leaf count below the node, checking the node and every move out of it.
u64 VerifyNode(Position* pos, int depth, int ply, PerftFailure* failure) {
  const char* what = nullptr;
  if (!PositionIsOk(pos, &what)) {
    Fail(failure, ply, "incremental field %s differs from its recomputation", what);
    return 0;
  }
  if (depth == 0) return 1;

  MoveList legal, staged, sortedLegal;
  Generate(pos, &legal, PerftLegal);
  Generate(pos, &staged, PerftStaged);
  std::memcpy(&sortedLegal, &legal, sizeof legal);
  SortMoves(sortedLegal.move, sortedLegal.count);
  SortMoves(staged.move, staged.count);
  int dup = Duplicate(&sortedLegal);
  if (dup >= 0) {
    Fail(failure, ply, "the legal generator makes %s twice", MoveToText(sortedLegal.move[dup]).text);
    return 0;
  }
  dup = Duplicate(&staged);
  if (dup >= 0) {
    Fail(failure, ply, "the staged generators make %s twice", MoveToText(staged.move[dup]).text);
    return 0;
  }
  char difference[120];
  if (ListsDiffer(&sortedLegal, &staged, difference, sizeof difference)) {
    Fail(failure, ply, "%s", difference);
    return 0;
  }

  u64 nodes = 0;
  Position before;
  std::memcpy(&before, pos, sizeof before);
  for (int i = 0; i < legal.count; ++i) {
    const Move m = legal.move[i];
    UndoRecord undo;
    if (ply < 64) failure->path[ply] = m;
    MakeMove(pos, m, &undo);
    const int mover = pos->side ^ 1;
    if (IsAttacked(pos, pos->side, pos->kingSquare[mover])) {
      Fail(failure, ply + 1, "the move leaves its own king attacked");
      return nodes;
    }
    nodes += VerifyNode(pos, depth - 1, ply + 1, failure);
    if (failure->failed) return nodes;
    UnmakeMove(pos, m, &undo);
    if (!SamePosition(pos, &before)) {
      Fail(failure, ply + 1, "unmake does not restore the position");
      return nodes;
    }
  }
  return nodes;
}

}  // namespace

// Leaf count, bulk-counted at the last ply.
u64 Perft(Position* pos, int depth, PerftGenerator generator) {
  if (depth <= 0) return 1;
  MoveList list;
  Generate(pos, &list, generator);
  if (depth == 1) return u64(list.count);
  u64 nodes = 0;
  for (int i = 0; i < list.count; ++i) {
    UndoRecord undo;
    MakeMove(pos, list.move[i], &undo);
    nodes += Perft(pos, depth - 1, generator);
    UnmakeMove(pos, list.move[i], &undo);
  }
  return nodes;
}

// Leaf count of the checking walk; *failure says whether and where it stopped.
u64 PerftVerify(Position* pos, int depth, PerftFailure* failure) {
  failure->failed = false;
  failure->message[0] = '\0';
  failure->pathLength = 0;
  return VerifyNode(pos, depth, 0, failure);
}
