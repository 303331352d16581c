// The text work of opening a recordset, kept per connection for statements
// opened again with the same text: the completed statement, its shape, the
// engine's text with the row identity and the text that reads one row again.
// Only text derived from text is kept. The result columns are those of the
// prepared statement: an open reads their names again unless the statement
// vouches that they are the same as at the open that read them last (see
// CSqlStatement::GetColumnsStamp), so a changed schema is seen at once.
// Lookups that differ only in the value they compare with ("... WHERE
// [ID]=17", "... WHERE [Name]='S-12' COLLATE NOCASE") share one pattern of
// that work.
#pragma once

#include "framework/CString.h"
#include "framework/sql/internal/SqlLiterals.h"
#include "framework/sql/internal/SqlTokens.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <utility>
#include <vector>

struct CBoundField; // RecordsetState.h
using CBoundFieldList = std::vector<CBoundField>;

struct CSelectTextPattern; // below

// Which result columns of a statement an open binds (in order) and which one
// carries the row identity, as read from the statement with the given stamp.
struct CResultColumns {
    uint64_t preparation = 0;
    uint64_t version = 0;
    std::vector<int> visible;
    int rowIdColumn = -1; // the identity's column, -1 when the statement has none
};

struct CPreparedSelectText {
    CString sql;          // the statement as run, before translation (GetSQL)
    CSqlTokens tokens;    // its tokens, for the translation without identity (empty: not yet made)
    bool singleTable = false;
    CString table;        // the single table's name, unquoted
    // Engine text selecting the row identity first (single table only). A
    // text made for an open from a pattern whose engine text is kept
    // parameterised leaves it to WithRowId (see CSelectTextPattern::engine).
    mutable CString withRowId;
    // One row by identity, not yet translated (single table only). A text
    // made for an open from a pattern leaves it to ReselectSql: most opens
    // never read a row again.
    mutable CString reselectSql;
    // reselectSql translated for the engine, filled by the first recordset
    // that reads a row again (most reads never do).
    mutable CString reselectEngineSql;
    // The pattern and value an open's text was made from (InstantiatePatternText).
    std::shared_ptr<const CSelectTextPattern> madeFrom;
    std::string madeWith;
    // The result columns the last open of this text (or of a text made from
    // the same pattern) read; shared with the pattern's texts. Null: not kept.
    std::shared_ptr<CResultColumns> columns;
    // withRowId as the engine parameterises it for reuse
    // (CSqlConnection::ParameteriseForReuse), worked out once for a text
    // kept in the cache: its opens are prepared from it without the engine
    // text being parameterised again. engineKnown false: not so.
    CParameterisedSql engine;
    bool engineKnown = false;

    // reselectSql, made from the pattern on first use.
    const CString& ReselectSql() const;
    // withRowId, made from the pattern on first use.
    const CString& WithRowId() const;
};

// The last value a statement compares with by a plain '=' ("= 17",
// "= 'S-12'", blanks allowed around '='): a whole number (digits only, no
// leading zero, at most 18 of them) or a text literal of at most 64 letters,
// digits, blanks, '.', '_' or '-'. Names, comments and other literals are
// passed over. begin/end delimit the number or the text between the quotes.
struct CComparedLiteral {
    size_t begin = 0;
    size_t end = 0;
    bool text = false;
};
// False when the statement has no such value.
bool FindComparedLiteral(std::string_view sql, CComparedLiteral& out);
// Whether value (a number's digits, or a text's letters between the quotes)
// is one that FindComparedLiteral takes.
bool IsComparedLiteralValue(std::string_view value, bool text);

