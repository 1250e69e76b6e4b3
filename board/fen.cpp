// Positions and moves as text: FEN loading, long algebraic move tokens, and the
// from-scratch consistency check of a position.
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "board/board.h"

const char* const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

namespace {

// The command line may hand the text over with its line end still attached.
bool AtEnd(char c) { return c == '\0' || c == '\n' || c == '\r'; }
// Blanks separate the fields; the end of the text ends any field.
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool EndOfField(char c) { return AtEnd(c) || IsBlank(c); }

// First character at or after c that is not a blank.
const char* SkipBlanks(const char* c) {
  while (IsBlank(*c)) ++c;
  return c;
}

// Piece type of a FEN letter (either case), or Empty.
int PieceOfLetter(char c) {
  switch (c | 0x20) {
    case 'p':
      return Pawn;
    case 'n':
      return Knight;
    case 'b':
      return Bishop;
    case 'r':
      return Rook;
    case 'q':
      return Queen;
    case 'k':
      return King;
    default:
      return Empty;
  }
}

// Every field that follows from the pieces, side, rights and en-passant file.
struct Derived {
  u64 occupied, occupiedFiles, occupiedAntiDiagonals, occupiedDiagonals;
  u64 key, pawnKey;
  i32 materialIndex, material, pstOpening, pstEndgame;
  u8 materialOverflow;
};

// Recomputes the derived fields from the board, colour sets, side and rights.
Derived Derive(const Position* pos) {
  Derived d{};
  for (int c = White; c <= Black; ++c)
    for (u64 b = pos->colours[c]; b;) {
      const int s = PopLowest(&b), t = pos->board[s];
      d.occupied |= SquareMask[s];
      d.occupiedFiles |= SquareMaskFiles[s];
      d.occupiedAntiDiagonals |= SquareMaskAnti[s];
      d.occupiedDiagonals |= SquareMaskDiag[s];
      d.key ^= ZobristPiece[c][t][s];
      if (t == Pawn) d.pawnKey ^= ZobristPawn[c][s];
      d.materialIndex += MaterialIndexWeight[c][t];
      d.material += PieceValue[c][t];
      d.pstOpening += PieceSquareValue[c][t][s].opening;
      d.pstEndgame += PieceSquareValue[c][t][s].endgame;
    }
  if (pos->side == Black) d.key ^= ZobristSide;
  d.key ^= ZobristCastle[pos->castling] ^ ZobristEnPassant[pos->epFile];
  d.materialOverflow = ExceedsMaterialDigits(pos) ? 1 : 0;
  return d;
}

// Writes recomputed fields into the position.
void ApplyDerived(Position* pos, const Derived& d) {
  pos->occupied = d.occupied;
  pos->occupiedFiles = d.occupiedFiles;
  pos->occupiedAntiDiagonals = d.occupiedAntiDiagonals;
  pos->occupiedDiagonals = d.occupiedDiagonals;
  pos->key = d.key;
  pos->pawnKey = d.pawnKey;
  pos->materialIndex = d.materialIndex;
  pos->materialOverflow = d.materialOverflow;
  pos->material = d.material;
  pos->pstOpening = d.pstOpening;
  pos->pstEndgame = d.pstEndgame;
}

// Whether colour c has a piece of type t on square s.
bool Has(const Position* pos, int c, int t, int s) {
  return pos->board[s] == t && (pos->colours[c] >> s & 1);
}

// Reads the placement field into an empty position; false when it does not
// describe exactly eight ranks of eight squares with known letters.
bool ReadPlacement(Position* pos, const char** text) {
  const char* c = *text;
  int rank = 7, file = 0;
  for (; !EndOfField(*c); ++c) {
    if (*c == '/') {
      if (file != 8 || rank == 0) return false;
      --rank;
      file = 0;
    } else if (*c >= '1' && *c <= '8') {
      file += *c - '0';
      if (file > 8) return false;
    } else {
      const int type = PieceOfLetter(*c);
      if (type == Empty || file > 7) return false;
      const int colour = *c >= 'a' ? Black : White, s = MakeSquare(file++, rank);
      pos->board[s] = u8(type);
      pos->pieces[type] |= SquareMask[s];
      pos->colours[colour] |= SquareMask[s];
      if (type == King) pos->kingSquare[colour] = u8(s);
    }
  }
  *text = c;
  return rank == 0 && file == 8;
}

// The halfmove clock field at c: digits up to the end of the field, at most
// 255; 0 when the field is missing or holds anything but digits.
u8 ReadHalfmoveClock(const char* c) {
  int value = 0;
  const char* start = c;
  for (; *c >= '0' && *c <= '9'; ++c) {
    value = value * 10 + (*c - '0');
    if (value > 255) value = 255;
  }
  return c != start && EndOfField(*c) ? u8(value) : 0;
}

}  // namespace

