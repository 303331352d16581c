# The credential tests make password hashes with other work limits than the
# library's own, through libsodium directly.
pkg_check_modules(ZEN_TEST_SODIUM REQUIRED IMPORTED_TARGET libsodium)
target_link_libraries(${target} PRIVATE PkgConfig::ZEN_TEST_SODIUM)
