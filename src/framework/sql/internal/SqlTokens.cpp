// Tokenizer of SQL text and the analysis of a SELECT statement's shape.
#include "framework/sql/internal/SqlTokens.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

bool IsWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool IsWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }
bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// Length of a "# ... #" date literal at sql[i] ('#'), or 0 when the text
// between the hashes is not made of date characters only.
size_t HashDateLength(std::string_view sql, size_t i)
{
    const size_t limit = std::min(sql.size(), i + 48);
    for (size_t j = i + 1; j < limit; ++j) {
        const unsigned char c = static_cast<unsigned char>(sql[j]);
        if (c == '#')
            return j > i + 1 ? j - i + 1 : 0;
        if (!(std::isdigit(c) || std::strchr("/-:. \tAPMapm", c) != nullptr))
            return 0;
    }
    return 0;
}

// Length of a quoted run starting at sql[i] with quote q; a doubled quote
// stands for one quote. Unterminated: to the end.
size_t QuotedLength(std::string_view sql, size_t i, char close)
{
    size_t j = i + 1;
    while (j < sql.size()) {
        if (sql[j] == close) {
            if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
                j += 2;
                continue;
            }
            return j - i + 1;
        }
        ++j;
    }
    return sql.size() - i;
}

bool IsClauseEnd(const CSqlToken& t)
{
    static const char* const words[] = {"WHERE", "ORDER", "GROUP", "HAVING", "UNION", "EXCEPT", "INTERSECT",
                                        "LIMIT", "JOIN", "LEFT", "RIGHT", "INNER", "OUTER", "CROSS",
                                        "NATURAL", "FULL", "ON", "USING", "WINDOW", "OFFSET"};
    for (const char* w : words)
        if (t.IsWord(w))
            return true;
    return false;
}

} // namespace

bool CSqlToken::IsWord(const char* upperWord) const
{
    if (kind != SqlTokenKind::Word)
        return false;
    // ASCII case folding by hand: most tokens differ in the first letter.
    size_t i = 0;
    for (; i < text.size() && upperWord[i] != '\0'; ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upperWord[i])
            return false;
    }
    return i == text.size() && upperWord[i] == '\0';
}

CSqlTokens TokenizeSql(std::string_view sql)
{
    CSqlTokens tokens;
    tokens.reserve(sql.size() / 4 + 8); // about one token in four characters
    size_t i = 0;
    const size_t n = sql.size();
    auto push = [&](SqlTokenKind kind, size_t length) {
        tokens.emplace_back(CSqlToken{kind, std::string(sql.data() + i, length)});
        i += length;
    };
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        const char next = i + 1 < n ? sql[i + 1] : '\0';
        if (IsBlank(c)) {
            size_t j = i;
            while (j < n && IsBlank(static_cast<unsigned char>(sql[j])))
                ++j;
            push(SqlTokenKind::Space, j - i);
        } else if (c == '-' && next == '-') {
            const size_t eol = sql.find('\n', i);
            push(SqlTokenKind::Comment, (eol == std::string_view::npos ? n : eol) - i);
        } else if (c == '/' && next == '*') {
            const size_t close = sql.find("*/", i + 2);
            push(SqlTokenKind::Comment, (close == std::string_view::npos ? n : close + 2) - i);
        } else if (c == '\'') {
            push(SqlTokenKind::String, QuotedLength(sql, i, '\''));
        } else if (c == '"') {
            push(SqlTokenKind::QuotedName, QuotedLength(sql, i, '"'));
        } else if (c == '`') {
            push(SqlTokenKind::QuotedName, QuotedLength(sql, i, '`'));
        } else if (c == '[') {
            push(SqlTokenKind::BracketName, QuotedLength(sql, i, ']'));
        } else if (c == '#') {
            const size_t length = HashDateLength(sql, i);
            push(length ? SqlTokenKind::HashDate : SqlTokenKind::Symbol, length ? length : 1);
        } else if (std::isdigit(c) || (c == '.' && std::isdigit(static_cast<unsigned char>(next)))) {
            size_t j = i;
            while (j < n && (std::isdigit(static_cast<unsigned char>(sql[j])) || sql[j] == '.'))
                ++j;
            if (j < n && (sql[j] == 'e' || sql[j] == 'E')) {
                size_t k = j + 1;
                if (k < n && (sql[k] == '+' || sql[k] == '-'))
                    ++k;
                if (k < n && std::isdigit(static_cast<unsigned char>(sql[k]))) {
                    while (k < n && std::isdigit(static_cast<unsigned char>(sql[k])))
                        ++k;
                    j = k;
                }
            }
            push(SqlTokenKind::Number, j - i);
        } else if (IsWordStart(c)) {
            size_t j = i;
            while (j < n && IsWordChar(static_cast<unsigned char>(sql[j])))
                ++j;
            push(SqlTokenKind::Word, j - i);
        } else {
            static const char* const pairs[] = {"<=", ">=", "<>", "!=", "==", "||", "::"};
            size_t length = 1;
            for (const char* p : pairs)
                if (c == static_cast<unsigned char>(p[0]) && next == p[1])
                    length = 2;
            push(SqlTokenKind::Symbol, length);
        }
    }
    return tokens;
}

