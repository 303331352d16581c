// The copy of a station database between engines and its checksum (see
// StationCopy.h). Rows travel as the driver's values (CSqlValue), read by one
// statement per table and written by the driver's prepared row insert, so
// nothing is converted on the way (except from a legacy Access file, whose
// flags, dates, texts and OLE objects are looked at value by value); the
// checksum puts each value into a form that does not depend on how an engine
// stores it.
#include "database/StationCopy.h"

#include "database/ZENDatabase.h"
#include "database/internal/AccessImport.h"
#include "database/internal/SchemaStatements.h"
#include "databaseobjects/AuditTrail.h"
#include "databaseobjects/SampleSignatures.h"
#include "databaseobjects/internal/SampleIdentifier.h"

#include "framework/Exceptions.h"
#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"
#include "framework/sql/Dialect.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/Transaction.h"
#include "framework/sql/internal/MdbFile.h"
#include "framework/sql/internal/SqlConnection.h"
#include "framework/sql/internal/SqlDates.h"
#include "framework/sql/internal/SqlStatement.h"
#include "framework/sql/internal/SqlValue.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <numeric>
#include <string>
#include <system_error>

namespace {

namespace fs = std::filesystem;

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    const size_t n = std::strlen(prefix);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::string TrimmedStd(const char* text)
{
    std::string s = text != nullptr ? text : "";
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool IsUri(const std::string& text)
{
    return StartsWithNoCase(text, "postgresql://") || StartsWithNoCase(text, "postgres://");
}

// "KEY=..." at the start (after an optional "ODBC;"): a key is a letter
// followed by letters, digits, '_' or blanks.
bool LooksLikeKeyValuePairs(std::string text)
{
    if (StartsWithNoCase(text, "ODBC;"))
        text = TrimmedStd(text.c_str() + 5);
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (size_t i = 1; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '=')
            return true;
        if (!std::isalnum(c) && c != '_' && c != ' ')
            return false;
    }
    return false;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// ---------------------------------------------------------------------------
// Canonical form and checksum

enum class EColumnKind { Integer, Flag, Double, Date, Text, Binary, Other };

EColumnKind KindOf(SWORD sqlType)
{
    switch (sqlType) {
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_BIGINT:
    case SQL_TINYINT:
        return EColumnKind::Integer;
    case SQL_BIT:
        return EColumnKind::Flag;
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return EColumnKind::Double;
    case SQL_DATETIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
        return EColumnKind::Date;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
        return EColumnKind::Text;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return EColumnKind::Binary;
    default:
        return EColumnKind::Other;
    }
}

void AppendU64(std::string& out, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void AppendBytes(std::string& out, char tag, const void* data, size_t size)
{
    out += tag;
    AppendU64(out, size);
    out.append(static_cast<const char*>(data), size);
}

void AppendReal(std::string& out, double value)
{
    uint64_t bits = 0;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, sizeof bits);
    out += 'R';
    AppendU64(out, bits);
}

void AppendInteger(std::string& out, EColumnKind kind, int64_t value)
{
    if (kind == EColumnKind::Flag) {
        // Engines keep a flag as 0/1, as -1 for true, or as a boolean.
        out += 'F';
        out += value != 0 ? '\1' : '\0';
    } else if (kind == EColumnKind::Double) {
        AppendReal(out, static_cast<double>(value));
    } else {
        out += 'I';
        AppendU64(out, static_cast<uint64_t>(value));
    }
}

// One value by the kind of its column, so that the same value stored in two
// engines' ways (a whole double as an integer, a flag as a boolean, a date
// as text) has one form; a value that does not fit its column's kind keeps
// a form of its own kind.
void AppendCanonical(std::string& out, EColumnKind kind, const CSqlValue& value)
{
    switch (value.GetType()) {
    case CSqlValue::Type::Null:
        out += 'N';
        return;
    case CSqlValue::Type::Integer:
        AppendInteger(out, kind, value.GetInteger());
        return;
    case CSqlValue::Type::Real: {
        const double d = value.GetReal();
        if ((kind == EColumnKind::Integer || kind == EColumnKind::Flag) && std::isfinite(d) && d == std::trunc(d) &&
            std::fabs(d) < 9.0e18) {
            AppendInteger(out, kind, static_cast<int64_t>(d));
            return;
        }
        AppendReal(out, d);
        return;
    }
    case CSqlValue::Type::Text: {
        const std::string& text = value.GetText();
        const char tag = kind == EColumnKind::Date ? 'D' : kind == EColumnKind::Binary ? 'B' : 'T';
        AppendBytes(out, tag, text.data(), text.size());
        return;
    }
    case CSqlValue::Type::Blob: {
        const std::vector<uint8_t>& bytes = value.GetBlob();
        AppendBytes(out, 'B', bytes.data(), bytes.size());
        return;
    }
    }
}

constexpr size_t kDigestBytes = 16; // crypto_generichash_BYTES_MIN: 128 bits
using CDigest = std::array<unsigned char, kDigestBytes>;

// The checksum of one table, fed row by row.
class CTableHasher {
public:
    // names and kinds of the result columns as read; keyed: rows come in
    // the order of the table's key (otherwise their order does not count).
    CTableHasher(const std::vector<CString>& names, const std::vector<EColumnKind>& kinds, bool keyed)
        : m_kinds(kinds), m_keyed(keyed)
    {
        if (sodium_init() < 0)
            AfxThrowDBException("The checksum library cannot be started.");
        m_order.resize(names.size());
        std::iota(m_order.begin(), m_order.end(), size_t{0});
        std::vector<std::string> lower;
        for (const CString& name : names)
            lower.push_back(Lower(name.Str()));
        std::sort(m_order.begin(), m_order.end(), [&](size_t a, size_t b) { return lower[a] < lower[b]; });
        crypto_generichash_init(&m_state, nullptr, 0, kDigestBytes);
        std::string header;
        for (size_t column : m_order)
            AppendBytes(header, 'C', lower[column].data(), lower[column].size());
        Update(header);
    }

    void AddRow(const std::vector<CSqlValue>& row)
    {
        m_row.clear();
        for (size_t column : m_order)
            AppendCanonical(m_row, m_kinds[column], row[column]);
        ++m_rows;
        if (m_keyed) {
            Update(m_row);
            return;
        }
        CDigest digest{};
        crypto_generichash(digest.data(), digest.size(), reinterpret_cast<const unsigned char*>(m_row.data()),
                           m_row.size(), nullptr, 0);
        m_digests.push_back(digest);
    }

    int64_t Rows() const { return m_rows; }

    CString Finish()
    {
        if (!m_keyed) {
            std::sort(m_digests.begin(), m_digests.end());
            for (const CDigest& digest : m_digests)
                crypto_generichash_update(&m_state, digest.data(), digest.size());
        }
        std::string count;
        AppendU64(count, static_cast<uint64_t>(m_rows));
        Update(count);
        CDigest digest{};
        crypto_generichash_final(&m_state, digest.data(), digest.size());
        static const char* const kHex = "0123456789abcdef";
        std::string hex;
        for (unsigned char byte : digest) {
            hex += kHex[byte >> 4];
            hex += kHex[byte & 0x0F];
        }
        return CString(hex);
    }

private:
    void Update(const std::string& bytes)
    {
        crypto_generichash_update(&m_state, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }

    std::vector<EColumnKind> m_kinds;
    bool m_keyed;
    std::vector<size_t> m_order;
    crypto_generichash_state m_state{};
    std::string m_row;
    std::vector<CDigest> m_digests;
    int64_t m_rows = 0;
};

// ---------------------------------------------------------------------------
// Reading through the driver

CSqlConnection& ConnectionOf(CDatabase& db)
{
    CSqlConnection* connection = db.GetSqlConnection();
    if (connection == nullptr)
        AfxThrowDBException("The database is not open.");
    return *connection;
}

std::unique_ptr<CSqlStatement> PrepareOn(CDatabase& db, const CString& sql)
{
    CSqlConnection& connection = ConnectionOf(db);
    return connection.Prepare(TranslateSql(sql, connection.GetDialect()), sql);
}

// The station table named table (letter case ignored); nullptr for another table.
// Tables beside the versioned schema that hold records of their own: the
// audit trail with its sealed head, the signatures with the revisions. A
// copy carries them when the source has them, so that a station moved to
// another database keeps who did what; the trail's seal holds as long as the
// target's stations use the same station key. Keys as in StationTables
// (SampleRevisions is keyed by the sample, not auto-numbered).
std::vector<zendb_schema::CStationTable> CompanionTables()
{
    return {{"AuditTrail", "EntryID"}, {"AuditTrailHead", ""}, {"SampleSignatures", "SignatureID"},
            {"SampleRevisions", ""}};
}

// The station tables and then the companions.
std::vector<zendb_schema::CStationTable> CopiedTables()
{
    std::vector<zendb_schema::CStationTable> tables = zendb_schema::StationTables();
    for (zendb_schema::CStationTable& companion : CompanionTables())
        tables.push_back(companion);
    return tables;
}

const zendb_schema::CStationTable* FindStationTable(const std::vector<zendb_schema::CStationTable>& tables,
                                                     const char* table)
{
    for (const zendb_schema::CStationTable& station : tables)
        if (station.name.CompareNoCase(table) == 0)
            return &station;
    return nullptr;
}

CString SelectAllSql(const CString& table, const CString& keyColumn)
{
    CString sql = CString("SELECT * FROM [") + table + "]";
    if (!keyColumn.IsEmpty())
        sql += CString(" ORDER BY [") + keyColumn + "]";
    return sql;
}

// A statement's columns (the layer's internal ones left out) and their kinds.
struct CResultColumns {
    std::vector<CString> names;
    std::vector<EColumnKind> kinds;
};

CResultColumns ColumnsOf(const CSqlStatement& statement)
{
    CResultColumns columns;
    const int count = statement.GetColumnCount();
    for (int c = 0; c < count; ++c) {
        const CString name = statement.GetColumnName(c);
        if (name.Left(6).CompareNoCase("__zen_") == 0)
            break; // they stand after the statement's own columns
        columns.names.push_back(name);
        columns.kinds.push_back(KindOf(statement.DescribeColumn(c).m_nSQLType));
    }
    return columns;
}

int64_t CountRows(CDatabase& db, const CString& table)
{
    const CString sql = CString("SELECT COUNT(*) AS N FROM [") + table + "]";
    std::unique_ptr<CSqlStatement> statement = PrepareOn(db, sql);
    if (!statement->Step())
        return 0;
    const CSqlValue value = statement->GetValue(0);
    statement->Reset();
    if (value.GetType() == CSqlValue::Type::Integer)
        return value.GetInteger();
    if (value.GetType() == CSqlValue::Type::Real)
        return static_cast<int64_t>(value.GetReal());
    if (value.GetType() == CSqlValue::Type::Text)
        return std::strtoll(value.GetText().c_str(), nullptr, 10);
    return 0;
}

// ---------------------------------------------------------------------------
// The copy

// Tables that every new database fills (the version row, the registration
// fields and their descriptions): rows there are no data of the target's own.
bool IsSetupTable(const CString& table)
{
    return table.CompareNoCase("SystemTable") == 0 || table.CompareNoCase("Registration") == 0 ||
           table.CompareNoCase("RegistrationDescriptions") == 0;
}

CString ErrorText(const CException& e)
{
    if (const auto* db = dynamic_cast<const CDBException*>(&e))
        return db->m_strError;
    return e.GetMessageText();
}

[[noreturn]] void Fail(const CString& text)
{
    AfxThrowDBException(text);
}

// Removes a database file the copy created, with what the engine may have
// left beside it.
void RemoveCreatedFile(const std::string& path)
{
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        fs::remove(path + suffix, ec);
}

// What a value of an Access source must fit: the kind and declared length
// (in characters; 0 for none) of its target column.
struct CTargetColumn {
    EColumnKind kind = EColumnKind::Other;
    UDWORD length = 0;
};

// Number of UTF-8 characters in text (bytes that begin one).
size_t Utf8Length(const std::string& text)
{
    size_t n = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    return n;
}

// A value as a person reads it in a list of problems.
CString ShownValue(const CSqlValue& value)
{
    switch (value.GetType()) {
    case CSqlValue::Type::Null:
        return "NULL";
    case CSqlValue::Type::Integer:
        return CString(std::to_string(value.GetInteger()));
    case CSqlValue::Type::Real: {
        CString text;
        text.Format("%.17g", value.GetReal());
        return text;
    }
    case CSqlValue::Type::Text: {
        const std::string& text = value.GetText();
        std::string shown;
        size_t characters = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > 40) {
                shown += "...";
                break;
            }
            shown += text[i];
        }
        return CString(shown);
    }
    case CSqlValue::Type::Blob: {
        CString text;
        text.Format("%zu bytes", value.GetBlob().size());
        return text;
    }
    }
    return CString();
}

class CCopy {
public:
    CCopy(const char* source, const char* target, DWORD options, CStationCopyResult& result)
        : m_source(source), m_target(target), m_options(options), m_result(result),
          m_tables(zendb_schema::StationTables())
    {
    }

