// The PostgreSQL connection: connecting and the session settings, the
// renewal of a connection the server dropped, statements under their own
// savepoints inside transactions, the row changes of the recordsets by the
// hidden row identity, text-length checks from the server's catalogue, and
// the mapping of the server's errors.
#include "framework/sql/internal/PgConnection.h"

#include "framework/sql/ConnectString.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/PgStatement.h"
#include "framework/sql/internal/SqlColumnTypes.h"
#include "framework/sql/internal/SqlConvert.h"
#include "framework/sql/internal/SqlErrors.h"
#include "framework/sql/internal/SqlLiterals.h"
#include "framework/sql/internal/SqlTokens.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace {


// Statements that start, end or mark a transaction: they run as they are,
// never under the statement savepoint (releasing it would release theirs).
bool IsTransactionControl(std::string_view word)
{
    return word == "BEGIN" || word == "START" || word == "COMMIT" || word == "END" || word == "ROLLBACK" ||
           word == "SAVEPOINT" || word == "RELEASE" || word == "ABORT";
}

// True for "ROLLBACK [WORK | TRANSACTION] TO [SAVEPOINT] name".
bool NamesSavepoint(const CString& sql)
{
    std::string upper = sql.Str();
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    size_t at = 0;
    while ((at = upper.find("TO", at)) != std::string::npos) {
        const bool before = at > 0 && std::isspace(static_cast<unsigned char>(upper[at - 1]));
        const bool after = at + 2 >= upper.size() || std::isspace(static_cast<unsigned char>(upper[at + 2])) ||
                           upper[at + 2] == '"';
        if (before && after)
            return true;
        at += 2;
    }
    return false;
}

// A transaction of the library: BEGIN and the transaction-level advisory
// lock of the writers (advisory locks are per database; the key is the
// library's own). Only the library's transactions ask for it: other
// programs' writers are not held back.
constexpr const char* kBeginWithWriterLock = "BEGIN; SELECT pg_advisory_xact_lock(7012345678901234567)";

// Whole numbers a parameter may carry: the server types a parameter after
// the column it is compared with (integer for most keys), and a value past
// that type would fail where the literal was compared as a wider number.
bool FitsInferredTypes(const std::vector<CSqlValue>& values)
{
    for (const CSqlValue& v : values)
        if (v.GetType() == CSqlValue::Type::Integer && (v.GetInteger() < std::numeric_limits<int32_t>::min() ||
                                                         v.GetInteger() > std::numeric_limits<int32_t>::max()))
            return false;
    return true;
}

bool IsRowStatement(std::string_view word)
{
    return word == "SELECT" || word == "INSERT" || word == "UPDATE" || word == "DELETE" || word == "WITH" ||
           word == "VALUES";
}

// Statements after which the tables may have other columns (or be gone):
// everything but row statements, transaction control and session settings.
bool MayChangeSchema(std::string_view word)
{
    return !IsRowStatement(word) && !IsTransactionControl(word) && word != "SET" && word != "SHOW" &&
           word != "LOCK";
}

// Parameter values as the server reads them: numbers and texts in text form,
// byte strings in binary form (no escaping).
struct CPgParams {
    std::vector<std::string> text;
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;

    explicit CPgParams(const std::vector<CSqlValue>& in)
        : text(in.size()), values(in.size(), nullptr), lengths(in.size(), 0), formats(in.size(), 0)
    {
        for (size_t i = 0; i < in.size(); ++i) {
            const CSqlValue& v = in[i];
            switch (v.GetType()) {
            case CSqlValue::Type::Null: continue;
            case CSqlValue::Type::Integer: text[i] = std::to_string(v.GetInteger()); break;
            case CSqlValue::Type::Real: {
                const double d = v.GetReal();
                if (std::isnan(d)) {
                    text[i] = "NaN";
                } else if (std::isinf(d)) {
                    text[i] = d > 0 ? "Infinity" : "-Infinity";
                } else {
                    char buffer[40];
                    std::snprintf(buffer, sizeof buffer, "%.17g", d);
                    text[i] = buffer;
                }
                break;
            }
            case CSqlValue::Type::Text: text[i] = v.GetText(); break;
            case CSqlValue::Type::Blob: {
                const std::vector<uint8_t>& b = v.GetBlob();
                text[i].assign(b.begin(), b.end());
                formats[i] = 1;
                break;
            }
            }
            values[i] = text[i].c_str();
            lengths[i] = static_cast<int>(text[i].size());
        }
    }
};

bool IsBusyState(const char* state)
{
    return state && (std::strcmp(state, "55P03") == 0 || std::strcmp(state, "40001") == 0 ||
                     std::strcmp(state, "40P01") == 0);
}

