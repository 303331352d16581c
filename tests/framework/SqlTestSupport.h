// Small helpers of the SQL layer's tests: the exception an action throws, a
// connection string for a file, and the first value a query returns.
#pragma once

#include "framework/CString.h"
#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/internal/SqlValue.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace sqltest {

// Values as a test table writes them: texts quoted, numbers plain, '|'
// between them.
inline std::string Describe(const std::vector<CSqlValue>& values)
{
    std::string out;
    for (const CSqlValue& v : values) {
        out += out.empty() ? "" : "|";
        out += v.GetType() == CSqlValue::Type::Text ? "'" + v.GetText() + "'" : std::to_string(v.GetInteger());
    }
    return out;
}

// The CDBException that action throws; a test failure when it throws none.
inline CDBException Caught(const std::function<void()>& action)
{
    try {
        action();
    } catch (const CDBException& e) {
        return e;
    }
    ADD_FAILURE() << "no CDBException";
    return CDBException();
}

// First column of the first row, as text (empty without rows).
inline CString Scalar(CDatabase& db, const char* sql)
{
    CRecordset rs(&db);
    rs.Open(CRecordset::snapshot, sql, CRecordset::readOnly);
    CString value;
    if (!rs.IsEOF()) {
        CODBCFieldInfo info;
        rs.GetODBCFieldInfo(short{0}, info);
        rs.GetFieldValue(info.m_strName, value);
    }
    return value;
}

} // namespace sqltest
