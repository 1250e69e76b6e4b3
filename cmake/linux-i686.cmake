# 32-bit x86 Linux build on a 64-bit host (needs g++-multilib). GoogleTest is
# then built from its sources, as the packaged library is 64-bit only. On a
# kernel that cannot run 32-bit programs, add
# -DCMAKE_CROSSCOMPILING_EMULATOR=qemu-i386 (tools/test_m32.sh decides this).
#   cmake -S . -B build-m32 --toolchain cmake/linux-i686.cmake -DCMAKE_BUILD_TYPE=Release
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CXX_FLAGS_INIT -m32)
