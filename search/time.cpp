#include "search/time.h"

#include "search/state.h"

namespace {

// Share of the remaining time per move for slow, normal and fast play; the
// inverse is the default number of moves to go.
constexpr double RateFactor[3] = {0.043, 0.033, 0.024};

// Keeps a 100 ms margin; below 200 ms half of what is left. The margin must
// never vanish as the clock runs down (a limit that jumped from 1 ms back up
// to the whole clock at 100 ms lost games on time), so the limits only fall
// with the clock.
double LessMargin(double t) { return t > 200 ? t - 100 : t / 2; }

// Double to i32 without overflow (budgets from absurd clock values).
i32 ClampToInt(double t) {
  if (!(t > -2147483648.0)) return t != t ? 0 : -2147483647 - 1;
  if (t > 2147483647.0) return 2147483647;
  return i32(t);
}

}  // namespace

void AllocateTime(EngineState* engine, const Position* pos, i32 wtime, i32 btime, i32 winc, i32 binc,
                  i32 movestogo, bool ponder) {
  int rate = engine->options.rateOfPlay < 0   ? 0
             : engine->options.rateOfPlay > 2 ? 2
                                              : engine->options.rateOfPlay;
  double f = RateFactor[rate];
  double time = pos->side == White ? wtime : btime;
  // The GUI's transmission lag comes off the clock first; a clock shorter
  // than the lag keeps one millisecond rather than going negative.
  if (engine->options.moveOverhead > 0 && time > 1)
    time = time - engine->options.moveOverhead > 1 ? time - engine->options.moveOverhead : 1;
  double inc = pos->side == White ? winc : binc;
  double n = movestogo;
  if (n <= 0 || n > 1 / f) n = 1 / f;
  double k = 8 * f;
  double total = (n - 1) * inc + time;
  // The 100 ms safety margin belongs to the limits (the hard limit and the
  // cap), not to the target: taken off the target too, it puts the target
  // below the increment at blitz and leaves most of the clock unused. The
  // target is clamped to both limits below.
  double a = total / n;
  double b = LessMargin(total / (k * n + 1 - k));
  double cap = LessMargin(0.9 * time);
  if (ponder) a = 1.3 * a;
  if (a > cap) a = cap;
  if (b > cap) b = cap;
  if (a > b) a = b;
  if (b < 800) engine->progress.pollCountdown /= 2;
  if (b < 400) engine->progress.pollCountdown /= 2;
  engine->budget.allocatedTime = ClampToInt(a);
  engine->budget.maximumTime = ClampToInt(b);
}
