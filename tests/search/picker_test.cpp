#include <map>

#include "tests/search/search_test_support.h"

namespace {

// White to move with four captures: e4×d5 and Nc3×d5 take the queen, Ng5×e6
// takes a bishop that the queen defends, Qb2×b6 takes a pawn defended by a7.
constexpr const char* CaptureFen = "6k1/p5p1/1p2b3/3q2N1/4P3/2N5/1Q6/6K1 w - - 0 1";

// White in check from the bishop on d5: two captures of the checker (Nc3 wins,
// Qd1 loses), three blocks by quiet moves and two king moves.
constexpr const char* EvasionFen = "6k1/8/4p3/3b4/8/2N5/5R2/3Q3K w - - 0 1";

using PickerTest = SearchTest;

using Names = std::vector<std::string>;

Names Texts(const std::vector<Move>& moves) {
  Names out;
  for (Move m : moves) out.push_back(Text(m));
  return out;
}

// The names from..to of the list, fewer where it is shorter.
Names Slice(const Names& names, size_t from, size_t to) {
  to = std::min(to, names.size());
  return Names(names.begin() + long(std::min(from, to)), names.begin() + long(to));
}

// Score of a move still waiting in the picker's list.
i32 ListedScore(const MovePicker* picker, Move m) {
  for (int i = 0; i < picker->list.count; ++i)
    if (picker->list.move[i] == m) return picker->list.score[i];
  ADD_FAILURE() << Text(m) << " is not in the list";
  return 0;
}

TEST_F(PickerTest, CapturesByVictimThenAttackerLosingOnesLast) {
  Load(CaptureFen);
  MovePicker* picker = MainPicker(1);
  const Move first = NextMove(picker, pos.get(), engine->stats.historyScore);
  EXPECT_EQ(Text(first), "e4d5");
  EXPECT_EQ(picker->stage, u32(StageCaptures));
  EXPECT_EQ(picker->captureCount, 4);
  // Scores of the captures still waiting: MVV/LVA plus 22000, the losing one by
  // its exchange value.
  EXPECT_EQ(ListedScore(picker, M("c3d5")), 22000 + 975 - Knight);
  EXPECT_EQ(ListedScore(picker, M("g5e6")), 22000 + 330 - Knight);
  EXPECT_EQ(ListedScore(picker, M("b2b6")), 22000 - 875);

  EXPECT_EQ(Text(NextMove(picker, pos.get(), engine->stats.historyScore)), "c3d5");
  EXPECT_EQ(Text(NextMove(picker, pos.get(), engine->stats.historyScore)), "g5e6");
  // The losing capture is handed out after every other capture...
  const Move losing = NextMove(picker, pos.get(), engine->stats.historyScore);
  EXPECT_EQ(Text(losing), "b2b6");
  EXPECT_EQ(picker->current, losing);
  EXPECT_EQ(picker->stage, u32(StageCaptures));
  // ...and before the quiet moves.
  const Move quiet = NextMove(picker, pos.get(), engine->stats.historyScore);
  EXPECT_FALSE(IsTactical(quiet)) << Text(quiet);
  EXPECT_EQ(picker->stage, u32(StageQuiets));
}

TEST_F(PickerTest, LosingCaptureComesBeforeTheKillers) {
  Load(CaptureFen);
  plies[1].killers[0] = M("g1h1");
  plies[1].killers[1] = M("b2c2");
  const Names text = Texts(DrainMain(MainPicker(1)));
  EXPECT_EQ(Slice(text, 0, 6), (Names{"e4d5", "c3d5", "g5e6", "b2b6", "g1h1", "b2c2"}));
}

TEST_F(PickerTest, QuiescenceDropsLosingCaptures) {
  Load(CaptureFen);
  const std::vector<Move> moves = DrainQuiescence(QuiescencePicker(1, false));
  EXPECT_EQ(Texts(moves), (Names{"e4d5", "c3d5", "g5e6"}));
}

TEST_F(PickerTest, VictimMaskLimitsTheCaptures) {
  Load(CaptureFen);
  MovePicker* picker = QuiescencePicker(1, false);
  picker->victimMask = ~SquareMask[Sq("d5")];
  EXPECT_EQ(Texts(DrainQuiescence(picker)), (Names{"g5e6"}));

  picker = MainPicker(1);
  picker->victimMask = ~SquareMask[Sq("d5")];
  const Names text = Texts(DrainMain(picker));
  EXPECT_GE(text.size(), 3u);
  EXPECT_EQ(Slice(text, 0, 2), (Names{"g5e6", "b2b6"}));
  EXPECT_EQ(std::count(text.begin(), text.end(), "e4d5"), 0);
}

TEST_F(PickerTest, WinningCaptureByAHeavierPieceIsNotDeferred) {
  // Q×N (undefended knight) scores above c4×b5 and comes first in both pickers.
  Load("6k1/3n4/p7/1p6/2P5/8/8/3Q2K1 w - - 0 1");
  const Names text = Texts(DrainMain(MainPicker(1)));
  EXPECT_EQ(Slice(text, 0, 2), (Names{"d1d7", "c4b5"}));
  EXPECT_EQ(Texts(DrainQuiescence(QuiescencePicker(1, false))), (Names{"d1d7", "c4b5"}));
}

TEST_F(PickerTest, PromotionsScoredByTheirExchange) {
  // a8=Q wins 875, N×R 500, a8=R 400, a8=N and a8=B 230 each.
  Load("7k/P7/8/3r4/8/2N5/8/6K1 w - - 0 1");
  const Names text = Texts(DrainMain(MainPicker(1)));
  EXPECT_GE(text.size(), 5u);
  EXPECT_EQ(Slice(text, 0, 3), (Names{"a7a8q", "c3d5", "a7a8r"}));
  // The quiescence search puts every promotion first, at a queen's value.
  const Names quiescence = Texts(DrainQuiescence(QuiescencePicker(1, false)));
  ASSERT_EQ(quiescence.size(), 5u);
  EXPECT_EQ(quiescence.back(), "c3d5");
}

TEST_F(PickerTest, EqualScoresGoFirstThenFromTheBack) {
  // With no history every quiet move scores 0: the selection keeps entry 0, and
  // each removal brings the last entry to the front.
  Load(CaptureFen);
  MovePicker* picker = MainPicker(1);
  MoveList generated;
  generated.count = 0;
  GenQuiets(pos.get(), &generated, picker->pinData[0], picker->pinData[1]);
  std::vector<Move> expected = Moves(generated);
  ASSERT_GT(expected.size(), 3u);
  std::reverse(expected.begin() + 1, expected.end());

  std::vector<Move> quiets;
  for (Move m : DrainMain(picker))
    if (!IsTactical(m)) quiets.push_back(m);
  EXPECT_EQ(Texts(quiets), Texts(expected));
}

TEST_F(PickerTest, QuietOrderWithTiedScoresMatchesThePlainSelection) {
  // Three history values, so that ties are everywhere: the order must be the
  // plain selection's (entry 0 unless a later entry, scanned from the back,
  // scores strictly higher; then the last entry takes the front), although
  // the picker skips the scans once only the lowest-scored moves are left.
  Random rng{777};
  int checked = 0;
  for (const Position& start : RandomGamePositions(12, 60, 0x5EEDull)) {
    *pos = start;
    for (i32& h : engine->stats.historyScore) h = i32(rng.Below(3));
    plies[1].hashMove = plies[1].mateKiller = plies[1].killers[0] = plies[1].killers[1] = NoMove;
    MovePicker* picker = MainPicker(1);
    if (picker->stages == StageBit(StageEvasions)) continue;
    MoveList list;
    list.count = 0;
    GenQuiets(pos.get(), &list, picker->pinData[0], picker->pinData[1]);
    for (int i = 0; i < list.count; ++i)
      list.score[i] = engine->stats.historyScore[HistoryIndex(pos->side, list.move[i])];
    std::vector<Move> expected;
    for (int n = list.count; n > 0; --n) {
      int best = 0;
      for (int i = n - 1; i >= 1; --i) best = list.score[i] > list.score[best] ? i : best;
      expected.push_back(list.move[best]);
      list.move[best] = list.move[0], list.score[best] = list.score[0];
      list.move[0] = list.move[n - 1], list.score[0] = list.score[n - 1];
    }
    std::vector<Move> quiets;
    for (Move m : DrainMain(picker))
      if (!IsTactical(m)) quiets.push_back(m);
    ASSERT_EQ(Texts(quiets), Texts(expected)) << FenOf(pos.get());
    ++checked;
  }
  EXPECT_GT(checked, 500);
}

TEST_F(PickerTest, StageOrderWithHashMoveMateKillerAndFourKillers) {
  Load(CaptureFen);
  const int ply = 4;
  plies[ply].hashMove = M("c3d5");
  plies[ply].mateKiller = M("b2b5");
  plies[ply].killers[0] = M("g1h1");      // k0
  plies[ply].killers[1] = M("g1f1");      // k1
  plies[ply - 2].killers[0] = M("g1h2");  // k2
  plies[ply - 2].killers[1] = M("b2a3");  // k3
  Random rng{77};
  for (i32& h : engine->stats.historyScore) h = i32(rng.Below(5000));

  const std::vector<Move> moves = DrainMain(MainPicker(ply));
  const Names text = Texts(moves);
  EXPECT_EQ(Slice(text, 0, 9),
            (Names{"c3d5", "b2b5", "e4d5", "g5e6", "b2b6", "g1h1", "b2a3", "g1h2", "g1f1"}));

  // The rest are the other quiet moves, by falling history score.
  EXPECT_EQ(Sorted(moves), Sorted(LegalMoves(pos.get())));
  for (size_t i = 10; i < moves.size(); ++i) {
    EXPECT_FALSE(IsTactical(moves[i]));
    EXPECT_GE(engine->stats.historyScore[HistoryIndex(White, moves[i - 1])],
              engine->stats.historyScore[HistoryIndex(White, moves[i])])
        << text[i - 1] << " before " << text[i];
  }
}

TEST_F(PickerTest, OnlyTheOwnKillersBelowPlyFour) {
  Load(CaptureFen);
  for (int ply = 1; ply <= 3; ++ply) {
    SCOPED_TRACE(ply);
    for (PlyRecord& p : plies) p.killers[0] = p.killers[1] = NoMove;
    plies[size_t(ply)].killers[0] = M("g1h1");
    plies[size_t(ply)].killers[1] = M("g1f1");
    // Killers of every shallower ply must be left alone.
    for (int other = 0; other < ply; ++other) {
      plies[size_t(other)].killers[0] = M("g1h2");
      plies[size_t(other)].killers[1] = M("b2a3");
    }
    // History would bring these two first among the quiet moves.
    std::fill(std::begin(engine->stats.historyScore), std::end(engine->stats.historyScore), 0);
    engine->stats.historyScore[HistoryIndex(White, M("g1h2"))] = 900;
    engine->stats.historyScore[HistoryIndex(White, M("b2a3"))] = 800;

    const Names text = Texts(DrainMain(MainPicker(ply)));
    EXPECT_EQ(Slice(text, 4, 8), (Names{"g1h1", "g1f1", "g1h2", "b2a3"}));
  }
}

TEST_F(PickerTest, MovesFromElsewhereThatAreNotValidAreSkipped) {
  Load(CaptureFen);
  const Move pawnFromE2 = MakeMoveWord(Sq("e2"), Sq("e4"), Pawn, Empty) | MoveDoublePushFlag;
  const Move knightTakesF7 = MakeMoveWord(Sq("g5"), Sq("f7"), Knight, Pawn);
  const Move blockedQueen = MakeMoveWord(Sq("b2"), Sq("h8"), Queen, Empty);
  plies[4].hashMove = pawnFromE2;
  plies[4].mateKiller = knightTakesF7;
  plies[4].killers[0] = blockedQueen;
  plies[4].killers[1] = M("g1h1");
  plies[2].killers[0] = M("g5e6");  // a capture in a killer slot is not tried as a killer
  plies[2].killers[1] = NullMove;

  const std::vector<Move> moves = DrainMain(MainPicker(4));
  const Names text = Texts(moves);
  EXPECT_EQ(Slice(text, 0, 5), (Names{"e4d5", "c3d5", "g5e6", "b2b6", "g1h1"}));
  EXPECT_EQ(Sorted(moves), Sorted(LegalMoves(pos.get())));
}

TEST_F(PickerTest, KillerInTwoSlotsIsHandedOutTwice) {
  Load(CaptureFen);
  plies[4].killers[0] = M("g1h1");
  plies[4].killers[1] = M("g1f1");
  plies[2].killers[0] = M("g1h1");
  plies[2].killers[1] = M("g1f1");
  const Names text = Texts(DrainMain(MainPicker(4)));
  EXPECT_EQ(std::count(text.begin(), text.end(), "g1h1"), 2);
  EXPECT_EQ(std::count(text.begin(), text.end(), "g1f1"), 2);
  EXPECT_EQ(text.size(), LegalMoves(pos.get()).size() + 2);
}

TEST_F(PickerTest, EvasionsHashMoveWinningCapturesQuietsLosingCaptures) {
  Load(EvasionFen);
  plies[1].hashMove = M("f2g2");
  engine->stats.historyScore[HistoryIndex(White, M("c3e4"))] = 300;
  engine->stats.historyScore[HistoryIndex(White, M("d1f3"))] = 200;
  engine->stats.historyScore[HistoryIndex(White, M("f2g2"))] = 100;
  engine->stats.historyScore[HistoryIndex(White, M("h1g1"))] = 50;
  engine->stats.historyScore[HistoryIndex(White, M("h1h2"))] = 10;

  MovePicker* picker = MainPicker(1);
  ASSERT_EQ(picker->stages, StageBit(StageEvasions));
  const std::vector<Move> moves = DrainMain(picker);
  EXPECT_EQ(Texts(moves), (Names{"f2g2", "c3d5", "c3e4", "d1f3", "h1g1", "h1h2", "f2f3", "d1d5"}));
  EXPECT_EQ(picker->evasionCount, 8);
  EXPECT_EQ(picker->stage, u32(StageEvasions));

  // The quiescence search gives a left-over hash move no bonus.
  Load(EvasionFen);
  const std::vector<Move> quiescence = DrainQuiescence(QuiescencePicker(1, true));
  EXPECT_EQ(Texts(quiescence), (Names{"c3d5", "c3e4", "d1f3", "f2g2", "h1g1", "h1h2", "f2f3", "d1d5"}));
}

TEST_F(PickerTest, QuietChecksComeFirstLastThenBackwardsWithoutLosingOnes) {
  // Qa4+, Qd7+ and Qd8+ land on defended squares; Qe2+ and Qh5+ are safe.
  Load("4k3/8/1n6/8/8/8/8/3QK3 w - - 0 1");
  MovePicker* picker = QuiescencePicker(1, true);
  MoveList generated;
  generated.count = 0;
  GenQuietChecks(pos.get(), &generated, picker->pinData[0], picker->pinData[1]);
  std::vector<Move> order = Moves(generated);
  ASSERT_FALSE(order.empty());
  std::reverse(order.begin() + 1, order.end());
  std::vector<std::string> expected;
  for (Move m : order)
    if (Text(m) == "d1e2" || Text(m) == "d1h5") expected.push_back(Text(m));
  ASSERT_EQ(expected.size(), 2u) << "the generator must offer both safe checks";

  EXPECT_EQ(Texts(DrainQuiescence(picker)), expected);
  EXPECT_EQ(picker->checkCountGenerated, generated.count);
}

// Expected number of times the main picker hands out each move: legal moves
// once; a valid quiet killer once more for every further slot holding it.
std::map<Move, int> ExpectedMainCounts(const Position* pos, const MovePicker* picker, bool inCheck) {
  std::map<Move, int> counts;
  for (Move m : LegalMoves(pos)) counts[m] = 1;
  if (inCheck) return counts;
  for (int i = 0; i < 4; ++i) {
    const Move k = picker->killerSlots[i];
    if (k < 2 || k == picker->hashMove || k == picker->mateKiller || IsTactical(k) || !counts.count(k))
      continue;
    bool earlier = false;
    for (int j = 0; j < i; ++j) earlier |= picker->killerSlots[j] == k;
    if (earlier) ++counts[k];
  }
  return counts;
}

TEST_F(PickerTest, EveryLegalMoveExactlyOnceOverRandomGames) {
  const std::vector<Position> positions = RandomGamePositions(36, 80, 0x9E3779B97F4A7C15ull);
  // Candidate moves taken from the games, most of them from other positions.
  std::vector<Move> pool;
  for (size_t i = 0; i < positions.size(); i += 7) {
    const std::vector<Move> moves = LegalMoves(&positions[i]);
    pool.insert(pool.end(), moves.begin(), moves.end());
  }
  ASSERT_FALSE(pool.empty());

  Random rng{12345};
  int inCheck = 0, handedTwice = 0;
  for (size_t n = 0; n < positions.size(); ++n) {
    *pos = positions[n];
    const std::vector<Move> legal = LegalMoves(pos.get());
    auto pick = [&]() -> Move {
      const int r = rng.Below(10);
      if (r < 2) return NoMove;
      if (r < 5) return legal[size_t(rng.Below(int(legal.size())))];
      return pool[size_t(rng.Below(int(pool.size())))];
    };
    const int ply = 1 + rng.Below(8);
    plies[size_t(ply)].hashMove = pick();
    plies[size_t(ply)].mateKiller = pick();
    plies[size_t(ply)].killers[0] = pick();
    plies[size_t(ply)].killers[1] = pick();
    // Two plies up; sometimes repeating a killer of this ply.
    PlyRecord* above = &plies[size_t(ply >= 2 ? ply - 2 : 0)];
    above->killers[0] = rng.Below(3) ? pick() : plies[size_t(ply)].killers[0];
    above->killers[1] = pick();
    for (i32& h : engine->stats.historyScore) h = i32(rng.Below(2000));

    MovePicker* picker = MainPicker(ply);
    const bool check = picker->stages == StageBit(StageEvasions);
    inCheck += check;
    std::map<Move, int> expected = ExpectedMainCounts(pos.get(), picker, check);
    std::map<Move, int> got;
    for (Move m : DrainMain(picker)) ++got[m];
    for (const auto& [m, c] : expected) handedTwice += c > 1;
    ASSERT_EQ(got, expected) << "position " << n;
    EXPECT_LT(NextMove(picker, pos.get(), engine->stats.historyScore), 2u);
  }
  // The sample must hold enough positions in check and duplicated killers.
  EXPECT_GT(inCheck, 20);
  EXPECT_GT(handedTwice, 5);
}

TEST_F(PickerTest, QuiescenceHandsOutLegalMovesOnceOverRandomGames) {
  const std::vector<Position> positions = RandomGamePositions(24, 80, 0xC0FFEEull);
  int quietChecks = 0;
  for (size_t n = 0; n < positions.size(); ++n) {
    *pos = positions[n];
    const std::vector<Move> legal = LegalMoves(pos.get());
    MovePicker* picker = QuiescencePicker(1, true);
    const bool check = picker->stages == StageBit(StageEvasions);
    const std::vector<Move> handed = Sorted(DrainQuiescence(picker));
    ASSERT_TRUE(std::adjacent_find(handed.begin(), handed.end()) == handed.end()) << "position " << n;
    if (check) {
      ASSERT_EQ(handed, Sorted(legal)) << "position " << n;
      continue;
    }
    // Captures and promotions that do not lose material, and safe quiet checks.
    std::vector<Move> expectedTactical;
    for (Move m : legal)
      if (IsTactical(m) && (ExchangeValue[MovePiece(m)] <= ExchangeValue[MoveCaptured(m)] ||
                            StaticExchange(pos.get(), m) >= 0))
        expectedTactical.push_back(m);
    std::sort(expectedTactical.begin(), expectedTactical.end());
    std::vector<Move> tactical;
    for (Move m : handed) {
      ASSERT_TRUE(std::find(legal.begin(), legal.end(), m) != legal.end()) << Text(m) << " position " << n;
      if (IsTactical(m)) {
        tactical.push_back(m);
        continue;
      }
      ++quietChecks;
      EXPECT_GE(StaticExchange(pos.get(), m), 0) << Text(m);
      Position after = *pos;
      UndoRecord undo;
      MakeMove(&after, m, &undo);
      EXPECT_TRUE(IsAttacked(&after, pos->side, after.kingSquare[after.side]))
          << Text(m) << " gives no check";
    }
    ASSERT_EQ(tactical, expectedTactical) << "position " << n;
  }
  EXPECT_GT(quietChecks, 20);
}

}  // namespace
