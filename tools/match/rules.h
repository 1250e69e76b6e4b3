// The rules as the runner applies them, on the engine's own board code: moves
// given as UCI text are accepted only when legal, the game ends by mate,
// stalemate, threefold repetition, the fifty-move rule or insufficient
// material, and every move is written in SAN for the PGN.
#pragma once

#include <string>
#include <vector>

#include "board/board.h"

namespace match {

enum class Outcome { Ongoing, WhiteWins, BlackWins, Draw };

struct GameBoard {
  Position pos;
  std::string startFen;
  int startMoveNumber = 1;
  std::vector<std::string> uciMoves;  // as sent in "position ... moves"
  std::vector<std::string> sanMoves;
};

// Sets up the board from a FEN (the start position for "startpos"); false
// when the FEN is refused.
bool StartBoard(GameBoard* board, const std::string& fen);
// Plays the move a "bestmove" names if it is legal; false leaves the board as it was.
bool PlayUciMove(GameBoard* board, const char* text);
// Whether the game is over by the rules, and why ("checkmate", "stalemate",
// "threefold repetition", "fifty-move rule", "insufficient material").
Outcome RuleOutcome(const Position* pos, const char** reason);
// SAN of a legal move of the position ("Nbd7", "exd8=Q+", "O-O#").
std::string MoveToSan(const Position* pos, Move move);
// The "position fen ... moves ..." command for the board, with an extra move
// appended when given (the reply an engine ponders on).
std::string PositionCommand(const GameBoard& board, const char* extraMove = nullptr);

}  // namespace match
