# The Windows program and the tests that run it, and the Win32 layer, under Wine.
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# The shipped exe carries its runtime: only system DLLs are imported. No time
# stamp in the PE header, so two builds of the same source are byte-identical.
set(ZQ_STATIC_LINK -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)
set(ZQ_SYSTEM_LIBS comctl32 shell32 ole32 user32 gdi32 kernel32)

# C++20 only so that std::wstring is instantiated from the headers rather than
# taken from libstdc++'s prebuilt copy; the code itself is C++17. No exceptions
# and no unwind tables in the product (see ui/out_of_memory.cpp); the one
# function-local static is first reached at start-up, before any thread exists.
# SSE2, which every Windows since 8 requires, for the renaming scan.
set(CMAKE_CXX_STANDARD 20)
set(ZQ_PRODUCT_FLAGS -fno-exceptions -fno-asynchronous-unwind-tables -fno-threadsafe-statics -msse2)

add_library(zelquist_core STATIC
  ${ZQ_PORTABLE_SOURCES}
  engine/config_rewrite.cpp
  ui/internal_error_box.cpp
  engine/run_driver.cpp
  ui/activity_log.cpp
  ui/main_dialog.cpp
  ui/placement.cpp
)
target_include_directories(zelquist_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(zelquist_core PRIVATE ${ZQ_WARNINGS} ${ZQ_PRODUCT_FLAGS})
target_link_libraries(zelquist_core PUBLIC ${ZQ_SYSTEM_LIBS})

# The window's resources, linked into the program and into the in-process
# dialog tests alike. windres reports no dependencies of its own: a change to
# the IDs, the icon or the manifest must still rebuild them.
add_library(zelquist_resources OBJECT res/zelquist.rc)
set_source_files_properties(res/zelquist.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/res/resource.h;${CMAKE_SOURCE_DIR}/res/zelquist.ico;${CMAKE_SOURCE_DIR}/res/zelquist.manifest")

add_executable(Zelquist WIN32 ui/main.cpp ui/out_of_memory.cpp ui/libstdcxx_no_throw.cpp
                        $<TARGET_OBJECTS:zelquist_resources>)
target_compile_options(Zelquist PRIVATE ${ZQ_WARNINGS} ${ZQ_PRODUCT_FLAGS})
# __wrap___cxa_throw is never defined: anything that would throw fails to link.
target_link_options(Zelquist PRIVATE -municode ${ZQ_STATIC_LINK} -s -Wl,--wrap=__cxa_throw)
target_link_libraries(Zelquist PRIVATE zelquist_core)

add_subdirectory(tools/app_driver)
add_subdirectory(tests/win32)
add_subdirectory(bench/win32)
