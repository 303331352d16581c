// Shared setup of the persistent-record operation tests: a new database file
// in a temporary folder, opened through the SQL layer, with the scripted UI
// host recording every message box, and small helpers to count and read rows.
#pragma once

#include "TestSupport.h"

#include "database/Schema.h"
#include "framework/CObList.h"
#include "framework/CString.h"
#include "framework/UIHost.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace opstest {

class COpsTest : public ::testing::Test {
protected:
    COpsTest() : m_path(m_dir.File("zen.db")), m_scope(&m_host)
    {
        CString error;
        if (!ZenCreateDatabaseFile(m_path.c_str(), 1, 9, &error))
            throw std::runtime_error(std::string("database not created: ") + error.GetString());
        CString connect;
        connect.Format("DBQ=%s;", m_path.c_str());
        m_db.OpenEx(connect, CDatabase::noOdbcDialog);
    }

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

    zentest::CTempDir m_dir;
    std::string m_path;
    CDatabase m_db;
    CScriptedUIHost m_host;
    CUIHostScope m_scope;
};

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
