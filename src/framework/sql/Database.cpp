// CDatabase: connection string -> engine driver, statements without rows,
// transactions, and closing the recordsets that still use the connection.
#include "framework/sql/Database.h"

#include "framework/sql/Dialect.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/internal/RecordsetTextCache.h"
#include "framework/sql/internal/SqlConnection.h"
#include "framework/sql/internal/SqlConvert.h"
#include "framework/sql/internal/SqlErrors.h"
#include "framework/sql/internal/SqlTokens.h"
#include "framework/sql/internal/SqlValue.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CDatabase, CObject)

namespace {

const char* RetCodeText(RETCODE code)
{
    switch (code) {
    case AFX_SQL_ERROR_CONNECT_FAIL: return "The connection to the database failed.";
    case AFX_SQL_ERROR_RECORDSET_FORWARD_ONLY: return "The recordset only moves forward.";
    case AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH: return "The columns of the result do not match the bound fields.";
    case AFX_SQL_ERROR_ILLEGAL_MODE: return "Update was called without AddNew or Edit.";
    case AFX_SQL_ERROR_NO_CURRENT_RECORD: return "No current record.";
    case AFX_SQL_ERROR_NO_ROWS_AFFECTED: return "No rows were affected by the update or delete operation.";
    case AFX_SQL_ERROR_RECORDSET_READONLY: return "The recordset is read-only.";
    case AFX_SQL_ERROR_NO_DATA_FOUND: return "No data found: the recordset has no row there.";
    default: return "The database reported an error.";
    }
}

} // namespace

CDatabase::CDatabase() = default;

CDatabase::~CDatabase()
{
    CloseConnection();
}

BOOL CDatabase::OpenEx(const char* lpszConnectString, DWORD dwOptions)
{
    if (IsOpen())
        ThrowSqlLayerError(AFX_SQL_ERROR_CONNECT_FAIL, "The database connection is open already.");
    const CString connect = lpszConnectString ? lpszConnectString : "";
    CSqlConnectParams params = ParseConnectString(connect);
    if (dwOptions & openReadOnly)
        params.readOnly = true;
    m_pConnection = OpenSqlConnection(params, static_cast<int>(m_dwQueryTimeout * 1000));
    m_strConnect = connect;
    return TRUE;
}

BOOL CDatabase::Open(const char* /*lpszDSN*/, BOOL /*bExclusive*/, BOOL bReadOnly, const char* lpszConnect,
                     BOOL /*bUseCursorLib*/)
{
    return OpenEx(lpszConnect, bReadOnly ? static_cast<DWORD>(openReadOnly) : 0u);
}

void CDatabase::Close()
{
    CloseConnection();
}

void CDatabase::CloseConnection() noexcept
{
    // Recordsets first: their statements must end before the connection.
    while (!m_recordsets.empty()) {
        CRecordset* set = m_recordsets.back();
        m_recordsets.pop_back();
        try {
            set->Close();
        } catch (...) {
            // Closing never fails for our recordsets; a derived Close that
            // throws must not keep the connection open.
        }
    }
    if (m_pConnection) {
        try {
            m_pConnection->RollbackTransaction();
        } catch (...) {
            // The engine rolls back what is left when the handle is closed.
        }
    }
    m_pConnection.reset();
    m_pTextCache.reset();
    m_executeTexts.clear();
    m_valueTexts.clear();
    m_strConnect.Empty();
}

unsigned CDatabase::TakeSavepointNumber()
{
    unsigned number = 1;
    while (std::find(m_heldSavepoints.begin(), m_heldSavepoints.end(), number) != m_heldSavepoints.end())
        ++number;
    m_heldSavepoints.push_back(number);
    return number;
}

void CDatabase::GiveBackSavepointNumber(unsigned number) noexcept
{
    const auto held = std::find(m_heldSavepoints.begin(), m_heldSavepoints.end(), number);
    if (held != m_heldSavepoints.end())
        m_heldSavepoints.erase(held);
}

