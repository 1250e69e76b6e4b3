// The board subsystem's public face: the position record, move lists, hash keys,
// attack tables and every operation on a position.
// Layer: board/ uses only base/; nothing here includes eval/, search/ or engine/.
#pragma once

#include <array>
#include <cstddef>

#include "board/types.h"

// ---------------------------------------------------------------------------
// Records

// One chess position with all of its incrementally kept state. Plain data: it
// may be copied by value.
struct Position {
  // The scalar state, in the order of UndoRecord: MakeMove saves and
  // UnmakeMove restores it as one block.
  u64 key;
  u64 pawnKey;
  i32 materialIndex;  // mixed-radix piece-count index into the material table
  i32 pstOpening;     // piece-square sums, White positive, Black negative
  i32 pstEndgame;
  i32 material;       // material balance in centipawns, White's view
  u32 historyCount;   // valid entries of history
  u8 side;            // colour to move
  u8 epFile;          // en-passant file + 1, 0 when none
  u8 castling;        // castling-rights bits
  u8 kingSquare[2];
  u8 fifty;             // plies since the last capture or pawn move (saturates at 255)
  u8 materialOverflow;  // 1 when a piece count exceeds its digit of materialIndex
  // The rest is rebuilt from the move word on unmake.
  u8 board[64];  // piece type per square
  u64 pieces[8];  // per piece type, both colours; entries 0 and 7 stay empty
  u64 occupied;
  u64 occupiedFiles;          // square -> bit 8*f + (7 - r)
  u64 occupiedAntiDiagonals;  // square -> bit 8*((r + f + 1) mod 8) + f
  u64 occupiedDiagonals;      // square -> bit 8*((r - f) mod 8) + f
  u64 colours[2];
  u64 history[HistorySize];  // key of each earlier position, oldest first
};

struct MoveList {
  i32 count;
  i32 score[MaxMoves];
  u32 move[MaxMoves];
};
static_assert(sizeof(MoveList) == 4 + 8 * MaxMoves);

// Appends a move; a list is never written past its capacity, whatever position
// a FEN describes.
inline void AddMove(MoveList* list, Move m) {
  if (list->count < MaxMoves) list->move[list->count++] = m;
}

// What MakeMove saves and UnmakeMove restores: the scalar state at the head
// of Position, field for field; the bitboards, board and rotated words are
// rebuilt from the move word instead.
struct UndoRecord {
  u64 key;
  u64 pawnKey;
  i32 materialIndex;
  i32 pstOpening;
  i32 pstEndgame;
  i32 material;
  u32 historyCount;
  u8 side;
  u8 epFile;
  u8 castling;
  u8 kingSquare[2];
  u8 fifty;
  u8 materialOverflow;
};
// The bytes of the state block, from key up to materialOverflow.
constexpr size_t UndoStateBytes = offsetof(UndoRecord, materialOverflow) + 1;
static_assert(offsetof(Position, key) == 0 && offsetof(UndoRecord, key) == 0);
static_assert(offsetof(Position, pawnKey) == offsetof(UndoRecord, pawnKey));
static_assert(offsetof(Position, materialIndex) == offsetof(UndoRecord, materialIndex));
static_assert(offsetof(Position, pstOpening) == offsetof(UndoRecord, pstOpening));
static_assert(offsetof(Position, pstEndgame) == offsetof(UndoRecord, pstEndgame));
static_assert(offsetof(Position, material) == offsetof(UndoRecord, material));
static_assert(offsetof(Position, historyCount) == offsetof(UndoRecord, historyCount));
static_assert(offsetof(Position, side) == offsetof(UndoRecord, side));
static_assert(offsetof(Position, epFile) == offsetof(UndoRecord, epFile));
static_assert(offsetof(Position, castling) == offsetof(UndoRecord, castling));
static_assert(offsetof(Position, kingSquare) == offsetof(UndoRecord, kingSquare));
static_assert(offsetof(Position, fifty) == offsetof(UndoRecord, fifty));
static_assert(offsetof(Position, materialOverflow) == offsetof(UndoRecord, materialOverflow));
static_assert(offsetof(Position, board) == UndoStateBytes);

