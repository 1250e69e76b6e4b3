// Builds the material table: known draws, special-ending scales and the
// material terms that depend on nothing but the piece counts.
#include "eval/material.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

// Lives in .bss: no allocation that could fail, and the pages cost nothing
// until the builder writes them.
MaterialEntry MaterialTable[MaterialTableSize];
MaterialEntry MaterialFallback[FallbackEntryCount];

namespace {

// A side's units packed base 9 (pawns lowest), so that one compare matches a
// side of an ending pattern. Pawn counts stay below 9, the other counts below 3.
constexpr int PawnUnit = 1, KnightUnit = 9, BishopUnit = 81, RookUnit = 729, QueenUnit = 6561;

// Signature of a side written as its piece letters without the king ("NP" =
// knight and pawn); an unknown letter gives a negative signature.
constexpr int Signature(const char* units) {
  int signature = 0;
  for (; *units != '\0'; ++units) {
    switch (*units) {
      case 'P':
        signature += PawnUnit;
        break;
      case 'N':
        signature += KnightUnit;
        break;
      case 'B':
        signature += BishopUnit;
        break;
      case 'R':
        signature += RookUnit;
        break;
      case 'Q':
        signature += QueenUnit;
        break;
      default:
        return -1000000;
    }
  }
  return signature;
}

// Signature of one side of a combination.
int SideSignature(const MaterialCounts* counts, int colour) {
  const i32* c = counts->count[colour];
  return c[Pawn] * PawnUnit + c[Knight] * KnightUnit + c[Bishop] * BishopUnit + c[Rook] * RookUnit +
         c[Queen] * QueenUnit;
}

// Pawns and pieces of one side.
int Units(const MaterialCounts* counts, int colour) {
  const i32* c = counts->count[colour];
  return c[Pawn] + c[Knight] + c[Bishop] + c[Rook] + c[Queen];
}

struct EndingRule {
  int white;
  int black;
  int scale;
};

// A pattern of the lists below, from both sides' piece letters.
constexpr EndingRule Rule(const char* white, const char* black, int scale) {
  return {Signature(white), Signature(black), scale};
}

// Material with no winning chances whatever the rest of the position.
constexpr EndingRule KnownDraws[] = {
    Rule("", "", 0),    Rule("N", "", 0),   Rule("", "N", 0),   Rule("B", "", 0),   Rule("", "B", 0),
    Rule("N", "N", 0),  Rule("B", "B", 0),  Rule("N", "B", 0),  Rule("B", "N", 0),  Rule("R", "R", 0),
    Rule("Q", "Q", 0),  Rule("B", "P", 0),  Rule("P", "B", 0),  Rule("NN", "", 0),  Rule("", "NN", 0),
    Rule("NN", "N", 0), Rule("N", "NN", 0), Rule("NN", "B", 0), Rule("B", "NN", 0),
};

// Scales when each side has at most one unit.
constexpr EndingRule OneUnitScales[] = {
    Rule("N", "P", -5), Rule("P", "N", -5), Rule("R", "N", 10), Rule("N", "R", 10),
    Rule("R", "B", 10), Rule("B", "R", 10), Rule("Q", "R", 80), Rule("R", "Q", 80),
};

// Scales when each side has at most two units; a later match wins.
constexpr EndingRule TwoUnitScales[] = {
    Rule("NN", "R", -5),  Rule("R", "NN", -5),                                               //
    Rule("PP", "N", -1),  Rule("N", "PP", -1),  Rule("PP", "B", -1),  Rule("B", "PP", -1),   //
    Rule("NN", "NP", -1), Rule("NP", "NN", -1), Rule("BP", "NN", -1), Rule("NN", "BP", -1),  //
    Rule("BB", "N", 60),  Rule("N", "BB", 60),                                               //
    Rule("BB", "B", 10),  Rule("BB", "BP", 10), Rule("B", "BB", 10),  Rule("BP", "BB", 10),  //
    Rule("BB", "NP", 12), Rule("NP", "BB", 12),                                              //
    Rule("QB", "RR", 25), Rule("RR", "QB", 25), Rule("QN", "RR", 25), Rule("RR", "QN", 25),  //
    Rule("BP", "B", 10),  Rule("B", "BP", 10),  Rule("NP", "N", 10),  Rule("N", "NP", 10),   //
    Rule("BP", "N", 10),  Rule("N", "BP", 10),  Rule("NP", "B", 10),  Rule("B", "NP", 10),   //
    Rule("R", "RN", 3),   Rule("RN", "R", 3),                                                //
    Rule("RB", "R", 6),   Rule("R", "RB", 6),                                                //
    Rule("BN", "B", 10),  Rule("B", "BN", 10),                                               //
    Rule("BN", "N", 15),  Rule("N", "BN", 15),                                               //
    Rule("NN", "NN", 15), Rule("NN", "BN", 15), Rule("NN", "BB", 15),                        //
    Rule("BN", "NN", 15), Rule("BN", "BN", 15), Rule("BN", "BB", 15),                        //
    Rule("BB", "NN", 15), Rule("BB", "BN", 15), Rule("BB", "BB", 15),                        //
    Rule("R", "NP", -10), Rule("NP", "R", -10), Rule("R", "BP", -10), Rule("BP", "R", -10),  //
    Rule("RN", "RP", 10), Rule("RB", "RP", 10), Rule("RP", "RB", 10), Rule("RP", "RN", 10),  //
    Rule("BN", "BP", 25), Rule("BP", "BN", 25), Rule("BN", "NP", 25), Rule("NP", "BN", 25),  //
};

// Whether every pattern of a list was spelled with known piece letters.
template <std::size_t N>
constexpr bool AllSpelledRight(const EndingRule (&rules)[N]) {
  for (const EndingRule& rule : rules)
    if (rule.white < 0 || rule.black < 0) return false;
  return true;
}
static_assert(AllSpelledRight(KnownDraws) && AllSpelledRight(OneUnitScales) &&
              AllSpelledRight(TwoUnitScales));

// Scale of the last rule of a list matching both sides, or 100.
template <std::size_t N>
int MatchScale(const EndingRule (&rules)[N], int white, int black) {
  int scale = 100;
  for (const EndingRule& rule : rules)
    if (rule.white == white && rule.black == black) scale = rule.scale;
  return scale;
}

// Whether the combination is one of the known draws.
bool IsKnownDraw(const MaterialCounts* counts) {
  if (Units(counts, White) > 2 || Units(counts, Black) > 2) return false;  // no listed draw has more
  const int white = SideSignature(counts, White), black = SideSignature(counts, Black);
  for (const EndingRule& rule : KnownDraws)
    if (rule.white == white && rule.black == black) return true;
  return false;
}

// Slot of MaterialFallback for a phase 0..24 and the three flags it carries.
int FallbackIndex(int phase, bool whiteQueenPlus, bool blackQueenPlus, bool manyPieces) {
  return phase * 8 + (whiteQueenPlus ? 1 : 0) + (blackQueenPlus ? 2 : 0) + (manyPieces ? 4 : 0);
}

// The complete entry of one combination.
MaterialEntry ComputeEntry(const MaterialCounts* counts) {
  // Uppercase White, lowercase Black.
  const int P = counts->count[White][Pawn], N = counts->count[White][Knight],
            B = counts->count[White][Bishop], R = counts->count[White][Rook], Q = counts->count[White][Queen];
  const int p = counts->count[Black][Pawn], n = counts->count[Black][Knight],
            b = counts->count[Black][Bishop], r = counts->count[Black][Rook], q = counts->count[Black][Queen];
  const int whitePieces = N + B + R + Q, blackPieces = n + b + r + q;
  const int pawns = P + p;
  const int phase = 24 - (N + n + B + b) - 2 * (R + r) - 4 * (Q + q);

  int flags = phase;
  if (q == 1 && blackPieces > 1) flags |= BlackQueenPlus;
  if (Q == 1 && whitePieces > 1) flags |= WhiteQueenPlus;
  if (B == 1 && b == 1 && whitePieces == 1 && blackPieces == 1) flags |= BishopsOnly;
  if (R == 1 && r == 1 && whitePieces == 1 && blackPieces == 1) flags |= SingleRooks;
  if (whitePieces > 2 || blackPieces > 2) flags |= ManyPieces;

  int value = 0;
  if (IsKnownDraw(counts)) {
    flags |= KnownDraw;
  } else {
    const int edge = 100 * (P - p) + 330 * (N - n + B - b) + 500 * (R - r) + 975 * (Q - q);
    value = (EndingScale(counts) - 100) * edge / 100;
  }

  // King-attack potential of a queen with company.
  if (flags & BlackQueenPlus) value += (phase - 24) * 140 / 24;
  if (flags & WhiteQueenPlus) value += (24 - phase) * 140 / 24;

  // Bishop pair, worth most with six pawns on the board.
  const int pairBonus = 30 + 120 / (std::abs(pawns - 6) + 5);
  if (B == 2) value += pairBonus;
  if (b == 2) value -= pairBonus;

  // Knights lose value as pawns disappear.
  value += (18 - std::max(pawns, 6)) * (n - N) * 25 / 10;

  // Pure pawn endings.
  if (whitePieces == 0 && blackPieces == 0) {
    if (pawns == 1)
      value += 30 * (p - P);
    else
      value += 2 * (pawns + 30) * (P - p);
  }

  // Queen against a lone queen: extra pawns and pieces convert poorly.
  if (Q == 1 && q == 1 && blackPieces == 1 && P >= 1)
    value -= (55 - 3 * pawns) * std::max(P - p, 0) + 50 * std::max(2 * (R - r) + (B - b) + (N - n), 0);
  if (Q == 1 && q == 1 && whitePieces == 1 && p >= 1)
    value += (55 - 3 * pawns) * std::max(p - P, 0) + 50 * std::max(2 * (r - R) + (b - B) + (n - N), 0);

  // Pawns are worth less while pieces are on the board; the per-pawn amount is
  // truncated first.
  value += (14 * (phase - 24) / 24) * P + (14 * (24 - phase) / 24) * p;

  // A large pawn majority gains less than its raw material.
  const int majority = P - p;
  if (majority >= 3) value -= 3 * majority * majority;
  if (majority <= -3) value += 3 * majority * majority;

  // One extra pawn in a single-rook ending is often not enough.
  if (flags & SingleRooks) {
    if (majority == 1) value -= 15;
    if (majority == -1) value += 15;
  }

  // Double-rook endings.
  if (R == 2 && r == 2 && whitePieces == 2 && blackPieces == 2) value += 10 * (p - P);

  // Rook redundancy: a second rook or a queen beside a rook is worth less.
  if (R >= 1) value += 16 * (2 - 2 * R - Q);
  if (r >= 1) value -= 16 * (2 - 2 * r - q);

  return MaterialEntry{i16(value), u16(flags)};
}

}  // namespace

