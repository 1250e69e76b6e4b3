// A whole UCI session: the input is cut into lines as the command loop reads
// them and each line runs through HandleCommand in-process, up to a "quit" as
// in the loop. Searches are kept to a few plies. After every
// command the position is consistent, a search leaves it as it found it, and
// its answer (and ponder move) is legal.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/input.h"
#include "base/text.h"
#include "engine/uci.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Require;

// "go" takes the first occurrence of each keyword, so limits put first win:
// every search, "infinite" and "ponder" included, ends after a couple of
// iterations and never waits for the GUI.
constexpr const char* GoPrefix = "go depth 3 nodes 3000 mate 1 ";

struct Session {
  Position pos;
  OptionTable options;
  bool loaded;  // a position has been set up at least once
};

void Reset(EngineState* engine, Session* session) {
  std::memset(&session->pos, 0, sizeof session->pos);
  session->loaded = false;
  RegisterOptions(&session->options);
  ApplyOptions(&session->options, engine);
  fuzz::SmallTable(engine);
  ResetSearchState(engine);
  engine->session.positionValid = 0;
  engine->session.quitRequested = 0;
}

void CheckSearch(EngineState* engine, Session* session, const Position& before, const MoveList& legal) {
  Require(fuzz::SamePosition(before, session->pos), "the search changed the position");
  const PlyRecord* root = &engine->plies[0];
  Require(root->pvCount > 0, "a search left no move");
  Require(fuzz::InList(legal, root->pv[0]), "illegal best move", MoveToText(root->pv[0]).text);
  if (root->pvCount >= 2) {
    Position after = session->pos;
    UndoRecord undo;
    MakeMove(&after, root->pv[0], &undo);
    MoveList replies;
    replies.count = 0;
    GenerateLegal(&after, &replies);
    Require(fuzz::InList(replies, root->pv[1]), "illegal ponder move", MoveToText(root->pv[1]).text);
  }
}

void RunLine(EngineState* engine, Session* session, std::string line) {
  // As the loop does: a CR LF pair is one newline.
  if (line.size() >= 2 && line[line.size() - 2] == '\r' && line.back() == '\n')
    line.erase(line.size() - 2, 1);
  const char* text = line.c_str();
  // The console's long runs are kept as short as the searches: its bench at
  // the least depth, perft to two plies.
  if (StartsWith(text, "bench")) line = "bench 2\n";
  if (StartsWith(text, "go perft")) line = "go perft 2\n";
  text = line.c_str();
  const bool go = StartsWith(text, "go") && !StartsWith(text, "go perft");
  if (go) line = GoPrefix + std::string(std::strlen(text) > 3 ? text + 3 : "");

  Position before = session->pos;
  MoveList legal;
  legal.count = 0;
  const bool searches = go && engine->session.positionValid;
  if (searches) GenerateLegal(&session->pos, &legal);

  HandleCommand(line.c_str(), &session->options, &session->pos, engine);

  session->loaded = session->loaded || engine->session.positionValid;
  if (session->loaded) {
    const char* what = nullptr;
    Require(PositionIsOk(&session->pos, &what), "inconsistent position", what);
  }
  if (searches && legal.count > 0) CheckSearch(engine, session, before, legal);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EngineState* engine = fuzz::BuildEngine();
  static Session session;
  Reset(engine, &session);
  // Lines as the input reader hands them over: up to a newline, read as C
  // strings (a NUL byte ends the command early); a line too long for the
  // reader's buffer is refused whole.
  std::string line;
  for (size_t i = 0; i < size; ++i) {
    line.push_back(char(data[i]));
    if (data[i] == '\n') {
      if (line.size() <= size_t(InputBufferSize)) RunLine(engine, &session, line);
      line.clear();
      // The loop reads nothing after "quit".
      if (engine->session.quitRequested) return 0;
    }
  }
  if (!line.empty() && line.size() < size_t(InputBufferSize)) RunLine(engine, &session, line);
  return 0;
}
