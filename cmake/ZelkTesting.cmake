# GoogleTest as an installed package: Debian's libgtest-dev natively; for the
# Windows cross build the copy scripts/build-gtest-mingw installs, which the
# windows preset names through GTest_DIR.
find_package(GTest REQUIRED)
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
