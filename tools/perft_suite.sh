#!/usr/bin/env bash
# Runs tarvo-perft over every position of tests/data/perft.epd and compares the
# leaf counts with the reference counts stored there, for the full legal
# generator and the staged generators, and optionally with the checking walk.
#
#   tools/perft_suite.sh [--perft PATH] [--max-nodes N] [--verify-nodes N] [--epd FILE]
#
# For each position the deepest listed depth whose count is at most N is run
# (default 50 million); with --verify-nodes M > 0 the deepest depth with at most
# M nodes is also run with --verify. Exit status 1 when any count differs.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
perft="$root/build/tarvo-perft"
epd="$root/tests/data/perft.epd"
max_nodes=50000000
verify_nodes=0
while [ $# -gt 0 ]; do
  case "$1" in
    --perft) perft="$2"; shift 2 ;;
    --max-nodes) max_nodes="$2"; shift 2 ;;
    --verify-nodes) verify_nodes="$2"; shift 2 ;;
    --epd) epd="$2"; shift 2 ;;
    *) echo "usage: $0 [--perft PATH] [--max-nodes N] [--verify-nodes N] [--epd FILE]" >&2; exit 2 ;;
  esac
done
[ -x "$perft" ] || { echo "no perft binary at $perft (build first)" >&2; exit 2; }

# Prints "depth count" of the deepest entry of an EPD line with count <= limit.
deepest() {
  echo "$1" | tr ';' '\n' | awk -v limit="$2" '$1 ~ /^D[0-9]+$/ && $2 + 0 <= limit + 0 { d = substr($1, 2); n = $2 } END { if (d) print d, n }'
}

errors=$(mktemp)
positions=0
failures=0
nodes=0
start=$(date +%s.%N)
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in ''|'#'*) continue ;; esac
  fen="${line%%;*}"
  fen="${fen%"${fen##*[! ]}"}"
  positions=$((positions + 1))
  runs=("$(deepest "$line" "$max_nodes") legal" "$(deepest "$line" "$max_nodes") staged")
  if [ "$verify_nodes" -gt 0 ]; then runs+=("$(deepest "$line" "$verify_nodes") verify"); fi
  for run in "${runs[@]}"; do
    read -r depth expected mode <<<"$run"
    [ -n "${mode:-}" ] || continue
    flag=""
    [ "$mode" = legal ] || flag="--$mode"
    got=$("$perft" "$fen" "$depth" $flag 2>"$errors" | tail -n 1)
    if [ "$got" != "$expected" ]; then
      failures=$((failures + 1))
      echo "MISMATCH $mode depth $depth: got '${got}' expected $expected: $fen"
      sed 's/^/    /' "$errors"
    else
      nodes=$((nodes + got))
    fi
  done
done <"$epd"
rm -f "$errors"
end=$(date +%s.%N)
echo "$positions positions, $failures mismatches, $nodes nodes in $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }') s"
[ "$failures" -eq 0 ]
