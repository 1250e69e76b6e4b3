#include "search/state.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/platform.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/weights.h"
#include "search/table.h"

namespace {

void ResetPlies(EngineState* engine) {
  std::memset(engine->plies, 0, MaxPly * sizeof(PlyRecord));
  for (int ply = 0; ply < MaxPly; ++ply) {
    PlyRecord* record = &engine->plies[ply];
    record->hashMove = record->mateKiller = record->killers[0] = record->killers[1] = NoMove;
    record->picker.victimMask = ~0ull;
    record->picker.current = NoMove;
    record->picker.checkCountGenerated = record->picker.evasionCount = record->picker.captureCount = -1;
  }
}

}  // namespace

EngineState* AllocateEngine(u32 hashMb) {
  EngineState* engine = static_cast<EngineState*>(std::calloc(1, sizeof(EngineState)));
  if (engine == nullptr) return nullptr;
  for (int k = 0; k < MaxMultiPv; ++k) {
    engine->lines.pvScore[k] = -InfiniteScore;
    engine->lines.pvSlot[k] = k;
  }
  InitInputReader(&engine->session.input, StandardInput());
  engine->options.multiPv = 1;
  engine->options.rateOfPlay = 1;
  engine->options.moveOverhead = DefaultMoveOverhead;
  engine->weights = static_cast<EvalWeights*>(std::calloc(1, sizeof(EvalWeights)));
  engine->plies = static_cast<PlyRecord*>(std::calloc(MaxPly, sizeof(PlyRecord)));
  // Probed at random like the main table, so on large pages too.
  void* pawnMemory = AllocateLarge(sizeof(PawnHashTable));
  engine->pawnTable = pawnMemory != nullptr ? new (pawnMemory) PawnHashTable : nullptr;
  if (engine->weights == nullptr || engine->plies == nullptr || engine->pawnTable == nullptr ||
      !AllocateTable(&engine->tt, hashMb)) {
    ReleaseEngine(engine);
    return nullptr;
  }
  engine->options.hashSizeMb = i32(hashMb);
  CreatePawnTable(engine->pawnTable);
  // The weights are loaded before the first evaluation; later they change
  // only through the tuning tools' ApplyNumbers, which empties the table.
  engine->pawnTable->evalCacheOn = 1;
  ResetPlies(engine);
  return engine;
}

void ReleaseEngine(EngineState* engine) {
  if (engine == nullptr) return;
  FreeTable(&engine->tt);
  std::free(engine->weights);
  std::free(engine->plies);
  FreeLarge(engine->pawnTable);
  std::free(engine);
}

void BuildTables(const EngineState* engine) {
  InitBoardTables();
  BuildMaterialTable();
  BuildStormTable(engine->pawnTable, engine->weights);
  BuildShelterTable(engine->pawnTable, engine->weights);
}

void ResetSearchState(EngineState* engine) {
  ClearTable(&engine->tt);
  std::memset(&engine->stats, 0, sizeof engine->stats);
  ResetPlies(engine);
}
