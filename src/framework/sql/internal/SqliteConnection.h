// The SQLite engine driver: a connection to one database file. The file
// keeps a rollback journal (journal_mode DELETE) and every commit is synced
// (synchronous FULL): a process killed at any moment leaves either the
// committed state or a journal that the next connection rolls back, and
// committed rows survive. Only this driver includes the engine's header.
#pragma once

#include "framework/Exceptions.h"
#include "framework/sql/internal/SqlConnection.h"

#include <memory>
#include <sqlite3.h>

struct CSqliteCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct CSqliteFinalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};
using CSqliteHandle = std::unique_ptr<sqlite3, CSqliteCloser>;
using CSqliteStmtHandle = std::unique_ptr<sqlite3_stmt, CSqliteFinalizer>;

// The one place where an engine result code becomes our exception: the
// engine's text (with what a lock wait or a write-protected file means),
// the ODBC-like state, the native code and the statement.
CDBException MakeSqliteException(sqlite3* db, int rc, const CString& shown, int busyTimeoutMs);

// Binds one value to parameter index (1-based); returns the engine's code.
int BindSqliteValue(sqlite3_stmt* stmt, int index, const CSqlValue& value);

class CSqliteConnection : public CSqlConnection {
public:
    // Opens an existing database file; see CDatabase::OpenEx for the checks.
    static std::unique_ptr<CSqliteConnection> Open(const CString& path, bool readOnly, int busyTimeoutMs);
    // Creates a new, empty database file (refuses an existing path).
    static void Create(const CString& path);

    SqlDialect GetDialect() const override { return SqlDialect::Sqlite; }
    bool CanUpdate() const override { return m_bCanUpdate; }
    void SetBusyTimeout(int milliseconds) override;

    std::unique_ptr<CSqlStatement> Prepare(const CString& engineSql, const CString& shown) override;
    int Execute(const CString& engineSql, const CString& shown) override;

    void BeginTransaction() override;
    void CommitTransaction() override;
    bool RollbackTransaction() override;
    bool InTransaction() const override;

    CString GetRowIdExpression() const override { return "rowid"; }
    CString GetParameterMarker(int index) const override;

    CSqlValue InsertRow(const CString& table, const std::vector<CString>& columns,
                        const std::vector<CSqlValue>& values) override;
    int UpdateRow(const CString& table, const CSqlValue& rowId, const std::vector<CString>& columns,
                  const std::vector<CSqlValue>& values) override;
    int DeleteRow(const CString& table, const CSqlValue& rowId) override;

    sqlite3* Handle() const { return m_db.get(); }
    [[noreturn]] void ThrowError(int rc, const CString& shown) const;
    CDBException MakeError(int rc, const CString& shown) const;

private:
    CSqliteConnection(CSqliteHandle db, int busyTimeoutMs);
    CSqliteStmtHandle PrepareRaw(const CString& engineSql, const CString& shown);
    // Runs a prepared write to its end; returns the rows changed.
    int RunWrite(sqlite3_stmt* stmt, const CString& shown);
    bool ProbeWritable(const CString& path);

    CSqliteHandle m_db;
    int m_nBusyTimeoutMs;
    bool m_bCanUpdate = false;
};