// An (opening, endgame) pair of the piece-square table.
struct ScorePair {
  i32 opening;
  i32 endgame;
};

// ---------------------------------------------------------------------------
// Material constants

// Increments of Position::material per colour and type.
constexpr i32 PieceValue[2][8] = {{0, 100, 330, 330, 500, 975, 0, 0},
                                  {0, -100, -330, -330, -500, -975, 0, 0}};

// Per-piece weights of the mixed-radix material index:
// ((((((((Pw*9 + Pb)*3 + Nw)*3 + Nb)*3 + Bw)*3 + Bb)*3 + Rw)*3 + Rb)*2 + Qw)*2 + Qb.
constexpr i32 MaterialIndexWeight[2][8] = {{0, 26244, 972, 108, 12, 2, 0, 0}, {0, 2916, 324, 36, 4, 1, 0, 0}};
constexpr i32 MaterialTableSize = 236196;
// The largest count of each piece type a digit of the index holds. Only
// promotions (or a set-up position) give more; the index then names another
// combination, so such positions carry materialOverflow instead.
constexpr i32 MaterialDigitMax[8] = {0, 8, 2, 2, 2, 1, 0, 0};

// Whether some piece count of either colour exceeds its digit.
bool ExceedsMaterialDigits(const Position* pos);

// Changes of materialIndex and material when a pawn of colour c promotes to a piece.
constexpr i32 PromotionIndexDelta(int colour, int piece) {
  return MaterialIndexWeight[colour][piece] - MaterialIndexWeight[colour][Pawn];
}
constexpr i32 PromotionValueDelta(int colour, int piece) {
  return PieceValue[colour][piece] - PieceValue[colour][Pawn];
}

// ---------------------------------------------------------------------------
// Hash keys: fixed splitmix64 values, identical on every platform and build.

namespace keygen {
constexpr u64 SplitMix(u64& state) {
  state += 0x9E3779B97F4A7C15ull;
  u64 z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
struct Keys {
  u64 side;
  u64 piece[2][8][64];
  u64 castleBase[4];
  u64 castle[16];
  u64 enPassant[9];
  u64 pawn[2][64];
};
constexpr Keys Build() {
  Keys k{};
  u64 state = 0x5441525630303031ull;  // "TARV0001"
  k.side = SplitMix(state);
  for (int c = 0; c < 2; ++c)
    for (int t = Pawn; t <= King; ++t)
      for (int s = 0; s < 64; ++s) k.piece[c][t][s] = SplitMix(state);
  for (int i = 0; i < 4; ++i) k.castleBase[i] = SplitMix(state);
  for (int r = 0; r < 16; ++r)
    for (int i = 0; i < 4; ++i)
      if (r & (1 << i)) k.castle[r] ^= k.castleBase[i];
  for (int f = 1; f <= 8; ++f) k.enPassant[f] = SplitMix(state);
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < 64; ++s) k.pawn[c][s] = SplitMix(state);
  return k;
}
inline constexpr Keys All = Build();
}  // namespace keygen

inline constexpr u64 ZobristSide = keygen::All.side;
inline constexpr const u64 (&ZobristPiece)[2][8][64] = keygen::All.piece;   // [colour][type][square]
inline constexpr const u64 (&ZobristCastle)[16] = keygen::All.castle;       // combined per rights byte
inline constexpr const u64 (&ZobristEnPassant)[9] = keygen::All.enPassant;  // by epFile 1..8
inline constexpr const u64 (&ZobristPawn)[2][64] = keygen::All.pawn;

// ---------------------------------------------------------------------------
// Constant masks

