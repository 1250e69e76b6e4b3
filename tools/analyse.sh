#!/usr/bin/env bash
# Analyses one position with the engine and shows its progress lines and
# bestmove, keeping the engine's input open until the answer arrives.
#
#   tools/analyse.sh [FEN|startpos] [go arguments...]
#   tools/analyse.sh startpos depth 14
#   tools/analyse.sh "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3" movetime 3000
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
engine_dir=${TARVO_DIR:-$here/build}
position=${1:-startpos}
shift || true
limits=${*:-depth 12}

if [ ! -x "$engine_dir/tarvo" ]; then
  echo "analyse.sh: no engine at $engine_dir/tarvo; build it first:" >&2
  echo "  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTARVO_BUILD_TESTS=OFF && cmake --build build -j2 --target tarvo" >&2
  exit 1
fi

if [ "$position" = startpos ]; then
  setup="position startpos"
else
  setup="position fen $position"
fi

coproc ENGINE { cd "$engine_dir" && exec ./tarvo; }
engine_pid=$ENGINE_PID
printf 'uci\nisready\n%s\ngo %s\n' "$setup" "$limits" >&"${ENGINE[1]}"
while IFS= read -r line <&"${ENGINE[0]}"; do
  case "$line" in
    id\ *|option\ *|uciok|readyok) ;;
    *) printf '%s\n' "$line" ;;
  esac
  [[ $line == bestmove* ]] && break
done
printf 'quit\n' >&"${ENGINE[1]}" 2>/dev/null || true
wait "$engine_pid" 2>/dev/null || true
