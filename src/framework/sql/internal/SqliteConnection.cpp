// The SQLite connection: opening and checking a database file, the
// write probe behind CanUpdate, statements, transactions and the row
// changes of the recordsets, and the mapping of engine errors.
#include "framework/sql/internal/SqliteConnection.h"

#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/SqlColumnTypes.h"
#include "framework/sql/internal/SqlConvert.h"
#include "framework/sql/internal/SqlErrors.h"
#include "framework/sql/internal/SqlLiterals.h"
#include "framework/sql/internal/SqliteStatement.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

namespace {

CString Quote(const CString& name)
{
    CString out = name;
    out.Replace("\"", "\"\"");
    return CString("\"") + out + "\"";
}

const char* OdbcState(int primary)
{
    switch (primary) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return "HYT00";
    case SQLITE_CONSTRAINT: return "23000";
    case SQLITE_ERROR: return "42000";
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB: return "08001";
    default: return "HY000";
    }
}

// True when only blanks and comments remain.
bool IsBlankTail(const char* p)
{
    while (p && *p) {
        if (std::isspace(static_cast<unsigned char>(*p))) {
            ++p;
        } else if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n')
                ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            const char* end = std::strstr(p + 2, "*/");
            if (!end)
                return true;
            p = end + 2;
        } else {
            return false;
        }
    }
    return true;
}

// The first word of a statement (after blanks and comments), upper-cased.
std::string FirstWord(const char* p)
{
    while (p && *p) {
        if (std::isspace(static_cast<unsigned char>(*p))) {
            ++p;
        } else if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n')
                ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            const char* end = std::strstr(p + 2, "*/");
            if (!end)
                return std::string();
            p = end + 2;
        } else {
            break;
        }
    }
    std::string word;
    while (p && std::isalpha(static_cast<unsigned char>(*p)))
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(*p++)));
    return word;
}

// Statements after which prepared statements may describe an old schema
// (their column lists are only brought up to date when they next run):
// everything but reading and writing rows and starting or ending a
// transaction. A rollback may undo a schema change.
bool MayChangeSchema(const char* sql)
{
    static const char* const keep[] = {"SELECT", "INSERT", "UPDATE", "DELETE", "REPLACE",
                                       "BEGIN", "COMMIT", "END", "SAVEPOINT", "RELEASE"};
    const std::string word = FirstWord(sql);
    for (const char* k : keep)
        if (word == k)
            return false;
    return true;
}

[[noreturn]] void ThrowOpenError(const CString& reason)
{
    throw MakeSqlException(AFX_SQL_ERROR_CONNECT_FAIL, reason, CString(),
                           "State:08001,Native:0,Origin:SQLite");
}

// The file exists, is a file, and begins like a database of this engine
// (an empty file is an empty database).
void CheckDatabaseFile(const CString& path)
{
    struct stat st {};
    if (::stat(path, &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            ThrowOpenError(CString("The database file '") + path + "' does not exist.");
        ThrowOpenError(CString("The database file '") + path + "' cannot be reached: " + std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode))
        ThrowOpenError(CString("'") + path + "' is a folder, not a database file.");
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        ThrowOpenError(CString("The database file '") + path + "' cannot be read: " + std::strerror(errno));
    char header[32] = {};
    const ssize_t n = ::read(fd, header, sizeof header);
    ::close(fd);
    if (n == 0)
        return;
    if (n >= 16 && std::memcmp(header, "SQLite format 3", 16) == 0)
        return;
    const std::string head(header, static_cast<size_t>(std::max<ssize_t>(n, 0)));
    if (head.find("Standard Jet DB") != std::string::npos || head.find("Standard ACE DB") != std::string::npos)
        ThrowOpenError(CString("'") + path +
                       "' is a Microsoft Access database file. This program keeps its data in SQLite database "
                       "files; convert the file first.");
    ThrowOpenError(CString("'") + path + "' is not a SQLite database file.");
}

} // namespace

