// PostgreSQL statement: preparing and describing on the server, running with
// the bound values, and the values of the fetched rows by their result type.
#include "framework/sql/internal/PgStatement.h"

#include "framework/sql/internal/SqlColumnTypes.h"
#include "framework/sql/internal/SqlErrors.h"

#include <cstdlib>
#include <cstring>

namespace {

// Type oids of the server's built-in types (pg_type.h).
constexpr Oid kBool = 16;
constexpr Oid kBytea = 17;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kOid = 26;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;
constexpr Oid kDate = 1082;
constexpr Oid kTimestamp = 1114;
constexpr Oid kTimestampTz = 1184;

// The library's type name for an expression's result type.
const char* ExpressionType(Oid type)
{
    switch (type) {
    case kBool: return "BIT";
    case kBytea: return "BLOB";
    case kInt8: return "BIGINT";
    case kInt2: return "SMALLINT";
    case kInt4:
    case kOid: return "INTEGER";
    case kFloat4: return "REAL";
    case kFloat8:
    case kNumeric: return "DOUBLE";
    case kDate:
    case kTimestamp:
    case kTimestampTz: return "DATETIME";
    default: return "VARCHAR";
    }
}

void ReadPgValue(const PGresult* res, int row, int column, CSqlValue& into)
{
    if (PQgetisnull(res, row, column)) {
        into.SetNull();
        return;
    }
    const char* text = PQgetvalue(res, row, column);
    switch (PQftype(res, column)) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid: into.SetInteger(std::strtoll(text, nullptr, 10)); return;
    case kBool: into.SetInteger(text[0] == 't' ? 1 : 0); return;
    case kFloat4:
    case kFloat8:
    case kNumeric: into.SetReal(std::strtod(text, nullptr)); return;
    case kBytea: {
        size_t length = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &length);
        into.SetBlob(bytes, bytes ? length : 0);
        PQfreemem(bytes);
        return;
    }
    default: into.SetText(text, static_cast<size_t>(PQgetlength(res, row, column))); return;
    }
}

} // namespace

CPgStatement::CPgStatement(CPgConnection& connection, const CString& engineSql, const CString& shown,
                           std::string cacheKey, std::vector<CSqlValue> values)
    : m_connection(connection), m_strSql(engineSql), m_strShown(shown), m_cacheKey(std::move(cacheKey))
{
    CPgConnection::CPrepared idle;
    // Kept only while the session it was prepared in lasts.
    if (!m_cacheKey.empty() && PQstatus(m_connection.Handle()) == CONNECTION_OK)
        idle = m_connection.TakePrepared(m_cacheKey);
    if (idle.description) {
        m_name = std::move(idle.name);
        m_description = std::move(idle.description);
        m_epoch = m_connection.Epoch();
        m_generation = m_connection.PreparedGeneration();
        m_params.resize(static_cast<size_t>(PQnparams(m_description.get())));
    } else {
        PrepareOnServer();
    }
    for (size_t i = 0; i < values.size() && i < m_params.size(); ++i)
        m_params[i] = std::move(values[i]);
}

CPgStatement::~CPgStatement()
{
    if (m_name.empty())
        return;
    if (m_cacheKey.empty())
        m_connection.Deallocate(m_name, m_epoch);
    else
        m_connection.GivePrepared(std::move(m_cacheKey), {std::move(m_name), std::move(m_description)}, m_generation,
                                  m_epoch);
}

void CPgStatement::PrepareOnServer()
{
    if (!m_name.empty())
        m_connection.Deallocate(m_name, m_epoch);
    m_name.clear();
    const std::string name = m_connection.NextStatementName();
    m_connection.PrepareNamed(name, m_strSql, m_strShown);
    m_name = name;
    m_epoch = m_connection.Epoch();
    m_generation = m_connection.PreparedGeneration();
    m_description.reset(PQdescribePrepared(m_connection.Handle(), m_name.c_str()));
    if (!m_description || PQresultStatus(m_description.get()) != PGRES_COMMAND_OK)
        m_connection.ThrowError(m_description.get(), m_strShown);
    m_params.resize(static_cast<size_t>(PQnparams(m_description.get())));
}

int CPgStatement::GetColumnCount() const
{
    return PQnfields(m_description.get());
}

CString CPgStatement::GetColumnName(int column) const
{
    const char* name = PQfname(m_description.get(), column);
    return name ? CString(name) : CString();
}

CODBCFieldInfo CPgStatement::DescribeColumn(int column) const
{
    const PGresult* d = m_description.get();
    CODBCFieldInfo info;
    info.m_strName = GetColumnName(column);
    info.m_nNullability = SQL_NULLABLE_UNKNOWN;
    const Oid table = PQftable(d, column);
    std::string declared;
    if (table != InvalidOid) {
        const auto declaration = m_connection.ColumnDeclaration(table, PQftablecol(d, column));
        declared = declaration.first;
        if (!declared.empty())
            info.m_nNullability = declaration.second ? SQL_NO_NULLS : SQL_NULLABLE;
    }
    if (declared.empty() || !DescribeDeclaredType(declared, info))
        DescribeDeclaredType(ExpressionType(PQftype(d, column)), info);
    return info;
}

void CPgStatement::Bind(int index, const CSqlValue& value)
{
    // The target is named only for a refusal: a binding is made for every
    // value of every statement.
    if (value.GetType() == CSqlValue::Type::Text && value.GetText().find('\0') != std::string::npos) {
        CString what;
        what.Format("parameter %d", index);
        RefuseNulInText(value, what, m_strShown);
    }
    if (index < 1 || static_cast<size_t>(index) > m_params.size()) {
        CString reason;
        reason.Format("The statement has no parameter %d.", index);
        ThrowSqlLayerError(SQL_ERROR, reason, m_strShown);
    }
    m_params[static_cast<size_t>(index - 1)] = value;
}

bool CPgStatement::Step()
{
    if (!m_result) {
        if (m_epoch != m_connection.Epoch() || PQstatus(m_connection.Handle()) != CONNECTION_OK) {
            // Prepared in a session the server has ended: the connection is
            // renewed (or the loss reported) and the statement prepared anew.
            m_connection.EnsureConnected(m_strShown);
            PrepareOnServer();
        }
        m_result = m_connection.RunPrepared(m_name, m_params, m_strShown);
        m_row = -1;
    }
    if (++m_row < PQntuples(m_result.get()))
        return true;
    m_result.reset(); // the next Step runs the statement again
    m_row = -1;
    return false;
}

CSqlValue CPgStatement::GetValue(int column) const
{
    CSqlValue value;
    ReadValue(column, value);
    return value;
}

void CPgStatement::ReadValue(int column, CSqlValue& into) const
{
    if (!m_result || m_row < 0 || m_row >= PQntuples(m_result.get()) || column < 0 ||
        column >= PQnfields(m_result.get())) {
        into.SetNull();
        return;
    }
    ReadPgValue(m_result.get(), m_row, column, into);
}

void CPgStatement::Reset() noexcept
{
    m_result.reset();
    m_row = -1;
}