std::string JoinSqlTokens(const CSqlTokens& tokens, size_t begin, size_t end)
{
    std::string out;
    size_t length = 0;
    for (size_t i = begin; i < end && i < tokens.size(); ++i)
        length += tokens[i].text.size();
    out.reserve(length);
    for (size_t i = begin; i < end && i < tokens.size(); ++i)
        out += tokens[i].text;
    return out;
}

size_t NextSignificant(const CSqlTokens& tokens, size_t i)
{
    while (i < tokens.size() && !tokens[i].IsSignificant())
        ++i;
    return i;
}

std::string TokenName(const CSqlToken& token)
{
    const std::string& t = token.text;
    switch (token.kind) {
    case SqlTokenKind::BracketName:
        return t.size() >= 2 && t.back() == ']' ? t.substr(1, t.size() - 2) : t.substr(1);
    case SqlTokenKind::QuotedName: {
        const char q = t[0];
        std::string inner = t.size() >= 2 && t.back() == q ? t.substr(1, t.size() - 2) : t.substr(1);
        std::string out;
        for (size_t i = 0; i < inner.size(); ++i) {
            out += inner[i];
            if (inner[i] == q && i + 1 < inner.size() && inner[i + 1] == q)
                ++i;
        }
        return out;
    }
    default:
        return t;
    }
}

namespace {

bool IsAggregateFunction(const CSqlToken& t)
{
    for (const char* name : {"COUNT", "MAX", "MIN", "SUM", "AVG", "FIRST", "LAST", "STDEV", "STDEVP", "VAR", "VARP",
                             "TOTAL", "GROUP_CONCAT", "STRING_AGG", "ARRAY_AGG"})
        if (t.IsWord(name))
            return true;
    return false;
}

} // namespace

