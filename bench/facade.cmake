# The facade's benchmark measures against raw SQLite C-API calls as its
# baseline, so it links SQLite itself. Its 100,000-sample database is cached
# in the build folder between runs.
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
target_link_libraries(bench_facade PRIVATE PkgConfig::SQLITE3)
target_compile_definitions(bench_facade PRIVATE ZEN_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