CDBException MakeSqliteException(sqlite3* db, int rc, const CString& shown, int busyTimeoutMs)
{
    const int primary = rc & 0xff;
    const int native = db ? sqlite3_extended_errcode(db) : rc;
    CString reason = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    if (reason.IsEmpty() || (db && (sqlite3_errcode(db) & 0xff) != primary))
        reason = sqlite3_errstr(rc); // the handle's message belongs to another call
    switch (primary) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        reason.AppendFormat(": another connection kept the database locked for longer than the wait of %d ms",
                            busyTimeoutMs);
        break;
    case SQLITE_READONLY:
        reason += " (the database is open read-only, or its file or folder is write-protected)";
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        reason += " (the database file is damaged or is not a database)";
        break;
    default:
        break;
    }
    CString state;
    state.Format("State:%s,Native:%d,Origin:SQLite %s", OdbcState(primary), native, sqlite3_libversion());
    return MakeSqlException(SQL_ERROR, reason, shown, state);
}

int BindSqliteValue(sqlite3_stmt* stmt, int index, const CSqlValue& value)
{
    switch (value.GetType()) {
    case CSqlValue::Type::Null: return sqlite3_bind_null(stmt, index);
    case CSqlValue::Type::Integer: return sqlite3_bind_int64(stmt, index, value.GetInteger());
    case CSqlValue::Type::Real: return sqlite3_bind_double(stmt, index, value.GetReal());
    case CSqlValue::Type::Text: {
        const std::string& t = value.GetText();
        return sqlite3_bind_text64(stmt, index, t.data(), t.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    case CSqlValue::Type::Blob: {
        const std::vector<uint8_t>& b = value.GetBlob();
        if (b.empty())
            return sqlite3_bind_zeroblob(stmt, index, 0); // a null pointer would bind NULL
        return sqlite3_bind_blob64(stmt, index, b.data(), b.size(), SQLITE_TRANSIENT);
    }
    }
    return SQLITE_MISUSE;
}

CSqliteStmtHandle CSqliteStatementCache::Take(const std::string& key)
{
    for (size_t i = m_entries.size(); i-- > 0;) {
        if (m_entries[i].key == key) {
            CSqliteStmtHandle stmt = std::move(m_entries[i].stmt);
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
            return stmt;
        }
    }
    return CSqliteStmtHandle();
}

void CSqliteStatementCache::Give(std::string key, CSqliteStmtHandle stmt, uint64_t generation) noexcept
{
    if (generation != m_generation || !stmt)
        return; // finalized here: it may describe an old schema
    try {
        m_entries.push_back({std::move(key), std::move(stmt)});
    } catch (...) {
        return; // no memory for the entry: the statement is finalized
    }
    if (m_entries.size() > Capacity)
        m_entries.erase(m_entries.begin());
}

void CSqliteStatementCache::Clear() noexcept
{
    m_entries.clear();
    ++m_generation;
}

CSqliteConnection::CSqliteConnection(CSqliteHandle db, int busyTimeoutMs)
    : m_db(std::move(db)), m_nBusyTimeoutMs(busyTimeoutMs)
{
}

CSqliteConnection::~CSqliteConnection()
{
    m_cache.Clear();
}

std::unique_ptr<CSqliteConnection> CSqliteConnection::Open(const CString& path, bool readOnly, int busyTimeoutMs)
{
    CheckDatabaseFile(path);
    sqlite3* raw = nullptr;
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path, &raw, flags, nullptr);
    CSqliteHandle db(raw);
    if (rc != SQLITE_OK) {
        CDBException e = MakeSqliteException(raw, rc, CString(), busyTimeoutMs);
        e.m_strError += CString(" ('") + path + "')";
        throw e;
    }
    // "x" is a name, never a text: a misspelt [column] must fail, not turn
    // into a string constant.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, static_cast<int*>(nullptr));
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, static_cast<int*>(nullptr));
    sqlite3_busy_timeout(raw, busyTimeoutMs);

    std::unique_ptr<CSqliteConnection> connection(new CSqliteConnection(std::move(db), busyTimeoutMs));
    // Durability: every commit reaches the disk before COMMIT returns. The
    // journal mode stays the rollback journal that the file was made with
    // (a file switched to WAL keeps WAL, which is crash-safe as well).
    connection->Execute("PRAGMA synchronous = FULL", "PRAGMA synchronous = FULL");
    // Reads the file header: a damaged or foreign file fails here, not later.
    connection->Execute("PRAGMA schema_version", "PRAGMA schema_version");
    connection->m_bCanUpdate = !readOnly && connection->ProbeWritable(path);
    return connection;
}

