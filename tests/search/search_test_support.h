// Shared set-up of the move-ordering and extension tests: tables built once, a
// zeroed engine object with the extension amounts, a node's picker
// prepared the way the search prepares it, and positions from random games.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "search/search.h"
#include "search/state.h"
#include "tests/support.h"

// Positions met along random games from a few varied starting points, each
// with a move to make; positions in check turn up along the way.
inline std::vector<Position> RandomGamePositions(int games, int pliesPerGame, u64 seed) {
  const std::vector<std::string> starts = {
      StartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
  };
  std::vector<Position> out;
  InitBoardTables();
  ForRandomGames(starts, games, pliesPerGame, seed, [&](Position* pos) {
    if (!LegalMoves(pos).empty()) out.push_back(*pos);
  });
  return out;
}

class SearchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitBoardTables(); }

  void SetUp() override {
    engineStore = std::make_unique<EngineState>();
    engine = engineStore.get();
    plies.assign(MaxPly, PlyRecord{});
    for (PlyRecord& p : plies) {
      p.hashMove = NoMove;
      p.mateKiller = NoMove;
      p.killers[0] = p.killers[1] = NoMove;
      p.currentMove = NoMove;
    }
    engine->plies = plies.data();
    pos = std::make_unique<Position>();
  }

  void Load(const char* fen) { ASSERT_TRUE(LoadFen(pos.get(), fen)) << fen; }

  // The legal move named by the text; fails the test when there is none.
  Move M(const char* text) {
    const Move m = FindLegalMove(pos.get(), text);
    EXPECT_GE(m, 2u) << text << " is not legal here";
    return m;
  }

  // Resets the picker and fills it with the node's check, pin and discovery
  // data as the search does before its move loop; returns the check count.
  int Prepare(MovePicker* picker, const Position* p) {
    ResetPicker(picker);
    u64 checkers = 0;
    const int count = Checkers(p, &checkers);
    picker->checkers = checkers;
    PinRays(p, checkers, &picker->pinData[0], &picker->pinData[1]);
    DiscoveredRays(p, &picker->discOrth, &picker->discDiag);
    DirectCheckSquares(p, picker->checkSquares);
    return count;
  }

  // Sets up the ply's picker for the main search and returns it.
  MovePicker* MainPicker(int ply) {
    MovePicker* picker = &plies[size_t(ply)].picker;
    const int checks = Prepare(picker, pos.get());
    InitPicker(engine, picker, ply, checks);
    picker->stages = checks ? StageBit(StageEvasions)
                            : StageBit(StageHashMove) | StageBit(StageMateKiller) | StageBit(StageCaptures) |
                                  StageBit(StageKillers) | StageBit(StageQuiets);
    return picker;
  }

  // Sets up the ply's picker for the quiescence search and returns it.
  MovePicker* QuiescencePicker(int ply, bool withChecks) {
    MovePicker* picker = &plies[size_t(ply)].picker;
    const int checks = Prepare(picker, pos.get());
    picker->inCheckCount = u32(checks);
    picker->stages = checks ? StageBit(StageEvasions)
                            : StageBit(StageCaptures) | (withChecks ? StageBit(StageQuietChecks) : 0);
    return picker;
  }

  // Every move the picker hands out, in order.
  std::vector<Move> Drain(MovePicker* picker, Move (*next)(MovePicker*, const Position*, const i32*)) {
    std::vector<Move> out;
    for (Move m; (m = next(picker, pos.get(), engine->stats.historyScore)) >= 2;) {
      out.push_back(m);
      if (out.size() > 600) break;  // a picker that never ends
    }
    return out;
  }
  std::vector<Move> DrainMain(MovePicker* picker) { return Drain(picker, NextMove); }
  std::vector<Move> DrainQuiescence(MovePicker* picker) { return Drain(picker, NextQuiescenceMove); }

  std::unique_ptr<EngineState> engineStore;
  EngineState* engine = nullptr;
  std::vector<PlyRecord> plies;
  std::unique_ptr<Position> pos;
};