// The server's declared type in the names of the library's schema, so that
// columns are described as on SQLite.
std::string LibraryTypeName(const std::string& server)
{
    auto startsWith = [&](const char* prefix) { return server.rfind(prefix, 0) == 0; };
    auto length = [&]() {
        const size_t open = server.find('(');
        return open == std::string::npos ? std::string() : server.substr(open);
    };
    if (server == "zen_bit" || server == "boolean")
        return "BIT";
    if (server == "integer")
        return "INTEGER";
    if (server == "smallint")
        return "SMALLINT";
    if (server == "bigint")
        return "BIGINT";
    if (server == "double precision")
        return "DOUBLE";
    if (server == "real")
        return "REAL";
    if (server == "text")
        return "LONGTEXT";
    if (server == "bytea")
        return "BLOB";
    if (startsWith("character varying"))
        return "VARCHAR" + length();
    if (startsWith("character"))
        return "CHAR" + length();
    if (startsWith("timestamp") || server == "date")
        return "DATETIME";
    if (startsWith("numeric"))
        return "NUMERIC" + length();
    return server;
}

} // namespace

CDBException MakePgException(PGconn* conn, const PGresult* res, const CString& shown, int busyTimeoutMs)
{
    const char* state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
    CString text;
    if (res && PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY)) {
        text = PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY);
        if (const char* detail = PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL))
            text += CString(" (") + detail + ")";
    } else {
        const char* message = res ? PQresultErrorMessage(res) : nullptr;
        if (!message || !*message)
            message = conn ? PQerrorMessage(conn) : "no connection to the server";
        text = message;
        text.Trim();
    }
    const bool lost = !conn || PQstatus(conn) == CONNECTION_BAD;
    CString odbcState = state ? CString(state) : CString(lost ? "08S01" : "HY000");
    if (IsBusyState(state)) {
        text = LockWaitReason(text, busyTimeoutMs);
        odbcState = "HYT00";
    } else if (state && std::strncmp(state, "23", 2) == 0) {
        odbcState = "23000";
    } else if (lost) {
        text = CString("The connection to the database server was lost (") + text + ")";
    }
    CString full;
    full.Format("State:%s,Native:0,Origin:PostgreSQL %s", odbcState.GetString(), state ? state : "");
    CDBException e = MakeSqlException(lost ? AFX_SQL_ERROR_CONNECT_FAIL : SQL_ERROR, text, shown, full);
    return e;
}

CPgConnection::CPgConnection(CPgConnHandle conn, const CString& conninfo, bool readOnly, int busyTimeoutMs)
    : m_conn(std::move(conn)), m_conninfo(conninfo), m_bReadOnly(readOnly), m_nBusyTimeoutMs(busyTimeoutMs)
{
}

CPgConnection::~CPgConnection() = default;

std::unique_ptr<CPgConnection> CPgConnection::Open(const CString& conninfo, bool readOnly, int busyTimeoutMs)
{
    CPgConnHandle conn(PQconnectdb(conninfo));
    if (!conn || PQstatus(conn.get()) != CONNECTION_OK) {
        CString reason = CString("The connection to the PostgreSQL server failed: ") +
                         (conn ? PQerrorMessage(conn.get()) : "out of memory");
        reason.Trim();
        reason += CString(" (") + MaskConnectPassword(conninfo) + ")";
        throw MakeSqlException(AFX_SQL_ERROR_CONNECT_FAIL, reason, CString(),
                               "State:08001,Native:0,Origin:PostgreSQL");
    }
    std::unique_ptr<CPgConnection> connection(new CPgConnection(std::move(conn), conninfo, readOnly, busyTimeoutMs));
    connection->SetUpSession();
    return connection;
}

void CPgConnection::SetUpSession()
{
    PQsetClientEncoding(m_conn.get(), "UTF8");
    RunPlain("SET DateStyle = ISO, YMD", "SET DateStyle");
    RunPlain("SET standard_conforming_strings = on", "SET standard_conforming_strings");
    RunPlain("SET client_min_messages = warning", "SET client_min_messages");
    SetBusyTimeout(m_nBusyTimeoutMs);
    if (m_bReadOnly)
        RunPlain("SET default_transaction_read_only = on", "SET default_transaction_read_only");
    // The case-insensitive collation of the sample identifier and the flag
    // type of the schema. Made once per database; a user who may not create
    // them works with a database that has them already.
    PGconn* c = m_conn.get();
    CPgResultHandle have(PQexec(c, "SELECT (SELECT count(*) FROM pg_collation WHERE collname = 'zen_nocase'), "
                                   "(SELECT count(*) FROM pg_type WHERE typname = 'zen_bit')"));
    if (!m_bReadOnly && have && PQresultStatus(have.get()) == PGRES_TUPLES_OK && PQntuples(have.get()) == 1) {
        if (std::strcmp(PQgetvalue(have.get(), 0, 0), "0") == 0)
            CPgResultHandle(PQexec(c, "CREATE COLLATION IF NOT EXISTS zen_nocase (provider = icu, locale = "
                                      "'und-u-ks-level2', deterministic = false)"));
        if (std::strcmp(PQgetvalue(have.get(), 0, 1), "0") == 0)
            CPgResultHandle(PQexec(c, "DO $$BEGIN CREATE DOMAIN zen_bit AS SMALLINT; "
                                      "EXCEPTION WHEN duplicate_object THEN NULL; END$$"));
    }
}