bool CSqliteConnection::ProbeWritable(const CString& path)
{
    sqlite3* db = m_db.get();
    if (sqlite3_db_readonly(db, "main") != 0)
        return false;
    // A real write, rolled back: the engine must be able to create its journal
    // beside the file and change the file's first page. Waiting for another
    // writer is kept short; if it holds its lock, fall back to the
    // permissions of the file and its folder.
    sqlite3_busy_timeout(db, std::min(m_nBusyTimeoutMs, 1000));
    bool writable = false;
    int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
        CString folder = path;
        const int slash = folder.ReverseFind('/');
        folder = slash > 0 ? folder.Left(slash) : CString(slash == 0 ? "/" : ".");
        writable = ::access(path, W_OK) == 0 && ::access(folder, W_OK) == 0;
    } else if (rc == SQLITE_OK) {
        int version = 0;
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &raw, nullptr) == SQLITE_OK) {
            CSqliteStmtHandle stmt(raw);
            if (sqlite3_step(raw) == SQLITE_ROW)
                version = sqlite3_column_int(raw, 0);
        }
        CString write;
        write.Format("PRAGMA user_version = %d", version);
        writable = sqlite3_exec(db, write, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_busy_timeout(db, m_nBusyTimeoutMs);
    return writable;
}

void CSqliteConnection::Create(const CString& path)
{
    struct stat st {};
    if (::stat(path, &st) == 0)
        ThrowOpenError(CString("The database file '") + path + "' exists already.");
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path, &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXRESCODE,
                                   nullptr);
    CSqliteHandle db(raw);
    if (rc != SQLITE_OK) {
        CDBException e = MakeSqliteException(raw, rc, CString(), 0);
        e.m_strError += CString(" ('") + path + "')";
        throw e;
    }
    // Writing the header now gives a file that is recognisably a database.
    const char* const setup = "PRAGMA journal_mode = DELETE; PRAGMA user_version = 0; "
                              "BEGIN IMMEDIATE; CREATE TABLE __zen_init(x); DROP TABLE __zen_init; COMMIT;";
    const int setupRc = sqlite3_exec(raw, setup, nullptr, nullptr, nullptr);
    if (setupRc != SQLITE_OK) {
        CDBException e = MakeSqliteException(raw, setupRc, CString("create database"), 0);
        db.reset();
        ::unlink(path); // no half-made file stays behind
        throw e;
    }
}

void CSqliteConnection::SetBusyTimeout(int milliseconds)
{
    m_nBusyTimeoutMs = milliseconds;
    sqlite3_busy_timeout(m_db.get(), milliseconds);
}

CDBException CSqliteConnection::MakeError(int rc, const CString& shown) const
{
    return MakeSqliteException(m_db.get(), rc, shown, m_nBusyTimeoutMs);
}

void CSqliteConnection::ThrowError(int rc, const CString& shown) const
{
    throw MakeError(rc, shown);
}

CSqliteStmtHandle CSqliteConnection::PrepareRaw(const CString& engineSql, const CString& shown)
{
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db.get(), engineSql, engineSql.GetLength() + 1, &raw, &tail);
    CSqliteStmtHandle stmt(raw);
    if (rc != SQLITE_OK)
        ThrowError(rc, shown);
    if (!raw)
        ThrowSqlLayerError(SQL_ERROR, "The statement is empty.", shown);
    if (!IsBlankTail(tail))
        ThrowSqlLayerError(SQL_ERROR,
                           CString("Only one statement can be run at a time; the text goes on after the first "
                                   "statement with: ") +
                               CString(tail).Trim(),
                           shown);
    return stmt;
}

