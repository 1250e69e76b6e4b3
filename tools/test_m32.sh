#!/usr/bin/env bash
# Builds the 32-bit x86 Linux engine (g++ -m32, SSE2 floating point) with its
# own GoogleTest, then runs the whole test suite (the bench signature
# included) and the perft suite with the 32-bit programs: anything that takes
# 64-bit arithmetic, shifts or printing for granted shows up here.
#
#   tools/test_m32.sh [BUILD_DIR]            default: build-m32/
#   PERFT_MAX_NODES=50000000 tools/test_m32.sh   deeper perft suite
#
# Needs g++-multilib. Where the kernel cannot run 32-bit programs, they run
# under qemu-i386 (package qemu-user).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-m32}"

probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
echo 'int main() { return 0; }' >"$probe/probe.cpp"
if ! g++ -m32 "$probe/probe.cpp" -o "$probe/probe" 2>"$probe/log"; then
  echo "test_m32: g++ cannot build 32-bit programs (apt-get install g++-multilib):" >&2
  sed 's/^/    /' "$probe/log" >&2
  exit 2
fi
emulator=""
if ! "$probe/probe" 2>/dev/null; then
  if ! command -v qemu-i386 >/dev/null; then
    echo "test_m32: this kernel cannot run 32-bit programs and qemu-i386 is missing (apt-get install qemu-user)" >&2
    exit 2
  fi
  emulator=qemu-i386
  echo "test_m32: this kernel cannot run 32-bit programs; they run under qemu-i386"
fi

cmake -S "$root" -B "$dir" --toolchain "$root/cmake/linux-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator"
cmake --build "$dir" -j2
# One test at a time: a few tests measure the engine's reply times.
ctest --test-dir "$dir" --output-on-failure

perft="$dir/tarvo-perft"
[ -z "$emulator" ] || perft="$dir/emulated/tarvo-perft"
"$root/tools/perft_suite.sh" --perft "$perft" --max-nodes "${PERFT_MAX_NODES:-2000000}" --verify-nodes 100000