// Loads the text into *pos only when it describes a position that can be played.
bool LoadFen(Position* pos, const char* text) {
  Position fresh;  // history stays untouched: only the fields before it are copied out
  std::memset(&fresh, 0, offsetof(Position, history));

  const char* c = SkipBlanks(text);
  if (!ReadPlacement(&fresh, &c)) return false;
  for (int colour = White; colour <= Black; ++colour)
    if (PopCount(fresh.pieces[King] & fresh.colours[colour]) != 1) return false;
  if (fresh.pieces[Pawn] & (Rank1Mask | Rank1Mask << 56)) return false;

  c = SkipBlanks(c);
  if (!AtEnd(*c)) {
    if ((*c != 'w' && *c != 'b') || !EndOfField(c[1])) return false;
    fresh.side = *c++ == 'b' ? Black : White;
  }

  c = SkipBlanks(c);
  u8 rights = 0;
  if (*c == '-') {
    if (!EndOfField(*++c)) return false;
  } else {
    for (; !EndOfField(*c); ++c) {
      const char* letter = std::strchr("KkQq", *c);
      if (letter == nullptr) return false;
      rights |= u8(1 << (letter - "KkQq"));
    }
  }
  // Rights whose king or rook has left its home square cannot be used.
  for (int colour = White; colour <= Black; ++colour) {
    const int home = colour == White ? 0 : 56;
    if (!Has(&fresh, colour, King, home + 4)) rights &= u8(~(5 << colour));
    if (!Has(&fresh, colour, Rook, home + 7)) rights &= u8(~(1 << colour));
    if (!Has(&fresh, colour, Rook, home)) rights &= u8(~(4 << colour));
  }
  fresh.castling = rights;

  c = SkipBlanks(c);
  if (*c == '-') {
    if (!EndOfField(c[1])) return false;
  } else if (!AtEnd(*c)) {
    if (*c < 'a' || *c > 'h' || c[1] < '1' || c[1] > '8' || !EndOfField(c[2])) return false;
    // Kept only when the pawn that just moved two squares is there and both
    // squares it passed over are empty.
    const int them = fresh.side ^ 1, file = *c - 'a';
    const int target = MakeSquare(file, them == White ? 2 : 5);
    const int forward = them == White ? 8 : -8;
    if (c[1] - '1' == RankOf(target) && Has(&fresh, them, Pawn, target + forward) &&
        fresh.board[target] == Empty && fresh.board[target - forward] == Empty)
      fresh.epFile = u8(file + 1);
  }

  // The halfmove clock: a count above 255 stays at 255 (the counter saturates
  // there in play too); a missing or malformed field counts as 0.
  while (!EndOfField(*c)) ++c;
  fresh.fifty = ReadHalfmoveClock(SkipBlanks(c));

  ApplyDerived(&fresh, Derive(&fresh));
  if (IsAttacked(&fresh, fresh.side, fresh.kingSquare[fresh.side ^ 1])) return false;
  std::memcpy(pos, &fresh, offsetof(Position, history));
  return true;
}

// The move word of a token, or NoMove when the token does not describe a move
// that make-move could play consistently on this board.
Move MoveFromText(const Position* pos, const char* text) {
  for (int i = 0; i < 4; ++i) {
    const char lo = i & 1 ? '1' : 'a';
    if (text[i] < lo || text[i] > lo + 7) return NoMove;
  }
  const int from = (text[0] - 'a') + 8 * (text[1] - '1');
  const int to = (text[2] - 'a') + 8 * (text[3] - '1');
  const int us = pos->side;
  if (!(pos->colours[us] & SquareMask[from]) || (pos->colours[us] & SquareMask[to])) return NoMove;

  const int piece = pos->board[from], captured = pos->board[to];
  const int distance = to > from ? to - from : from - to;
  Move move = MakeMoveWord(from, to, piece, captured);
  if (piece == Pawn) {
    if (RankOf(to) == 0 || RankOf(to) == 7) {
      // Some interfaces write the promotion letter in upper case.
      const char* letter = text[4] ? std::strchr("qnrbQNRB", text[4]) : nullptr;
      if (letter == nullptr) return NoMove;  // a pawn cannot stay on the last rank
      move |= MovePromotionFlag | Move((letter - "qnrbQNRB") & 3) << 22;
    } else if (captured == Empty && (distance == 7 || distance == 9)) {
      // Only the pawn that has just moved two squares can be taken this way.
      if (pos->epFile != FileOf(to) + 1 || RankOf(to) != (us == White ? 5 : 2)) return NoMove;
      move |= MoveEnPassantFlag | Move(Pawn) << 15;
    } else if (distance == 16) {
      move |= MoveDoublePushFlag;
    }
  } else if (piece == King && distance == 2) {
    // The right guarantees king and rook still stand on their home squares.
    const int wing = to > from ? 1 << us : 4 << us;
    if (!(pos->castling & wing)) return NoMove;
    move |= MoveCastleFlag;
  }
  return move;
}

