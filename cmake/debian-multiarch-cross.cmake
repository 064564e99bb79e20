# Cross-compiling on Debian: Debian's cross compiler for the GNU type
# ORVALEN_CROSS_GNU_TYPE (g++-<type>), and the target's libraries installed
# through multiarch (libicu-dev:arm64 and the like), which live in
# /usr/lib/ORVALEN_CROSS_MULTIARCH beside the build machine's and share the
# headers in /usr/include. Included by the toolchain files of this folder,
# which set both names and the processor.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${ORVALEN_CROSS_GNU_TYPE}-g++)

# Libraries and CMake package files are looked up in the target's multiarch
# folder, not the build machine's; programs (pkg-config) are the build
# machine's.
set(CMAKE_LIBRARY_ARCHITECTURE ${ORVALEN_CROSS_MULTIARCH})

# pkg-config reads the target's .pc files, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${ORVALEN_CROSS_MULTIARCH}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# libfltk1.3-dev installs one fltk-config per architecture, named by its GNU
# type; the plain fltk-config answers for the build machine.
set(FLTK_CONFIG /usr/bin/${ORVALEN_CROSS_GNU_TYPE}-fltk-config
    CACHE FILEPATH "fltk-config of the target architecture")
