# 32-bit x86 (Debian's i386), built on amd64 with g++-i686-linux-gnu and the
# :i386 libraries (multiarch folder i386-linux-gnu). scripts/cross runs its
# programs natively where the kernel runs 32-bit code, else under qemu-i386.
set(ORVALEN_CROSS_GNU_TYPE i686-linux-gnu)
set(ORVALEN_CROSS_MULTIARCH i386-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/debian-multiarch-cross.cmake)
