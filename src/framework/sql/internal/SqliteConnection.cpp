// The SQLite connection: opening and checking a database file, the choice
// of journal, the write probe behind CanUpdate and the file's identity,
// statements, transactions and the row changes of the recordsets, the
// integrity check and the online backup, and the mapping of engine errors.
#include "framework/sql/internal/SqliteConnection.h"

#include "framework/sql/FieldInfo.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/internal/SqlColumnTypes.h"
#include "framework/sql/internal/SqlConvert.h"
#include "framework/sql/internal/SqlErrors.h"
#include "framework/sql/internal/SqlLiterals.h"
#include "framework/sql/internal/SqlTokens.h"
#include "framework/sql/internal/SqliteStatement.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <strings.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>

namespace {


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


// Statements after which prepared statements may describe an old schema
// (their column lists are only brought up to date when they next run):
// everything but reading and writing rows and starting or ending a
// transaction. A rollback may undo a schema change.
// By the statement's first word (SqlFirstWord): anything but row statements
// and transaction control may change the schema.
bool MayChangeSchema(std::string_view word)
{
    static constexpr std::string_view keep[] = {"SELECT", "INSERT", "UPDATE", "DELETE",    "REPLACE",
                                                "BEGIN",  "COMMIT", "END",    "SAVEPOINT", "RELEASE"};
    for (const std::string_view k : keep)
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

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind('/');
    return slash > 0 ? path.Left(slash) : CString(slash == 0 ? "/" : ".");
}

// File systems on which the write-ahead log is unsafe: its index lives in
// memory shared between the processes of one machine, which the clients of
// a network file system do not share (and FUSE file systems such as sshfs
// mostly do not support the shared mapping).
bool IsNetworkFileSystem(const CString& path)
{
    struct statfs fs {};
    if (::statfs(path, &fs) != 0)
        return false;
    static const unsigned long kNetwork[] = {
        0x6969,     // NFS
        0x517B,     // SMB
        0xFF534D42, // CIFS
        0xFE534D42, // SMB2
        0x65735546, // FUSE (sshfs and others)
        0x01021997, // 9p
        0x5346414F, // AFS
        0x6B414653, // kAFS
        0x00C36400, // Ceph
        0x73757245, // Coda
        0x564C,     // NCP
        0x0BD00BD0, // Lustre
        0x01161970, // GFS2
        0x7461636F, // OCFS2
        0x13661366, // OrangeFS
        0x47504653, // GPFS
    };
    const auto type = static_cast<unsigned long>(fs.f_type) & 0xFFFFFFFFul;
    return std::find(std::begin(kNetwork), std::end(kNetwork), type) != std::end(kNetwork);
}

// True when the file's header marks it as kept with a write-ahead log.
bool HasWalHeader(const CString& path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char header[20] = {};
    const ssize_t n = ::read(fd, header, sizeof header);
    ::close(fd);
    return n == static_cast<ssize_t>(sizeof header) && header[18] == 2 && header[19] == 2;
}

// "file:" URI of a path, for opening with URI parameters.
std::string FileUri(const CString& path)
{
    std::string uri = path.Left(1) == "/" ? "file://" : "file:";
    for (const char c : path.Str()) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            uri += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", u);
            uri += escaped;
        }
    }
    return uri;
}

std::string EngineText(sqlite3* db, int rc)
{
    const char* message = db ? sqlite3_errmsg(db) : nullptr;
    if (!message || !*message || (db && (sqlite3_errcode(db) & 0xff) != (rc & 0xff)))
        message = sqlite3_errstr(rc);
    return message;
}

// Errors of the operating system that mean "no room", not damage.
bool IsNoRoom(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// "There is no room left for the database file '<path>': no space left on
// device (<engine text>)."
CString NoRoomText(const CString& path, int error, const CString& engineText)
{
    std::string system = std::strerror(error);
    if (!system.empty())
        system[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(system[0])));
    return CString("There is no room left for the database file '") + path + "': " + system.c_str() + " (" +
           engineText + ").";
}

} // namespace

CDBException MakeSqliteException(sqlite3* db, int rc, const CString& shown, int busyTimeoutMs, const CString& path,
                                 const CString& fileProblem, int osError)
{
    const int primary = rc & 0xff;
    const int native = db ? sqlite3_extended_errcode(db) : rc;
    // The engine keeps the system error only for some failures; the caller's
    // errno, taken right after the failing call, stands in for the others.
    const int systemErrno = db && sqlite3_system_errno(db) != 0 ? sqlite3_system_errno(db) : osError;
    const CString engineText(EngineText(db, rc));
    CString reason = engineText;
    switch (primary) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        reason = LockWaitReason(engineText, busyTimeoutMs);
        break;
    case SQLITE_READONLY:
        if (!fileProblem.IsEmpty())
            reason = fileProblem + " (" + engineText + ")";
        else
            reason += " (the database is open read-only, or its file or folder is write-protected)";
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        if (path.IsEmpty())
            reason += " (the database file is damaged or is not a database)";
        else
            reason = CString("The database file '") + path + "' is damaged (" + engineText +
                     "). Restore it from a backup; the integrity check lists what is wrong.";
        break;
    case SQLITE_FULL:
        if (!path.IsEmpty())
            reason = NoRoomText(path, systemErrno != 0 ? systemErrno : ENOSPC, engineText);
        break;
    case SQLITE_IOERR:
        if (!fileProblem.IsEmpty())
            reason = fileProblem + " (" + engineText + ")";
        else if (!path.IsEmpty() && IsNoRoom(systemErrno))
            // The engine reports only ENOSPC as full; a quota or a file size
            // limit arrives as a plain write error, yet is no damage.
            reason = NoRoomText(path, systemErrno, engineText);
        else if (!path.IsEmpty())
            reason = CString("An input/output error occurred on the database file '") + path + "' (" + engineText +
                     "); the file or the storage that holds it may be damaged.";
        break;
    default:
        break;
    }
    CString state;
    state.Format("State:%s,Native:%d,Origin:SQLite %s", OdbcState(primary), native, sqlite3_libversion());
    return MakeSqlException(SQL_ERROR, reason, shown, state);
}

