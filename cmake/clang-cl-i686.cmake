# Visual C++'s 32-bit (x86) build, as far as clang-cl takes it here.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZQ_CLANG_CL_TARGET i686-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl.cmake)