void CPgConnection::SetBusyTimeout(int milliseconds)
{
    m_nBusyTimeoutMs = milliseconds;
    if (PQstatus(m_conn.get()) != CONNECTION_OK)
        return; // set again when the connection is renewed
    // The server's 0 waits for ever; the library's 0 does not wait: the
    // shortest wait the server knows stands for it.
    CString sql;
    sql.Format("SET lock_timeout = %d", milliseconds < 1 ? 1 : milliseconds);
    RunPlain(sql, sql);
}

void CPgConnection::EnsureConnected(const CString& shown)
{
    if (PQstatus(m_conn.get()) == CONNECTION_OK)
        return;
    if (m_bTransactionLost)
        ThrowSqlLayerError(AFX_SQL_ERROR_CONNECT_FAIL,
                           "The connection to the database server was lost inside a transaction: the transaction "
                           "is gone and nothing of it was committed. Roll it back and do the work again.",
                           shown);
    PQreset(m_conn.get());
    if (PQstatus(m_conn.get()) != CONNECTION_OK) {
        CString reason = CString("The connection to the database server was lost and could not be renewed: ") +
                         PQerrorMessage(m_conn.get());
        reason.Trim();
        throw MakeSqlException(AFX_SQL_ERROR_CONNECT_FAIL, reason, shown, "State:08001,Native:0,Origin:PostgreSQL");
    }
    m_bStatementSavepointKept = false;
    ++m_epoch; // statements prepared before are gone with the old session
    m_declarations.clear();
    m_textLimits.clear();
    m_autoNumbers.clear();
    m_idle.clear();
    ++m_preparedGeneration;
    SetUpSession();
}

void CPgConnection::ThrowError(const PGresult* res, const CString& shown)
{
    CDBException e = MakePgException(m_conn.get(), res, shown, m_nBusyTimeoutMs);
    if (PQstatus(m_conn.get()) != CONNECTION_OK && PQtransactionStatus(m_conn.get()) == PQTRANS_UNKNOWN &&
        m_bInTransaction) {
        m_bTransactionLost = true;
        e.m_strError += "\nThe transaction is gone: nothing of it was committed.";
    }
    throw e;
}

CPgResultHandle CPgConnection::RunPlain(const char* sql, const CString& shown)
{
    CPgResultHandle res(PQexec(m_conn.get(), sql));
    const ExecStatusType status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        ThrowError(res.get(), shown);
    return res;
}

void CPgConnection::UndoStatement() noexcept
{
    if (PQtransactionStatus(m_conn.get()) != PQTRANS_INERROR && PQtransactionStatus(m_conn.get()) != PQTRANS_INTRANS)
        return;
    CPgResultHandle(PQexec(m_conn.get(), "ROLLBACK TO SAVEPOINT __zen_stmt; RELEASE SAVEPOINT __zen_stmt"));
}

void CPgConnection::OpenStatementSavepoint(const CString& shown)
{
    const bool kept = m_bStatementSavepointKept && PQtransactionStatus(m_conn.get()) == PQTRANS_INTRANS;
    m_bStatementSavepointKept = false;
    RunPlain(kept ? "RELEASE SAVEPOINT __zen_stmt; SAVEPOINT __zen_stmt" : "SAVEPOINT __zen_stmt", shown);
}

std::string CPgConnection::NextStatementName()
{
    return "__zen_s" + std::to_string(++m_nextName);
}

void CPgConnection::PrepareNamed(const std::string& name, const CString& sql, const CString& shown)
{
    EnsureConnected(shown);
    // A failed prepare inside a transaction would leave it unusable: it
    // runs under the statement savepoint, as a statement does.
    const bool guard = m_bInTransaction;
    if (guard)
        OpenStatementSavepoint(shown);
    CPgResultHandle res(PQprepare(m_conn.get(), name.c_str(), sql, 0, nullptr));
    if (!res || PQresultStatus(res.get()) != PGRES_COMMAND_OK) {
        CDBException e = MakePgException(m_conn.get(), res.get(), shown, m_nBusyTimeoutMs);
        if (guard)
            UndoStatement();
        throw e;
    }
    m_bStatementSavepointKept = guard;
}

CPgResultHandle CPgConnection::RunPrepared(const std::string& name, const std::vector<CSqlValue>& values,
                                           const CString& shown)
{
    EnsureConnected(shown);
    const bool guard = m_bInTransaction;
    if (guard)
        OpenStatementSavepoint(shown);
    CPgParams params(values);
    CPgResultHandle res(PQexecPrepared(m_conn.get(), name.c_str(), static_cast<int>(values.size()),
                                       params.values.data(), params.lengths.data(), params.formats.data(), 0));
    return FinishGuarded(std::move(res), guard, shown);
}