int BindSqliteValue(sqlite3_stmt* stmt, int index, const CSqlValue& value, bool lent)
{
    const sqlite3_destructor_type keep = lent ? SQLITE_STATIC : SQLITE_TRANSIENT;
    switch (value.GetType()) {
    case CSqlValue::Type::Null: return sqlite3_bind_null(stmt, index);
    case CSqlValue::Type::Integer: return sqlite3_bind_int64(stmt, index, value.GetInteger());
    case CSqlValue::Type::Real: return sqlite3_bind_double(stmt, index, value.GetReal());
    case CSqlValue::Type::Text: {
        const std::string& t = value.GetText();
        return sqlite3_bind_text64(stmt, index, t.data(), t.size(), keep, SQLITE_UTF8);
    }
    case CSqlValue::Type::Blob: {
        const std::vector<uint8_t>& b = value.GetBlob();
        if (b.empty())
            return sqlite3_bind_zeroblob(stmt, index, 0); // a null pointer would bind NULL
        return sqlite3_bind_blob64(stmt, index, b.data(), b.size(), keep);
    }
    }
    return SQLITE_MISUSE;
}

CSqliteStmtHandle CSqliteStatementCache::Take(const std::string& key, uint64_t& ticket)
{
    ticket = 0;
    for (CEntry& entry : m_entries) {
        if (entry.lentAs == 0 && entry.key == key) {
            entry.lentAs = ++m_clock;
            ticket = entry.lentAs;
            return std::move(entry.stmt);
        }
    }
    return CSqliteStmtHandle();
}

void CSqliteStatementCache::Give(uint64_t ticket, std::string key, CSqliteStmtHandle stmt,
                                 uint64_t generation) noexcept
{
    if (generation != m_generation || !stmt)
        return; // finalized here: it may describe an old schema
    if (ticket != 0) {
        for (CEntry& entry : m_entries) {
            if (entry.lentAs == ticket) {
                entry.stmt = std::move(stmt);
                entry.lentAs = 0;
                entry.usedAt = ++m_clock;
                return;
            }
        }
        return; // its place was given up while it was lent: finalized
    }
    if (key.empty())
        return;
    try {
        m_entries.push_back({std::move(key), std::move(stmt), 0, ++m_clock});
    } catch (...) {
        return; // no memory for the entry: the statement is finalized
    }
    Trim();
}

size_t CSqliteStatementCache::IdleCount() const
{
    return static_cast<size_t>(
        std::count_if(m_entries.begin(), m_entries.end(), [](const CEntry& e) { return e.lentAs == 0; }));
}

void CSqliteStatementCache::Trim() noexcept
{
    // The least recently used idle statements beyond Capacity are finalized.
    // Places of lent statements count only past twice the capacity
    // (statements lent and never given back, after a failure between Take
    // and Give): then the least recently used place goes, and a statement
    // that comes back to it later is finalized.
    auto oldest = [&](bool idleOnly) {
        auto found = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if ((!idleOnly || it->lentAs == 0) && (found == m_entries.end() || it->usedAt < found->usedAt))
                found = it;
        return found;
    };
    while (IdleCount() > Capacity)
        m_entries.erase(oldest(true));
    while (m_entries.size() > 2 * Capacity)
        m_entries.erase(oldest(false));
}

void CSqliteStatementCache::Clear() noexcept
{
    m_entries.clear();
    ++m_generation;
}

CSqliteConnection::CSqliteConnection(CSqliteHandle db, int busyTimeoutMs)
    : m_db(std::move(db)), m_nBusyTimeoutMs(busyTimeoutMs)
{
    sqlite3_commit_hook(m_db.get(), &CSqliteConnection::OnCommit, this);
    sqlite3_rollback_hook(m_db.get(), &CSqliteConnection::OnRollback, this);
}

int CSqliteConnection::OnCommit(void* self) noexcept
{
    auto* connection = static_cast<CSqliteConnection*>(self);
    connection->m_identityCheckedInTransaction = false;
    if (connection->m_identityCheckedForStatement)
        return 0;
    try {
        CString problem = connection->FileIdentityProblem();
        if (problem.IsEmpty())
            return 0;
        connection->m_commitRefusal = std::move(problem);
    } catch (...) {
        connection->m_commitRefusal = "The database file could not be checked before the commit.";
    }
    return 1; // the engine rolls the transaction back instead
}

void CSqliteConnection::OnRollback(void* self) noexcept
{
    static_cast<CSqliteConnection*>(self)->m_identityCheckedInTransaction = false;
}

CSqliteConnection::~CSqliteConnection()
{
    // Closing rolls back an open transaction: no hook may reach a connection
    // that is being taken apart.
    sqlite3_commit_hook(m_db.get(), nullptr, nullptr);
    sqlite3_rollback_hook(m_db.get(), nullptr, nullptr);
    m_cache.Clear();
    if (m_path.IsEmpty() || FileIdentityProblem().IsEmpty())
        return;
    // The file was removed or replaced while open. The engine cannot fold its
    // write-ahead log back into a file that lost its name, so it leaves the
    // log beside the name, where the next connection would apply it to
    // whatever file stands there now. That log and its index belong to the
    // file that is gone: removed once this connection has let go of them.
    struct stat log {};
    struct stat index {};
    const CString logPath = m_path + "-wal";
    const CString indexPath = m_path + "-shm";
    const bool hadLog = ::stat(logPath, &log) == 0;
    const bool hadIndex = ::stat(indexPath, &index) == 0;
    m_db.reset();
    struct stat now {};
    if (hadLog && ::stat(logPath, &now) == 0 && now.st_ino == log.st_ino && now.st_dev == log.st_dev)
        ::unlink(logPath);
    if (hadIndex && ::stat(indexPath, &now) == 0 && now.st_ino == index.st_ino && now.st_dev == index.st_dev)
        ::unlink(indexPath);
}

