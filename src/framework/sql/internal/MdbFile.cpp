// Access files through the mdbtools library (libmdb): the only place that
// includes its header. Dates are taken from the stored day count, not from
// the library's text, which cannot show days before 1900.
#include "framework/sql/internal/MdbFile.h"

#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/SqlDates.h"
#include "framework/sql/internal/SqlErrors.h"

// glib first: the library's header uses its types without including it.
#include <glib.h>
#include <mdbtools.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

// Larger than the longest memo an Access file can hold in one bound text
// (the library cuts bound values at this size).
constexpr size_t kBindSize = 1024 * 1024;

[[noreturn]] void ThrowFileError(const CString& path, const CString& what)
{
    ThrowSqlLayerError(SQL_ERROR, CString("The Access file ") + path + " " + what);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

CMdbColumn Describe(const MdbColumn& col)
{
    CMdbColumn column;
    column.name = CString(col.name);
    switch (col.col_type) {
    case MDB_BOOL:
        column.sqlType = SQL_BIT;
        column.typeName = "YESNO";
        break;
    case MDB_BYTE:
        column.sqlType = SQL_TINYINT;
        column.precision = 3;
        column.typeName = "BYTE";
        break;
    case MDB_INT:
        column.sqlType = SQL_SMALLINT;
        column.precision = 5;
        column.typeName = "SHORT";
        break;
    case MDB_LONGINT:
        column.sqlType = SQL_INTEGER;
        column.precision = 10;
        column.typeName = col.is_long_auto ? "COUNTER" : "LONG";
        break;
    case MDB_MONEY:
        column.sqlType = SQL_NUMERIC;
        column.precision = 19;
        column.scale = 4;
        column.typeName = "CURRENCY";
        break;
    case MDB_FLOAT:
        column.sqlType = SQL_REAL;
        column.precision = 7;
        column.typeName = "SINGLE";
        break;
    case MDB_DOUBLE:
        column.sqlType = SQL_DOUBLE;
        column.precision = 15;
        column.typeName = "DOUBLE";
        break;
    case MDB_DATETIME:
        column.sqlType = SQL_TIMESTAMP;
        column.precision = 19;
        column.typeName = "DATETIME";
        break;
    case MDB_TEXT: {
        column.sqlType = SQL_VARCHAR;
        // Jet 4 and ACE keep two bytes per character; the size is in bytes.
        const bool twoBytes = col.table != nullptr && col.table->entry != nullptr &&
                              col.table->entry->mdb != nullptr && !IS_JET3(col.table->entry->mdb);
        column.precision = static_cast<UDWORD>(twoBytes ? col.col_size / 2 : col.col_size);
        column.typeName.Format("TEXT(%u)", static_cast<unsigned>(column.precision));
        break;
    }
    case MDB_MEMO:
        column.sqlType = SQL_LONGVARCHAR;
        column.precision = 1073741823;
        column.typeName = "MEMO";
        break;
    case MDB_OLE:
        column.sqlType = SQL_LONGVARBINARY;
        column.precision = 1073741823;
        column.typeName = "OLEOBJECT";
        break;
    case MDB_BINARY:
        column.sqlType = SQL_VARBINARY;
        column.precision = static_cast<UDWORD>(col.col_size);
        column.typeName = "BINARY";
        break;
    case MDB_REPID:
        column.sqlType = SQL_VARCHAR;
        column.precision = 38;
        column.typeName = "GUID";
        break;
    case MDB_NUMERIC:
        column.sqlType = SQL_NUMERIC;
        column.precision = static_cast<UDWORD>(col.col_prec);
        column.scale = static_cast<SWORD>(col.col_scale);
        column.typeName.Format("DECIMAL(%d,%d)", col.col_prec, col.col_scale);
        break;
    default:
        column.sqlType = SQL_VARCHAR;
        column.typeName.Format("TYPE%d", col.col_type);
        break;
    }
    return column;
}

// The value of one column of the fetched row: from the row's bytes for
// fixed-size numbers and dates, from the bound text for texts, flags and
// the rest, read whole for OLE objects.
CSqlValue ValueOf(MdbHandle* mdb, MdbColumn* col, const MdbField& field, const std::vector<char>& bound, int length)
{
    if (col->col_type == MDB_BOOL) // kept in the row's null mask: never NULL
        return CSqlValue::Integer(bound[0] == '1' ? 1 : 0);
    if (field.is_null)
        return CSqlValue();
    const auto* bytes = static_cast<const unsigned char*>(field.value);
    switch (col->col_type) {
    case MDB_BYTE:
        return CSqlValue::Integer(bytes[0]);
    case MDB_INT:
        return CSqlValue::Integer(static_cast<int16_t>(mdb_get_int16(field.value, 0)));
    case MDB_LONGINT:
        return CSqlValue::Integer(static_cast<int32_t>(mdb_get_int32(field.value, 0)));
    case MDB_FLOAT:
        return CSqlValue::Real(static_cast<double>(mdb_get_single(field.value, 0)));
    case MDB_DOUBLE:
        return CSqlValue::Real(mdb_get_double(field.value, 0));
    case MDB_MONEY: {
        // A 64-bit count of ten-thousandths, little-endian.
        uint64_t raw = 0;
        for (int i = 7; i >= 0; --i)
            raw = (raw << 8) | bytes[i];
        return CSqlValue::Real(static_cast<double>(static_cast<int64_t>(raw)) / 10000.0);
    }
    case MDB_DATETIME: {
        const double days = mdb_get_double(field.value, 0);
        std::string stored;
        if (!MdbDayCountToStoredDate(days, stored))
            return CSqlValue::Real(days);
        return CSqlValue::Text(std::move(stored));
    }
    case MDB_BINARY:
        return CSqlValue::Blob(std::vector<uint8_t>(bytes, bytes + field.siz));
    case MDB_OLE: {
        // The reader starts from the value's 12-byte header in the bound
        // buffer; it is put there from the row itself, whatever the bound
        // text holds.
        if (field.siz < MDB_MEMO_OVERHEAD || col->bind_ptr == nullptr)
            return CSqlValue::Blob({});
        std::memcpy(col->bind_ptr, field.value, MDB_MEMO_OVERHEAD);
        size_t size = 0;
        void* whole = mdb_ole_read_full(mdb, col, &size);
        if (whole == nullptr)
            return CSqlValue::Blob({});
        const auto* p = static_cast<const uint8_t*>(whole);
        CSqlValue value = CSqlValue::Blob(std::vector<uint8_t>(p, p + size));
        g_free(whole);
        return value;
    }
    default:
        return CSqlValue::Text(std::string(bound.data(), static_cast<size_t>(length)));
    }
}

} // namespace

