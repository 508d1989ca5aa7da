# The same program for 64-bit Windows, run under the 64-bit Wine: the build
# that is tested on every x86-64 machine, those that run no 32-bit programs too.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZQ_MINGW_TRIPLE x86_64-w64-mingw32)
set(ZQ_WINE_ARCH x64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
