# Cross-compiling for 64-bit Windows with Debian's mingw-w64, the
# posix-threads flavour (std::thread, std::mutex). Everything is linked
# statically, the C and C++ runtimes and winpthread included, so the
# programs run without any DLL beside them.
#
# QUAV_WIN_DEPS: the prefix holding FFmpeg and PortAudio built for Windows
# (scripts/build-windows-deps).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUAV_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUAV_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUAV_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QUAV_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUAV_MINGW} ${QUAV_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# pkg-config sees only the Windows builds, with what static linking needs.
if(QUAV_WIN_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} "${QUAV_WIN_DEPS}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(PKG_CONFIG_ARGN --static)