CSelectShape AnalyzeSelect(const CSqlTokens& tokens)
{
    CSelectShape shape;
    const size_t n = tokens.size();
    shape.end = shape.fromIndex = shape.fromEnd = shape.whereIndex = shape.orderIndex = n;
    size_t i = NextSignificant(tokens, 0);
    if (i >= n || !tokens[i].IsWord("SELECT"))
        return shape;
    shape.isSelect = true;
    i = NextSignificant(tokens, i + 1);
    if (i < n && (tokens[i].IsWord("DISTINCT") || tokens[i].IsWord("DISTINCTROW"))) {
        shape.distinct = true;
        i = NextSignificant(tokens, i + 1);
    } else if (i < n && tokens[i].IsWord("ALL")) {
        i = NextSignificant(tokens, i + 1);
    }
    if (i < n && tokens[i].IsWord("TOP")) {
        i = NextSignificant(tokens, i + 1);
        if (i < n && tokens[i].kind == SqlTokenKind::Number)
            i = NextSignificant(tokens, i + 1);
        if (i < n && tokens[i].IsWord("PERCENT"))
            i = NextSignificant(tokens, i + 1);
    }
    shape.listBegin = i;

    // Walk the top level: find FROM, WHERE, ORDER BY and anything that makes
    // the statement more than a read of one table.
    bool complex = shape.distinct;
    int depth = 0;
    for (size_t k = i; k < n; ++k) {
        const CSqlToken& t = tokens[k];
        if (t.IsSymbol("(")) {
            ++depth; // a sub-select inside still yields rows of the one table
            continue;
        }
        if (t.IsSymbol(")")) {
            --depth;
            continue;
        }
        if (depth != 0 || t.kind != SqlTokenKind::Word)
            continue;
        // An aggregate in the select list makes one row of many: it reads no
        // row of the table that could carry the row's identity (a server
        // refuses a bare column beside it).
        if (shape.fromIndex == n && IsAggregateFunction(t)) {
            const size_t next = NextSignificant(tokens, k + 1);
            if (next < n && tokens[next].IsSymbol("("))
                complex = true;
        }
        if (t.IsWord("FROM") && shape.fromIndex == n)
            shape.fromIndex = k;
        else if (t.IsWord("WHERE") && shape.whereIndex == n && shape.fromIndex < n)
            shape.whereIndex = k;
        else if (t.IsWord("ORDER"))
            shape.orderIndex = k;
        else if (t.IsWord("GROUP") || t.IsWord("HAVING") || t.IsWord("UNION") || t.IsWord("EXCEPT") ||
                 t.IsWord("INTERSECT") || t.IsWord("JOIN") || t.IsWord("WINDOW"))
            complex = true;
    }
    if (shape.fromIndex == n)
        return shape;

    // FROM <table> [[AS] alias], then WHERE / ORDER / LIMIT / end.
    size_t k = NextSignificant(tokens, shape.fromIndex + 1);
    if (k < n && (tokens[k].kind == SqlTokenKind::Word || tokens[k].kind == SqlTokenKind::BracketName ||
                  tokens[k].kind == SqlTokenKind::QuotedName) &&
        !IsClauseEnd(tokens[k])) {
        shape.table = TokenName(tokens[k]);
        k = NextSignificant(tokens, k + 1);
        if (k < n && tokens[k].IsWord("AS"))
            k = NextSignificant(tokens, k + 1);
        if (k < n && !IsClauseEnd(tokens[k]) &&
            (tokens[k].kind == SqlTokenKind::Word || tokens[k].kind == SqlTokenKind::BracketName ||
             tokens[k].kind == SqlTokenKind::QuotedName))
            k = NextSignificant(tokens, k + 1);
        shape.fromEnd = k;
        const bool endsWell = k == n || tokens[k].IsWord("WHERE") || tokens[k].IsWord("ORDER") ||
                              tokens[k].IsWord("LIMIT") || tokens[k].IsSymbol(";");
        shape.singleTable = endsWell && !complex;
    } else {
        shape.fromEnd = k;
    }
    if (!shape.singleTable)
        shape.table.clear();
    return shape;
}

CSqlWord::CSqlWord(const char* begin, const char* end)
{
    const size_t length = static_cast<size_t>(end - begin);
    const size_t kept = std::min(length, kMaxLength);
    for (size_t i = 0; i < kept; ++i) {
        const char c = begin[i];
        m_text[i] = c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    m_size = static_cast<unsigned char>(kept);
    if (length > kMaxLength)
        m_text[m_size++] = '+';
}

CSqlWord SqlFirstWord(const char* p)
{
    // ASCII only, whatever the locale: statements begin with ASCII keywords.
    const auto isBlank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    while (p && *p) {
        if (isBlank(*p)) {
            ++p;
        } else if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n')
                ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            const char* end = std::strstr(p + 2, "*/");
            if (!end)
                return CSqlWord();
            p = end + 2;
        } else {
            break;
        }
    }
    if (!p)
        return CSqlWord();
    const char* begin = p;
    while (isLetter(*p))
        ++p;
    return CSqlWord(begin, p);
}
