#!/bin/sh
# A UCI engine for the labeller's tests, whose scores tell what it was sent.
#   score  "score cp 10g+7" from the side to move's view, g the number of
#          "ucinewgame" lines so far, after a first, shallower score
#   mate   "score mate -3"
#   hang   never answers "go" when the file named by $2 is missing (and then
#          makes it, so that the engine started next time answers)
mode="$1"
games=0
while IFS= read -r line; do
  case "$line" in
    uci) printf 'id name fake-scorer\nuciok\n' ;;
    isready) echo readyok ;;
    ucinewgame) games=$((games + 1)) ;;
    quit) exit 0 ;;
    go*)
      case "$mode" in
        mate) echo "info depth 9 score mate -3 pv e2e4" ;;
        hang) if [ ! -e "$2" ]; then : > "$2"; sleep 1000; fi; echo "info score cp 5" ;;
        *) echo "info depth 1 score cp 3"; echo "info depth 2 score cp $((games * 10 + 7)) nodes 9" ;;
      esac
      echo "bestmove e2e4" ;;
  esac
done
