# Visual C++'s 64-bit (x64) build, as far as clang-cl takes it here.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZQ_CLANG_CL_TARGET x86_64-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl.cmake)
