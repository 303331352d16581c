// CStringList over the shared linked list.
#include "framework/CStringList.h"

#include "framework/internal/PtrList.h"

using List = zen::detail::LinkedList<CString>;

IMPLEMENT_DYNAMIC(CStringList, CObject)

CStringList::CStringList(int blockSize) : m_list(std::make_unique<List>(blockSize)) {}
CStringList::~CStringList() = default;

CStringList::CStringList(const CStringList& other) : CObject(), m_list(std::make_unique<List>())
{
    AddTail(&other);
}

CStringList& CStringList::operator=(const CStringList& other)
{
    if (this != &other) {
        RemoveAll();
        AddTail(&other);
    }
    return *this;
}

int CStringList::GetCount() const { return m_list->Count(); }
CString& CStringList::GetHead() { return List::N(m_list->Head())->value; }
const CString& CStringList::GetHead() const { return List::N(m_list->Head())->value; }
CString& CStringList::GetTail() { return List::N(m_list->Tail())->value; }
const CString& CStringList::GetTail() const { return List::N(m_list->Tail())->value; }

CString CStringList::RemoveHead()
{
    CString value = GetHead();
    m_list->RemoveAt(m_list->Head());
    return value;
}

CString CStringList::RemoveTail()
{
    CString value = GetTail();
    m_list->RemoveAt(m_list->Tail());
    return value;
}

POSITION CStringList::AddHead(const CString& text) { return m_list->AddHead(text); }
POSITION CStringList::AddTail(const CString& text) { return m_list->AddTail(text); }

void CStringList::AddTail(const CStringList* other)
{
    if (other == nullptr)
        return;
    const int n = other->GetCount();
    POSITION pos = other->GetHeadPosition();
    for (int i = 0; i < n; ++i)
        AddTail(CString(other->GetNext(pos)));
}

void CStringList::RemoveAll() { m_list->RemoveAll(); }
POSITION CStringList::GetHeadPosition() const { return m_list->Head(); }
POSITION CStringList::GetTailPosition() const { return m_list->Tail(); }

CString& CStringList::GetNext(POSITION& pos)
{
    List::Node* node = List::N(pos);
    pos = node->next;
    return node->value;
}

const CString& CStringList::GetNext(POSITION& pos) const
{
    List::Node* node = List::N(pos);
    pos = node->next;
    return node->value;
}

CString& CStringList::GetPrev(POSITION& pos)
{
    List::Node* node = List::N(pos);
    pos = node->prev;
    return node->value;
}

const CString& CStringList::GetPrev(POSITION& pos) const
{
    List::Node* node = List::N(pos);
    pos = node->prev;
    return node->value;
}

CString& CStringList::GetAt(POSITION pos) { return List::N(pos)->value; }
const CString& CStringList::GetAt(POSITION pos) const { return List::N(pos)->value; }
void CStringList::SetAt(POSITION pos, const CString& text) { List::N(pos)->value = text; }
void CStringList::RemoveAt(POSITION pos) { m_list->RemoveAt(pos); }
POSITION CStringList::InsertBefore(POSITION pos, const CString& text) { return m_list->InsertBefore(pos, text); }
POSITION CStringList::InsertAfter(POSITION pos, const CString& text) { return m_list->InsertAfter(pos, text); }
POSITION CStringList::FindIndex(int index) const { return m_list->FindIndex(index); }

POSITION CStringList::Find(const char* text, POSITION startAfter) const
{
    POSITION pos = startAfter ? List::N(startAfter)->next : m_list->Head();
    for (; pos != nullptr; pos = List::N(pos)->next)
        if (List::N(pos)->value == text)
            return pos;
    return nullptr;
}
