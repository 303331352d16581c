// The table of failed logins per user name: how many tries of a name failed
// since its last successful login, and when the last one failed. Outside the
// versioned schema: files that lack it get it when they are opened at the
// current version, and software that does not know it simply ignores it.
#pragma once

namespace zendb_logins {

// UserName: the name's stored (encoded) form, as in Table1.Field0.
// LastFailure: seconds since 1970-01-01 00:00 UTC.
constexpr const char* kCreateTableSql =
    "CREATE TABLE IF NOT EXISTS LoginFailures ([UserName] VARCHAR(255) NOT NULL PRIMARY KEY, "
    "[Failures] INTEGER NOT NULL, [LastFailure] BIGINT NOT NULL)";

} // namespace zendb_logins
