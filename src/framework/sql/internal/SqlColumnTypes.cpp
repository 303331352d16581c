// Declared column type -> ODBC type code, precision and scale.
#include "framework/sql/internal/SqlColumnTypes.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace {

struct CTypeRow {
    const char* name;
    SWORD type;
    UDWORD precision; // 0: the declared length (or the default below)
    UDWORD defaultLength;
};

// Exact names first (after upper-casing, without the length part).
const CTypeRow kTypes[] = {
    {"VARCHAR", SQL_VARCHAR, 0, 255},         {"NVARCHAR", SQL_VARCHAR, 0, 255},
    {"VARCHAR2", SQL_VARCHAR, 0, 255},        {"CHARACTER VARYING", SQL_VARCHAR, 0, 255},
    {"TEXT", SQL_VARCHAR, 0, 255},            {"CHAR", SQL_CHAR, 0, 1},
    {"CHARACTER", SQL_CHAR, 0, 1},            {"NCHAR", SQL_CHAR, 0, 1},
    {"LONGTEXT", SQL_LONGVARCHAR, LongColumnPrecision, 0},
    {"MEMO", SQL_LONGVARCHAR, LongColumnPrecision, 0},
    {"LONGCHAR", SQL_LONGVARCHAR, LongColumnPrecision, 0},
    {"CLOB", SQL_LONGVARCHAR, LongColumnPrecision, 0},
    {"INTEGER", SQL_INTEGER, 10, 0},          {"INT", SQL_INTEGER, 10, 0},
    {"INT4", SQL_INTEGER, 10, 0},             {"LONG", SQL_INTEGER, 10, 0},
    {"COUNTER", SQL_INTEGER, 10, 0},          {"AUTOINCREMENT", SQL_INTEGER, 10, 0},
    {"SERIAL", SQL_INTEGER, 10, 0},           {"MEDIUMINT", SQL_INTEGER, 10, 0},
    {"SMALLINT", SQL_SMALLINT, 5, 0},         {"SHORT", SQL_SMALLINT, 5, 0},
    {"INT2", SQL_SMALLINT, 5, 0},             {"TINYINT", SQL_TINYINT, 3, 0},
    {"BYTE", SQL_TINYINT, 3, 0},              {"BIGINT", SQL_BIGINT, 19, 0},
    {"INT8", SQL_BIGINT, 19, 0},              {"BIT", SQL_BIT, 1, 0},
    {"BOOLEAN", SQL_BIT, 1, 0},               {"BOOL", SQL_BIT, 1, 0},
    {"YESNO", SQL_BIT, 1, 0},                 {"LOGICAL", SQL_BIT, 1, 0},
    {"DOUBLE", SQL_DOUBLE, 15, 0},            {"DOUBLE PRECISION", SQL_DOUBLE, 15, 0},
    {"FLOAT", SQL_DOUBLE, 15, 0},             {"FLOAT8", SQL_DOUBLE, 15, 0},
    {"NUMBER", SQL_DOUBLE, 15, 0},            {"REAL", SQL_REAL, 7, 0},
    {"SINGLE", SQL_REAL, 7, 0},               {"FLOAT4", SQL_REAL, 7, 0},
    {"DATETIME", SQL_TYPE_TIMESTAMP, 19, 0},  {"TIMESTAMP", SQL_TYPE_TIMESTAMP, 19, 0},
    {"DATE", SQL_TYPE_TIMESTAMP, 19, 0},      {"TIME", SQL_TYPE_TIMESTAMP, 19, 0},
    {"BLOB", SQL_LONGVARBINARY, LongColumnPrecision, 0},
    {"IMAGE", SQL_LONGVARBINARY, LongColumnPrecision, 0},
    {"LONGBINARY", SQL_LONGVARBINARY, LongColumnPrecision, 0},
    {"OLEOBJECT", SQL_LONGVARBINARY, LongColumnPrecision, 0},
    {"GENERAL", SQL_LONGVARBINARY, LongColumnPrecision, 0},
    {"BYTEA", SQL_LONGVARBINARY, LongColumnPrecision, 0},
    {"LONGVARBINARY", SQL_LONGVARBINARY, LongColumnPrecision, 0},
    {"VARBINARY", SQL_VARBINARY, 0, 255},     {"BINARY", SQL_BINARY, 0, 255},
    {"NUMERIC", SQL_NUMERIC, 0, 18},          {"DECIMAL", SQL_DECIMAL, 0, 18},
    {"CURRENCY", SQL_NUMERIC, 19, 0},         {"MONEY", SQL_NUMERIC, 19, 0},
};

} // namespace

