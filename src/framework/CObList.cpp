// CObList over the shared linked list.
#include "framework/CObList.h"

#include "framework/internal/PtrList.h"

using List = zen::detail::LinkedList<CObject*>;

IMPLEMENT_DYNAMIC(CObList, CObject)

CObList::CObList(int blockSize) : m_list(std::make_unique<List>(blockSize)) {}
CObList::~CObList() = default;

int CObList::GetCount() const { return m_list->Count(); }

CObject*& CObList::GetHead() { return List::N(m_list->Head())->value; }
CObject* CObList::GetHead() const { return List::N(m_list->Head())->value; }
CObject*& CObList::GetTail() { return List::N(m_list->Tail())->value; }
CObject* CObList::GetTail() const { return List::N(m_list->Tail())->value; }

CObject* CObList::RemoveHead()
{
    CObject* value = GetHead();
    m_list->RemoveAt(m_list->Head());
    return value;
}

CObject* CObList::RemoveTail()
{
    CObject* value = GetTail();
    m_list->RemoveAt(m_list->Tail());
    return value;
}

POSITION CObList::AddHead(CObject* element) { return m_list->AddHead(element); }
POSITION CObList::AddTail(CObject* element) { return m_list->AddTail(element); }

void CObList::AddTail(const CObList* other)
{
    if (other == nullptr || other == this) {
        if (other == this) {
            const int n = GetCount();
            POSITION pos = GetHeadPosition();
            for (int i = 0; i < n; ++i)
                AddTail(GetNext(pos));
        }
        return;
    }
    for (POSITION pos = other->GetHeadPosition(); pos != nullptr;)
        AddTail(other->GetNext(pos));
}

void CObList::RemoveAll() { m_list->RemoveAll(); }

POSITION CObList::GetHeadPosition() const { return m_list->Head(); }
POSITION CObList::GetTailPosition() const { return m_list->Tail(); }

CObject*& CObList::GetNext(POSITION& pos)
{
    List::Node* node = List::N(pos);
    pos = node->next;
    return node->value;
}

CObject* CObList::GetNext(POSITION& pos) const
{
    List::Node* node = List::N(pos);
    pos = node->next;
    return node->value;
}

CObject*& CObList::GetPrev(POSITION& pos)
{
    List::Node* node = List::N(pos);
    pos = node->prev;
    return node->value;
}

CObject* CObList::GetPrev(POSITION& pos) const
{
    List::Node* node = List::N(pos);
    pos = node->prev;
    return node->value;
}

CObject*& CObList::GetAt(POSITION pos) { return List::N(pos)->value; }
CObject* CObList::GetAt(POSITION pos) const { return List::N(pos)->value; }
void CObList::SetAt(POSITION pos, CObject* element) { List::N(pos)->value = element; }
void CObList::RemoveAt(POSITION pos) { m_list->RemoveAt(pos); }
POSITION CObList::InsertBefore(POSITION pos, CObject* element) { return m_list->InsertBefore(pos, element); }
POSITION CObList::InsertAfter(POSITION pos, CObject* element) { return m_list->InsertAfter(pos, element); }
POSITION CObList::FindIndex(int index) const { return m_list->FindIndex(index); }

POSITION CObList::Find(CObject* element, POSITION startAfter) const
{
    POSITION pos = startAfter ? List::N(startAfter)->next : m_list->Head();
    for (; pos != nullptr; pos = List::N(pos)->next)
        if (List::N(pos)->value == element)
            return pos;
    return nullptr;
}
