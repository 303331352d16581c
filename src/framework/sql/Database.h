// CDatabase: one connection to the station's database, opened from an
// ODBC-style connection string. The engine behind it is chosen from that
// string (DBQ=<file> -> the SQLite file engine); nothing above this class
// needs to know which engine it talks to. A connection and the recordsets on
// it are used by one thread at a time (the engine's own per-connection lock
// is switched off); callers that share one between threads serialise the
// calls themselves.
#pragma once

#include "framework/CObject.h"
#include "framework/CString.h"
#include "framework/CStringList.h"
#include "framework/Types.h"
#include "framework/sql/FieldInfo.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CRecordset;
class CSqlConnection; // the engine driver's connection (framework/sql/internal)
class CRecordsetTextCache; // framework/sql/internal

class CDatabase : public CObject {
    DECLARE_DYNAMIC(CDatabase)
public:
    // Options of OpenEx. noOdbcDialog, forceOdbcDialog and useCursorLib are
    // accepted and have no effect (no engine shows a dialog).
    enum DbOpenOptions : DWORD {
        openExclusive = 0x0001,
        openReadOnly = 0x0002,
        useCursorLib = 0x0004,
        noOdbcDialog = 0x0008,
        forceOdbcDialog = 0x0010,
    };

    // Seconds an operation waits for another connection's lock before it
    // fails with "database is locked" (SetQueryTimeout changes it).
    static constexpr DWORD DefaultQueryTimeout = 5;

    CDatabase();
    // Closes the connection (and every recordset still open on it).
    ~CDatabase() override;
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;

    // Opens the connection. The string holds "KEY=value;" pairs (keys are
    // case-blind, a leading "ODBC;" is skipped, values may be put in {...},
    // inside which "}}" stands for '}'; FormatConnectStringValue in
    // framework/sql/ConnectString.h writes a value so):
    //   DBQ=<path>        the database file (SQLite engine); the file must
    //                     exist: a missing file is never created;
    //   ENGINE=sqlite     optional; ENGINE=postgres or Driver={PostgreSQL}
    //                     selects PostgreSQL, with Server=, Port=, Database=,
    //                     Uid=, Pwd= (or libpq's own keywords), or Uri={...};
    //                     a postgresql:// URI or a libpq keyword string
    //                     ("host=... dbname=...") as the whole string does too;
    //   READONLY=1        the same as the openReadOnly option.
    // DRIVER, DSN and other keys are accepted and ignored, so
    // "Driver={Microsoft Access Driver (*.mdb)};Dbq=C:\x\ZEN.mdb;" opens the
    // file C:\x\ZEN.mdb. Returns TRUE when open; throws CDBException (the
    // reason in m_strError) when the file is missing, is not a database of the
    // engine (an Access file, for example), the engine is unavailable, or
    // DBQ is given twice (an unbraced path holding ';' would do that).
    // Calling it on an open connection throws.
    virtual BOOL OpenEx(const char* lpszConnectString, DWORD dwOptions = 0);
    // The older form: lpszConnect is the connection string, the DSN is ignored.
    virtual BOOL Open(const char* lpszDSN, BOOL bExclusive = FALSE, BOOL bReadOnly = FALSE,
                      const char* lpszConnect = "ODBC;", BOOL bUseCursorLib = TRUE);
    // Closes every recordset still open on the connection, rolls back an open
    // transaction and closes the connection. Does nothing when not open.
    virtual void Close();

    BOOL IsOpen() const;
    // FALSE when opened read-only or when the engine cannot write the database
    // (file or folder write-protected, or an input/output error: checked by a
    // real write when the connection is opened, tried twice on an I/O
    // error); also FALSE from the moment the file is removed or replaced by
    // another file while open (its device and inode are compared with the
    // opened file's on each call), or the engine found it damaged. FALSE when
    // not open. GetReadOnlyReason says which.
    BOOL CanUpdate() const;
    // Why CanUpdate is FALSE, as a sentence naming the file; empty when it is
    // TRUE or the connection is not open.
    CString GetReadOnlyReason() const;
    // TRUE when open: both engines support transactions.
    BOOL CanTransact() const;
    // The connection string as passed to OpenEx.
    const CString& GetConnect() const { return m_strConnect; }