// The text work of a statement worked out once with a stand-in value in place
// of its compared literal. usable is false when that work did not carry the
// value through unchanged (then every such statement is worked out itself).
struct CSelectTextPattern {
    std::shared_ptr<const CPreparedSelectText> text;
    std::string standIn; // the stand-in value as it appears in the texts
    bool usable = false;
    // Where the stand-in stands in text's sql, table and withRowId, found
    // once by MarkStandIns (marked false: searched at each instance).
    bool marked = false;
    std::vector<size_t> inSql;
    std::vector<size_t> inTable;
    std::vector<size_t> inWithRowId;
    // text's withRowId as the engine parameterises it for reuse
    // (CSqlConnection::ParameteriseForReuse), when each occurrence of the
    // stand-in became the value of a parameter: at standInSlots. An instance
    // is then prepared from it with its own value in those slots, without
    // its engine text being made and parameterised again (see
    // NoteEngineParameters). No slots: not so.
    CParameterisedSql engine;
    std::vector<size_t> standInSlots;
    bool standInIsText = false;
};
// Fills pattern's engine and standInSlots from parameterised, what the
// engine made of the pattern's withRowId (made: it parameterised it), when
// the stand-in stands in parameters alone; standInIsText: the stand-in is a
// text literal's value.
void NoteEngineParameters(CSelectTextPattern& pattern, bool made, CParameterisedSql parameterised,
                          bool standInIsText);
// The values by which an instance of pattern made with value is prepared
// from pattern.engine.text; false when the pattern has no such text or value
// cannot be such a value.
bool InstanceValues(const CSelectTextPattern& pattern, std::string_view value, std::vector<CSqlValue>& values);
// Finds where pattern's stand-in stands in its texts, for instances made by
// putting the value in those places.
void MarkStandIns(CSelectTextPattern& pattern);
// The stand-in value for a number or a text literal.
const char* PatternStandIn(bool text);
// pattern's text work with every occurrence of its stand-in replaced by value.
std::shared_ptr<CPreparedSelectText> InstantiatePattern(const CSelectTextPattern& pattern, std::string_view value);
// The same without the tokens (left empty) and with the text that reads one
// row again made only when asked (ReselectSql), for an open: most opens never
// look at them, and the tokens of the statement are those of TokenizeSql(sql).
std::shared_ptr<CPreparedSelectText> InstantiatePatternText(std::shared_ptr<const CSelectTextPattern> pattern,
                                                            std::string_view value);
// Whether two text works are the same (all but the lazily filled reselectEngineSql).
bool SameSelectText(const CPreparedSelectText& a, const CPreparedSelectText& b);

// The most recently used entries of one connection, keyed by the statement
// text given to Open with the recordset's filter and sort (patterns: by that
// key with the compared literal left out). Emptied when the connection
// closes (the identity expression belongs to its engine).
class CRecordsetTextCache {
public:
    static constexpr size_t Capacity = 32;

    // The entry for key, or nullptr.
    std::shared_ptr<const CPreparedSelectText> Find(const std::string& key) { return m_texts.Find(key); }
    // Keeps entry under key, dropping the least recently used beyond Capacity.
    void Add(std::string key, std::shared_ptr<const CPreparedSelectText> entry)
    {
        m_texts.Add(std::move(key), std::move(entry));
    }
    // The same for patterns.
    std::shared_ptr<const CSelectTextPattern> FindPattern(const std::string& key) { return m_patterns.Find(key); }
    void AddPattern(std::string key, std::shared_ptr<const CSelectTextPattern> pattern)
    {
        m_patterns.Add(std::move(key), std::move(pattern));
    }
    // The usable pattern of statement `given` (with filter and sort) when
    // given is the statement of one of the last few patterns used with
    // another compared value in its place, or nullptr. Found by comparing the
    // texts around the value, without reading the statement's tokens: the
    // same text before and after a value of the same kind reads the same, so
    // FindComparedLiteral would find the value there and lead to the same
    // pattern. value: the value in given.
    std::shared_ptr<const CSelectTextPattern> FindRecentPattern(std::string_view given, const std::string& filter,
                                                                const std::string& sort, std::string_view& value);
    // Keeps usable pattern `pattern` of statement `given`, whose compared
    // value is at `literal`, for FindRecentPattern.
    void NoteRecentPattern(std::string_view given, const CComparedLiteral& literal, const std::string& filter,
                           const std::string& sort, std::shared_ptr<const CSelectTextPattern> pattern);

