// Connection strings and the choice of engine: the one place that knows which
// engines exist.
#include "framework/sql/FieldInfo.h"
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
    if (StartsWithNoCase(text, "ODBC;"))
        text = text.Mid(5);

    CString engine;
    CString pgKeywords;
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
        } else if (key == "HOST" || key == "SERVER" || key == "PORT" || key == "DBNAME" || key == "DATABASE" ||
                   key == "USER" || key == "UID" || key == "PASSWORD" || key == "PWD" || key == "SSLMODE") {
            static const char* const from[] = {"SERVER", "DATABASE", "UID", "PWD"};
            static const char* const to[] = {"HOST", "DBNAME", "USER", "PASSWORD"};
            for (int k = 0; k < 4; ++k)
                if (key == from[k])
                    key = to[k];
            key.MakeLower();
            pgKeywords += (pgKeywords.IsEmpty() ? "" : " ") + key + "='" + value + "'";
        }
    }
    if (engine.IsEmpty() || engine == "SQLITE") {
        if (params.path.IsEmpty())
            ThrowConnectError("The connection string names no database file (DBQ=<file>).", connect);
        params.engine = CSqlConnectParams::Engine::Sqlite;
    } else if (engine == "POSTGRES" || engine == "POSTGRESQL" || engine == "PG") {
        params.engine = CSqlConnectParams::Engine::PostgreSql;
        params.uri = pgKeywords;
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
        ThrowConnectError("The PostgreSQL engine is not available in this build.", params.uri);
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
