// Shared test bed of the sample dialogs (logic tests and Qt tests): a real
// database file in a temporary folder named by a real configuration file, an
// open facade, the dialogs' profile entries cleared, and small helpers to
// store and read samples and to change registration fields by SQL.
#pragma once

#include "TestSupport.h"

#include "database/Schema.h"
#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/AppProfile.h"
#include "framework/CString.h"
#include "framework/StringTable.h"
#include "framework/sql/Database.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace dlgtest {

// The string-table text of an id.
inline std::string Text(UINT id)
{
    return LoadResString(id).Str();
}

// A database file with the standard registration fields, named to an open
// facade through ZEN_CONFIG (restored afterwards).
class CDialogTestBed {
public:
    CDialogTestBed()
    {
        m_path = m_dir.File("ZEN.mdb");
        const std::string config = m_dir.File("zen.ini");
        zentest::WriteFileText(config, "[Database]\nDatabaseFile=" + m_path + "\n[Log]\nFile=" + m_dir.File("zen.log") + "\n");
        if (const char* old = std::getenv("ZEN_CONFIG"))
            m_oldConfig = old;
        setenv("ZEN_CONFIG", config.c_str(), 1);
        CString error;
        if (!ZenCreateDatabaseFile(m_path.c_str(), 1, 9, &error))
            throw std::runtime_error(std::string("database not created: ") + error.GetString());
        CString message;
        if (m_facade.OpenDatabase(0, "", "", message) != 1)
            throw std::runtime_error("database not opened");
        AfxGetApp()->WriteProfileString("RegisterSampleDlg", nullptr, nullptr);
        AfxGetApp()->WriteProfileString("BatchCreateDlg", nullptr, nullptr);
    }
    ~CDialogTestBed()
    {
        m_facade.CloseDatabase();
        if (m_oldConfig)
            setenv("ZEN_CONFIG", m_oldConfig->c_str(), 1);
        else
            unsetenv("ZEN_CONFIG");
    }
    CDialogTestBed(const CDialogTestBed&) = delete;
    CDialogTestBed& operator=(const CDialogTestBed&) = delete;

    CZENDatabase& Facade() { return m_facade; }
    // The database file.
    const std::string& Path() const { return m_path; }

    // Runs statements on the facade's own connection.
    void Exec(const std::vector<std::string>& statements)
    {
        for (const std::string& sql : statements)
            m_facade.ExecuteSQL(sql.c_str());
    }

    // Stores a sample with that identifier and work order; returns its key.
    int32_t AddSample(const char* userSampleID, const char* workOrder = "")
    {
        CZENDB_Sample sample(&m_facade, userSampleID);
        sample.WorkOrder = workOrder;
        if (!sample.Save())
            throw std::runtime_error("sample not saved");
        return sample.SampleID;
    }

    // The stored sample of that identifier, if any.
    std::optional<CZENDB_Sample> FindSample(const char* userSampleID)
    {
        int32_t key = -1;
        if (!m_facade.SampleExist(userSampleID, key))
            return std::nullopt;
        CZENDB_Sample sample(&m_facade);
        if (!sample.Load(key))
            return std::nullopt;
        return sample;
    }

    // Number of stored samples.
    int SampleCount()
    {
        CObList list;
        const int count = m_facade.GetSamples(SampleViewAll, nullptr, list);
        while (!list.IsEmpty())
            delete list.RemoveHead();
        return count;
    }

private:
    zentest::CTempDir m_dir;
    std::string m_path;
    std::optional<std::string> m_oldConfig;
    CZENDatabase m_facade;
};

} // namespace dlgtest