constexpr u64 FileAMask = 0x0101010101010101ull;
constexpr u64 Rank1Mask = 0xFFull;
constexpr u64 LightSquares = 0x55AA55AA55AA55AAull;
constexpr u64 DarkSquares = ~LightSquares;

constexpr std::array<u64, 8> MakeFileMasks() {
  std::array<u64, 8> m{};
  for (int f = 0; f < 8; ++f) m[f] = FileAMask << f;
  return m;
}
inline constexpr std::array<u64, 8> FileMask = MakeFileMasks();
inline constexpr std::array<u64, 8> LeftFileMask = [] {
  std::array<u64, 8> m{};
  for (int f = 1; f < 8; ++f) m[f] = FileAMask << (f - 1);
  return m;
}();
inline constexpr std::array<u64, 8> RightFileMask = [] {
  std::array<u64, 8> m{};
  for (int f = 0; f < 7; ++f) m[f] = FileAMask << (f + 1);
  return m;
}();
inline constexpr std::array<u64, 8> AdjacentFileMask = [] {
  std::array<u64, 8> m{};
  for (int f = 0; f < 8; ++f) m[f] = LeftFileMask[f] | RightFileMask[f];
  return m;
}();
// RanksAhead[White][r] = ranks r+1..7, RanksAhead[Black][r] = ranks 0..r-1.
inline constexpr std::array<std::array<u64, 8>, 2> RanksAhead = [] {
  std::array<std::array<u64, 8>, 2> m{};
  for (int r = 0; r < 8; ++r)
    for (int q = 0; q < 8; ++q) {
      if (q > r) m[White][r] |= Rank1Mask << (8 * q);
      if (q < r) m[Black][r] |= Rank1Mask << (8 * q);
    }
  return m;
}();
// Rank r for r = 0..6, empty for r = 7.
inline constexpr std::array<u64, 8> RankMask7 = [] {
  std::array<u64, 8> m{};
  for (int r = 0; r < 7; ++r) m[r] = Rank1Mask << (8 * r);
  return m;
}();

// ---------------------------------------------------------------------------
// Tables built once by InitBoardTables and read-only afterwards.

extern u64 SquareMask[64];
extern u64 SquareMaskFiles[64];
extern u64 SquareMaskAnti[64];
extern u64 SquareMaskDiag[64];
extern u8 ShiftAnti[64];
extern u8 ShiftDiag[64];
extern u64 RankAttacks[64][64];
extern u64 FileAttacks[64][64];
extern u64 DiagAttacks[64][64];
extern u64 AntiDiagAttacks[64][64];
extern u64 KnightAttacks[64];
extern u64 KingAttacks[64];
extern u64 PawnAttacks[2][64];
extern u64 BishopEmpty[64];
extern u64 RookEmpty[64];
extern u64 Between[64][64];
extern u64 Line[64][64];
extern u64 BeyondKing[64][64];
extern u8 CastleMask[64];
extern u64 PassedMask[2][64];
extern u64 FrontSpan[2][64];
extern u64 AdjacentAhead[2][64];
extern u64 AdjacentFilesMask[64];
extern u64 SupportMask[2][64];
extern u64 AdjacentLevelOrBehind[2][64];
extern u64 LeftLevelOrBehind[2][64];
extern u64 RightLevelOrBehind[2][64];
extern u64 AdjacentTwoAhead[2][64];
extern u64 AdjacentThreeAhead[2][64];
extern u64 OutsidePawnSquare[2][64];
extern u64 KingGuardsFront[2][64];
extern u64 KingZone[2][64];
extern u8 KingWing[64];

// Piece-square values [colour][type][square], White positive and Black
// negative; filled from the parameter file at start-up.
extern ScorePair PieceSquareValue[2][8][64];

// Builds every table above except PieceSquareValue.
void InitBoardTables();

// ---------------------------------------------------------------------------
// Bit primitives

