# Cross-compiles the core, the command-line tool and their tests for 64-bit
# Windows with Debian's MinGW-w64 (posix threads, for std::thread), and runs
# what the build and the tests start under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries and headers only from the MinGW tree; package files also from the
# host, for the header-only libraries (see cmake/host_headers.cmake).
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# One .exe that runs alone: no MinGW runtime DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(QUILLSTAMPER_WINE NAMES wine)
if(QUILLSTAMPER_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLSTAMPER_WINE})
endif()
