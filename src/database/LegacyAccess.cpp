// Legacy Access files read through the SQL layer's read-only Access driver
// (see LegacyAccess.h): the connection string names the driver, so even a
// file that is no Access file is never opened as another engine's.
#include "database/LegacyAccess.h"

#include "framework/Exceptions.h"
#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/MdbFile.h"
#include "framework/sql/internal/SqlConnection.h"
#include "framework/sql/internal/SqlStatement.h"

#include <memory>

namespace {

void OpenAccess(CDatabase& db, const char* path)
{
    db.OpenEx(CString("Driver=Access;Dbq=") + FormatConnectStringValue(path != nullptr ? path : "") + ";",
              CDatabase::openReadOnly | CDatabase::noOdbcDialog);
}

CString TypeName(const CODBCFieldInfo& info)
{
    CString name;
    switch (info.m_nSQLType) {
    case SQL_BIT:
        return "yes/no";
    case SQL_TINYINT:
        return "byte";
    case SQL_SMALLINT:
        return "integer";
    case SQL_INTEGER:
        return "long integer";
    case SQL_REAL:
        return "single";
    case SQL_DOUBLE:
        return "double";
    case SQL_NUMERIC:
        if (info.m_nPrecision == 19 && info.m_nScale == 4)
            return "currency";
        name.Format("decimal(%u,%d)", static_cast<unsigned>(info.m_nPrecision), info.m_nScale);
        return name;
    case SQL_TIMESTAMP:
        return "date";
    case SQL_VARCHAR:
        name.Format("text(%u)", static_cast<unsigned>(info.m_nPrecision));
        return name;
    case SQL_LONGVARCHAR:
        return "memo";
    case SQL_VARBINARY:
        return "binary";
    case SQL_LONGVARBINARY:
        return "ole object";
    default:
        return "other";
    }
}

} // namespace

bool ZenIsAccessFile(const char* path) { return MdbIsAccessFile(path); }

std::vector<CString> ZenAccessTables(const char* path)
{
    CDatabase db;
    OpenAccess(db, path);
    return db.GetSqlConnection()->ListTables();
}

CAccessTable ZenReadAccessTable(const char* path, const char* table)
{
    CDatabase db;
    OpenAccess(db, path);
    CSqlConnection* connection = db.GetSqlConnection();
    // The file's own spelling of the name, and a clear refusal of an unknown one.
    CString name;
    for (const CString& existing : connection->ListTables())
        if (existing.CompareNoCase(table != nullptr ? table : "") == 0)
            name = existing;
    if (name.IsEmpty())
        AfxThrowDBException(CString("The Access file ") + path + " has no table " + table + ".");
    const CString sql = CString("SELECT * FROM \"") + name + "\"";
    std::unique_ptr<CSqlStatement> statement = connection->Prepare(sql, sql);
    CAccessTable result;
    result.Name = name;
    const int count = statement->GetColumnCount();
    std::vector<SWORD> types;
    for (int c = 0; c < count; ++c) {
        const CODBCFieldInfo info = statement->DescribeColumn(c);
        result.Columns.push_back({info.m_strName, TypeName(info)});
        types.push_back(info.m_nSQLType);
    }
    while (statement->Step()) {
        std::vector<CAccessValue> row(static_cast<size_t>(count));
        for (int c = 0; c < count; ++c) {
            const CSqlValue value = statement->GetValue(c);
            CAccessValue& out = row[static_cast<size_t>(c)];
            switch (value.GetType()) {
            case CSqlValue::Type::Null:
                break;
            case CSqlValue::Type::Integer:
                out.Kind = CAccessValue::EKind::Integer;
                out.Integer = value.GetInteger();
                break;
            case CSqlValue::Type::Real:
                out.Kind = CAccessValue::EKind::Real;
                out.Real = value.GetReal();
                break;
            case CSqlValue::Type::Text:
                out.Kind = types[static_cast<size_t>(c)] == SQL_TIMESTAMP ? CAccessValue::EKind::Date
                                                                          : CAccessValue::EKind::Text;
                out.Text = CString(value.GetText());
                break;
            case CSqlValue::Type::Blob:
                out.Kind = CAccessValue::EKind::Binary;
                out.Bytes = value.GetBlob();
                break;
            }
        }
        result.Rows.push_back(std::move(row));
    }
    return result;
}
