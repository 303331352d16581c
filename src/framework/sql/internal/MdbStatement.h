// The Access engine driver: one statement over a table read whole. It
// understands SELECT * or a list of columns FROM one table with an optional
// ORDER BY of columns (ASC/DESC), and SELECT COUNT(*) [AS name] FROM a table;
// names plain, "quoted" or [bracketed], compared without regard to letter case.
#pragma once

#include "framework/sql/internal/MdbFile.h"
#include "framework/sql/internal/SqlStatement.h"

#include <memory>
#include <vector>

class CMdbStatement : public CSqlStatement {
public:
    // Parses engineSql and reads its table. Throws CDBException (shown named)
    // for a statement of another form, an unknown table or column, and
    // "read-only" for a statement that would change the file.
    CMdbStatement(CMdbFile& file, const CString& engineSql, const CString& shown);

    int GetColumnCount() const override { return static_cast<int>(m_names.size()); }
    CString GetColumnName(int column) const override;
    CODBCFieldInfo DescribeColumn(int column) const override;
    // Refused: the statements understood take no parameters.
    void Bind(int index, const CSqlValue& value) override;
    bool Step() override;
    CSqlValue GetValue(int column) const override;
    void Reset() noexcept override { m_row = -1; }
    const CString& GetShownSql() const override { return m_shown; }

private:
    CString m_shown;
    std::shared_ptr<const CMdbTable> m_table;
    std::vector<CString> m_names;
    std::vector<int> m_columns;   // the table's column of each result column; -1 for COUNT(*)
    std::vector<size_t> m_order;  // the table's rows in the statement's order
    int64_t m_count = -1;         // the result of COUNT(*), -1 otherwise
    long long m_row = -1;
};
