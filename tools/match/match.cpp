#include "tools/match/match.h"

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <thread>

#include "board/board.h"
#include "tools/common/args.h"
#include "tools/match/process.h"
#include "tools/match/rules.h"
#include "tools/tuning/selfplay.h"

namespace match {

const char* const FaultNames[FaultKinds] = {"illegal move", "malformed bestmove", "crash", "hang",
                                            "time loss"};

namespace {

// ---------------------------------------------------------------------------
// Command line

// The next argument when it is a setting of the current option (not the next
// option); negative numbers come as "key=-5", so a leading '-' starts an option.
const char* NextSetting(ArgReader* args) {
  if (args->failed || args->index + 1 >= args->argc || args->argv[args->index + 1][0] == '-') return nullptr;
  return args->argv[++args->index];
}

bool SplitSetting(ArgReader* args, const char* setting, std::string* key, std::string* value) {
  const char* equals = std::strchr(setting, '=');
  if (equals == nullptr) {
    FailArgs(args, "\"%s\" is not a key=value setting", setting);
    return false;
  }
  key->assign(setting, size_t(equals - setting));
  value->assign(equals + 1);
  return true;
}

int MillisecondsOf(ArgReader* args, const std::string& key, const std::string& text) {
  double seconds = 0;
  if (!ParseWholeReal(text.c_str(), 0, 1e6, &seconds))
    FailArgs(args, "%s takes seconds, not \"%s\"", key.c_str(), text.c_str());
  return int(std::lround(seconds * 1000));
}

i64 IntOf(ArgReader* args, const std::string& key, const std::string& text, i64 min, i64 max) {
  i64 value = 0;
  if (!ParseWholeInt(text.c_str(), min, max, &value))
    FailArgs(args, "%s takes a whole number from %lld to %lld, not \"%s\"", key.c_str(), (long long)min,
             (long long)max, text.c_str());
  return value;
}

double RealOf(ArgReader* args, const std::string& key, const std::string& text, double min, double max) {
  double value = 0;
  if (!ParseWholeReal(text.c_str(), min, max, &value))
    FailArgs(args, "%s takes a number from %g to %g, not \"%s\"", key.c_str(), min, max, text.c_str());
  return value;
}

// One engine setting of -engine or -each.
void ApplyEngineSetting(ArgReader* args, const std::string& setting, EngineSetup* e) {
  if (setting == "ponder") {
    e->ponder = true;
    return;
  }
  std::string key, value;
  if (!SplitSetting(args, setting.c_str(), &key, &value)) return;
  if (key == "cmd") {
    e->command = value;
  } else if (key == "name") {
    e->name = value;
  } else if (key == "dir") {
    e->dir = value;
  } else if (key == "proto") {
    if (value != "uci") FailArgs(args, "only proto=uci is spoken");
  } else if (key.compare(0, 7, "option.") == 0 && key.size() > 7) {
    e->options.emplace_back(key.substr(7), value);
  } else if (key == "tc") {
    // BASE+INC in seconds; BASE alone means no increment.
    const size_t plus = value.find('+');
    e->limits.baseMs = MillisecondsOf(args, key, value.substr(0, plus));
    e->limits.incMs = plus == std::string::npos ? 0 : MillisecondsOf(args, key, value.substr(plus + 1));
  } else if (key == "st") {
    e->limits.moveTimeMs = MillisecondsOf(args, key, value);
    if (e->limits.moveTimeMs <= 0 && !args->failed) FailArgs(args, "st takes a time above 0");
  } else if (key == "nodes") {
    e->limits.nodes = IntOf(args, key, value, 1, i64(1) << 50);
  } else if (key == "depth") {
    e->limits.depth = int(IntOf(args, key, value, 1, 1000));
  } else {
    FailArgs(args, "unknown engine setting \"%s\"", key.c_str());
  }
}

void ReadEngineSettings(ArgReader* args, std::vector<std::string>* settings) {
  for (const char* s = NextSetting(args); s != nullptr; s = NextSetting(args)) settings->push_back(s);
}

// The key=value settings after an option, each handed to `take`.
template <typename Take>
void ReadSettings(ArgReader* args, Take take) {
  std::string key, value;
  for (const char* s = NextSetting(args); s != nullptr; s = NextSetting(args))
    if (SplitSetting(args, s, &key, &value)) take(key, value);
}

std::string BaseName(const std::string& command) {
  const std::string first = command.substr(0, command.find_first_of(" \t"));
  const size_t slash = first.find_last_of('/');
  return slash == std::string::npos ? first : first.substr(slash + 1);
}

// ---------------------------------------------------------------------------
// The match

struct GameRecord {
  int number;  // from 1
  int whiteEngine;
  GameBoard board;
  Outcome outcome = Outcome::Ongoing;
  std::string reason;  // for the PGN comment and the ending counts
  int faultEngine = -1;
  Fault fault = Hang;
};

struct Worker;

struct Shared {
  const MatchSetup* setup;
  FILE* out;
  std::vector<std::string> openings;
  int totalGames;
  TrafficLog* log = nullptr;
  FILE* pgn = nullptr;

