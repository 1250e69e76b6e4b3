#include "tools/match/stats.h"

#include <cmath>
#include <limits>

namespace match {

namespace {

// Two-sided 95% quantile of the normal distribution.
constexpr double Z95 = 1.959963984540054;
// Normalized Elo is the score gain over its standard deviation in units of
// 800 / ln 10 (the slope of the logistic curve at an even score).
const double NeloScale = 800.0 / std::log(10.0);

struct Moments {
  double count;  // samples
  double mean;   // per game, 0..1
  double variance;
};

// Mean and variance of samples taking values[i] with weight counts[i].
Moments MomentsOf(const double* values, const double* counts, int n) {
  Moments m{0, 0, 0};
  for (int i = 0; i < n; ++i) m.count += counts[i];
  if (m.count <= 0) return m;
  for (int i = 0; i < n; ++i) m.mean += values[i] * counts[i] / m.count;
  for (int i = 0; i < n; ++i) m.variance += counts[i] / m.count * (values[i] - m.mean) * (values[i] - m.mean);
  return m;
}

const double TrinomialValues[3] = {0.0, 0.5, 1.0};
const double PentanomialValues[5] = {0.0, 0.25, 0.5, 0.75, 1.0};

EloEstimate EloOf(const Moments& m) {
  if (m.count <= 0) return {0, 0};
  const double spread = Z95 * std::sqrt(m.variance / m.count);
  const double low = m.mean - spread, high = m.mean + spread;
  if (low <= 0 || high >= 1) return {EloFromScore(m.mean), std::numeric_limits<double>::infinity()};
  return {EloFromScore(m.mean), (EloFromScore(high) - EloFromScore(low)) / 2};
}

// The distribution nearest to the observed one (maximum likelihood) among
// those whose normalized score (mean - 1/2) / deviation is t: the
// observed probabilities reweighted by 1 / (1 + x phi_i), with x found by
// bisection (the equation's left side falls with x). Ten rounds of fixing the
// mean and deviation are plenty; the changes are far below what a count moves.
void NearestWithTValue(const double* values, const double* observed, int n, double t, double* out) {
  for (int i = 0; i < n; ++i) out[i] = 1.0 / n;
  for (int round = 0; round < 10; ++round) {
    const Moments m = MomentsOf(values, out, n);
    const double sigma = std::sqrt(m.variance);
    double phi[5], low = -1e300, high = 1e300;
    for (int i = 0; i < n; ++i) {
      const double z = (values[i] - m.mean) / sigma;
      phi[i] = values[i] - 0.5 - 0.5 * t * sigma * (1 + z * z);
      if (phi[i] > 0) low = std::fmax(low, -1 / phi[i]);
      if (phi[i] < 0) high = std::fmin(high, -1 / phi[i]);
    }
    for (int step = 0; step < 200; ++step) {
      const double x = (low + high) / 2;
      double sum = 0;
      for (int i = 0; i < n; ++i) sum += observed[i] * phi[i] / (1 + x * phi[i]);
      (sum > 0 ? low : high) = x;
    }
    const double x = (low + high) / 2;
    double change = 0;
    for (int i = 0; i < n; ++i) {
      const double p = observed[i] / (1 + x * phi[i]);
      change = std::fmax(change, std::fabs(p - out[i]));
      out[i] = p;
    }
    if (change < 1e-9) break;
  }
}

// N times the mean log ratio of the nearest distributions with t1 and t0.
double NormalizedLlr(const double* values, const double* counts, int n, double t0, double t1) {
  double total = 0, observed[5], p0[5], p1[5];
  for (int i = 0; i < n; ++i) total += counts[i];
  for (int i = 0; i < n; ++i) observed[i] = counts[i] / total;
  NearestWithTValue(values, observed, n, t0, p0);
  NearestWithTValue(values, observed, n, t1, p1);
  double llr = 0;
  for (int i = 0; i < n; ++i) llr += observed[i] * (std::log(p1[i]) - std::log(p0[i]));
  return total * llr;
}

double Regularized(int count) { return count == 0 ? 1e-3 : double(count); }

}  // namespace

double EloFromScore(double score) {
  if (score <= 0) return -std::numeric_limits<double>::infinity();
  if (score >= 1) return std::numeric_limits<double>::infinity();
  return -400.0 * std::log10(1.0 / score - 1.0);
}

EloEstimate TrinomialElo(const Tally& tally) {
  const double counts[3] = {double(tally.losses), double(tally.draws), double(tally.wins)};
  return EloOf(MomentsOf(TrinomialValues, counts, 3));
}

EloEstimate PentanomialElo(const Tally& tally) {
  double counts[5];
  for (int i = 0; i < 5; ++i) counts[i] = tally.penta[i];
  return EloOf(MomentsOf(PentanomialValues, counts, 5));
}

double LikelihoodOfSuperiority(const Tally& tally) {
  if (tally.wins + tally.losses == 0) return 0.5;
  return 0.5 +
         0.5 * std::erf(double(tally.wins - tally.losses) / std::sqrt(2.0 * (tally.wins + tally.losses)));
}

double SprtLowerBound(const SprtSettings& sprt) { return std::log(sprt.beta / (1 - sprt.alpha)); }
double SprtUpperBound(const SprtSettings& sprt) { return std::log((1 - sprt.beta) / sprt.alpha); }

double TrinomialLlr(const Tally& tally, const SprtSettings& sprt) {
  if (tally.Games() == 0) return 0;
  const double counts[3] = {Regularized(tally.losses), Regularized(tally.draws), Regularized(tally.wins)};
  return NormalizedLlr(TrinomialValues, counts, 3, sprt.elo0 / NeloScale, sprt.elo1 / NeloScale);
}

double PentanomialLlr(const Tally& tally, const SprtSettings& sprt) {
  if (tally.Pairs() == 0) return 0;
  double counts[5];
  for (int i = 0; i < 5; ++i) counts[i] = Regularized(tally.penta[i]);
  // Normalized Elo is per game; a pair's mean has half a game's variance.
  const double perPair = std::sqrt(2.0) / NeloScale;
  return NormalizedLlr(PentanomialValues, counts, 5, sprt.elo0 * perPair, sprt.elo1 * perPair);
}

}  // namespace match
