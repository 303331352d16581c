// Shared setup of the persistent-record operation tests: a new database of the
// test's engine (a file in a temporary folder, or a database of its own on the
// test server) with the station schema, opened through the SQL layer, with the
// scripted UI host recording every message box, and helpers to count rows.
#pragma once

#include "EngineTestSupport.h"
#include "TestSupport.h"

#include "database/Schema.h"
#include "framework/CObList.h"
#include "framework/CString.h"
#include "framework/UIHost.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace opstest {

// Run on each engine: TEST_P, and INSTANTIATE_TEST_SUITE_P(Engines, Suite,
// ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName); a
// suite of one engine only instantiates with that engine and says so in its
// name. The test skips, saying why, when its engine is not available here.
class COpsTest : public ::testing::TestWithParam<zentest::ETestEngine> {
protected:
    COpsTest() : m_scope(&m_host) {}
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(m_database->ConnectString().IsEmpty());
        CString error;
        ASSERT_TRUE(ZenCreateDatabaseSchema(m_database->ConnectString(), 1, 9, &error)) << error.Str();
        m_db.OpenEx(m_database->ConnectString(), CDatabase::noOdbcDialog);
    }
    void TearDown() override { m_db.Close(); }

    zentest::CEngineQuirks Quirks() const { return zentest::EngineQuirks(GetParam()); }
    // What CDatabase::OpenEx takes for a second connection to the same database.
    const CString& ConnectString() const { return m_database->ConnectString(); }
    // The database file (SQLite only).
    const std::string& Path() const { return m_database->Name(); }

    // The first column of the first row as an integer (NULL and no row: -999).
    int32_t Scalar(const char* sql)
    {
        CRecordset rs(&m_db);
        rs.Open(CRecordset::dynaset, sql, CRecordset::none);
        if (rs.IsEOF())
            return -999;
        CDBVariant value;
        rs.GetFieldValue(static_cast<short>(0), value);
        switch (value.m_dwType) {
        case DBVT_LONG: return value.m_lVal;
        case DBVT_SHORT: return value.m_iVal;
        case DBVT_BOOL: return value.m_boolVal;
        default: return -999;
        }
    }

    int32_t Count(const char* table, const char* where = "")
    {
        CString sql;
        sql.Format("SELECT COUNT(*) FROM %s %s", table, where);
        return Scalar(sql);
    }

    // The texts of the message boxes shown so far.
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& message : m_host.GetMessages())
            texts.push_back(message.text.GetString());
        return texts;
    }

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
    CScriptedUIHost m_host;
    CUIHostScope m_scope;
};

// Test name suffix of a suite parameterised by engine: "SQLite", "PostgreSQL".
inline std::string EngineParamName(const ::testing::TestParamInfo<zentest::ETestEngine>& info)
{
    return zentest::EngineName(info.param);
}

// Deletes the elements of an object list and empties it.
inline void FreeList(CObList& list)
{
    POSITION pos = list.GetHeadPosition();
    while (pos != nullptr)
        delete list.GetNext(pos);
    list.RemoveAll();
}

// The elements of an object list as T (nullptr where the cast fails).
template <class T>
std::vector<T*> Elements(const CObList& list)
{
    std::vector<T*> elements;
    POSITION pos = list.GetHeadPosition();
    while (pos != nullptr)
        elements.push_back(dynamic_cast<T*>(list.GetNext(pos)));
    return elements;
}

// Owns the elements of a list for the length of a test.
class COwnedList : public CObList {
public:
    ~COwnedList() override { FreeList(*this); }
};

} // namespace opstest
