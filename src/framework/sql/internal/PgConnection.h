// The PostgreSQL engine driver: one libpq connection to a server database.
// Statements are prepared on the server under names of their own and run
// with the whole result fetched at once, so that several statements of one
// connection can be read side by side (libpq runs one query at a time).
// Only this driver includes libpq's header.
//
// Row identity: every table the library creates on the server carries the
// hidden column __zen_rowid (an identity column, never reused, unchanged by
// updates); the row changes of the recordsets address rows by it.
// Inside a transaction every statement runs under a savepoint of its own, so
// that a failed statement undoes only itself, as on SQLite, instead of
// leaving the whole transaction unusable.
#pragma once

#include "framework/Exceptions.h"
#include "framework/sql/internal/SqlConnection.h"

#include <cstdint>
#include <libpq-fe.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct CPgConnCloser {
    void operator()(PGconn* conn) const noexcept { PQfinish(conn); }
};
struct CPgResultClear {
    void operator()(PGresult* res) const noexcept { PQclear(res); }
};
using CPgConnHandle = std::unique_ptr<PGconn, CPgConnCloser>;
using CPgResultHandle = std::unique_ptr<PGresult, CPgResultClear>;

// The one place where a libpq failure becomes our exception: the server's
// message (with its detail), "State:<state>,Native:0,Origin:PostgreSQL
// <SQLSTATE>" where state is the SQLSTATE itself (a lock timeout, serialization failure or deadlock is said and coded as
// the SQLite driver says a lock wait: state HYT00; a unique, foreign key,
// not-null or check violation is coded 23000 like SQLite's constraint
// errors) and the statement shown. res may be null (then the connection's
// message is used: a lost connection is said as such).
CDBException MakePgException(PGconn* conn, const PGresult* res, const CString& shown, int busyTimeoutMs);

class CPgConnection : public CSqlConnection {
public:
    ~CPgConnection() override;

    // Connects with the libpq connection string or URI conninfo (password
    // from the string, PGPASSWORD or PGPASSFILE). Throws CDBException (the
    // server's or libpq's text, never the password) when it cannot connect.
    static std::unique_ptr<CPgConnection> Open(const CString& conninfo, bool readOnly, int busyTimeoutMs);

    SqlDialect GetDialect() const override { return SqlDialect::PostgreSql; }
    // False for a connection opened read-only or by a server in recovery
    // (a standby), or when the user may not write to the public schema.
    bool CanUpdate() const override;
    CString GetReadOnlyReason() const override;
    // The server checks its pages itself; this asks it for every table's
    // rows (a full read), so that an unreadable page is found. Findings are
    // the server's error texts.
    bool CheckIntegrity(std::vector<CString>& findings) override;
    // A server database is saved with the server's own tools (pg_dump);
    // refused with CDBException saying so.
    void Backup(const CString& targetPath) override;
    bool HasSchemaObject(const CString& name, bool index) override;
    // SET lock_timeout on the server; kept for the reconnect.
    void SetBusyTimeout(int milliseconds) override;

    std::unique_ptr<CSqlStatement> Prepare(const CString& engineSql, const CString& shown) override;
    int Execute(const CString& engineSql, const CString& shown) override;
    // A row statement with its values sent apart from the text (the
    // statement guard of Execute applies).
    int ExecuteWithValues(const CString& engineSql, const CString& shown,
                          const std::vector<CSqlValue>& values) override;

    void BeginTransaction() override;
    // Throws when the server ended the transaction with a rollback (the
    // connection was lost, or a failed statement was not undone).
    void CommitTransaction() override;
    bool RollbackTransaction() override;
    bool InTransaction() const override;

    CString GetRowIdExpression() const override { return "__zen_rowid"; }
    CString GetParameterMarker(int index) const override;

