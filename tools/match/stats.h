// Match statistics: Elo with its 95% interval from game results (trinomial)
// or from game pairs (pentanomial), the likelihood of superiority, and the
// sequential probability ratio test on normalized Elo as fastchess and
// OpenBench compute it.
#pragma once

namespace match {

// Results from the first engine's view. penta[k] counts game pairs (the same
// opening with both colours) that scored k half-points of 4: 0 is two losses,
// 2 two draws or a win and a loss, 4 two wins.
struct Tally {
  int wins = 0;
  int losses = 0;
  int draws = 0;
  int penta[5] = {0, 0, 0, 0, 0};
  int Games() const { return wins + losses + draws; }
  int Pairs() const { return penta[0] + penta[1] + penta[2] + penta[3] + penta[4]; }
};

// An Elo difference and half the width of its 95% interval; both 0 without
// games, and the interval infinite when the score is 0 or 1.
struct EloEstimate {
  double elo;
  double margin;
};

// Logistic Elo of a score fraction in (0, 1).
double EloFromScore(double score);
// From wins, losses and draws, each game one sample.
EloEstimate TrinomialElo(const Tally& tally);
// From the pair scores, each pair one sample: the pairs of one opening are
// correlated, so this interval is the honest one when openings are repeated.
EloEstimate PentanomialElo(const Tally& tally);
// Likelihood of superiority from wins and losses (draws say nothing).
double LikelihoodOfSuperiority(const Tally& tally);

struct SprtSettings {
  double elo0 = 0;
  double elo1 = 5;
  double alpha = 0.05;
  double beta = 0.05;
};
// log(beta / (1 - alpha)) and log((1 - beta) / alpha): accept H0 at or below
// the first, H1 at or above the second.
double SprtLowerBound(const SprtSettings& sprt);
double SprtUpperBound(const SprtSettings& sprt);
// The log-likelihood ratio of H1 (normalized Elo elo1) against H0 (elo0), by
// the maximum-likelihood method of Van den Bergh ("Comments on normalized
// Elo") that OpenBench and fastchess use;
// a count of zero is taken as 0.001 so that early results give finite values.
double TrinomialLlr(const Tally& tally, const SprtSettings& sprt);
double PentanomialLlr(const Tally& tally, const SprtSettings& sprt);

}  // namespace match
