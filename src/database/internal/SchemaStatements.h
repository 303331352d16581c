// The station tables as the schema of new files defines them, for the
// operations that build a schema into a database of their own (the copy
// between engines) instead of creating a new file.
#pragma once

#include "framework/CString.h"

#include <vector>

namespace zendb_schema {

struct CStationTable {
    CString name;      // as created, e.g. "Samples"
    CString keyColumn; // plain name of its auto-numbered key; empty when it has none
};

// The thirteen station tables in the order of creation (parents before
// their children).
std::vector<CStationTable> StationTables();

// CREATE TABLE of every station table at schema 1.minor (6 .. 9) and the
// lookup indexes, in the dialect the library writes (TranslateSql makes them
// the engine's). The unique index of the sample identifiers is not among
// them (zendb_ident::kCreateIndexSql).
std::vector<CString> CreateTableStatements(int minor);

} // namespace zendb_schema
