// Doubly linked list behind CObList and CStringList: nodes are the POSITIONs
// handed out to callers, so a position stays valid until its node is removed.
#pragma once

#include "framework/Types.h"

#include <cassert>
#include <utility>

namespace zen::detail {

template <typename T>
class LinkedList {
public:
    struct Node : __ZEN_POSITION {
        Node* prev = nullptr;
        Node* next = nullptr;
        T value{};
    };

    LinkedList() = default;
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;
    ~LinkedList() { RemoveAll(); }

    static Node* N(POSITION pos) { return static_cast<Node*>(pos); }

    int Count() const { return m_count; }
    POSITION Head() const { return m_head; }
    POSITION Tail() const { return m_tail; }

    POSITION AddHead(T value) { return InsertBefore(m_head, std::move(value)); }
    POSITION AddTail(T value) { return InsertAfter(m_tail, std::move(value)); }

    // Inserts before pos; a null pos inserts at the head.
    POSITION InsertBefore(POSITION pos, T value)
    {
        Node* at = N(pos);
        Node* node = new Node;
        node->value = std::move(value);
        if (at == nullptr)
            at = m_head;
        if (at == nullptr) {
            m_head = m_tail = node;
        } else {
            node->next = at;
            node->prev = at->prev;
            if (at->prev)
                at->prev->next = node;
            else
                m_head = node;
            at->prev = node;
        }
        ++m_count;
        return node;
    }

    // Inserts after pos; a null pos inserts at the tail.
    POSITION InsertAfter(POSITION pos, T value)
    {
        Node* at = N(pos);
        Node* node = new Node;
        node->value = std::move(value);
        if (at == nullptr)
            at = m_tail;
        if (at == nullptr) {
            m_head = m_tail = node;
        } else {
            node->prev = at;
            node->next = at->next;
            if (at->next)
                at->next->prev = node;
            else
                m_tail = node;
            at->next = node;
        }
        ++m_count;
        return node;
    }

    void RemoveAt(POSITION pos)
    {
        Node* node = N(pos);
        assert(node != nullptr);
        if (node->prev)
            node->prev->next = node->next;
        else
            m_head = node->next;
        if (node->next)
            node->next->prev = node->prev;
        else
            m_tail = node->prev;
        delete node;
        --m_count;
    }

    void RemoveAll()
    {
        Node* node = m_head;
        while (node) {
            Node* next = node->next;
            delete node;
            node = next;
        }
        m_head = m_tail = nullptr;
        m_count = 0;
    }

    POSITION FindIndex(int index) const
    {
        if (index < 0 || index >= m_count)
            return nullptr;
        Node* node = m_head;
        while (index-- > 0)
            node = node->next;
        return node;
    }

private:
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    int m_count = 0;
};

} // namespace zen::detail
