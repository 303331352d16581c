// The trailing literal of a lookup and the text work made from a pattern.
#include "framework/sql/internal/RecordsetTextCache.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// ASCII only, whatever the process's locale: the same statement is read the
// same way in every process (and without a library call per character).
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

bool IsAsciiAlnum(char c) { return IsAsciiDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsWordCharacter(char c) { return IsAsciiAlnum(c) || c == '_' || c == '.'; }

bool IsPlainTextCharacter(char c) { return IsAsciiAlnum(c) || c == ' ' || c == '.' || c == '_' || c == '-'; }

void ReplaceAll(std::string& text, std::string_view what, std::string_view by)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + by.size()))
        text.replace(at, what.size(), by);
}

void ReplaceAll(CString& text, std::string_view what, std::string_view by)
{
    if (text.Str().find(what) != std::string::npos)
        ReplaceAll(text.StdString(), what, by);
}

// Where what stands in text, as ReplaceAll replaces it: left to right, not
// overlapping.
std::vector<size_t> Occurrences(const std::string& text, std::string_view what)
{
    std::vector<size_t> at;
    if (what.empty())
        return at;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size()))
        at.push_back(p);
    return at;
}

// out (empty) made of from with value in place of the size characters at
// each position of at.
void Splice(CString& out, const CString& from, const std::vector<size_t>& at, size_t size, std::string_view value)
{
    const std::string& source = from.Str();
    std::string& s = out.StdString();
    if (at.empty()) {
        s = source;
        return;
    }
    s.reserve(source.size() + at.size() * value.size());
    size_t copied = 0;
    for (size_t p : at) {
        s.append(source, copied, p - copied).append(value);
        copied = p + size;
    }
    s.append(source, copied, std::string::npos);
}

} // namespace

void MarkStandIns(CSelectTextPattern& pattern)
{
    pattern.marked = false;
    if (!pattern.text)
        return;
    pattern.inSql = Occurrences(pattern.text->sql.Str(), pattern.standIn);
    pattern.inTable = Occurrences(pattern.text->table.Str(), pattern.standIn);
    pattern.inWithRowId = Occurrences(pattern.text->withRowId.Str(), pattern.standIn);
    pattern.marked = !pattern.standIn.empty();
}

bool FindComparedLiteral(std::string_view sql, CComparedLiteral& out)
{
    const size_t n = sql.size();
    bool found = false;
    bool afterEquals = false; // the last significant token was a plain '='
    size_t i = 0;
    // Index after the closing text searched from `from` (n when missing).
    const auto after = [&](size_t from, std::string_view closing) {
        const size_t at = sql.find(closing, from);
        return at == std::string_view::npos ? n : at + closing.size();
    };
    while (i < n) {
        const char c = sql[i];
        if (IsBlank(c)) {
            ++i;
            continue;
        }
        const bool compared = afterEquals;
        afterEquals = false;
        if (c == '\'') {
            // A text literal; '' stands for one quote.
            size_t j = i + 1;
            while (j < n && !(sql[j] == '\'' && (j + 1 >= n || sql[j + 1] != '\'')))
                j += sql[j] == '\'' ? 2 : 1;
            if (j >= n)
                break; // unterminated
            if (compared && IsComparedLiteralValue(sql.substr(i + 1, j - (i + 1)), true)) {
                out = {i + 1, j, true};
                found = true;
            }
            i = j + 1;
        } else if (c == '"' || c == '`') {
            i = after(i + 1, std::string_view(&sql[i], 1));
        } else if (c == '[') {
            i = after(i + 1, "]");
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            i = after(i + 2, "\n");
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            i = after(i + 2, "*/");
        } else if (IsWordCharacter(c)) {
            // A word or a number, taken whole (12.5, 0x1F and 1e3 are not
            // whole numbers).
            size_t j = i;
            bool digits = true;
            while (j < n && IsWordCharacter(sql[j])) {
                digits = digits && IsAsciiDigit(sql[j]);
                ++j;
            }
            if (compared && digits && IsComparedLiteralValue(sql.substr(i, j - i), false)) {
                out = {i, j, false};
                found = true;
            }
            i = j;
        } else {
            // A plain '=', not part of <=, >=, != or ==.
            afterEquals = c == '=' && !(i > 0 && std::strchr("<>!=", sql[i - 1]) != nullptr) &&
                          !(i + 1 < n && sql[i + 1] == '=');
            ++i;
        }
    }
    return found;
}

bool IsComparedLiteralValue(std::string_view value, bool text)
{
    if (text) {
        if (value.size() > 64)
            return false;
        for (const char c : value)
            if (!IsPlainTextCharacter(c))
                return false;
        return true;
    }
    if (value.empty() || value.size() > 18 || (value.size() > 1 && value[0] == '0'))
        return false;
    for (const char c : value)
        if (!IsAsciiDigit(c))
            return false;
    return true;
}

