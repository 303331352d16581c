// Shared setup of the facade tests on either engine: a station database of a
// given schema version (a file in a temporary folder, or a database of its own
// on the test server), named to the facade by a real configuration file
// (ZEN_CONFIG), a scripted UI host, and direct SQL access to the database
// through a connection of its own.
#pragma once

#include "EngineTestSupport.h"
#include "TestSupport.h"

#include "database/Schema.h"
#include "database/ZENDatabase.h"
#include "framework/CString.h"
#include "framework/UIHost.h"
#include "framework/sql/Database.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace factest {

using zentest::ETestEngine;

// The connection string of a database file, for the helpers below.
inline std::string FileConnect(const std::string& path)
{
    return "DBQ=" + path + ";";
}

// An environment variable set (or unset, value nullptr) for the object's life.
class CEnvGuard {
public:
    CEnvGuard(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~CEnvGuard()
    {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    CEnvGuard(const CEnvGuard&) = delete;
    CEnvGuard& operator=(const CEnvGuard&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Runs statements and queries on the database that connect names (a
// connection string, see FileConnect) through a connection of its own, opened
// for each call (so that it never holds a lock between calls).
inline void Exec(const std::string& connect, const std::vector<std::string>& statements)
{
    CDatabase db;
    db.OpenEx(connect.c_str(), CDatabase::noOdbcDialog);
    db.BeginTrans();
    for (const std::string& sql : statements)
        db.ExecuteSQL(sql.c_str());
    db.CommitTrans();
}

// A column value as text: numbers in decimal (doubles as %g), "" for NULL.
inline std::string VariantText(const CDBVariant& v)
{
    char text[64];
    switch (v.m_dwType) {
    case DBVT_BOOL: return std::to_string(v.m_boolVal);
    case DBVT_UCHAR: return std::to_string(v.m_chVal);
    case DBVT_SHORT: return std::to_string(v.m_iVal);
    case DBVT_LONG: return std::to_string(v.m_lVal);
    case DBVT_SINGLE: std::snprintf(text, sizeof text, "%g", v.m_fltVal); return text;
    case DBVT_DOUBLE: std::snprintf(text, sizeof text, "%g", v.m_dblVal); return text;
    case DBVT_STRING:
    case DBVT_ASTRING:
    case DBVT_WSTRING: return v.m_pstring->Str();
    case DBVT_DATE:
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", v.m_pdate->year, v.m_pdate->month,
                      v.m_pdate->day, v.m_pdate->hour, v.m_pdate->minute, v.m_pdate->second);
        return text;
    default: return "";
    }
}

// The first column of every row, as text ("" for NULL).
inline std::vector<std::string> Column(const std::string& connect, const std::string& sql)
{
    CDatabase db;
    db.OpenEx(connect.c_str(), CDatabase::noOdbcDialog);
    CRecordset rs(&db);
    rs.Open(CRecordset::dynaset, sql.c_str(), CRecordset::none);
    std::vector<std::string> values;
    while (!rs.IsEOF()) {
        CDBVariant value;
        rs.GetFieldValue(static_cast<short>(0), value);
        values.push_back(VariantText(value));
        rs.MoveNext();
    }
    return values;
}

// Column names of a table, in order.
inline std::vector<std::string> ColumnNames(const std::string& connect, const std::string& table)
{
    CDatabase db;
    db.OpenEx(connect.c_str(), CDatabase::noOdbcDialog);
    CRecordset rs(&db);
    rs.Open(CRecordset::dynaset, ("SELECT * FROM " + table).c_str(), CRecordset::none);
    std::vector<std::string> names;
    for (short i = 0; i < rs.GetODBCFieldCount(); ++i) {
        CODBCFieldInfo info;
        rs.GetODBCFieldInfo(i, info);
        names.push_back(info.m_strName.Str());
    }
    return names;
}

inline std::string Version(const std::string& connect)
{
    const auto major = Column(connect, "SELECT MajorVersion FROM SystemTable");
    const auto minor = Column(connect, "SELECT MinorVersion FROM SystemTable");
    return major.empty() ? std::string() : major[0] + "." + minor[0];
}

// The facade's test bed on one engine: a station database of version 1.minor
// (optionally relabelled as another version), the configuration naming it
// (DatabaseFile= for a file, Server= for a server database), the event log in
// the temporary folder, and a scripted UI host installed. A fixture that
// derives from it and has a SetUp of its own returns at once when
// Ready() is false (the engine is not available here: the test skips).
class CFacadeBed : public ::testing::Test {
protected:
    explicit CFacadeBed(ETestEngine engine) : m_engine(engine) {}

    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(m_engine);
        m_path = m_dir.File("ZEN.mdb");
        m_logPath = m_dir.File("zen.log");
        m_configPath = m_dir.File("zen.ini");
        NewDatabase();
        m_config.emplace("ZEN_CONFIG", m_configPath.c_str());
    }

    bool Ready() const { return !IsSkipped() && !HasFatalFailure(); }

    // Creates the station schema at 1.minor; a given label then replaces the
    // version row.
    void CreateDatabase(int minor = 9, std::optional<std::pair<int, int>> label = std::nullopt)
    {
        CString error;
        const BOOL made = m_engine == ETestEngine::Sqlite
                              ? ZenCreateDatabaseFile(m_path.c_str(), 1, minor, &error)
                              : ZenCreateDatabaseSchema(m_connect.c_str(), 1, minor, &error);
        if (!made)
            throw std::runtime_error(std::string("database not created: ") + error.GetString());
        if (label)
            SetVersion(label->first, label->second);
    }

    // Throws the station database away for an empty one (the file removed, or
    // a new server database that the configuration then names).
    void NewDatabase()
    {
        if (m_engine == ETestEngine::Sqlite) {
            std::filesystem::remove(m_path);
            m_connect = FileConnect(m_path);
            WriteConfig(m_path);
            return;
        }
        m_server.reset();
        m_server = std::make_unique<zentest::CTestDatabase>(m_engine);
        if (m_server->ConnectString().IsEmpty())
            throw std::runtime_error("no server database");
        m_connect = m_server->ConnectString().Str();
        WriteConfig(std::string());
    }

    // An empty database where the station database was: an empty SQLite
    // file, or a new server database without tables.
    void EmptyDatabase()
    {
        NewDatabase();
        if (m_engine == ETestEngine::Sqlite)
            CDatabase::CreateDatabase(m_connect.c_str());
    }

    // A second, new station database of the engine at 1.minor; its
    // connection string. Lives as long as the fixture.
    std::string OtherDatabase(int minor = 9)
    {
        CString error;
        m_others.push_back(std::make_unique<zentest::CTestDatabase>(m_engine));
        const std::string connect = m_others.back()->ConnectString().Str();
        if (connect.empty() || !ZenCreateDatabaseSchema(connect.c_str(), 1, minor, &error))
            throw std::runtime_error(std::string("database not created: ") + error.GetString());
        return connect;
    }

    void SetVersion(int major, int minor)
    {
        Exec(m_connect, {"UPDATE SystemTable SET MajorVersion=" + std::to_string(major) +
                             ", MinorVersion=" + std::to_string(minor)});
    }

    // Names databasePath to the station; on the server engine the server
    // database instead (databasePath is then not used).
    void WriteConfig(const std::string& databasePath)
    {
        const std::string location =
            m_engine == ETestEngine::Sqlite ? "DatabaseFile=" + databasePath : "Server=" + m_connect;
        zentest::WriteFileText(m_configPath, "[Database]\n" + location + "\n[Log]\nFile=" + m_logPath + "\n");
    }

    // OpenDatabase without a login; 1 when open.
    int OpenPlain()
    {
        CString error;
        return m_facade.OpenDatabase(0, "", "", error);
    }

    // Texts of the messages shown so far.
    std::vector<std::string> MessageTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& message : m_host.GetMessages())
            texts.push_back(message.text.Str());
        return texts;
    }

    const ETestEngine m_engine;
    const zentest::CEngineQuirks m_quirks = zentest::EngineQuirks(m_engine);
    zentest::CTempDir m_dir;
    // The database file (SQLite; not used on the server).
    std::string m_path;
    // What CDatabase::OpenEx takes to reach the station database.
    std::string m_connect;
    std::string m_logPath;
    std::string m_configPath;
    std::unique_ptr<zentest::CTestDatabase> m_server;
    std::vector<std::unique_ptr<zentest::CTestDatabase>> m_others;
    std::optional<CEnvGuard> m_config;
    CScriptedUIHost m_host;
    CUIHostScope m_hostScope{&m_host};
    CZENDatabase m_facade;
};

// The test bed on the engine of the test's parameter: TEST_P, instantiated
// with ZEN_FACADE_ENGINES.
class CFacadeTest : public CFacadeBed, public ::testing::WithParamInterface<ETestEngine> {
protected:
    CFacadeTest() : CFacadeBed(GetParam()) {}
};

// The test bed on a database file, for what only a file has (its path in
// log lines, permissions, removal, damage, locks): suites named ..._FileOnly.
class CFacadeFileTest : public CFacadeBed {
protected:
    CFacadeFileTest() : CFacadeBed(ETestEngine::Sqlite) {}
};

inline std::string EngineTestName(const ::testing::TestParamInfo<ETestEngine>& engine)
{
    return zentest::EngineName(engine.param);
}

// The string-table text of an id.
inline std::string Text(UINT id)
{
    CString text;
    text.LoadString(id);
    return text.Str();
}

} // namespace factest

// Runs the TEST_Ps of suite on every engine, the engine's name ending each
// test's name.
#define ZEN_FACADE_ENGINES(suite)                                                                                      \
    INSTANTIATE_TEST_SUITE_P(Engines, suite, ::testing::ValuesIn(zentest::AllEngines()), factest::EngineTestName)