inline constexpr u64 DeBruijnMagic = 0x218A392CFD376AFull;
inline constexpr std::array<u8, 64> DeBruijn = [] {
  std::array<u8, 64> t{};
  for (int i = 0; i < 64; ++i) t[((1ull << i) * DeBruijnMagic) >> 58] = u8(i);
  return t;
}();

// The portable forms, kept for compilers without the builtins below and for
// the tests that hold the two to the same results.
inline int BitScanPortable(u64 x) { return DeBruijn[((x & (0 - x)) * DeBruijnMagic) >> 58]; }
inline int PopCountPortable(u64 x) {
  x = x - ((x >> 1) & 0x5555555555555555ull);
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return int((x * 0x0101010101010101ull) >> 56);
}

// Index of the lowest set bit of x (x != 0): one instruction (bsf/tzcnt)
// wherever the compiler has the builtin.
inline int BitScan(u64 x) {
#if defined(__GNUC__)
  return __builtin_ctzll(x);
#else
  return BitScanPortable(x);
#endif
}

// Number of set bits. Without the POPCNT instruction (the generic x86-64 and
// i686 builds) the builtin would become a library call, slower than the
// inline folding.
inline int PopCount(u64 x) {
#if defined(__GNUC__) && defined(__POPCNT__)
  return __builtin_popcountll(x);
#else
  return PopCountPortable(x);
#endif
}

// Removes and returns the lowest set bit's square.
inline int PopLowest(u64* x) {
  int s = BitScan(*x);
  *x &= *x - 1;
  return s;
}

// ---------------------------------------------------------------------------
// Sliding attacks through the rotated occupancies

inline u64 RankAttacksFrom(u64 occupied, int s) {
  return RankAttacks[s][(occupied >> (8 * RankOf(s) + 1)) & 63];
}
inline u64 FileAttacksFrom(u64 occupiedFiles, int s) {
  return FileAttacks[s][(occupiedFiles >> (8 * FileOf(s) + 1)) & 63];
}
inline u64 DiagAttacksFrom(u64 occupiedDiagonals, int s) {
  return DiagAttacks[s][(occupiedDiagonals >> ShiftDiag[s]) & 63];
}
inline u64 AntiDiagAttacksFrom(u64 occupiedAntiDiagonals, int s) {
  return AntiDiagAttacks[s][(occupiedAntiDiagonals >> ShiftAnti[s]) & 63];
}
inline u64 RookAttacksFrom(const Position* pos, int s) {
  return RankAttacksFrom(pos->occupied, s) | FileAttacksFrom(pos->occupiedFiles, s);
}
inline u64 BishopAttacksFrom(const Position* pos, int s) {
  return DiagAttacksFrom(pos->occupiedDiagonals, s) | AntiDiagAttacksFrom(pos->occupiedAntiDiagonals, s);
}
inline u64 QueenAttacksFrom(const Position* pos, int s) {
  return RookAttacksFrom(pos, s) | BishopAttacksFrom(pos, s);
}

// Whether any piece of colour c attacks square s in the current occupancy.
bool IsAttacked(const Position* pos, int colour, int square);

// ---------------------------------------------------------------------------
// Check and pin information (for the side to move)

// Enemy pieces giving check, returned through *checkers; the result counts one
// per checking group (knights, pawns, and each of the four lines through the king).
int Checkers(const Position* pos, u64* checkers);
// Checkers and the pin rays of PinRays(pos, *checkers, ...) in one pass.
int CheckersAndPins(const Position* pos, u64* checkers, u64* pinsOrth, u64* pinsDiag);
// Pin rays of the side to move's king; enemy sliders in `excluded` do not pin.
void PinRays(const Position* pos, u64 excluded, u64* pinsOrth, u64* pinsDiag);
// The same for the king of either colour (the evaluation wants both sides' pins).
void PinRaysFor(const Position* pos, int colour, u64 excluded, u64* pinsOrth, u64* pinsDiag);
// Rays along which moving an own piece uncovers a check on the enemy king.
void DiscoveredRays(const Position* pos, u64* discOrth, u64* discDiag);
// Per piece type, the squares from which a piece of the side to move would
// attack the enemy king in the current occupancy (none for the king).
void DirectCheckSquares(const Position* pos, u64 squares[King + 1]);

