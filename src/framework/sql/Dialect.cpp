// Translation of the library's SQL text into the engine's dialect: token by
// token (names, dates, flags), then the column types of schema statements,
// then the SELECT TOP rewrite, which needs the statement's clauses. The
// parentheses are matched once up front, so every part of the statement is
// looked at a bounded number of times and the output stays proportional to
// the input, however the statement is nested.
#include "framework/sql/Dialect.h"

#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/SqlDates.h"
#include "framework/sql/internal/SqlErrors.h"
#include "framework/sql/internal/SqlTokens.h"
#include "framework/sql/internal/SqlTranslate.h"

#include <cctype>
#include <string>
#include <vector>

namespace {

std::string QuoteName(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

// Names of the library's schema that its statements also spell otherwise:
// on the server, where names are compared by letter case, such a spelling
// is replaced by the schema's. (The planned indents' statement reads
// IndentType's column "TestLoad" as "Testload".)
const char* const kSchemaSpellings[] = {"TestLoad"};

// name as the schema spells it.
std::string SchemaSpelling(const std::string& name)
{
    for (const char* spelled : kSchemaSpellings) {
        const size_t n = std::char_traits<char>::length(spelled);
        if (name.size() != n)
            continue;
        bool same = true;
        for (size_t i = 0; i < n && same; ++i)
            same = std::tolower(static_cast<unsigned char>(name[i])) == std::tolower(static_cast<unsigned char>(spelled[i]));
        if (same)
            return spelled;
    }
    return name;
}

// Words that the server reads as keywords, type or function names in the
// library's statements: never quoted. No column or table of the library's
// schema bears one of these names unbracketed.
bool IsPgKeyword(const CSqlToken& t)
{
    static const char* const kKeywords[] = {
        "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "BEGIN", "BETWEEN", "BY", "CASE", "CAST", "CHECK",
        "COLLATE", "COLUMN", "COMMIT", "CONFLICT", "CONSTRAINT", "CREATE", "CROSS", "CURRENT_DATE", "CURRENT_TIME",
        "CURRENT_TIMESTAMP", "DEFAULT", "DELETE", "DESC", "DISTINCT", "DISTINCTROW", "DO", "DROP", "ELSE", "END",
        "ESCAPE", "EXCEPT", "EXISTS", "FALSE", "FETCH", "FIRST", "FOREIGN", "FROM", "FULL", "GROUP", "HAVING",
        "IF", "ILIKE", "IN", "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY", "LAST", "LEFT",
        "LIKE", "LIMIT", "NOT", "NOTHING", "NULL", "NULLS", "OFFSET", "ON", "ONLY", "OR", "ORDER", "OUTER", "OVER",
        "PARTITION", "PERCENT", "PRIMARY", "REFERENCES", "RELEASE", "RENAME", "RETURNING", "RIGHT", "ROLLBACK",
        "ROW", "ROWS", "SAVEPOINT", "SELECT", "SET", "SOME", "TABLE", "THEN", "TIES", "TO", "TOP", "TRANSACTION",
        "TRUE", "UNION", "UNIQUE", "UPDATE", "USING", "VALUES", "WHEN", "WHERE", "WITH", "WORK"};
    for (const char* k : kKeywords)
        if (t.IsWord(k))
            return true;
    return false;
}
std::string Trim(const std::string& s)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

// Index of the ')' that closes the '(' at open, or end when unbalanced.
size_t MatchParen(const CSqlTokens& t, size_t open, size_t end)
{
    int depth = 0;
    for (size_t i = open; i < end; ++i) {
        if (t[i].IsSymbol("("))
            ++depth;
        else if (t[i].IsSymbol(")") && --depth == 0)
            return i;
    }
    return end;
}

std::string DateLiteral(std::string_view text, const CString& sql)
{
    CDateParts parts;
    if (!ParseDateLiteral(text, parts))
        ThrowSqlLayerError(SQL_ERROR, CString("Invalid date '") + CString(std::string(text)) + "' in the statement.",
                           sql);
    return "'" + FormatStoredDateTime(parts) + "'";
}

// Names, date literals, CDATE('...') and TRUE/FALSE.
CSqlTokens TranslateTokens(CSqlTokens&& in, const CString& sql)
{
    CSqlTokens out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        CSqlToken& t = in[i];
        switch (t.kind) {
        case SqlTokenKind::BracketName:
            out.push_back({SqlTokenKind::QuotedName, QuoteName(TokenName(t))});
            break;
        case SqlTokenKind::HashDate:
            out.push_back({SqlTokenKind::String,
                           DateLiteral(std::string_view(t.text).substr(1, t.text.size() - 2), sql)});
            break;
        case SqlTokenKind::Word:
            if (t.IsWord("TRUE") || t.IsWord("FALSE")) {
                out.push_back({SqlTokenKind::Number, t.IsWord("TRUE") ? "1" : "0"});
                break;
            }
            if (t.IsWord("CDATE")) {
                const size_t open = NextSignificant(in, i + 1);
                const size_t arg = open < in.size() && in[open].IsSymbol("(") ? NextSignificant(in, open + 1) : in.size();
                const size_t close = arg < in.size() && in[arg].kind == SqlTokenKind::String
                                         ? NextSignificant(in, arg + 1)
                                         : in.size();
                if (close < in.size() && in[close].IsSymbol(")")) {
                    const std::string& text = in[arg].text;
                    // the literal's content without its quotes ('' stands for ')
                    std::string content;
                    for (size_t k = 1; k + 1 < text.size(); ++k) {
                        content += text[k];
                        if (text[k] == '\'' && k + 2 < text.size() && text[k + 1] == '\'')
                            ++k;
                    }
                    CDateParts parts;
                    if (!ParseStoredDateTime(content, parts) && !ParseDateLiteral(content, parts))
                        ThrowSqlLayerError(SQL_ERROR,
                                           CString("Invalid date '") + CString(content) + "' in CDATE of the statement.",
                                           sql);
                    out.push_back({SqlTokenKind::String, "'" + FormatStoredDateTime(parts) + "'"});
                    i = close;
                    break;
                }
            }
            out.push_back(std::move(t));
            break;
        default:
            out.push_back(std::move(t));
            break;
        }
    }
    return out;
}

// Column type of a schema statement at t[typeIndex] (a word), its column
// definition ending before defEnd. The type token is marked in typeTokens
// (the server's names are not quoted as identifiers afterwards).
void MapColumnType(CSqlTokens& t, size_t typeIndex, size_t defEnd, SqlDialect dialect, std::vector<bool>& typeTokens)
{
    CSqlToken& type = t[typeIndex];
    typeTokens[typeIndex] = true;
    const size_t after = NextSignificant(t, typeIndex + 1);
    const bool hasLength = after < defEnd && t[after].IsSymbol("(");
    const bool pg = dialect == SqlDialect::PostgreSql;
    bool autoNumber = false;
    if (type.IsWord("COUNTER") || type.IsWord("AUTOINCREMENT")) {
        type.text = pg ? "INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY" : "INTEGER PRIMARY KEY AUTOINCREMENT";
        autoNumber = true;
    } else if (type.IsWord("IMAGE") || type.IsWord("LONGBINARY") || type.IsWord("OLEOBJECT") ||
               type.IsWord("GENERAL")) {
        type.text = pg ? "BYTEA" : "BLOB";
    } else if (pg && (type.IsWord("BLOB") || type.IsWord("VARBINARY") || type.IsWord("BINARY"))) {
        type.text = "BYTEA";
    } else if (type.IsWord("LONG")) {
        type.text = "INTEGER";
    } else if (type.IsWord("SHORT")) {
        type.text = "SMALLINT";
    } else if (type.IsWord("BYTE") || (pg && type.IsWord("TINYINT"))) {
        type.text = pg ? "SMALLINT" : "TINYINT";
    } else if (type.IsWord("SINGLE")) {
        type.text = "REAL";
    } else if (type.IsWord("YESNO") || type.IsWord("LOGICAL") || type.IsWord("LOGICAL1") ||
               (pg && (type.IsWord("BIT") || type.IsWord("BOOLEAN")))) {
        type.text = pg ? "zen_bit" : "BIT";
    } else if (type.IsWord("MEMO") || type.IsWord("LONGCHAR") || type.IsWord("NOTE") ||
               (pg && type.IsWord("LONGTEXT"))) {
        type.text = pg ? "TEXT" : "LONGTEXT";
    } else if (type.IsWord("CURRENCY") || type.IsWord("MONEY")) {
        type.text = "NUMERIC(19,4)";
    } else if (pg && type.IsWord("DATETIME")) {
        type.text = "TIMESTAMP(0)";
    } else if (pg && type.IsWord("DOUBLE") && !(after < defEnd && t[after].IsWord("PRECISION"))) {
        type.text = "DOUBLE PRECISION";
    } else if (pg && type.IsWord("TEXT")) {
        type.text = "VARCHAR"; // with or without a length, a text with the length checked as on SQLite
    }
    if (pg && !autoNumber) {
        // INTEGER PRIMARY KEY AUTOINCREMENT: an identity column the server
        // numbers, that also takes a key given with the row.
        for (size_t i = after; i < defEnd; ++i) {
            if (t[i].IsWord("AUTOINCREMENT")) {
                t[i].text.clear();
                type.text += " GENERATED BY DEFAULT AS IDENTITY";
            }
        }
    }
    if (!autoNumber)
        return;
    // Seed and step of the auto-number, and a PRIMARY KEY of the same
    // column, are covered by the replacement.
    size_t i = after;
    if (hasLength) {
        const size_t close = MatchParen(t, after, defEnd);
        for (size_t k = after; k <= close && k < defEnd; ++k)
            t[k].text.clear();
        i = close + 1;
    }
    for (; i < defEnd; ++i) {
        if (t[i].IsWord("CONSTRAINT")) {
            const size_t name = NextSignificant(t, i + 1);
            const size_t next = name < defEnd ? NextSignificant(t, name + 1) : defEnd;
            if (next < defEnd && t[next].IsWord("PRIMARY")) {
                t[i].text.clear();
                t[name].text.clear();
            }
        } else if (t[i].IsWord("PRIMARY")) {
            const size_t key = NextSignificant(t, i + 1);
            if (key < defEnd && t[key].IsWord("KEY")) {
                t[i].text.clear();
                t[key].text.clear();
            }
        }
    }
}

bool IsNameToken(const CSqlToken& t)
{
    return t.kind == SqlTokenKind::Word || t.kind == SqlTokenKind::QuotedName || t.kind == SqlTokenKind::BracketName;
}

// CREATE TABLE name (col type ..., ...) and ALTER TABLE name ADD [COLUMN] col type.
void TranslateSchema(CSqlTokens& t, SqlDialect dialect, std::vector<bool>& typeTokens)
{
    const size_t n = t.size();
    const size_t first = NextSignificant(t, 0);
    const size_t second = first < n ? NextSignificant(t, first + 1) : n;
    if (second >= n || !t[second].IsWord("TABLE"))
        return;
    if (t[first].IsWord("ALTER")) {
        for (size_t i = second + 1; i < n; ++i) {
            if (!t[i].IsWord("ADD"))
                continue;
            size_t name = NextSignificant(t, i + 1);
            if (name < n && t[name].IsWord("COLUMN"))
                name = NextSignificant(t, name + 1);
            const size_t type = name < n ? NextSignificant(t, name + 1) : n;
            if (type < n && t[type].kind == SqlTokenKind::Word && IsNameToken(t[name]))
                MapColumnType(t, type, n, dialect, typeTokens);
            return;
        }
    } else if (t[first].IsWord("CREATE")) {
        size_t open = second + 1;
        while (open < n && !t[open].IsSymbol("("))
            ++open;
        if (open >= n)
            return;
        const size_t close = MatchParen(t, open, n);
        size_t defBegin = open + 1;
        while (defBegin < close) {
            // end of this definition: the next ',' at depth 1
            size_t defEnd = defBegin;
            int depth = 0;
            for (; defEnd < close; ++defEnd) {
                if (t[defEnd].IsSymbol("("))
                    ++depth;
                else if (t[defEnd].IsSymbol(")"))
                    --depth;
                else if (depth == 0 && t[defEnd].IsSymbol(","))
                    break;
            }
            const size_t name = NextSignificant(t, defBegin);
            const bool constraint = name < defEnd && (t[name].IsWord("CONSTRAINT") || t[name].IsWord("PRIMARY") ||
                                                      t[name].IsWord("UNIQUE") || t[name].IsWord("FOREIGN") ||
                                                      t[name].IsWord("CHECK"));
            if (!constraint && name < defEnd && IsNameToken(t[name])) {
                const size_t type = NextSignificant(t, name + 1);
                if (type < defEnd && t[type].kind == SqlTokenKind::Word)
                    MapColumnType(t, type, defEnd, dialect, typeTokens);
            }
            defBegin = defEnd + 1;
        }
        // The lasting row identity of the server driver (see GetRowIdExpression).
        if (dialect == SqlDialect::PostgreSql && close < n) {
            t.insert(t.begin() + static_cast<std::ptrdiff_t>(close),
                     CSqlToken{SqlTokenKind::Symbol, ", __zen_rowid BIGINT GENERATED ALWAYS AS IDENTITY UNIQUE"});
            typeTokens.insert(typeTokens.begin() + static_cast<std::ptrdiff_t>(close), true);
        }
    }
}

// The server's spelling of the library's words: every plain name quoted
// with its spelling (the server would fold it to lower case), LIKE without
// regard to letter case (ILIKE, and no escape character unless one is given,
// as on SQLite), COLLATE NOCASE by the case-blind collation zen_nocase.
// Words followed by '(' are functions, except after INTO, TABLE, ON,
// REFERENCES and IF NOT EXISTS, where they name the table of a column list.
void TranslatePgWords(CSqlTokens& t, const std::vector<bool>& typeTokens)
{
    size_t previous = t.size();
    for (size_t i = 0; i < t.size(); ++i) {
        CSqlToken& tok = t[i];
        if (!tok.IsSignificant() || tok.text.empty())
            continue; // emptied words are dropped parts of a column definition
        const size_t before = previous;
        previous = i;
        if (tok.kind == SqlTokenKind::QuotedName && tok.text.size() > 2 && tok.text.front() == '"') {
            tok.text = QuoteName(SchemaSpelling(TokenName(tok)));
            continue;
        }
        if (tok.kind != SqlTokenKind::Word || typeTokens[i])
            continue;
        if (tok.IsWord("LIKE")) {
            tok.text = "ILIKE";
            const size_t pattern = NextSignificant(t, i + 1);
            if (pattern < t.size() && t[pattern].kind == SqlTokenKind::String) {
                const size_t next = NextSignificant(t, pattern + 1);
                if (next >= t.size() || !t[next].IsWord("ESCAPE"))
                    t[pattern].text += " ESCAPE ''";
            }
            continue;
        }
        if (tok.IsWord("NOCASE") && before < t.size() && t[before].IsWord("COLLATE")) {
            tok.text = "zen_nocase";
            continue;
        }
        if (IsPgKeyword(tok))
            continue;
        const size_t next = NextSignificant(t, i + 1);
        if (next < t.size() && t[next].IsSymbol("(")) {
            const bool names = before < t.size() && (t[before].IsWord("INTO") || t[before].IsWord("TABLE") ||
                                                     t[before].IsWord("ON") || t[before].IsWord("REFERENCES") ||
                                                     t[before].IsWord("EXISTS"));
            if (!names)
                continue;
        }
        tok.kind = SqlTokenKind::QuotedName;
        tok.text = QuoteName(SchemaSpelling(tok.text));
    }
}

// A subquery in FROM or JOIN without a name gets one (__zen_sub1, ...): the
// server refuses it unnamed, SQLite and the desktop database do not. Runs
// after TranslatePgWords, when every name the statement gives is quoted and
// the words left are keywords (WHERE, ORDER, LEFT, ...) or AS.
void NameSubqueries(CSqlTokens& t)
{
    int named = 0;
    size_t previous = t.size();
    for (size_t i = 0; i < t.size(); ++i) {
        if (!t[i].IsSignificant())
            continue;
        const size_t before = previous;
        previous = i;
        if (!t[i].IsSymbol("(") || before >= t.size() || !(t[before].IsWord("FROM") || t[before].IsWord("JOIN")))
            continue;
        const size_t first = NextSignificant(t, i + 1);
        if (first >= t.size() || !t[first].IsWord("SELECT"))
            continue;
        const size_t close = MatchParen(t, i, t.size());
        if (close >= t.size())
            continue;
        const size_t after = NextSignificant(t, close + 1);
        const bool hasName = after < t.size() && (t[after].kind == SqlTokenKind::QuotedName ||
                                                  t[after].kind == SqlTokenKind::BracketName || t[after].IsWord("AS"));
        // A token of its own: the ')' stays a ')' for the rewrites after this.
        if (!hasName)
            t.insert(t.begin() + static_cast<std::ptrdiff_t>(close) + 1,
                     CSqlToken{SqlTokenKind::Symbol, " AS __zen_sub" + std::to_string(++named)});
    }
}

// True for the words that end an ORDER BY clause at its own level.
bool EndsOrderBy(const CSqlToken& t)
{
    return t.IsWord("LIMIT") || t.IsWord("OFFSET") || t.IsWord("FETCH") || t.IsWord("UNION") ||
           t.IsWord("EXCEPT") || t.IsWord("INTERSECT") || t.IsSymbol(")") || t.IsSymbol(";");
}

// NULLs sorted as SQLite sorts them: first in ascending, last in descending
// order (the server does the opposite by default). Each key of every ORDER BY
// that says nothing of NULLs gets NULLS FIRST or NULLS LAST.
void OrderNullsAsSqlite(CSqlTokens& t)
{
    for (size_t i = 0; i < t.size(); ++i) {
        if (!t[i].IsWord("ORDER"))
            continue;
        const size_t by = NextSignificant(t, i + 1);
        if (by >= t.size() || !t[by].IsWord("BY"))
            continue;
        int depth = 0;
        size_t last = t.size();   // last significant token of the current key
        bool descending = false;
        bool saysNulls = false;
        auto finishKey = [&]() {
            if (last < t.size() && !saysNulls)
                t[last].text += descending ? " NULLS LAST" : " NULLS FIRST";
            last = t.size();
            descending = false;
            saysNulls = false;
        };
        size_t k = by + 1;
        for (; k < t.size(); ++k) {
            const CSqlToken& tok = t[k];
            if (!tok.IsSignificant())
                continue;
            if (depth == 0 && (EndsOrderBy(tok) || tok.IsWord("ORDER")))
                break;
            if (tok.IsSymbol("("))
                ++depth;
            else if (tok.IsSymbol(")"))
                --depth;
            if (depth == 0 && tok.IsSymbol(",")) {
                finishKey();
                continue;
            }
            if (depth == 0) {
                if (tok.IsWord("DESC"))
                    descending = true;
                else if (tok.IsWord("ASC"))
                    descending = false;
                else if (tok.IsWord("NULLS"))
                    saysNulls = true;
            }
            last = k;
        }
        finishKey();
        i = by;
    }
}

// Parentheses nested deeper than this are refused: the rewrite below
// descends once per level, and no statement of the library comes near it.
constexpr size_t kMaxNesting = 100;

// For each '(' the index of its ')' (tokens.size() when it has none); other
// entries are unused. Throws CDBException when the nesting is too deep.
std::vector<size_t> MatchAllParens(const CSqlTokens& t, const CString& sql)
{
    std::vector<size_t> match(t.size(), t.size());
    std::vector<size_t> open;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].IsSymbol("(")) {
            open.push_back(i);
            if (open.size() > kMaxNesting) {
                CString reason;
                reason.Format("The statement nests parentheses deeper than %d levels.", static_cast<int>(kMaxNesting));
                ThrowSqlLayerError(SQL_ERROR, reason, sql);
            }
        } else if (t[i].IsSymbol(")") && !open.empty()) {
            match[open.back()] = i;
            open.pop_back();
        }
    }
    return match;
}