CPgResultHandle CPgConnection::FinishGuarded(CPgResultHandle res, bool guard, const CString& shown)
{
    const ExecStatusType status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        CDBException e = MakePgException(m_conn.get(), res.get(), shown, m_nBusyTimeoutMs);
        if (guard)
            UndoStatement();
        if (PQstatus(m_conn.get()) != CONNECTION_OK && m_bInTransaction) {
            m_bTransactionLost = true;
            e.m_strError += "\nThe transaction is gone: nothing of it was committed.";
        }
        throw e;
    }
    m_bStatementSavepointKept = guard;
    return res;
}

CPgResultHandle CPgConnection::RunParams(const CString& sql, const std::vector<CSqlValue>& values,
                                         const CString& shown)
{
    EnsureConnected(shown);
    const bool guard = m_bInTransaction && !IsTransactionControl(SqlFirstWord(sql));
    if (guard) {
        OpenStatementSavepoint(shown);
    } else if (m_bStatementSavepointKept) {
        // A savepoint, its release or a rollback to one, with the release of
        // the last statement's savepoint before it in the same round trip.
        m_bStatementSavepointKept = false;
        if (values.empty() && PQtransactionStatus(m_conn.get()) == PQTRANS_INTRANS)
            return FinishGuarded(CPgResultHandle(PQexec(m_conn.get(), CString("RELEASE SAVEPOINT __zen_stmt; ") + sql)),
                                 false, shown);
    }
    CPgParams params(values);
    CPgResultHandle res(PQexecParams(m_conn.get(), sql, static_cast<int>(values.size()), nullptr,
                                     params.values.data(), params.lengths.data(), params.formats.data(), 0));
    return FinishGuarded(std::move(res), guard, shown);
}

void CPgConnection::Deallocate(const std::string& name, uint64_t epoch) noexcept
{
    if (epoch != m_epoch || PQstatus(m_conn.get()) != CONNECTION_OK)
        return;
    // DEALLOCATE works also inside a failed transaction.
    const std::string sql = "DEALLOCATE " + name;
    CPgResultHandle(PQexec(m_conn.get(), sql.c_str()));
}

CPgConnection::CPrepared CPgConnection::TakePrepared(const std::string& key)
{
    for (size_t i = m_idle.size(); i-- > 0;) {
        if (m_idle[i].first == key) {
            CPrepared prepared = std::move(m_idle[i].second);
            m_idle.erase(m_idle.begin() + static_cast<std::ptrdiff_t>(i));
            return prepared;
        }
    }
    return CPrepared();
}

void CPgConnection::GivePrepared(std::string key, CPrepared prepared, uint64_t generation, uint64_t epoch) noexcept
{
    if (generation != m_preparedGeneration || epoch != m_epoch || !prepared.description) {
        Deallocate(prepared.name, epoch);
        return;
    }
    try {
        m_idle.emplace_back(std::move(key), std::move(prepared));
    } catch (...) {
        Deallocate(prepared.name, epoch); // no room for the entry
        return;
    }
    if (m_idle.size() > kIdleCapacity) {
        Deallocate(m_idle.front().second.name, m_epoch);
        m_idle.erase(m_idle.begin());
    }
}

void CPgConnection::ForgetSchemaBefore(std::string_view word) noexcept
{
    // A rollback (also to a savepoint) undoes the schema changes of the
    // transaction: what was kept after them describes tables that are gone.
    if (MayChangeSchema(word) || ((word == "ROLLBACK" || word == "ABORT") && m_bSchemaChangedInTransaction))
        ForgetSchema();
}

void CPgConnection::ForgetSchema() noexcept
{
    if (m_bInTransaction)
        m_bSchemaChangedInTransaction = true;
    m_textLimits.clear();
    m_declarations.clear();
    m_autoNumbers.clear();
    for (auto& idle : m_idle)
        Deallocate(idle.second.name, m_epoch);
    m_idle.clear();
    ++m_preparedGeneration;
}

std::unique_ptr<CSqlStatement> CPgConnection::Prepare(const CString& engineSql, const CString& shown)
{
    const CSqlWord word = SqlFirstWord(engineSql);
    ForgetSchemaBefore(word);
    if (word != "SELECT")
        return std::make_unique<CPgStatement>(*this, engineSql, shown);
    CParameterisedSql parameterised;
    const bool hasParameters =
        ParameteriseLiterals(engineSql.Str(), '$', parameterised) && FitsInferredTypes(parameterised.values);
    if (!hasParameters)
        return std::make_unique<CPgStatement>(*this, engineSql, shown, engineSql.Str());
    std::string key = parameterised.text;
    try {
        return std::make_unique<CPgStatement>(*this, CString(key), shown, key, std::move(parameterised.values));
    } catch (const CDBException&) {
        // The statement as written decides: its own error, or (should only
        // the parameterised text fail, the server finding no type for a
        // parameter) a statement of its own. A lost session is reported as
        // it is, never met again with a second try.
        if (PQstatus(m_conn.get()) != CONNECTION_OK || m_bTransactionLost)
            throw;
    }
    return std::make_unique<CPgStatement>(*this, engineSql, shown);
}

