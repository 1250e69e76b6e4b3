#!/usr/bin/env bash
# Cross-builds the 64-bit and 32-bit Windows engines with MinGW-w64 and packs
# them into one zip: README.txt (tools/windows/README.txt, written for engine
# users, not the build README), and x64/ and x86/ each holding tarvo.exe with
# its Parameters.txt (the engine reads it from its own folder).
#
#   tools/package_windows.sh [OUTPUT_DIR]        default: out/
#
# Needs g++-mingw-w64-x86-64, g++-mingw-w64-i686 and zip. Build folders are
# build-win64/ and build-win32/; prints the path of the zip.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "${1:-$root/out}" && cd "${1:-$root/out}" && pwd)"
revision=$(git -C "$root" describe --always --dirty 2>/dev/null || echo local)
name="tarvo-windows-$revision"

jobs="$(nproc 2>/dev/null || getconf _NPROCESSORS_ONLN 2>/dev/null || echo 2)"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
for target in "x64 build-win64 mingw-x86_64" "x86 build-win32 mingw-i686"; do
  read -r arch dir toolchain <<<"$target"
  cmake -S "$root" -B "$root/$dir" --toolchain "$root/cmake/$toolchain.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/$dir" -j"$jobs" --target tarvo
  cmake --install "$root/$dir" --prefix "$stage/$name/$arch" --strip >/dev/null
done
# Windows line ends, so that Notepad of every age shows the lines.
sed 's/$/\r/' "$root/tools/windows/README.txt" >"$stage/$name/README.txt"

rm -f "$out/$name.zip"
(cd "$stage" && zip -q -r -X "$out/$name.zip" "$name")
echo "$out/$name.zip"
