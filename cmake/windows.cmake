# The Windows program, and with BUILD_TESTING the tests that run it: built by
# mingw-w64 and run under Wine here, or built by Visual C++ and run directly.
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
set(ZQ_SYSTEM_LIBS comctl32 shell32 ole32 oleaut32 advapi32 user32 gdi32 kernel32)

# The target's word size decides what differs by architecture, never the host.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZQ_MANIFEST_ARCHITECTURE amd64)
  set(ZQ_X86 FALSE)
else()
  set(ZQ_MANIFEST_ARCHITECTURE x86)
  set(ZQ_X86 TRUE)
endif()

# The program runs elevated, so both builds carry the platform's exploit
# mitigations: ASLR, DEP, and on x86 no exception handler that the system has
# not been told of (scripts/release-check reads them back from the PE header).
# x64 has no such handlers: its exceptions unwind through the tables in
# .pdata, which stay in.
if(MSVC)
  # /DYNAMICBASE, /NXCOMPAT (and, on x86, /SAFESEH) are the linker's defaults;
  # added here are Control Flow Guard and output that does not change from
  # build to build. The runtime is linked in statically (CMAKE_MSVC_RUNTIME_LIBRARY).
  set(ZQ_PRODUCT_FLAGS /guard:cf /Brepro)
  set(ZQ_EXE_LINK_FLAGS /guard:cf /Brepro /DYNAMICBASE /NXCOMPAT)
  if(ZQ_X86)
    list(APPEND ZQ_EXE_LINK_FLAGS /SAFESEH)
  endif()
  # The loader finds the exe's own imports in the system folder alone, never
  # beside a downloaded exe. Visual C++'s linker only: lld-link (the clang-cl
  # check here) has no such option.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "MSVC")
    list(APPEND ZQ_EXE_LINK_FLAGS /DEPENDENTLOADFLAG:0x800)
  endif()
  # The resource script carries the manifest; the linker's own would be a second one.
  set(ZQ_MANIFEST_IN_RESOURCES /MANIFEST:NO)
  set(ZQ_WIDE_ENTRY "")
else()
  # C++20 only so that std::wstring is instantiated from the headers rather
  # than taken from libstdc++'s prebuilt copy; the code itself is C++17 (see
  # product_is_cxx17). No exceptions in the product (see ui/out_of_memory.cpp);
  # the one function-local static is first reached at start-up, before any
  # thread exists. SSE2, which every Windows since 8 requires, for the renaming
  # scan.
  set(CMAKE_CXX_STANDARD 20)
  set(ZQ_PRODUCT_FLAGS -fno-exceptions -fno-threadsafe-statics -msse2)
  # The runtime linked in, and no time stamp in the PE header, so that two
  # builds of the same source are byte-identical. mingw-w64's ASLR and DEP are
  # on by default.
  set(ZQ_EXE_LINK_FLAGS -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)
  if(ZQ_X86)
    # Nothing unwinds through x86 frames without exceptions, so no unwind
    # tables; the image installs no SEH handler of its own, which --no-seh
    # tells the system. x64 keeps both its tables and its handlers' records:
    # Windows unwinds every non-leaf x64 function through them.
    list(APPEND ZQ_PRODUCT_FLAGS -fno-asynchronous-unwind-tables)
    list(APPEND ZQ_EXE_LINK_FLAGS -Wl,--no-seh)
  endif()
  set(ZQ_MANIFEST_IN_RESOURCES "")
  set(ZQ_WIDE_ENTRY -municode)
endif()
# Every program and DLL of this build links as the shipped exe does, those of
# the tests and the benchmarks too: none needs a runtime DLL to start.
add_link_options(${ZQ_EXE_LINK_FLAGS})

# The window's resources (template, icons, version) with a manifest made for
# this target's architecture that asks for the given rights. The program asks
# for the highest the user has; anything else built from the same resources
# (the tests) runs as invoked. windres reports no dependencies of its own: a
# change to the IDs, the icon or the manifest must still rebuild them.
function(zq_resources name level)
  set(dir ${CMAKE_BINARY_DIR}/manifest-${name})
  set(ZQ_EXECUTION_LEVEL ${level})
  configure_file(${CMAKE_SOURCE_DIR}/res/zelquist.manifest.in ${dir}/zelquist.manifest @ONLY NEWLINE_STYLE CRLF)
  add_library(${name} OBJECT ${CMAKE_SOURCE_DIR}/res/zelquist.rc)
  target_include_directories(${name} PRIVATE ${dir})
  # A property of the source in the calling folder: call once per folder.
  set_source_files_properties(${CMAKE_SOURCE_DIR}/res/zelquist.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/res/resource.h;${CMAKE_SOURCE_DIR}/res/zelquist.ico;${dir}/zelquist.manifest")
endfunction()

set(ZQ_CORE_SOURCES
  ${ZQ_PORTABLE_SOURCES}
  engine/checked_open.cpp
  engine/config_rewrite.cpp
  engine/run_driver.cpp
  ui/activity_log.cpp
  ui/internal_error_box.cpp
  ui/hardening.cpp
  ui/home_page.cpp
  ui/main_dialog.cpp
  ui/placement.cpp
)
add_library(zelquist_core STATIC ${ZQ_CORE_SOURCES})
target_include_directories(zelquist_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(zelquist_core PRIVATE ${ZQ_WARNINGS} ${ZQ_PRODUCT_FLAGS})
target_link_libraries(zelquist_core PUBLIC ${ZQ_SYSTEM_LIBS})

zq_resources(zelquist_resources highestAvailable)

set(ZQ_ENTRY_SOURCES ui/main.cpp ui/out_of_memory.cpp ui/libstdcxx_no_throw.cpp ui/load_config.cpp)
add_executable(Zelquist WIN32 ${ZQ_ENTRY_SOURCES} $<TARGET_OBJECTS:zelquist_resources>)
target_compile_options(Zelquist PRIVATE ${ZQ_WARNINGS} ${ZQ_PRODUCT_FLAGS})
target_link_options(Zelquist PRIVATE ${ZQ_MANIFEST_IN_RESOURCES} ${ZQ_WIDE_ENTRY})
if(NOT MSVC)
  # Stripped. __wrap___cxa_throw is never defined: anything that would throw
  # fails to link.
  target_link_options(Zelquist PRIVATE -s -Wl,--wrap=__cxa_throw -Wl,-Map=${CMAKE_CURRENT_BINARY_DIR}/Zelquist.map)
  # The load configuration (ui/load_config.cpp) made known to the loader.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(TARGET Zelquist POST_BUILD VERBATIM COMMAND ${Python3_EXECUTABLE}
    ${CMAKE_SOURCE_DIR}/tools/dependent-load-flags $<TARGET_FILE:Zelquist> ${CMAKE_CURRENT_BINARY_DIR}/Zelquist.map)
endif()
target_link_libraries(Zelquist PRIVATE zelquist_core)

if(NOT MSVC)
  # The program is built as C++20 here but must stay C++17 for Visual Studio:
  # its sources compiled once more as C++17, like any target.
  add_library(product_is_cxx17 OBJECT ${ZQ_CORE_SOURCES} ${ZQ_ENTRY_SOURCES})
  set_target_properties(product_is_cxx17 PROPERTIES CXX_STANDARD 17)
  target_include_directories(product_is_cxx17 PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(product_is_cxx17 PRIVATE ${ZQ_WARNINGS} ${ZQ_PRODUCT_FLAGS})
endif()

if(BUILD_TESTING)
  add_subdirectory(tools/app_driver)
  add_subdirectory(tests/win32)
  add_subdirectory(bench/win32)
endif()