// ---------------------------------------------------------------------------
// Staged generators (legal moves only; callers keep to each stage's precondition)

void GenRookLike(const Position* pos, MoveList* list, u64 targets, u64 from);
void GenBishopLike(const Position* pos, MoveList* list, u64 targets, u64 from);
void GenKing(const Position* pos, MoveList* list, u64 targets);
void GenPawnCaptures(const Position* pos, MoveList* list, u64 targets, u64 from);
void GenPromotions(const Position* pos, MoveList* list, u64 targets, u64 from);
void GenPawnPushes(const Position* pos, MoveList* list, u64 targets, u64 from);
void GenEnPassant(const Position* pos, MoveList* list, u64 targets, u64 from);
void GenCastling(const Position* pos, MoveList* list);

// Captures and all promotions, not in check; victims restricted to `targets`.
void GenCaptures(const Position* pos, MoveList* list, u64 pinsOrth, u64 pinsDiag, u64 targets);
// Non-captures without promotions, castling included, not in check.
void GenQuiets(const Position* pos, MoveList* list, u64 pinsOrth, u64 pinsDiag);
// Every legal move when in check.
void GenEvasions(const Position* pos, MoveList* list, u64 pinsOrth, u64 pinsDiag, u64 checkers,
                 int checkCount);
// Non-captures that give check, not in check.
void GenQuietChecks(const Position* pos, MoveList* list, u64 pinsOrth, u64 pinsDiag);

// ---------------------------------------------------------------------------
// Make and unmake (the move must be legal in the position)

bool MakeMove(Position* pos, Move move, UndoRecord* undo);
bool UnmakeMove(Position* pos, Move move, const UndoRecord* undo);
void MakeNullMove(Position* pos, UndoRecord* undo);
void UnmakeNullMove(Position* pos, const UndoRecord* undo);

// Keeps room in the key history for a whole search below a game position:
// when the history is nearly full only the entries the repetition test can
// still reach (the last `fifty`) are kept. For game replay, never inside a search.
void TrimHistory(Position* pos);

// ---------------------------------------------------------------------------
// FEN and move text

extern const char* const StartFen;

// Loads a FEN; returns false and leaves *pos untouched when the text is refused.
bool LoadFen(Position* pos, const char* text);

// Writes the FEN of the position, with the fullmove number given (the
// position keeps none), into out (at most capacity - 1 characters; 100 fit any).
void PositionToFen(const Position* pos, int moveNumber, char* out, int capacity);

// Builds a move word from the first four or five characters of a token and the
// current board (no legality test).
Move MoveFromText(const Position* pos, const char* text);

struct MoveText {
  char text[8];
};
// "e2e4", "e7e8q"; 0 prints "null" and 1 "none".
MoveText MoveToText(Move move);

// The legal move of the position that a token names (same squares and
// promotion letter), or NoMove when there is none.
Move FindLegalMove(const Position* pos, const char* token);

// ---------------------------------------------------------------------------
// Legal move list and move checks

// Appends every legal move of the side to move.
void GenerateLegal(const Position* pos, MoveList* list);
// Whether a move taken from elsewhere is legal now (side to move not in check).
bool IsMoveValid(const Position* pos, Move move, u64 pinsOrth, u64 pinsDiag);
// Whether a pawn move pushes to a square with no enemy pawn ahead on its own or
// an adjacent file and no own pawn ahead on its file.
bool IsPassedPawnPush(const Position* pos, Move move);

// Recomputes every incremental field from scratch and compares; used by debug
// asserts, tests and the perft tool's --verify mode. On a mismatch, *what names
// the first field that differs.
bool PositionIsOk(const Position* pos, const char** what);