    void Run();

private:
    void OpenSource();
    void OpenAccessSource();
    bool SourceHasUniqueSampleIDs();
    void OpenTarget();
    // The station tables the target has, with their row counts.
    std::vector<std::pair<CString, int64_t>> ExistingTargetTables();
    void RefuseTargetWithData(const std::vector<std::pair<CString, int64_t>>& tables);
    void CopyTable(const zendb_schema::CStationTable& table);
    // The audit trail and the signatures, each pair when the source has it.
    void CopyCompanionTables();
    // Converts a row of an Access source for the target's columns (see
    // ZenCopyStationDatabase); values that cannot be represented become NULL
    // and are listed, OLE objects are listed.
    void ConvertAccessRow(const CString& table, const CString& key, const std::vector<CString>& columns,
                          const std::vector<CTargetColumn>& target, std::vector<CSqlValue>& row,
                          CStationTableCopy& copy);
    void Upgrade();

    std::string m_source;
    std::string m_target;
    DWORD m_options;
    CStationCopyResult& m_result;
    std::vector<zendb_schema::CStationTable> m_tables;
    bool m_access = false; // the source is a legacy Access file
    CZENDatabase m_src;
    CZENDatabase m_dst; // for the library's upgrade after the copy
    std::unique_ptr<CSqlStatement> m_snapshot; // on m_src: declared after it, so released first
};

void CCopy::OpenSource()
{
    if (m_access) {
        OpenAccessSource();
        return;
    }
    m_src.OpenEx(ZenConnectStringForLocation(m_source.c_str()), CDatabase::openReadOnly | CDatabase::noOdbcDialog);
    int major = 0;
    int minor = 0;
    if (!m_src.GetVersion(major, minor))
        Fail("The source holds no schema version (SystemTable has no row); it is no station database.");
    if (major != 1 || minor < 6 || minor > 9) {
        CString text;
        text.Format("The source has schema version %d.%d; versions 1.6 to 1.9 can be copied.", major, minor);
        Fail(text);
    }
    m_result.SchemaMajor = major;
    m_result.SchemaMinor = minor;
    if (minor == 9)
        m_result.UniqueSampleIDs = SourceHasUniqueSampleIDs();

    // One snapshot of the source for the whole copy: while a statement of
    // the connection stands on a row, the engine keeps the read transaction
    // it began, so every table is read as of the same moment even while
    // stations go on saving (on SQLite; elsewhere each table is one
    // statement's snapshot).
    m_snapshot = PrepareOn(m_src, "SELECT [MajorVersion] FROM SystemTable");
    if (!m_snapshot->Step())
        Fail("The source's version row disappeared while it was being read.");
}

void CCopy::OpenAccessSource()
{
    m_result.FromAccess = true;
    m_src.OpenEx(ZenConnectStringForLocation(m_source.c_str()), CDatabase::openReadOnly | CDatabase::noOdbcDialog);
    const std::vector<CString> tables = ConnectionOf(m_src).ListTables();
    CString missing;
    for (const zendb_schema::CStationTable& station : m_tables)
        if (std::none_of(tables.begin(), tables.end(),
                         [&](const CString& name) { return name.CompareNoCase(station.name) == 0; }))
            missing += (missing.IsEmpty() ? "" : ", ") + station.name;
    if (!missing.IsEmpty()) {
        m_result.SourceTables = tables;
        CString list;
        for (const CString& name : tables)
            list += (list.IsEmpty() ? "" : ", ") + name;
        Fail(CString("The Access file is no station database: it lacks the table(s) ") + missing + ". " +
             (tables.empty() ? CString("It holds no tables.") : CString("Its tables: ") + list + "."));
    }
    std::unique_ptr<CSqlStatement> version = PrepareOn(m_src, "SELECT * FROM [SystemTable]");
    int major = -1;
    int minor = -1;
    if (version->Step()) {
        const CResultColumns columns = ColumnsOf(*version);
        for (size_t c = 0; c < columns.names.size(); ++c) {
            const CSqlValue value = version->GetValue(static_cast<int>(c));
            if (value.GetType() != CSqlValue::Type::Integer)
                continue;
            if (columns.names[c].CompareNoCase("MajorVersion") == 0)
                major = static_cast<int>(value.GetInteger());
            else if (columns.names[c].CompareNoCase("MinorVersion") == 0)
                minor = static_cast<int>(value.GetInteger());
        }
    }
    if (major < 0 || minor < 0)
        Fail("The Access file holds no schema version (SystemTable has no version row); it is no station "
             "database.");
    if (major != 1 || minor < 6 || minor > 9) {
        CString text;
        text.Format("The Access file has schema version %d.%d; versions 1.6 to 1.9 can be imported.", major, minor);
        Fail(text);
    }
    m_result.SchemaMajor = major;
    m_result.SchemaMinor = minor;
    // The unique index of the identifiers comes with the upgrade, when no
    // two samples share one.
    m_result.UniqueSampleIDs = false;
}

bool CCopy::SourceHasUniqueSampleIDs()
{
    try {
        return m_src.HasUniqueSampleIDIndex();
    } catch (const CDBException&) {
        // An engine whose catalogue the question does not reach: the index
        // goes into the target when the identifiers allow it.
    }
    try {
        std::vector<CDuplicateSampleID> groups;
        return m_src.FindDuplicateSampleIDs(groups) && groups.empty();
    } catch (const CDBException&) {
        return false; // zendb upgrade adds it later
    }
}

void CCopy::OpenTarget()
{
    const CString connect = ZenConnectStringForLocation(m_target.c_str());
    if (ZenLocationIsFilePath(m_target.c_str())) {
        std::error_code ec;
        if (fs::symlink_status(m_target, ec).type() == fs::file_type::not_found) {
            CDatabase::CreateDatabase(connect);
            m_result.TargetCreated = true;
        }
    }
    m_dst.OpenEx(connect, CDatabase::noOdbcDialog);
    if (!m_dst.CanUpdate())
        Fail(CString("The target cannot be written: ") + m_dst.GetReadOnlyReason());
}

std::vector<std::pair<CString, int64_t>> CCopy::ExistingTargetTables()
{
    std::vector<std::pair<CString, int64_t>> found;
    for (const zendb_schema::CStationTable& table : m_tables) {
        try {
            found.emplace_back(table.name, CountRows(m_dst, table.name));
        } catch (const CDBException&) {
            // no such table
        }
    }
    return found;
}

void CCopy::RefuseTargetWithData(const std::vector<std::pair<CString, int64_t>>& tables)
{
    CString held;
    for (const auto& [name, rows] : tables) {
        if (rows == 0 || IsSetupTable(name))
            continue;
        CString part;
        part.Format("%s%s: %lld row(s)", held.IsEmpty() ? "" : ", ", name.GetString(), static_cast<long long>(rows));
        held += part;
    }
    if (held.IsEmpty())
        return;
    m_result.TargetHeldData = true;
    if ((m_options & ZENCOPY_Replace) == 0)
        Fail(CString("The target already holds data (") + held +
             "); it is replaced only when asked to. Nothing was copied.");
}

void CCopy::CopyTable(const zendb_schema::CStationTable& table)
{
    CStationTableCopy copy;
    copy.Table = table.name;

    // The target's columns as its engine spells them.
    std::vector<CString> targetNames;
    std::vector<CTargetColumn> targetColumns;
    {
        std::unique_ptr<CSqlStatement> probe = PrepareOn(m_dst, SelectAllSql(table.name, CString()));
        probe->Step();
        const CResultColumns described = ColumnsOf(*probe);
        targetNames = described.names;
        for (size_t c = 0; c < described.names.size(); ++c) {
            const CODBCFieldInfo info = probe->DescribeColumn(static_cast<int>(c));
            CTargetColumn column;
            column.kind = described.kinds[c];
            // Long texts (1073741823) have no limit.
            if ((info.m_nSQLType == SQL_VARCHAR || info.m_nSQLType == SQL_CHAR) && info.m_nPrecision < 1073741823)
                column.length = info.m_nPrecision;
            targetColumns.push_back(column);
        }
        probe->Reset();
    }

    std::unique_ptr<CSqlStatement> read = PrepareOn(m_src, SelectAllSql(table.name, table.keyColumn));
    bool more = read->Step();
    const CResultColumns source = ColumnsOf(*read);

    // Each source column's place in the target, by name without regard to case.
    std::vector<CString> columns;
    for (const CString& name : source.names) {
        auto found = std::find_if(targetNames.begin(), targetNames.end(),
                                  [&](const CString& target) { return target.CompareNoCase(name) == 0; });
        if (found == targetNames.end())
            Fail(CString("Column ") + name + " of table " + table.name +
                 " of the source has no place in the target's schema; the source's tables are not those of "
                 "its version.");
        columns.push_back(*found);
    }
    if (columns.size() != targetNames.size()) {
        for (const CString& target : targetNames)
            if (std::none_of(columns.begin(), columns.end(),
                             [&](const CString& name) { return name.CompareNoCase(target) == 0; }))
                Fail(CString("Column ") + target + " of table " + table.name +
                     " of the target's schema is missing in the source; the source's tables are not those of "
                     "its version.");
    }
    int keyIndex = -1;
    for (size_t c = 0; c < source.names.size() && !table.keyColumn.IsEmpty(); ++c)
        if (source.names[c].CompareNoCase(table.keyColumn) == 0)
            keyIndex = static_cast<int>(c);
    // The target's column of each source column, for the conversion.
    std::vector<CTargetColumn> fits;
    for (const CString& name : columns)
        for (size_t t = 0; t < targetNames.size(); ++t)
            if (targetNames[t] == name)
                fits.push_back(targetColumns[t]);

    CTableHasher hasher(source.names, source.kinds, keyIndex >= 0);
    CSqlConnection& writer = ConnectionOf(m_dst);
    const int count = static_cast<int>(source.names.size());
    std::vector<CSqlValue> row;
    int64_t maxKey = 0;
    for (; more; more = read->Step()) {
        read->ReadRow(count, row);
        ++copy.RowsRead;
        if (m_access) {
            const CString key = keyIndex >= 0 ? ShownValue(row[static_cast<size_t>(keyIndex)])
                                              : CString("#" + std::to_string(copy.RowsRead));
            ConvertAccessRow(table.name, key, columns, fits, row, copy);
        }
        hasher.AddRow(row);
        writer.InsertRow(table.name, columns, row);
        ++copy.RowsWritten;
        if (keyIndex >= 0 && row[static_cast<size_t>(keyIndex)].GetType() == CSqlValue::Type::Integer)
            maxKey = std::max(maxKey, row[static_cast<size_t>(keyIndex)].GetInteger());
    }
    read.reset();
    copy.SourceChecksum = hasher.Finish();
    if (keyIndex >= 0 && maxKey > 0)
        writer.MoveAutoNumberPast(table.name, table.keyColumn, maxKey);
    m_result.Tables.push_back(copy);
}

void CCopy::CopyCompanionTables()
{
    const std::vector<zendb_schema::CStationTable> companions = CompanionTables();
    const auto present = [&](size_t first) {
        return m_src.HasTable(companions[first].name) && m_src.HasTable(companions[first + 1].name);
    };
    if (present(0)) {
        zenaudit::CreateTables(m_dst);
        // The head row comes from the source, sealed as the source sealed it.
        m_dst.ExecuteSQL("DELETE FROM AuditTrailHead");
        CopyTable(companions[0]);
        CopyTable(companions[1]);
    }
    if (present(2)) {
        zensign::CreateTablesWhenMissing(m_dst);
        CopyTable(companions[2]);
        CopyTable(companions[3]);
    }
}

void CCopy::ConvertAccessRow(const CString& table, const CString& key, const std::vector<CString>& columns,
                             const std::vector<CTargetColumn>& target, std::vector<CSqlValue>& row,
                             CStationTableCopy& copy)
{
    for (size_t c = 0; c < row.size(); ++c) {
        CImportTarget fit;
        fit.flag = target[c].kind == EColumnKind::Flag;
        fit.date = target[c].kind == EColumnKind::Date;
        fit.length = target[c].length;
        const CString shown = ShownValue(row[c]);
        bool ole = false;
        const CString problem = ZenConvertImportedValue(fit, row[c], ole);
        if (ole)
            m_result.OleObjects.push_back(
                {table, key, columns[c], shown, "an OLE object (header 0x15 0x1C), copied unchanged"});
        if (problem.IsEmpty())
            continue;
        m_result.BadValues.push_back({table, key, columns[c], shown, problem});
        ++copy.ValuesNotConverted;
    }
}

void CCopy::Upgrade()
{
    // The library's own upgrade, inside the copy's transaction (its steps
    // join it through savepoints), so a failing step leaves nothing behind.
    if (m_dst.UpgradeToCurrentVersion() == 0)
        Fail("The copied database could not be brought to the current schema version; nothing was copied.");
    int major = 0;
    int minor = 0;
    if (!m_dst.GetVersion(major, minor))
        Fail("The copied database holds no schema version after the upgrade; nothing was copied.");
    m_result.UpgradedToMinor = minor;
}

void CCopy::Run()
{
    const bool sourceIsFile = ZenLocationIsFilePath(m_source.c_str());
    const bool targetIsFile = ZenLocationIsFilePath(m_target.c_str());
    std::error_code ec;
    if ((sourceIsFile && targetIsFile && fs::equivalent(m_source, m_target, ec)) ||
        ZenConnectStringForLocation(m_source.c_str()) == ZenConnectStringForLocation(m_target.c_str()))
        Fail("The source and the target are the same database.");

    try {
        const CSqlConnectParams params = ParseConnectString(ZenConnectStringForLocation(m_source.c_str()));
        m_access = params.engine == CSqlConnectParams::Engine::Access;
    } catch (const CDBException&) {
        // opening the source says what is wrong with it
    }
    OpenSource();
    try {
        OpenTarget();
        // Looked at before the transaction: on a server a statement that
        // fails (a table that is not there) would end the transaction.
        const std::vector<std::pair<CString, int64_t>> before = ExistingTargetTables();
        RefuseTargetWithData(before);

        CTransaction transaction(m_dst);
        // Under the write lock, again: data may have come meanwhile.
        std::vector<std::pair<CString, int64_t>> now;
        for (const auto& [name, rows] : before)
            now.emplace_back(name, CountRows(m_dst, name));
        RefuseTargetWithData(now);

        for (const auto& [name, rows] : before)
            m_dst.ExecuteSQL(CString("DROP TABLE [") + name + "]");
        // The target's own trail and signatures (an empty trail of a new
        // schema, or those of the data being replaced) give way to the
        // source's.
        for (const zendb_schema::CStationTable& companion : CompanionTables())
            if (m_dst.HasTable(companion.name))
                m_dst.ExecuteSQL(CString("DROP TABLE [") + companion.name + "]");
        for (const CString& statement : zendb_schema::CreateTableStatements(m_result.SchemaMinor))
            m_dst.ExecuteSQL(statement);
        if (m_result.UniqueSampleIDs)
            m_dst.ExecuteSQL(zendb_ident::kCreateIndexSql);

        for (const zendb_schema::CStationTable& table : m_tables)
            CopyTable(table);
        CopyCompanionTables();

        // Read back through the target's own connection, inside the
        // transaction: what would be committed is what is checked.
        bool allMatch = true;
        CString mismatches;
        for (CStationTableCopy& copy : m_result.Tables) {
            const CStationTableChecksum target = ZenStationTableChecksum(m_dst, copy.Table);
            copy.TargetChecksum = target.Checksum;
            copy.Match = target.Rows == copy.RowsRead && copy.RowsWritten == copy.RowsRead &&
                         target.Checksum == copy.SourceChecksum;
            if (!copy.Match) {
                allMatch = false;
                mismatches += (mismatches.IsEmpty() ? "" : ", ") + copy.Table;
            }
        }
        if (!allMatch)
            Fail(CString("The copy does not match the source in table(s) ") + mismatches +
                 "; nothing was copied.");
        if (!m_result.BadValues.empty() && (m_options & ZENCOPY_SkipBadValues) == 0) {
            CString list;
            for (const CStationCopyValue& bad : m_result.BadValues)
                list += CString("\n  ") + bad.Table + " key " + bad.Key + " column " + bad.Column + ": " +
                        bad.Value + " (" + bad.Problem + ")";
            CString text;
            text.Format("%zu value(s) of the Access file cannot be represented; nothing was imported:",
                        m_result.BadValues.size());
            Fail(text + list);
        }
        if (m_access || (m_options & ZENCOPY_Upgrade) != 0)
            Upgrade();
        transaction.Commit();
        m_dst.Close();
        m_result.Done = true;
    } catch (...) {
        if (m_dst.IsOpen())
            m_dst.Close();
        if (m_result.TargetCreated)
            RemoveCreatedFile(m_target);
        throw;
    }
}

// Replaces every occurrence of secret in text (a password quoted back in
// an engine's error).
CString WithoutSecret(const CString& text, const std::string& secret)
{
    if (secret.empty())
        return text;
    std::string s = text.Str();
    for (size_t at = s.find(secret); at != std::string::npos; at = s.find(secret, at + 3))
        s.replace(at, secret.size(), "***");
    return CString(s);
}

// Where a location holds passwords: [begin, end) of each, in order.
std::vector<std::pair<size_t, size_t>> PasswordSpans(const std::string& s)
{
    std::vector<std::pair<size_t, size_t>> spans;
    size_t queryStart = std::string::npos;
    // A URI's "user:password@host".
    if (const size_t scheme = s.find("://"); scheme != std::string::npos) {
        const size_t start = scheme + 3;
        size_t end = s.find_first_of("/?#", start);
        if (end == std::string::npos)
            end = s.size();
        queryStart = s.find('?', start);
        const size_t at = s.rfind('@', end - 1);
        if (at != std::string::npos && at >= start) {
            const size_t colon = s.find(':', start);
            if (colon != std::string::npos && colon < at && colon + 1 < at)
                spans.emplace_back(colon + 1, at);
        }
    }
    // "password=..." and "pwd=..." pairs (also in a URI's query).
    const std::string lower = Lower(s);
    for (size_t i = 0; i < s.size(); ++i) {
        size_t keyLength = 0;
        if (lower.compare(i, 8, "password") == 0)
            keyLength = 8;
        else if (lower.compare(i, 3, "pwd") == 0)
            keyLength = 3;
        if (keyLength == 0 || (i > 0 && std::strchr(";?& \t", s[i - 1]) == nullptr))
            continue;
        size_t v = i + keyLength;
        while (v < s.size() && (s[v] == ' ' || s[v] == '\t'))
            ++v;
        if (v >= s.size() || s[v] != '=')
            continue;
        ++v;
        while (v < s.size() && (s[v] == ' ' || s[v] == '\t'))
            ++v;
        size_t end = v;
        if (end < s.size() && (s[end] == '{' || s[end] == '\'')) {
            // Braced ("}}" stands for '}') or quoted ('\' escapes): the
            // quotes count as part of what is hidden.
            const char close = s[end] == '{' ? '}' : '\'';
            for (++end; end < s.size(); ++end) {
                if (close == '\'' && s[end] == '\\') {
                    ++end;
                    continue;
                }
                if (s[end] == close) {
                    if (close == '}' && end + 1 < s.size() && s[end + 1] == '}') {
                        ++end;
                        continue;
                    }
                    ++end;
                    break;
                }
            }
            end = std::min(end, s.size());
        } else {
            const bool inQuery = queryStart != std::string::npos && queryStart < i;
            end = s.find_first_of(inQuery ? "&#" : ";", v);
            if (end == std::string::npos)
                end = s.size();
            while (!inQuery && end > v && (s[end - 1] == ' ' || s[end - 1] == '\t'))
                --end;
        }
        if (end > v)
            spans.emplace_back(v, end);
        i = std::max(i, end == 0 ? 0 : end - 1);
    }
    std::sort(spans.begin(), spans.end());
    return spans;
}

} // namespace

