#!/usr/bin/env bash
# Checks that two builds compute the same things: the static evaluation
# (the console's "eval" breakdown) of every position in the repository's test
# corpora, and the node counts, scores and moves of fixed-depth searches of a
# sample of them. For changes that must leave the search untouched (speed
# work); the bench signature checks only the bench positions.
#
#   tools/compare_builds.sh [--depth D] [--every K] BASELINE CANDIDATE
#
# BASELINE and CANDIDATE are engine binaries (or build folders holding
# `tarvo`). The evaluations cover tests/data/perft.epd,
# tests/data/tune_sample.txt, the FEN fuzz corpus and the bench positions;
# the searches (default depth 8) cover perft.epd and every K-th (default 25th)
# position of tune_sample.txt, each after "ucinewgame". Exit status 1 when
# anything differs; the first differences are shown.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
depth=8
every=25
usage() { echo "usage: $0 [--depth D] [--every K] BASELINE CANDIDATE" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --depth) [ $# -ge 2 ] || usage; depth="$2"; shift 2 ;;
    --every) [ $# -ge 2 ] || usage; every="$2"; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] || usage
[[ "$depth" =~ ^[1-9][0-9]*$ && "$every" =~ ^[1-9][0-9]*$ ]] || usage

engine() {
  local path="$1"
  [ -d "$path" ] && path="$path/tarvo"
  [ -x "$path" ] || { echo "no engine binary at $1" >&2; exit 2; }
  echo "$path"
}
a=$(engine "$1")
b=$(engine "$2")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The positions, one FEN a line.
{
  grep -v '^#' "$root/tests/data/perft.epd" | cut -d';' -f1
  awk '{ print $1, $2, $3, $4, $5, $6 }' "$root/tests/data/tune_sample.txt"
  for f in "$root"/tests/fuzz/corpus/fen/*; do head -n 1 "$f"; echo; done
  grep -o '"[^"]*/[^"]*"' "$root/engine/bench_positions.h" | tr -d '"'
} | sed 's/[[:space:]]*$//' | grep -v '^$' >"$work/all.fen"
{
  grep -v '^#' "$root/tests/data/perft.epd" | cut -d';' -f1
  awk -v k="$every" 'NR % k == 0 { print $1, $2, $3, $4, $5, $6 }' "$root/tests/data/tune_sample.txt"
} | sed 's/[[:space:]]*$//' | grep -v '^$' >"$work/search.fen"

# Runs from the repository's root so that both builds read its Parameters.txt.
run() { (cd "$root" && "$1" <"$2"); }

awk '{ print "position fen " $0; print "eval" }' "$work/all.fen" >"$work/eval.in"
# The search lines keep what the tree decides (depth, score, nodes, moves),
# not the clock.
awk -v d="$depth" '{ print "ucinewgame"; print "position fen " $0; print "go depth " d }' "$work/search.fen" >"$work/search.in"

status=0
compare() {
  local what="$1" label="$2" count="$3"
  if cmp -s "$work/a.$what" "$work/b.$what"; then
    echo "$label: $count positions, identical ($(wc -l <"$work/a.$what") lines)"
  else
    echo "$label: $count positions, DIFFERENT:"
    diff "$work/a.$what" "$work/b.$what" | head -n 20
    status=1
  fi
}

for side in a b; do
  engine_path=$a
  [ "$side" = b ] && engine_path=$b
  run "$engine_path" "$work/eval.in" | grep -v '^info string parameters' >"$work/$side.eval"
  run "$engine_path" "$work/search.in" | grep -E '^(info multipv|bestmove)' |
    sed -E 's/ time [0-9]+//; s/ nps [0-9]+//; s/ hashfull [0-9]+//' >"$work/$side.search"
done
[ -s "$work/a.eval" ] && [ -s "$work/a.search" ] || { echo "no output from $a" >&2; exit 1; }
compare eval "evaluation" "$(wc -l <"$work/all.fen")"
compare search "search to depth $depth" "$(wc -l <"$work/search.fen")"
exit $status
