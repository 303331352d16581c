# The tool tests run the built zendb as a process: its path is compiled in,
# and building the tests builds zendb first.
if(TARGET zendb)
  target_compile_definitions(${target} PRIVATE ZENDB_PATH="$<TARGET_FILE:zendb>")
  add_dependencies(${target} zendb)
else()
  target_compile_definitions(${target} PRIVATE ZENDB_PATH="")
endif()
find_package(nlohmann_json 3.2 REQUIRED)
target_link_libraries(${target} PRIVATE nlohmann_json::nlohmann_json)
target_compile_definitions(${target} PRIVATE ZEN_ARTIFACT_DIR="${CMAKE_BINARY_DIR}/artifacts")
# The catalogue test runs scripts/update-po.sh of the source tree.
target_compile_definitions(${target} PRIVATE ZEN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
# The AQDEF writer of zendb is tested as a unit as well.
target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tools/zendb/Aqdef.cpp)
target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tools)