i32 MaterialIndexOf(const MaterialCounts* counts) {
  i32 index = 0;
  for (int colour = White; colour <= Black; ++colour)
    for (int type = Pawn; type <= Queen; ++type)
      index += counts->count[colour][type] * MaterialIndexWeight[colour][type];
  return index;
}

int EndingScale(const MaterialCounts* counts) {
  const int whiteUnits = Units(counts, White), blackUnits = Units(counts, Black);
  if (whiteUnits > 2 || blackUnits > 2) return 100;
  const int white = SideSignature(counts, White), black = SideSignature(counts, Black);
  if (whiteUnits <= 1 && blackUnits <= 1) return MatchScale(OneUnitScales, white, black);
  return MatchScale(TwoUnitScales, white, black);
}

void BuildMaterialTable() {
  MaterialCounts counts{};
  i32(&w)[8] = counts.count[White];
  i32(&k)[8] = counts.count[Black];
  // Most significant digit outermost, so the entries come in index order.
  int index = 0;
  for (w[Pawn] = 0; w[Pawn] <= 8; ++w[Pawn])
    for (k[Pawn] = 0; k[Pawn] <= 8; ++k[Pawn])
      for (w[Knight] = 0; w[Knight] <= 2; ++w[Knight])
        for (k[Knight] = 0; k[Knight] <= 2; ++k[Knight])
          for (w[Bishop] = 0; w[Bishop] <= 2; ++w[Bishop])
            for (k[Bishop] = 0; k[Bishop] <= 2; ++k[Bishop])
              for (w[Rook] = 0; w[Rook] <= 2; ++w[Rook])
                for (k[Rook] = 0; k[Rook] <= 2; ++k[Rook])
                  for (w[Queen] = 0; w[Queen] <= 1; ++w[Queen])
                    for (k[Queen] = 0; k[Queen] <= 1; ++k[Queen])
                      MaterialTable[index++] = ComputeEntry(&counts);

  for (int phase = 0; phase <= 24; ++phase)
    for (int flags = 0; flags < 8; ++flags) {
      const bool whiteQueenPlus = flags & 1, blackQueenPlus = flags & 2, manyPieces = flags & 4;
      MaterialFallback[FallbackIndex(phase, whiteQueenPlus, blackQueenPlus, manyPieces)] =
          MaterialEntry{0, u16(phase | (whiteQueenPlus ? WhiteQueenPlus : 0) |
                               (blackQueenPlus ? BlackQueenPlus : 0) | (manyPieces ? ManyPieces : 0))};
    }
}

const MaterialEntry* FallbackMaterialEntry(const Position* pos) {
  int count[2][8] = {};
  for (int colour = White; colour <= Black; ++colour)
    for (int type = Knight; type <= Queen; ++type)
      count[colour][type] = PopCount(pos->pieces[type] & pos->colours[colour]);
  int phase = 24;
  int pieces[2];
  for (int colour = White; colour <= Black; ++colour) {
    const int* c = count[colour];
    phase -= c[Knight] + c[Bishop] + 2 * c[Rook] + 4 * c[Queen];
    pieces[colour] = c[Knight] + c[Bishop] + c[Rook] + c[Queen];
  }
  const bool whiteQueenPlus = count[White][Queen] > 0 && pieces[White] > 1;
  const bool blackQueenPlus = count[Black][Queen] > 0 && pieces[Black] > 1;
  return &MaterialFallback[FallbackIndex(phase < 0 ? 0 : phase, whiteQueenPlus, blackQueenPlus,
                                         pieces[White] > 2 || pieces[Black] > 2)];
}
