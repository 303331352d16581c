# The server benchmark measures against raw libpq calls as its baseline, so it
# links libpq itself (CMakeLists.txt builds it only when libpq is found).
target_link_libraries(bench_pg_server PRIVATE PkgConfig::BENCH_LIBPQ)
