// Building the CDBException of the SQL layer: the reason, then the statement
// on a line of its own, so that a message box shows both.
#pragma once

#include "framework/CString.h"
#include "framework/Exceptions.h"
#include "framework/sql/internal/SqlValue.h"

// retCode: SQL_ERROR for engine failures, AFX_SQL_ERROR_* for misuse found by
// the layer; state: the "State:..,Native:..,Origin:.." text.
CDBException MakeSqlException(int retCode, const CString& reason, const CString& sql,
                              const CString& state = CString());

[[noreturn]] void ThrowSqlLayerError(int retCode, const CString& reason, const CString& sql = CString());

// Throws CDBException when value is a text holding a NUL byte (the engines
// store it whole but compare texts only up to it); what names the target.
void RefuseNulInText(const CSqlValue& value, const CString& what, const CString& shown);

// Throws CDBException when value is a text of more characters (UTF-8) than
// the column's declared type allows (VARCHAR(n), TEXT(n), CHAR(n)); a type
// without a length (empty, long texts) allows any. what names the target.
void RefuseTextLongerThanColumn(const CSqlValue& value, const std::string& declared, const CString& what,
                                const CString& shown);

// True when RefuseTextLongerThanColumn and RefuseNulInText would let value
// pass: a row write asks this first and names the column only for a refusal.
bool TextFitsColumn(const CSqlValue& value, const std::string& declared);
// The same with the declared length worked out already (DeclaredTextLength;
// -1 for a column without one).
bool TextFitsColumn(const CSqlValue& value, int declaredLength);

// engineText followed by what a lock held past the wait means: ": another
// connection kept the database locked for longer than the wait of <n> ms".
// Every engine says a lock wait so (state HYT00).
CString LockWaitReason(const CString& engineText, int busyTimeoutMs);
