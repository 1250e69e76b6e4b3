#!/usr/bin/env bash
# Runs the Windows engine under Wine through a pipe, as a GUI would: a fresh
# Wine prefix, a fresh folder holding tarvo.exe and Parameters.txt, then the
# UCI session of tools/uci_smoke.py (searches, stop, quit, isready while
# searching). The session goes through tarvo-pipe-relay.exe (beside the engine,
# else in build-win64/): Wine answers PeekNamedPipe only on its own pipes, not on the Unix
# pipe it is started with. When tarvo-bench.exe sits beside the engine, its
# node count must also equal the bench signature of CMakeLists.txt.
#
#   tools/wine_smoke.sh [path/to/tarvo.exe]        default: build-win64/tarvo.exe
#   WINE=wine tools/wine_smoke.sh build-win32/tarvo.exe   (needs wine32)
#
# Needs Debian's wine64 (or wine) and python3. Exit status 1 on any failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="$(realpath "${1:-$root/build-win64/tarvo.exe}")"
relay="$(dirname "$exe")/tarvo-pipe-relay.exe"
[ -f "$relay" ] || relay="$root/build-win64/tarvo-pipe-relay.exe"
[ -f "$exe" ] || { echo "wine smoke: no engine at $exe (cross-build first)" >&2; exit 2; }
[ -f "$relay" ] || { echo "wine smoke: no $relay (cross-build first)" >&2; exit 2; }

# The 64-bit loader itself: the "wine" wrapper prefers a 32-bit loader when
# one is installed, which cannot start on kernels without 32-bit support.
if [ -n "${WINE:-}" ]; then
  wine="$WINE"
elif command -v wine64 >/dev/null; then
  wine=wine64
elif [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
elif command -v wine >/dev/null; then
  wine=wine
else
  echo "wine smoke: no Wine found (apt-get install wine64 wine)" >&2
  exit 2
fi

work="$(mktemp -d)"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
cleanup() {
  if [ -x /usr/lib/wine/wineserver64 ]; then /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  elif command -v wineserver >/dev/null; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

start=$(date +%s)
if ! timeout 300 "$wine" wineboot -i >"$work/wineboot.log" 2>&1; then
  echo "wine smoke: creating the Wine prefix failed:" >&2
  sed 's/^/    /' "$work/wineboot.log" >&2
  exit 1
fi
echo "wine smoke: prefix ready in $(($(date +%s) - start)) s ($wine)"

mkdir "$work/run"
cp "$exe" "$work/run/tarvo.exe"
cp "$relay" "$work/run/"
cp "$root/Parameters.txt" "$work/run/"
status=0
python3 "$root/tools/uci_smoke.py" --cwd "$work/run" -- "$wine" tarvo-pipe-relay.exe tarvo.exe || status=1
# The converted weights must be those of the independent reading of the file
# that the unit tests use (the Windows dump has CRLF line ends).
mkdir "$work/reference"
cp "$root/Parameters.txt" "$work/reference/shipped.txt"
python3 "$root/tests/engine/reference_parameters.py" "$root/Parameters.txt" "$work/reference/shipped.txt"
if [ -f "$work/run/PERSON INIT.txt" ] &&
  cmp -s <(tr -d '\r' <"$work/run/PERSON INIT.txt") "$work/reference/shipped.txt.expected-dump"; then
  echo "ok    PERSON INIT.txt holds the reference conversion of Parameters.txt"
else
  echo "FAIL  PERSON INIT.txt holds the reference conversion of Parameters.txt"
  status=1
fi

bench="$(dirname "$exe")/tarvo-bench.exe"
if [ -f "$bench" ]; then
  signature=$(sed -n 's/^ *set(TARVO_BENCH_SIGNATURE \([0-9]*\)).*/\1/p' "$root/CMakeLists.txt")
  depth=$(sed -n 's/^ *set(TARVO_BENCH_DEPTH \([0-9]*\)).*/\1/p' "$root/CMakeLists.txt")
  if (cd "$work/run" && timeout 600 "$wine" "$bench" "$depth" --expect "$signature" 2>/dev/null); then
    echo "ok    tarvo-bench.exe $depth matches the signature $signature"
  else
    echo "FAIL  tarvo-bench.exe $depth does not give the signature $signature"
    status=1
  fi
fi
exit $status
