# The shipped program: 32-bit Windows, run under the 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZQ_MINGW_TRIPLE i686-w64-mingw32)
set(ZQ_WINE_ARCH x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
