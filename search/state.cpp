#include "search/state.h"

#include <cstdlib>
#include <cstring>

#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/weights.h"
#include "search/table.h"

void SetSearchParameters(EngineState* e) {
  const i32 delta[4] = {220, 450, 650, 1050};
  std::memcpy(e->deltaMargin, delta, sizeof delta);
  e->lmrMinMoves[0] = 4;
  e->lmrMinMoves[1] = 15;
  e->razorMargin = 300;
  e->lmrReduction = 1.0f;
  e->lmrMinDepth = 2.0f;
  e->iidMinDepth = 3.0f;
  e->ttMinDepth = 1.0f;
  e->razorMaxDepth = 3.0f;
  e->iidReduction = 2.0f;
  e->nullMinDepth = 2.0f;
  e->nullReduction = 3.0f;
  e->qsCheckDepth[0] = 1.0f;
  e->qsCheckDepth[1] = 2.0f;
  e->verifyReduction = 4.0f;
  e->extRecapture[0] = 0.0f;
  e->extRecapture[1] = 1.0f;
  e->extCheckLosing = 0.5f;
  e->extCheck = 1.0f;
  e->extSingleReply[0] = 1.0f;
  e->extSingleReply[1] = 1.0f;
  e->extPassedPawn[0] = 0.0f;
  e->extPassedPawn[1] = 1.0f;
  e->extCritical[0] = 0.0f;
  e->extCritical[1] = 1.0f;
  e->qsCheckExtension = 1.0f;
}

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

bool AllocateEngine(EngineState* engine) {
  std::memset(engine, 0, sizeof *engine);
  for (int k = 0; k < MaxMultiPv; ++k) {
    engine->pvScore[k] = -InfiniteScore;
    engine->pvSlot[k] = k;
  }
  engine->noMoveSentinel = NoMove;
  InitInputReader(&engine->input, StandardInput());
  engine->multiPv = engine->multiPvOption = 1;
  engine->rateOfPlay = engine->rateOfPlayOption = 1;
  engine->moveOverhead = DefaultMoveOverhead;
  SetSearchParameters(engine);
  engine->hashSizeMb = DefaultHashMb;
  if (!AllocateTable(&engine->tt, DefaultHashMb)) return false;

  engine->weights = static_cast<EvalWeights*>(std::calloc(1, sizeof(EvalWeights)));
  engine->plies = static_cast<PlyRecord*>(std::calloc(MaxPly, sizeof(PlyRecord)));
  if (engine->weights == nullptr || engine->plies == nullptr) return false;
  ResetPlies(engine);
  engine->personality = 0;
  return true;
}

void DestroyEngine(EngineState* engine) {
  FreeTable(&engine->tt);
  std::free(engine->weights);
  std::free(engine->plies);
  engine->weights = nullptr;
  engine->plies = nullptr;
}

void BuildTables(const EngineState* engine) {
  InitBoardTables();
  BuildMaterialTable();
  BuildStormTable(engine->pawnTable, engine->weights);
  BuildShelterTable(engine->pawnTable, engine->weights);
}

void ResetSearchState(EngineState* engine) {
  ClearTable(&engine->tt);
  for (int i = 0; i < 768; ++i) engine->historyScore[i] = engine->historyGood[i] = engine->historyBad[i] = 0;
  ResetPlies(engine);
}
