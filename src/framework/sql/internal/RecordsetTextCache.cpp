// Lookup and replacement of the kept statement texts of the recordsets.
#include "framework/sql/internal/RecordsetTextCache.h"

#include <functional>
#include <string_view>

std::shared_ptr<const CPreparedSelectText> CRecordsetTextCache::Find(const std::string& key)
{
    // Texts that differ only in a value near their end are common (lookups by
    // key): the hash spares comparing them character by character.
    const size_t hash = std::hash<std::string_view>()(key);
    for (size_t i = m_entries.size(); i-- > 0;) {
        if (m_entries[i].hash != hash || m_entries[i].key != key)
            continue;
        std::shared_ptr<const CPreparedSelectText> text = m_entries[i].text;
        if (i + 1 != m_entries.size()) {
            CEntry used = std::move(m_entries[i]);
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
            m_entries.push_back(std::move(used));
        }
        return text;
    }
    return nullptr;
}

void CRecordsetTextCache::Add(std::string key, std::shared_ptr<const CPreparedSelectText> entry)
{
    const size_t hash = std::hash<std::string_view>()(key);
    m_entries.push_back({hash, std::move(key), std::move(entry)});
    if (m_entries.size() > Capacity)
        m_entries.erase(m_entries.begin());
}
