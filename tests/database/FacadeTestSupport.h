// Shared setup of the facade tests: a database file of a given schema version
// in a temporary folder, named to the facade by a real configuration file
// (ZEN_CONFIG), a scripted UI host, and direct SQL access to the file through
// a connection of its own.
#pragma once

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
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace factest {

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

// Runs statements and queries on a database file through a connection of its
// own, opened for each call (so that it never holds a lock between calls).
inline void Exec(const std::string& path, const std::vector<std::string>& statements)
{
    CDatabase db;
    db.OpenEx(CString("DBQ=") + path.c_str() + ";", CDatabase::noOdbcDialog);
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
inline std::vector<std::string> Column(const std::string& path, const std::string& sql)
{
    CDatabase db;
    db.OpenEx(CString("DBQ=") + path.c_str() + ";", CDatabase::noOdbcDialog);
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
inline std::vector<std::string> ColumnNames(const std::string& path, const std::string& table)
{
    CDatabase db;
    db.OpenEx(CString("DBQ=") + path.c_str() + ";", CDatabase::noOdbcDialog);
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

inline std::string Version(const std::string& path)
{
    const auto major = Column(path, "SELECT MajorVersion FROM SystemTable");
    const auto minor = Column(path, "SELECT MinorVersion FROM SystemTable");
    return major.empty() ? std::string() : major[0] + "." + minor[0];
}

// The facade's test bed: a database file of version 1.minor (optionally
// relabelled as another version), the configuration naming it, the event
// log in the same folder, and a scripted UI host installed.
class CFacadeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir.File("ZEN.mdb");
        m_logPath = m_dir.File("zen.log");
        m_configPath = m_dir.File("zen.ini");
        WriteConfig(m_path);
        m_config.emplace("ZEN_CONFIG", m_configPath.c_str());
    }

    // Creates the file at 1.minor; a given label then replaces the version row.
    void CreateDatabase(int minor = 9, std::optional<std::pair<int, int>> label = std::nullopt)
    {
        CString error;
        if (!ZenCreateDatabaseFile(m_path.c_str(), 1, minor, &error))
            throw std::runtime_error(std::string("database not created: ") + error.GetString());
        if (label)
            SetVersion(label->first, label->second);
    }

    void SetVersion(int major, int minor)
    {
        Exec(m_path, {"UPDATE SystemTable SET MajorVersion=" + std::to_string(major) +
                          ", MinorVersion=" + std::to_string(minor)});
    }

    void WriteConfig(const std::string& databasePath)
    {
        zentest::WriteFileText(m_configPath, "[Database]\nDatabaseFile=" + databasePath + "\n[Log]\nFile=" +
                                                 m_logPath + "\n");
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

    zentest::CTempDir m_dir;
    std::string m_path;
    std::string m_logPath;
    std::string m_configPath;
    std::optional<CEnvGuard> m_config;
    CScriptedUIHost m_host;
    CUIHostScope m_hostScope{&m_host};
    CZENDatabase m_facade;
};

// The string-table text of an id.
inline std::string Text(UINT id)
{
    CString text;
    text.LoadString(id);
    return text.Str();
}

} // namespace factest