std::unique_ptr<CSqliteConnection> CSqliteConnection::Open(const CString& path, bool readOnly, int busyTimeoutMs)
{
    CheckDatabaseFile(path);
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path.Str(), ec);
    const CString fullPath = ec ? path : CString(absolute.lexically_normal().string());
    auto openHandle = [&](const std::string& name, int flags) {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(name.c_str(), &raw, flags | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX,
                                       nullptr);
        CSqliteHandle db(raw);
        if (rc != SQLITE_OK) {
            CDBException e = MakeSqliteException(raw, rc, CString(), busyTimeoutMs, fullPath);
            e.m_strError += CString(" ('") + path + "')";
            throw e;
        }
        // "x" is a name, never a text: a misspelt [column] must fail, not turn
        // into a string constant.
        sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, static_cast<int*>(nullptr));
        sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, static_cast<int*>(nullptr));
        sqlite3_busy_timeout(raw, busyTimeoutMs);
        std::unique_ptr<CSqliteConnection> connection(new CSqliteConnection(std::move(db), busyTimeoutMs));
        connection->m_path = fullPath;
        return connection;
    };

    std::unique_ptr<CSqliteConnection> connection =
        openHandle(path.Str(), readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
    struct stat st {};
    if (::stat(path, &st) == 0) {
        connection->m_device = static_cast<uint64_t>(st.st_dev);
        connection->m_inode = static_cast<uint64_t>(st.st_ino);
    }
    try {
        // Durability: every commit reaches the disk before COMMIT returns.
        connection->Execute("PRAGMA synchronous = FULL", "PRAGMA synchronous = FULL");
        // Reads the file header: a damaged or foreign file fails here, not later.
        connection->Execute("PRAGMA schema_version", "PRAGMA schema_version");
    } catch (const CDBException&) {
        // A file kept with a write-ahead log needs its shared-memory index
        // beside it; in a folder that cannot be written the index cannot be
        // made. Without a log holding changes the file alone is the whole
        // database: it is read as it stands, read-only.
        const int rc = sqlite3_extended_errcode(connection->m_db.get()) & 0xff;
        const CString folder = FolderOf(fullPath);
        if (!(rc == SQLITE_READONLY || rc == SQLITE_CANTOPEN) || !HasWalHeader(path) ||
            ::access(folder, W_OK) == 0)
            throw;
        struct stat log {};
        if (::stat(path + "-wal", &log) == 0 && log.st_size > 0)
            ThrowOpenError(CString("The database file '") + path +
                           "' has changes in its write-ahead log that cannot be read, because its folder is "
                           "write-protected. Open it once where the folder can be written.");
        connection = openHandle(FileUri(fullPath) + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        connection->m_device = static_cast<uint64_t>(st.st_dev);
        connection->m_inode = static_cast<uint64_t>(st.st_ino);
        connection->Execute("PRAGMA schema_version", "PRAGMA schema_version");
        connection->m_bReadOnlyOpen = true;
        connection->m_strReadOnlyReason = CString("The folder of the database file '") + path +
                                          "' is write-protected; the file is read as it stands.";
        return connection;
    }
    connection->m_bReadOnlyOpen = readOnly;
    if (readOnly) {
        connection->m_strReadOnlyReason = "The database was opened read-only.";
        return connection;
    }
    connection->ChooseJournal();
    connection->m_bCanUpdate = connection->ProbeWritable();
    return connection;
}

void CSqliteConnection::ChooseJournal()
{
    sqlite3* db = m_db.get();
    if (sqlite3_db_readonly(db, "main") != 0)
        return;
    const char* wanted = IsNetworkFileSystem(m_path) ? "DELETE" : "WAL";
    // Changing the journal needs the file to itself for a moment; another
    // connection keeping it busy leaves the journal as it is.
    sqlite3_busy_timeout(db, std::min(m_nBusyTimeoutMs, 1000));
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &raw, nullptr) == SQLITE_OK) {
        CSqliteStmtHandle stmt(raw);
        if (sqlite3_step(raw) == SQLITE_ROW) {
            const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
            const bool isWal = mode && strcasecmp(mode, "wal") == 0;
            if (isWal != (std::strcmp(wanted, "WAL") == 0)) {
                stmt.reset();
                const std::string change = std::string("PRAGMA journal_mode = ") + wanted;
                sqlite3_exec(db, change.c_str(), nullptr, nullptr, nullptr);
            }
        }
    }
    sqlite3_busy_timeout(db, m_nBusyTimeoutMs);
}

