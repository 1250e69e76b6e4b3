// Precomputed board tables: square mappings of the rotated occupancies, sliding
// and leaper attacks, lines between squares, castling masks and the pawn and king
// masks of the evaluation. Built once at start-up, read-only afterwards.
#include <cstdlib>
#include <cstring>

#include "board/board.h"

u64 SquareMask[64];
u64 SquareMaskFiles[64];
u64 SquareMaskAnti[64];
u64 SquareMaskDiag[64];
u8 ShiftAnti[64];
u8 ShiftDiag[64];
u64 RankAttacks[64][64];
u64 FileAttacks[64][64];
u64 DiagAttacks[64][64];
u64 AntiDiagAttacks[64][64];
u64 KnightAttacks[64];
u64 KingAttacks[64];
u64 PawnAttacks[2][64];
u64 BishopEmpty[64];
u64 RookEmpty[64];
u64 Between[64][64];
u64 Line[64][64];
u64 BeyondKing[64][64];
u8 CastleMask[64];
u64 PassedMask[2][64];
u64 FrontSpan[2][64];
u64 AdjacentAhead[2][64];
u64 AdjacentFilesMask[64];
u64 SupportMask[2][64];
u64 AdjacentLevelOrBehind[2][64];
u64 LeftLevelOrBehind[2][64];
u64 RightLevelOrBehind[2][64];
u64 AdjacentTwoAhead[2][64];
u64 AdjacentThreeAhead[2][64];
u64 OutsidePawnSquare[2][64];
u64 KingGuardsFront[2][64];
u64 KingZone[2][64];
u8 KingWing[64];

ScorePair PieceSquareValue[2][8][64];

namespace {

constexpr u64 NotFileA = ~FileAMask;
constexpr u64 NotFileH = ~(FileAMask << 7);
constexpr u64 NotFilesAB = ~(FileAMask | FileAMask << 1);
constexpr u64 NotFilesGH = ~(FileAMask << 6 | FileAMask << 7);

// Rank r's squares, or nothing when r is off the board.
u64 RankBits(int r) { return r >= 0 && r < 8 ? Rank1Mask << (8 * r) : 0; }

// The squares of one line through a square, ordered so that bit i of the table
// index stands for squares[i + 1]; `at` is the given square's place.
struct LineSquares {
  int count;
  int at;
  int squares[8];
};

// Collects the line through s stepping (df, dr), starting from its far end
// against the step.
LineSquares CollectLine(int s, int df, int dr) {
  int f = FileOf(s), r = RankOf(s);
  while (f - df >= 0 && f - df < 8 && r - dr >= 0 && r - dr < 8) f -= df, r -= dr;
  LineSquares line{};
  for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += df, r += dr) {
    if (MakeSquare(f, r) == s) line.at = line.count;
    line.squares[line.count++] = MakeSquare(f, r);
  }
  return line;
}

// Fills table[s][p] for every p: walk both ways from s, stopping after a square
// whose inner-occupancy bit is set; end squares are always reached.
void BuildSlider(u64 (&table)[64][64], int s, int df, int dr) {
  const LineSquares line = CollectLine(s, df, dr);
  for (int p = 0; p < 64; ++p) {
    u64 attacks = 0;
    for (int j = line.at + 1; j < line.count; ++j) {
      attacks |= 1ull << line.squares[j];
      if (j < line.count - 1 && (p >> (j - 1)) & 1) break;
    }
    for (int j = line.at - 1; j >= 0; --j) {
      attacks |= 1ull << line.squares[j];
      if (j > 0 && (p >> (j - 1)) & 1) break;
    }
    table[s][p] = attacks;
  }
}

// Rook / bishop attacks from s when only `blocker` is occupied.
u64 RookAttacksWith(int s, int blocker) {
  return RankAttacksFrom(SquareMask[blocker], s) | FileAttacksFrom(SquareMaskFiles[blocker], s);
}
u64 BishopAttacksWith(int s, int blocker) {
  return DiagAttacksFrom(SquareMaskDiag[blocker], s) | AntiDiagAttacksFrom(SquareMaskAnti[blocker], s);
}

// Ranks from a square to the promotion rank of colour c.
int RanksToPromotion(int c, int square) { return c == White ? 7 - RankOf(square) : RankOf(square); }

}  // namespace

