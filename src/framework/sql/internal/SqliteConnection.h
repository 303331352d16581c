// The SQLite engine driver: a connection to one database file. On a local
// file system the file keeps a write-ahead log (journal_mode WAL), so that a
// reader never holds off a writer; on a network file system, where the log's
// shared memory does not work, the rollback journal (journal_mode DELETE).
// Every commit is synced (synchronous FULL): a process killed at any moment
// leaves either the committed state or a log / journal that the next
// connection recovers, and committed rows survive. Only this driver includes
// the engine's header.
//
// A connection and its statements are used by one thread at a time (the
// library starts no threads of its own), so connections are opened without
// the engine's per-connection mutex (SQLITE_OPEN_NOMUTEX): a caller that
// shares one CDatabase between threads must serialise the calls itself.
#pragma once

#include "framework/Exceptions.h"
#include "framework/sql/internal/SqlConnection.h"
#include "framework/sql/internal/SqlErrors.h"
#include "framework/sql/internal/SqlLiterals.h"

#include <cstdint>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <unordered_map>
#include <vector>

struct CSqliteCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
// Carries the number of the preparation that made the handle (unique in the
// process, 0: none given), so that it moves with the handle in and out of the
// statement cache: a statement's result columns change only with a new
// preparation or the engine's own preparation anew after a schema change.
struct CSqliteFinalizer {
    uint64_t preparation = 0;
    void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};
using CSqliteHandle = std::unique_ptr<sqlite3, CSqliteCloser>;
using CSqliteStmtHandle = std::unique_ptr<sqlite3_stmt, CSqliteFinalizer>;

// The one place where an engine result code becomes our exception: the
// engine's text (with what a lock wait or a write-protected file means),
// the ODBC-like state, the native code and the statement. path names the
// database file in the texts of damaged files and input/output errors;
// fileProblem, when not empty, says that the file was removed or replaced
// while open and stands for the reason of a refused write. osError: errno
// right after the failing call, used where the engine kept no system error;
// a lack of room (ENOSPC, EDQUOT, EFBIG) is then said as such, not as damage.
CDBException MakeSqliteException(sqlite3* db, int rc, const CString& shown, int busyTimeoutMs,
                                 const CString& path = CString(), const CString& fileProblem = CString(),
                                 int osError = 0);

// Binds one value to parameter index (1-based); returns the engine's code.
// lent: the engine reads a text or blob from value itself instead of a copy,
// for a write whose value outlives its step and the clearing of its
// bindings (the statements of CCachedWrite, whose end clears them).
int BindSqliteValue(sqlite3_stmt* stmt, int index, const CSqlValue& value, bool lent = false);

// Prepared statements of one connection, keyed by the text they were
// prepared from (literals of reads already replaced by parameters; the row
// writes of the recordsets by their own text), each stamped when last used.
// Take lends an idle statement and keeps its place with its key, under a
// ticket of its own; Give puts it back there (reset, bindings cleared), so a
// statement run again and again costs no copy of its text. A statement
// prepared anew is given with its key instead. The oldest idle statement is
// finalized when more than Capacity are idle. Clear finalizes them all and
// starts a new generation: statements handed out before it are finalized
// when given back instead of being kept.
class CSqliteStatementCache {
public:
    static constexpr size_t Capacity = 24;

    // The idle statement kept under key, and its ticket; null (ticket 0)
    // when none is idle.
    CSqliteStmtHandle Take(const std::string& key, uint64_t& ticket);
    // A statement back from Take (its ticket), or prepared anew (ticket 0,
    // kept under key). Finalized instead: a statement of an older
    // generation, a new one without a key, one whose place is gone.
    void Give(uint64_t ticket, std::string key, CSqliteStmtHandle stmt, uint64_t generation) noexcept;
    void Clear() noexcept;
    uint64_t Generation() const { return m_generation; }
    size_t IdleCount() const;

private:
    struct CEntry {
        std::string key;
        CSqliteStmtHandle stmt; // null while lent
        uint64_t lentAs = 0;    // the ticket while lent
        uint64_t usedAt = 0;    // when last given (a count of tickets and gives)
    };
    void Trim() noexcept;
    std::vector<CEntry> m_entries;
    uint64_t m_generation = 0;
    uint64_t m_clock = 0; // tickets and use stamps, never repeated
};

class CSqliteConnection : public CSqlConnection {
public:
    ~CSqliteConnection() override;

