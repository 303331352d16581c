// What the driver interface does for an engine whose driver does not say
// otherwise: refuses, with a text naming what was asked; and the statement
// texts the writing drivers build alike.
#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/SqlConnection.h"
#include "framework/sql/internal/SqlErrors.h"

void CSqlConnection::MoveAutoNumberPast(const CString& table, const CString& column, int64_t maxKey)
{
    CString reason;
    reason.Format("Moving the auto-number of column %s of table %s past %lld is not supported by this database "
                  "engine.",
                  column.GetString(), table.GetString(), static_cast<long long>(maxKey));
    ThrowSqlLayerError(AFX_SQL_ERROR_ROW_UPDATE_NOT_SUPPORTED, reason);
}

int CSqlConnection::ExecuteWithValues(const CString& /*engineSql*/, const CString& shown,
                                      const std::vector<CSqlValue>& /*values*/)
{
    ThrowSqlLayerError(AFX_SQL_ERROR_ROW_UPDATE_NOT_SUPPORTED,
                       "Statements with parameter values are not supported by this database engine.", shown);
}

bool CSqlConnection::ParameteriseForReuse(const CString& /*engineSql*/, CParameterisedSql& /*out*/)
{
    return false;
}

std::unique_ptr<CSqlStatement> CSqlConnection::PrepareParameterised(const std::string& /*text*/,
                                                                    const std::vector<CSqlValue>& /*values*/,
                                                                    const CString& shown)
{
    ThrowSqlLayerError(SQL_ERROR, "Statements with parameter values are not supported by this database engine.",
                       shown);
}

std::vector<CString> CSqlConnection::ListTables()
{
    ThrowSqlLayerError(AFX_SQL_ERROR_ROW_UPDATE_NOT_SUPPORTED,
                       "Listing the tables is not supported by this database engine.");
}

CString CSqlConnection::QuoteName(const CString& name)
{
    CString out = name;
    out.Replace("\"", "\"\"");
    return CString("\"") + out + "\"";
}

CString CSqlConnection::InsertRowText(const CString& table, const std::vector<CString>& columns) const
{
    CString text = CString("INSERT INTO ") + QuoteName(table);
    if (columns.empty())
        return text + " DEFAULT VALUES";
    CString names;
    CString markers;
    for (size_t i = 0; i < columns.size(); ++i) {
        names += (i ? ", " : "") + QuoteName(columns[i]);
        markers += (i ? ", " : "") + GetParameterMarker(static_cast<int>(i + 1));
    }
    return text + " (" + names + ") VALUES (" + markers + ")";
}
