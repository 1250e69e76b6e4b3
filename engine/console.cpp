#include "engine/console.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/output.h"
#include "base/text.h"
#include "board/perft.h"
#include "engine/bench.h"
#include "eval/eval.h"
#include "search/state.h"

namespace {

constexpr int MaxPerftDepth = 32;
constexpr int MaxEchoedWord = 40;  // an unknown word is quoted up to this length

const char PieceLetters[2][8] = {{' ', 'P', 'N', 'B', 'R', 'Q', 'K', ' '},
                                 {' ', 'p', 'n', 'b', 'r', 'q', 'k', ' '}};

const char* const TermNames[EvalTermCount] = {
    "Material",    "Piece squares", "Pawn structure", "Pawns near enemy king", "Mobility and pieces",
    "King safety", "Passed pawns",  "Threats",        "Trapped and blocked"};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Copies the first word of text (at most capacity - 1 characters) and returns
// what follows it.
const char* FirstWord(const char* text, char* word, int capacity) {
  while (IsBlank(*text)) ++text;
  int length = 0;
  while (*text != '\0' && !IsBlank(*text)) {
    if (length < capacity - 1) word[length++] = *text;
    ++text;
  }
  word[length] = '\0';
  return text;
}

bool NeedsPosition(const EngineState* engine) { return ReportMissingPosition(engine); }

void ShowBoard(const Position* pos, i32 fullMove) {
  const char* const rule = " +---+---+---+---+---+---+---+---+\n";
  Print("\n%s", rule);
  for (int rank = 7; rank >= 0; --rank) {
    char row[64];
    int length = 0;
    for (int file = 0; file < 8; ++file) {
      const int sq = MakeSquare(file, rank);
      const int colour = (pos->colours[Black] >> sq) & 1;
      length += std::snprintf(row + length, sizeof row - size_t(length), " | %c",
                              PieceLetters[colour][pos->board[sq]]);
    }
    Print("%s | %d\n%s", row, rank + 1, rule);
  }
  Print("   a   b   c   d   e   f   g   h\n\n");
  char fen[128];
  PositionToFen(pos, fullMove, fen, sizeof fen);
  Print("Fen: %s\n", fen);
  Print("Key: %016" PRIX64 "\n", pos->key);
  u64 checkers = 0;
  Checkers(pos, &checkers);
  char list[64] = "";
  int length = 0;
  for (u64 rest = checkers; rest;) {
    const int sq = PopLowest(&rest);
    length +=
        std::snprintf(list + length, sizeof list - size_t(length), " %c%d", 'a' + FileOf(sq), RankOf(sq) + 1);
  }
  Print("Checkers:%s\n", checkers ? list : " none");
}

// One table row: each colour's opening and endgame share and the difference.
void EvalRow(const char* name, const EvalBreakdown* b, int term) {
  if (!b->computed[term]) {
    Print("%-22s|    --    -- |    --    -- |    --    --\n", name);
    return;
  }
  const i32(*p)[2] = b->parts[term];
  Print("%-22s| %5d %5d | %5d %5d | %5d %5d\n", name, p[White][0], p[White][1], p[Black][0], p[Black][1],
        p[White][0] - p[Black][0], p[White][1] - p[Black][1]);
}

void ShowEval(Position* pos, EngineState* engine) {
  // A private ply record with an open window: only a settled verdict ends early.
  static PlyRecord ply;
  ply.lazyLow = i16(-InfiniteScore);
  ply.lazyHigh = i16(InfiniteScore);
  EvalBreakdown b;
  Evaluate(pos, &ply, engine->weights, engine->pawnTable, &b);

  const char* const rule = "----------------------+-------------+-------------+-------------\n";
  Print("Term                  |    White    |    Black    |    Total\n");
  Print("                      |   MG    EG  |   MG    EG  |   MG    EG\n%s", rule);
  for (int term = 0; term < EvalTermCount; ++term) EvalRow(TermNames[term], &b, term);
  if (b.scaling[0] != 0 || b.scaling[1] != 0)
    Print("%-22s|             |             | %5d %5d\n", "Opposite bishops", b.scaling[0], b.scaling[1]);
  Print("%s%-22s|             |             | %5d %5d\n\n", rule, "Sum", b.opening, b.endgame);
  Print("Phase %d of 24 (0 = all pieces on, 24 = pawns only)\n", b.phase);
  switch (b.exit) {
    case ExitKnownDraw:
      Print("Lazy exit: yes, a known draw by material\n");
      break;
    case ExitRookEnding:
      Print("Lazy exit: yes, the rook-ending evaluator scores %d\n", b.rookEnding);
      Print("Material table correction: %d\n", b.materialCorrection);
      break;
    case ExitOutsideWindow:
      Print("Lazy exit: yes, the quick score %d lies outside the window\n", b.blended);
      break;
    default:
      Print("Blended by phase: %d\n", b.blended);
      Print("Material table correction: %d\n", b.materialCorrection);
      Print("Lazy exit: no\n");
      break;
  }
  Print("Final evaluation: %+d (White's view), %+d (side to move)\n", b.whiteScore, b.score);
}

void ShowBench(const char* args, EngineState* engine) {
  char word[16];
  FirstWord(args, word, sizeof word);
  int depth = DefaultBenchDepth;
  if (word[0] != '\0') {
    depth = ParseInt(word);
    if (depth < MinBenchDepth || depth > MaxBenchDepth) {
      Print("info string bench depth must be %d..%d\n", MinBenchDepth, MaxBenchDepth);
      return;
    }
  }
  BenchResult result{};
  RunBench(
      engine, depth, [](const char* line) { Print("%s\n", line); }, &result);
  ResetSearchState(engine);  // the game goes on from a fresh state, not the bench's
  Print("Bench: %" PRIu64 " nodes %" PRIu64 " nps\n", result.nodes, result.nps);
}

}  // namespace

