// Literal parameterisation of WHERE clauses: a walk over the statement's
// tokens that keeps, per parenthesis level, the clause it is in (FROM, WHERE
// or another), whether literals may change there at all, whether it is an
// IN (...) list, and whether a BETWEEN waits for its AND.
#include "framework/sql/internal/SqlLiterals.h"

#include "framework/sql/internal/SqlTokens.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <cstring>

namespace {

enum class Clause { Other, From, Where, Values, Set };

struct CLevel {
    // A sub-select in a select list names its result column after its own
    // text: only levels opened inside FROM and WHERE (or the top) may change.
    bool allowed = true;
    Clause clause = Clause::Other;
    bool inList = false;                    // the parenthesis opened an IN list
    bool betweenOpen = false;               // after BETWEEN, before its AND
    const CSqlToken* betweenAnd = nullptr; // the AND of the last BETWEEN
    bool valuesRow = false;                 // the parenthesis opened a row of VALUES
};

bool IsGlued(const CSqlToken& t)
{
    return t.kind == SqlTokenKind::Word || t.kind == SqlTokenKind::Number || t.kind == SqlTokenKind::String ||
           t.kind == SqlTokenKind::QuotedName || t.kind == SqlTokenKind::BracketName ||
           t.kind == SqlTokenKind::HashDate;
}

// The keyword a word token spells, upper-cased into buffer; empty for
// words longer than any keyword looked for here.
std::string_view Keyword(const CSqlToken& t, char (&buffer)[12])
{
    if (t.kind != SqlTokenKind::Word || t.text.size() >= sizeof buffer)
        return std::string_view();
    for (size_t i = 0; i < t.text.size(); ++i) {
        const char c = t.text[i];
        buffer[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return std::string_view(buffer, t.text.size());
}

// Words that end a WHERE clause at its own level.
bool EndsWhere(std::string_view word)
{
    static const std::string_view words[] = {"GROUP",  "ORDER",     "LIMIT", "HAVING", "UNION", "EXCEPT", "INTERSECT",
                                             "WINDOW", "RETURNING", "ON",    "SELECT", "SET",   "DO"};
    for (std::string_view w : words)
        if (word == w)
            return true;
    return false;
}

bool IsComparison(const CSqlToken& t)
{
    if (t.kind == SqlTokenKind::Symbol) {
        static const std::string_view symbols[] = {"=", "==", "<>", "!=", "<", "<=", ">", ">="};
        for (std::string_view s : symbols)
            if (t.text == s)
                return true;
        return false;
    }
    char buffer[12];
    const std::string_view word = Keyword(t, buffer);
    return word == "LIKE" || word == "GLOB" || word == "IS" || word == "BETWEEN";
}

// The value of a '...' literal ('' stands for one quote); false when the
// literal is not closed.
bool TextValue(const std::string& token, std::string& value)
{
    if (token.size() < 2 || token.front() != '\'' || token.back() != '\'')
        return false;
    value.clear();
    for (size_t i = 1; i + 1 < token.size(); ++i) {
        if (token[i] == '\'') {
            if (i + 2 >= token.size() || token[i + 1] != '\'')
                return false;
            ++i;
        }
        value += token[i];
    }
    return true;
}

bool IntegerValue(const std::string& token, int64_t& value)
{
    if (token.empty() || token.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(token.c_str(), &end, 10);
    if (errno == ERANGE || end != token.c_str() + token.size())
        return false;
    value = v;
    return true;
}

bool HasOwnParameters(const CSqlTokens& tokens)
{
    for (const CSqlToken& t : tokens)
        if (t.IsSymbol("?") || t.IsSymbol(":") || t.IsSymbol("@") || t.IsSymbol("$"))
            return true;
    return false;
}

} // namespace

bool ParameteriseLiterals(std::string_view sql, char markerPrefix, CParameterisedSql& out, bool rowValues)
{
    CSqlTokens tokens = TokenizeSql(sql);
    const size_t first = NextSignificant(tokens, 0);
    if (first >= tokens.size() || !(tokens[first].IsWord("SELECT") || tokens[first].IsWord("INSERT") ||
                                    tokens[first].IsWord("UPDATE") || tokens[first].IsWord("DELETE")))
        return false;
    if (HasOwnParameters(tokens))
        return false;

    std::vector<CSqlValue> values;
    std::vector<CLiteralSpan> spans;
    std::vector<CLevel> levels(1);
    const CSqlToken* previous = nullptr; // previous significant token
    size_t offset = 0;                   // of the token in sql (tokens give the text back whole)
    for (size_t i = 0; i < tokens.size(); ++i) {
        CSqlToken& t = tokens[i];
        const size_t at = offset;
        offset += t.text.size();
        if (!t.IsSignificant())
            continue;
        CLevel& level = levels.back();
        char buffer[12];
        const std::string_view word = Keyword(t, buffer);
        if (t.IsSymbol("(")) {
            CLevel inner;
            inner.allowed = level.allowed && (level.clause == Clause::Where || level.clause == Clause::From);
            inner.clause = level.clause == Clause::Where ? Clause::Where : Clause::Other;
            inner.inList = previous && previous->IsWord("IN");
            inner.valuesRow = rowValues && level.allowed && level.clause == Clause::Values && previous &&
                              (previous->IsWord("VALUES") || previous->IsSymbol(","));
            levels.push_back(inner);
        } else if (t.IsSymbol(")")) {
            if (levels.size() > 1)
                levels.pop_back();
        } else if (rowValues && (word == "VALUES" || word == "SET")) {
            level = CLevel{level.allowed, word == "SET" ? Clause::Set : Clause::Values, level.inList, false, nullptr};
        } else if (word == "WHERE") {
            level = CLevel{level.allowed, Clause::Where, level.inList, false, nullptr};
        } else if (word == "FROM" || word == "JOIN") {
            level = CLevel{level.allowed, Clause::From, level.inList, false, nullptr};
        } else if (!word.empty() && EndsWhere(word)) {
            level = CLevel{level.allowed, Clause::Other, level.inList, false, nullptr};
        } else if (word == "BETWEEN") {
            level.betweenOpen = true;
        } else if (word == "AND" && level.betweenOpen) {
            level.betweenOpen = false;
            level.betweenAnd = &t;
        } else if ((t.kind == SqlTokenKind::String || t.kind == SqlTokenKind::Number) && previous &&
                   ((level.allowed && (level.clause == Clause::Where || level.clause == Clause::Set)) ||
                    level.valuesRow)) {
            const bool expressionPlace =
                level.valuesRow ? previous->IsSymbol("(") || previous->IsSymbol(",")
                : level.clause == Clause::Set
                    ? previous->IsSymbol("=")
                    : IsComparison(*previous) || previous == level.betweenAnd ||
                          (level.inList && (previous->IsSymbol("(") || previous->IsSymbol(",")));
            const bool glued =
                (i > 0 && IsGlued(tokens[i - 1])) || (i + 1 < tokens.size() && IsGlued(tokens[i + 1]));
            std::string text;
            int64_t integer = 0;
            if (!expressionPlace || glued) {
                // stays as written
            } else if (t.kind == SqlTokenKind::String && TextValue(t.text, text)) {
                values.push_back(CSqlValue::Text(std::move(text)));
                spans.push_back({at + 1, at + t.text.size() - 1, true});
                t.text = markerPrefix + std::to_string(values.size());
            } else if (t.kind == SqlTokenKind::Number && IntegerValue(t.text, integer)) {
                values.push_back(CSqlValue::Integer(integer));
                spans.push_back({at, at + t.text.size(), false});
                t.text = markerPrefix + std::to_string(values.size());
            }
        }
        previous = &t;
    }
    if (values.empty())
        return false;
    out.text = JoinSqlTokens(tokens, 0, tokens.size());
    out.values = std::move(values);
    out.spans = std::move(spans);
    return true;
}

bool LiteralValue(std::string_view value, bool text, CSqlValue& out)
{
    if (text) {
        // Without quotes the text is its own value (no '' to undo).
        if (value.find('\'') != std::string_view::npos)
            return false;
        out = CSqlValue::Text(std::string(value));
        return true;
    }
    int64_t integer = 0;
    if (!IntegerValue(std::string(value), integer))
        return false;
    out = CSqlValue::Integer(integer);
    return true;
}

bool ParameteriseLike(const CParameterisedTemplate& known, std::string_view sql, CParameterisedSql& out,
                      bool& changed)
{
    const std::string_view old = known.sql;
    if (sql == old) {
        out = known.result;
        changed = known.changed;
        return true;
    }
    if (!known.changed)
        return false;
    // The texts must agree before a literal's value and after it; the part
    // between is the new value.
    const std::vector<CLiteralSpan>& spans = known.result.spans;
    for (size_t k = 0; k < spans.size(); ++k) {
        const CLiteralSpan& span = spans[k];
        // The new value runs from the same start to the same distance from
        // the end; neighbours unchanged, so the statement's tokens are the
        // same but for this value.
        const size_t tail = old.size() - span.end;
        if (sql.size() < span.begin + tail)
            continue;
        if (std::memcmp(old.data(), sql.data(), span.begin) != 0)
            return false; // differs before this literal: also before every later one
        if (std::memcmp(old.data() + span.end, sql.data() + (sql.size() - tail), tail) != 0)
            continue;
        CSqlValue replaced;
        if (!LiteralValue(sql.substr(span.begin, sql.size() - tail - span.begin), span.text, replaced))
            return false;
        out = known.result;
        out.values[k] = std::move(replaced);
        const ptrdiff_t shift = static_cast<ptrdiff_t>(sql.size()) - static_cast<ptrdiff_t>(old.size());
        out.spans[k].end = static_cast<size_t>(static_cast<ptrdiff_t>(span.end) + shift);
        for (size_t j = k + 1; j < out.spans.size(); ++j) {
            out.spans[j].begin = static_cast<size_t>(static_cast<ptrdiff_t>(out.spans[j].begin) + shift);
            out.spans[j].end = static_cast<size_t>(static_cast<ptrdiff_t>(out.spans[j].end) + shift);
        }
        changed = true;
        return true;
    }
    return false;
}
