#!/bin/sh
# A misbehaving UCI engine for the match runner's tests: it answers the
# handshake like any engine, then fails every search the way its argument says.
#   illegal  answers with a move that is never legal
#   crash    ends at "go"
#   hang     never answers "go" (nor "stop")
#   slow     answers after 600 ms, too late on a shorter clock
#   garbage  prints an over-long line, control bytes, then a malformed bestmove
#   flood    prints without end and never a newline
mode="$1"
while IFS= read -r line; do
  case "$line" in
    uci) printf 'id name fake-%s\nuciok\n' "$mode" ;;
    isready) echo readyok ;;
    quit) exit 0 ;;
    go*)
      case "$mode" in
        illegal) echo "bestmove e1e5" ;;
        crash) exit 3 ;;
        hang) sleep 1000 ;;
        slow) sleep 0.6; echo "bestmove e2e4" ;;
        garbage)
          head -c 200000 /dev/zero | tr '\0' 'x'
          printf '\nbestmove e2e4 but far too long'
          head -c 100000 /dev/zero | tr '\0' 'y'
          printf '\n\001\002\377\376\ninfo score cp\n\nbestmove $$$$\n' ;;
        flood) while :; do printf 'info string xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx'; done ;;
      esac ;;
  esac
done
