# 64-bit Arm (Debian's arm64), built on amd64 with g++-aarch64-linux-gnu and
# the :arm64 libraries. scripts/cross runs its programs under qemu-aarch64.
set(ORVALEN_CROSS_GNU_TYPE aarch64-linux-gnu)
set(ORVALEN_CROSS_MULTIARCH aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-multiarch-cross.cmake)