int CPgConnection::Execute(const CString& engineSql, const CString& shown)
{
    const CSqlWord word = SqlFirstWord(engineSql);
    if (word == "BEGIN" || word == "START") {
        BeginTransaction();
        return 0;
    }
    if (word == "COMMIT" || word == "END") {
        CommitTransaction();
        return 0;
    }
    if ((word == "ROLLBACK" || word == "ABORT") && !NamesSavepoint(engineSql)) {
        RollbackTransaction(); // ROLLBACK TO a savepoint runs as it is
        return 0;
    }
    ForgetSchemaBefore(word);
    CPgResultHandle res = RunParams(engineSql, {}, shown);
    const char* tuples = PQcmdTuples(res.get());
    const int changed = tuples && *tuples ? std::atoi(tuples) : 0;
    if (word == "INSERT" && changed > 0)
        KeepAutoNumberAheadOf(engineSql, shown);
    return changed;
}

int CPgConnection::ExecuteWithValues(const CString& engineSql, const CString& shown,
                                     const std::vector<CSqlValue>& values)
{
    if (!IsRowStatement(SqlFirstWord(engineSql))) {
        m_textLimits.clear();
        m_declarations.clear();
    }
    for (size_t i = 0; i < values.size(); ++i) {
        CString what;
        what.Format("parameter %d", static_cast<int>(i + 1));
        RefuseNulInText(values[i], what, shown);
    }
    CPgResultHandle res = RunParams(engineSql, values, shown);
    const char* tuples = PQcmdTuples(res.get());
    const int changed = tuples && *tuples ? std::atoi(tuples) : 0;
    if (changed > 0 && SqlFirstWord(engineSql) == "INSERT")
        KeepAutoNumberAheadOf(engineSql, shown);
    return changed;
}

void CPgConnection::BeginTransaction()
{
    EnsureConnected("BEGIN");
    // One round trip: the transaction and the writers' lock. When the lock
    // is not had within the wait, the transaction begun is ended again and
    // the lock wait reported as the file engine reports a busy file.
    CPgResultHandle res(PQexec(m_conn.get(), kBeginWithWriterLock));
    const ExecStatusType status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK) {
        CDBException e = MakePgException(m_conn.get(), res.get(), "BEGIN", m_nBusyTimeoutMs);
        if (PQstatus(m_conn.get()) == CONNECTION_OK && PQtransactionStatus(m_conn.get()) != PQTRANS_IDLE)
            CPgResultHandle(PQexec(m_conn.get(), "ROLLBACK"));
        throw e;
    }
    m_bInTransaction = true;
    m_bStatementSavepointKept = false;
}

void CPgConnection::CommitTransaction()
{
    if (m_bTransactionLost)
        ThrowSqlLayerError(AFX_SQL_ERROR_CONNECT_FAIL,
                           "The connection to the database server was lost inside the transaction: nothing of it "
                           "was committed.",
                           "COMMIT");
    CPgResultHandle res(PQexec(m_conn.get(), "COMMIT"));
    const ExecStatusType status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK) {
        const bool lost = PQstatus(m_conn.get()) != CONNECTION_OK;
        m_bInTransaction = PQtransactionStatus(m_conn.get()) != PQTRANS_IDLE && !lost;
        CDBException e = MakePgException(m_conn.get(), res.get(), "COMMIT", m_nBusyTimeoutMs);
        if (lost)
            e.m_strError += "\nThe connection was lost during the commit: whether the transaction was committed "
                            "is not known.";
        throw e;
    }
    m_bInTransaction = false;
    m_bSchemaChangedInTransaction = false;
    m_bStatementSavepointKept = false;
    // A transaction that had failed ends with a rollback, reported as such.
    if (std::strcmp(PQcmdStatus(res.get()), "ROLLBACK") == 0)
        ThrowSqlLayerError(SQL_ERROR, "The server rolled the transaction back instead of committing it.", "COMMIT");
}

bool CPgConnection::RollbackTransaction()
{
    if (m_bSchemaChangedInTransaction) {
        ForgetSchema();
        m_bSchemaChangedInTransaction = false;
    }
    m_bStatementSavepointKept = false;
    if (m_bTransactionLost) {
        m_bTransactionLost = false;
        m_bInTransaction = false;
        return true; // the server ended it when the connection broke
    }
    if (!InTransaction())
        return false;
    m_bInTransaction = false;
    CPgResultHandle res(PQexec(m_conn.get(), "ROLLBACK"));
    const ExecStatusType status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && PQstatus(m_conn.get()) == CONNECTION_OK)
        ThrowError(res.get(), "ROLLBACK");
    return true;
}

bool CPgConnection::InTransaction() const
{
    return m_bInTransaction || m_bTransactionLost;
}

CString CPgConnection::GetParameterMarker(int index) const
{
    CString marker;
    marker.Format("$%d", index);
    return marker;
}

bool CPgConnection::CanUpdate() const
{
    return GetReadOnlyReason().IsEmpty();
}

