# 32-bit Arm with hardware floating point (Debian's armhf, as Raspberry Pi OS
# and many boards run), built on amd64 with g++-arm-linux-gnueabihf and the
# :armhf libraries. scripts/cross runs its programs under qemu-arm.
set(ORVALEN_CROSS_GNU_TYPE arm-linux-gnueabihf)
set(ORVALEN_CROSS_MULTIARCH arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-multiarch-cross.cmake)
# GCC notes at every std::vector of a 64-bit type that its argument passing
# changed in GCC 7.1; everything here is built by one compiler.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