    // Runs one statement that returns no rows (the statement is translated
    // first, see TranslateSql). A write outside a transaction is committed
    // when the call returns. Throws CDBException (engine text and statement)
    // on failure, and for text that holds more than one statement.
    void ExecuteSQL(const char* lpszSQL);
    // The same with the statement's values given apart from its text: each
    // "?" of the statement (outside quotes and names) stands for the next of
    // values, a whole number (DBVT_BOOL, DBVT_UCHAR, DBVT_SHORT, DBVT_LONG),
    // a real number (DBVT_SINGLE, DBVT_DOUBLE), a text (DBVT_STRING), bytes
    // (DBVT_BINARY) or NULL (DBVT_NULL). A statement written again with
    // other values is translated and prepared once per connection. Throws
    // CDBException as ExecuteSQL does, and when the number of "?" differs
    // from the number of values or a value is a date (write dates as text).
    void ExecuteSQL(const char* lpszSQL, const std::vector<CDBVariant>& values);
    // The same, taking the texts and byte arrays of values instead of copying
    // them: values is left holding empty ones.
    void ExecuteSQL(const char* lpszSQL, std::vector<CDBVariant>&& values);

    // Runs one statement that returns rows (translated as ExecuteSQL
    // translates it) and gives the values of its first row as texts, one per
    // result column: numbers in their text form, NULL as an empty text.
    // FALSE, with values empty, when the statement returns no row. Throws
    // CDBException as ExecuteSQL does. For a single row read often (a
    // counter, a head row), without a recordset's bound fields.
    BOOL QueryFirstRow(const char* lpszSQL, std::vector<CString>& values);
    // The same with the statement's values given apart from its text, each
    // "?" standing for the next of values as ExecuteSQL's values do: a text
    // written again with other values is translated and prepared once per
    // connection. row gets the first row's values. Throws CDBException as
    // ExecuteSQL with values does.
    BOOL QueryFirstRow(const char* lpszSQL, const std::vector<CDBVariant>& values, std::vector<CString>& row);

    // BEGIN IMMEDIATE: takes the write lock at once (waiting up to the query
    // timeout for another connection). Throws CDBException on failure (also
    // when a transaction is already open); returns TRUE.
    BOOL BeginTrans();
    // COMMIT; throws CDBException on failure (the transaction then stays open
    // and may be rolled back), also when no transaction is open. Returns TRUE.
    BOOL CommitTrans();
    // ROLLBACK; TRUE when a transaction was rolled back, FALSE when none was open.
    BOOL Rollback();
    // TRUE between BeginTrans and CommitTrans/Rollback.
    BOOL IsInTransaction() const;
    // The number of transactions begun on this object: tells one outermost
    // transaction from the next (0 before the first).
    unsigned TransactionSerial() const { return m_nTransactions; }
    // Numbers for the savepoints of nested CTransaction scopes: the smallest
    // number no scope holds now, held until given back. Two scopes alive at
    // the same time never share a name, while the scopes of one save after
    // another use the same names (and so the same kept statements).
    unsigned TakeSavepointNumber();
    void GiveBackSavepointNumber(unsigned number) noexcept;

