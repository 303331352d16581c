// Dialect translation of a statement that is already split into tokens (the
// recordset builds its statement from tokens and saves a second split).
#pragma once

#include "framework/CString.h"
#include "framework/sql/Dialect.h"
#include "framework/sql/internal/SqlTokens.h"

// The same as TranslateSql(JoinSqlTokens(tokens), dialect), for tokens that
// TokenizeSql would give for that text; sql is the statement named in errors.
CString TranslateSqlTokens(CSqlTokens tokens, SqlDialect dialect, const CString& sql);