CString CPgConnection::GetReadOnlyReason() const
{
    if (m_bReadOnly)
        return "The database was opened read-only.";
    if (PQstatus(m_conn.get()) != CONNECTION_OK || m_writableEpoch == m_epoch)
        return CString();
    CPgResultHandle res(PQexec(m_conn.get(), "SELECT pg_is_in_recovery(), "
                                             "has_schema_privilege(current_schema(), 'CREATE')"));
    if (!res || PQresultStatus(res.get()) != PGRES_TUPLES_OK || PQntuples(res.get()) != 1)
        return CString();
    if (std::strcmp(PQgetvalue(res.get(), 0, 0), "t") == 0)
        return "The database server is a standby in recovery: it accepts no writes.";
    if (PQgetisnull(res.get(), 0, 1) || std::strcmp(PQgetvalue(res.get(), 0, 1), "t") != 0)
        return "The database user may not create tables in the database's schema.";
    m_writableEpoch = m_epoch;
    return CString();
}

bool CPgConnection::HasSchemaObject(const CString& name, bool index)
{
    const CString shown = index ? "index lookup" : "table lookup";
    EnsureConnected(shown);
    const char* sql = index ? "SELECT 1 FROM pg_indexes WHERE schemaname = current_schema() AND "
                              "lower(indexname) = lower($1)"
                            : "SELECT 1 FROM pg_tables WHERE schemaname = current_schema() AND "
                              "lower(tablename) = lower($1)";
    const char* values[] = {name.GetString()};
    CPgResultHandle res(PQexecParams(m_conn.get(), sql, 1, nullptr, values, nullptr, nullptr, 0));
    if (!res || PQresultStatus(res.get()) != PGRES_TUPLES_OK)
        ThrowError(res.get(), CString(sql));
    return PQntuples(res.get()) > 0;
}

bool CPgConnection::CheckIntegrity(std::vector<CString>& findings)
{
    EnsureConnected("integrity check");
    CPgResultHandle tables = RunPlain("SELECT format('%I.%I', schemaname, tablename) FROM pg_tables "
                                      "WHERE schemaname = current_schema() ORDER BY tablename",
                                      "integrity check");
    bool clean = true;
    for (int r = 0; r < PQntuples(tables.get()); ++r) {
        const std::string sql = std::string("SELECT count(*) FROM (SELECT * FROM ") + PQgetvalue(tables.get(), r, 0) +
                                ") AS t";
        CPgResultHandle res(PQexec(m_conn.get(), sql.c_str()));
        if (!res || PQresultStatus(res.get()) != PGRES_TUPLES_OK) {
            const CDBException e = MakePgException(m_conn.get(), res.get(), CString(), m_nBusyTimeoutMs);
            if (e.m_strStateNativeOrigin.Find("State:HYT00") == 0)
                throw MakePgException(m_conn.get(), res.get(), CString(sql), m_nBusyTimeoutMs);
            findings.push_back(CString(PQgetvalue(tables.get(), r, 0)) + ": " + e.m_strError);
            clean = false;
        }
    }
    return clean;
}

void CPgConnection::Backup(const CString& targetPath)
{
    ThrowSqlLayerError(SQL_ERROR,
                       CString("A database on a PostgreSQL server is backed up with the server's own tools "
                               "(pg_dump); no copy was written to '") +
                           targetPath + "'.",
                       "backup");
}

std::pair<std::string, bool> CPgConnection::ColumnDeclaration(unsigned tableOid, int column)
{
    const auto key = std::make_pair(tableOid, column);
    if (const auto found = m_declarations.find(key); found != m_declarations.end())
        return found->second;
    const std::string oid = std::to_string(tableOid);
    const std::string number = std::to_string(column);
    const char* values[] = {oid.c_str(), number.c_str()};
    CPgResultHandle res(PQexecParams(m_conn.get(),
                                     "SELECT format_type(atttypid, atttypmod), attnotnull FROM pg_attribute "
                                     "WHERE attrelid = $1::oid AND attnum = $2::int2",
                                     2, nullptr, values, nullptr, nullptr, 0));
    std::pair<std::string, bool> declaration;
    if (res && PQresultStatus(res.get()) == PGRES_TUPLES_OK && PQntuples(res.get()) == 1) {
        declaration.first = LibraryTypeName(PQgetvalue(res.get(), 0, 0));
        declaration.second = std::strcmp(PQgetvalue(res.get(), 0, 1), "t") == 0;
    }
    return m_declarations.emplace(key, declaration).first->second;
}

int CPgConnection::TextLimit(const CString& table, const CString& column, std::string& declared)
{
    std::string key = table.Str();
    key += '\0';
    key += column.Str();
    if (const auto found = m_textLimits.find(key); found != m_textLimits.end()) {
        declared = found->second.second;
        return found->second.first;
    }
    const std::string relation = QuoteName(table).Str();
    const char* values[] = {relation.c_str(), column.GetString()};
    CPgResultHandle res(PQexecParams(m_conn.get(),
                                     "SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = "
                                     "to_regclass($1) AND attname = $2 AND NOT attisdropped",
                                     2, nullptr, values, nullptr, nullptr, 0));
    declared.clear();
    if (res && PQresultStatus(res.get()) == PGRES_TUPLES_OK && PQntuples(res.get()) == 1)
        declared = LibraryTypeName(PQgetvalue(res.get(), 0, 0));
    const int limit = declared.empty() ? -1 : DeclaredTextLength(declared);
    m_textLimits.emplace(std::move(key), std::make_pair(limit, declared));
    return limit;
}

