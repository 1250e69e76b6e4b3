// Staged move picker: each stage generates its moves only when it begins, and
// moves are handed out one at a time by a selection pass over the stage's list.
#include "search/search.h"
#include "search/state.h"

namespace {

// Base of capture scores in the main search: every capture stays positive, and a
// score of at least CaptureBase means the exchange on the square did not lose.
constexpr i32 CaptureBase = 22000;
// Taken off a losing capture's score so that it waits behind every other capture.
constexpr i32 LosingPenalty = 32000;
// Evasion scores: the hash move first, then captures that do not lose material.
constexpr i32 EvasionHashScore = 64000;
constexpr i32 EvasionWinningBonus = 32000;

// Brings the best entry to the front: entry 0 unless a later one, scanned from
// the back, scores strictly higher.
inline void SelectBest(MoveList* list) {
  int best = 0;
  i32 bestScore = list->score[0];
  for (int i = list->count - 1; i >= 1; --i) {
    if (list->score[i] > bestScore) {
      best = i;
      bestScore = list->score[i];
    }
  }
  if (best != 0) {
    const u32 move = list->move[0];
    list->move[0] = list->move[best];
    list->move[best] = move;
    list->score[best] = list->score[0];
    list->score[0] = bestScore;
  }
}

// Whether the capture takes a unit worth at least its taker: it never loses
// material, since the taker's side may stop after it.
inline bool TakesAtLeastItsWorth(Move m) {
  return ExchangeValue[MovePiece(m)] <= ExchangeValue[MoveCaptured(m)];
}

// Removes entry 0; the last entry takes its place.
inline void RemoveFirst(MoveList* list) {
  const int last = --list->count;
  list->move[0] = list->move[last];
  list->score[0] = list->score[last];
}

// Begins the next stage when the current one has nothing left; false when no
// stage is left either.
inline bool AdvanceStage(MovePicker* p) {
  if (p->stages == 0 && p->list.count <= 0) return false;
  p->newStage = p->list.count <= 0;
  if (p->newStage) {
    p->list.count = 0;
    p->stage = u32(BitScan(p->stages));
    p->stages &= p->stages - 1;
  }
  return true;
}

// Whether a move kept from elsewhere (table, killer slot) can be played here.
inline bool IsValidHere(const MovePicker* p, const Position* pos, Move m) {
  return m >= 2 && IsMoveValid(pos, m, p->pinData[0], p->pinData[1]);
}

// Whether the move is one of the four killer candidates.
inline bool IsKillerSlot(const MovePicker* p, Move m) {
  return m == p->killerSlots[0] || m == p->killerSlots[1] || m == p->killerSlots[2] || m == p->killerSlots[3];
}

// Captures of the main search: winning and equal ones by most valuable victim,
// least valuable attacker; losing ones afterwards by their exchange value.
Move NextCapture(MovePicker* p, const Position* pos) {
  MoveList* list = &p->list;
  if (p->newStage) {
    GenCaptures(pos, list, p->pinData[0], p->pinData[1], p->victimMask);
    p->captureCount = list->count;
    for (int i = 0; i < list->count; ++i) {
      const Move m = list->move[i];
      const bool promotion = m & MovePromotionFlag;
      // A capture that cannot lose needs no exchange worked out.
      i32 x = !promotion && TakesAtLeastItsWorth(m) ? 0 : StaticExchange(pos, m);
      if (x >= 0 && !promotion) x = ExchangeValue[MoveCaptured(m)] - MovePiece(m);
      list->score[i] = x + CaptureBase;
    }
  }
  while (list->count > 0) {
    SelectBest(list);
    const Move c = list->move[0];
    const i32 score = list->score[0];
    if (c == p->hashMove || c == p->mateKiller) {
      RemoveFirst(list);
      continue;
    }
    // A deferred capture, or one that cannot lose: a score of at least
    // CaptureBase was given only to captures whose exchange came out >= 0.
    if (score < 0 || TakesAtLeastItsWorth(c) || score >= CaptureBase) {
      RemoveFirst(list);
      return c;
    }
    list->score[0] = score - LosingPenalty;
  }
  return NoMove;
}

// Killer candidates in list order: k0, k3, k2, k1 as the removal rule makes it.
Move NextKiller(MovePicker* p, const Position* pos) {
  MoveList* list = &p->list;
  if (p->newStage) {
    for (const u32 k : p->killerSlots) {
      if (k >= 2 && k != p->hashMove && k != p->mateKiller && !IsTactical(k)) {
        list->move[list->count] = k;
        list->score[list->count] = 0;
        ++list->count;
      }
    }
  }
  while (list->count > 0) {
    const Move c = list->move[0];
    RemoveFirst(list);
    if (IsValidHere(p, pos, c)) return c;
  }
  return NoMove;
}

// Quiet moves by history score, without those handed out by earlier stages.
Move NextQuiet(MovePicker* p, const Position* pos, const i32* historyScore) {
  MoveList* list = &p->list;
  if (p->newStage) {
    GenQuiets(pos, list, p->pinData[0], p->pinData[1]);
    p->quietCount = u32(list->count);
    // The lowest score and how many moves share it (without branches: most
    // moves share it, but which ones is unpredictable).
    i32 lowest = INT32_MAX;
    i32 lowestCount = 0;
    for (int i = 0; i < list->count; ++i) {
      const i32 score = historyScore[HistoryIndex(pos->side, list->move[i])];
      list->score[i] = score;
      const bool below = score < lowest;
      lowestCount = below ? 1 : lowestCount + (score == lowest);
      lowest = below ? score : lowest;
    }
    p->lowestScoreCount = lowestCount;
  }
  p->killerHit = 0;
  while (list->count > 0) {
    // Every lowest-scored move stays until nothing else is left; from then on
    // the scan would always keep entry 0, so it is skipped.
    if (list->count > p->lowestScoreCount) SelectBest(list);
    const Move c = list->move[0];
    RemoveFirst(list);
    if (c == p->hashMove || c == p->mateKiller) continue;
    if (p->killerFilter && IsKillerSlot(p, c)) {
      p->killerHit = 1;
      continue;
    }
    return c;
  }
  return NoMove;
}

// Every legal move in check: the hash move (when it earns the bonus), captures
// that do not lose, quiet moves by history, then losing captures.
Move NextEvasion(MovePicker* p, const Position* pos, const i32* historyScore, bool hashBonus) {
  MoveList* list = &p->list;
  if (p->newStage) {
    GenEvasions(pos, list, p->pinData[0], p->pinData[1], p->checkers, int(p->inCheckCount));
    p->evasionCount = list->count;
    for (int i = 0; i < list->count; ++i) {
      const Move m = list->move[i];
      if (hashBonus && m == p->hashMove) {
        list->score[i] = EvasionHashScore;
      } else if (IsTactical(m)) {
        const i32 x = StaticExchange(pos, m);
        list->score[i] = x >= 0 ? x + EvasionWinningBonus : x;
      } else {
        list->score[i] = historyScore[HistoryIndex(pos->side, m)];
      }
    }
  }
  if (list->count <= 0) return NoMove;
  SelectBest(list);
  const Move c = list->move[0];
  RemoveFirst(list);
  return c;
}

// Captures of the quiescence search; those that lose material are dropped.
Move NextQuiescenceCapture(MovePicker* p, const Position* pos) {
  MoveList* list = &p->list;
  if (p->newStage) {
    GenCaptures(pos, list, p->pinData[0], p->pinData[1], p->victimMask);
    p->captureCount = list->count;
    for (int i = 0; i < list->count; ++i) {
      const Move m = list->move[i];
      list->score[i] =
          (m & MovePromotionFlag) ? ExchangeValue[Queen] : ExchangeValue[MoveCaptured(m)] - MovePiece(m);
    }
  }
  while (list->count > 0) {
    SelectBest(list);
    const Move c = list->move[0];
    RemoveFirst(list);
    if (TakesAtLeastItsWorth(c) || ExchangeAtLeast(pos, c, 0)) return c;
  }
  return NoMove;
}

// Quiet checks whose checking piece is not lost on its square.
Move NextQuietCheck(MovePicker* p, const Position* pos) {
  MoveList* list = &p->list;
  if (p->newStage) {
    GenQuietChecks(pos, list, p->pinData[0], p->pinData[1]);
    p->checkCountGenerated = list->count;
  }
  while (list->count > 0) {
    const Move c = list->move[0];
    RemoveFirst(list);
    if (ExchangeAtLeast(pos, c, 0)) return c;
  }
  return NoMove;
}

}  // namespace

