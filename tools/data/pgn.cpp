#include "tools/data/pgn.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "tools/match/rules.h"
#include "tools/tuning/selfplay.h"

namespace data {

namespace {

bool ReadLine(FILE* in, std::string* line) {
  line->clear();
  char buffer[1024];
  while (std::fgets(buffer, sizeof buffer, in) != nullptr) {
    line->append(buffer);
    if (!line->empty() && line->back() == '\n') return true;
  }
  return !line->empty();
}

bool IsResult(const std::string& token) {
  return token == "1-0" || token == "0-1" || token == "1/2-1/2" || token == "*";
}

// "Nf3+", "e8Q!" and "0-0" as MoveToSan would write them, without the check
// mark: "Nf3", "e8=Q", "O-O".
std::string PlainSan(std::string san) {
  while (!san.empty() && std::strchr("+#!?", san.back()) != nullptr) san.pop_back();
  if (san.compare(0, 3, "0-0") == 0)
    for (char& c : san)
      if (c == '0') c = 'O';
  const size_t n = san.size();
  if (n >= 3 && std::strchr("QRBN", san[n - 1]) != nullptr && san[n - 2] >= '1' && san[n - 2] <= '8')
    san = san.substr(0, n - 1) + '=' + san.back();
  return san;
}

}  // namespace

bool ReadPgnGame(FILE* in, PgnGame* game) {
  game->fen = StartFen;
  game->result.assign(1, '*');
  game->termination.clear();
  game->moves.clear();
  bool started = false, inComment = false;
  int variation = 0;
  std::string line, tagResult;
  while (ReadLine(in, &line)) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (!inComment && variation == 0 && i < line.size() && line[i] == '[') {
      // [Name "Value"]
      const size_t nameEnd = line.find_first_of(" \t", i), open = line.find('"', i);
      const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
      if (nameEnd != std::string::npos && close != std::string::npos) {
        const std::string name = line.substr(i + 1, nameEnd - i - 1);
        const std::string value = line.substr(open + 1, close - open - 1);
        if (name == "FEN") game->fen = value;
        if (name == "Result") tagResult = value;
        if (name == "Termination") game->termination = value;
      }
      started = true;
      continue;
    }
    if (!inComment && i < line.size() && line[i] == '%') continue;  // an escaped line
    for (; i < line.size(); ++i) {
      const char c = line[i];
      if (inComment) {
        inComment = c != '}';
        continue;
      }
      if (c == '{') inComment = true;
      if (c == ';') break;  // a comment to the end of the line
      if (c == '(') ++variation;
      if (c == ')' && variation > 0) --variation;
      if (std::strchr("{;() \t\r\n", c) != nullptr || variation > 0) continue;
      size_t end = i;
      while (end < line.size() && std::strchr("{}();. \t\r\n", line[end]) == nullptr) ++end;
      std::string token = line.substr(i, end - i);
      while (end < line.size() && line[end] == '.') ++end;  // "12." and "12..." are numbers
      const bool number =
          end > i + token.size() && token.find_first_not_of("0123456789") == std::string::npos;
      i = end - 1;
      started = true;
      if (IsResult(token)) {
        game->result = tagResult.empty() ? token : tagResult;
        return true;
      }
      if (!number && token[0] != '$') game->moves.push_back(token);
    }
  }
  if (!tagResult.empty()) game->result = tagResult;
  return started;
}

bool PlaySan(Position* pos, const std::string& san) {
  const std::string wanted = PlainSan(san);
  MoveList list;
  list.count = 0;
  GenerateLegal(pos, &list);
  Move found = 0;
  int matches = 0;
  for (int n = 0; n < list.count; ++n)
    if (PlainSan(match::MoveToSan(pos, list.move[n])) == wanted) {
      found = list.move[n];
      ++matches;
    }
  if (matches != 1) return false;
  TrimHistory(pos);
  UndoRecord undo;
  MakeMove(pos, found, &undo);
  return true;
}

bool GameSamples(EngineState* engine, const PgnGame& game, long long number, const ConvertOptions& options,
                 std::vector<tuning::Sample>* samples, std::string* why) {
  samples->clear();
  double result;
  if (game.result == "1-0")
    result = 1.0;
  else if (game.result == "0-1")
    result = 0.0;
  else if (game.result == "1/2-1/2")
    result = 0.5;
  else {
    *why = "no result";
    return false;
  }
  // tarvo-match's words for a game lost by a fault, and PGN's usual ones.
  for (const char* fault : {"time forfeit", "rules infraction", "abandoned", "unterminated", "emergency"})
    if (game.termination == fault) {
      *why = "ended by " + game.termination;
      return false;
    }
  auto pos = std::make_unique<Position>();
  if (!LoadFen(pos.get(), game.fen.c_str())) {
    *why = "refused FEN " + game.fen;
    return false;
  }
  pos->historyCount = 0;
  int moveNumber = 1;
  const size_t lastBlank = game.fen.find_last_of(' ');
  if (lastBlank != std::string::npos) moveNumber = std::max(1, std::atoi(game.fen.c_str() + lastBlank + 1));

  std::vector<tuning::Sample> quiet;
  std::unordered_set<u64> seen;  // a repeated position once
  for (size_t ply = 0; ply < game.moves.size(); ++ply) {
    i32 staticScore = 0;
    if (int(ply) >= options.skipPlies && tuning::IsQuietPosition(engine, pos.get(), &staticScore) &&
        seen.insert(pos->key).second)
      quiet.push_back({tuning::PositionToFen(pos.get(), moveNumber), result, 0, false, number});
    const bool blackMoved = pos->side == Black;
    if (!PlaySan(pos.get(), game.moves[ply])) {
      *why = "move " + std::to_string(ply + 1) + " (" + game.moves[ply] + ") is not legal";
      return false;
    }
    moveNumber += blackMoved;
  }
  for (size_t n : tuning::SampleIndices(quiet.size(), options.perGame, options.seed, u64(number)))
    samples->push_back(quiet[n]);
  return true;
}

}  // namespace data