void CPgConnection::CheckTexts(const CString& table, const std::vector<CString>& columns,
                               const std::vector<CSqlValue>& values, const CString& shown)
{
    for (size_t i = 0; i < columns.size() && i < values.size(); ++i) {
        if (values[i].GetType() != CSqlValue::Type::Text)
            continue;
        std::string declared;
        if (TextLimit(table, columns[i], declared) < 0)
            declared.clear();
        if (TextFitsColumn(values[i], declared))
            continue;
        const CString what = CString("column ") + columns[i] + " of table " + table;
        RefuseNulInText(values[i], what, shown);
        RefuseTextLongerThanColumn(values[i], declared, what, shown);
    }
}

CSqlValue CPgConnection::InsertRow(const CString& table, const std::vector<CString>& columns,
                                   const std::vector<CSqlValue>& values)
{
    const CString sql = InsertRowText(table, columns) + " RETURNING " + GetRowIdExpression();
    EnsureConnected(sql);
    CheckTexts(table, columns, values, sql);
    CPgResultHandle res = RunParams(sql, values, sql);
    if (PQntuples(res.get()) != 1 || PQgetisnull(res.get(), 0, 0))
        ThrowSqlLayerError(SQL_ERROR, "The new row's identity was not returned.", sql);
    const CSqlValue rowId = CSqlValue::Integer(std::strtoll(PQgetvalue(res.get(), 0, 0), nullptr, 10));
    if (!columns.empty()) {
        std::vector<std::string> names;
        for (const CString& column : columns)
            names.push_back(column.Str());
        KeepAutoNumberAhead(QuoteName(table).Str(), names, sql);
    }
    return rowId;
}

int CPgConnection::UpdateRow(const CString& table, const CSqlValue& rowId, const std::vector<CString>& columns,
                             const std::vector<CSqlValue>& values)
{
    CString sql = CString("UPDATE ") + QuoteName(table) + " SET ";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? ", " : "") + QuoteName(columns[i]) + " = " + GetParameterMarker(static_cast<int>(i + 1));
    sql += CString(" WHERE ") + GetRowIdExpression() + " = " + GetParameterMarker(static_cast<int>(columns.size() + 1));
    EnsureConnected(sql);
    CheckTexts(table, columns, values, sql);
    std::vector<CSqlValue> all(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(columns.size()));
    all.push_back(rowId);
    CPgResultHandle res = RunParams(sql, all, sql);
    return std::atoi(PQcmdTuples(res.get()));
}

int CPgConnection::DeleteRow(const CString& table, const CSqlValue& rowId)
{
    const CString sql = CString("DELETE FROM ") + QuoteName(table) + " WHERE " + GetRowIdExpression() + " = $1";
    CPgResultHandle res = RunParams(sql, {rowId}, sql);
    return std::atoi(PQcmdTuples(res.get()));
}

bool CPgConnection::IsRowIdentityColumn(const CString& /*table*/, const CString& /*column*/)
{
    return false;
}

void CPgConnection::MoveAutoNumberPast(const CString& table, const CString& column, int64_t maxKey)
{
    CString shown;
    shown.Format("SELECT setval(pg_get_serial_sequence('%s', '%s'), %lld)", table.GetString(), column.GetString(),
                 static_cast<long long>(maxKey));
    // The table and column as they were created: the caller may write them
    // in another letter case (the exact spelling wins).
    CPgResultHandle found = RunParams(
        "SELECT pg_get_serial_sequence(format('%I.%I', n.nspname, c.relname), a.attname) FROM pg_class c "
        "JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_attribute a ON a.attrelid = c.oid "
        "WHERE c.relkind = 'r' AND n.nspname = current_schema() AND lower(c.relname) = lower($1) "
        "AND lower(a.attname) = lower($2) AND a.attnum > 0 AND NOT a.attisdropped "
        "ORDER BY c.relname = $1 DESC, a.attname = $2 DESC LIMIT 1",
        {CSqlValue::Text(table.Str()), CSqlValue::Text(column.Str())}, shown);
    if (PQntuples(found.get()) != 1 || PQgetisnull(found.get(), 0, 0) ||
        std::strstr(PQgetvalue(found.get(), 0, 0), "__zen_rowid") != nullptr) {
        CString reason;
        reason.Format("Column %s of table %s is not an auto-numbered key.", column.GetString(), table.GetString());
        ThrowSqlLayerError(SQL_ERROR, reason, shown);
    }
    if (maxKey <= 0)
        return;
    // Never back: the last key handed out (before the first: one below the
    // start) stays when it is greater.
    const std::string sequence = PQgetvalue(found.get(), 0, 0);
    const CString move = CString("SELECT setval($1::regclass, GREATEST($2::bigint, (SELECT CASE WHEN is_called THEN "
                                 "last_value ELSE last_value - 1 END FROM ") +
                         CString(sequence) + ")))";
    RunParams(move, {CSqlValue::Text(sequence), CSqlValue::Integer(maxKey)}, shown);
}

