#!/usr/bin/env bash
# Long game runs that count faults: Tarvo against itself or an installed engine
# at a clock, pondering in part of the games (every round(1/share)-th game).
# After every game a line with the running count of games, crashes, illegal
# moves, time losses and stalls, and the worst clock overshoot (updated every
# ten games by tools/time_overshoot.py over the traffic log, and at the end).
#
#   tools/soak.sh [--games N] [--tc BASE+INC] [--opponent tarvo|/usr/games/glaurung|...]
#                 [--ponder-share 0.25] [--engine build/tarvo] [--out DIR] [--first-game K]
#
# Exits 0 only when Tarvo had no fault. Needs node/npm; the match kit is copied
# to a writable place (SOAK_KIT, default /tmp/match) and installed there once.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
games=20 tc=1+0.01 opponent=tarvo ponder_share=0.25 engine="$root/build/tarvo" out="" first=0
while [ $# -gt 0 ]; do
  case "$1" in
    --games) games="$2"; shift 2 ;;
    --tc) tc="$2"; shift 2 ;;
    --opponent) opponent="$2"; shift 2 ;;
    --ponder-share) ponder_share="$2"; shift 2 ;;
    --engine) engine="$(realpath "$2")"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --first-game) first="$2"; shift 2 ;;
    *) sed -n '2,12p' "$0"; exit 2 ;;
  esac
done

kit_source="${SOAK_KIT_SOURCE:-$root/../shared/tools/match}"
kit="${SOAK_KIT:-/tmp/match}"
if [ ! -d "$kit/node_modules/chess.js" ]; then
  [ -d "$kit_source" ] || { echo "soak: match kit not found at $kit_source (set SOAK_KIT_SOURCE)" >&2; exit 2; }
  mkdir -p "$kit"
  cp -r "$kit_source/." "$kit/"
  (cd "$kit" && npm ci --silent)
fi
[ -x "$engine" ] || { echo "soak: no engine at $engine (build first)" >&2; exit 2; }

out="${out:-$(mktemp -d /tmp/tarvo-soak.XXXXXX)}"
mkdir -p "$out"
log="$out/traffic.log"
echo "soak: log in $log"
status=0
# The engine reads Parameters.txt from its working directory.
node "$root/tools/soak.js" --kit "$kit" --engine "$engine" --engine-dir "$(dirname "$engine")" \
  --opponent "$opponent" --games "$games" --tc "$tc" --ponder-share "$ponder_share" --first-game "$first" --log "$log" || status=$?
python3 "$root/tools/time_overshoot.py" "$log" --engine tarvo || true
exit "$status"
