// Doubly linked list behind CObList and CStringList: nodes are the POSITIONs
// handed out to callers, so a position stays valid until its node is removed.
// Nodes come from blocks of blockSize nodes, as the original lists take
// theirs: a list of many entries does not ask the allocator for each.
#pragma once

#include "framework/Types.h"

#include <cassert>
#include <memory>
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

    // blockSize: nodes per block (1 when less is given).
    explicit LinkedList(int blockSize = 10) : m_blockSize(blockSize > 0 ? blockSize : 1) {}
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;
    ~LinkedList() { FreeBlocks(); }

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
        Node* node = NewNode(std::move(value));
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
        Node* node = NewNode(std::move(value));
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
        --m_count;
        if (m_count == 0) {
            // The last one: every block goes, as after RemoveAll.
            m_head = m_tail = nullptr;
            FreeBlocks();
            return;
        }
        node->value = T{};
        node->prev = nullptr;
        node->next = m_free;
        m_free = node;
    }

    void RemoveAll()
    {
        m_head = m_tail = nullptr;
        m_count = 0;
        FreeBlocks();
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
    struct Block {
        std::unique_ptr<Block> next;
        std::unique_ptr<Node[]> nodes;
    };

    // A free node holding value, unlinked; a new block when none is free
    // (strong guarantee: the list is unchanged when the allocation throws).
    Node* NewNode(T value)
    {
        if (m_free == nullptr) {
            auto block = std::make_unique<Block>();
            block->nodes = std::make_unique<Node[]>(static_cast<size_t>(m_blockSize));
            for (int i = m_blockSize - 1; i >= 0; --i) {
                block->nodes[static_cast<size_t>(i)].next = m_free;
                m_free = &block->nodes[static_cast<size_t>(i)];
            }
            block->next = std::move(m_blocks);
            m_blocks = std::move(block);
        }
        Node* node = m_free;
        m_free = node->next;
        node->next = nullptr;
        node->value = std::move(value);
        return node;
    }

    // Destroys every node (the values with them); the list must be unlinked.
    void FreeBlocks() noexcept
    {
        // One block after the other, so that a long chain is not freed by
        // recursion.
        while (m_blocks)
            m_blocks = std::move(m_blocks->next);
        m_free = nullptr;
    }

    int m_blockSize;
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    int m_count = 0;
    Node* m_free = nullptr;           // removed or never used nodes, by next
    std::unique_ptr<Block> m_blocks;  // the most recent first
};

} // namespace zen::detail
