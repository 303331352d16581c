// The SQLite engine driver: one prepared statement, stepped row by row. A
// statement from the connection's cache goes back to it when this object is
// destroyed (reset, bindings cleared).
#pragma once

#include "framework/sql/internal/SqlStatement.h"
#include "framework/sql/internal/SqliteConnection.h"

#include <cstdint>
#include <string>
#include <vector>

class CSqliteStatement : public CSqlStatement {
public:
    // cacheTicket: the ticket of a statement lent by the connection's cache
    // (0: none); cacheKey: for a statement prepared anew, the text under
    // which the connection keeps it for reuse (with neither: finalized on
    // destruction); generation: the cache's generation when the statement
    // was handed out.
    CSqliteStatement(CSqliteConnection& connection, CSqliteStmtHandle stmt, const CString& shown,
                     uint64_t cacheTicket, std::string cacheKey, uint64_t generation);
    ~CSqliteStatement() override;
    CSqliteStatement(const CSqliteStatement&) = delete;
    CSqliteStatement& operator=(const CSqliteStatement&) = delete;

    int GetColumnCount() const override;
    CString GetColumnName(int column) const override;
    const char* PeekColumnName(int column) const override;
    CODBCFieldInfo DescribeColumn(int column) const override;
    void Bind(int index, const CSqlValue& value) override;
    bool Step() override;
    CSqlValue GetValue(int column) const override;
    void ReadValue(int column, CSqlValue& into) const override;
    void ReadRow(int columns, std::vector<CSqlValue>& out) const override;
    bool PeekValue(int column, CSqlValueView& out) const override;
    void Reset() noexcept override;
    const CString& GetShownSql() const override { return m_strShown; }
    // The handle's preparation and how often the engine prepared it anew.
    bool GetColumnsStamp(uint64_t& preparation, uint64_t& version) const override;

private:
    CSqliteConnection& m_connection;
    CSqliteStmtHandle m_stmt;
    CString m_strShown;
    std::string m_cacheKey;
    uint64_t m_cacheTicket;
    uint64_t m_generation;
    bool m_bHasRow = false;
};
