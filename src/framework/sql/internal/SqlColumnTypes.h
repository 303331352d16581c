// ODBC type, precision and scale of a column from its declared type name
// ("VARCHAR(255)", "INTEGER", "DOUBLE", "BIT", "DATETIME", "BLOB", ...).
#pragma once

#include "framework/sql/FieldInfo.h"

#include <string_view>

// Fills m_nSQLType, m_nPrecision and m_nScale of info. Returns false (info
// untouched) for an empty declared type. Unknown names are classed by the
// engine's own rules: ...INT... integer, ...CHAR/CLOB/TEXT... text,
// BLOB binary, REAL/FLOA/DOUB floating point, anything else numeric.
bool DescribeDeclaredType(std::string_view declared, CODBCFieldInfo& info);

// The number of characters a text column holds by its declaration
// ("VARCHAR(50)", "TEXT(255)", "CHAR(4)", "NVARCHAR(20)"), or -1 when the
// declaration sets no limit (a long text such as LONGTEXT or MEMO, a text
// type without a length, or a column that is not text).
int DeclaredTextLength(std::string_view declared);

// Precision reported for long text and long binary columns.
constexpr UDWORD LongColumnPrecision = 1073741823;
