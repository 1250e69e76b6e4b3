// Tarvo: a UCI chess engine. The entry routine builds every table in a fixed
// order and then serves the GUI until standard input ends.
#include <cstring>

#include "base/platform.h"
#include "board/board.h"
#include "engine/parameters.h"
#include "engine/uci.h"
#include "eval/pawns.h"
#include "search/state.h"

int main() {
  // Unbuffered before any output: the parameter loader may already print, and
  // buffering can only be chosen before a stream's first use.
  SetUnbufferedStreams();

  // The pawn cache exists before the engine object, which only points to it.
  static PawnHashTable pawnTable;
  CreatePawnTable(&pawnTable);
  static EngineState engine;
  static Position position;
  static OptionTable options;
  if (!ConstructEngine(&engine, "Parameters.txt")) return 1;
  engine.pawnTable = &pawnTable;
  BuildTables(&engine);
  std::memset(&position, 0, sizeof position);
  // Registered now as well as on "uci", so that "setoption" before "uci" works.
  RegisterOptions(&options);

  UciLoop(&options, &position, &engine);
  DestroyEngine(&engine);
  return 0;
}