bool ReportMissingPosition(const EngineState* engine) {
  if (engine->session.positionValid) return false;
  Print("info string no position: send \"position startpos\" or \"position fen ...\" first\n");
  return true;
}

void HandlePerft(const char* args, Position* pos, const EngineState* engine) {
  char word[16];
  FirstWord(args, word, sizeof word);
  const int depth = ParseInt(word);
  if (word[0] < '0' || word[0] > '9' || depth > MaxPerftDepth) {
    Print("info string perft needs a depth of 0..%d\n", MaxPerftDepth);
    return;
  }
  if (NeedsPosition(engine)) return;
  if (depth == 0) {
    Print("%" PRIu64 "\n", Perft(pos, 0, PerftLegal));
    return;
  }
  MoveList list;
  list.count = 0;
  GenerateLegal(pos, &list);
  u64 total = 0;
  for (int i = 0; i < list.count; ++i) {
    const Move m = list.move[i];
    UndoRecord undo;
    MakeMove(pos, m, &undo);
    const u64 nodes = Perft(pos, depth - 1, PerftLegal);
    UnmakeMove(pos, m, &undo);
    Print("%s: %" PRIu64 "\n", MoveToText(m).text, nodes);
    total += nodes;
  }
  Print("\n%" PRIu64 "\n", total);
}

void HandleConsoleCommand(const char* line, Position* pos, EngineState* engine) {
  char word[MaxEchoedWord + 1];
  const char* args = FirstWord(line, word, sizeof word);
  if (word[0] == '\0') return;
  if (std::strcmp(word, "d") == 0) {
    if (!NeedsPosition(engine)) ShowBoard(pos, engine->session.fullMove);
  } else if (std::strcmp(word, "eval") == 0) {
    if (!NeedsPosition(engine)) ShowEval(pos, engine);
  } else if (std::strcmp(word, "bench") == 0) {
    ShowBench(args, engine);
  } else if (std::strcmp(word, "debug") == 0 || std::strcmp(word, "register") == 0) {
    // UCI commands this engine has no use for; a GUI may still send them.
  } else {
    // Control characters would garble the GUI's log.
    for (char* c = word; *c; ++c)
      if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7f) *c = '?';
    Print("info string unknown command: %s\n", word);
  }
}
