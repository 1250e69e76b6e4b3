#!/usr/bin/env bash
# Side-by-side speed of two builds: runs `tarvo bench` of each in turn
# (A, B, A, B, ...) so that both see the same load, then prints every run,
# the best and median nodes per second of each and the ratios B / A.
#
#   tools/compare_speed.sh [--runs N] [--depth D] BASELINE CANDIDATE
#
# BASELINE and CANDIDATE are engine binaries (or build folders holding
# `tarvo`). Default: 5 runs each at the bench's own depth. The two must
# search the same tree: differing node counts are reported and give exit
# status 1. On a shared machine, wrap it in `flock /work/heavy.lock` or
# whatever keeps other heavy jobs off the cores meanwhile.
set -euo pipefail
runs=5
depth=""
usage() { echo "usage: $0 [--runs N] [--depth D] BASELINE CANDIDATE" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) [ $# -ge 2 ] || usage; runs="$2"; shift 2 ;;
    --depth) [ $# -ge 2 ] || usage; depth="$2"; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] || usage
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || usage
[ -z "$depth" ] || [[ "$depth" =~ ^[0-9]+$ ]] || usage

engine() {
  local path="$1"
  [ -d "$path" ] && path="$path/tarvo"
  [ -x "$path" ] || { echo "no engine binary at $1" >&2; exit 2; }
  echo "$path"
}
a=$(engine "$1")
b=$(engine "$2")

# One bench run; prints "nodes nps".
bench() {
  local line
  # The bench's per-position lines go to standard error.
  line=$("$1" bench $depth 2>/dev/null | grep '^Bench:' | tail -n 1)
  [ -n "$line" ] || { echo "no Bench line from $1" >&2; exit 1; }
  awk '{ print $2, $4 }' <<<"$line"
}

a_nps=()
b_nps=()
a_nodes=""
b_nodes=""
printf '%-4s %14s %14s\n' run "A nps" "B nps"
for ((i = 1; i <= runs; ++i)); do
  read -r n1 s1 < <(bench "$a")
  read -r n2 s2 < <(bench "$b")
  a_nodes=$n1
  b_nodes=$n2
  a_nps+=("$s1")
  b_nps+=("$s2")
  printf '%-4d %14d %14d\n' "$i" "$s1" "$s2"
done

# Best and median of a list of numbers (the median of an even count is the
# mean of the two middle values).
stats() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%d %d\n", v[NR], m }'; }
read -r a_best a_median < <(stats "${a_nps[@]}")
read -r b_best b_median < <(stats "${b_nps[@]}")
echo
echo "A: $a ($a_nodes nodes)"
echo "B: $b ($b_nodes nodes)"
printf '%-8s %14s %14s %8s\n' "" "A nps" "B nps" "B / A"
printf '%-8s %14d %14d %8.3f\n' best "$a_best" "$b_best" "$(awk -v x="$b_best" -v y="$a_best" 'BEGIN { print x / y }')"
printf '%-8s %14d %14d %8.3f\n' median "$a_median" "$b_median" "$(awk -v x="$b_median" -v y="$a_median" 'BEGIN { print x / y }')"
if [ "$a_nodes" != "$b_nodes" ]; then
  echo "the node counts differ: the builds do not search the same tree" >&2
  exit 1
fi
