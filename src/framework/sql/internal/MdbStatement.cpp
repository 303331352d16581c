// The statements of the Access engine driver: a small reader of the SELECT
// forms it understands, then a walk over the rows of a table read whole.
#include "framework/sql/internal/MdbStatement.h"

#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/SqlErrors.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

struct CToken {
    enum class EKind { Word, Name, Symbol, End };
    EKind kind = EKind::End;
    std::string text; // a word as written; a quoted name without its quotes
};

std::vector<CToken> Tokenize(const std::string& sql, const CString& shown)
{
    std::vector<CToken> tokens;
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '"' || c == '[' || c == '`') {
            const char close = c == '[' ? ']' : c;
            std::string name;
            size_t j = i + 1;
            for (; j < sql.size(); ++j) {
                if (sql[j] == close) {
                    if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
                        name += close;
                        ++j;
                        continue;
                    }
                    break;
                }
                name += sql[j];
            }
            if (j >= sql.size())
                ThrowSqlLayerError(SQL_ERROR, "An Access file: a quoted name is not closed.", shown);
            tokens.push_back({CToken::EKind::Name, name});
            i = j + 1;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80) {
            size_t j = i;
            while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_' ||
                                      static_cast<unsigned char>(sql[j]) >= 0x80))
                ++j;
            tokens.push_back({CToken::EKind::Word, sql.substr(i, j - i)});
            i = j;
        } else {
            tokens.push_back({CToken::EKind::Symbol, std::string(1, c)});
            ++i;
        }
    }
    while (!tokens.empty() && tokens.back().kind == CToken::EKind::Symbol && tokens.back().text == ";")
        tokens.pop_back();
    tokens.push_back({});
    return tokens;
}

bool IsWord(const CToken& t, const char* word)
{
    return t.kind == CToken::EKind::Word && CString(t.text).CompareNoCase(word) == 0;
}

bool IsSymbol(const CToken& t, char symbol)
{
    return t.kind == CToken::EKind::Symbol && t.text.size() == 1 && t.text[0] == symbol;
}

bool IsName(const CToken& t) { return t.kind == CToken::EKind::Word || t.kind == CToken::EKind::Name; }

// The statements that would change a file, by their first word.
bool IsChange(const CToken& t)
{
    for (const char* word : {"INSERT", "UPDATE", "DELETE", "CREATE", "DROP", "ALTER", "REPLACE", "PRAGMA",
                             "BEGIN", "COMMIT", "ROLLBACK", "SAVEPOINT", "RELEASE", "VACUUM"})
        if (IsWord(t, word))
            return true;
    return false;
}

int FindColumn(const CMdbTable& table, const std::string& name)
{
    for (size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c].name.CompareNoCase(name.c_str()) == 0)
            return static_cast<int>(c);
    return -1;
}

// Orders values of one column as the SQL engines do: NULL first, numbers
// by value, texts and bytes by their bytes.
int Compare(const CSqlValue& a, const CSqlValue& b)
{
    const auto rank = [](const CSqlValue& v) {
        switch (v.GetType()) {
        case CSqlValue::Type::Null:
            return 0;
        case CSqlValue::Type::Integer:
        case CSqlValue::Type::Real:
            return 1;
        case CSqlValue::Type::Text:
            return 2;
        case CSqlValue::Type::Blob:
            return 3;
        }
        return 4;
    };
    if (rank(a) != rank(b))
        return rank(a) < rank(b) ? -1 : 1;
    switch (a.GetType()) {
    case CSqlValue::Type::Null:
        return 0;
    case CSqlValue::Type::Integer:
    case CSqlValue::Type::Real: {
        const double x = a.GetType() == CSqlValue::Type::Integer ? static_cast<double>(a.GetInteger()) : a.GetReal();
        const double y = b.GetType() == CSqlValue::Type::Integer ? static_cast<double>(b.GetInteger()) : b.GetReal();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case CSqlValue::Type::Text:
        return a.GetText().compare(b.GetText());
    case CSqlValue::Type::Blob:
        return a.GetBlob() < b.GetBlob() ? -1 : a.GetBlob() == b.GetBlob() ? 0 : 1;
    }
    return 0;
}

} // namespace

