#!/usr/bin/env bash
# Long game runs that count faults: Tarvo against itself or an installed engine
# at a clock, played by tarvo-match from the project's opening book (both
# colours of each opening). A share of the games is played with Tarvo
# pondering ("go ponder", then "ponderhit" or "stop"). tarvo-match prints a
# progress line with each engine's fault count every ten games and a summary
# per part (faults by kind, worst clock overshoot); the last line adds up
# Tarvo's faults and gives its worst overshoot.
#
#   tools/soak.sh [--games N] [--tc BASE+INC] [--opponent tarvo|/usr/games/glaurung|...]
#                 [--ponder-share 0.25] [--engine build/tarvo] [--match build/tarvo-match]
#                 [--concurrency K] [--timemargin MS] [--out DIR] [--first-opening K]
#
# Exits 0 only when Tarvo had no fault. Logs, PGNs and summaries go to DIR
# (default: a new folder under /tmp).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
games=20 tc=1+0.01 opponent=tarvo ponder_share=0.25 engine="$root/build/tarvo" match="" out=""
first=1 concurrency=1 margin=100
while [ $# -gt 0 ]; do
  case "$1" in
    --games) games="$2"; shift 2 ;;
    --tc) tc="$2"; shift 2 ;;
    --opponent) opponent="$2"; shift 2 ;;
    --ponder-share) ponder_share="$2"; shift 2 ;;
    --engine) engine="$(realpath "$2")"; shift 2 ;;
    --match) match="$(realpath "$2")"; shift 2 ;;
    --concurrency) concurrency="$2"; shift 2 ;;
    --timemargin) margin="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --first-opening) first="$2"; shift 2 ;;
    *) sed -n '2,16p' "$0"; exit 2 ;;
  esac
done
match="${match:-$(dirname "$engine")/tarvo-match}"
[ -x "$engine" ] || { echo "soak: no engine at $engine (build first)" >&2; exit 2; }
[ -x "$match" ] || { echo "soak: no tarvo-match at $match (build first)" >&2; exit 2; }
out="${out:-$(mktemp -d /tmp/tarvo-soak.XXXXXX)}"
# Each engine in a folder of its own: Tarvo writes its weights dump where it runs.
mkdir -p "$out/tarvo" "$out/tarvo2"
echo "soak: logs, PGNs and summaries in $out"

ponder_games=$(awk -v g="$games" -v s="$ponder_share" 'BEGIN { printf "%d", 2 * int(g * s / 2 + 0.5) }')
[ "$ponder_games" -le "$games" ] || ponder_games="$games"
plain_games=$((games - ponder_games))
if [ "$opponent" = tarvo ]; then
  opponent_args=(-engine "cmd=$engine" name=tarvo2 "dir=$out/tarvo2")
  tarvo_names="tarvo tarvo2"
else
  # One search thread (Glaurung starts with two): more threads than cores
  # beside Tarvo's games lose games on time. Engines without the option ignore it.
  opponent_args=(-engine "cmd=$opponent" "name=$(basename "$opponent")" option.Threads=1)
  tarvo_names="tarvo"
fi

# One match: its name, its number of games, and "ponder" or nothing.
play() {
  local part="$1" count="$2" ponder="${3:-}"
  [ "$count" -gt 0 ] || return 0
  echo "soak: $part: $count games at $tc${ponder:+, Tarvo pondering}"
  "$match" -engine "cmd=$engine" name=tarvo "dir=$out/tarvo" $ponder "${opponent_args[@]}" \
    -each "tc=$tc" option.Hash=16 -games "$count" -repeat -concurrency "$concurrency" \
    -openings "file=$root/tools/books/openings.epd" "start=$first" -timemargin "$margin" \
    -ratinginterval 10 -quiet -log "$out/$part.log" -pgnout "$out/$part.pgn" | tee "$out/$part.txt"
}
play plain "$plain_games"
play ponder "$ponder_games" ponder

# Tarvo's faults and its worst overshoot over both parts.
status=0
summary=$(cat "$out"/plain.txt "$out"/ponder.txt 2>/dev/null | awk -v names="$tarvo_names" '
  BEGIN { n = split(names, list, " "); for (i = 1; i <= n; i++) tarvo[list[i]] = 1; worst = "none" }
  $1 == "Faults" && (substr($2, 1, length($2) - 1) in tarvo) {
    for (i = 3; i <= NF; i++) if ($i ~ /^[0-9]+,?$/) { kind = $(i - 1); sub(/,$/, "", $i); count[kind] += $i; total += $i }
  }
  $1 == "Clock" && (substr($2, 1, length($2) - 1) in tarvo) {
    v = $5 + 0; if (worst == "none" || v > worst) worst = v
  }
  END {
    printf "soak done: Tarvo faults %d (illegal %d, malformed %d, crash %d, hang %d, time %d), worst overshoot %s ms\n",
      total, count["move"], count["bestmove"], count["crash"], count["hang"], count["loss"], worst
    exit total > 0
  }') || status=$?
echo "$summary"
exit "$status"
