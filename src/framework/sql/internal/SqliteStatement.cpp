// SQLite statement: stepping, values, and the description of result columns
// from their declared types and the table's column metadata.
#include "framework/sql/internal/SqliteStatement.h"

#include "framework/sql/internal/SqlColumnTypes.h"

#include <strings.h>

CSqliteStatement::CSqliteStatement(CSqliteConnection& connection, CSqliteStmtHandle stmt, const CString& shown,
                                   uint64_t cacheTicket, std::string cacheKey, uint64_t generation)
    : m_connection(connection), m_stmt(std::move(stmt)), m_strShown(shown), m_cacheKey(std::move(cacheKey)),
      m_cacheTicket(cacheTicket), m_generation(generation)
{
}

CSqliteStatement::~CSqliteStatement()
{
    m_connection.ReleaseStatement(m_cacheTicket, std::move(m_cacheKey), std::move(m_stmt), m_generation);
}

int CSqliteStatement::GetColumnCount() const
{
    return sqlite3_column_count(m_stmt.get());
}

CString CSqliteStatement::GetColumnName(int column) const
{
    const char* name = sqlite3_column_name(m_stmt.get(), column);
    return name ? CString(name) : CString();
}

const char* CSqliteStatement::PeekColumnName(int column) const
{
    // The engine returns nullptr only when out of memory; GetColumnName then
    // answers as before.
    return sqlite3_column_name(m_stmt.get(), column);
}

CODBCFieldInfo CSqliteStatement::DescribeColumn(int column) const
{
    sqlite3_stmt* s = m_stmt.get();
    CODBCFieldInfo info;
    info.m_strName = GetColumnName(column);
    const char* declared = sqlite3_column_decltype(s, column);
    if (!declared || !DescribeDeclaredType(declared, info)) {
        // An expression: class it by the value it holds now.
        const int type = m_bHasRow ? sqlite3_column_type(s, column) : SQLITE_NULL;
        switch (type) {
        case SQLITE_INTEGER: info.m_nSQLType = SQL_INTEGER; info.m_nPrecision = 10; break;
        case SQLITE_FLOAT: info.m_nSQLType = SQL_DOUBLE; info.m_nPrecision = 15; break;
        case SQLITE_BLOB: info.m_nSQLType = SQL_LONGVARBINARY; info.m_nPrecision = LongColumnPrecision; break;
        default: info.m_nSQLType = SQL_VARCHAR; info.m_nPrecision = 255; break;
        }
    }
    const char* database = sqlite3_column_database_name(s, column);
    const char* table = sqlite3_column_table_name(s, column);
    const char* origin = sqlite3_column_origin_name(s, column);
    info.m_nNullability = SQL_NULLABLE_UNKNOWN;
    if (table && origin) {
        const char* type = nullptr;
        const char* collation = nullptr;
        int notNull = 0;
        int primaryKey = 0;
        int autoIncrement = 0;
        if (sqlite3_table_column_metadata(m_connection.Handle(), database, table, origin, &type, &collation,
                                          &notNull, &primaryKey, &autoIncrement) == SQLITE_OK) {
            // An INTEGER PRIMARY KEY is the row's identity and never NULL.
            const bool rowIdAlias = primaryKey && type && strcasecmp(type, "INTEGER") == 0;
            info.m_nNullability = notNull || autoIncrement || rowIdAlias ? SQL_NO_NULLS : SQL_NULLABLE;
        }
    }
    return info;
}

void CSqliteStatement::Bind(int index, const CSqlValue& value)
{
    // The target is named only for a refusal: a binding is made for every
    // value of every statement.
    if (value.GetType() == CSqlValue::Type::Text && value.GetText().find('\0') != std::string::npos) {
        CString what;
        what.Format("parameter %d", index);
        RefuseNulInText(value, what, m_strShown);
    }
    if (const int rc = BindSqliteValue(m_stmt.get(), index, value); rc != SQLITE_OK)
        m_connection.ThrowError(rc, m_strShown);
}