CMdbStatement::CMdbStatement(CMdbFile& file, const CString& engineSql, const CString& shown) : m_shown(shown)
{
    const std::vector<CToken> t = Tokenize(engineSql.Str(), shown);
    size_t p = 0;
    const auto fail = [&](const char* why) {
        ThrowSqlLayerError(SQL_ERROR, CString("An Access file is read with SELECT ... FROM one table only: ") + why,
                           shown);
    };
    if (IsChange(t[0]))
        ThrowSqlLayerError(SQL_ERROR, CString("The Access file ") + file.GetPath() +
                                          " is read-only: it can be read and imported, never changed.",
                           shown);
    if (!IsWord(t[p++], "SELECT"))
        fail("the statement is no SELECT.");

    // The select list: *, COUNT(*) [AS name], or names.
    bool all = false;
    bool count = false;
    CString countName = "COUNT(*)";
    std::vector<std::string> wanted;
    if (IsSymbol(t[p], '*')) {
        all = true;
        ++p;
    } else if (IsWord(t[p], "COUNT") && IsSymbol(t[p + 1], '(') && IsSymbol(t[p + 2], '*') && IsSymbol(t[p + 3], ')')) {
        count = true;
        p += 4;
        if (IsWord(t[p], "AS") && IsName(t[p + 1])) {
            countName = CString(t[p + 1].text);
            p += 2;
        }
    } else {
        for (;;) {
            if (!IsName(t[p]) || IsWord(t[p], "FROM"))
                fail("a column name was expected.");
            wanted.push_back(t[p++].text);
            if (!IsSymbol(t[p], ','))
                break;
            ++p;
        }
    }
    if (!IsWord(t[p++], "FROM") || !IsName(t[p]))
        fail("FROM and a table name were expected.");
    const std::string tableName = t[p++].text;
    m_table = file.ReadTable(CString(tableName));
    if (!m_table)
        ThrowSqlLayerError(SQL_ERROR, CString("The Access file ") + file.GetPath() + " has no table " +
                                          CString(tableName) + ".",
                           shown);

    std::vector<std::pair<int, bool>> keys; // column, descending
    if (IsWord(t[p], "ORDER")) {
        if (!IsWord(t[p + 1], "BY"))
            fail("ORDER must be followed by BY.");
        p += 2;
        for (;;) {
            if (!IsName(t[p]))
                fail("ORDER BY names columns only.");
            const int c = FindColumn(*m_table, t[p].text);
            if (c < 0)
                ThrowSqlLayerError(SQL_ERROR, CString("The table ") + m_table->name + " has no column " +
                                                  CString(t[p].text) + ".",
                                   shown);
            ++p;
            bool descending = false;
            if (IsWord(t[p], "DESC")) {
                descending = true;
                ++p;
            } else if (IsWord(t[p], "ASC")) {
                ++p;
            }
            keys.emplace_back(c, descending);
            if (!IsSymbol(t[p], ','))
                break;
            ++p;
        }
    }
    if (t[p].kind != CToken::EKind::End)
        fail("nothing may follow the table name but ORDER BY.");

    if (count) {
        m_count = static_cast<int64_t>(m_table->rows.size());
        m_names.push_back(countName);
        m_columns.push_back(-1);
        return;
    }
    if (all) {
        for (size_t c = 0; c < m_table->columns.size(); ++c) {
            m_names.push_back(m_table->columns[c].name);
            m_columns.push_back(static_cast<int>(c));
        }
    } else {
        for (const std::string& name : wanted) {
            const int c = FindColumn(*m_table, name);
            if (c < 0)
                ThrowSqlLayerError(SQL_ERROR, CString("The table ") + m_table->name + " has no column " +
                                                  CString(name) + ".",
                                   shown);
            m_names.push_back(m_table->columns[static_cast<size_t>(c)].name);
            m_columns.push_back(c);
        }
    }
    m_order.resize(m_table->rows.size());
    for (size_t r = 0; r < m_order.size(); ++r)
        m_order[r] = r;
    if (!keys.empty())
        std::stable_sort(m_order.begin(), m_order.end(), [&](size_t a, size_t b) {
            for (const auto& [c, descending] : keys) {
                const int order = Compare(m_table->rows[a][static_cast<size_t>(c)], m_table->rows[b][static_cast<size_t>(c)]);
                if (order != 0)
                    return descending ? order > 0 : order < 0;
            }
            return false;
        });
}

CString CMdbStatement::GetColumnName(int column) const { return m_names.at(static_cast<size_t>(column)); }

CODBCFieldInfo CMdbStatement::DescribeColumn(int column) const
{
    CODBCFieldInfo info;
    info.m_strName = GetColumnName(column);
    const int c = m_columns.at(static_cast<size_t>(column));
    if (c < 0) {
        info.m_nSQLType = SQL_INTEGER;
        info.m_nPrecision = 10;
        info.m_nNullability = SQL_NO_NULLS;
        return info;
    }
    const CMdbColumn& described = m_table->columns[static_cast<size_t>(c)];
    info.m_nSQLType = described.sqlType;
    info.m_nPrecision = described.precision;
    info.m_nScale = described.scale;
    info.m_nNullability = SQL_NULLABLE_UNKNOWN;
    return info;
}

void CMdbStatement::Bind(int index, const CSqlValue& /*value*/)
{
    CString reason;
    reason.Format("An Access file: the statement takes no parameters (parameter %d).", index);
    ThrowSqlLayerError(SQL_ERROR, reason, m_shown);
}

bool CMdbStatement::Step()
{
    const long long rows = m_count >= 0 ? 1 : static_cast<long long>(m_order.size());
    if (m_row < rows)
        ++m_row;
    return m_row < rows;
}

CSqlValue CMdbStatement::GetValue(int column) const
{
    if (m_count >= 0)
        return CSqlValue::Integer(m_count);
    const int c = m_columns.at(static_cast<size_t>(column));
    return m_table->rows[m_order.at(static_cast<size_t>(m_row))][static_cast<size_t>(c)];
}
