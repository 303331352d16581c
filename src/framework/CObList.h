// CObList: an ordered list of CObject pointers with POSITION iteration.
// The list never owns its elements: whoever fills it deletes what it holds.
#pragma once

#include "framework/CObject.h"

#include <memory>

namespace zen::detail {
template <typename T>
class LinkedList;
}

class CObList : public CObject {
    DECLARE_DYNAMIC(CObList)
public:
    // Nodes are taken blockSize at a time (1 when less is given); a list
    // gives its blocks back when it becomes empty.
    explicit CObList(int blockSize = 10);
    ~CObList() override;
    CObList(const CObList&) = delete;
    CObList& operator=(const CObList&) = delete;

    int GetCount() const;
    int GetSize() const { return GetCount(); }
    BOOL IsEmpty() const { return GetCount() == 0 ? TRUE : FALSE; }

    // Head and tail elements; the list must not be empty.
    CObject*& GetHead();
    CObject* GetHead() const;
    CObject*& GetTail();
    CObject* GetTail() const;
    // Removes and returns the head or tail element; the list must not be empty.
    CObject* RemoveHead();
    CObject* RemoveTail();

    POSITION AddHead(CObject* element);
    POSITION AddTail(CObject* element);
    // Appends every element of another list (pointers only).
    void AddTail(const CObList* other);
    void RemoveAll();

    POSITION GetHeadPosition() const;
    POSITION GetTailPosition() const;
    // Returns the element at pos and moves pos to the next (or previous)
    // element, or to nullptr at the end.
    CObject*& GetNext(POSITION& pos);
    CObject* GetNext(POSITION& pos) const;
    CObject*& GetPrev(POSITION& pos);
    CObject* GetPrev(POSITION& pos) const;

    CObject*& GetAt(POSITION pos);
    CObject* GetAt(POSITION pos) const;
    void SetAt(POSITION pos, CObject* element);
    void RemoveAt(POSITION pos);
    POSITION InsertBefore(POSITION pos, CObject* element);
    POSITION InsertAfter(POSITION pos, CObject* element);

    // Position of the element with the zero-based index; nullptr when out of range.
    POSITION FindIndex(int index) const;
    // Position of the first occurrence of the pointer after startAfter
    // (from the head when nullptr); nullptr when absent.
    POSITION Find(CObject* element, POSITION startAfter = nullptr) const;

private:
    std::unique_ptr<zen::detail::LinkedList<CObject*>> m_list;
};