    // The engine's integrity check of the whole file. TRUE when it finds
    // nothing; otherwise FALSE, and one line per problem is appended to
    // findings (when the damage stops the check itself, the engine's error
    // is the one line). After a FALSE nothing more is written through this
    // connection (see CanUpdate). Throws CDBException when not open or when
    // the check cannot run (another connection's lock held past the wait).
    BOOL CheckIntegrity(CStringList& findings);
    // Copies the database, consistently as of one commit while other
    // connections go on writing, into the new file targetPath: written to a
    // temporary file in the target's folder, synced, and renamed to
    // targetPath on success (nothing is left behind on failure). The copy is
    // a single file with the rollback journal. Throws CDBException when not
    // open, inside a transaction, when targetPath exists already (it is never
    // replaced), or when reading the database or writing the copy fails.
    void Backup(const char* targetPath);
    // Whether the open database holds a table, or an index, of that name
    // (letter case ignored). Throws CDBException when not open or the
    // engine's catalogue cannot be read.
    BOOL HasTable(const char* name);
    BOOL HasIndex(const char* name);

    // Seconds to wait for another connection's lock (0 = do not wait); applies
    // at once when open and to later opens.
    void SetQueryTimeout(DWORD dwSeconds);
    // Accepted for compatibility; opening a file never waits for a login.
    void SetLoginTimeout(DWORD dwSeconds) { m_dwLoginTimeout = dwSeconds; }

    // Hook through which the connection reports a failure of its own (the
    // return code is one of the AFX_SQL_ERROR_* values or SQL_ERROR): throws
    // CDBException with a text for the code. Derived classes may add to it
    // but must throw.
    virtual void ThrowDBException(RETCODE nRetCode);

    // Creates a new, empty database for the engine named by the connection
    // string (the DBQ file for SQLite). Throws CDBException when the file
    // exists already or cannot be created. For setup tools and tests.
    static void CreateDatabase(const char* lpszConnectString);

    // The engine driver's connection; nullptr when not open. For the SQL layer.
    CSqlConnection* GetSqlConnection() const { return m_pConnection.get(); }

    // The text work of the recordsets opened on this connection, kept for
    // the next open of the same text; emptied when the connection closes.
    // For the SQL layer.
    CRecordsetTextCache& GetRecordsetTextCache();

    // Recordsets register while open so that Close can close them first.
    void RegisterRecordset(CRecordset* pSet);
    void UnregisterRecordset(CRecordset* pSet);

private:
    void CloseConnection() noexcept;
    // A statement as given and in the engine's dialect; for a statement with
    // values, its markers numbered for the engine and counted.
    struct CKeptText {
        CString shown;
        CString engine;
        int markers = 0;
    };
    using CKeptTextPtr = std::shared_ptr<const CKeptText>;
    // Looked up by the text given, without a copy of it.
    struct CTextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
    };
    using CKeptTexts = std::unordered_map<std::string, CKeptTextPtr, CTextHash, std::equal_to<>>;
    // The engine's text of a statement without values, translated once per
    // connection (see m_executeTexts). Shared: it outlives the map's next
    // emptying.
    CKeptTextPtr EngineText(const char* sql);
    // The kept text of a statement with count values (see m_valueTexts).
    // Throws CDBException when its markers are not count.
    CKeptTextPtr ValueText(const char* sql, size_t count);
    // ExecuteSQL with count values, value(i, shown) giving the i-th.
    template <class Value>
    void ExecuteWithValues(const char* lpszSQL, size_t count, Value&& value);

    std::unique_ptr<CSqlConnection> m_pConnection;
    std::unique_ptr<CRecordsetTextCache> m_pTextCache;
    CString m_strConnect;
    DWORD m_dwQueryTimeout = DefaultQueryTimeout;
    DWORD m_dwLoginTimeout = 15;
    std::vector<CRecordset*> m_recordsets;
    std::vector<unsigned> m_heldSavepoints;
    // ExecuteSQL's statements in the engine's dialect by the text given:
    // the same text (a savepoint, a statement run again) is translated once
    // per connection. Emptied when the connection closes, and when it has
    // grown past a few hundred texts (texts with literals rarely repeat).
    CKeptTexts m_executeTexts;
    // The same for statements with values: the engine's text with its
    // markers numbered, and the number of markers.
    CKeptTexts m_valueTexts;
    unsigned m_nTransactions = 0;
};
