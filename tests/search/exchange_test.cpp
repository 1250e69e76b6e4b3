#include "engine/bench_positions.h"
#include "tests/search/search_test_support.h"

namespace {

struct ExchangeCase {
  const char* fen;
  const char* move;
  i32 expected;
  const char* why;
};

class StaticExchangeTest : public SearchTest {
 protected:
  void Check(const ExchangeCase& c) {
    Load(c.fen);
    const Move m = M(c.move);
    EXPECT_EQ(StaticExchange(pos.get(), m), c.expected) << c.why << "\n  " << c.fen << " " << c.move;
    // The threshold test settles at exactly that balance.
    EXPECT_TRUE(ExchangeAtLeast(pos.get(), m, c.expected)) << c.why;
    EXPECT_FALSE(ExchangeAtLeast(pos.get(), m, c.expected + 1)) << c.why;
  }
};

TEST_F(StaticExchangeTest, SimpleCapturesAndDefences) {
  const ExchangeCase cases[] = {
      {"4k3/8/8/4p3/8/5N2/8/4K3 w - - 0 1", "f3e5", 100, "undefended pawn"},
      {"4k3/8/3p4/4p3/8/8/4Q3/4K3 w - - 0 1", "e2e5", -875, "queen takes a pawn defended by a pawn"},
      {"4k3/8/3p4/4n3/8/8/4R3/4K3 w - - 0 1", "e2e5", -170, "rook takes a knight defended by a pawn"},
      {"4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1", "e4d5", 975, "pawn takes an undefended queen"},
      {"4k3/8/4p3/3b4/8/2N5/8/4K3 w - - 0 1", "c3d5", 0, "knight takes a bishop, pawn takes back"},
      {"4k3/8/8/8/8/8/3p4/4K3 w - - 0 1", "e1d2", 100, "king takes an undefended pawn"},
      {"4k3/8/8/8/4n3/8/8/4K3 w - - 0 1", "e1e2", 0, "quiet move to a safe square"},
      {"4k3/8/8/8/4n3/8/5R2/7K w - - 0 1", "f2d2", -500, "quiet rook move onto a knight's square"},
      {"4k3/8/8/8/4n3/8/5R2/4K3 w - - 0 1", "f2d2", -170, "the same, the king takes back"},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 100, "en passant"},
  };
  for (const ExchangeCase& c : cases) Check(c);
}

