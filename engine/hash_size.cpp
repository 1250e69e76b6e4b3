#include "engine/hash_size.h"

#include "base/platform.h"
#include "search/state.h"
#include "search/table.h"

static_assert(MinHashMb <= MaxHashMb && (MaxHashMb & (MaxHashMb - 1)) == 0);
static_assert(u64(MaxHashMb) * 1024 * 1024 / sizeof(TTEntry) <= 0xFFFFFFFFull,
              "TransTable::entryCount is a u32");

namespace {

i32 PowerOfTwoAtMost(u64 megabytes) {
  i32 size = MinHashMb;
  while (u64(size) * 2 <= megabytes && size * 2 <= MaxHashMb) size *= 2;
  return size;
}

}  // namespace

HashPlan PlanHashSize(i32 requested, u64 physicalMb) {
  HashPlan plan{requested, HashAsAsked};
  if (requested < MinHashMb) plan = {MinHashMb, HashBelowMinimum};
  if (requested > MaxHashMb) plan = {MaxHashMb, HashAboveMaximum};
  const i32 rounded = PowerOfTwoAtMost(u64(plan.megabytes));
  if (rounded != plan.megabytes) plan = {rounded, HashNotPowerOfTwo};
  if (physicalMb != 0 && u64(plan.megabytes) > physicalMb / 2)
    plan = {PowerOfTwoAtMost(physicalMb / 2), HashOverMemory};
  return plan;
}

void ApplyHashOption(EngineState* engine, i32 requested) {
  if (requested == engine->options.hashSizeMb) return;
  // The old table is released only once a new one is obtained.
  for (i32 size = PlanHashSize(requested, PhysicalMemoryMb()).megabytes; size >= MinHashMb; size /= 2)
    if (AllocateTable(&engine->tt, u32(size))) {
      engine->options.hashSizeMb = requested;
      return;
    }
}

i32 TableMegabytes(const EngineState* engine) {
  return i32(u64(engine->tt.entryCount) * sizeof(TTEntry) / (1024 * 1024));
}