namespace {

// An identifier as the server folds it: a quoted name exactly (doubled
// quotes undone), a bare one in lower case.
std::string FoldedName(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        std::string name;
        for (size_t i = 1; i + 1 < text.size(); ++i) {
            name += text[i];
            if (text[i] == '"')
                ++i;
        }
        return name;
    }
    std::string name(text);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// The next name of text from pos on (blanks skipped): a quoted identifier
// with its quotes, or a run of letters, digits, '_', '$' and '.'; empty when
// none stands there.
std::string_view NextName(std::string_view text, size_t& pos)
{
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    const size_t start = pos;
    if (pos < text.size() && text[pos] == '"') {
        for (++pos; pos < text.size(); ++pos) {
            if (text[pos] != '"')
                continue;
            if (pos + 1 < text.size() && text[pos + 1] == '"') {
                ++pos;
                continue;
            }
            ++pos;
            return text.substr(start, pos - start);
        }
        return {};
    }
    while (pos < text.size() && (std::isalnum(static_cast<unsigned char>(text[pos])) || text[pos] == '_' ||
                                 text[pos] == '$' || text[pos] == '.' || text[pos] == '"'))
        ++pos;
    return text.substr(start, pos - start);
}

bool IsWord(std::string_view name, const char* word)
{
    return FoldedName(name) == FoldedName(word) && name.front() != '"';
}

} // namespace

void CPgConnection::KeepAutoNumberAheadOf(const CString& engineSql, const CString& shown)
{
    // INSERT INTO name (column, ...) ...: a statement without a column list
    // writes every column, the auto-numbered one included.
    const std::string_view text = engineSql.GetString();
    size_t pos = 0;
    if (!IsWord(NextName(text, pos), "INSERT") || !IsWord(NextName(text, pos), "INTO"))
        return;
    const std::string_view relation = NextName(text, pos);
    if (relation.empty())
        return;
    std::vector<std::string> columns;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    if (pos < text.size() && text[pos] == '(') {
        ++pos;
        for (;;) {
            const std::string_view column = NextName(text, pos);
            if (column.empty())
                return; // not a plain column list: nothing certain to do
            columns.push_back(FoldedName(column));
            while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
                ++pos;
            if (pos < text.size() && text[pos] == ',') {
                ++pos;
                continue;
            }
            if (pos < text.size() && text[pos] == ')')
                break;
            return;
        }
    } else {
        columns.push_back(std::string()); // every column
    }
    KeepAutoNumberAhead(std::string(relation), columns, shown);
}

void CPgConnection::KeepAutoNumberAhead(const std::string& relation, const std::vector<std::string>& columns,
                                        const CString& shown)
{
    auto found = m_autoNumbers.find(relation);
    if (found == m_autoNumbers.end()) {
        const char* values[] = {relation.c_str()};
        CPgResultHandle res(PQexecParams(
            m_conn.get(),
            "SELECT a.attname, pg_get_serial_sequence(format('%I.%I', n.nspname, c.relname), a.attname) "
            "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
            "WHERE a.attrelid = to_regclass($1) AND a.attnum > 0 AND NOT a.attisdropped "
            "AND (a.attidentity = 'd' OR pg_get_serial_sequence(format('%I.%I', n.nspname, c.relname), a.attname) "
            "IS NOT NULL) AND a.attname <> '__zen_rowid' ORDER BY a.attnum LIMIT 1",
            1, nullptr, values, nullptr, nullptr, 0));
        if (!res || PQresultStatus(res.get()) != PGRES_TUPLES_OK)
            return; // the insert itself succeeded; the catalogue's answer decides nothing
        std::pair<std::string, std::string> autoNumber;
        if (PQntuples(res.get()) == 1 && !PQgetisnull(res.get(), 0, 1))
            autoNumber = {PQgetvalue(res.get(), 0, 0), PQgetvalue(res.get(), 0, 1)};
        found = m_autoNumbers.emplace(relation, std::move(autoNumber)).first;
    }
    const auto& [column, sequence] = found->second;
    if (column.empty())
        return;
    bool named = false;
    for (const std::string& given : columns)
        named = named || given.empty() || given == column;
    if (!named)
        return;
    // Never back: moved only when a stored key lies beyond the last one
    // handed out (before the first: one below the start).
    std::string quotedColumn = "\"";
    for (const char c : column)
        quotedColumn += c == '"' ? std::string("\"\"") : std::string(1, c);
    quotedColumn += '"';
    const CString move = CString("SELECT setval($1::regclass, m) FROM (SELECT max(") + CString(quotedColumn) +
                         ") AS m FROM " + CString(relation) + ") k, " + CString(sequence) +
                         " s WHERE k.m > CASE WHEN s.is_called THEN s.last_value ELSE s.last_value - 1 END";
    RunParams(move, {CSqlValue::Text(sequence)}, shown);
}
