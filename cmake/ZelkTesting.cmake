# GoogleTest from the distribution's sources, built with this project's
# compiler so that the same tests run natively and, cross-compiled, under Wine.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# zelk_add_gtest(<target> SOURCES <files...> LIBS <libraries...>)
# Builds one test executable and registers each of its tests with CTest. On
# Windows the tests are discovered when CTest runs (under the emulator), so the
# build itself never needs Wine.
function(zelk_add_gtest target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} zelk_options GTest::gtest_main)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES TIMEOUT 300)
endfunction()