bool DescribeDeclaredType(std::string_view declared, CODBCFieldInfo& info)
{
    std::string upper;
    for (char c : declared)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // Split "NAME(a, b)" into the name and its numbers.
    long args[2] = {-1, -1};
    const size_t open = upper.find('(');
    std::string name = upper.substr(0, open);
    if (open != std::string::npos) {
        const char* p = upper.c_str() + open + 1;
        char* end = nullptr;
        args[0] = std::strtol(p, &end, 10);
        if (end == p)
            args[0] = -1;
        else if (*end == ',')
            args[1] = std::strtol(end + 1, nullptr, 10);
    }
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.pop_back();
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front())))
        name.erase(name.begin());
    if (name.empty())
        return false;

    for (const CTypeRow& row : kTypes) {
        if (name != row.name)
            continue;
        info.m_nSQLType = row.type;
        info.m_nScale = 0;
        if (row.precision != 0)
            info.m_nPrecision = row.precision;
        else
            info.m_nPrecision = args[0] > 0 ? static_cast<UDWORD>(args[0]) : row.defaultLength;
        if ((row.type == SQL_NUMERIC || row.type == SQL_DECIMAL))
            info.m_nScale = static_cast<SWORD>(row.precision == 19 ? 4 : (args[1] > 0 ? args[1] : 0));
        return true;
    }
    // The engine's own affinity rules for any other name.
    auto has = [&](const char* part) { return name.find(part) != std::string::npos; };
    info.m_nScale = 0;
    if (has("INT")) {
        info.m_nSQLType = SQL_INTEGER;
        info.m_nPrecision = 10;
    } else if (has("CHAR") || has("CLOB") || has("TEXT")) {
        info.m_nSQLType = SQL_VARCHAR;
        info.m_nPrecision = args[0] > 0 ? static_cast<UDWORD>(args[0]) : 255;
    } else if (has("BLOB")) {
        info.m_nSQLType = SQL_LONGVARBINARY;
        info.m_nPrecision = LongColumnPrecision;
    } else if (has("REAL") || has("FLOA") || has("DOUB")) {
        info.m_nSQLType = SQL_DOUBLE;
        info.m_nPrecision = 15;
    } else {
        info.m_nSQLType = SQL_NUMERIC;
        info.m_nPrecision = args[0] > 0 ? static_cast<UDWORD>(args[0]) : 18;
        info.m_nScale = static_cast<SWORD>(args[1] > 0 ? args[1] : 0);
    }
    return true;
}

int DeclaredTextLength(std::string_view declared)
{
    const size_t open = declared.find('(');
    if (open == std::string_view::npos)
        return -1;
    const std::string numbers(declared.substr(open + 1));
    char* end = nullptr;
    const long length = std::strtol(numbers.c_str(), &end, 10);
    if (end == numbers.c_str() || length <= 0 || length >= static_cast<long>(LongColumnPrecision))
        return -1;
    CODBCFieldInfo info;
    if (!DescribeDeclaredType(declared, info) || (info.m_nSQLType != SQL_VARCHAR && info.m_nSQLType != SQL_CHAR))
        return -1;
    return static_cast<int>(length);
}
