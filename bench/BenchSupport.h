// Shared pieces of the benchmarks that compare the library with raw SQLite
// C-API calls: error checks of the raw calls, the sample identifiers the
// benchmark databases use, and the build of a cached benchmark database.
#pragma once

#include "database/Schema.h"
#include "framework/CString.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace zenbench {

// Throws with the engine's message when a raw call did not succeed.
inline void Check(int rc, sqlite3* db, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// The user sample identifier of benchmark row number row ("S-000042").
inline CString UserSampleID(int row)
{
    CString id;
    id.Format("S-%06d", row);
    return id;
}

// Builds the database at path anew: the schema through the library, then
// fill(db) adds the rows through the C API in one transaction; the file is
// built under a temporary name and moved into place only when complete, so
// an interrupted build is never mistaken for a cached database.
template <class Fill>
void BuildDatabase(const std::string& path, Fill&& fill)
{
    std::filesystem::remove(path);
    const std::string building = path + ".building";
    std::filesystem::remove(building);
    CString error;
    if (!ZenCreateDatabaseFile(building.c_str(), 1, 9, &error))
        throw std::runtime_error(error.Str());

    sqlite3* raw = nullptr;
    const int rc = sqlite3_open(building.c_str(), &raw);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    Check(rc, db.get(), "open");
    Check(sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr), db.get(), "begin");
    fill(db.get());
    Check(sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr), db.get(), "commit");
    std::filesystem::rename(building, path);
}

} // namespace zenbench