    // Opens an existing database file; see CDatabase::OpenEx for the checks.
    static std::unique_ptr<CSqliteConnection> Open(const CString& path, bool readOnly, int busyTimeoutMs);
    // Creates a new, empty database file (refuses an existing path).
    static void Create(const CString& path);

    SqlDialect GetDialect() const override { return SqlDialect::Sqlite; }
    // False also once the file was removed or replaced since it was opened
    // or the engine reported it damaged. The file is asked on each call,
    // except inside a transaction after its first write asked: a file
    // replaced after that is found by the commit, which is then refused and
    // rolled back with the same reason as a refused write.
    bool CanUpdate() const override;
    CString GetReadOnlyReason() const override;
    bool CheckIntegrity(std::vector<CString>& findings) override;
    void Backup(const CString& targetPath) override;
    bool HasSchemaObject(const CString& name, bool index) override;
    void SetBusyTimeout(int milliseconds) override;

    // SELECT statements come from the statement cache (see
    // ParameteriseLiterals): the literals of their WHERE clauses are bound as
    // parameters, and a statement that no recordset runs is reused for the
    // same text. Errors are those of the statement as written.
    std::unique_ptr<CSqlStatement> Prepare(const CString& engineSql, const CString& shown) override;
    bool ParameteriseForReuse(const CString& engineSql, CParameterisedSql& out) override;
    std::unique_ptr<CSqlStatement> PrepareParameterised(const std::string& text, const std::vector<CSqlValue>& values,
                                                        const CString& shown) override;
    int Execute(const CString& engineSql, const CString& shown) override;
    // Kept in the statement cache by its text (a schema statement empties
    // the cache first and is not kept).
    int ExecuteWithValues(const CString& engineSql, const CString& shown,
                          const std::vector<CSqlValue>& values) override;

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
    // Only an AUTOINCREMENT key is taken for the rowid: the other forms of
    // INTEGER PRIMARY KEY have exceptions (DESC) not worth telling apart.
    bool IsRowIdentityColumn(const CString& table, const CString& column) override;
    // An AUTOINCREMENT key: its row of sqlite_sequence raised to maxKey (or
    // added). Any other INTEGER PRIMARY KEY needs nothing: the engine gives
    // a new row the largest key plus one. A column that is neither is refused.
    void MoveAutoNumberPast(const CString& table, const CString& column, int64_t maxKey) override;

    sqlite3* Handle() const { return m_db.get(); }
    // Takes back a statement handed out by Prepare (key empty: not cached).
    // Resets it (releasing its locks) and clears its bindings.
    void ReleaseStatement(uint64_t ticket, std::string key, CSqliteStmtHandle stmt, uint64_t generation) noexcept;
    const CSqliteStatementCache& StatementCache() const { return m_cache; }
    [[noreturn]] void ThrowError(int rc, const CString& shown) const;
    CDBException MakeError(int rc, const CString& shown) const;

private:
    // The row writes' own statements (INSERT, UPDATE and DELETE by row
    // identity), taken from the statement cache by their text and given back
    // (reset, bindings cleared) when the write is done, also after a failed
    // one: prepared once per connection and text, not once per row. A schema
    // change empties the cache as for the reads; the engine prepares a kept
    // statement again by itself should another connection change the table.
    class CCachedWrite {
    public:
        CCachedWrite(CSqliteConnection& connection, const CString& sql);
        // The statement kept under key (prepared from key's text when none
        // is idle); shown is the caller's text for error messages.
        CCachedWrite(CSqliteConnection& connection, std::string key, const CString& shown);
        ~CCachedWrite();
        CCachedWrite(const CCachedWrite&) = delete;
        CCachedWrite& operator=(const CCachedWrite&) = delete;
        sqlite3_stmt* Get() const { return m_stmt.get(); }

    private:
        CSqliteConnection& m_connection;
        std::string m_key;     // a statement prepared anew is kept under it
        uint64_t m_ticket = 0; // a statement lent by the cache
        uint64_t m_generation;
        CSqliteStmtHandle m_stmt;
    };