// True when a SELECT stands anywhere in tokens [b, e), nested or not.
bool HoldsSelect(const CSqlTokens& t, size_t b, size_t e)
{
    for (size_t i = b; i < e; ++i)
        if (t[i].IsWord("SELECT"))
            return true;
    return false;
}

// The one ORDER BY key of a TOP that the index-friendly form can handle: a
// plain column name, optionally qualified, optionally ASC or DESC.
struct CTopKey {
    std::string name; // as written (translated), e.g. "Samples"."SampleID"
    bool descending = false;
};

bool ParseTopKey(const CSqlTokens& t, size_t b, size_t e, CTopKey& key)
{
    auto isName = [](const CSqlToken& tok) {
        if (tok.kind == SqlTokenKind::QuotedName)
            return true;
        // words the engine reads as values, not as columns
        return tok.kind == SqlTokenKind::Word && !tok.IsWord("NULL") && !tok.IsWord("CURRENT_DATE") &&
               !tok.IsWord("CURRENT_TIME") && !tok.IsWord("CURRENT_TIMESTAMP") && !tok.IsWord("ASC") &&
               !tok.IsWord("DESC") && !tok.IsWord("COLLATE") && !tok.IsWord("NULLS");
    };
    size_t i = NextSignificant(t, b);
    if (i >= e || !isName(t[i]))
        return false;
    key.name = t[i].text;
    i = NextSignificant(t, i + 1);
    if (i < e && t[i].IsSymbol(".")) {
        const size_t column = NextSignificant(t, i + 1);
        if (column >= e || !isName(t[column]))
            return false;
        key.name += "." + t[column].text;
        i = NextSignificant(t, column + 1);
    }
    key.descending = false;
    if (i < e && (t[i].IsWord("ASC") || t[i].IsWord("DESC"))) {
        key.descending = t[i].IsWord("DESC");
        i = NextSignificant(t, i + 1);
    }
    return i >= e;
}

