#include "tools/match/rules.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace match {

namespace {

int LegalCount(const Position* pos) {
  MoveList list;
  list.count = 0;
  GenerateLegal(pos, &list);
  return list.count;
}

bool InCheck(const Position* pos) { return IsAttacked(pos, pos->side ^ 1, pos->kingSquare[pos->side]); }

// No sequence of legal moves can mate: kings alone, one minor piece, or only
// bishops that all stand on squares of one colour.
bool InsufficientMaterial(const Position* pos) {
  if (pos->pieces[Pawn] | pos->pieces[Rook] | pos->pieces[Queen]) return false;
  const u64 minors = pos->pieces[Knight] | pos->pieces[Bishop];
  if (PopCount(minors) <= 1) return true;
  if (pos->pieces[Knight]) return false;
  return (pos->pieces[Bishop] & LightSquares) == 0 || (pos->pieces[Bishop] & DarkSquares) == 0;
}

// The current position seen twice before since the last capture or pawn move.
bool ThirdOccurrence(const Position* pos) {
  const int reach = pos->fifty < int(pos->historyCount) ? pos->fifty : int(pos->historyCount);
  int seen = 0;
  for (int d = 2; d <= reach; d += 2)
    if (pos->history[pos->historyCount - d] == pos->key && ++seen == 2) return true;
  return false;
}

}  // namespace

bool StartBoard(GameBoard* board, const std::string& fen) {
  // The attack tables, once, before any worker's first board.
  static std::once_flag tables;
  std::call_once(tables, InitBoardTables);
  const char* text = fen == "startpos" ? StartFen : fen.c_str();
  if (!LoadFen(&board->pos, text)) return false;
  board->pos.historyCount = 0;
  board->startFen = text;
  // The fullmove number is the FEN's sixth field, when present.
  board->startMoveNumber = 1;
  int field = 0;
  for (const char* p = text; *p != '\0'; ++p)
    if (*p == ' ' && p[1] != ' ' && p[1] != '\0' && ++field == 5) {
      int n = 0;
      if (std::sscanf(p + 1, "%d", &n) == 1 && n > 0 && n < 10000) board->startMoveNumber = n;
    }
  board->uciMoves.clear();
  board->sanMoves.clear();
  return true;
}

bool PlayUciMove(GameBoard* board, const char* text) {
  // FindLegalMove reads four or five characters; the token must be exactly that.
  const size_t length = std::strlen(text);
  if (length < 4 || length > 5) return false;
  const Move move = FindLegalMove(&board->pos, text);
  if (move < 2) return false;
  // The token must name exactly this move: no stray fifth letter.
  const MoveText named = MoveToText(move);
  for (size_t i = 0; i < length; ++i)
    if (std::tolower((unsigned char)text[i]) != named.text[i]) return false;
  if (named.text[length] != '\0') return false;
  board->sanMoves.push_back(MoveToSan(&board->pos, move));
  board->uciMoves.push_back(MoveToText(move).text);
  TrimHistory(&board->pos);
  UndoRecord undo;
  MakeMove(&board->pos, move, &undo);
  return true;
}

Outcome RuleOutcome(const Position* pos, const char** reason) {
  if (LegalCount(pos) == 0) {
    if (!InCheck(pos)) {
      *reason = "stalemate";
      return Outcome::Draw;
    }
    *reason = "checkmate";
    return pos->side == White ? Outcome::BlackWins : Outcome::WhiteWins;
  }
  if (pos->fifty >= 100) {
    *reason = "fifty-move rule";
    return Outcome::Draw;
  }
  if (InsufficientMaterial(pos)) {
    *reason = "insufficient material";
    return Outcome::Draw;
  }
  if (ThirdOccurrence(pos)) {
    *reason = "threefold repetition";
    return Outcome::Draw;
  }
  *reason = "";
  return Outcome::Ongoing;
}

std::string MoveToSan(const Position* pos, Move move) {
  static const char Letters[] = " PNBRQK";
  const int from = MoveFrom(move), to = MoveTo(move), piece = MovePiece(move);
  const bool capture = MoveCaptured(move) != 0;
  std::string san;
  if (move & MoveCastleFlag) {
    san = FileOf(to) == 6 ? "O-O" : "O-O-O";
  } else if (piece == Pawn) {
    if (capture) san += char('a' + FileOf(from)), san += 'x';
    san += char('a' + FileOf(to));
    san += char('1' + RankOf(to));
    if (move & MovePromotionFlag) san += '=', san += Letters[PROMOTION_PIECES[MovePromotionIndex(move)]];
  } else {
    san += Letters[piece];
    // Name the file, else the rank, else both, of the piece among others of
    // its kind that could go to the same square.
    MoveList list;
    list.count = 0;
    GenerateLegal(pos, &list);
    bool rivals = false, sameFile = false, sameRank = false;
    for (int i = 0; i < list.count; ++i) {
      const Move other = list.move[i];
      if (other == move || MovePiece(other) != piece || MoveTo(other) != to || MoveFrom(other) == from)
        continue;
      rivals = true;
      sameFile |= FileOf(MoveFrom(other)) == FileOf(from);
      sameRank |= RankOf(MoveFrom(other)) == RankOf(from);
    }
    if (rivals && (!sameFile || sameRank)) san += char('a' + FileOf(from));
    if (rivals && sameFile) san += char('1' + RankOf(from));
    if (capture) san += 'x';
    san += char('a' + FileOf(to));
    san += char('1' + RankOf(to));
  }
  Position after = *pos;
  UndoRecord undo;
  TrimHistory(&after);
  MakeMove(&after, move, &undo);
  if (InCheck(&after)) san += LegalCount(&after) == 0 ? '#' : '+';
  return san;
}

std::string PositionCommand(const GameBoard& board, const char* extraMove) {
  std::string command = "position fen " + board.startFen;
  if (!board.uciMoves.empty() || extraMove != nullptr) command += " moves";
  for (const std::string& m : board.uciMoves) command += ' ' + m;
  if (extraMove != nullptr) command += ' ', command += extraMove;
  return command;
}

}  // namespace match