    CSqliteConnection(CSqliteHandle db, int busyTimeoutMs);
    // The text of a row write (kind 'I' insert, 'U' update) of these columns
    // of table, made by make() the first time; the same table and columns
    // give the same text for the connection's life (the text names the
    // columns only, so no schema change makes it wrong). Valid until the
    // next call.
    template <class Make>
    const CString& RowWriteText(char kind, const CString& table, const std::vector<CString>& columns, Make&& make);
    CSqliteStmtHandle PrepareRaw(const CString& engineSql, const CString& shown);
    // Runs a prepared write to its end; returns the rows changed.
    int RunWrite(sqlite3_stmt* stmt, const CString& shown);
    // The write test behind CanUpdate: a real write (committed unchanged in
    // WAL mode, rolled back otherwise), tried again once after an
    // input/output error. Sets m_strReadOnlyReason when it fails.
    bool ProbeWritable();
    // WAL on a local file system, the rollback journal on a network one.
    void ChooseJournal();
    // Empty, or what happened to the file at m_path since it was opened
    // (removed, or replaced by another file).
    CString FileIdentityProblem() const;
    // The engine's commit and rollback hooks. A commit of a file that lost
    // its name is turned into a rollback (non-zero result), its reason kept
    // in m_commitRefusal for MakeError.
    static int OnCommit(void* self) noexcept;
    static void OnRollback(void* self) noexcept;
    // Refuses (CDBException) a text value holding a NUL byte or longer, in
    // characters, than its column's declared length.
    void CheckTexts(const CString& table, const std::vector<CString>& columns, const std::vector<CSqlValue>& values,
                    const CString& shown);
    // The declared type of a column as the engine's schema of this
    // connection has it (empty when the engine knows no such column), kept
    // per table and column: asking the engine costs more than the write.
    // Valid after ForgetOldColumnTypes, which drops what may be out of date.
    struct CKeptColumnType {
        std::string declared;
        int textLimit = -1; // DeclaredTextLength of declared, -1 for none
    };
    const CKeptColumnType& DeclaredColumnType(const CString& table, const CString& column);
    void ForgetOldColumnTypes();
    // After a row write: the commit that ended it (outside a transaction)
    // leaves the kept types valid unless another connection's change was
    // seen on the way.
    void KeepColumnTypesAfterOwnCommit();
    // The engine's count of changes to the file (see SQLITE_FCNTL_DATA_VERSION).
    int DataVersion() const;

    CSqliteHandle m_db;
    CSqliteStatementCache m_cache; // declared after m_db: finalized before the handle closes
    // The parameterisation of the last SELECT texts prepared, most recent
    // first: lookups that differ only in the value they look for are
    // parameterised from these without reading their tokens again. Text
    // work only, valid whatever the schema.
    std::vector<CParameterisedTemplate> m_literalTemplates;
    CParameterisedSql m_parameterised; // Prepare's, valid only during one call
    static constexpr size_t kLiteralTemplates = 8;
    // ParameteriseLiterals of a SELECT text through m_literalTemplates.
    bool ParameteriseSelect(const std::string& sql, CParameterisedSql& out);
    // The statement of a SELECT for reuse: stmt taken from the cache
    // (ticket) or prepared anew (kept under key), made a statement object,
    // then the values bound to its parameters.
    std::unique_ptr<CSqlStatement> BindForReuse(CSqliteStmtHandle stmt, uint64_t ticket, std::string key,
                                                const std::vector<CSqlValue>& values, const CString& shown);
    int m_nBusyTimeoutMs;
    bool m_bCanUpdate = false;
    bool m_bReadOnlyOpen = false;
    CString m_path;              // absolute path of the file as opened
    uint64_t m_device = 0;       // identity of that file when it was opened
    uint64_t m_inode = 0;
    CString m_strReadOnlyReason; // why the write test failed
    // Set once the engine reported the file damaged: from then on nothing
    // more is written through this connection.
    mutable bool m_bDamaged = false;
    // The file's identity was asked since the open transaction began (reset
    // by its commit or rollback), or for the single statement now running.
    bool m_identityCheckedInTransaction = false;
    bool m_identityCheckedForStatement = false;
    // Why OnCommit refused the last commit; taken by MakeError.
    mutable CString m_commitRefusal;
    // DeclaredColumnType's answers, keyed by table and column as written
    // (and IsRowIdentityColumn's, keyed by a NUL byte, table and column).
    // Valid while the statement cache's generation (a schema change through
    // this connection, a rollback) and the engine's data version (a change of
    // the file by another connection, seen when this one next reads) stay.
    std::unordered_map<std::string, CKeptColumnType> m_columnTypes;
    std::string m_columnTypeKey; // the key being looked up, its storage reused
    uint64_t m_columnTypesGeneration = 0;
    std::unordered_map<std::string, CString> m_rowWriteTexts;
    int m_columnTypesDataVersion = 0;
};
