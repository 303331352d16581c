// What the driver interface does for an engine whose driver does not say
// otherwise: refuses, with a text naming what was asked.
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

std::vector<CString> CSqlConnection::ListTables()
{
    ThrowSqlLayerError(AFX_SQL_ERROR_ROW_UPDATE_NOT_SUPPORTED,
                       "Listing the tables is not supported by this database engine.");
}