    // The bound fields that the recordset class `type` named at its last open
    // on this connection, or nullptr (see NameFields in Recordset.cpp);
    // offsets: where each field's variable lies in an object of the class,
    // for a class that promises fixed fields (see
    // CRecordset::GetFixedFieldExchange), else null.
    struct CKnownFields {
        std::type_index type;
        std::shared_ptr<const CBoundFieldList> fields;
        std::shared_ptr<const std::vector<size_t>> offsets;
    };
    const CKnownFields* FindFields(std::type_index type) const
    {
        for (const CKnownFields& known : m_fields)
            if (known.type == type)
                return &known;
        return nullptr;
    }
    // Keeps fields (and offsets) for type, replacing its earlier list; at
    // most Capacity classes, the earliest kept dropped first.
    void AddFields(std::type_index type, std::shared_ptr<const CBoundFieldList> fields,
                   std::shared_ptr<const std::vector<size_t>> offsets = nullptr)
    {
        for (CKnownFields& known : m_fields)
            if (known.type == type) {
                known.fields = std::move(fields);
                known.offsets = std::move(offsets);
                return;
            }
        if (m_fields.size() >= Capacity)
            m_fields.erase(m_fields.begin());
        m_fields.push_back({type, std::move(fields), std::move(offsets)});
    }
    size_t FieldListCount() const { return m_fields.size(); }

    void Clear() noexcept
    {
        m_texts.Clear();
        m_patterns.Clear();
        m_recentPatterns.clear();
        m_fields.clear();
    }
    size_t Size() const { return m_texts.Size(); }
    size_t PatternCount() const { return m_patterns.Size(); }
    // Patterns whose stand-in came through the text work unchanged.
    size_t UsablePatternCount() const
    {
        return m_patterns.Count([](const CSelectTextPattern& p) { return p.usable; });
    }

private:
    template <class T>
    class CRecentlyUsed {
    public:
        std::shared_ptr<const T> Find(const std::string& key);
        void Add(std::string key, std::shared_ptr<const T> entry);
        void Clear() noexcept { m_entries.clear(); }
        size_t Size() const { return m_entries.size(); }
        template <class Predicate>
        size_t Count(Predicate predicate) const
        {
            size_t n = 0;
            for (const CEntry& e : m_entries)
                n += predicate(*e.value) ? 1 : 0;
            return n;
        }

    private:
        struct CEntry {
            size_t hash;
            std::string key;
            std::shared_ptr<const T> value;
        };
        std::vector<CEntry> m_entries; // least recently used first
    };
    CRecentlyUsed<CPreparedSelectText> m_texts;
    CRecentlyUsed<CSelectTextPattern> m_patterns;
    struct CRecentPattern {
        std::string head; // the statement up to its compared value
        std::string tail; // and after it
        bool text = false;
        std::string filter;
        std::string sort;
        std::shared_ptr<const CSelectTextPattern> pattern;
    };
    static constexpr size_t kRecentPatterns = 4;
    std::vector<CRecentPattern> m_recentPatterns; // most recently used first
    std::vector<CKnownFields> m_fields;
};

template <class T>
std::shared_ptr<const T> CRecordsetTextCache::CRecentlyUsed<T>::Find(const std::string& key)
{
    // Texts that differ only in a value near their end are common (lookups by
    // key): the hash spares comparing them character by character.
    const size_t hash = std::hash<std::string_view>()(key);
    for (size_t i = m_entries.size(); i-- > 0;) {
        if (m_entries[i].hash != hash || m_entries[i].key != key)
            continue;
        std::shared_ptr<const T> value = m_entries[i].value;
        if (i + 1 != m_entries.size()) {
            CEntry used = std::move(m_entries[i]);
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
            m_entries.push_back(std::move(used));
        }
        return value;
    }
    return nullptr;
}

template <class T>
void CRecordsetTextCache::CRecentlyUsed<T>::Add(std::string key, std::shared_ptr<const T> entry)
{
    const size_t hash = std::hash<std::string_view>()(key);
    m_entries.push_back({hash, std::move(key), std::move(entry)});
    if (m_entries.size() > Capacity)
        m_entries.erase(m_entries.begin());
}
