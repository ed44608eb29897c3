# Cross-builds for arm64 Linux with Debian's g++-aarch64-linux-gnu; CTest runs
# the results under qemu-user (qemu-aarch64), with the cross C library.
# Usage: cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(_triplet aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
# "max" has every instruction the emulator knows, the SHA1 ones among them.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -cpu max -L /usr/${_triplet})