bool ZenLocationIsFilePath(const char* location)
{
    const std::string text = TrimmedStd(location);
    if (IsUri(text))
        return false;
    std::error_code ec;
    if (location != nullptr && *location != '\0' &&
        fs::symlink_status(location, ec).type() != fs::file_type::not_found)
        return true;
    return !LooksLikeKeyValuePairs(text);
}

CString ZenConnectStringForLocation(const char* location)
{
    if (!ZenLocationIsFilePath(location))
        return CString(TrimmedStd(location));
    // A legacy Access file by its first bytes, not its name: the station's
    // own SQLite file is called ZEN.mdb too.
    const char* driver = MdbIsAccessFile(location) ? "Driver=Access;" : "";
    return CString(driver) + "Dbq=" + FormatConnectStringValue(location != nullptr ? location : "") + ";";
}

CString ZenMaskLocation(const char* location)
{
    const std::string s = location != nullptr ? location : "";
    std::string out;
    size_t copied = 0;
    for (const auto& [begin, end] : PasswordSpans(s)) {
        if (begin < copied)
            continue;
        out += s.substr(copied, begin - copied);
        out += "***";
        copied = end;
    }
    out += s.substr(copied);
    return CString(out);
}

CStationTableChecksum ZenStationTableChecksum(CDatabase& db, const char* table)
{
    const std::vector<zendb_schema::CStationTable> tables = CopiedTables();
    const zendb_schema::CStationTable* station = FindStationTable(tables, table);
    const CString key = station != nullptr ? station->keyColumn : CString();
    std::unique_ptr<CSqlStatement> statement = PrepareOn(db, SelectAllSql(table, key));
    bool more = statement->Step();
    const CResultColumns columns = ColumnsOf(*statement);
    CTableHasher hasher(columns.names, columns.kinds, !key.IsEmpty());
    std::vector<CSqlValue> row;
    for (; more; more = statement->Step()) {
        statement->ReadRow(static_cast<int>(columns.names.size()), row);
        hasher.AddRow(row);
    }
    CStationTableChecksum result;
    result.Rows = hasher.Rows();
    result.Checksum = hasher.Finish();
    return result;
}

