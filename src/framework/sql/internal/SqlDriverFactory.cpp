// Connection strings and the choice of engine: the one place that knows which
// engines exist.
#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/MdbConnection.h"
#include "framework/sql/internal/PgConnection.h"
#include "framework/sql/internal/SqlConnection.h"
#include "framework/sql/internal/SqlErrors.h"
#include "framework/sql/internal/SqliteConnection.h"

#include <cstring>
#include <string>

namespace {

// The connection string is left out of the text: it may hold a password.
[[noreturn]] void ThrowConnectError(const CString& reason, const CString& /*connect*/)
{
    throw MakeSqlException(AFX_SQL_ERROR_CONNECT_FAIL, reason, CString(), "State:08001,Native:0,Origin:SQL layer");
}

bool StartsWithNoCase(const CString& text, const char* prefix)
{
    return text.Left(static_cast<int>(std::strlen(prefix))).CompareNoCase(prefix) == 0;
}

// The keywords of a libpq connection string that the ODBC-style string may
// carry (some under their ODBC names) and that alone mark a keyword string.
const char* const kPgKeywords[] = {"host", "hostaddr", "port", "dbname", "user", "password", "passfile",
                                   "sslmode", "service", "connect_timeout", "application_name", "options",
                                   "sslrootcert", "sslcert", "sslkey", "target_session_attrs"};

bool IsPgKeyword(const CString& lowerKey)
{
    for (const char* k : kPgKeywords)
        if (lowerKey == k)
            return true;
    return false;
}

// A libpq keyword string: "host=... dbname=..." (blank-separated, no ';').
bool IsPgKeywordString(const CString& text)
{
    if (text.Find(';') >= 0)
        return false;
    const int eq = text.Find('=');
    if (eq <= 0)
        return false;
    CString key = text.Left(eq);
    key.Trim();
    key.MakeLower();
    return IsPgKeyword(key);
}

// value as a libpq keyword value: in single quotes, with ' and \ escaped.
CString PgKeywordValue(const CString& value)
{
    std::string out = "'";
    for (const char c : value.Str()) {
        if (c == '\\' || c == '\'')
            out += '\\';
        out += c;
    }
    return CString(out + "'");
}

} // namespace