    CSqlValue InsertRow(const CString& table, const std::vector<CString>& columns,
                        const std::vector<CSqlValue>& values) override;
    int UpdateRow(const CString& table, const CSqlValue& rowId, const std::vector<CString>& columns,
                  const std::vector<CSqlValue>& values) override;
    int DeleteRow(const CString& table, const CSqlValue& rowId) override;
    // Always false: the row identity is a column of its own, not the key.
    bool IsRowIdentityColumn(const CString& table, const CString& column) override;
    // setval on the column's identity sequence (table and column found in
    // any letter case). The server's sequences are outside transactions: a
    // rollback leaves the counter moved (keys are skipped, never repeated).
    void MoveAutoNumberPast(const CString& table, const CString& column, int64_t maxKey) override;

    // --- for CPgStatement ---
    PGconn* Handle() const { return m_conn.get(); }
    // Counts reconnections: a statement prepared under an older count is
    // prepared again before it runs.
    uint64_t Epoch() const { return m_epoch; }
    // A fresh server-side statement name.
    std::string NextStatementName();
    // Prepares sql under name; throws the statement's error.
    void PrepareNamed(const std::string& name, const CString& sql, const CString& shown);
    // Runs the prepared statement name with the values; the whole result.
    // Inside a transaction the statement runs under its own savepoint.
    CPgResultHandle RunPrepared(const std::string& name, const std::vector<CSqlValue>& values, const CString& shown);
    // Drops a server-side statement (nothing when the connection was renewed
    // since it was prepared). Never fails.
    void Deallocate(const std::string& name, uint64_t epoch) noexcept;
    // Declared type (as the library's schema names it: "INTEGER",
    // "VARCHAR(50)", "BIT", "DATETIME", "BLOB", ...) and NOT NULL of a
    // table's column by its table oid and column number; empty when unknown.
    std::pair<std::string, bool> ColumnDeclaration(unsigned tableOid, int column);
    [[noreturn]] void ThrowError(const PGresult* res, const CString& shown);
    // Before a statement: a connection the server dropped is renewed once
    // when no transaction was open on it; inside a transaction the loss is
    // reported (the transaction is gone). Throws when it cannot reconnect.
    void EnsureConnected(const CString& shown);

private:
    CPgConnection(CPgConnHandle conn, const CString& conninfo, bool readOnly, int busyTimeoutMs);
    // Session settings after every connect: UTF-8, ISO dates, the lock wait,
    // read-only when asked, and the collation and domain the library's
    // schema uses (created when missing and allowed).
    void SetUpSession();
    // Runs a statement without parameters outside the statement savepoints.
    CPgResultHandle RunPlain(const char* sql, const CString& shown);
    // Runs text with parameters (not prepared by name) under the statement
    // savepoint when in a transaction.
    CPgResultHandle RunParams(const CString& sql, const std::vector<CSqlValue>& values, const CString& shown);
    // The end of a statement run under the savepoint __zen_stmt (guard) or
    // alone: a failed result throws, undoing the statement and, when the
    // connection went with it inside a transaction, marking the transaction
    // lost; a good one releases the savepoint and is returned.
    CPgResultHandle FinishGuarded(CPgResultHandle res, bool guard, const CString& shown);
    // After a failure inside a transaction: back to before the statement.
    void UndoStatement() noexcept;
    // Checks texts against their columns' declared lengths and for NUL bytes.
    void CheckTexts(const CString& table, const std::vector<CString>& columns, const std::vector<CSqlValue>& values,
                    const CString& shown);
    // Declared character length of table.column (-1: no limit or unknown).
    int TextLimit(const CString& table, const CString& column, std::string& declared);

    CPgConnHandle m_conn;
    CString m_conninfo;
    bool m_bReadOnly;
    int m_nBusyTimeoutMs;
    uint64_t m_epoch = 1;
    uint64_t m_nextName = 0;
    // The transaction was lost with the connection: reported until rolled back.
    bool m_bTransactionLost = false;
    // A transaction begun through this connection is open.
    bool m_bInTransaction = false;
    std::map<std::pair<unsigned, int>, std::pair<std::string, bool>> m_declarations;
    std::map<std::string, std::pair<int, std::string>> m_textLimits;
};