CRecordsetTextCache& CDatabase::GetRecordsetTextCache()
{
    if (!m_pTextCache)
        m_pTextCache = std::make_unique<CRecordsetTextCache>();
    return *m_pTextCache;
}

BOOL CDatabase::IsOpen() const
{
    return m_pConnection ? TRUE : FALSE;
}

BOOL CDatabase::CanUpdate() const
{
    return m_pConnection && m_pConnection->CanUpdate() ? TRUE : FALSE;
}

CString CDatabase::GetReadOnlyReason() const
{
    return m_pConnection ? m_pConnection->GetReadOnlyReason() : CString();
}

BOOL CDatabase::CheckIntegrity(CStringList& findings)
{
    if (!m_pConnection)
        ThrowDBException(AFX_SQL_ERROR_CONNECT_FAIL);
    std::vector<CString> lines;
    const bool clean = m_pConnection->CheckIntegrity(lines);
    for (const CString& line : lines)
        findings.AddTail(line);
    return clean ? TRUE : FALSE;
}

void CDatabase::Backup(const char* targetPath)
{
    if (!m_pConnection)
        ThrowDBException(AFX_SQL_ERROR_CONNECT_FAIL);
    if (!targetPath || !*targetPath)
        ThrowSqlLayerError(SQL_ERROR, "The backup needs the name of a new file.");
    m_pConnection->Backup(targetPath);
}

BOOL CDatabase::HasTable(const char* name)
{
    if (!m_pConnection)
        ThrowDBException(AFX_SQL_ERROR_CONNECT_FAIL);
    return m_pConnection->HasSchemaObject(CString(name != nullptr ? name : ""), false) ? TRUE : FALSE;
}

BOOL CDatabase::HasIndex(const char* name)
{
    if (!m_pConnection)
        ThrowDBException(AFX_SQL_ERROR_CONNECT_FAIL);
    return m_pConnection->HasSchemaObject(CString(name != nullptr ? name : ""), true) ? TRUE : FALSE;
}

BOOL CDatabase::CanTransact() const
{
    return IsOpen();
}

void CDatabase::ExecuteSQL(const char* lpszSQL)
{
    if (!m_pConnection)
        ThrowDBException(AFX_SQL_ERROR_CONNECT_FAIL);
    // Held: the texts stay even if the statement emptied the kept ones
    // (never, today, but the map is not to be relied on across the call).
    const CKeptTextPtr text = EngineText(lpszSQL);
    m_pConnection->Execute(text->engine, text->shown);
}

CDatabase::CKeptTextPtr CDatabase::EngineText(const char* sql)
{
    constexpr size_t kKeptTexts = 256;
    const std::string_view given(sql ? sql : "");
    auto kept = m_executeTexts.find(given);
    if (kept == m_executeTexts.end()) {
        auto text = std::make_shared<CKeptText>();
        text->shown = CString(given);
        text->engine = TranslateSql(text->shown, m_pConnection->GetDialect());
        if (m_executeTexts.size() >= kKeptTexts)
            m_executeTexts.clear();
        kept = m_executeTexts.emplace(std::string(given), std::move(text)).first;
    }
    return kept->second;
}

namespace {

// The values of the statement's current row into row, as texts.
void ReadRowTexts(CSqlStatement& statement, std::vector<CString>& row)
{
    const int columns = statement.GetColumnCount();
    row.reserve(static_cast<size_t>(columns));
    CSqlValue value;
    for (int c = 0; c < columns; ++c) {
        statement.ReadValue(c, value);
        row.emplace_back(SqlValueToText(value));
    }
}

} // namespace

BOOL CDatabase::QueryFirstRow(const char* lpszSQL, std::vector<CString>& values)
{
    values.clear();
    if (!m_pConnection)
        ThrowDBException(AFX_SQL_ERROR_CONNECT_FAIL);
    const CKeptTextPtr text = EngineText(lpszSQL);
    const CString& shown = text->shown;
    const CString& engineSql = text->engine;
    // A read only: a write would pass by the checks that ExecuteSQL's writes
    // go through.
    if (SqlFirstWord(engineSql) != "SELECT")
        ThrowSqlLayerError(SQL_ERROR, "Only a SELECT statement gives a row to read.", shown);
    const std::unique_ptr<CSqlStatement> statement = m_pConnection->Prepare(engineSql, shown);
    if (!statement->Step())
        return FALSE;
    ReadRowTexts(*statement, values);
    return TRUE; // the statement is reset when it goes, which ends its read
}