TEST_F(StaticExchangeTest, KingTakesOnlyWhenNothingRecaptures) {
  const ExchangeCase cases[] = {
      // The black king may not take back: the second rook would capture it.
      {"8/8/3k4/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 100, "rook takes a pawn defended only by the king"},
      {"8/8/3k4/3p4/8/8/3R4/4K3 w - - 0 1", "d2d5", -400, "the same without the second rook"},
      // A bishop behind the first attacker makes the king's recapture illegal too.
      {"8/8/3k4/3p4/8/1B6/8/3RK3 w - - 0 1", "d1d5", 100, "second attacker on another line"},
  };
  for (const ExchangeCase& c : cases) Check(c);
}

TEST_F(StaticExchangeTest, XRaysJoinBehindEachAttacker) {
  const ExchangeCase cases[] = {
      // R×P, R×R, R×R: the rear rook is seen once the front rook has left.
      {"4r1k1/8/8/4p3/8/8/4R3/4R1K1 w - - 0 1", "e2e5", 100, "doubled rooks, the mover's x-ray"},
      {"4r1k1/8/8/4p3/8/8/4R3/6K1 w - - 0 1", "e2e5", -400, "single rook"},
      // N×P, d6×N, R×P, B×R: the bishop on c7 joins through the pawn's square.
      {"6k1/2b5/3p4/4p3/8/5N2/8/4R1K1 w - - 0 1", "f3e5", -230, "defender's bishop behind its pawn"},
      // Without that bishop white's rook takes back last.
      {"6k1/8/3p4/4p3/8/5N2/8/4R1K1 w - - 0 1", "f3e5", -130, "no bishop behind the pawn"},
      // R×N, Q×R, R×Q, R×R: the black rook joins once its queen has gone.
      {"4r1k1/4q3/8/4n3/8/8/4R3/4R1K1 w - - 0 1", "e2e5", 305, "rook behind the defending queen"},
      // White's queen behind the rook on the e-file wins the defended knight.
      {"4r1k1/8/8/4n3/8/8/4R3/4Q1K1 w - - 0 1", "e2e5", 330, "queen behind the capturing rook"},
  };
  for (const ExchangeCase& c : cases) Check(c);
}

TEST_F(StaticExchangeTest, LeastValuableDefenderRecapturesFirst) {
  // Nc3×d5 is met by Nf6×d5 (not the queen): after B×N, Q×B white is 230 down,
  // so it stops after N×N. Taking back with the queen first would lose her.
  Check({"3q2k1/8/5n2/3p4/8/2N2B2/8/6K1 w - - 0 1", "c3d5", -230, "knight before queen"});
  // Rd4 is met by c3×d4 (not the queen), e5×d4, Q×d4: the rook is lost for a
  // pawn. Taking with the queen first would let black stop at R for Q.
  Check({"6k1/8/8/3rp3/8/2P5/3Q4/6K1 b - - 0 1", "d5d4", -500, "pawn before queen"});
}

TEST_F(StaticExchangeTest, Promotions) {
  const ExchangeCase cases[] = {
      {"7k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", 875, "free queen promotion"},
      {"7k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8n", 230, "free knight promotion"},
      {"r6k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", -100, "promoted queen taken by the rook"},
      {"r6k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8n", -100, "promoted knight taken by the rook"},
      {"3r3k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7d8q", 1375, "capture promotion on an undefended rook"},
      {"3rr2k/4P3/8/8/8/8/8/K7 w - - 0 1", "e7d8q", 400, "capture promotion, rook takes back"},
      // The rook behind the pawn on the file sees through the promotion square.
      {"r6k/4P3/8/8/8/8/8/4R1K1 w - - 0 1", "e7e8q", 400, "own rook behind the promoting pawn"},
  };
  for (const ExchangeCase& c : cases) Check(c);
}

// The move picker scores such captures without working the exchange out.
TEST_F(StaticExchangeTest, TakingAUnitWorthAtLeastTheTakerNeverLoses) {
  const std::vector<std::string> starts(std::begin(BenchPositions), std::end(BenchPositions));
  int captures = 0, recaptured = 0;
  ForRandomGames(starts, 60, 80, 0x5EEull, [&](Position* p) {
    for (const Move m : LegalMoves(p)) {
      if (MoveCaptured(m) == Empty || (m & MovePromotionFlag)) continue;
      if (ExchangeValue[MovePiece(m)] > ExchangeValue[MoveCaptured(m)]) continue;
      const i32 x = StaticExchange(p, m);
      ASSERT_GE(x, 0) << FenOf(p) << " " << Text(m);
      ++captures;
      recaptured += x < ExchangeValue[MoveCaptured(m)];
    }
  });
  // Enough of them are taken back for the rule to have been put to the test.
  EXPECT_GT(captures, 4000);
  EXPECT_GT(recaptured, 1500);
}

// The threshold test stops early; wherever it stops, it must agree with the
// full exchange on both sides of the balance.
TEST_F(StaticExchangeTest, ThresholdTestAgreesWithTheFullExchange) {
  const std::vector<std::string> starts(std::begin(BenchPositions), std::end(BenchPositions));
  int moves = 0, losing = 0;
  ForRandomGames(starts, 40, 80, 0x7E57ull, [&](Position* p) {
    for (const Move m : LegalMoves(p)) {
      const i32 x = StaticExchange(p, m);
      ASSERT_TRUE(ExchangeAtLeast(p, m, x)) << FenOf(p) << " " << Text(m) << " " << x;
      ASSERT_FALSE(ExchangeAtLeast(p, m, x + 1)) << FenOf(p) << " " << Text(m) << " " << x;
      ASSERT_EQ(ExchangeAtLeast(p, m, 0), x >= 0) << FenOf(p) << " " << Text(m) << " " << x;
      ++moves;
      losing += x < 0;
    }
  });
  EXPECT_GT(moves, 50000);
  EXPECT_GT(losing, 5000);
}

}  // namespace
