// The material table: everything the evaluation knows about the bare piece
// counts, settled once at start-up for every combination the index can name.
#pragma once

#include "board/board.h"

// One entry per piece-count combination (4 bytes):
//   value  i16  correction in centipawns, White's view, added on top of
//               Position::material
//   flags  u16  bits 0-5   phase: 24 - minors - 2*rooks - 4*queens (0 = full
//                          material, 24 = kings and pawns only)
//               bit  6     KnownDraw
//               bit  7     BlackQueenPlus: Black has a queen and another piece
//               bit  8     WhiteQueenPlus: White has a queen and another piece
//               bit  9     BishopsOnly: one bishop a side, no other pieces
//               bit  10    SingleRooks: one rook a side, no other pieces
//               bit  11    ManyPieces: some side has more than two pieces
//               bits 12-15 zero
struct MaterialEntry {
  i16 value;
  u16 flags;
};
static_assert(sizeof(MaterialEntry) == 4);

constexpr u16 PhaseMask = 0x3F;
constexpr u16 KnownDraw = 0x40;
constexpr u16 BlackQueenPlus = 0x80;
constexpr u16 WhiteQueenPlus = 0x100;
constexpr u16 BishopsOnly = 0x200;
constexpr u16 SingleRooks = 0x400;
constexpr u16 ManyPieces = 0x800;

// Game phase of an entry, 0..24.
inline int MaterialPhase(const MaterialEntry* entry) { return entry->flags & PhaseMask; }

// Piece counts of a combination, [colour][piece type]; kings are not counted.
struct MaterialCounts {
  i32 count[2][8];
};

// Built by BuildMaterialTable, read-only afterwards. Entry i belongs to the
// combination whose mixed-radix material index is i.
extern MaterialEntry MaterialTable[MaterialTableSize];

// Fills every entry of MaterialTable and MaterialFallback; called once at
// start-up (calling it again rewrites the same contents).
void BuildMaterialTable();

// The material index of a combination (the linear sum of MaterialIndexWeight).
i32 MaterialIndexOf(const MaterialCounts* counts);

// Percentage of the material edge kept in a special ending (100 when no rule
// matches); only combinations with at most two units a side have rules.
int EndingScale(const MaterialCounts* counts);

// Entries for positions the table cannot describe (more pieces of a kind than
// its digits hold, so the index names another combination or none): no
// correction and no special ending, only the phase, clamped to 0..24, and the
// flags that switch on the ordinary terms. Indexed by FallbackIndex; built
// with the table.
constexpr int FallbackEntryCount = 25 * 8;
extern MaterialEntry MaterialFallback[FallbackEntryCount];

// The fallback entry of a position, from its piece counts.
const MaterialEntry* FallbackMaterialEntry(const Position* pos);

// The material entry of a position; never reads outside the table.
inline const MaterialEntry* MaterialLookup(const Position* pos) {
  const u32 index = u32(pos->materialIndex);  // a negative index becomes huge
  if (index < u32(MaterialTableSize) && !pos->materialOverflow) [[likely]]
    return &MaterialTable[index];
  return FallbackMaterialEntry(pos);
}
