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
// leaving the whole transaction unusable; the savepoint is released in the
// round trip of the next one.
// Writers one at a time: a transaction begins by taking one advisory lock of
// the database, as SQLite's BEGIN IMMEDIATE takes the file's write lock. The
// library's read-then-write steps (a free sample identifier checked, then
// the sample stored; the audit trail's last entry read, then the next one
// chained) rely on no other writer coming between; the server's own
// isolation (read committed) would let one. A transaction waiting for the
// lock past the busy timeout fails as busy, as on SQLite.
#pragma once

#include "framework/Exceptions.h"
#include "framework/sql/internal/SqlConnection.h"

#include <cstdint>
#include <libpq-fe.h>
#include <map>
#include <memory>
#include <string>
#include <string_view>
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
    // Asked of the server until it says writable, then not again in the same
    // session (every write asks: a round trip each); a server that stops
    // taking writes later refuses them itself, with its own error.
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
    // SET lock_timeout on the server; kept for the reconnect. 0 (do not
    // wait) is the server's shortest wait, 1 ms: its own 0 waits for ever.
    void SetBusyTimeout(int milliseconds) override;

    // A SELECT has the literals of its WHERE clause bound as parameters (see
    // ParameteriseLiterals; whole numbers only within 32 bits, so that the
    // type the server infers for a parameter holds the value) and is reused
    // from the idle prepared reads: one round trip per run instead of a
    // prepare, a description and a drop. Errors are those of the statement
    // as written.
    std::unique_ptr<CSqlStatement> Prepare(const CString& engineSql, const CString& shown) override;
    int Execute(const CString& engineSql, const CString& shown) override;
    // A row statement with its values sent apart from the text (the
    // statement guard of Execute applies).
    int ExecuteWithValues(const CString& engineSql, const CString& shown,
                          const std::vector<CSqlValue>& values) override;

    // BEGIN and the writers' lock (see above); throws CDBException (state
    // HYT00) when the lock is not had within the busy timeout, with no
    // transaction left open.
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

    // A statement prepared on the server and idle: its name and its
    // description (columns and parameter count).
    struct CPrepared {
        std::string name;
        CPgResultHandle description;
    };
    // Idle prepared reads of this session, keyed by the text they were
    // prepared from (literals already parameters), the most recently used
    // last; at most kIdleCapacity, the oldest dropped on the server. Take
    // hands one out and removes it (empty name: none). Give keeps one for
    // reuse, unless the cache was emptied since it was taken (generation) or
    // the session renewed (epoch): then it is dropped. The cache is emptied
    // by a statement that may change the schema (a read prepared before
    // would fail on its changed columns) and forgotten with a lost session.
    static constexpr size_t kIdleCapacity = 24;
    CPrepared TakePrepared(const std::string& key);
    void GivePrepared(std::string key, CPrepared prepared, uint64_t generation, uint64_t epoch) noexcept;
    uint64_t PreparedGeneration() const { return m_preparedGeneration; }
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
    // The savepoint __zen_stmt before a statement inside a transaction. The
    // savepoint of the last good statement is not released at once but in
    // the round trip of the next savepoint (or transaction control
    // statement): one round trip a statement less. Throws as RunPlain.
    void OpenStatementSavepoint(const CString& shown);
    // Checks texts against their columns' declared lengths and for NUL bytes.
    void CheckTexts(const CString& table, const std::vector<CString>& columns, const std::vector<CSqlValue>& values,
                    const CString& shown);
    // Declared character length of table.column (-1: no limit or unknown).
    int TextLimit(const CString& table, const CString& column, std::string& declared);
    // After an INSERT that wrote the key of an auto-numbered column itself
    // (relation as the statement names it, columns its column list): moves
    // the column's counter past the greatest key stored, so that no later
    // row is handed a key already written. SQLite's AUTOINCREMENT does so by
    // itself; the server's identity counter does not. Nothing happens when
    // the list does not name the auto-numbered column. Throws as RunParams.
    void KeepAutoNumberAhead(const std::string& relation, const std::vector<std::string>& columns,
                             const CString& shown);
    // The same for an INSERT statement's text (anything else: nothing).
    void KeepAutoNumberAheadOf(const CString& engineSql, const CString& shown);
    // Before a statement that may change the schema: the kept column
    // declarations, text limits, auto-numbered columns and idle prepared
    // reads are dropped.
    void ForgetSchema() noexcept;
    // ForgetSchema when the statement that begins with word may change the
    // schema, or is a rollback of a transaction that changed it.
    void ForgetSchemaBefore(std::string_view word) noexcept;

    CPgConnHandle m_conn;
    CString m_conninfo;
    bool m_bReadOnly;
    int m_nBusyTimeoutMs;
    uint64_t m_epoch = 1;
    // The session (epoch) the server last called writable in; 0: none.
    mutable uint64_t m_writableEpoch = 0;
    uint64_t m_nextName = 0;
    // The transaction was lost with the connection: reported until rolled back.
    bool m_bTransactionLost = false;
    // A transaction begun through this connection is open.
    bool m_bInTransaction = false;
    // The open transaction ran a statement that may change the schema.
    bool m_bSchemaChangedInTransaction = false;
    // The savepoint __zen_stmt of the last good statement is still open
    // (see OpenStatementSavepoint).
    bool m_bStatementSavepointKept = false;
    std::map<std::pair<unsigned, int>, std::pair<std::string, bool>> m_declarations;
    std::map<std::string, std::pair<int, std::string>> m_textLimits;
    // Per relation as statements name it: the auto-numbered column (empty:
    // none) and its counter's sequence.
    std::map<std::string, std::pair<std::string, std::string>> m_autoNumbers;
    std::vector<std::pair<std::string, CPrepared>> m_idle;
    uint64_t m_preparedGeneration = 0;
};
