// Engine driver interface, part 1: one connection. CDatabase owns one; the
// recordsets reach it through CDatabase::GetSqlConnection(). Every call
// throws CDBException (engine text, statement) on failure.
#pragma once

#include "framework/CString.h"
#include "framework/sql/Dialect.h"
#include "framework/sql/internal/SqlLiterals.h"
#include "framework/sql/internal/SqlStatement.h"
#include "framework/sql/internal/SqlValue.h"

#include <cstdint>
#include <memory>
#include <vector>

class CSqlConnection {
public:
    virtual ~CSqlConnection() = default;

    virtual SqlDialect GetDialect() const = 0;
    // False when the database cannot be written through this connection.
    virtual bool CanUpdate() const = 0;
    // Why CanUpdate is false (empty when it is true): opened read-only,
    // write-protected, an input/output error in the write test, the file
    // removed or replaced while open, or found damaged.
    virtual CString GetReadOnlyReason() const = 0;
    // The engine's integrity check: true when it finds nothing; otherwise
    // one line per problem is appended to findings. Throws CDBException when
    // the check cannot run (a lock held past the wait, for example).
    virtual bool CheckIntegrity(std::vector<CString>& findings) = 0;
    // A consistent copy of the database, taken while others may write, into
    // a new file targetPath (see CDatabase::Backup). Throws CDBException.
    virtual void Backup(const CString& targetPath) = 0;
    // Whether the database holds a table (index false) or an index (index
    // true) of that name, letter case ignored, in the schema the connection
    // works in.
    virtual bool HasSchemaObject(const CString& name, bool index) = 0;
    // Milliseconds to wait for another connection's lock.
    virtual void SetBusyTimeout(int milliseconds) = 0;

    // Prepares one statement in the engine's dialect; shown is the text the
    // caller wrote (used in error texts). Text after the first statement is
    // refused.
    virtual std::unique_ptr<CSqlStatement> Prepare(const CString& engineSql, const CString& shown) = 0;
    // How Prepare finds the engine's statement of a SELECT for reuse: out is
    // the text with its literals lifted into parameters (ParameteriseLiterals,
    // markers as the engine writes them) and their values, or the text
    // itself without values when it has no such literal. false when the
    // engine keeps no statements for reuse, as this base.
    virtual bool ParameteriseForReuse(const CString& engineSql, CParameterisedSql& out);
    // What Prepare(engineSql, shown) gives for an engineSql that
    // ParameteriseForReuse turns into `text`, with `values` in place of its
    // literals' values. Throws CDBException when text cannot be prepared
    // (the caller then prepares its engineSql, whose own error counts); this
    // base always throws.
    virtual std::unique_ptr<CSqlStatement> PrepareParameterised(const std::string& text,
                                                                const std::vector<CSqlValue>& values,
                                                                const CString& shown);
    // Runs one statement to its end; returns the number of rows it changed.
    virtual int Execute(const CString& engineSql, const CString& shown) = 0;
    // Runs one statement that returns no rows to its end with values bound
    // to its parameter markers (numbered as GetParameterMarker gives them,
    // values[k] to marker k + 1); returns the number of rows it changed.
    // This base, for an engine that cannot write, always throws.
    virtual int ExecuteWithValues(const CString& engineSql, const CString& shown,
                                  const std::vector<CSqlValue>& values);

    virtual void BeginTransaction() = 0;
    virtual void CommitTransaction() = 0;
    // Rolls back the open transaction; false when none was open.
    virtual bool RollbackTransaction() = 0;
    virtual bool InTransaction() const = 0;

    // Expression that selects a row's identity in a single-table SELECT.
    virtual CString GetRowIdExpression() const = 0;
    // Parameter marker number index (1-based) in the engine's dialect.
    virtual CString GetParameterMarker(int index) const = 0;

    // Row changes of the recordsets, by row identity. columns are plain
    // column names (not quoted). InsertRow returns the new row's identity.
    // A text value holding a NUL byte, or longer (in UTF-8 characters) than
    // its column's declared length (VARCHAR(n), TEXT(n), CHAR(n)), is refused
    // with CDBException naming the column and the length; long text columns
    // (LONGTEXT, MEMO) and text types without a length have no limit.
    virtual CSqlValue InsertRow(const CString& table, const std::vector<CString>& columns,
                                const std::vector<CSqlValue>& values) = 0;
    virtual int UpdateRow(const CString& table, const CSqlValue& rowId, const std::vector<CString>& columns,
                          const std::vector<CSqlValue>& values) = 0;
    virtual int DeleteRow(const CString& table, const CSqlValue& rowId) = 0;
    // True when column (a plain name) of table holds the row identity itself,
    // so that the value InsertRow returned is the key the engine assigned to
    // it and no query need read it back; false when unsure.
    virtual bool IsRowIdentityColumn(const CString& table, const CString& column) = 0;

    // Makes the auto-number of column (a plain name) of table hand out keys
    // greater than maxKey from now on: for a copy that wrote its rows with
    // their keys, so that the next new row never takes a key that was used
    // (rows with keys past the copied ones may have been deleted). Never
    // moves a counter back. Part of the caller's transaction when one is
    // open, except on the server, whose counters a rollback never moves back
    // (a rolled-back copy leaves a gap in the keys, never a key handed out
    // twice). Throws CDBException when the column is not the table's
    // auto-number or the engine refuses; this base, for an engine that has
    // no way to do it, always throws.
    virtual void MoveAutoNumberPast(const CString& table, const CString& column, int64_t maxKey);

    // The names of the database's own tables, for a look into a file of
    // unknown content. This base, for an engine whose driver does not list
    // them, always throws CDBException.
    virtual std::vector<CString> ListTables();

protected:
    // name as a quoted identifier ("a""b"), the form both writing engines
    // take.
    static CString QuoteName(const CString& name);
    // "INSERT INTO table (columns) VALUES (markers)", names quoted and the
    // markers numbered as GetParameterMarker gives them; "INSERT INTO table
    // DEFAULT VALUES" for no columns.
    CString InsertRowText(const CString& table, const std::vector<CString>& columns) const;
};

// Connection parameters taken from a connection string.
struct CSqlConnectParams {
    enum class Engine { None, Sqlite, PostgreSql, Access };
    Engine engine = Engine::None;
    CString path;      // SQLite and Access: the database file
    CString uri;       // PostgreSQL: the connection URI or keyword string
    bool readOnly = false;
};

// Parses "KEY=value;..." (see CDatabase::OpenEx). Throws CDBException when the
// string names no database.
CSqlConnectParams ParseConnectString(const CString& connect);

// Opens a connection for the parameters; throws CDBException on failure.
std::unique_ptr<CSqlConnection> OpenSqlConnection(const CSqlConnectParams& params, int busyTimeoutMs);

// Creates an empty database; throws CDBException when it exists or on failure.
void CreateSqlDatabase(const CSqlConnectParams& params);
