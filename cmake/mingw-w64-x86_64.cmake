# Cross-builds the Windows engine, pivotta-cli and their tests with Debian's MinGW-w64.
# The POSIX-thread compilers: the win32-thread ones have no std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PIVOTTA_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${PIVOTTA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PIVOTTA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PIVOTTA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PIVOTTA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe each: no libstdc++, libgcc or winpthread DLLs to carry along.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the .exe files through wine, in a prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
