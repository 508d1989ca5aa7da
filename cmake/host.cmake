# The native build of the portable core: unit tests under ASan and UBSan, the
# libFuzzer target and the benchmark (optimised, without sanitizers).
set(ZQ_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

function(zq_portable_library name)
  add_library(${name} STATIC ${ZQ_PORTABLE_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${ZQ_WARNINGS} ${ARGN})
  target_link_options(${name} PUBLIC ${ARGN})
endfunction()

zq_portable_library(zq_portable_sanitized ${ZQ_SANITIZE})
zq_portable_library(zq_portable_fast)

add_subdirectory(tests/native)
add_subdirectory(tests/fuzz)
add_subdirectory(bench)

# What only Windows runs, checked here as far as this machine can: the Visual
# C++ side of this CMake project, and the CI workflow of the public home.
add_test(NAME msvc_side_configures COMMAND ${CMAKE_SOURCE_DIR}/scripts/msvc-check)
add_test(NAME workflow_is_valid COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-workflow)
# The scripts that remove folders refuse what is not theirs.
add_test(NAME removals_refuse COMMAND ${CMAKE_SOURCE_DIR}/tests/scripts/removals-refuse)
# The exe as shipped: reproducible, small, hardened, importing system DLLs alone.
add_test(NAME release_exe_as_promised COMMAND ${CMAKE_SOURCE_DIR}/scripts/release-check)
# What the release names as its source is the commit it was built from.
add_test(NAME buildinfo_names_the_commit COMMAND bash -c "commit=\${GITHUB_SHA:-$(git -C '${CMAKE_SOURCE_DIR}' \
rev-parse HEAD)}; grep -xE \"commit \$commit( plus uncommitted changes)?\" '${CMAKE_SOURCE_DIR}/build/release/BUILDINFO'")
set_tests_properties(buildinfo_names_the_commit PROPERTIES DEPENDS release_exe_as_promised)