// Long algebraic text of a move word.
MoveText MoveToText(Move move) {
  MoveText out{};
  if (move < 2) {
    std::memcpy(out.text, move == NullMove ? "null" : "none", 5);
    return out;
  }
  const int from = MoveFrom(move), to = MoveTo(move);
  out.text[0] = char('a' + FileOf(from));
  out.text[1] = char('1' + RankOf(from));
  out.text[2] = char('a' + FileOf(to));
  out.text[3] = char('1' + RankOf(to));
  if (move & MovePromotionFlag) out.text[4] = "qnrb"[MovePromotionIndex(move)];
  return out;
}

// Whether every incremental field agrees with a recomputation from the board
// and colour sets; names the first field that does not.
bool PositionIsOk(const Position* pos, const char** what) {
  const char* bad = nullptr;
  if (pos->historyCount > HistorySize)
    bad = "historyCount";
  else if (pos->side > Black)
    bad = "side";
  else if (pos->epFile > 8)
    bad = "epFile";
  else if (pos->castling > 15)
    bad = "castling";
  else if (pos->colours[White] & pos->colours[Black])
    bad = "colours";
  if (bad == nullptr) {
    u64 pieces[8] = {};
    for (int s = 0; s < 64; ++s) {
      const bool occupied = (pos->colours[White] | pos->colours[Black]) >> s & 1;
      if (pos->board[s] > King || (pos->board[s] != Empty) != occupied) {
        bad = "board";
        break;
      }
      pieces[pos->board[s]] |= SquareMask[s];
    }
    pieces[Empty] = 0;
    if (bad == nullptr && std::memcmp(pieces, pos->pieces, sizeof pieces) != 0) bad = "pieces";
  }
  if (bad == nullptr) {
    for (int c = White; c <= Black; ++c) {
      const u64 king = pos->pieces[King] & pos->colours[c];
      if (PopCount(king) > 1 || pos->kingSquare[c] != (king ? BitScan(king) : 0)) bad = "kingSquare";
    }
  }
  if (bad == nullptr) {
    const Derived d = Derive(pos);
    if (pos->occupied != d.occupied)
      bad = "occupied";
    else if (pos->occupiedFiles != d.occupiedFiles)
      bad = "occupiedFiles";
    else if (pos->occupiedAntiDiagonals != d.occupiedAntiDiagonals)
      bad = "occupiedAntiDiagonals";
    else if (pos->occupiedDiagonals != d.occupiedDiagonals)
      bad = "occupiedDiagonals";
    else if (pos->key != d.key)
      bad = "key";
    else if (pos->pawnKey != d.pawnKey)
      bad = "pawnKey";
    else if (pos->materialIndex != d.materialIndex)
      bad = "materialIndex";
    else if (pos->materialOverflow != d.materialOverflow)
      bad = "materialOverflow";
    else if (pos->material != d.material)
      bad = "material";
    else if (pos->pstOpening != d.pstOpening)
      bad = "pstOpening";
    else if (pos->pstEndgame != d.pstEndgame)
      bad = "pstEndgame";
  }
  if (what != nullptr) *what = bad;
  return bad == nullptr;
}

void PositionToFen(const Position* pos, int moveNumber, char* out, int capacity) {
  static const char PieceLetters[2][8] = {{' ', 'P', 'N', 'B', 'R', 'Q', 'K', ' '},
                                         {' ', 'p', 'n', 'b', 'r', 'q', 'k', ' '}};
  char text[128];
  int n = 0;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const int sq = MakeSquare(file, rank);
      if (pos->board[sq] == Empty) {
        ++empty;
        continue;
      }
      if (empty) text[n++] = char('0' + empty);
      empty = 0;
      text[n++] = PieceLetters[(pos->colours[Black] >> sq) & 1][pos->board[sq]];
    }
    if (empty) text[n++] = char('0' + empty);
    if (rank > 0) text[n++] = '/';
  }
  text[n++] = ' ';
  text[n++] = pos->side == White ? 'w' : 'b';
  text[n++] = ' ';
  const int start = n;
  if (pos->castling & CastleWhiteKing) text[n++] = 'K';
  if (pos->castling & CastleWhiteQueen) text[n++] = 'Q';
  if (pos->castling & CastleBlackKing) text[n++] = 'k';
  if (pos->castling & CastleBlackQueen) text[n++] = 'q';
  if (n == start) text[n++] = '-';
  text[n++] = ' ';
  if (pos->epFile != 0) {
    text[n++] = char('a' + pos->epFile - 1);
    text[n++] = pos->side == White ? '6' : '3';
  } else {
    text[n++] = '-';
  }
  std::snprintf(text + n, sizeof text - size_t(n), " %d %d", pos->fifty, moveNumber);
  std::snprintf(out, size_t(capacity), "%s", text);
}
