#include "engine/commands.h"

#include <cstdio>
#include <cstring>

#include "base/output.h"
#include "base/platform.h"
#include "base/text.h"
#include "engine/console.h"
#include "search/search.h"
#include "search/searchio.h"
#include "search/state.h"

namespace {

constexpr int TokenSize = 16;  // longer tokens cannot be moves; only their start is kept

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// Copies the token at *text (up to a blank, newline or end) and advances past
// it and the blanks that follow.
void NextToken(const char** text, char* token) {
  const char* p = *text;
  int length = 0;
  while (*p != '\0' && *p != ' ' && *p != '\n' && *p != '\r' && *p != '\t') {
    if (length < TokenSize - 1) token[length++] = *p;
    ++p;
  }
  token[length] = '\0';
  *text = SkipBlanks(p);
}

bool AtLineEnd(const char* p) { return *p == '\0' || *p == '\n' || *p == '\r'; }

// The first occurrence of `word` followed by a blank: a tab separates words
// as well as a space does.
const char* FindWord(const char* text, const char* word) {
  const size_t length = std::strlen(word);
  for (const char* at = std::strstr(text, word); at != nullptr; at = std::strstr(at + 1, word))
    if (IsBlank(at[length])) return at;
  return nullptr;
}

// The number after a "go" keyword and one separating character; 0 when the
// keyword is absent or nothing follows it.
i32 KeywordValue(const char* args, const char* keyword) {
  const char* at = std::strstr(args, keyword);
  if (at == nullptr) return 0;
  at += std::strlen(keyword);
  if (*at == '\0') return 0;
  return ParseInt(at + 1);
}

// The FEN's full-move number (its sixth field), or 1 when it has none.
i32 FullMoveOf(const char* fen) {
  const char* p = SkipBlanks(fen);
  for (int field = 1; field < 6 && *p != '\0'; ++field) {
    while (*p != '\0' && !IsBlank(*p)) ++p;
    p = SkipBlanks(p);
  }
  const i32 number = ParseInt(p);
  return *p >= '1' && *p <= '9' && number > 0 ? number : 1;
}

}  // namespace

void HandlePosition(const char* args, Position* pos, EngineState* engine) {
  const char* moves = FindWord(args, "moves");
  bool loaded;
  engine->session.fullMove = 1;
  if (Contains(args, "startpos")) {
    loaded = LoadFen(pos, StartFen);
  } else if (const char* fen = FindWord(args, "fen")) {
    // The FEN runs to the blank before "moves", or to the end of the line.
    char text[512];
    const char* end = moves != nullptr && moves > fen + 4 ? moves - 1 : fen + std::strlen(fen);
    size_t length = size_t(end - (fen + 4));
    if (length > sizeof text - 1) length = sizeof text - 1;
    std::memcpy(text, fen + 4, length);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || IsBlank(text[length - 1])))
      --length;
    text[length] = '\0';
    loaded = LoadFen(pos, text);
    if (!loaded) Print("info string refused FEN %s\n", text);
    if (loaded) engine->session.fullMove = FullMoveOf(text);
  } else {
    loaded = false;
  }
  engine->session.positionValid = loaded;
  if (!loaded || moves == nullptr) return;

  const char* p = SkipBlanks(moves + 6);
  char token[TokenSize];
  while (!AtLineEnd(p)) {
    NextToken(&p, token);
    Move m = FindLegalMove(pos, token);
    if (m == NoMove) {
      Print("info string illegal move %s\n", token);
      return;
    }
    TrimHistory(pos);
    if (pos->side == Black) ++engine->session.fullMove;
    UndoRecord undo;
    MakeMove(pos, m, &undo);
  }
}

void HandleGo(const char* args, Position* pos, EngineState* engine) {
  SearchLimits limits;
  limits.wtime = KeywordValue(args, "wtime");
  limits.btime = KeywordValue(args, "btime");
  limits.winc = KeywordValue(args, "winc");
  limits.binc = KeywordValue(args, "binc");
  limits.depth = KeywordValue(args, "depth");
  limits.nodes = KeywordValue(args, "nodes");
  limits.mate = KeywordValue(args, "mate");
  limits.movestogo = KeywordValue(args, "movestogo");
  limits.movetime = KeywordValue(args, "movetime");
  limits.ponder = Contains(args, "ponder");
  limits.infinite = Contains(args, "infinite");
  limits.searchmoves.count = 0;
  // A bare "go" analyses until "stop", as users of other engines expect;
  // GUIs always send a limit.
  static const char* const LimitWords[] = {"wtime", "btime",     "winc",     "binc",     "depth", "nodes",
                                           "mate",  "movestogo", "movetime", "infinite", "ponder"};
  bool anyLimit = false;
  for (const char* word : LimitWords) anyLimit = anyLimit || Contains(args, word);
  if (!anyLimit) limits.infinite = true;

  if (ReportMissingPosition(engine)) {
    Print("bestmove 0000\n");
    return;
  }
  if (const char* at = std::strstr(args, "searchmoves")) {
    const char* p = SkipBlanks(at + 11);
    char token[TokenSize];
    while (!AtLineEnd(p)) {
      NextToken(&p, token);
      Move m = FindLegalMove(pos, token);
      bool seen = false;
      for (int i = 0; i < limits.searchmoves.count && !seen; ++i) seen = limits.searchmoves.move[i] == m;
      if (m != NoMove && !seen) AddMove(&limits.searchmoves, m);
    }
  }
  MoveList legal;
  legal.count = 0;
  GenerateLegal(pos, &legal);
  if (legal.count == 0) {
    // The game is over; analysis tools still want its result.
    bool inCheck = IsAttacked(pos, pos->side ^ 1, pos->kingSquare[pos->side]);
    Print(inCheck ? "info depth 0 score mate 0\n" : "info depth 0 score cp 0\n");
    // An infinite or ponder search answers only when the GUI releases it,
    // whatever it found: a GUI pondering on a mating move sends "stop" and
    // waits for this answer.
    if (limits.infinite || limits.ponder) {
      engine->searchState = SearchToLimit;
      engine->budget.untilStopped = 1;
      ReleaseWait(engine);
      if (engine->session.quitRequested) return;
    }
    Print("bestmove 0000\n");
    return;
  }

  engine->budget.untilStopped = limits.infinite || limits.ponder;
  RootSearch(engine, pos, &limits);
  // "quit" during the search: the GUI wants no answer.
  if (engine->session.quitRequested) return;
  // The last progress line can be a second old: tools that read the figures
  // would under-count the search.
  PrintSearchTotals(engine, ElapsedMs(TickCount(), engine->progress.startTick));

  const PlyRecord* root = &engine->plies[0];
  char line[64];
  Move best = root->pvCount > 0 ? root->pv[0] : legal.move[0];
  int length =
      std::snprintf(line, sizeof line, best < 2 ? "bestmove %s" : "bestmove %s ", MoveToText(best).text);
  if (root->pvCount >= 2) {
    Move ponder = root->pv[1];
    std::snprintf(line + length, sizeof line - size_t(length), ponder < 2 ? " ponder %s" : " ponder %s ",
                  MoveToText(ponder).text);
  }
  Print("%s\n", line);
}
