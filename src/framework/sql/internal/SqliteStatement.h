// The SQLite engine driver: one prepared statement, stepped row by row.
#pragma once

#include "framework/sql/internal/SqlStatement.h"
#include "framework/sql/internal/SqliteConnection.h"

class CSqliteStatement : public CSqlStatement {
public:
    CSqliteStatement(const CSqliteConnection& connection, CSqliteStmtHandle stmt, const CString& shown);

    int GetColumnCount() const override;
    CString GetColumnName(int column) const override;
    CODBCFieldInfo DescribeColumn(int column) const override;
    void Bind(int index, const CSqlValue& value) override;
    bool Step() override;
    CSqlValue GetValue(int column) const override;
    void Reset() noexcept override;
    const CString& GetShownSql() const override { return m_strShown; }

private:
    const CSqliteConnection& m_connection;
    CSqliteStmtHandle m_stmt;
    CString m_strShown;
    bool m_bHasRow = false;
};
