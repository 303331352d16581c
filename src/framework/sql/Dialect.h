// Translation of the SQL text that the library composes (the desktop-database
// dialect: [bracketed] names, # m / d / yyyy # dates, CDATE('...'), TRUE and
// FALSE, SELECT TOP n, ALTER TABLE ... ADD name IMAGE) into the dialect of the
// engine behind the connection. A pure function: text in, text out.
#pragma once

#include "framework/CString.h"

enum class SqlDialect {
    Sqlite,
    PostgreSql,
};

// Translates one statement; only what the engine would not understand is
// changed, everything inside string literals and comments stays as written.
//
// Rules (both engines unless noted):
// - [Name] -> "Name" (a quoted identifier).
// - # m / d / yyyy # (blanks optional, also # m / d /yyyy #, two-digit years
//   00-29 -> 20xx, 30-99 -> 19xx, an optional time h:mm[:ss] [AM|PM]) and
//   # yyyy-mm-dd [time] #, and CDATE('<such a date or yyyy-mm-dd hh:mm:ss>')
//   -> 'YYYY-MM-DD HH:MM:SS', the text form in which date columns are stored.
// - TRUE / FALSE -> 1 / 0 (flags are stored as integers 0 and 1).
// - SELECT [DISTINCT] TOP n ... ORDER BY keys: the rows whose rank in that
//   order is at most n, ties with the n-th row included (rows with a NULL
//   key tie with one another, at the end where the engine sorts NULLs).
//   With one key that is a column name (optionally qualified, ASC or DESC)
//   and no DISTINCT, GROUP BY or HAVING, a form that an index on the key
//   answers without reading the whole table (with L = the first n keys,
//   SELECT k AS __zen_key FROM ... [WHERE w] ORDER BY k [DESC] LIMIT n):
//   SELECT ..., k AS __zen_key FROM ... WHERE [(w) AND] k >= (SELECT
//   MIN(__zen_key) FROM (L)) UNION ALL SELECT ..., k AS __zen_key FROM ...
//   WHERE [(w) AND] k IS NULL AND EXISTS (SELECT 1 FROM (L) WHERE __zen_key
//   IS NULL) ORDER BY __zen_key DESC (ascending: <= and MAX, no DESC).
//   Otherwise: SELECT * FROM (SELECT ..., RANK() OVER (ORDER BY keys) AS
//   __zen_rank FROM ... WHERE ...) WHERE __zen_rank <= n ORDER BY __zen_rank.
//   Both add a result column, so such a TOP cannot stand in IN (...).
//   The keys must name columns of the FROM tables (not select-list aliases
//   or positions). Without ORDER BY: the first n rows (... LIMIT n).
//   TOP n PERCENT is refused.
// - Column types of CREATE TABLE and ALTER TABLE ... ADD [COLUMN]:
//   COUNTER / AUTOINCREMENT -> INTEGER PRIMARY KEY AUTOINCREMENT (Sqlite; a
//   PRIMARY KEY of the same column is then dropped), IMAGE / LONGBINARY /
//   OLEOBJECT / GENERAL -> BLOB, LONG -> INTEGER, SHORT -> SMALLINT,
//   BYTE -> TINYINT, SINGLE -> REAL, YESNO / LOGICAL -> BIT,
//   MEMO / LONGCHAR -> LONGTEXT, CURRENCY -> NUMERIC(19,4); other types stay.
// - A trailing ';' (and blanks around it) is removed.
// - Result columns whose names begin with "__zen_" are internal to the SQL
//   layer: recordsets neither count nor show them.
// Double-quoted text is an identifier (as in standard SQL), not a string.
// Throws CDBException (the statement attached) for a date literal that names
// no valid date and for TOP n PERCENT.
CString TranslateSql(const CString& sql, SqlDialect dialect);
