#!/usr/bin/env bash
# Side-by-side speed of two builds: runs `tarvo bench` of each in turn
# (A then B, B then A, ...) so that both see the same load, then prints every
# run, the best and median nodes per second of each, the ratios B / A, and the
# median of the ratios within each run (processor time) with its quartiles.
#
#   tools/compare_speed.sh [--runs N] [--depth D] BASELINE CANDIDATE
#
# BASELINE and CANDIDATE are engine binaries (or build folders holding
# `tarvo`). Default: 5 runs each at the bench's own depth. The two must
# search the same tree: differing node counts are reported and give exit
# status 1. On a shared machine, wrap it in `flock /work/heavy.lock` or
# whatever keeps other heavy jobs off the cores meanwhile; when the machine is
# busy all the same, the processor-time figures ("cpu") are the steadier ones.
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

# One bench run; prints "nodes nps cpu-nps": the engine's own figure (wall
# clock) and the nodes per second of processor time (user + system, start-up
# included), which a busy machine disturbs much less.
bench() {
  local line cpu
  # The bench's per-position lines go to standard error.
  line=$(/usr/bin/time -f 'CPU %U %S' -o "$work/time" "$1" bench $depth 2>/dev/null | grep '^Bench:' | tail -n 1)
  [ -n "$line" ] || { echo "no Bench line from $1" >&2; exit 1; }
  cpu=$(awk '/^CPU/ { print $2 + $3 }' "$work/time")
  awk -v cpu="$cpu" '{ printf "%s %s %d\n", $2, $4, (cpu > 0 ? $2 / cpu : 0) }' <<<"$line"
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

a_nps=()
b_nps=()
a_cpu=()
b_cpu=()
a_nodes=""
b_nodes=""
printf '%-4s %14s %14s %14s %14s\n' run "A nps" "B nps" "A cpu nps" "B cpu nps"
pair_ratios=()
for ((i = 1; i <= runs; ++i)); do
  # Each run's two benches follow each other, the order alternating, so that
  # neither build always sees the machine as the other left it.
  if ((i % 2)); then
    read -r n1 s1 c1 < <(bench "$a")
    read -r n2 s2 c2 < <(bench "$b")
  else
    read -r n2 s2 c2 < <(bench "$b")
    read -r n1 s1 c1 < <(bench "$a")
  fi
  pair_ratios+=("$(awk -v x="$c2" -v y="$c1" 'BEGIN { printf "%.4f", (y > 0 ? x / y : 0) }')")
  a_nodes=$n1
  b_nodes=$n2
  a_nps+=("$s1")
  b_nps+=("$s2")
  a_cpu+=("$c1")
  b_cpu+=("$c2")
  printf '%-4d %14d %14d %14d %14d\n' "$i" "$s1" "$s2" "$c1" "$c2"
done

# Best and median of a list of numbers (the median of an even count is the
# mean of the two middle values).
stats() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%d %d\n", v[NR], m }'; }
read -r a_best a_median < <(stats "${a_nps[@]}")
read -r b_best b_median < <(stats "${b_nps[@]}")
read -r a_cpu_best a_cpu_median < <(stats "${a_cpu[@]}")
read -r b_cpu_best b_cpu_median < <(stats "${b_cpu[@]}")
ratio() { awk -v x="$1" -v y="$2" 'BEGIN { printf "%.3f", x / y }'; }
echo
echo "A: $a ($a_nodes nodes)"
echo "B: $b ($b_nodes nodes)"
printf '%-12s %14s %14s %8s\n' "" "A" "B" "B / A"
printf '%-12s %14d %14d %8s\n' "best nps" "$a_best" "$b_best" "$(ratio "$b_best" "$a_best")"
printf '%-12s %14d %14d %8s\n' "median nps" "$a_median" "$b_median" "$(ratio "$b_median" "$a_median")"
printf '%-12s %14d %14d %8s\n' "best cpu" "$a_cpu_best" "$b_cpu_best" "$(ratio "$b_cpu_best" "$a_cpu_best")"
printf '%-12s %14d %14d %8s\n' "median cpu" "$a_cpu_median" "$b_cpu_median" "$(ratio "$b_cpu_median" "$a_cpu_median")"
# The ratio within each run: a load that drifts over minutes touches both
# benches of a run alike. Its quartiles show how far the machine's noise
# reaches; a gain inside them is not shown.
printf '%s\n' "${pair_ratios[@]}" | sort -n |
  awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
         lo = v[int((NR + 3) / 4)]; hi = v[NR + 1 - int((NR + 3) / 4)];
         printf "%-12s %14s %14s %8.3f  (quartiles %.3f .. %.3f over %d runs)\n", "run ratio", "", "", m, lo, hi, NR }'
if [ "$a_nodes" != "$b_nodes" ]; then
  echo "the node counts differ: the builds do not search the same tree" >&2
  exit 1
fi
