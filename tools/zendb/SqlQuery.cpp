// Small direct queries of zendb (see SqlQuery.h), run through plain framework
// recordsets so that they need no bound record.
#include "SqlQuery.h"

#include <cstdlib>

namespace zendb {

std::string SqlConnectString(const std::string& path)
{
    if (!path.empty() && !ZenLocationIsFilePath(path.c_str()))
        return path;
    return "Dbq=" + FormatConnectStringValue(path.c_str()).Str() + ";";
}

int64_t QueryCount(CDatabase& db, const char* sql)
{
    try {
        CRecordset set(&db);
        set.Open(CRecordset::snapshot, sql, CRecordset::readOnly);
        if (set.IsEOF())
            return 0;
        CString text;
        set.GetFieldValue("N", text);
        set.Close();
        return std::strtoll(text.GetString(), nullptr, 10);
    } catch (const CException&) {
        return -1;
    }
}

std::optional<std::pair<int, int>> ReadSchemaVersion(const std::string& path)
{
    try {
        CDatabase db;
        db.OpenEx(SqlConnectString(path).c_str(), CDatabase::openReadOnly | CDatabase::noOdbcDialog);
        CRecordset set(&db);
        set.Open(CRecordset::snapshot, "SELECT MajorVersion, MinorVersion FROM SystemTable", CRecordset::readOnly);
        if (set.IsEOF())
            return std::nullopt;
        CString major;
        CString minor;
        set.GetFieldValue("MajorVersion", major);
        set.GetFieldValue("MinorVersion", minor);
        return std::make_pair(std::atoi(major.GetString()), std::atoi(minor.GetString()));
    } catch (const CException&) {
        return std::nullopt;
    }
}

} // namespace zendb
