// CByteArray: a growable array of bytes, the bound value of binary columns.
// An array sized up from empty keeps its zero bytes as a count until they are
// needed: a record's binary block is sized in its constructor and is usually
// replaced by the first row read before anyone looks at its bytes.
#pragma once

#include "framework/CObject.h"

#include <cstddef>
#include <vector>

class CByteArray : public CObject {
    DECLARE_DYNAMIC(CByteArray)
public:
    CByteArray() = default;
    CByteArray(const CByteArray& other) : CObject(), m_data(other.m_data), m_zeros(other.m_zeros) {}
    CByteArray& operator=(const CByteArray& other)
    {
        m_data = other.m_data;
        m_zeros = other.m_zeros;
        return *this;
    }
    // Moved from, other is left empty.
    CByteArray(CByteArray&& other) noexcept : CObject(), m_data(std::move(other.m_data)), m_zeros(other.m_zeros)
    {
        other.m_data.clear();
        other.m_zeros = 0;
    }
    CByteArray& operator=(CByteArray&& other) noexcept
    {
        if (this != &other) {
            m_data = std::move(other.m_data);
            m_zeros = other.m_zeros;
            other.m_data.clear();
            other.m_zeros = 0;
        }
        return *this;
    }

    int GetSize() const { return static_cast<int>(m_data.size() + m_zeros); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    BOOL IsEmpty() const { return GetSize() == 0 ? TRUE : FALSE; }
    // Resizes; new bytes are 0. The grow-by hint is accepted and ignored.
    void SetSize(int newSize, int growBy = -1);
    void RemoveAll()
    {
        m_data.clear();
        m_zeros = 0;
    }

    // An index outside the array throws std::out_of_range.
    BYTE GetAt(int index) const;
    void SetAt(int index, BYTE value) { Made().at(static_cast<size_t>(index)) = value; }
    BYTE& operator[](int index) { return Made().at(static_cast<size_t>(index)); }
    BYTE operator[](int index) const { return GetAt(index); }
    BYTE* GetData() { return Made().data(); }
    // The bytes; an array whose zero bytes are not made yet lends a shared
    // block of zeros (valid until the array changes, like any other answer).
    const BYTE* GetData() const;

    // Appends one byte; returns its index.
    int Add(BYTE value);
    // Replaces the content with a copy of another array.
    void Copy(const CByteArray& source) { *this = source; }
    // Appends another array; returns the index of its first byte here.
    int Append(const CByteArray& source);

    bool operator==(const CByteArray& other) const;
    // Whether the array holds exactly these bytes.
    bool Equals(const std::vector<BYTE>& bytes) const;

    // The bytes as a vector. The const form makes zero bytes not made yet,
    // so it is a change for threads: an array read by several threads at
    // once is read through GetAt, GetData or Bytes instead.
    const std::vector<BYTE>& Vector() const { return Made(); }
    std::vector<BYTE>& Vector() { return Made(); }
    // A copy of the bytes.
    std::vector<BYTE> Bytes() const;
    // The array emptied, as the vector its new content is written into.
    std::vector<BYTE>& Refill()
    {
        m_zeros = 0;
        m_data.clear();
        return m_data;
    }

private:
    std::vector<BYTE>& Made() const;

    // The array is m_data followed by m_zeros zero bytes; m_zeros is 0
    // whenever m_data holds anything.
    mutable std::vector<BYTE> m_data;
    mutable size_t m_zeros = 0;
};