bool CSqliteConnection::ProbeWritable()
{
    sqlite3* db = m_db.get();
    if (sqlite3_db_readonly(db, "main") != 0) {
        m_strReadOnlyReason = CString("The database file '") + m_path +
                              "' cannot be written: it is write-protected, or its file system is read-only.";
        return false;
    }
    // A real write: the engine must be able to write its log or journal
    // beside the file. In WAL mode only a commit writes the log, so the
    // unchanged user_version is committed; otherwise the change is rolled
    // back after the journal was written. Waiting for another writer is kept
    // short; if it holds its lock, fall back to the permissions of the file
    // and its folder.
    sqlite3_busy_timeout(db, std::min(m_nBusyTimeoutMs, 1000));
    bool wal = false;
    {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &raw, nullptr) == SQLITE_OK) {
            CSqliteStmtHandle stmt(raw);
            if (sqlite3_step(raw) == SQLITE_ROW) {
                const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
                wal = mode && strcasecmp(mode, "wal") == 0;
            }
        }
    }
    bool writable = false;
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 2 && !writable; ++attempt) {
        rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
            writable = ::access(m_path, W_OK) == 0 && ::access(FolderOf(m_path), W_OK) == 0;
            if (!writable)
                m_strReadOnlyReason = CString("The database file '") + m_path +
                                      "' or its folder is write-protected.";
            break;
        }
        if (rc == SQLITE_OK) {
            int version = 0;
            sqlite3_stmt* raw = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &raw, nullptr) == SQLITE_OK) {
                CSqliteStmtHandle stmt(raw);
                if (sqlite3_step(raw) == SQLITE_ROW)
                    version = sqlite3_column_int(raw, 0);
            }
            CString write;
            write.Format("PRAGMA user_version = %d", version);
            rc = sqlite3_exec(db, write, nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK && wal)
                rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            writable = rc == SQLITE_OK;
            if (sqlite3_get_autocommit(db) == 0)
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        if (writable)
            break;
        const CString engineText(EngineText(db, rc));
        if ((rc & 0xff) == SQLITE_IOERR) {
            m_strReadOnlyReason = CString("An input/output error occurred in the write test on the database file '") +
                                  m_path + "' (" + engineText + ").";
            continue; // once more: the error may have been passing
        }
        const CString moved = FileIdentityProblem();
        if (!moved.IsEmpty())
            m_strReadOnlyReason = moved;
        else if ((rc & 0xff) == SQLITE_READONLY || (rc & 0xff) == SQLITE_CANTOPEN || (rc & 0xff) == SQLITE_PERM)
            m_strReadOnlyReason = CString("The database file '") + m_path + "' or its folder is write-protected (" +
                                  engineText + ").";
        else
            m_strReadOnlyReason = CString("The write test on the database file '") + m_path + "' failed (" +
                                  engineText + ").";
        break;
    }
    if (writable)
        m_strReadOnlyReason.Empty();
    sqlite3_busy_timeout(db, m_nBusyTimeoutMs);
    return writable;
}

CString CSqliteConnection::FileIdentityProblem() const
{
    if (m_inode == 0 && m_device == 0)
        return CString();
    struct stat st {};
    if (::stat(m_path, &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            return CString();
        return CString("The database file '") + m_path +
               "' was removed while it was open; nothing more can be written to it. Close the database and open "
               "it again.";
    }
    if (static_cast<uint64_t>(st.st_dev) != m_device || static_cast<uint64_t>(st.st_ino) != m_inode)
        return CString("The database file '") + m_path +
               "' was replaced by another file while it was open; nothing more can be written to it. Close the "
               "database and open it again.";
    return CString();
}

bool CSqliteConnection::CanUpdate() const
{
    if (!m_bCanUpdate || m_bDamaged)
        return false;
    // Inside a transaction whose first write found the file in place, the
    // commit asks again: the answer stands until then.
    if (m_identityCheckedInTransaction && InTransaction())
        return true;
    return FileIdentityProblem().IsEmpty();
}

CString CSqliteConnection::GetReadOnlyReason() const
{
    if (!m_strReadOnlyReason.IsEmpty() && !m_bCanUpdate)
        return m_strReadOnlyReason;
    const CString moved = FileIdentityProblem();
    if (!moved.IsEmpty())
        return moved;
    if (m_bDamaged)
        return CString("The database file '") + m_path +
               "' is damaged: nothing more is written to it. Restore it from a backup.";
    return CString();
}

bool CSqliteConnection::HasSchemaObject(const CString& name, bool index)
{
    const CString sql = "SELECT 1 FROM sqlite_master WHERE type = ?1 AND name = ?2 COLLATE NOCASE";
    CSqliteStmtHandle stmt = PrepareRaw(sql, sql);
    const char* type = index ? "index" : "table";
    sqlite3_bind_text(stmt.get(), 1, type, -1, SQLITE_STATIC);
    sqlite3_bind_text(stmt.get(), 2, name.GetString(), -1, SQLITE_TRANSIENT);
    const int rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        ThrowError(rc, sql);
    return rc == SQLITE_ROW;
}

bool CSqliteConnection::CheckIntegrity(std::vector<CString>& findings)
{
    const CString sql = "PRAGMA integrity_check";
    CSqliteStmtHandle stmt = PrepareRaw(sql, sql);
    bool clean = true;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
        const std::string row = text ? text : "";
        if (row == "ok")
            continue;
        clean = false;
        // A finding may run over several lines; the engine's heading of the
        // first one names the schema, not a problem.
        size_t begin = 0;
        while (begin <= row.size()) {
            size_t end = row.find('\n', begin);
            if (end == std::string::npos)
                end = row.size();
            const std::string line = row.substr(begin, end - begin);
            if (!line.empty() && line.compare(0, 4, "*** ") != 0)
                findings.push_back(CString(line));
            begin = end + 1;
        }
    }
    if (rc != SQLITE_DONE) {
        const int primary = rc & 0xff;
        if (primary != SQLITE_CORRUPT && primary != SQLITE_NOTADB && primary != SQLITE_IOERR)
            ThrowError(rc, sql);
        // The check itself ran into the damage: that is its finding.
        findings.push_back(CString(EngineText(m_db.get(), rc)));
        clean = false;
    }
    if (!clean)
        m_bDamaged = true;
    return clean;
}