CString ZenConvertImportedValue(const CImportTarget& target, CSqlValue& value, bool& oleObject)
{
    oleObject = false;
    CString problem;
    switch (value.GetType()) {
    case CSqlValue::Type::Null:
        return problem;
    case CSqlValue::Type::Integer:
        // Access keeps yes as -1.
        if (target.flag && value.GetInteger() != 0)
            value.SetInteger(1);
        break;
    case CSqlValue::Type::Real:
        if (target.date)
            problem = "a date outside the years 100 to 9999";
        else if (target.flag)
            value.SetInteger(value.GetReal() != 0.0 ? 1 : 0);
        break;
    case CSqlValue::Type::Text:
        if (target.date) {
            CDateParts parts;
            if (!ParseStoredDateTime(value.GetText(), parts))
                problem = "not a date";
            else if (FormatStoredDateTime(parts) < kZenEarliestImportedDate)
                problem = CString("a date before ") + CString(kZenEarliestImportedDate).Left(10) +
                          ", which the library cannot store";
        } else if (target.length > 0 && Utf8Length(value.GetText()) > target.length) {
            problem.Format("a text of %zu characters, longer than the column's %u", Utf8Length(value.GetText()),
                           target.length);
        }
        break;
    case CSqlValue::Type::Blob: {
        const std::vector<uint8_t>& bytes = value.GetBlob();
        oleObject = bytes.size() >= 2 && bytes[0] == 0x15 && bytes[1] == 0x1C;
        break;
    }
    }
    if (!problem.IsEmpty())
        value.SetNull();
    return problem;
}

BOOL ZenCopyStationDatabase(const char* source, const char* target, DWORD options, CStationCopyResult& result)
{
    result = CStationCopyResult();
    CString error;
    try {
        if (source == nullptr || *source == '\0' || target == nullptr || *target == '\0')
            Fail("Both a source and a target must be given.");
        CCopy copy(source, target, options, result);
        copy.Run();
        return TRUE;
    } catch (const CException& e) {
        error = ErrorText(e);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        error = e.what();
    }
    // An engine's error may quote the connection string.
    for (const char* location : {source, target}) {
        if (location == nullptr)
            continue;
        const std::string text = location;
        for (const auto& [begin, end] : PasswordSpans(text))
            error = WithoutSecret(error, text.substr(begin, end - begin));
    }
    result.Error = error;
    result.Done = false;
    return FALSE;
}
