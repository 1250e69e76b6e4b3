// The "Hash" option: which table size a value asks for, on this build and this
// machine, and applying it without ever leaving the engine without a table.
#pragma once

#include "board/types.h"

struct EngineState;

constexpr i32 MinHashMb = 8;
// The sanitizer and fuzz builds define a lower limit that fits their memory
// allowance; otherwise 32 GB on 64-bit builds (the table counts its 16-byte
// entries in 32 bits: 64 GB would wrap the count) and 2 GB on 32-bit ones.
#ifdef TARVO_HASH_LIMIT_MB
constexpr i32 MaxHashMb = TARVO_HASH_LIMIT_MB;
#else
constexpr i32 MaxHashMb = sizeof(void*) == 8 ? 32768 : 2048;
#endif

// Why a table is smaller (or larger) than the value asked for.
enum HashAdjustment : i32 {
  HashAsAsked = 0,
  HashBelowMinimum,
  HashAboveMaximum,
  HashNotPowerOfTwo,
  HashOverMemory,  // more than half the physical memory
};

struct HashPlan {
  i32 megabytes;
  HashAdjustment adjustment;
};

// The size a Hash value asks for: clamped to MinHashMb..MaxHashMb, rounded
// down to a power of two, and lowered to the largest power of two within half
// of physicalMb (0: unknown, no such limit). With overcommit an allocation
// beyond the memory can succeed and the process die later while clearing it.
HashPlan PlanHashSize(i32 requested, u64 physicalMb);

// Applies a Hash value when it differs from the one last applied: allocates the
// planned size, or each smaller power of two down to MinHashMb when the system
// refuses it; when all are refused, the old table stays. Silent.
void ApplyHashOption(EngineState* engine, i32 requested);

// The megabytes the table holds now.
i32 TableMegabytes(const EngineState* engine);
