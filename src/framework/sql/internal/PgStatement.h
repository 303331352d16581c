// The PostgreSQL engine driver: one statement prepared on the server under a
// name of its own. The first Step runs it with the bound values and fetches
// the whole result; later Steps walk that result. A statement whose
// connection was renewed since it was prepared is prepared again first.
#pragma once

#include "framework/sql/internal/PgConnection.h"
#include "framework/sql/internal/SqlStatement.h"

#include <cstdint>
#include <string>
#include <vector>

class CPgStatement : public CSqlStatement {
public:
    // Prepares engineSql on the server, or takes it from the connection's
    // idle prepared reads when cacheKey (its text) is given; values are bound
    // to its first parameters (literals turned parameters). Throws
    // CDBException (shown named) when the server refuses it. On destruction
    // a statement with a cacheKey goes back to the idle reads; any other is
    // dropped on the server.
    CPgStatement(CPgConnection& connection, const CString& engineSql, const CString& shown,
                 std::string cacheKey = std::string(), std::vector<CSqlValue> values = {});
    ~CPgStatement() override;
    CPgStatement(const CPgStatement&) = delete;
    CPgStatement& operator=(const CPgStatement&) = delete;

    int GetColumnCount() const override;
    CString GetColumnName(int column) const override;
    // From the column's declaration in the server's catalogue, named as the
    // library's schema names types; an expression by its result type.
    CODBCFieldInfo DescribeColumn(int column) const override;
    void Bind(int index, const CSqlValue& value) override;
    bool Step() override;
    CSqlValue GetValue(int column) const override;
    void ReadValue(int column, CSqlValue& into) const override;
    void Reset() noexcept override;
    const CString& GetShownSql() const override { return m_strShown; }

private:
    void PrepareOnServer();

    CPgConnection& m_connection;
    CString m_strSql;
    CString m_strShown;
    std::string m_name;
    std::string m_cacheKey;
    uint64_t m_epoch = 0;
    uint64_t m_generation = 0; // of the connection's idle reads when prepared
    CPgResultHandle m_description; // columns and parameter count
    CPgResultHandle m_result;      // rows of the current run
    std::vector<CSqlValue> m_params;
    int m_row = -1;
};
