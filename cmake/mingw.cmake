# Cross-compiles the Windows program with Debian's mingw-w64 (posix thread
# model, which GoogleTest needs) for the triple that the including toolchain
# file names, and runs what it builds under the Wine of that architecture.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZQ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZQ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZQ_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZQ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Debian's wine command always takes the 32-bit loader where it is installed,
# so each build names its own loader (scripts/wine-env does the same). Found
# even where it cannot run: the build does not need it, only the tests do.
# (The prefix itself is made by scripts/wine-prefix, for ZQ_WINE_ARCH.)
if(ZQ_WINE_ARCH STREQUAL "x64")
  set(ZQ_WINE_LOADER_NAME wine64)
else()
  set(ZQ_WINE_LOADER_NAME wine)
endif()
# Where it is not installed at all (the 32-bit one may not be), its path is
# still named: the wine_can_start entry then says why nothing ran.
find_program(ZQ_WINE_LOADER ${ZQ_WINE_LOADER_NAME} PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ZQ_WINE_LOADER)
  set(ZQ_WINE_LOADER /usr/lib/wine/${ZQ_WINE_LOADER_NAME})
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZQ_WINE_LOADER})
