// CMapStringToPtr and CMapStringToOb: maps from text keys to pointers.
// Iteration order is the order in which keys were first inserted (assigning
// to an existing key keeps its place); the search-clause builder emits its
// criteria in this order, so it is part of the contract. Maps never own
// the values they hold.
#pragma once

#include "framework/CObject.h"
#include "framework/CString.h"

#include <memory>

namespace zen::detail {

class OrderedPtrMap;

// Shared implementation of both maps, on untyped pointers.
class MapStringBase : public CObject {
public:
    ~MapStringBase() override;
    MapStringBase(const MapStringBase&) = delete;
    MapStringBase& operator=(const MapStringBase&) = delete;

    int GetCount() const;
    int GetSize() const { return GetCount(); }
    BOOL IsEmpty() const { return GetCount() == 0 ? TRUE : FALSE; }
    // Removes the key; FALSE when it was not present.
    BOOL RemoveKey(const char* key);
    void RemoveAll();
    // First position of an iteration; nullptr for an empty map.
    POSITION GetStartPosition() const;

protected:
    MapStringBase();
    BOOL LookupRaw(const char* key, void*& value) const;
    void*& Slot(const char* key);
    void NextRaw(POSITION& pos, CString& key, void*& value) const;

private:
    std::unique_ptr<OrderedPtrMap> m_map;
};

} // namespace zen::detail

class CMapStringToPtr : public zen::detail::MapStringBase {
    DECLARE_DYNAMIC(CMapStringToPtr)
public:
    explicit CMapStringToPtr(int blockSize = 10);

    // TRUE and the value when the key is present; value untouched otherwise.
    BOOL Lookup(const char* key, void*& value) const { return LookupRaw(key, value); }
    // Adds the key or replaces its value (keeping its place in the order).
    void SetAt(const char* key, void* value) { Slot(key) = value; }
    // The value slot of the key, added with nullptr when absent.
    void*& operator[](const char* key) { return Slot(key); }
    // Returns the entry at pos and advances pos (nullptr after the last).
    void GetNextAssoc(POSITION& pos, CString& key, void*& value) const { NextRaw(pos, key, value); }
};

class CMapStringToOb : public zen::detail::MapStringBase {
    DECLARE_DYNAMIC(CMapStringToOb)
public:
    explicit CMapStringToOb(int blockSize = 10);

    BOOL Lookup(const char* key, CObject*& value) const;
    void SetAt(const char* key, CObject* value) { Slot(key) = value; }
    void GetNextAssoc(POSITION& pos, CString& key, CObject*& value) const;
};
