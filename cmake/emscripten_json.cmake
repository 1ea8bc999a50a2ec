# nlohmann-json for the Emscripten build. The library is header-only standard
# C++, but its package points at the build machine's /usr/include, which
# would put the system's C library headers in front of Emscripten's. So only
# its own folder is made visible, through a link in the build tree.
find_path(LABYRINTH_NLOHMANN_JSON_ROOT nlohmann/json.hpp PATHS /usr/include /usr/local/include
          NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT LABYRINTH_NLOHMANN_JSON_ROOT)
  message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev")
endif()
set(labyrinth_json_include ${CMAKE_BINARY_DIR}/nlohmann-json/include)
file(MAKE_DIRECTORY ${labyrinth_json_include})
file(CREATE_LINK ${LABYRINTH_NLOHMANN_JSON_ROOT}/nlohmann ${labyrinth_json_include}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${labyrinth_json_include})
