# The Visual C++ side of the project, as far as a Linux machine can take it:
# Debian's clang-cl, lld-link and llvm-rc stand in for cl, link and rc, with
# mingw-w64's Windows headers. There is no Visual C++ library here, so CMake's
# own checks compile without linking (scripts/msvc-check says what is proven).
# Included by a toolchain file that names the target (ZQ_CLANG_CL_TARGET).
set(CMAKE_SYSTEM_NAME Windows)

find_program(ZQ_CLANG_CL NAMES clang-cl clang-cl-14 REQUIRED)
find_program(ZQ_LLD_LINK NAMES lld-link lld-link-14 REQUIRED)
find_program(ZQ_LLVM_RC NAMES llvm-rc llvm-rc-14 REQUIRED)
find_program(ZQ_LLVM_MT NAMES llvm-mt llvm-mt-14 REQUIRED)
set(CMAKE_C_COMPILER ${ZQ_CLANG_CL})
set(CMAKE_CXX_COMPILER ${ZQ_CLANG_CL})
set(CMAKE_LINKER ${ZQ_LLD_LINK})
set(CMAKE_RC_COMPILER ${ZQ_LLVM_RC})
set(CMAKE_MT ${ZQ_LLVM_MT})
set(CMAKE_C_COMPILER_TARGET ${ZQ_CLANG_CL_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${ZQ_CLANG_CL_TARGET})

set(ZQ_WINDOWS_HEADERS /usr/share/mingw-w64/include)
set(CMAKE_C_FLAGS_INIT "/imsvc ${ZQ_WINDOWS_HEADERS}")
set(CMAKE_CXX_FLAGS_INIT "/imsvc ${ZQ_WINDOWS_HEADERS}")
set(CMAKE_RC_FLAGS_INIT "/I ${ZQ_WINDOWS_HEADERS}")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
