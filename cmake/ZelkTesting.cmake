# GoogleTest as an installed package: Debian's libgtest-dev natively; for the
# Windows cross build the copy scripts/build-gtest-mingw installs, which the
# windows preset names through GTest_DIR. Without that copy the cross build
# compiles GoogleTest itself from the sources Debian's googletest package
# installs, so that a fresh checkout configures on its own.
set(ZELK_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
if(CMAKE_CROSSCOMPILING)
    find_package(GTest QUIET)
    if(NOT GTest_FOUND)
        if(NOT EXISTS ${ZELK_GTEST_SOURCE}/CMakeLists.txt)
            message(FATAL_ERROR "No GoogleTest for the cross build: run scripts/install-deps "
                                "(or scripts/build-gtest-mingw with the googletest package)")
        endif()
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
        add_subdirectory(${ZELK_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endif()
else()
    find_package(GTest REQUIRED)
endif()
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

# The Python tests import what they share as the package zelk_testing, in
# tests/support: zelk_python_tests(<test>...) puts that folder first on
# their PYTHONPATH.
set(ZELK_PYTHON_SUPPORT ${PROJECT_SOURCE_DIR}/tests/support)
function(zelk_python_tests)
    set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT_MODIFICATION
                 "PYTHONPATH=path_list_prepend:${ZELK_PYTHON_SUPPORT}")
endfunction()
