// CStringList: an ordered list of strings with POSITION iteration, holding
// copies of the strings it is given.
#pragma once

#include "framework/CObject.h"
#include "framework/CString.h"

#include <memory>

namespace zen::detail {
template <typename T>
class LinkedList;
}

class CStringList : public CObject {
    DECLARE_DYNAMIC(CStringList)
public:
    explicit CStringList(int blockSize = 10);
    ~CStringList() override;
    CStringList(const CStringList& other);
    CStringList& operator=(const CStringList& other);

    int GetCount() const;
    int GetSize() const { return GetCount(); }
    BOOL IsEmpty() const { return GetCount() == 0 ? TRUE : FALSE; }

    // Head and tail; the list must not be empty.
    CString& GetHead();
    const CString& GetHead() const;
    CString& GetTail();
    const CString& GetTail() const;
    CString RemoveHead();
    CString RemoveTail();

    POSITION AddHead(const CString& text);
    POSITION AddTail(const CString& text);
    void AddTail(const CStringList* other);
    void RemoveAll();

    POSITION GetHeadPosition() const;
    POSITION GetTailPosition() const;
    CString& GetNext(POSITION& pos);
    const CString& GetNext(POSITION& pos) const;
    CString& GetPrev(POSITION& pos);
    const CString& GetPrev(POSITION& pos) const;
    CString& GetAt(POSITION pos);
    const CString& GetAt(POSITION pos) const;
    void SetAt(POSITION pos, const CString& text);
    void RemoveAt(POSITION pos);
    POSITION InsertBefore(POSITION pos, const CString& text);
    POSITION InsertAfter(POSITION pos, const CString& text);

    POSITION FindIndex(int index) const;
    // First position (after startAfter) holding exactly this text; nullptr when absent.
    POSITION Find(const char* text, POSITION startAfter = nullptr) const;

private:
    std::unique_ptr<zen::detail::LinkedList<CString>> m_list;
};