CSqlConnectParams ParseConnectString(const CString& connect)
{
    CSqlConnectParams params;
    CString text = connect;
    text.Trim();
    if (StartsWithNoCase(text, "postgresql://") || StartsWithNoCase(text, "postgres://")) {
        params.engine = CSqlConnectParams::Engine::PostgreSql;
        params.uri = text;
        return params;
    }
    if (IsPgKeywordString(text)) {
        params.engine = CSqlConnectParams::Engine::PostgreSql;
        params.uri = text;
        return params;
    }
    if (StartsWithNoCase(text, "ODBC;"))
        text = text.Mid(5);

    CString engine;
    CString pgKeywords;
    CString pgConninfo;
    bool haveDbq = false;
    int i = 0;
    const int n = text.GetLength();
    while (i < n) {
        const int eq = text.Find('=', i);
        if (eq < 0)
            break;
        CString key = text.Mid(i, eq - i);
        key.Trim();
        key.MakeUpper();
        int j = eq + 1;
        while (j < n && (text[j] == ' ' || text[j] == '\t'))
            ++j;
        CString value;
        if (j < n && text[j] == '{') {
            // Braced: taken as it stands up to the '}' that is not doubled;
            // "}}" inside stands for '}' (see FormatConnectStringValue).
            std::string braced;
            int k = j + 1;
            while (k < n) {
                if (text[k] == '}') {
                    if (k + 1 < n && text[k + 1] == '}') {
                        braced += '}';
                        k += 2;
                        continue;
                    }
                    ++k;
                    break;
                }
                braced += text[k++];
            }
            value = CString(braced);
            const int semi = text.Find(';', k);
            i = semi < 0 ? n : semi + 1;
        } else {
            const int semi = text.Find(';', j);
            value = semi < 0 ? text.Mid(j) : text.Mid(j, semi - j);
            value.Trim();
            i = semi < 0 ? n : semi + 1;
        }
        if (key == "DBQ") {
            // A second file name can only come from a value that was not
            // braced: refuse it rather than open either file.
            if (haveDbq)
                ThrowConnectError("The connection string names the database file more than once (DBQ=); a file name "
                                  "holding ';' must be put in braces.",
                                  connect);
            haveDbq = true;
            params.path = value;
        } else if (key == "ENGINE") {
            engine = value;
            engine.MakeUpper();
        } else if (key == "READONLY") {
            CString v = value;
            v.MakeUpper();
            params.readOnly = v == "1" || v == "TRUE" || v == "YES";
        } else if (key == "DRIVER") {
            // Driver={PostgreSQL ...} names the server engine, Driver=Access
            // (or ENGINE=ACCESS) the read-only reader of legacy Access files;
            // any other driver name is the desktop-database file driver
            // (SQLite here: the station's own "Microsoft Access Driver"
            // strings name SQLite files).
            CString driver = value;
            driver.MakeUpper();
            driver.Trim();
            if (driver.Find("POSTGRES") >= 0 && engine.IsEmpty())
                engine = "POSTGRESQL";
            else if (driver == "ACCESS" && engine.IsEmpty())
                engine = "ACCESS";
        } else if (key == "URI" || key == "CONNINFO") {
            pgConninfo = value; // a whole URI or keyword string
        } else {
            static const char* const from[] = {"SERVER", "DATABASE", "UID", "PWD"};
            static const char* const to[] = {"HOST", "DBNAME", "USER", "PASSWORD"};
            for (int k = 0; k < 4; ++k)
                if (key == from[k])
                    key = to[k];
            key.MakeLower();
            if (IsPgKeyword(key))
                pgKeywords += (pgKeywords.IsEmpty() ? "" : " ") + key + "=" + PgKeywordValue(value);
        }
    }
    if (engine.IsEmpty() || engine == "SQLITE" || engine == "ACCESS") {
        if (params.path.IsEmpty())
            ThrowConnectError("The connection string names no database file (DBQ=<file>).", connect);
        // Only when asked for: a station opening a legacy Access file as its
        // database gets the SQLite driver's refusal, which says to convert it.
        params.engine = engine == "ACCESS" ? CSqlConnectParams::Engine::Access : CSqlConnectParams::Engine::Sqlite;
    } else if (engine == "POSTGRES" || engine == "POSTGRESQL" || engine == "PG") {
        params.engine = CSqlConnectParams::Engine::PostgreSql;
        if (!pgConninfo.IsEmpty())
            params.uri = pgKeywords.IsEmpty() || pgConninfo.Find("://") >= 0 ? pgConninfo
                                                                              : pgConninfo + " " + pgKeywords;
        else
            params.uri = pgKeywords;
        if (params.uri.IsEmpty())
            ThrowConnectError("The connection string names no PostgreSQL database (Server=, Database=, ...).",
                              connect);
    } else {
        ThrowConnectError(CString("Unknown database engine '") + engine + "' in the connection string.", connect);
    }
    return params;
}

std::unique_ptr<CSqlConnection> OpenSqlConnection(const CSqlConnectParams& params, int busyTimeoutMs)
{
    switch (params.engine) {
    case CSqlConnectParams::Engine::Sqlite:
        return CSqliteConnection::Open(params.path, params.readOnly, busyTimeoutMs);
    case CSqlConnectParams::Engine::PostgreSql:
        return CPgConnection::Open(params.uri, params.readOnly, busyTimeoutMs);
    case CSqlConnectParams::Engine::Access:
        return CMdbConnection::Open(params.path);
    case CSqlConnectParams::Engine::None:
        break;
    }
    ThrowConnectError("The connection string names no database.", CString());
}

void CreateSqlDatabase(const CSqlConnectParams& params)
{
    if (params.engine != CSqlConnectParams::Engine::Sqlite)
        ThrowConnectError("Only SQLite database files can be created here.", params.uri);
    CSqliteConnection::Create(params.path);
}
