// The CDBException of the SQL layer.
#include "framework/sql/internal/SqlErrors.h"

CDBException MakeSqlException(int retCode, const CString& reason, const CString& sql, const CString& state)
{
    CString text = reason;
    if (!sql.IsEmpty())
        text += CString("\nStatement: ") + sql;
    CDBException e(text, retCode, sql);
    e.m_strStateNativeOrigin = state.IsEmpty() ? CString("State:HY000,Native:0,Origin:SQL layer") : state;
    return e;
}

void ThrowSqlLayerError(int retCode, const CString& reason, const CString& sql)
{
    throw MakeSqlException(retCode, reason, sql);
}