std::shared_ptr<const CSelectTextPattern> CRecordsetTextCache::FindRecentPattern(std::string_view given,
                                                                                 const std::string& filter,
                                                                                 const std::string& sort,
                                                                                 std::string_view& value)
{
    for (size_t i = 0; i < m_recentPatterns.size(); ++i) {
        const CRecentPattern& recent = m_recentPatterns[i];
        const size_t around = recent.head.size() + recent.tail.size();
        if (given.size() < around || given.compare(0, recent.head.size(), recent.head) != 0 ||
            given.compare(given.size() - recent.tail.size(), recent.tail.size(), recent.tail) != 0 ||
            recent.filter != filter || recent.sort != sort)
            continue;
        const std::string_view found = given.substr(recent.head.size(), given.size() - around);
        if (!IsComparedLiteralValue(found, recent.text))
            continue;
        value = found;
        std::shared_ptr<const CSelectTextPattern> pattern = recent.pattern;
        if (i != 0)
            std::rotate(m_recentPatterns.begin(), m_recentPatterns.begin() + static_cast<std::ptrdiff_t>(i),
                        m_recentPatterns.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return pattern;
    }
    return nullptr;
}

void CRecordsetTextCache::NoteRecentPattern(std::string_view given, const CComparedLiteral& literal,
                                            const std::string& filter, const std::string& sort,
                                            std::shared_ptr<const CSelectTextPattern> pattern)
{
    CRecentPattern recent;
    recent.head = given.substr(0, literal.begin);
    recent.tail = given.substr(literal.end);
    recent.text = literal.text;
    recent.filter = filter;
    recent.sort = sort;
    recent.pattern = std::move(pattern);
    if (m_recentPatterns.size() >= kRecentPatterns)
        m_recentPatterns.pop_back();
    m_recentPatterns.insert(m_recentPatterns.begin(), std::move(recent));
}

const char* PatternStandIn(bool text)
{
    return text ? "Zq8Xw3Vk7Jp2Hm" : "8765432109876543";
}

const CString& CPreparedSelectText::ReselectSql() const
{
    if (madeFrom && reselectSql.IsEmpty()) {
        reselectSql = madeFrom->text->reselectSql;
        ReplaceAll(reselectSql, madeFrom->standIn, madeWith);
    }
    return reselectSql;
}

const CString& CPreparedSelectText::WithRowId() const
{
    if (madeFrom && withRowId.IsEmpty() && !madeFrom->text->withRowId.IsEmpty()) {
        withRowId = madeFrom->text->withRowId;
        ReplaceAll(withRowId, madeFrom->standIn, madeWith);
    }
    return withRowId;
}

void NoteEngineParameters(CSelectTextPattern& pattern, bool made, CParameterisedSql parameterised,
                          bool standInIsText)
{
    pattern.standInSlots.clear();
    if (!made || !pattern.marked || pattern.inWithRowId.empty() ||
        parameterised.text.find(pattern.standIn) != std::string::npos)
        return;
    CSqlValue standIn;
    if (!LiteralValue(pattern.standIn, standInIsText, standIn))
        return;
    std::vector<size_t> slots;
    for (size_t k = 0; k < parameterised.values.size(); ++k)
        if (parameterised.values[k] == standIn)
            slots.push_back(k);
    // Every occurrence a parameter of its own: none left in the text (asked
    // above), none inside another value.
    if (slots.size() != pattern.inWithRowId.size())
        return;
    pattern.engine = std::move(parameterised);
    pattern.engine.spans.clear(); // where the literals stood in the pattern's text: of no use to an instance
    pattern.standInSlots = std::move(slots);
    pattern.standInIsText = standInIsText;
}

bool InstanceValues(const CSelectTextPattern& pattern, std::string_view value, std::vector<CSqlValue>& values)
{
    CSqlValue own;
    if (pattern.standInSlots.empty() || !LiteralValue(value, pattern.standInIsText, own))
        return false;
    values = pattern.engine.values;
    for (size_t slot : pattern.standInSlots)
        values[slot] = own;
    return true;
}

std::shared_ptr<CPreparedSelectText> InstantiatePatternText(std::shared_ptr<const CSelectTextPattern> pattern,
                                                            std::string_view value)
{
    const CPreparedSelectText& from = *pattern->text;
    auto text = std::make_shared<CPreparedSelectText>();
    text->singleTable = from.singleTable;
    text->columns = from.columns;
    const std::string_view standIn = pattern->standIn;
    if (pattern->marked) {
        Splice(text->sql, from.sql, pattern->inSql, standIn.size(), value);
        Splice(text->table, from.table, pattern->inTable, standIn.size(), value);
        // Left to WithRowId where the statement is prepared from the
        // pattern's parameterised engine text.
        if (pattern->standInSlots.empty() || from.reselectSql.IsEmpty())
            Splice(text->withRowId, from.withRowId, pattern->inWithRowId, standIn.size(), value);
    } else {
        text->sql = from.sql;
        text->table = from.table;
        text->withRowId = from.withRowId;
        ReplaceAll(text->sql, standIn, value);
        ReplaceAll(text->table, standIn, value);
        ReplaceAll(text->withRowId, standIn, value);
    }
    if (!from.reselectSql.IsEmpty()) {
        text->madeWith = value;
        text->madeFrom = std::move(pattern);
    }
    return text;
}

std::shared_ptr<CPreparedSelectText> InstantiatePattern(const CSelectTextPattern& pattern, std::string_view value)
{
    std::shared_ptr<CPreparedSelectText> text =
        InstantiatePatternText(std::make_shared<CSelectTextPattern>(pattern), value);
    text->ReselectSql();
    text->WithRowId();
    text->madeFrom.reset();
    text->madeWith.clear();
    text->tokens = pattern.text->tokens;
    const std::string_view standIn = pattern.standIn;
    for (CSqlToken& token : text->tokens)
        if (token.text.find(standIn) != std::string::npos)
            ReplaceAll(token.text, standIn, value);
    return text;
}

bool SameSelectText(const CPreparedSelectText& a, const CPreparedSelectText& b)
{
    if (a.sql != b.sql || a.singleTable != b.singleTable || a.table != b.table || a.withRowId != b.withRowId ||
        a.ReselectSql() != b.ReselectSql() || a.tokens.size() != b.tokens.size())
        return false;
    for (size_t i = 0; i < a.tokens.size(); ++i)
        if (a.tokens[i].kind != b.tokens[i].kind || a.tokens[i].text != b.tokens[i].text)
            return false;
    return true;
}
