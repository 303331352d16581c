// How the library compares sample identifiers, in one place: the lookup by
// identifier, the check before a sample is stored and the unique index of the
// Samples table must agree, or the check would pass what the index refuses.
// Identifiers compare without regard to ASCII letter case (the engine's
// standard NOCASE collation); other letters compare exactly.
#pragma once

#include "framework/CString.h"
#include "framework/Exceptions.h"
#include "framework/sql/SqlText.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace zendb_ident {

// Name of the unique index on Samples.UserSampleID. Empty identifiers are
// left out of it, so any number of samples may have none.
constexpr const char* kIndexName = "UX_Samples_UserSampleID";

// The statement that creates the index. A standard collation on purpose: an
// index on a collation of our own would make the file unwritable for every
// program that does not register it (the engine's own shell among them).
constexpr const char* kCreateIndexSql =
    "CREATE UNIQUE INDEX UX_Samples_UserSampleID ON Samples ([UserSampleID] COLLATE NOCASE) "
    "WHERE [UserSampleID] <> '' AND [UserSampleID] IS NOT NULL";

// "[UserSampleID] = '<id>' COLLATE NOCASE", appended to sql (MatchCondition:
// the text alone): the condition that finds the samples with that
// identifier, by the index's comparison (the text is quoted, so any character
// may stand in it). For an identifier that is not empty the
// condition also names the index's own restriction, "[UserSampleID] <> ''":
// the engine searches a partial index only when the statement states its
// WHERE term itself, and without it every lookup reads the whole table. The
// empty text stands in parentheses so that it stays a literal when the
// statement cache turns the statement's values into parameters (a parameter
// would no longer match the index's term); the parentheses change nothing
// else. The added term selects no other rows: an identifier equal to a
// non-empty text is never empty.
inline void AppendMatchCondition(std::string& sql, const CString& userSampleID)
{
    // The identifier's characters up to a NUL, as a %s would take them, each
    // quote doubled.
    const char* id = userSampleID.GetString();
    sql.reserve(sql.size() + 2 * std::strlen(id) + 64);
    sql += "[UserSampleID] = '";
    for (const char* p = id; *p != '\0'; ++p) {
        if (*p == '\'')
            sql += '\'';
        sql += *p;
    }
    sql += "' COLLATE NOCASE";
    if (!userSampleID.IsEmpty())
        sql += " AND [UserSampleID] <> ('')";
}

inline CString MatchCondition(const CString& userSampleID)
{
    std::string condition;
    AppendMatchCondition(condition, userSampleID);
    return CString(condition);
}

// True when the engine refused a write because a constraint failed. On the
// Samples table the only such constraint is the unique identifier index.
inline bool IsConstraintViolation(const CDBException& e)
{
    return e.m_strStateNativeOrigin.Find("State:23000") == 0;
}

} // namespace zendb_ident
