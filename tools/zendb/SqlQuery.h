// Small direct queries of zendb that no library operation answers: counts for
// `info`, the schema version of a file before it is opened (and upgraded),
// and the connection string of a database file.
#pragma once

#include "ZENDatabase.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace zendb {

// The connection string that opens the database file at path; a server's
// connection string (see ZenLocationIsFilePath) stands as it is.
std::string SqlConnectString(const std::string& path);
// The number in the first column of the first row of a "SELECT COUNT(*) AS N"
// statement; -1 when the statement cannot be run.
int64_t QueryCount(CDatabase& db, const char* sql);
// The schema version stored in the file, read without upgrading it; nullopt
// when the file holds no version row.
std::optional<std::pair<int, int>> ReadSchemaVersion(const std::string& path);

} // namespace zendb