// Node-entry state: no stage begun, nothing generated, every victim allowed.
void ResetPicker(MovePicker* picker) {
  picker->stages = 0;
  picker->list.count = 0;
  picker->victimMask = ~0ull;
  picker->inCheckCount = 0;
  picker->stage = 0;
  picker->killerHit = 0;
  picker->checkCountGenerated = -1;
  picker->evasionCount = -1;
  picker->captureCount = -1;
  picker->current = NoMove;
}

// Loads the node's hash move, mate killer and killer candidates into the picker.
void InitPicker(EngineState* engine, MovePicker* picker, int ply, int checkCount) {
  const PlyRecord* record = &engine->plies[ply];
  picker->inCheckCount = u32(checkCount);
  picker->killerFilter = 1;
  picker->hashMove = record->hashMove;
  picker->mateKiller = record->mateKiller;
  picker->killerSlots[0] = record->killers[0];
  picker->killerSlots[1] = record->killers[1];
  // Killers from two plies up are the same side's moves in a similar position.
  if (ply >= 4) {
    picker->killerSlots[2] = engine->plies[ply - 2].killers[0];
    picker->killerSlots[3] = engine->plies[ply - 2].killers[1];
  } else {
    picker->killerSlots[2] = NoMove;
    picker->killerSlots[3] = NoMove;
  }
}

