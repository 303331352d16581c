// Shared setup of the recordset tests: a new database at a given schema
// version (a file in a temporary folder, or a database of its own on the test
// server), opened through the SQL layer, and small helpers to read columns and
// rows directly.
#pragma once

#include "EngineTestSupport.h"
#include "TestSupport.h"

#include "database/Schema.h"
#include "framework/CMapStringToPtr.h"
#include "framework/CString.h"
#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace rstest {

// A fresh database of engine with the station schema at 1.minor, made by the
// library (ZenCreateDatabaseSchema), and an open connection to it. Throws when
// the database cannot be made; a test on the server calls ZEN_REQUIRE_ENGINE
// before it makes one.
class CTestDatabase {
public:
    explicit CTestDatabase(int minor = 9) : CTestDatabase(zentest::ETestEngine::Sqlite, minor) {}
    explicit CTestDatabase(zentest::ETestEngine engine, int minor = 9) : m_database(engine)
    {
        if (m_database.ConnectString().IsEmpty())
            throw std::runtime_error(std::string(zentest::EngineName(engine)) + " database not made");
        CString error;
        if (!ZenCreateDatabaseSchema(m_database.ConnectString(), 1, minor, &error))
            throw std::runtime_error(std::string("schema not created: ") + error.GetString());
        m_db.OpenEx(m_database.ConnectString(), CDatabase::noOdbcDialog);
    }

    CDatabase& Db() { return m_db; }
    CDatabase* operator->() { return &m_db; }
    zentest::ETestEngine Engine() const { return m_database.Engine(); }
    zentest::CEngineQuirks Quirks() const { return zentest::EngineQuirks(m_database.Engine()); }

private:
    zentest::CTestDatabase m_database;
    CDatabase m_db;
};

// A suite run on each engine (TEST_P, instantiated over zentest::AllEngines()):
// m_db is a fresh database of the test's engine; the test skips, saying why,
// when the engine is not available here.
class CEngineTest : public ::testing::TestWithParam<zentest::ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_db = std::make_unique<CTestDatabase>(GetParam());
    }
    zentest::CEngineQuirks Quirks() const { return zentest::EngineQuirks(GetParam()); }

    std::unique_ptr<CTestDatabase> m_db;
};

// Test name suffix of a suite parameterised by engine: "SQLite", "PostgreSQL".
inline std::string EngineParamName(const ::testing::TestParamInfo<zentest::ETestEngine>& info)
{
    return zentest::EngineName(info.param);
}

// Column names of a result, in order.
inline std::vector<std::string> ColumnNames(CDatabase& db, const CString& sql)
{
    CRecordset rs(&db);
    rs.Open(CRecordset::dynaset, sql, CRecordset::none);
    std::vector<std::string> names;
    for (short i = 0; i < rs.GetODBCFieldCount(); ++i) {
        CODBCFieldInfo info;
        rs.GetODBCFieldInfo(i, info);
        names.push_back(info.m_strName.Str());
    }
    return names;
}

// A column value as text: numbers in decimal, "" for NULL, "<n bytes>" for binary.
inline std::string VariantText(const CDBVariant& v)
{
    switch (v.m_dwType) {
    case DBVT_NULL: return "";
    case DBVT_BOOL: return std::to_string(v.m_boolVal);
    case DBVT_UCHAR: return std::to_string(v.m_chVal);
    case DBVT_SHORT: return std::to_string(v.m_iVal);
    case DBVT_LONG: return std::to_string(v.m_lVal);
    case DBVT_SINGLE: return std::to_string(v.m_fltVal);
    case DBVT_DOUBLE: return std::to_string(v.m_dblVal);
    case DBVT_STRING:
    case DBVT_ASTRING:
    case DBVT_WSTRING: return v.m_pstring->Str();
    case DBVT_BINARY: return "<" + std::to_string(v.m_pbinary->GetSize()) + " bytes>";
    case DBVT_DATE: {
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", v.m_pdate->year,
                      v.m_pdate->month, v.m_pdate->day, v.m_pdate->hour, v.m_pdate->minute,
                      v.m_pdate->second);
        return text;
    }
    default: return "?";
    }
}

// The first column of every row as text ("" for NULL).
inline std::vector<std::string> FirstColumn(CDatabase& db, const CString& sql)
{
    CRecordset rs(&db);
    rs.Open(CRecordset::dynaset, sql, CRecordset::none);
    std::vector<std::string> values;
    while (!rs.IsEOF()) {
        CDBVariant value;
        rs.GetFieldValue(static_cast<short>(0), value);
        values.push_back(VariantText(value));
        rs.MoveNext();
    }
    return values;
}

// Frees the CODBCFieldInfo records of a table-configuration map.
inline void FreeColumnMap(CMapStringToPtr& map)
{
    POSITION pos = map.GetStartPosition();
    while (pos != nullptr) {
        CString key;
        void* value = nullptr;
        map.GetNextAssoc(pos, key, value);
        delete static_cast<CODBCFieldInfo*>(value);
    }
    map.RemoveAll();
}

} // namespace rstest