struct CMdbFile::CImpl {
    MdbHandle* mdb = nullptr;
    ~CImpl()
    {
        if (mdb != nullptr)
            mdb_close(mdb);
    }
};

// Frees a table definition on every path.
struct CMdbTableDefHandle {
    MdbTableDef* def = nullptr;
    ~CMdbTableDefHandle()
    {
        if (def != nullptr)
            mdb_free_tabledef(def);
    }
};

bool MdbDayCountToStoredDate(double days, std::string& stored)
{
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return false;
    // Whole days and the time of day, each rounded to the second: -1.25 is
    // 1899-12-29 06:00, not 1899-12-28 18:00.
    double whole = std::trunc(days);
    long long seconds = std::llround(std::fabs(days - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += days < 0 ? -1.0 : 1.0;
    }
    // Days from 1970-01-01 to 1899-12-30 are -25569; civil date from a day
    // number (proleptic Gregorian calendar).
    long long z = static_cast<long long>(whole) - 25569 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
    if (y < 100 || y > 9999)
        return false;
    CDateParts parts;
    parts.year = static_cast<int>(y);
    parts.month = static_cast<int>(m);
    parts.day = static_cast<int>(d);
    parts.hour = static_cast<int>(seconds / 3600);
    parts.minute = static_cast<int>(seconds / 60 % 60);
    parts.second = static_cast<int>(seconds % 60);
    stored = FormatStoredDateTime(parts);
    return true;
}

bool MdbIsAccessFile(const char* path)
{
    if (path == nullptr)
        return false;
    std::ifstream in(path, std::ios::binary);
    char head[19] = {};
    if (!in.read(head, sizeof head))
        return false;
    return std::memcmp(head + 4, "Standard Jet DB", 15) == 0 || std::memcmp(head + 4, "Standard ACE DB", 15) == 0;
}

CMdbFile::CMdbFile(CString path, std::unique_ptr<CImpl> impl) : m_path(std::move(path)), m_impl(std::move(impl)) {}

CMdbFile::~CMdbFile() = default;

std::shared_ptr<CMdbFile> CMdbFile::Open(const CString& path)
{
    if (!MdbIsAccessFile(path.GetString()))
        ThrowFileError(path, "cannot be read or is no Access database.");
    auto impl = std::make_unique<CImpl>();
    impl->mdb = mdb_open(path.GetString(), MDB_NOFLAGS);
    if (impl->mdb == nullptr)
        ThrowFileError(path, "cannot be opened.");
    mdb_set_date_fmt(impl->mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_bind_size(impl->mdb, kBindSize);
    mdb_set_boolean_fmt_numbers(impl->mdb);
    if (mdb_read_catalog(impl->mdb, MDB_TABLE) == nullptr)
        ThrowFileError(path, "has no readable catalogue of tables.");
    return std::shared_ptr<CMdbFile>(new CMdbFile(path, std::move(impl)));
}

std::vector<CString> CMdbFile::TableNames() const
{
    std::vector<CString> names;
    MdbHandle* mdb = m_impl->mdb;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            names.emplace_back(entry->object_name);
    }
    return names;
}

std::shared_ptr<const CMdbTable> CMdbFile::ReadTable(const CString& name)
{
    const std::string key = Lower(name.Str());
    if (auto found = m_tables.find(key); found != m_tables.end())
        return found->second;

    MdbHandle* mdb = m_impl->mdb;
    MdbCatalogEntry* entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && entry == nullptr; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && mdb_is_user_table(e) && Lower(e->object_name) == key)
            entry = e;
    }
    if (entry == nullptr)
        return nullptr;

    CMdbTableDefHandle def;
    def.def = mdb_read_table(entry);
    if (def.def == nullptr || mdb_read_columns(def.def) == nullptr)
        ThrowFileError(m_path, CString("cannot read the table ") + name + ".");
    MdbTableDef* t = def.def;
    auto table = std::make_shared<CMdbTable>();
    table->name = CString(entry->object_name);
    const unsigned count = t->num_cols;
    std::vector<std::vector<char>> bound(count, std::vector<char>(kBindSize + 1));
    std::vector<int> lengths(count, 0);
    for (unsigned c = 0; c < count; ++c) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
        table->columns.push_back(Describe(*col));
        mdb_bind_column(t, static_cast<int>(c + 1), bound[c].data(), &lengths[c]);
    }
    mdb_rewind_table(t);
    std::vector<MdbField> fields(MDB_MAX_COLS);
    while (mdb_fetch_row(t)) {
        // The fetched row is the one before the table's row cursor, on the
        // page in the handle's buffer; cracking it again gives each value's
        // bytes and whether it is NULL, which the bound texts do not tell.
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &size) != 0)
            ThrowFileError(m_path, CString("has a damaged row in table ") + name + ".");
        start &= 0x1FFF;
        const int cracked = mdb_crack_row(t, start, size, fields.data());
        std::vector<CSqlValue> row(count);
        for (int f = 0; f < cracked; ++f) {
            const int c = fields[static_cast<size_t>(f)].colnum;
            if (c < 0 || static_cast<unsigned>(c) >= count)
                continue;
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
            row[static_cast<size_t>(c)] =
                ValueOf(mdb, col, fields[static_cast<size_t>(f)], bound[static_cast<size_t>(c)],
                        lengths[static_cast<size_t>(c)]);
        }
        table->rows.push_back(std::move(row));
    }
    m_tables[key] = table;
    return table;
}