namespace {

CSqlValue ParameterValue(const CDBVariant& value, size_t index, const CString& shown)
{
    switch (value.m_dwType) {
    case DBVT_NULL: return CSqlValue();
    case DBVT_BOOL: return CSqlValue::Integer(value.m_boolVal != FALSE ? 1 : 0);
    case DBVT_UCHAR: return CSqlValue::Integer(value.m_chVal);
    case DBVT_SHORT: return CSqlValue::Integer(value.m_iVal);
    case DBVT_LONG: return CSqlValue::Integer(value.m_lVal);
    case DBVT_SINGLE: return CSqlValue::Real(value.m_fltVal);
    case DBVT_DOUBLE: return CSqlValue::Real(value.m_dblVal);
    case DBVT_STRING:
    case DBVT_ASTRING:
    case DBVT_WSTRING: return CSqlValue::Text(value.m_pstring->Str());
    case DBVT_BINARY: return CSqlValue::Blob(value.m_pbinary->Bytes());
    default: break;
    }
    CString reason;
    reason.Format("Value %d of the statement is of a kind that cannot be given apart from its text (a date: "
                  "write it as text).",
                  static_cast<int>(index + 1));
    ThrowSqlLayerError(SQL_ERROR, reason, shown);
}

// ParameterValue, with a text or a byte array moved out of value.
CSqlValue TakeParameterValue(CDBVariant& value, size_t index, const CString& shown)
{
    switch (value.m_dwType) {
    case DBVT_STRING:
    case DBVT_ASTRING:
    case DBVT_WSTRING: return CSqlValue::Text(std::move(value.m_pstring->StdString()));
    case DBVT_BINARY: return CSqlValue::Blob(std::move(value.m_pbinary->Vector()));
    default: return ParameterValue(value, index, shown);
    }
}

} // namespace

void CDatabase::ExecuteSQL(const char* lpszSQL, const std::vector<CDBVariant>& values)
{
    ExecuteWithValues(lpszSQL, values.size(), [&](size_t i, const CString& shown) {
        return ParameterValue(values[i], i, shown);
    });
}

void CDatabase::ExecuteSQL(const char* lpszSQL, std::vector<CDBVariant>&& values)
{
    ExecuteWithValues(lpszSQL, values.size(), [&](size_t i, const CString& shown) {
        return TakeParameterValue(values[i], i, shown);
    });
}

BOOL CDatabase::QueryFirstRow(const char* lpszSQL, const std::vector<CDBVariant>& values, std::vector<CString>& row)
{
    row.clear();
    if (!m_pConnection)
        ThrowDBException(AFX_SQL_ERROR_CONNECT_FAIL);
    const CKeptTextPtr text = ValueText(lpszSQL, values.size());
    if (SqlFirstWord(text->engine) != "SELECT")
        ThrowSqlLayerError(SQL_ERROR, "Only a SELECT statement gives a row to read.", text->shown);
    const std::unique_ptr<CSqlStatement> statement = m_pConnection->Prepare(text->engine, text->shown);
    for (size_t i = 0; i < values.size(); ++i)
        statement->Bind(static_cast<int>(i + 1), ParameterValue(values[i], i, text->shown));
    if (!statement->Step())
        return FALSE;
    ReadRowTexts(*statement, row);
    return TRUE;
}

