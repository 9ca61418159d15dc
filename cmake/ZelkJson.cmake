# JSON through nlohmann/json from Debian's nlohmann-json3-dev (header-only),
# for the native and the cross build alike. The cross build must not search
# /usr/include, where the host's C library lives, so the target's include
# folder holds nothing but a link to the library's own folder.
set(ZELK_JSON_HEADERS /usr/include/nlohmann CACHE PATH "Folder of nlohmann/json.hpp")
if(NOT EXISTS ${ZELK_JSON_HEADERS}/json.hpp)
    message(FATAL_ERROR "nlohmann/json.hpp not found in ${ZELK_JSON_HEADERS}: "
                        "run scripts/install-deps (package nlohmann-json3-dev)")
endif()
set(ZELK_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${ZELK_JSON_INCLUDE})
if(NOT EXISTS ${ZELK_JSON_INCLUDE}/nlohmann)
    file(CREATE_LINK ${ZELK_JSON_HEADERS} ${ZELK_JSON_INCLUDE}/nlohmann SYMBOLIC)
endif()
add_library(zelk_json INTERFACE)
target_include_directories(zelk_json SYSTEM INTERFACE ${ZELK_JSON_INCLUDE})
