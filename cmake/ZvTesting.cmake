# Test infrastructure: GoogleTest built from the distribution's sources inside
# each build tree (so it is compiled by the same compiler and flags as the
# code under test, MinGW included), and zv_add_test().

set(ZV_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${ZV_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${ZV_GTEST_SOURCE_DIR}; "
                      "run ./dev deps (package googletest)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
# GoogleTest ignores pthreads on MinGW by itself and uses Win32 primitives, so
# gtest_disable_pthreads is not needed for the posix-thread-model compiler.
add_subdirectory(${ZV_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Seconds a single test binary may run before ctest kills it.
set(ZV_TEST_TIMEOUT 300 CACHE STRING "Per test binary timeout (s)")

# _zv_register_test(<test name> <target> [VAR=value...])
function(_zv_register_test test_name target)
  add_test(NAME ${test_name} COMMAND ${target} WORKING_DIRECTORY ${ZV_BIN_DIR})
  set(env "ZV_BIN_DIR=${ZV_BIN_DIR}" "ZV_SOURCE_DIR=${PROJECT_SOURCE_DIR}" ${ARGN})
  set_tests_properties(${test_name} PROPERTIES
                       ENVIRONMENT "${env}"
                       TIMEOUT ${ZV_TEST_TIMEOUT})
endfunction()

# zv_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [LOCALES])
#
# Builds test binary <name> (linked with gtest_main, gmock, zv_test_support
# and LIBS) into bin/ and registers it with ctest as one entry that runs the
# whole binary in one process.  In the win32 tree ctest runs it through the
# toolchain's emulator (wine).
#
# LOCALES: register two entries instead, <name>.en and <name>.ja, run with
#   LANG/LC_ALL = C.UTF-8 and ja_JP.UTF-8 respectively.  Under Wine this also
#   switches the process's ANSI/OEM code pages (1252 vs 932).
#
# Environment every test receives:
#   ZV_BIN_DIR     the directory holding all built programs and DLLs
#   ZV_SOURCE_DIR  the repository root (fixtures are read from there)
# Both are Unix paths, also under Wine.  Wine maps the Unix root to drive Z:,
# so a Windows test uses "Z:" + path (backslashes or slashes both work);
# zv::test::bin_dir() / source_path() in tests/support do exactly that.
function(zv_add_test)
  cmake_parse_arguments(ARG "LOCALES" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_NAME OR NOT ARG_SOURCES)
    message(FATAL_ERROR "zv_add_test: NAME and SOURCES are required")
  endif()

  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} zv_test_support
                        gmock gtest_main)
  set_target_properties(${ARG_NAME} PROPERTIES
                        RUNTIME_OUTPUT_DIRECTORY ${ZV_BIN_DIR})

  if(ARG_LOCALES)
    _zv_register_test(${ARG_NAME}.en ${ARG_NAME} "LANG=C.UTF-8" "LC_ALL=C.UTF-8")
    _zv_register_test(${ARG_NAME}.ja ${ARG_NAME} "LANG=ja_JP.UTF-8" "LC_ALL=ja_JP.UTF-8")
  else()
    _zv_register_test(${ARG_NAME} ${ARG_NAME})
  endif()
endfunction()

# zv_add_shots(NAME <module>_shots SOURCES <files...> [LIBS <targets...>])
#
# A program that drives a GUI program into the window states worth looking
# at and saves each as a PNG (tests/support/shots.h).  `./dev shots` builds
# the target zv_shots, which depends on all of them, and runs every
# bin/*_shots.exe under Wine in the Japanese locale.
function(zv_add_shots)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} zv_shots zv_test_support)
  set_target_properties(${ARG_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZV_BIN_DIR})
  if(NOT TARGET zv_shots_all)
    add_custom_target(zv_shots_all)
  endif()
  add_dependencies(zv_shots_all ${ARG_NAME})
endfunction()
