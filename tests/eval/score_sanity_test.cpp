// Score sanity of the shipped numbers: won endings score as wins, known draws
// as draws and plain material imbalances in the order players expect. The
// positions are hand-picked (none comes from the training data), and the
// bounds are wide enough for any reasonable tuning but fail a file whose
// numbers swamp the material or turn a term around.
#include <gtest/gtest.h>

#include "tests/eval/eval_test_support.h"

namespace {

class ScoreSanity : public ShippedPieceSquares {
 protected:
  // White's view, with the piece squares of the shipped numbers.
  static i32 WhiteScore(const char* fen) {
    Position pos = FromFen(fen);
    PlyRecord ply = FreshPly();
    return WhiteEval(&pos, &ply, ShippedWeights());
  }
};

struct Expectation {
  const char* what;
  const char* fen;
  i32 low, high;  // White's score, inclusive
};

TEST_F(ScoreSanity, WonEndingsKnownDrawsAndImbalances) {
  const Expectation cases[] = {
      // Won endings: clearly winning for White, whatever the details.
      {"K+Q v K", "8/8/8/4k3/8/8/8/3QK3 w - - 0 1", 800, 3000},
      {"K+R v K", "8/8/8/4k3/8/8/8/3RK3 w - - 0 1", 400, 3000},
      {"K+B+N v K", "8/8/8/4k3/8/8/8/2BNK3 w - - 0 1", 400, 3000},
      {"K+B+B v K", "8/8/8/4k3/8/8/8/2B1KB2 w - - 0 1", 500, 3000},
      {"unstoppable pawn", "8/1P6/8/8/8/8/6k1/K7 w - - 0 1", 500, 3000},
      {"K+Q v K+R", "8/8/8/3rk3/8/8/8/3QK3 w - - 0 1", 200, 3000},
      {"K+R v K+P", "8/8/8/4k3/8/8/p7/3RK3 w - - 0 1", 150, 3000},
      // Known draws: the material table says draw, or the extra piece is
      // worth far less than on a full board.
      {"K+B v K", "8/8/8/4k3/8/8/8/2B1K3 w - - 0 1", 0, 0},
      {"K+N v K", "8/8/8/4k3/8/8/8/3NK3 w - - 0 1", 0, 0},
      {"K+N+N v K", "8/8/8/4k3/8/8/8/2NNK3 w - - 0 1", 0, 0},
      {"K+R v K+R", "8/8/3r4/4k3/8/8/8/3RK3 w - - 0 1", 0, 0},
      {"K+B v K+B", "8/8/3b4/4k3/8/8/8/3BK3 w - - 0 1", 0, 0},
      {"K+Q v K+Q", "8/8/3q4/4k3/8/8/8/3QK3 w - - 0 1", 0, 0},
      {"K+R v K+B", "8/8/3b4/4k3/8/8/8/3RK3 w - - 0 1", -100, 100},
      {"K+R v K+N", "8/8/3n4/4k3/8/8/8/3RK3 w - - 0 1", -100, 100},
      // Material imbalances on a full board, White's extra first.
      {"start position", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 0, 0},
      {"a pawn", "rnbqkbnr/1ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 20, 150},
      {"a knight", "r1bqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 200, 450},
      {"the exchange", "1nbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/R1BQKBNR w Kk - 0 1", 80, 300},
      {"a rook", "1nbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQk - 0 1", 300, 650},
      {"a queen", "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 750, 1300},
      {"Q v R+B", "3rkb2/pppppppp/8/8/8/8/PPPPPPPP/3QK3 w - - 0 1", 50, 350},
      {"R v B+B", "2b1kb2/pppppppp/8/8/8/8/PPPPPPPP/3RK3 w - - 0 1", -300, -30},
      {"3 pawns v B, no other pieces", "4kb2/8/8/8/8/8/PPP5/4K3 w - - 0 1", -200, 50},
      // A king whose pawn storm has arrived, with queen and knight a step
      // away: the attack may weigh a lot, never turn into a bonus.
      {"stormed king", "q5k1/8/8/8/5n2/5ppp/PPP5/6K1 w - - 0 1", -3000, -900},
      {"stormed king, colours flipped", "6k1/ppp5/5PPP/5N2/8/8/8/Q5K1 b - - 0 1", 900, 3000},
  };
  for (const Expectation& c : cases) {
    const i32 score = WhiteScore(c.fen);
    EXPECT_GE(score, c.low) << c.what << ": " << c.fen;
    EXPECT_LE(score, c.high) << c.what << ": " << c.fen;
  }
}

}  // namespace
