// Insertion-ordered string maps: a linked list of entries in insertion order
// plus a hash index from key to entry.
#include "framework/CMapStringToPtr.h"

#include "framework/internal/PtrList.h"

#include <unordered_map>
#include <utility>

namespace zen::detail {

struct Entry {
    CString key;
    void* value = nullptr;
};

class OrderedPtrMap {
public:
    LinkedList<Entry> list;
    std::unordered_map<CString, POSITION> index;
};

MapStringBase::MapStringBase() : m_map(std::make_unique<OrderedPtrMap>()) {}
MapStringBase::~MapStringBase() = default;

int MapStringBase::GetCount() const { return m_map->list.Count(); }

BOOL MapStringBase::RemoveKey(const char* key)
{
    auto it = m_map->index.find(CString(key));
    if (it == m_map->index.end())
        return FALSE;
    m_map->list.RemoveAt(it->second);
    m_map->index.erase(it);
    return TRUE;
}

void MapStringBase::RemoveAll()
{
    m_map->index.clear();
    m_map->list.RemoveAll();
}

POSITION MapStringBase::GetStartPosition() const { return m_map->list.Head(); }

BOOL MapStringBase::LookupRaw(const char* key, void*& value) const
{
    auto it = m_map->index.find(CString(key));
    if (it == m_map->index.end())
        return FALSE;
    value = LinkedList<Entry>::N(it->second)->value.value;
    return TRUE;
}

void*& MapStringBase::Slot(const char* key)
{
    CString k(key);
    auto it = m_map->index.find(k);
    if (it != m_map->index.end())
        return LinkedList<Entry>::N(it->second)->value.value;
    POSITION pos = m_map->list.AddTail(Entry{k, nullptr});
    m_map->index.emplace(std::move(k), pos);
    return LinkedList<Entry>::N(pos)->value.value;
}

void MapStringBase::NextRaw(POSITION& pos, CString& key, void*& value) const
{
    auto* node = LinkedList<Entry>::N(pos);
    key = node->value.key;
    value = node->value.value;
    pos = node->next;
}

} // namespace zen::detail

IMPLEMENT_DYNAMIC(CMapStringToPtr, CObject)
IMPLEMENT_DYNAMIC(CMapStringToOb, CObject)

CMapStringToPtr::CMapStringToPtr(int) {}
CMapStringToOb::CMapStringToOb(int) {}

BOOL CMapStringToOb::Lookup(const char* key, CObject*& value) const
{
    void* raw = nullptr;
    if (!LookupRaw(key, raw))
        return FALSE;
    value = static_cast<CObject*>(raw);
    return TRUE;
}

void CMapStringToOb::GetNextAssoc(POSITION& pos, CString& key, CObject*& value) const
{
    void* raw = nullptr;
    NextRaw(pos, key, raw);
    value = static_cast<CObject*>(raw);
}
