# The recordset walk is measured against the raw SQLite C API as its baseline,
# so this benchmark links SQLite itself. Its 100,000-row database is cached in
# the build folder between runs.
pkg_check_modules(BENCH_SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
target_link_libraries(bench_recordset_walk PRIVATE PkgConfig::BENCH_SQLITE3)
target_compile_definitions(bench_recordset_walk PRIVATE
  ZEN_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