CDatabase::CKeptTextPtr CDatabase::ValueText(const char* lpszSQL, size_t count)
{
    constexpr size_t kKeptTexts = 256;
    const std::string_view given(lpszSQL ? lpszSQL : "");
    auto kept = m_valueTexts.find(given);
    if (kept == m_valueTexts.end()) {
        auto text = std::make_shared<CKeptText>();
        text->shown = CString(given);
        CSqlTokens tokens = TokenizeSql(TranslateSql(text->shown, m_pConnection->GetDialect()).Str());
        for (CSqlToken& t : tokens)
            if (t.IsSymbol("?"))
                t.text = m_pConnection->GetParameterMarker(++text->markers).Str();
        text->engine = CString(JoinSqlTokens(tokens, 0, tokens.size()));
        if (m_valueTexts.size() >= kKeptTexts)
            m_valueTexts.clear();
        kept = m_valueTexts.emplace(std::string(given), std::move(text)).first;
    }
    CKeptTextPtr text = kept->second;
    if (text->markers != static_cast<int>(count)) {
        CString reason;
        reason.Format("The statement has %d parameters, but %d values were given.", text->markers,
                      static_cast<int>(count));
        ThrowSqlLayerError(SQL_ERROR, reason, text->shown);
    }
    return text;
}

template <class Value>
void CDatabase::ExecuteWithValues(const char* lpszSQL, size_t count, Value&& value)
{
    if (!m_pConnection)
        ThrowDBException(AFX_SQL_ERROR_CONNECT_FAIL);
    const CKeptTextPtr text = ValueText(lpszSQL, count);
    const CString& shown = text->shown;
    const CString& engineSql = text->engine;
    std::vector<CSqlValue> bound;
    bound.reserve(count);
    for (size_t i = 0; i < count; ++i)
        bound.push_back(value(i, shown));
    m_pConnection->ExecuteWithValues(engineSql, shown, bound);
}

BOOL CDatabase::BeginTrans()
{
    if (!m_pConnection)
        ThrowDBException(AFX_SQL_ERROR_CONNECT_FAIL);
    // Refused here for every engine: SQLite refuses it itself, the server
    // only warns and goes on in the open transaction.
    if (m_pConnection->InTransaction())
        ThrowSqlLayerError(SQL_ERROR,
                           "A transaction is open already on this connection; work inside it is nested with a "
                           "savepoint.",
                           "BEGIN");
    m_pConnection->BeginTransaction();
    ++m_nTransactions;
    return TRUE;
}

BOOL CDatabase::CommitTrans()
{
    if (!m_pConnection)
        ThrowDBException(AFX_SQL_ERROR_CONNECT_FAIL);
    // As for BeginTrans: the server would only warn.
    if (!m_pConnection->InTransaction())
        ThrowSqlLayerError(SQL_ERROR, "No transaction is open on this connection to commit.", "COMMIT");
    m_pConnection->CommitTransaction();
    return TRUE;
}

BOOL CDatabase::Rollback()
{
    if (!m_pConnection)
        return FALSE;
    return m_pConnection->RollbackTransaction() ? TRUE : FALSE;
}

BOOL CDatabase::IsInTransaction() const
{
    return m_pConnection && m_pConnection->InTransaction() ? TRUE : FALSE;
}

void CDatabase::SetQueryTimeout(DWORD dwSeconds)
{
    m_dwQueryTimeout = dwSeconds;
    if (m_pConnection)
        m_pConnection->SetBusyTimeout(static_cast<int>(dwSeconds * 1000));
}

void CDatabase::ThrowDBException(RETCODE nRetCode)
{
    ThrowSqlLayerError(nRetCode, RetCodeText(nRetCode));
}

void CDatabase::CreateDatabase(const char* lpszConnectString)
{
    CreateSqlDatabase(ParseConnectString(lpszConnectString ? lpszConnectString : ""));
}

void CDatabase::RegisterRecordset(CRecordset* pSet)
{
    if (std::find(m_recordsets.begin(), m_recordsets.end(), pSet) == m_recordsets.end())
        m_recordsets.push_back(pSet);
}

void CDatabase::UnregisterRecordset(CRecordset* pSet)
{
    m_recordsets.erase(std::remove(m_recordsets.begin(), m_recordsets.end(), pSet), m_recordsets.end());
}