void CSqliteConnection::Backup(const CString& targetPath)
{
    const CString shown = CString("backup to '") + targetPath + "'";
    if (InTransaction())
        ThrowSqlLayerError(SQL_ERROR, "A backup cannot be taken inside a transaction; commit or roll it back first.",
                           shown);
    struct stat st {};
    if (::lstat(targetPath, &st) == 0)
        ThrowSqlLayerError(SQL_ERROR, CString("The backup file '") + targetPath + "' exists already; it is not overwritten.",
                           shown);
    const CString folder = FolderOf(targetPath);
    const int slash = targetPath.ReverseFind('/');
    std::string temporary = (folder + "/." + targetPath.Mid(slash + 1) + ".XXXXXX").Str();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        ThrowSqlLayerError(SQL_ERROR, CString("The backup file cannot be made in the folder '") + folder + "': " +
                                          std::strerror(errno),
                           shown);
    ::close(fd);
    // Whatever fails from here on leaves no file behind.
    struct CRemove {
        std::string path;
        bool keep = false;
        ~CRemove()
        {
            if (keep)
                return;
            for (const char* suffix : {"", "-journal", "-wal", "-shm"})
                ::unlink((path + suffix).c_str());
        }
    } remove{temporary};

    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(temporary.c_str(), &raw,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX, nullptr);
    CSqliteHandle target(raw);
    if (rc != SQLITE_OK)
        throw MakeSqliteException(raw, rc, shown, m_nBusyTimeoutMs, CString(temporary));
    sqlite3_exec(raw, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    sqlite3_backup* backup = sqlite3_backup_init(raw, "main", m_db.get(), "main");
    if (!backup)
        throw MakeSqliteException(raw, sqlite3_errcode(raw), shown, m_nBusyTimeoutMs, CString(temporary));
    // All pages in one step: the copy is read in one read transaction, so it
    // is the database as one commit left it, whatever others write meanwhile.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_nBusyTimeoutMs);
    do {
        rc = sqlite3_backup_step(backup, -1);
        if ((rc & 0xff) != SQLITE_BUSY && (rc & 0xff) != SQLITE_LOCKED)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < giveUp);
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        // A failure of the database read is reported against it, with its
        // name; a failure of the copy against the copy.
        if (sqlite3_errcode(m_db.get()) == rc)
            throw MakeError(rc, shown);
        throw MakeSqliteException(raw, rc, shown, m_nBusyTimeoutMs, CString(temporary));
    }
    if (finished != SQLITE_OK)
        throw MakeSqliteException(raw, finished, shown, m_nBusyTimeoutMs, CString(temporary));
    // The copy is a single file in the classic format, whatever the journal
    // of the database.
    rc = sqlite3_exec(raw, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw MakeSqliteException(raw, rc, shown, m_nBusyTimeoutMs, CString(temporary));
    if (sqlite3_close(target.release()) != SQLITE_OK)
        ThrowSqlLayerError(SQL_ERROR, "The backup file could not be closed.", shown);
    const int copy = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (copy < 0 || ::fsync(copy) != 0) {
        if (copy >= 0)
            ::close(copy);
        ThrowSqlLayerError(SQL_ERROR, CString("The backup file could not be written to disk: ") + std::strerror(errno),
                           shown);
    }
    ::close(copy);
    // Into place without replacing a file that appeared meanwhile.
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, targetPath, RENAME_NOREPLACE) != 0) {
        const int error = errno;
        if (error == EEXIST)
            ThrowSqlLayerError(SQL_ERROR,
                               CString("The backup file '") + targetPath + "' exists already; it is not overwritten.",
                               shown);
        if (error != EINVAL && error != ENOSYS && error != ENOTSUP)
            ThrowSqlLayerError(SQL_ERROR, CString("The backup file could not be put in place: ") + std::strerror(error),
                               shown);
        // A file system without the no-replace rename: a hard link refuses
        // an existing name as well.
        if (::link(temporary.c_str(), targetPath) != 0)
            ThrowSqlLayerError(SQL_ERROR, CString("The backup file could not be put in place: ") +
                                              std::strerror(errno),
                               shown);
    }
    remove.keep = ::access(temporary.c_str(), F_OK) != 0;
    if (!remove.keep)
        ::unlink(temporary.c_str()); // the link's old name
    remove.keep = true;
    const int dir = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
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
    // First, before any call of ours can change it: the failed write's errno.
    const int osError = errno;
    const int primary = rc & 0xff;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        m_bDamaged = true;
    if (rc == SQLITE_CONSTRAINT_COMMITHOOK && !m_commitRefusal.IsEmpty()) {
        // OnCommit turned the commit into a rollback: the same refusal as of
        // a write (no constraint of the data was violated).
        CString refusal;
        std::swap(refusal, m_commitRefusal);
        return MakeSqlException(SQL_ERROR, refusal, shown);
    }
    const CString moved =
        primary == SQLITE_READONLY || primary == SQLITE_IOERR ? FileIdentityProblem() : CString();
    return MakeSqliteException(m_db.get(), rc, shown, m_nBusyTimeoutMs, m_path, moved, osError);
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
    static std::atomic<uint64_t> preparations{0};
    CSqliteStmtHandle stmt(raw, CSqliteFinalizer{preparations.fetch_add(1, std::memory_order_relaxed) + 1});
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
    if (SqlFirstWord(engineSql) != "SELECT") {
        CSqliteStmtHandle stmt = PrepareRaw(engineSql, shown);
        if (!sqlite3_stmt_readonly(stmt.get()))
            m_cache.Clear(); // it may change the schema when it runs
        return std::make_unique<CSqliteStatement>(*this, std::move(stmt), shown, 0, std::string(), 0);
    }
    // The parameterised text in storage kept from the calls before: most
    // calls differ from the last only in their values.
    CParameterisedSql& parameterised = m_parameterised;
    const bool hasParameters = ParameteriseSelect(engineSql.Str(), parameterised);
    const std::string& lookup = hasParameters ? parameterised.text : engineSql.Str();
    uint64_t ticket = 0;
    CSqliteStmtHandle stmt = m_cache.Take(lookup, ticket);
    std::string key; // a statement prepared anew is kept under its text
    if (!stmt) {
        key = lookup;
        if (hasParameters) {
            try {
                stmt = PrepareRaw(CString(key), shown);
            } catch (const CDBException&) {
                // The statement as written decides: its own error, or (should
                // only the parameterised text fail) a statement of its own.
                return std::make_unique<CSqliteStatement>(*this, PrepareRaw(engineSql, shown), shown, 0,
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
    static const std::vector<CSqlValue> kNoValues;
    return BindForReuse(std::move(stmt), ticket, std::move(key), hasParameters ? parameterised.values : kNoValues,
                        shown);
}

std::unique_ptr<CSqlStatement> CSqliteConnection::BindForReuse(CSqliteStmtHandle stmt, uint64_t ticket,
                                                               std::string key, const std::vector<CSqlValue>& values,
                                                               const CString& shown)
{
    // Made before the values are bound: a failed binding gives the
    // statement back to the cache with the statement object.
    sqlite3_stmt* const raw = stmt.get();
    auto statement =
        std::make_unique<CSqliteStatement>(*this, std::move(stmt), shown, ticket, std::move(key), m_cache.Generation());
    for (size_t i = 0; i < values.size(); ++i)
        if (const int rc = BindSqliteValue(raw, static_cast<int>(i + 1), values[i]); rc != SQLITE_OK)
            ThrowError(rc, shown);
    return statement;
}

bool CSqliteConnection::ParameteriseForReuse(const CString& engineSql, CParameterisedSql& out)
{
    // As Prepare does for a text it meets for the first time.
    if (SqlFirstWord(engineSql) != "SELECT")
        return false;
    if (!ParameteriseLiterals(engineSql.Str(), '?', out)) {
        out.text = engineSql.Str();
        out.values.clear();
        out.spans.clear();
    }
    return true;
}

std::unique_ptr<CSqlStatement> CSqliteConnection::PrepareParameterised(const std::string& text,
                                                                       const std::vector<CSqlValue>& values,
                                                                       const CString& shown)
{
    uint64_t ticket = 0;
    CSqliteStmtHandle stmt = m_cache.Take(text, ticket);
    std::string key;
    if (!stmt) {
        key = text;
        stmt = PrepareRaw(CString(key), shown);
        if (!sqlite3_stmt_readonly(stmt.get())) {
            m_cache.Clear();
            key.clear();
        }
    }
    return BindForReuse(std::move(stmt), ticket, std::move(key), values, shown);
}

bool CSqliteConnection::ParameteriseSelect(const std::string& sql, CParameterisedSql& out)
{
    for (size_t i = 0; i < m_literalTemplates.size(); ++i) {
        bool changed = false;
        if (!ParameteriseLike(m_literalTemplates[i], sql, out, changed))
            continue;
        if (i != 0)
            std::rotate(m_literalTemplates.begin(), m_literalTemplates.begin() + static_cast<std::ptrdiff_t>(i),
                        m_literalTemplates.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return changed;
    }
    CParameterisedTemplate known;
    known.sql = sql;
    known.markerPrefix = '?';
    known.changed = ParameteriseLiterals(sql, '?', known.result);
    const bool changed = known.changed;
    if (changed)
        out = known.result;
    if (m_literalTemplates.size() >= kLiteralTemplates)
        m_literalTemplates.pop_back();
    m_literalTemplates.insert(m_literalTemplates.begin(), std::move(known));
    return changed;
}

void CSqliteConnection::ReleaseStatement(uint64_t ticket, std::string key, CSqliteStmtHandle stmt,
                                         uint64_t generation) noexcept
{
    if (!stmt)
        return;
    sqlite3_reset(stmt.get());
    if (ticket == 0 && key.empty())
        return; // finalized by the handle
    sqlite3_clear_bindings(stmt.get());
    m_cache.Give(ticket, std::move(key), std::move(stmt), generation);
}

int CSqliteConnection::RunWrite(sqlite3_stmt* stmt, const CString& shown)
{
    bool inTransaction = false;
    bool checked = false;
    if (!sqlite3_stmt_readonly(stmt)) {
        if (m_bDamaged)
            ThrowSqlLayerError(SQL_ERROR,
                               CString("The database file '") + m_path +
                                   "' is damaged: nothing more is written to it. Restore it from a backup.",
                               shown);
        // A write would go to a file that no longer has the name (or to its
        // log beside the new one): refused, whatever the engine would do.
        // Inside a transaction the first write asks the file system and the
        // commit asks again (OnCommit), so that a transaction of many writes
        // costs two checks; a statement on its own is asked here, and its
        // commit then does not ask twice.
        inTransaction = sqlite3_get_autocommit(m_db.get()) == 0;
        if (!inTransaction || !m_identityCheckedInTransaction) {
            if (const CString moved = FileIdentityProblem(); !moved.IsEmpty())
                ThrowSqlLayerError(SQL_ERROR, moved, shown);
            checked = true;
            if (inTransaction)
                m_identityCheckedInTransaction = true;
            else
                m_identityCheckedForStatement = true;
        }
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    m_identityCheckedForStatement = false;
    // BEGIN IMMEDIATE asked: the transaction it opened starts as asked.
    if (checked && !inTransaction && sqlite3_get_autocommit(m_db.get()) == 0)
        m_identityCheckedInTransaction = true;
    if (rc != SQLITE_DONE) {
        CDBException e = MakeError(rc, shown);
        sqlite3_reset(stmt);
        throw e;
    }
    return sqlite3_changes(m_db.get());
}

int CSqliteConnection::Execute(const CString& engineSql, const CString& shown)
{
    const CSqlWord word = SqlFirstWord(engineSql);
    if (MayChangeSchema(word)) {
        m_cache.Clear();
        CSqliteStmtHandle stmt = PrepareRaw(engineSql, shown);
        return RunWrite(stmt.get(), shown);
    }
    // Row changes, transaction statements and savepoints are kept in the
    // statement cache like the queries: a library that writes the same
    // statement again (a trail entry per save, a savepoint per scope) with
    // other values prepares it once. The literals become parameters; should
    // only the parameterised text fail to prepare, the statement as written
    // runs on its own and decides.
    CParameterisedSql parameterised;
    const bool rowStatement = word == "SELECT" || word == "INSERT" || word == "UPDATE" || word == "DELETE";
    const bool hasParameters = rowStatement && ParameteriseLiterals(engineSql.Str(), '?', parameterised, true);
    std::string key = hasParameters ? std::move(parameterised.text) : engineSql.Str();
    std::optional<CCachedWrite> stmt;
    try {
        stmt.emplace(*this, std::move(key), shown);
    } catch (const CDBException&) {
        if (!hasParameters)
            throw;
        CSqliteStmtHandle own = PrepareRaw(engineSql, shown);
        return RunWrite(own.get(), shown);
    }
    for (size_t i = 0; i < parameterised.values.size(); ++i)
        if (const int rc = BindSqliteValue(stmt->Get(), static_cast<int>(i + 1), parameterised.values[i], true);
            rc != SQLITE_OK)
            ThrowError(rc, shown);
    return RunWrite(stmt->Get(), shown);
}

int CSqliteConnection::ExecuteWithValues(const CString& engineSql, const CString& shown,
                                         const std::vector<CSqlValue>& values)
{
    auto bindAll = [&](sqlite3_stmt* stmt) {
        if (sqlite3_bind_parameter_count(stmt) != static_cast<int>(values.size())) {
            CString reason;
            reason.Format("The statement has %d parameters, but %d values were given.",
                          sqlite3_bind_parameter_count(stmt), static_cast<int>(values.size()));
            ThrowSqlLayerError(SQL_ERROR, reason, shown);
        }
        for (size_t i = 0; i < values.size(); ++i) {
            CString what;
            if (values[i].GetType() == CSqlValue::Type::Text && values[i].GetText().find('\0') != std::string::npos) {
                what.Format("parameter %d", static_cast<int>(i + 1));
                RefuseNulInText(values[i], what, shown);
            }
            if (const int rc = BindSqliteValue(stmt, static_cast<int>(i + 1), values[i], true); rc != SQLITE_OK)
                ThrowError(rc, shown);
        }
    };
    if (MayChangeSchema(SqlFirstWord(engineSql))) {
        m_cache.Clear();
        CSqliteStmtHandle stmt = PrepareRaw(engineSql, shown);
        bindAll(stmt.get());
        return RunWrite(stmt.get(), shown);
    }
    CCachedWrite stmt(*this, engineSql.Str(), shown);
    bindAll(stmt.Get());
    return RunWrite(stmt.Get(), shown);
}

void CSqliteConnection::BeginTransaction()
{
    Execute("BEGIN IMMEDIATE", "BEGIN IMMEDIATE");
}

void CSqliteConnection::CommitTransaction()
{
    // Inside the write transaction no change of another connection can be
    // seen any more: the commit's own count leaves the kept types valid.
    const int before = DataVersion();
    Execute("COMMIT", "COMMIT");
    if (m_columnTypesDataVersion == before && DataVersion() == before + 1)
        m_columnTypesDataVersion = before + 1;
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

CSqliteConnection::CCachedWrite::CCachedWrite(CSqliteConnection& connection, const CString& sql)
    : m_connection(connection), m_generation(connection.m_cache.Generation())
{
    m_stmt = connection.m_cache.Take(sql.Str(), m_ticket);
    if (!m_stmt) {
        m_key = sql.Str();
        m_stmt = connection.PrepareRaw(sql, sql);
    }
}

CSqliteConnection::CCachedWrite::CCachedWrite(CSqliteConnection& connection, std::string key, const CString& shown)
    : m_connection(connection), m_key(std::move(key)), m_generation(connection.m_cache.Generation())
{
    m_stmt = connection.m_cache.Take(m_key, m_ticket);
    if (!m_stmt)
        m_stmt = connection.PrepareRaw(CString(m_key), shown);
}

CSqliteConnection::CCachedWrite::~CCachedWrite()
{
    m_connection.ReleaseStatement(m_ticket, std::move(m_key), std::move(m_stmt), m_generation);
}

int CSqliteConnection::DataVersion() const
{
    int version = 0;
    sqlite3_file_control(m_db.get(), "main", SQLITE_FCNTL_DATA_VERSION, &version);
    return version;
}

void CSqliteConnection::ForgetOldColumnTypes()
{
    // The engine's schema of this connection is read again only when a
    // statement finds the file changed; the data version changes then too.
    const int dataVersion = DataVersion();
    if (m_columnTypesGeneration != m_cache.Generation() || m_columnTypesDataVersion != dataVersion ||
        m_columnTypes.size() > 4096) {
        m_columnTypes.clear();
        m_columnTypesGeneration = m_cache.Generation();
        m_columnTypesDataVersion = dataVersion;
    }
}

void CSqliteConnection::KeepColumnTypesAfterOwnCommit()
{
    // A commit of this connection counts one; a change by another connection
    // seen on the way counts one more, and then the types are read again.
    const int dataVersion = DataVersion();
    if (dataVersion == m_columnTypesDataVersion + 1 && sqlite3_get_autocommit(m_db.get()))
        m_columnTypesDataVersion = dataVersion;
}

const CSqliteConnection::CKeptColumnType& CSqliteConnection::DeclaredColumnType(const CString& table,
                                                                               const CString& column)
{
    m_columnTypeKey.assign(table.Str());
    m_columnTypeKey += '\0';
    m_columnTypeKey += column.Str();
    auto found = m_columnTypes.find(m_columnTypeKey);
    if (found != m_columnTypes.end())
        return found->second;
    const char* declared = nullptr;
    if (sqlite3_table_column_metadata(m_db.get(), nullptr, table, column, &declared, nullptr, nullptr, nullptr,
                                      nullptr) != SQLITE_OK ||
        !declared)
        declared = "";
    CKeptColumnType type{declared, *declared ? DeclaredTextLength(declared) : -1};
    return m_columnTypes.emplace(m_columnTypeKey, std::move(type)).first->second;
}

void CSqliteConnection::CheckTexts(const CString& table, const std::vector<CString>& columns,
                                   const std::vector<CSqlValue>& values, const CString& shown)
{
    ForgetOldColumnTypes();
    for (size_t i = 0; i < columns.size() && i < values.size(); ++i) {
        if (values[i].GetType() != CSqlValue::Type::Text)
            continue;
        // An empty type: the engine reports an unknown column when the row
        // is written.
        const CKeptColumnType& type = DeclaredColumnType(table, columns[i]);
        if (TextFitsColumn(values[i], type.textLimit))
            continue;
        const CString what = CString("column ") + columns[i] + " of table " + table;
        RefuseNulInText(values[i], what, shown);
        RefuseTextLongerThanColumn(values[i], type.declared, what, shown);
    }
}

template <class Make>
const CString& CSqliteConnection::RowWriteText(char kind, const CString& table, const std::vector<CString>& columns,
                                               Make&& make)
{
    std::string key(1, kind);
    key += table.Str();
    for (const CString& column : columns) {
        key += '\0';
        key += column.Str();
    }
    auto kept = m_rowWriteTexts.find(key);
    if (kept != m_rowWriteTexts.end())
        return kept->second;
    if (m_rowWriteTexts.size() >= 256)
        m_rowWriteTexts.clear();
    return m_rowWriteTexts.emplace(std::move(key), make()).first->second;
}

CSqlValue CSqliteConnection::InsertRow(const CString& table, const std::vector<CString>& columns,
                                       const std::vector<CSqlValue>& values)
{
    const CString& sql = RowWriteText('I', table, columns, [&] { return InsertRowText(table, columns); });
    CheckTexts(table, columns, values, sql);
    CCachedWrite stmt(*this, sql);
    for (size_t i = 0; i < values.size(); ++i)
        if (const int rc = BindSqliteValue(stmt.Get(), static_cast<int>(i + 1), values[i], true); rc != SQLITE_OK)
            ThrowError(rc, sql);
    RunWrite(stmt.Get(), sql);
    KeepColumnTypesAfterOwnCommit();
    return CSqlValue::Integer(sqlite3_last_insert_rowid(m_db.get()));
}

int CSqliteConnection::UpdateRow(const CString& table, const CSqlValue& rowId, const std::vector<CString>& columns,
                                 const std::vector<CSqlValue>& values)
{
    const CString& sql = RowWriteText('U', table, columns, [&] {
        CString text = CString("UPDATE ") + QuoteName(table) + " SET ";
        for (size_t i = 0; i < columns.size(); ++i)
            text += (i ? ", " : "") + QuoteName(columns[i]) + " = " + GetParameterMarker(static_cast<int>(i + 1));
        text += CString(" WHERE rowid = ") + GetParameterMarker(static_cast<int>(columns.size() + 1));
        return text;
    });
    CheckTexts(table, columns, values, sql);
    CCachedWrite stmt(*this, sql);
    for (size_t i = 0; i < values.size(); ++i)
        if (const int rc = BindSqliteValue(stmt.Get(), static_cast<int>(i + 1), values[i], true); rc != SQLITE_OK)
            ThrowError(rc, sql);
    if (const int rc = BindSqliteValue(stmt.Get(), static_cast<int>(columns.size() + 1), rowId, true); rc != SQLITE_OK)
        ThrowError(rc, sql);
    const int changed = RunWrite(stmt.Get(), sql);
    KeepColumnTypesAfterOwnCommit();
    return changed;
}

bool CSqliteConnection::IsRowIdentityColumn(const CString& table, const CString& column)
{
    // Kept with the declared types (a save asks after every insert), under
    // a key no table name starts with.
    ForgetOldColumnTypes();
    std::string key(1, '\0');
    key += table.Str();
    key += '\0';
    key += column.Str();
    auto found = m_columnTypes.find(key);
    if (found == m_columnTypes.end()) {
        int autoIncrement = 0;
        const bool identity = sqlite3_table_column_metadata(m_db.get(), nullptr, table, column, nullptr, nullptr,
                                                            nullptr, nullptr, &autoIncrement) == SQLITE_OK &&
                              autoIncrement != 0;
        found = m_columnTypes.emplace(std::move(key), CKeptColumnType{identity ? "1" : "", -1}).first;
    }
    return !found->second.declared.empty();
}

int CSqliteConnection::DeleteRow(const CString& table, const CSqlValue& rowId)
{
    const CString sql = CString("DELETE FROM ") + QuoteName(table) + " WHERE rowid = ?1";
    CCachedWrite stmt(*this, sql);
    if (const int rc = BindSqliteValue(stmt.Get(), 1, rowId, true); rc != SQLITE_OK)
        ThrowError(rc, sql);
    return RunWrite(stmt.Get(), sql);
}

void CSqliteConnection::MoveAutoNumberPast(const CString& table, const CString& column, int64_t maxKey)
{
    const char* declared = nullptr;
    int primaryKey = 0;
    int autoIncrement = 0;
    const bool known = sqlite3_table_column_metadata(m_db.get(), nullptr, table, column, &declared, nullptr, nullptr,
                                                     &primaryKey, &autoIncrement) == SQLITE_OK;
    CString shown;
    shown.Format("UPDATE sqlite_sequence SET seq = MAX(seq, %lld) WHERE name = '%s'", static_cast<long long>(maxKey),
                 SqlQuote(table).GetString());
    if (!known || !primaryKey || !declared || CString(declared).CompareNoCase("INTEGER") != 0) {
        CString reason;
        reason.Format("Column %s of table %s is not an auto-numbered key.", column.GetString(), table.GetString());
        ThrowSqlLayerError(SQL_ERROR, reason, shown);
    }
    if (!autoIncrement || maxKey <= 0)
        return;
    // sqlite_sequence holds the table's name as it was created; the caller
    // may have written it in another letter case.
    CString created = table;
    {
        const CString lookup =
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE";
        CSqliteStmtHandle stmt = PrepareRaw(lookup, lookup);
        if (const int rc = BindSqliteValue(stmt.get(), 1, CSqlValue::Text(table.Str())); rc != SQLITE_OK)
            ThrowError(rc, lookup);
        const int rc = sqlite3_step(stmt.get());
        if (rc == SQLITE_ROW)
            created = CString(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)));
        else if (rc != SQLITE_DONE)
            ThrowError(rc, lookup);
    }
    shown.Format("UPDATE sqlite_sequence SET seq = MAX(seq, %lld) WHERE name = '%s'", static_cast<long long>(maxKey),
                 SqlQuote(created).GetString());
    if (Execute(shown, shown) > 0)
        return;
    CString insert;
    insert.Format("INSERT INTO sqlite_sequence (name, seq) VALUES ('%s', %lld)", SqlQuote(created).GetString(),
                  static_cast<long long>(maxKey));
    Execute(insert, insert);
}
