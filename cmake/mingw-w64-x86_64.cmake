# Cross-builds the Windows engine, pivotta-cli and their tests with Debian's MinGW-w64.
# The POSIX-thread compilers: the win32-thread ones have no std::thread.
# With -DPIVOTTA_QT_KIT=<Qt 6 for MinGW folder> the desktop program and its tests build too.
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
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PIVOTTA_QT_KIT)

# Without Qt, one self-contained .exe each: no libstdc++, libgcc or winpthread DLLs to carry
# along. Beside Qt's DLLs every program shares their C++ runtime DLLs: one runtime in a process.
if(PIVOTTA_QT_KIT)
  # The kit is a find root of its own; moc, rcc and uic come from the host's Qt of the same version.
  list(APPEND CMAKE_FIND_ROOT_PATH ${PIVOTTA_QT_KIT})
  list(APPEND CMAKE_PREFIX_PATH ${PIVOTTA_QT_KIT})
  set(QT_HOST_PATH /usr CACHE PATH "Host Qt 6 with moc, rcc and uic")
  file(GLOB PIVOTTA_HOST_QT_CMAKE_DIR LIST_DIRECTORIES true /usr/lib/*-linux-gnu*/cmake/Qt6HostInfo)
  if(PIVOTTA_HOST_QT_CMAKE_DIR)
    list(GET PIVOTTA_HOST_QT_CMAKE_DIR 0 PIVOTTA_HOST_QT_CMAKE_DIR)
    get_filename_component(PIVOTTA_HOST_QT_CMAKE_DIR ${PIVOTTA_HOST_QT_CMAKE_DIR} DIRECTORY)
    set(QT_HOST_PATH_CMAKE_DIR ${PIVOTTA_HOST_QT_CMAKE_DIR} CACHE PATH "Host Qt 6's CMake packages")
  endif()
else()
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

# ctest runs the .exe files through wine, in a prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
