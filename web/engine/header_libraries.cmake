# The two header-only libraries the core uses, for the browser build: the host's installed headers
# (Debian's libhowardhinnant-date-dev and nlohmann-json3-dev), seen through a folder of their own,
# since the host's include folder itself would put its C library's headers before emscripten's.
find_path(ZENDRIK_DATE_INCLUDE date/date.h PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH
          REQUIRED)
find_path(ZENDRIK_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH
          REQUIRED)
set(ZENDRIK_HEADER_LIBRARIES ${CMAKE_BINARY_DIR}/header-libraries)
file(MAKE_DIRECTORY ${ZENDRIK_HEADER_LIBRARIES})
file(CREATE_LINK ${ZENDRIK_DATE_INCLUDE}/date ${ZENDRIK_HEADER_LIBRARIES}/date SYMBOLIC)
file(CREATE_LINK ${ZENDRIK_JSON_INCLUDE}/nlohmann ${ZENDRIK_HEADER_LIBRARIES}/nlohmann SYMBOLIC)
add_library(date::date INTERFACE IMPORTED)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
# As system headers, so the project's warnings do not apply to them.
set_target_properties(date::date nlohmann_json::nlohmann_json PROPERTIES
                      INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${ZENDRIK_HEADER_LIBRARIES}
                      INTERFACE_INCLUDE_DIRECTORIES ${ZENDRIK_HEADER_LIBRARIES})
