# The Windows program and the tests that run it, and the Win32 layer, under Wine.
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# The shipped exe carries its runtime: only system DLLs are imported. No time
# stamp in the PE header, so two builds of the same source are byte-identical.
set(ZQ_STATIC_LINK -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)
set(ZQ_SYSTEM_LIBS comctl32 shell32 ole32 user32 gdi32 kernel32)

add_library(zelquist_core STATIC
  ${ZQ_PORTABLE_SOURCES}
  engine/config_rewrite.cpp
  engine/internal_error_box.cpp
  engine/run_driver.cpp
  ui/activity_log.cpp
  ui/main_dialog.cpp
  ui/placement.cpp
)
target_include_directories(zelquist_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(zelquist_core PRIVATE ${ZQ_WARNINGS})
target_link_libraries(zelquist_core PUBLIC ${ZQ_SYSTEM_LIBS})

# The window's resources, linked into the program and into the in-process
# dialog tests alike. windres reports no dependencies of its own: a change to
# the IDs, the icon or the manifest must still rebuild them.
add_library(zelquist_resources OBJECT res/zelquist.rc)
set_source_files_properties(res/zelquist.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/res/resource.h;${CMAKE_SOURCE_DIR}/res/zelquist.ico;${CMAKE_SOURCE_DIR}/res/zelquist.manifest")

add_executable(Zelquist WIN32 ui/main.cpp $<TARGET_OBJECTS:zelquist_resources>)
target_compile_options(Zelquist PRIVATE ${ZQ_WARNINGS})
target_link_options(Zelquist PRIVATE -municode ${ZQ_STATIC_LINK} -s)
target_link_libraries(Zelquist PRIVATE zelquist_core)

add_subdirectory(tests/win32)
add_subdirectory(bench/win32)