std::unique_ptr<CSqlStatement> CSqliteConnection::Prepare(const CString& engineSql, const CString& shown)
{
    if (FirstWord(engineSql) != "SELECT") {
        CSqliteStmtHandle stmt = PrepareRaw(engineSql, shown);
        if (!sqlite3_stmt_readonly(stmt.get()))
            m_cache.Clear(); // it may change the schema when it runs
        return std::make_unique<CSqliteStatement>(*this, std::move(stmt), shown, std::string(), 0);
    }
    CParameterisedSql parameterised;
    const bool hasParameters = ParameteriseLiterals(engineSql.Str(), '?', parameterised);
    std::string key = hasParameters ? std::move(parameterised.text) : engineSql.Str();
    CSqliteStmtHandle stmt = m_cache.Take(key);
    if (!stmt) {
        if (hasParameters) {
            try {
                stmt = PrepareRaw(CString(key), shown);
            } catch (const CDBException&) {
                // The statement as written decides: its own error, or (should
                // only the parameterised text fail) a statement of its own.
                return std::make_unique<CSqliteStatement>(*this, PrepareRaw(engineSql, shown), shown,
                                                          std::string(), 0);
            }
        } else {
            stmt = PrepareRaw(engineSql, shown);
        }
        if (!sqlite3_stmt_readonly(stmt.get())) {
            m_cache.Clear();
            key.clear(); // not kept for reuse
        }
    }
    for (size_t i = 0; i < parameterised.values.size(); ++i)
        if (const int rc = BindSqliteValue(stmt.get(), static_cast<int>(i + 1), parameterised.values[i]);
            rc != SQLITE_OK)
            ThrowError(rc, shown);
    return std::make_unique<CSqliteStatement>(*this, std::move(stmt), shown, std::move(key), m_cache.Generation());
}

void CSqliteConnection::ReleaseStatement(std::string key, CSqliteStmtHandle stmt, uint64_t generation) noexcept
{
    if (!stmt)
        return;
    sqlite3_reset(stmt.get());
    if (key.empty())
        return; // finalized by the handle
    sqlite3_clear_bindings(stmt.get());
    m_cache.Give(std::move(key), std::move(stmt), generation);
}

int CSqliteConnection::RunWrite(sqlite3_stmt* stmt, const CString& shown)
{
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        CDBException e = MakeError(rc, shown);
        sqlite3_reset(stmt);
        throw e;
    }
    return sqlite3_changes(m_db.get());
}

int CSqliteConnection::Execute(const CString& engineSql, const CString& shown)
{
    if (MayChangeSchema(engineSql))
        m_cache.Clear();
    CSqliteStmtHandle stmt = PrepareRaw(engineSql, shown);
    return RunWrite(stmt.get(), shown);
}

void CSqliteConnection::BeginTransaction()
{
    Execute("BEGIN IMMEDIATE", "BEGIN IMMEDIATE");
}

void CSqliteConnection::CommitTransaction()
{
    Execute("COMMIT", "COMMIT");
}

bool CSqliteConnection::RollbackTransaction()
{
    if (!InTransaction())
        return false;
    Execute("ROLLBACK", "ROLLBACK"); // also empties the statement cache
    return true;
}

bool CSqliteConnection::InTransaction() const
{
    return sqlite3_get_autocommit(m_db.get()) == 0;
}

CString CSqliteConnection::GetParameterMarker(int index) const
{
    CString marker;
    marker.Format("?%d", index);
    return marker;
}

void RefuseNulInText(const CSqlValue& value, const CString& what, const CString& shown)
{
    if (value.GetType() != CSqlValue::Type::Text)
        return;
    const std::string& text = value.GetText();
    const size_t nul = text.find('\0');
    if (nul == std::string::npos)
        return;
    CString reason;
    reason.Format("The text for %s holds a NUL byte (after %d characters), which cannot be stored: the text would "
                  "be found only up to it.",
                  what.GetString(), static_cast<int>(CountCharacters(text.substr(0, nul))));
    throw MakeSqlException(SQL_ERROR, reason, shown, "State:22000,Native:0,Origin:SQL layer");
}

