// The text work of opening a recordset, kept per connection for statements
// opened again with the same text: the completed statement, its shape, the
// engine's text with the row identity and the text that reads one row again.
// Only text derived from text is kept; the result columns are read from the
// prepared statement at every open, so a changed schema is seen at once.
#pragma once

#include "framework/CString.h"
#include "framework/sql/internal/SqlTokens.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct CPreparedSelectText {
    CString sql;          // the statement as run, before translation (GetSQL)
    CSqlTokens tokens;    // its tokens, for the translation without identity
    bool singleTable = false;
    CString table;        // the single table's name, unquoted
    CString withRowId;    // engine text selecting the row identity first (single table only)
    CString reselectSql;  // one row by identity, not yet translated (single table only)
    // reselectSql translated for the engine, filled by the first recordset
    // that reads a row again (most reads never do).
    mutable CString reselectEngineSql;
};

// The most recently used entries of one connection, keyed by the statement
// text given to Open with the recordset's filter and sort. Emptied when the
// connection closes (the identity expression belongs to its engine).
class CRecordsetTextCache {
public:
    static constexpr size_t Capacity = 32;

    // The entry for key, or nullptr.
    std::shared_ptr<const CPreparedSelectText> Find(const std::string& key);
    // Keeps entry under key, dropping the least recently used beyond Capacity.
    void Add(std::string key, std::shared_ptr<const CPreparedSelectText> entry);
    void Clear() noexcept { m_entries.clear(); }
    size_t Size() const { return m_entries.size(); }

private:
    struct CEntry {
        size_t hash;
        std::string key;
        std::shared_ptr<const CPreparedSelectText> text;
    };
    std::vector<CEntry> m_entries; // least recently used first
};