  std::mutex lock;
  int nextGame = 0;
  int finished = 0;
  bool stopped = false;
  MatchReport report;
  std::map<int, int> firstOfPair;  // pair -> first game's half-points for engine 0
  std::map<std::string, int> endings;
};

struct Worker {
  Shared* shared;
  int id;
  EngineProcess engines[2];
};

constexpr int StartTimeoutMs = 10000;
constexpr int ReadyTimeoutMs = 10000;

Clock::time_point After(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

std::vector<std::string> SetupLines(const EngineSetup& setup) {
  std::vector<std::string> lines;
  for (const auto& [name, value] : setup.options)
    lines.push_back("setoption name " + name + " value " + value);
  if (setup.ponder) lines.push_back("setoption name Ponder value true");
  return lines;
}

// Starts the engine when it is not running; false when it cannot be made ready.
bool EnsureStarted(EngineProcess* e, const EngineSetup& setup) {
  if (e->alive) return true;
  KillEngine(e);  // reaps what is left of an engine that ended
  return StartEngine(e) && Handshake(e, SetupLines(setup), StartTimeoutMs);
}

// Ends the game with a fault of engine `who`.
void Forfeit(GameRecord* game, int who, Fault fault, const std::string& why) {
  const bool white = who == game->whiteEngine;
  game->outcome = white ? Outcome::BlackWins : Outcome::WhiteWins;
  game->faultEngine = who;
  game->fault = fault;
  game->reason = std::string(white ? "White" : "Black") + " " + why;
}

// A bestmove token that could name a move: four or five characters of
// square, square and promotion letter.
bool LooksLikeMove(const std::string& t) {
  if (t.size() != 4 && t.size() != 5) return false;
  const auto file = [](char c) { return c >= 'a' && c <= 'h'; };
  const auto rank = [](char c) { return c >= '1' && c <= '8'; };
  return file(t[0]) && rank(t[1]) && file(t[2]) && rank(t[3]) &&
         (t.size() == 4 || std::strchr("qrbnQRBN", t[4]));
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while ((at = line.find_first_not_of(" \t", at)) != std::string::npos) {
    const size_t end = line.find_first_of(" \t", at);
    words.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end == std::string::npos ? line.size() : end;
  }
  return words;
}

void NoteClockMove(Shared* shared, int who, double elapsedMs, int overshootMs) {
  std::lock_guard<std::mutex> hold(shared->lock);
  MatchReport& r = shared->report;
  if (!r.clockMoves[who] || overshootMs > r.worstOvershootMs[who]) r.worstOvershootMs[who] = overshootMs;
  r.clockMoves[who]++;
  r.clockUsedMs[who] += elapsedMs;
}

// Tells a pondering engine to stop and takes its bestmove; false when none came.
bool StopPondering(EngineProcess* e, int graceMs) {
  const Clock::time_point deadline = After(graceMs);
  return SendLine(e, "stop", deadline) && WaitFor(e, &EngineProcess::bestmoveSeen, deadline);
}

void PlayGame(Worker* w, GameRecord* game, const std::string& opening) {
  Shared* shared = w->shared;
  const MatchSetup& setup = *shared->setup;
  StartBoard(&game->board, opening);

  for (int i = 0; i < 2; ++i) {
    EngineProcess* e = &w->engines[i];
    if (!EnsureStarted(e, setup.engines[i])) {
      const bool ended = !e->alive;
      KillEngine(e);
      return Forfeit(game, i, ended ? Crash : Hang,
                     ended ? "engine ended at start-up" : "engine did not start");
    }
    e->readyok = false;
    const Clock::time_point deadline = After(ReadyTimeoutMs);
    if (!SendLine(e, "ucinewgame", deadline) || !SendLine(e, "isready", deadline) ||
        !WaitFor(e, &EngineProcess::readyok, deadline)) {
      const bool ended = !e->alive;
      KillEngine(e);
      return Forfeit(game, i, ended ? Crash : Hang, ended ? "engine ended before the game" : "no readyok");
    }
  }

  int clock[2] = {setup.engines[0].limits.baseMs, setup.engines[1].limits.baseMs};
  int pondering = -1;  // the engine thinking on the expected reply, if any
  std::string ponderMove;
  int level = 0;           // plies in a row with a score within the draw score
  int losing[2] = {0, 0};  // own moves in a row at or below the resign score
  GameBoard& board = game->board;

  const auto goCommand = [&](int mover, bool ponder) {
    const Limits& l = setup.engines[mover].limits;
    std::string go = ponder ? "go ponder" : "go";
    if (l.HasClock()) {
      const int white = game->whiteEngine, black = 1 - white;
      const auto left = [&](int who) {
        return std::max(1, setup.engines[who].limits.HasClock() ? clock[who] : clock[mover]);
      };
      const auto inc = [&](int who) {
        return setup.engines[who].limits.HasClock() ? setup.engines[who].limits.incMs : l.incMs;
      };
      go += " wtime " + std::to_string(left(white)) + " btime " + std::to_string(left(black)) + " winc " +
            std::to_string(inc(white)) + " binc " + std::to_string(inc(black));
    }
    if (l.moveTimeMs > 0) go += " movetime " + std::to_string(l.moveTimeMs);
    if (l.nodes > 0) go += " nodes " + std::to_string(l.nodes);
    if (l.depth > 0) go += " depth " + std::to_string(l.depth);
    return go;
  };

  for (;;) {
    const char* why = "";
    const Outcome rule = RuleOutcome(&board.pos, &why);
    if (rule != Outcome::Ongoing) {
      game->outcome = rule;
      game->reason = why;
      break;
    }
    if (setup.maxMoves > 0 && int(board.uciMoves.size()) >= 2 * setup.maxMoves) {
      game->outcome = Outcome::Draw;
      game->reason = "move limit";
      break;
    }
    const int mover = board.pos.side == White ? game->whiteEngine : 1 - game->whiteEngine;
    EngineProcess* e = &w->engines[mover];
    EngineProcess* other = &w->engines[1 - mover];
    const Limits& limits = setup.engines[mover].limits;

    bool searching = false;
    Clock::time_point start;
    if (pondering == mover) {
      pondering = -1;
      if (e->bestmoveSeen) {
        Forfeit(game, mover, IllegalMove, "sent bestmove while pondering");
        break;
      }
      if (ponderMove == board.uciMoves.back()) {
        SendLine(e, "ponderhit", After(setup.hangGraceMs));
        start = Clock::now();
        searching = true;
      } else if (!StopPondering(e, setup.hangGraceMs)) {
        const bool ended = !e->alive;
        KillEngine(e);
        Forfeit(game, mover, ended ? Crash : Hang,
                ended ? "ended while pondering" : "no bestmove after stop");
        break;
      }
    }
    if (!searching) {
      ExpectBestmove(e);
      const Clock::time_point sendBy = After(setup.hangGraceMs);
      SendLine(e, PositionCommand(board), sendBy);
      SendLine(e, goCommand(mover, false), sendBy);
      start = Clock::now();
    }

    // How long the move may take before the engine is taken for hung.
    int allowMs = setup.moveTimeoutMs;
    if (limits.HasClock())
      allowMs = std::max(0, clock[mover]) + setup.timeMarginMs + setup.hangGraceMs;
    else if (limits.moveTimeMs > 0)
      allowMs = limits.moveTimeMs + setup.timeMarginMs + setup.hangGraceMs;
    WaitFor(e, &EngineProcess::bestmoveSeen, start + std::chrono::milliseconds(allowMs),
            pondering == 1 - mover ? other : nullptr);
    if (!e->bestmoveSeen) {
      const bool ended = !e->alive;
      KillEngine(e);
      if (ended)
        Forfeit(game, mover, Crash, "engine ended (crash)");
      else
        Forfeit(game, mover, Hang, "sent no bestmove within " + std::to_string(allowMs) + " ms");
      break;
    }
    const double elapsed = std::chrono::duration<double, std::milli>(e->bestmoveAt - start).count();
    if (limits.HasClock()) {
      NoteClockMove(shared, mover, elapsed, int(std::lround(elapsed - clock[mover])));
      if (elapsed > clock[mover] + setup.timeMarginMs) {
        Forfeit(game, mover, TimeLoss,
                "loses on time (" + std::to_string(int(std::lround(elapsed))) + " ms with " +
                    std::to_string(clock[mover]) + " ms left)");
        break;
      }
      clock[mover] -= int(std::lround(elapsed));
      clock[mover] += limits.incMs;
    } else if (limits.moveTimeMs > 0 && elapsed > limits.moveTimeMs + setup.timeMarginMs) {
      Forfeit(game, mover, TimeLoss,
              "exceeds the move time (" + std::to_string(int(std::lround(elapsed))) + " ms)");
      break;
    }

    const std::vector<std::string> words = Words(e->bestmoveLine);
    if (words.size() < 2 || !LooksLikeMove(words[1])) {
      Forfeit(game, mover, MalformedMove,
              "sent a malformed bestmove \"" + e->bestmoveLine.substr(0, 40) + "\"");
      break;
    }
    if (!PlayUciMove(&board, words[1].c_str())) {
      Forfeit(game, mover, IllegalMove, "plays the illegal move " + words[1]);
      break;
    }

    // Adjudication on the scores the engines reported for their moves.
    if (e->hasScore) {
      level = std::abs(e->score) <= setup.drawScore ? level + 1 : 0;
      losing[mover] = e->score <= -setup.resignScore ? losing[mover] + 1 : 0;
    } else {
      level = 0;
      losing[mover] = 0;
    }
    const int moveNumber = board.startMoveNumber + int(board.uciMoves.size()) / 2;
    if (setup.drawMoveCount > 0 && moveNumber >= setup.drawMoveNumber && level >= 2 * setup.drawMoveCount &&
        RuleOutcome(&board.pos, &why) == Outcome::Ongoing) {
      game->outcome = Outcome::Draw;
      game->reason = "adjudicated draw by score";
      break;
    }
    if (setup.resignMoveCount > 0 && losing[mover] >= setup.resignMoveCount &&
        RuleOutcome(&board.pos, &why) == Outcome::Ongoing) {
      const bool white = mover == game->whiteEngine;
      game->outcome = white ? Outcome::BlackWins : Outcome::WhiteWins;
      game->reason = std::string(white ? "White" : "Black") + " resigns (adjudicated by score)";
      break;
    }

    // The engine named the reply it expects: it thinks on it in the
    // opponent's time, as under a GUI.
    // (The token's shape is checked first: the board code reads five characters.)
    if (setup.engines[mover].ponder && words.size() >= 4 && words[2] == "ponder" && LooksLikeMove(words[3]) &&
        RuleOutcome(&board.pos, &why) == Outcome::Ongoing &&
        FindLegalMove(&board.pos, words[3].c_str()) >= 2) {
      ponderMove = MoveToText(FindLegalMove(&board.pos, words[3].c_str())).text;
      ExpectBestmove(e);
      const Clock::time_point sendBy = After(setup.hangGraceMs);
      SendLine(e, PositionCommand(board, ponderMove.c_str()), sendBy);
      SendLine(e, goCommand(mover, true), sendBy);
      pondering = mover;
    }
  }

  // A game that ended on the opponent's move leaves a ponder search running.
  if (pondering >= 0) {
    EngineProcess* e = &w->engines[pondering];
    if (!e->bestmoveSeen && !StopPondering(e, setup.hangGraceMs)) {
      std::lock_guard<std::mutex> hold(shared->lock);
      ++shared->report.faults[pondering][e->alive ? Hang : Crash];
      KillEngine(e);
    }
  }
}

const char* ResultText(Outcome o) {
  return o == Outcome::WhiteWins   ? "1-0"
         : o == Outcome::BlackWins ? "0-1"
         : o == Outcome::Draw      ? "1/2-1/2"
                                   : "*";
}

void WritePgn(Shared* shared, const GameRecord& game) {
  if (shared->pgn == nullptr) return;
  const MatchSetup& setup = *shared->setup;
  const MatchReport& r = shared->report;
  Position start;
  LoadFen(&start, game.board.startFen.c_str());
  char fen[128];
  PositionToFen(&start, game.board.startMoveNumber, fen, sizeof fen);
  const EngineSetup& white = setup.engines[game.whiteEngine];
  char tc[64] = "-";
  if (white.limits.HasClock())
    std::snprintf(tc, sizeof tc, "%g+%g", white.limits.baseMs / 1000.0, white.limits.incMs / 1000.0);
  char date[16] = "????.??.??";
  const std::time_t now = std::time(nullptr);
  std::tm day;
  if (localtime_r(&now, &day) != nullptr) std::strftime(date, sizeof date, "%Y.%m.%d", &day);
  const char* termination = game.faultEngine < 0     ? "normal"
                            : game.fault == TimeLoss ? "time forfeit"
                                                     : "rules infraction";
  if (game.faultEngine < 0 && game.reason.find("adjudicated") != std::string::npos)
    termination = "adjudication";
  FILE* f = shared->pgn;
  std::fprintf(f, "[Event \"tarvo-match\"]\n[Site \"?\"]\n[Date \"%s\"]\n[Round \"%d\"]\n", date,
               game.number);
  std::fprintf(f, "[White \"%s\"]\n[Black \"%s\"]\n[Result \"%s\"]\n", r.names[game.whiteEngine].c_str(),
               r.names[1 - game.whiteEngine].c_str(), ResultText(game.outcome));
  if (std::strcmp(fen, StartFen) != 0) std::fprintf(f, "[FEN \"%s\"]\n[SetUp \"1\"]\n", fen);
  std::fprintf(f, "[PlyCount \"%d\"]\n[Termination \"%s\"]\n[TimeControl \"%s\"]\n\n",
               int(game.board.sanMoves.size()), termination, tc);
  std::string text;
  int number = game.board.startMoveNumber;
  bool whiteToMove = start.side == White;
  for (size_t i = 0; i < game.board.sanMoves.size(); ++i) {
    if (whiteToMove)
      text += std::to_string(number) + ". ";
    else if (i == 0)
      text += std::to_string(number) + "... ";
    text += game.board.sanMoves[i] + " ";
    if (!whiteToMove) ++number;
    whiteToMove = !whiteToMove;
  }
  text += "{" + game.reason + "} " + ResultText(game.outcome);
  // Lines of at most 79 characters, broken at blanks.
  size_t lineStart = 0, lastBlank = std::string::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') lastBlank = i;
    if (i - lineStart >= 79 && lastBlank != std::string::npos && lastBlank > lineStart) {
      text[lastBlank] = '\n';
      lineStart = lastBlank + 1;
    }
  }
  std::fprintf(f, "%s\n\n", text.c_str());
  std::fflush(f);
}

std::string Signed(double v, int decimals) {
  if (std::isinf(v)) return v > 0 ? "+inf" : "-inf";
  if (std::fabs(v) < 0.5 * std::pow(10.0, -decimals)) v = 0;  // no "-0.0"
  char text[64];
  std::snprintf(text, sizeof text, "%+.*f", decimals, v);
  return text;
}

std::string EloText(const EloEstimate& e) {
  return Signed(e.elo, 1) + " +- " +
         (std::isinf(e.margin) ? std::string("inf") : Signed(e.margin, 1).substr(1));
}

void PrintProgress(Shared* shared) {
  const MatchReport& r = shared->report;
  const Tally& t = r.tally;
  const int n = t.Games();
  std::fprintf(shared->out, "Progress: %d games, %s vs %s +%d -%d =%d, score %.1f%%, Elo %s", n,
               r.names[0].c_str(), r.names[1].c_str(), t.wins, t.losses, t.draws,
               n ? 100.0 * (t.wins + 0.5 * t.draws) / n : 0.0, EloText(TrinomialElo(t)).c_str());
  if (shared->setup->repeat && t.Pairs() > 0)
    std::fprintf(shared->out, ", pairs Elo %s", EloText(PentanomialElo(t)).c_str());
  if (shared->setup->sprt) std::fprintf(shared->out, ", LLR %.2f", r.llr);
  for (int i = 0; i < 2; ++i) {
    int faults = 0;
    for (int k = 0; k < FaultKinds; ++k) faults += r.faults[i][k];
    std::fprintf(shared->out, "%s %s %d", i == 0 ? ", faults" : ",", r.names[i].c_str(), faults);
  }
  std::fprintf(shared->out, "\n");
  std::fflush(shared->out);
}

// Counts a finished game; true while more games should start.
void Record(Shared* shared, const GameRecord& game) {
  std::lock_guard<std::mutex> hold(shared->lock);
  const MatchSetup& setup = *shared->setup;
  MatchReport& r = shared->report;
  if (game.faultEngine >= 0) ++r.faults[game.faultEngine][game.fault];
  if (shared->stopped) {
    ++r.uncounted;
    return;
  }
  // Half-points of the first engine.
  const int half = game.outcome == Outcome::Draw                                     ? 1
                   : (game.outcome == Outcome::WhiteWins) == (game.whiteEngine == 0) ? 2
                                                                                     : 0;
  Tally& t = r.tally;
  (half == 2 ? t.wins : half == 0 ? t.losses : t.draws)++;
  ++shared->endings[game.faultEngine >= 0 ? FaultNames[game.fault] : game.reason];
  if (setup.repeat) {
    const int pair = (game.number - 1) / 2;
    auto first = shared->firstOfPair.find(pair);
    if (first == shared->firstOfPair.end()) {
      shared->firstOfPair[pair] = half;
    } else {
      ++t.penta[first->second + half];
      shared->firstOfPair.erase(first);
    }
  }
  ++shared->finished;
  WritePgn(shared, game);
  if (!setup.quiet) {
    std::fprintf(shared->out, "Finished game %d (%s vs %s): %s {%s}\n", game.number,
                 r.names[game.whiteEngine].c_str(), r.names[1 - game.whiteEngine].c_str(),
                 ResultText(game.outcome), game.reason.c_str());
  }
  if (setup.sprt) {
    r.llr = r.pentanomial ? PentanomialLlr(t, setup.sprtSettings) : TrinomialLlr(t, setup.sprtSettings);
    if (r.llr >= SprtUpperBound(setup.sprtSettings)) r.verdict = 1;
    if (r.llr <= SprtLowerBound(setup.sprtSettings)) r.verdict = -1;
    if (r.verdict != 0) shared->stopped = true;
  }
  if (setup.ratingInterval > 0 && shared->finished % setup.ratingInterval == 0)
    PrintProgress(shared);
  else if (!setup.quiet)
    std::fflush(shared->out);
}

void RunWorker(Worker* w) {
  Shared* shared = w->shared;
  const MatchSetup& setup = *shared->setup;
  for (int i = 0; i < 2; ++i) {
    w->engines[i].command = setup.engines[i].command;
    w->engines[i].dir = setup.engines[i].dir;
    w->engines[i].name = shared->report.names[i] + "#" + std::to_string(w->id + 1);
    w->engines[i].log = shared->log;
  }
  for (;;) {
    int number;
    {
      std::lock_guard<std::mutex> hold(shared->lock);
      if (shared->stopped || shared->nextGame >= shared->totalGames) break;
      number = ++shared->nextGame;
    }
    // Game pairs share an opening and swap colours; otherwise each game has its own.
    const int index = setup.repeat ? (number - 1) / 2 : number - 1;
    const std::string& opening = shared->openings[size_t(index) % shared->openings.size()];
    GameRecord game;
    game.number = number;
    game.whiteEngine = (number - 1) % 2;
    PlayGame(w, &game, opening);
    Record(shared, game);
  }
  for (EngineProcess& e : w->engines) StopEngine(&e);
}

double CpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

bool ParseMatchArgs(int argc, char** argv, MatchSetup* setup) {
  ArgReader args = StartArgs("tarvo-match", argc, argv);
  std::vector<std::string> each, own[2];
  int engines = 0;
  bool gamesGiven = false;
  while (NextArg(&args)) {
    if (ArgIs(&args, "-engine")) {
      if (engines == 2)
        FailArgs(&args, "two engines play a match; a third -engine is not taken");
      else
        ReadEngineSettings(&args, &own[engines++]);
    } else if (ArgIs(&args, "-each")) {
      ReadEngineSettings(&args, &each);
    } else if (ArgIs(&args, "-games")) {
      setup->games = int(ArgInt(&args, 1, 100000000));
      gamesGiven = true;
    } else if (ArgIs(&args, "-rounds")) {
      setup->rounds = int(ArgInt(&args, 1, 100000000));
    } else if (ArgIs(&args, "-repeat")) {
      setup->repeat = true;
      // cutechess-cli takes "-repeat 2"; two is the only count meant here.
      if (args.index + 1 < args.argc && std::strcmp(args.argv[args.index + 1], "2") == 0) ++args.index;
    } else if (ArgIs(&args, "-openings")) {
      ReadSettings(&args, [&](const std::string& key, const std::string& value) {
        if (key == "file")
          setup->openingsFile = value;
        else if (key == "format") {
          if (value != "epd") FailArgs(&args, "openings are read as format=epd only");
        } else if (key == "order") {
          if (value == "random")
            setup->randomOrder = true;
          else if (value == "sequential")
            setup->randomOrder = false;
          else
            FailArgs(&args, "order is random or sequential, not \"%s\"", value.c_str());
        } else if (key == "start")
          setup->openingStart = int(IntOf(&args, key, value, 1, 100000000));
        else if (key == "policy" || key == "plies") {  // cutechess settings that change nothing here
        } else
          FailArgs(&args, "unknown -openings setting \"%s\"", key.c_str());
      });
    } else if (ArgIs(&args, "-srand")) {
      setup->seed = ArgUnsigned(&args, UINT64_MAX);
    } else if (ArgIs(&args, "-concurrency")) {
      setup->concurrency = int(ArgInt(&args, 1, 256));
    } else if (ArgIs(&args, "-sprt")) {
      setup->sprt = true;
      ReadSettings(&args, [&](const std::string& key, const std::string& value) {
        if (key == "elo0")
          setup->sprtSettings.elo0 = RealOf(&args, key, value, -1000, 1000);
        else if (key == "elo1")
          setup->sprtSettings.elo1 = RealOf(&args, key, value, -1000, 1000);
        else if (key == "alpha")
          setup->sprtSettings.alpha = RealOf(&args, key, value, 1e-6, 0.5);
        else if (key == "beta")
          setup->sprtSettings.beta = RealOf(&args, key, value, 1e-6, 0.5);
        else if (key == "model") {
          if (value != "normalized") FailArgs(&args, "the SPRT uses model=normalized only");
        } else
          FailArgs(&args, "unknown -sprt setting \"%s\"", key.c_str());
      });
      if (!args.failed && setup->sprtSettings.elo0 >= setup->sprtSettings.elo1)
        FailArgs(&args, "-sprt needs elo0 below elo1");
    } else if (ArgIs(&args, "-draw")) {
      ReadSettings(&args, [&](const std::string& key, const std::string& value) {
        if (key == "movenumber")
          setup->drawMoveNumber = int(IntOf(&args, key, value, 0, 100000));
        else if (key == "movecount")
          setup->drawMoveCount = int(IntOf(&args, key, value, 1, 100000));
        else if (key == "score")
          setup->drawScore = int(IntOf(&args, key, value, 0, 100000));
        else
          FailArgs(&args, "unknown -draw setting \"%s\"", key.c_str());
      });
    } else if (ArgIs(&args, "-resign")) {
      ReadSettings(&args, [&](const std::string& key, const std::string& value) {
        if (key == "movecount")
          setup->resignMoveCount = int(IntOf(&args, key, value, 1, 100000));
        else if (key == "score")
          setup->resignScore = int(IntOf(&args, key, value, 1, 100000));
        else if (key == "twosided") {
        } else
          FailArgs(&args, "unknown -resign setting \"%s\"", key.c_str());
      });
    } else if (ArgIs(&args, "-maxmoves")) {
      setup->maxMoves = int(ArgInt(&args, 1, 100000));
    } else if (ArgIs(&args, "-pgnout")) {
      // cutechess: -pgnout FILE; fastchess: -pgnout file=FILE.
      const std::string value = ArgText(&args);
      setup->pgnFile = value.compare(0, 5, "file=") == 0 ? value.substr(5) : value;
      for (const char* s = NextSetting(&args); s != nullptr; s = NextSetting(&args)) {
      }
    } else if (ArgIs(&args, "-log")) {
      const std::string value = ArgText(&args);
      setup->logFile = value.compare(0, 5, "file=") == 0 ? value.substr(5) : value;
    } else if (ArgIs(&args, "-ratinginterval")) {
      setup->ratingInterval = int(ArgInt(&args, 0, 100000000));
    } else if (ArgIs(&args, "-timemargin")) {
      setup->timeMarginMs = int(ArgInt(&args, 0, 10000000));
    } else if (ArgIs(&args, "-movetimeout")) {
      setup->moveTimeoutMs = int(ArgInt(&args, 1, 100000000));
    } else if (ArgIs(&args, "-quiet")) {
      setup->quiet = true;
    } else {
      UnknownArg(&args);
    }
  }
  if (!args.failed && engines != 2) FailArgs(&args, "a match needs two -engine settings");
  for (int i = 0; i < 2 && !args.failed; ++i) {
    EngineSetup& e = setup->engines[i];
    for (const std::string& s : each) ApplyEngineSetting(&args, s, &e);
    for (const std::string& s : own[i]) ApplyEngineSetting(&args, s, &e);
    if (args.failed) break;
    if (e.command.empty())
      FailArgs(&args, "engine %d has no cmd=", i + 1);
    else if (!e.limits.Any())
      FailArgs(&args, "engine %d has no tc=, st=, nodes= or depth=", i + 1);
    if (e.name.empty()) e.name = BaseName(e.command);
  }
  if (!args.failed && setup->engines[0].name == setup->engines[1].name) {
    setup->engines[0].name += "-1";
    setup->engines[1].name += "-2";
  }
  if (!args.failed && setup->sprt && !gamesGiven && setup->rounds == 1) {
    // An SPRT runs until its verdict; the count is only a ceiling.
    setup->games = 100000000;
  }
  return !args.failed;
}

MatchReport RunMatch(const MatchSetup& setup, FILE* out) {
  // A write to an engine that has gone must fail, not end the runner.
  signal(SIGPIPE, SIG_IGN);
  const double cpuStart = CpuSeconds();
  Shared shared;
  shared.setup = &setup;
  shared.out = out;
  MatchReport& report = shared.report;
  for (int i = 0; i < 2; ++i) report.names[i] = setup.engines[i].name;
  report.pentanomial = setup.repeat;
  shared.totalGames = int(std::min<i64>(i64(setup.games) * setup.rounds, 100000000));

  if (setup.openingsFile.empty()) {
    shared.openings.push_back("startpos");
  } else {
    const std::vector<std::string> all = tuning::ReadOpenings(setup.openingsFile.c_str());
    if (all.empty()) {
      std::fprintf(out, "tarvo-match: no openings in %s\n", setup.openingsFile.c_str());
      return report;
    }
    std::vector<size_t> order(all.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (setup.randomOrder) {
      u64 state = setup.seed;
      for (size_t i = order.size() - 1; i > 0; --i)
        std::swap(order[i], order[keygen::SplitMix(state) % (i + 1)]);
    }
    for (size_t i = 0; i < order.size(); ++i)
      shared.openings.push_back(all[order[(i + size_t(setup.openingStart - 1)) % order.size()]]);
    GameBoard check;
    for (const std::string& fen : shared.openings)
      if (!StartBoard(&check, fen)) {
        std::fprintf(out, "tarvo-match: refused opening \"%s\" in %s\n", fen.c_str(),
                     setup.openingsFile.c_str());
        return report;
      }
  }

  // Each engine once before the match: a wrong command stops here, not in every game.
  for (int i = 0; i < 2; ++i) {
    EngineProcess probe;
    probe.command = setup.engines[i].command;
    probe.dir = setup.engines[i].dir;
    const bool ready = StartEngine(&probe) && Handshake(&probe, SetupLines(setup.engines[i]), StartTimeoutMs);
    StopEngine(&probe);
    if (!ready) {
      std::fprintf(out, "tarvo-match: engine %s (%s) did not answer uci and isready\n",
                   report.names[i].c_str(), setup.engines[i].command.c_str());
      return report;
    }
  }
  report.started = true;

  if (!setup.logFile.empty() && (shared.log = OpenTrafficLog(setup.logFile)) == nullptr)
    std::fprintf(out, "tarvo-match: cannot write the log %s; playing without it\n", setup.logFile.c_str());
  if (!setup.pgnFile.empty() && (shared.pgn = std::fopen(setup.pgnFile.c_str(), "ae")) == nullptr)
    std::fprintf(out, "tarvo-match: cannot write %s; playing without a PGN\n", setup.pgnFile.c_str());

  std::vector<Worker> workers(size_t(setup.concurrency));
  std::vector<std::thread> threads;
  for (int i = 0; i < setup.concurrency; ++i) {
    workers[size_t(i)].shared = &shared;
    workers[size_t(i)].id = i;
    threads.emplace_back(RunWorker, &workers[size_t(i)]);
  }
  for (std::thread& t : threads) t.join();

  if (shared.pgn != nullptr) std::fclose(shared.pgn);
  CloseTrafficLog(shared.log);
  for (const auto& [reason, count] : shared.endings) report.endings.emplace_back(reason, count);
  std::sort(report.endings.begin(), report.endings.end(),
            [](const auto& a, const auto& b) { return a.second > b.second; });
  report.runnerCpuSeconds = CpuSeconds() - cpuStart;
  return report;
}

void PrintSummary(const MatchSetup& setup, const MatchReport& r, FILE* out) {
  const Tally& t = r.tally;
  const int n = t.Games();
  std::fprintf(out, "\n=== %s vs %s: %d games", r.names[0].c_str(), r.names[1].c_str(), n);
  if (r.uncounted > 0)
    std::fprintf(out, " (%d more still running at the SPRT verdict, not counted)", r.uncounted);
  std::fprintf(out, "\nResults     +%d -%d =%d (wins, losses, draws of %s)\n", t.wins, t.losses, t.draws,
               r.names[0].c_str());
  std::fprintf(out, "Score       %.1f%%\n", n ? 100.0 * (t.wins + 0.5 * t.draws) / n : 0.0);
  std::fprintf(out, "Elo         %s (95%%, from %d games)\n", EloText(TrinomialElo(t)).c_str(), n);
  if (setup.repeat)
    std::fprintf(out, "Pairs       LL %d, LD %d, DD/WL %d, WD %d, WW %d: Elo %s (95%%, from %d pairs)\n",
                 t.penta[0], t.penta[1], t.penta[2], t.penta[3], t.penta[4],
                 EloText(PentanomialElo(t)).c_str(), t.Pairs());
  std::fprintf(out, "LOS         %.1f%%\n", 100.0 * LikelihoodOfSuperiority(t));
  if (setup.sprt) {
    const SprtSettings& s = setup.sprtSettings;
    std::fprintf(
        out,
        "SPRT        elo0 %g, elo1 %g, alpha %g, beta %g (normalized Elo, %s): LLR %.2f (%.2f, %.2f): %s\n",
        s.elo0, s.elo1, s.alpha, s.beta,
        r.pentanomial ? "pentanomial, from game pairs" : "trinomial, from games", r.llr, SprtLowerBound(s),
        SprtUpperBound(s),
        r.verdict > 0   ? "H1 accepted"
        : r.verdict < 0 ? "H0 accepted"
                        : "no verdict yet");
  }
  std::fprintf(out, "Endings    ");
  for (size_t i = 0; i < r.endings.size(); ++i)
    std::fprintf(out, "%s %s %d", i ? "," : "", r.endings[i].first.c_str(), r.endings[i].second);
  std::fprintf(out, "\n");
  for (int i = 0; i < 2; ++i) {
    std::fprintf(out, "Faults      %s:", r.names[i].c_str());
    for (int k = 0; k < FaultKinds; ++k)
      std::fprintf(out, "%s %s %d", k ? "," : "", FaultNames[k], r.faults[i][k]);
    std::fprintf(out, "\n");
  }
  for (int i = 0; i < 2; ++i)
    if (r.clockMoves[i])
      std::fprintf(out,
                   "Clock       %s: %.1f ms per move over %d moves, worst overshoot %+d ms (time used "
                   "beyond the time left; negative: the closest it came)\n",
                   r.names[i].c_str(), r.clockUsedMs[i] / r.clockMoves[i], r.clockMoves[i],
                   r.worstOvershootMs[i]);
  std::fprintf(out, "Runner CPU  %.2f s, %.2f ms per game\n", r.runnerCpuSeconds,
               n + r.uncounted > 0 ? 1000.0 * r.runnerCpuSeconds / (n + r.uncounted) : 0.0);
  std::fflush(out);
}

}  // namespace match
