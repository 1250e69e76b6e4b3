#include "eval/eval.h"
#include "search/node.h"
#include "search/search.h"
#include "search/state.h"

namespace {

// Delta pruning: victims whose value cannot bring the score back to alpha.
// Pawns still on their starting rank stay capturable (a capture there is
// usually a defended pawn-storm break, not a lost pawn).
constexpr u64 DeltaPawnRanks[2] = {0x0000FFFFFFFFFFFFull, 0xFFFFFFFFFFFF0000ull};

}  // namespace

bool IsMated(const Position* pos, int checkCount, u64 checkers, const u64 pinData[2]) {
  if (checkCount == 0) return false;
  MoveList evasions;
  evasions.count = 0;
  GenEvasions(pos, &evasions, pinData[0], pinData[1], checkers, checkCount);
  return evasions.count == 0;
}

i32 Quiesce(EngineState* engine, Position* pos, i32 alpha, i32 beta, f32 qdepth, int ply) {
  PlyRecord* node = &engine->plies[ply];
  MovePicker* picker = &node->picker;

  // Every call counts as a node and may poll (the parent evaluated this node
  // already, as in the main search).
  node->pvCount = 0;
  CountNode(engine);
  ResetPicker(picker);

  // An abandoned search unwinds; draws by rule need no search; the last ply
  // record takes the static score.
  if (engine->searchState == SearchStopped) return 0;
  if (IsDrawByRule(pos)) return DrawScore;
  if (ply >= MaxPly - 1) return node->eval;

  if (ply > engine->progress.selDepth) engine->progress.selDepth = ply;
  picker->checkers = node->checkers;
  picker->pinData[0] = node->pinData[0];
  picker->pinData[1] = node->pinData[1];

  // Mate-distance bounds, as in the main search.
  i32 cut;
  if (MateDistanceCut(pos, node, ply, &alpha, &beta, &cut)) return cut;

  // Stand pat: the side to move need not capture, so the static score is a
  // lower bound; captures of pieces too small to lift it to alpha are left
  // out (delta pruning). In check there is no standing pat: every evasion is
  // searched, one ply deeper in checks.
  bool inCheck = node->checkCount != 0;
  i32 eval = node->eval;
  i32 best;
  if (!inCheck) {
    if (eval >= beta) return eval;
    if (eval > alpha) alpha = eval;
    best = eval;
    i32 delta = alpha - eval;
    if (delta >= Constants.deltaMarginPawn) {
      picker->victimMask &= ~(pos->pieces[Pawn] & DeltaPawnRanks[pos->side]);
      if (delta >= Constants.deltaMarginMinor) {
        picker->victimMask &= ~(pos->pieces[Knight] | pos->pieces[Bishop]);
        if (delta >= Constants.deltaMarginRook) {
          picker->victimMask &= ~pos->pieces[Rook];
          if (delta >= Constants.deltaMarginQueen) picker->victimMask &= ~pos->pieces[Queen];
        }
      }
    }
  } else {
    best = -InfiniteScore;
    qdepth = qdepth + Constants.qsCheckExtension;
  }

  // The moves: captures, then quiet checks while the check depth lasts (they
  // find mates and forks the captures miss); only evasions in check.
  bool checks = qdepth >= 1.0f && !inCheck;
  if (inCheck) {
    picker->stages = StageBit(StageEvasions);
    picker->inCheckCount = node->checkCount;
  } else {
    picker->stages = StageBit(StageCaptures) | (checks ? StageBit(StageQuietChecks) : 0);
  }

  // No move: mated in check, otherwise the stand-pat result.
  Move m = NextQuiescenceMove(picker, pos, engine->stats.historyScore);
  if (m < 2) return inCheck ? ply - MateValue : alpha;

  // Search the moves, each child evaluated here before it is searched; fail
  // hard: beta on a cut-off, otherwise the window's lower edge as raised.
  f32 childDepth = DepthMinusOne(qdepth);
  PlyRecord* child = &engine->plies[ply + 1];
  do {
    UndoRecord undo;
    MakeMove(pos, m, &undo);
    SetLazyWindow(child, alpha, beta);
    // A child in check stands no pat, so its static score is needed only
    // where the ply limit returns it.
    if (ply + 1 < MaxPly - 1)
      EvaluateUnlessInCheck(pos, child, engine->weights, engine->pawnTable);
    else
      Evaluate(pos, child, engine->weights, engine->pawnTable);
    i32 v = -Quiesce(engine, pos, -beta, -alpha, childDepth, ply + 1);
    UnmakeMove(pos, m, &undo);
    if (v > best) {
      best = v;
      CopyPv(node, m, child);
      if (v > alpha) {
        alpha = v;
        if (v >= beta) return beta;
      }
    }
    m = NextQuiescenceMove(picker, pos, engine->stats.historyScore);
  } while (m >= 2);
  return alpha;
}
