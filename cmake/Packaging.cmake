# The Debian package (cpack -G DEB in the build folder): the library with its
# headers, CMake and pkg-config files, the Qt host and zendb in one package
# under /usr. Programs find the library by their relative run path, so the
# library folder is whatever CMAKE_INSTALL_LIBDIR was when configuring (the
# multiarch folder when configured with -DCMAKE_INSTALL_PREFIX=/usr).
set(CPACK_PACKAGE_NAME "zendatabase")
set(CPACK_PACKAGE_VENDOR "Korvane")
set(CPACK_PACKAGE_CONTACT "ZENDatabase developers <zendatabase@example.org>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Data and evaluation library of a micro-hardness testing station, its Qt host and the zendb tool")
set(CPACK_PACKAGE_DESCRIPTION
  "Keeps samples, test patterns, profile runs and indents in an SQLite file, computes Vickers and Knoop \
hardness with Rockwell conversions and evaluates hardness-depth profiles. zendb administers the file, \
imports and evaluates runs and writes reports.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")
# The windows of `zendb gui` need Qt's platform plugins; the reports draw
# with DejaVu Sans; Qt's own texts in the operator's language come from
# qt6-translations-l10n.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, fonts-dejavu-core, qt6-translations-l10n")

# The shared libraries the files link against decide the dependencies when
# dpkg-shlibdeps (dpkg-dev) is there; otherwise the Debian 12 names are given.
find_program(ZEN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZEN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(zen_deb_depends "libc6, libstdc++6, libgcc-s1, libsqlite3-0, libpq5, libsodium23")
  if(ZEN_BUILD_TOOLS)
    string(APPEND zen_deb_depends ", libcairo2, libfontconfig1, libzint2.11")
  endif()
  if(TARGET ZENDatabaseQt)
    string(APPEND zen_deb_depends ", libqt6widgets6, libqt6gui6, libqt6core6")
  endif()
  if(ZEN_SANITIZE)
    string(APPEND zen_deb_depends ", libasan8, libubsan1")
  endif()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${zen_deb_depends}")
endif()

set(CPACK_GENERATOR "DEB")
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