// The SELECT TOP rewrite over the tokens of one statement.
class CTopRewriter {
public:
    CTopRewriter(const CSqlTokens& tokens, const CString& sql, SqlDialect dialect)
        : t(tokens), m_match(MatchAllParens(tokens, sql)), m_sql(sql), m_dialect(dialect)
    {
    }

    // One SELECT (or any other text) in [b, e): SELECT TOP n becomes the
    // index-friendly form below or a rank filter (with ORDER BY), or a LIMIT
    // (without).
    std::string Rewrite(size_t b, size_t e) const;

private:
    // The ')' that closes the '(' at open, or e when it is not closed before e.
    size_t Close(size_t open, size_t e) const { return m_match[open] < e ? m_match[open] : e; }
    std::string Plain(size_t b, size_t e) const;
    bool IndexFriendlyTop(const std::string& lead, const std::string& quantifier, const std::string& list,
                          size_t listBegin, size_t from, size_t order, size_t e, const std::string& n,
                          std::string& out) const;

    const CSqlTokens& t;
    std::vector<size_t> m_match;
    const CString& m_sql;
    SqlDialect m_dialect;
};

// SELECT TOP n list FROM ... [WHERE w] ORDER BY k [ASC|DESC], ties with the
// n-th row included, in a form the engine can answer from an index on k and
// stop early. With L = SELECT k AS __zen_key FROM ... [WHERE w] ORDER BY k d
// LIMIT n (the first n keys in that order):
//   rows with k at or before E = MIN(L) (DESC) / MAX(L) (ASC): E ignores
//   NULL keys, so it is the n-th key, or the last non-NULL key when L holds
//   NULLs (then every non-NULL key is in L), or NULL when L holds only NULLs;
//   plus the rows with a NULL key when L holds a NULL: NULL keys tie with one
//   another, so they are either all within the first n or all beyond.
// This is the rank rule whichever end the engine sorts NULLs to, and gives
// no rows for n = 0 or no rows at all. The two parts are a UNION ALL ordered
// by the key (the hidden column __zen_key), which the engine merges.
// The form repeats the select list and the FROM and WHERE clauses, so it is
// used only where they hold no sub-select: a nested TOP repeated at every
// level would multiply the statement's length with each level.
// Returns false (out untouched) for other shapes: DISTINCT, GROUP BY, HAVING,
// compound statements, several keys, expressions, positions, sub-selects.
bool CTopRewriter::IndexFriendlyTop(const std::string& lead, const std::string& quantifier, const std::string& list,
                                    size_t listBegin, size_t from, size_t order, size_t e, const std::string& n,
                                    std::string& out) const
{
    if (!quantifier.empty() && quantifier != "ALL ")
        return false;
    if (from >= order || !t[from].IsWord("FROM"))
        return false;
    CTopKey key;
    if (!ParseTopKey(t, NextSignificant(t, order + 1) + 1, e, key))
        return false;
    if (HoldsSelect(t, listBegin, order))
        return false;
    size_t where = order;
    int depth = 0;
    for (size_t k = from + 1; k < order; ++k) {
        if (t[k].IsSymbol("(")) {
            k = Close(k, order);
            if (k >= order)
                return false; // not closed before ORDER BY
        } else if (t[k].IsSymbol(")")) {
            --depth;
        } else if (depth == 0 && t[k].kind == SqlTokenKind::Word) {
            if (t[k].IsWord("WHERE") && where == order)
                where = k;
            else if (t[k].IsWord("GROUP") || t[k].IsWord("HAVING") || t[k].IsWord("WINDOW") ||
                     t[k].IsWord("UNION") || t[k].IsWord("EXCEPT") || t[k].IsWord("INTERSECT") ||
                     t[k].IsWord("LIMIT") || t[k].IsWord("OFFSET") || t[k].IsWord("WHERE"))
                return false;
        }
        if (depth < 0)
            return false;
    }
    const std::string source = Trim(Plain(from, where));
    const std::string filter = where < order ? Trim(Plain(where + 1, order)) : std::string();
    if (where < order && filter.empty())
        return false;
    const std::string& k = key.name;
    const std::string firstN = "SELECT " + k + " AS __zen_key " + source + (filter.empty() ? "" : " WHERE " + filter) +
                               " ORDER BY " + k + (key.descending ? " DESC" : "") + " LIMIT " + n;
    const std::string head = "SELECT " + quantifier + list + ", " + k + " AS __zen_key " + source + " WHERE " +
                             (filter.empty() ? "" : "(" + filter + ") AND ");
    out = lead + head + k + (key.descending ? " >= (SELECT MIN(" : " <= (SELECT MAX(") + "__zen_key) FROM (" +
          firstN + ")) UNION ALL " + head + k + " IS NULL AND EXISTS (SELECT 1 FROM (" + firstN +
          ") WHERE __zen_key IS NULL) ORDER BY __zen_key" + (key.descending ? " DESC" : "");
    return true;
}