bool CSqliteStatement::Step()
{
    const int rc = sqlite3_step(m_stmt.get());
    if (rc == SQLITE_ROW) {
        m_bHasRow = true;
        return true;
    }
    m_bHasRow = false;
    if (rc == SQLITE_DONE)
        return false;
    // Take the engine's text before the reset, which releases the locks.
    CDBException e = m_connection.MakeError(rc, m_strShown);
    sqlite3_reset(m_stmt.get());
    throw e;
}

CSqlValue CSqliteStatement::GetValue(int column) const
{
    sqlite3_stmt* s = m_stmt.get();
    switch (sqlite3_column_type(s, column)) {
    case SQLITE_INTEGER: return CSqlValue::Integer(sqlite3_column_int64(s, column));
    case SQLITE_FLOAT: return CSqlValue::Real(sqlite3_column_double(s, column));
    case SQLITE_TEXT: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
        const int n = sqlite3_column_bytes(s, column);
        return CSqlValue::Text(p ? std::string(p, static_cast<size_t>(n)) : std::string());
    }
    case SQLITE_BLOB: {
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(s, column));
        const int n = sqlite3_column_bytes(s, column);
        return CSqlValue::Blob(p ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>());
    }
    default: return CSqlValue();
    }
}

namespace {

// One column through its engine value: a single look-up of the column per
// read (each sqlite3_column_* call looks the column up and checks the
// connection again). The value is only read here, on the connection's own
// thread, before the statement moves on.
inline void ReadEngineValue(sqlite3_value* v, CSqlValue& into)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: into.SetInteger(sqlite3_value_int64(v)); return;
    case SQLITE_FLOAT: into.SetReal(sqlite3_value_double(v)); return;
    case SQLITE_TEXT: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        const int n = sqlite3_value_bytes(v);
        into.SetText(p ? p : "", p ? static_cast<size_t>(n) : 0);
        return;
    }
    case SQLITE_BLOB: {
        const auto* p = static_cast<const uint8_t*>(sqlite3_value_blob(v));
        const int n = sqlite3_value_bytes(v);
        into.SetBlob(p, p ? static_cast<size_t>(n) : 0);
        return;
    }
    default: into.SetNull(); return;
    }
}

} // namespace

void CSqliteStatement::ReadValue(int column, CSqlValue& into) const
{
    ReadEngineValue(sqlite3_column_value(m_stmt.get(), column), into);
}

void CSqliteStatement::ReadRow(int columns, std::vector<CSqlValue>& out) const
{
    sqlite3_stmt* s = m_stmt.get();
    out.resize(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c)
        ReadEngineValue(sqlite3_column_value(s, c), out[static_cast<size_t>(c)]);
}

bool CSqliteStatement::PeekValue(int column, CSqlValueView& out) const
{
    sqlite3_value* v = sqlite3_column_value(m_stmt.get(), column);
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        out.type = CSqlValue::Type::Integer;
        out.integer = sqlite3_value_int64(v);
        return true;
    case SQLITE_FLOAT:
        out.type = CSqlValue::Type::Real;
        out.real = sqlite3_value_double(v);
        return true;
    case SQLITE_TEXT: {
        // The text first, then its length (the order the engine asks for).
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        const int n = sqlite3_value_bytes(v);
        out.type = CSqlValue::Type::Text;
        out.data = p ? p : "";
        out.size = p ? static_cast<size_t>(n) : 0;
        return true;
    }
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
        const int n = sqlite3_value_bytes(v);
        out.type = CSqlValue::Type::Blob;
        out.data = p;
        out.size = p ? static_cast<size_t>(n) : 0;
        return true;
    }
    default:
        out.type = CSqlValue::Type::Null;
        return true;
    }
}

bool CSqliteStatement::GetColumnsStamp(uint64_t& preparation, uint64_t& version) const
{
    preparation = m_stmt.get_deleter().preparation;
    version = static_cast<uint64_t>(sqlite3_stmt_status(m_stmt.get(), SQLITE_STMTSTATUS_REPREPARE, 0));
    return preparation != 0;
}

void CSqliteStatement::Reset() noexcept
{
    sqlite3_reset(m_stmt.get());
    m_bHasRow = false;
}
