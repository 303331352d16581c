// CByteArray: a growable array of bytes, the bound value of binary columns.
#pragma once

#include "framework/CObject.h"

#include <vector>

class CByteArray : public CObject {
    DECLARE_DYNAMIC(CByteArray)
public:
    CByteArray() = default;
    CByteArray(const CByteArray& other) : CObject(), m_data(other.m_data) {}
    CByteArray& operator=(const CByteArray& other) { m_data = other.m_data; return *this; }

    int GetSize() const { return static_cast<int>(m_data.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    BOOL IsEmpty() const { return m_data.empty() ? TRUE : FALSE; }
    // Resizes; new bytes are 0. The grow-by hint is accepted and ignored.
    void SetSize(int newSize, int growBy = -1);
    void RemoveAll() { m_data.clear(); }

    BYTE GetAt(int index) const { return m_data.at(static_cast<size_t>(index)); }
    void SetAt(int index, BYTE value) { m_data.at(static_cast<size_t>(index)) = value; }
    BYTE& operator[](int index) { return m_data.at(static_cast<size_t>(index)); }
    BYTE operator[](int index) const { return m_data.at(static_cast<size_t>(index)); }
    BYTE* GetData() { return m_data.data(); }
    const BYTE* GetData() const { return m_data.data(); }

    // Appends one byte; returns its index.
    int Add(BYTE value);
    // Replaces the content with a copy of another array.
    void Copy(const CByteArray& source) { m_data = source.m_data; }
    // Appends another array; returns the index of its first byte here.
    int Append(const CByteArray& source);

    bool operator==(const CByteArray& other) const { return m_data == other.m_data; }

    const std::vector<BYTE>& Vector() const { return m_data; }
    std::vector<BYTE>& Vector() { return m_data; }

private:
    std::vector<BYTE> m_data;
};