// Copies tokens [b, e), translating every parenthesised part on its own
// (a sub-select may hold a TOP of its own).
std::string CTopRewriter::Plain(size_t b, size_t e) const
{
    std::string out;
    for (size_t i = b; i < e; ++i) {
        if (t[i].IsSymbol("(")) {
            const size_t close = Close(i, e);
            out += "(" + Rewrite(i + 1, close);
            if (close < e)
                out += ")";
            i = close;
        } else {
            out += t[i].text;
        }
    }
    return out;
}

std::string CTopRewriter::Rewrite(size_t b, size_t e) const
{
    const size_t select = NextSignificant(t, b);
    if (select >= e || !t[select].IsWord("SELECT"))
        return Plain(b, e);
    size_t i = NextSignificant(t, select + 1);
    std::string quantifier;
    if (i < e && (t[i].IsWord("DISTINCT") || t[i].IsWord("DISTINCTROW") || t[i].IsWord("ALL"))) {
        quantifier = t[i].IsWord("ALL") ? "ALL " : "DISTINCT ";
        i = NextSignificant(t, i + 1);
    }
    if (i >= e || !t[i].IsWord("TOP"))
        return Plain(b, e);
    const size_t count = NextSignificant(t, i + 1);
    if (count >= e || t[count].kind != SqlTokenKind::Number ||
        t[count].text.find_first_not_of("0123456789") != std::string::npos)
        ThrowSqlLayerError(SQL_ERROR, "SELECT TOP must be followed by a whole number of rows.", m_sql);
    const size_t listBegin = NextSignificant(t, count + 1);
    if (listBegin < e && t[listBegin].IsWord("PERCENT"))
        ThrowSqlLayerError(SQL_ERROR, "SELECT TOP ... PERCENT is not supported.", m_sql);

    // FROM and ORDER BY of this level; parenthesised parts are stepped over.
    size_t from = e;
    size_t order = e;
    int depth = 0;
    for (size_t k = listBegin; k < e; ++k) {
        if (t[k].IsSymbol("("))
            k = Close(k, e);
        else if (t[k].IsSymbol(")"))
            --depth;
        else if (depth == 0 && t[k].IsWord("FROM") && from == e)
            from = k;
        else if (depth == 0 && t[k].IsWord("ORDER")) {
            const size_t by = NextSignificant(t, k + 1);
            if (by < e && t[by].IsWord("BY"))
                order = k;
        }
    }
    const std::string lead = JoinSqlTokens(t, b, select);
    const std::string& n = t[count].text;
    if (order == e)
        return lead + "SELECT " + quantifier + Trim(Plain(listBegin, e)) + " LIMIT " + n;

    const size_t listEnd = from < order ? from : order;
    if (m_dialect == SqlDialect::PostgreSql) {
        // The server keeps the ties itself.
        return lead + "SELECT " + quantifier + Trim(Plain(listBegin, e)) + " FETCH FIRST " + n + " ROWS WITH TIES";
    }
    const std::string list = Trim(Plain(listBegin, listEnd));
    std::string fast;
    if (IndexFriendlyTop(lead, quantifier, list, listBegin, listEnd, order, e, n, fast))
        return fast;
    const std::string source = Trim(Plain(listEnd, order));
    const std::string keys = Trim(Plain(NextSignificant(t, order + 1) + 1, e));
    return lead + "SELECT * FROM (SELECT " + quantifier + list + ", RANK() OVER (ORDER BY " + keys +
           ") AS __zen_rank" + (source.empty() ? "" : " " + source) + ") AS __zen_top WHERE __zen_rank <= " + n +
           " ORDER BY __zen_rank";
}

} // namespace

CString TranslateSql(const CString& sql, SqlDialect dialect)
{
    return TranslateSqlTokens(TokenizeSql(sql.Str()), dialect, sql);
}

CString TranslateSqlTokens(CSqlTokens tokens, SqlDialect dialect, const CString& sql)
{
    // A trailing ';' and the blanks around it end the statement, nothing more.
    while (!tokens.empty() && tokens.back().kind == SqlTokenKind::Space)
        tokens.pop_back();
    if (!tokens.empty() && tokens.back().IsSymbol(";")) {
        tokens.pop_back();
        while (!tokens.empty() && tokens.back().kind == SqlTokenKind::Space)
            tokens.pop_back();
    }
    tokens = TranslateTokens(std::move(tokens), sql);
    std::vector<bool> typeTokens(tokens.size(), false);
    TranslateSchema(tokens, dialect, typeTokens);
    if (dialect == SqlDialect::PostgreSql) {
        TranslatePgWords(tokens, typeTokens);
        NameSubqueries(tokens);
        OrderNullsAsSqlite(tokens);
    }
    const CTopRewriter rewriter(tokens, sql, dialect);
    return CString(rewriter.Rewrite(0, tokens.size()));
}