// Builds the tables in dependency order: single-square tables first, then the
// pair tables that are derived from them, then the king zones and castle masks.
void InitBoardTables() {
  std::memset(Line, 0, sizeof Line);
  std::memset(RankAttacks, 0, sizeof RankAttacks);
  std::memset(Between, 0, sizeof Between);
  std::memset(FileAttacks, 0, sizeof FileAttacks);
  std::memset(BeyondKing, 0, sizeof BeyondKing);
  std::memset(AntiDiagAttacks, 0, sizeof AntiDiagAttacks);
  std::memset(DiagAttacks, 0, sizeof DiagAttacks);
  std::memset(CastleMask, 255, sizeof CastleMask);

  for (int s = 0; s < 64; ++s) {
    const int f = FileOf(s), r = RankOf(s);
    const u64 b = 1ull << s;

    SquareMask[s] = b;
    SquareMaskFiles[s] = 1ull << (8 * f + (7 - r));
    SquareMaskAnti[s] = 1ull << (8 * ((r + f + 1) & 7) + f);
    SquareMaskDiag[s] = 1ull << (8 * ((r - f) & 7) + f);
    // h8's anti-diagonal is h8 alone and would need a shift of 64, which is
    // undefined; its table entries are empty for every index, so any shift does.
    ShiftAnti[s] = u8((8 * ((r + f + 1) & 7) + (r + f > 7 ? r + f - 7 : 0) + 1) & 63);
    ShiftDiag[s] = u8(8 * ((r - f) & 7) + (f > r ? f - r : 0) + 1);

    KingAttacks[s] =
        ((b << 7 | b >> 1 | b >> 9) & NotFileH) | ((b << 9 | b << 1 | b >> 7) & NotFileA) | b << 8 | b >> 8;
    PawnAttacks[White][s] = r == 7 ? 0 : ((b << 7) & NotFileH) | ((b << 9) & NotFileA);
    PawnAttacks[Black][s] = r == 0 ? 0 : ((b >> 9) & NotFileH) | ((b >> 7) & NotFileA);
    KnightAttacks[s] = ((b << 15 | b >> 17) & NotFileH) | ((b << 17 | b >> 15) & NotFileA) |
                       ((b << 6 | b >> 10) & NotFilesGH) | ((b << 10 | b >> 6) & NotFilesAB);

    BuildSlider(RankAttacks, s, 1, 0);
    BuildSlider(FileAttacks, s, 0, -1);  // index bit 0 is the rank-7 square
    BuildSlider(DiagAttacks, s, 1, 1);
    BuildSlider(AntiDiagAttacks, s, 1, -1);
    BishopEmpty[s] = DiagAttacks[s][0] | AntiDiagAttacks[s][0];
    RookEmpty[s] = RankAttacks[s][0] | FileAttacks[s][0];

    AdjacentFilesMask[s] = AdjacentFileMask[f];
    KingWing[s] = u8(f < 3 ? 0 : f < 5 ? 1 : 2);
    for (int c = White; c <= Black; ++c) {
      const int ahead = c == White ? 1 : -1;
      const u64 levelOrBehind = ~RanksAhead[c][r];
      PassedMask[c][s] = RanksAhead[c][r] & (FileMask[f] | AdjacentFileMask[f]);
      FrontSpan[c][s] = RanksAhead[c][r] & FileMask[f];
      AdjacentAhead[c][s] = RanksAhead[c][r] & AdjacentFileMask[f];
      SupportMask[c][s] = AdjacentFileMask[f] & (RankBits(r - ahead) | RankMask7[r]);
      AdjacentLevelOrBehind[c][s] = AdjacentFileMask[f] & levelOrBehind;
      LeftLevelOrBehind[c][s] = LeftFileMask[f] & levelOrBehind;
      RightLevelOrBehind[c][s] = RightFileMask[f] & levelOrBehind;
      AdjacentTwoAhead[c][s] = AdjacentFileMask[f] & RankBits(r + 2 * ahead);
      AdjacentThreeAhead[c][s] = AdjacentFileMask[f] & RankBits(r + 3 * ahead);
    }
  }

  for (int a = 0; a < 64; ++a) {
    for (int b = 0; b < 64; ++b) {
      if (b == a) continue;
      const u64 ends = SquareMask[a] | SquareMask[b];
      if (RookEmpty[a] & SquareMask[b]) {
        Line[a][b] = (RookEmpty[a] & RookEmpty[b]) | ends;
        Between[a][b] = RookAttacksWith(b, a) & RookAttacksWith(a, b);
        BeyondKing[a][b] = KingAttacks[a] & ~Between[a][b] & RookEmpty[a] & RookEmpty[b];
      } else if (BishopEmpty[a] & SquareMask[b]) {
        Line[a][b] = (BishopEmpty[a] & BishopEmpty[b]) | ends;
        Between[a][b] = BishopAttacksWith(b, a) & BishopAttacksWith(a, b);
        BeyondKing[a][b] = KingAttacks[a] & ~Between[a][b] & BishopEmpty[a] & BishopEmpty[b];
      }
    }
    for (int c = White; c <= Black; ++c) {
      const int toGo = RanksToPromotion(c, a);
      const int reach = (toGo < 5 ? toGo : 5) + 1;
      u64 outside = 0, guards = 0;
      for (int t = 0; t < 64; ++t) {
        const int fileDistance = std::abs(FileOf(t) - FileOf(a));
        const int rankDistance = RanksToPromotion(c, t);
        if ((fileDistance > rankDistance ? fileDistance : rankDistance) > reach) outside |= SquareMask[t];
        if (PopCount(KingAttacks[t] & FrontSpan[c][a]) == PopCount(FrontSpan[c][a])) guards |= SquareMask[t];
      }
      OutsidePawnSquare[c][a] = outside;
      KingGuardsFront[c][a] = guards;
    }
  }

  for (int s = 0; s < 64; ++s)
    for (int c = White; c <= Black; ++c) {
      u64 zone = 0;
      for (u64 near = KingAttacks[s] & ~PawnAttacks[c][s]; near;) zone |= KingAttacks[PopLowest(&near)];
      KingZone[c][s] = zone;
    }

  CastleMask[0] = 251;   // a1: White queen side
  CastleMask[7] = 254;   // h1: White king side
  CastleMask[4] = 250;   // e1: both White rights
  CastleMask[56] = 247;  // a8: Black queen side
  CastleMask[63] = 253;  // h8: Black king side
  CastleMask[60] = 245;  // e8: both Black rights
}

// Whether colour c attacks square s; the cheap leaper tests go first.
bool IsAttacked(const Position* pos, int colour, int square) {
  const u64 own = pos->colours[colour];
  const u64* p = pos->pieces;
  if (PawnAttacks[colour ^ 1][square] & (p[Pawn] | p[Bishop]) & own) return true;
  if (KnightAttacks[square] & p[Knight] & own) return true;
  if (KingAttacks[square] & (p[King] | p[Queen]) & own) return true;
  if (BishopAttacksFrom(pos, square) & (p[Bishop] | p[Queen]) & own) return true;
  return (RookAttacksFrom(pos, square) & (p[Rook] | p[Queen]) & own) != 0;
}