void CSqliteConnection::CheckTexts(const CString& table, const std::vector<CString>& columns,
                                   const std::vector<CSqlValue>& values, const CString& shown) const
{
    for (size_t i = 0; i < columns.size() && i < values.size(); ++i) {
        if (values[i].GetType() != CSqlValue::Type::Text)
            continue;
        const CString what = CString("column ") + columns[i] + " of table " + table;
        RefuseNulInText(values[i], what, shown);
        const char* declared = nullptr;
        if (sqlite3_table_column_metadata(m_db.get(), nullptr, table, columns[i], &declared, nullptr, nullptr,
                                          nullptr, nullptr) != SQLITE_OK ||
            !declared)
            continue; // the engine reports an unknown column when the row is written
        const int limit = DeclaredTextLength(declared);
        if (limit < 0 || values[i].GetText().size() <= static_cast<size_t>(limit))
            continue; // no more bytes than characters allowed: short enough
        const size_t characters = CountCharacters(values[i].GetText());
        if (characters <= static_cast<size_t>(limit))
            continue;
        CString reason;
        reason.Format("The text for %s is %d characters long; the column holds at most %d (%s).", what.GetString(),
                      static_cast<int>(characters), limit, declared);
        throw MakeSqlException(SQL_ERROR, reason, shown, "State:22001,Native:0,Origin:SQL layer");
    }
}

CSqlValue CSqliteConnection::InsertRow(const CString& table, const std::vector<CString>& columns,
                                       const std::vector<CSqlValue>& values)
{
    CString sql = CString("INSERT INTO ") + Quote(table);
    if (columns.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        CString names;
        CString markers;
        for (size_t i = 0; i < columns.size(); ++i) {
            names += (i ? ", " : "") + Quote(columns[i]);
            markers += (i ? ", " : "") + GetParameterMarker(static_cast<int>(i + 1));
        }
        sql += CString(" (") + names + ") VALUES (" + markers + ")";
    }
    CheckTexts(table, columns, values, sql);
    CSqliteStmtHandle stmt = PrepareRaw(sql, sql);
    for (size_t i = 0; i < values.size(); ++i)
        if (const int rc = BindSqliteValue(stmt.get(), static_cast<int>(i + 1), values[i]); rc != SQLITE_OK)
            ThrowError(rc, sql);
    RunWrite(stmt.get(), sql);
    return CSqlValue::Integer(sqlite3_last_insert_rowid(m_db.get()));
}

int CSqliteConnection::UpdateRow(const CString& table, const CSqlValue& rowId, const std::vector<CString>& columns,
                                 const std::vector<CSqlValue>& values)
{
    CString sql = CString("UPDATE ") + Quote(table) + " SET ";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? ", " : "") + Quote(columns[i]) + " = " + GetParameterMarker(static_cast<int>(i + 1));
    sql += CString(" WHERE rowid = ") + GetParameterMarker(static_cast<int>(columns.size() + 1));
    CheckTexts(table, columns, values, sql);
    CSqliteStmtHandle stmt = PrepareRaw(sql, sql);
    for (size_t i = 0; i < values.size(); ++i)
        if (const int rc = BindSqliteValue(stmt.get(), static_cast<int>(i + 1), values[i]); rc != SQLITE_OK)
            ThrowError(rc, sql);
    if (const int rc = BindSqliteValue(stmt.get(), static_cast<int>(columns.size() + 1), rowId); rc != SQLITE_OK)
        ThrowError(rc, sql);
    return RunWrite(stmt.get(), sql);
}

int CSqliteConnection::DeleteRow(const CString& table, const CSqlValue& rowId)
{
    const CString sql = CString("DELETE FROM ") + Quote(table) + " WHERE rowid = ?1";
    CSqliteStmtHandle stmt = PrepareRaw(sql, sql);
    if (const int rc = BindSqliteValue(stmt.get(), 1, rowId); rc != SQLITE_OK)
        ThrowError(rc, sql);
    return RunWrite(stmt.get(), sql);
}
