# Cross-build for 64-bit Windows with Debian's MinGW-w64 (the posix flavour, for std::thread):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The C and C++ runtimes are linked in, so each .exe runs on its own. Tests run through Wine where it is
# installed (Debian's wine64 puts its loader in Wine's library folder, not on the PATH).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(FROSTMARK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FROSTMARK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FROSTMARK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FROSTMARK_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${FROSTMARK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
find_program(FROSTMARK_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
if(FROSTMARK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FROSTMARK_WINE})
endif()
