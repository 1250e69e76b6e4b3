#include "engine/engine.h"

#include "engine/parameters.h"
#include "search/state.h"

EngineState* NewEngine(const char* parameterFile, u32 hashMb, ParameterReport* report) {
  EngineState* engine = AllocateEngine(hashMb);
  if (engine == nullptr) return nullptr;
  if (parameterFile != BuiltInParameters)
    LoadParameters(engine->weights, parameterFile, report);
  else
    LoadEmbeddedParameters(engine->weights);
  // The board and material tables, then the shelter tables of these weights.
  BuildTables(engine);
  return engine;
}

void FreeEngine(EngineState* engine) { ReleaseEngine(engine); }