// Next move of the main search, or NoMove when the node has none left.
Move NextMove(MovePicker* picker, const Position* pos, const i32* historyScore) {
  picker->current = NoMove;
  while (AdvanceStage(picker)) {
    Move m = NoMove;
    switch (picker->stage) {
      case StageHashMove:
        if (IsValidHere(picker, pos, picker->hashMove)) m = picker->hashMove;
        break;
      case StageMateKiller:
        if (picker->mateKiller != picker->hashMove && IsValidHere(picker, pos, picker->mateKiller))
          m = picker->mateKiller;
        break;
      case StageCaptures:
        m = NextCapture(picker, pos);
        break;
      case StageKillers:
        m = NextKiller(picker, pos);
        break;
      case StageQuiets:
        m = NextQuiet(picker, pos, historyScore);
        break;
      case StageEvasions:
        m = NextEvasion(picker, pos, historyScore, true);
        break;
      default:  // a stage this picker does not run
        picker->list.count = 0;
        break;
    }
    if (m >= 2) {
      picker->current = m;
      return m;
    }
  }
  return NoMove;
}

// Next move of the quiescence search, or NoMove when the node has none left.
Move NextQuiescenceMove(MovePicker* picker, const Position* pos, const i32* historyScore) {
  picker->current = NoMove;
  while (AdvanceStage(picker)) {
    Move m = NoMove;
    switch (picker->stage) {
      case StageCaptures:
        m = NextQuiescenceCapture(picker, pos);
        break;
      case StageQuietChecks:
        m = NextQuietCheck(picker, pos);
        break;
      case StageEvasions:
        // The hash move is left over from an earlier node at this ply: no bonus.
        m = NextEvasion(picker, pos, historyScore, false);
        break;
      default:  // a stage this picker does not run
        picker->list.count = 0;
        break;
    }
    if (m >= 2) {
      picker->current = m;
      return m;
    }
  }
  return NoMove;
}
