#include "tools/data/label.h"

#include <chrono>
#include <string>

#include "tools/tuning/tuning.h"

namespace data {

namespace {

constexpr int StartTimeoutMs = 10000;
// The runner writes a mate in n as +-(30000 - n); no centipawn score comes near.
constexpr int MateScores = 29000;

match::Clock::time_point After(int ms) { return match::Clock::now() + std::chrono::milliseconds(ms); }

bool NewGame(Labeller* labeller) {
  match::EngineProcess* e = &labeller->engine;
  const match::Clock::time_point deadline = After(StartTimeoutMs);
  e->readyok = false;
  return match::SendLine(e, "ucinewgame", deadline) && match::SendLine(e, "isready", deadline) &&
         match::WaitFor(e, &match::EngineProcess::readyok, deadline);
}

}  // namespace

bool StartLabeller(Labeller* labeller, const LabelOptions& options) {
  labeller->options = options;
  labeller->game = -1;
  match::EngineProcess* e = &labeller->engine;
  match::KillEngine(e);
  e->name = "labeller";
  e->command = options.command;
  std::vector<std::string> setup;
  for (const auto& [name, value] : options.options)
    setup.push_back("setoption name " + name + " value " + value);
  return match::StartEngine(e) && match::Handshake(e, setup, StartTimeoutMs);
}

void StopLabeller(Labeller* labeller) { match::StopEngine(&labeller->engine); }

Label ScorePosition(Labeller* labeller, const std::string& fen, long long game, int* whiteScore) {
  match::EngineProcess* e = &labeller->engine;
  if (!e->alive && !StartLabeller(labeller, labeller->options)) return Label::Failed;
  if ((game != labeller->game || game < 0) && !NewGame(labeller)) {
    labeller->game = -1;
    return Label::Failed;
  }
  labeller->game = game;
  std::string go = "go";
  if (labeller->options.nodes > 0) go += " nodes " + std::to_string(labeller->options.nodes);
  if (labeller->options.depth > 0) go += " depth " + std::to_string(labeller->options.depth);
  const match::Clock::time_point deadline = After(labeller->options.timeoutMs);
  match::ExpectBestmove(e);
  if (!match::SendLine(e, "position fen " + fen, deadline) || !match::SendLine(e, go, deadline) ||
      !match::WaitFor(e, &match::EngineProcess::bestmoveSeen, deadline)) {
    // A hung engine is not asked again: the next position starts a new one.
    match::KillEngine(e);
    labeller->game = -1;
    return Label::Failed;
  }
  if (!e->hasScore) return Label::Failed;
  if (e->score >= MateScores || e->score <= -MateScores) return Label::Mate;
  const size_t blank = fen.find(' ');
  const bool blackToMove = blank != std::string::npos && fen.compare(blank + 1, 1, "b") == 0;
  *whiteScore = blackToMove ? -e->score : e->score;
  return Label::Score;
}

bool ReadDataLine(FILE* in, char (&line)[512]) { return std::fgets(line, sizeof line, in) != nullptr; }

bool LabelLines(Labeller* labeller, FILE* in, FILE* out, long long lines, LabelCounts* counts,
                std::atomic<long long>* done) {
  char line[512];
  tuning::Sample sample;
  for (long long n = 0; n < lines && ReadDataLine(in, line); ++n) {
    if (!tuning::ParseDataLine(line, &sample)) {
      ++counts->copied;
      if (std::fputs(line, out) < 0) return false;
      ++*done;
      continue;
    }
    int score = 0;
    const Label label = ScorePosition(labeller, sample.fen, sample.game, &score);
    sample.hasScore = label == Label::Score;
    sample.score = score;
    ++(label == Label::Score ? counts->scored : label == Label::Mate ? counts->mates : counts->failed);
    // Whole lines, flushed one by one: a run cut short leaves only whole lines.
    if (std::fprintf(out, "%s\n", tuning::FormatDataLine(sample).c_str()) < 0 || std::fflush(out) != 0)
      return false;
    ++*done;
    if (label == Label::Failed && !labeller->engine.alive && !StartLabeller(labeller, labeller->options))
      return false;
  }
  return true;
}

}  // namespace data
