// CByteArray growth, appending, and the zero bytes of an array sized up from
// empty, made only when something needs them in memory.
#include "framework/CByteArray.h"

#include <algorithm>
#include <stdexcept>

IMPLEMENT_DYNAMIC(CByteArray, CObject)

namespace {

// What GetData() const lends an array whose zeros are not made, when the
// array is no longer than this.
constexpr size_t kSharedZeros = 16384;
const BYTE g_zeros[kSharedZeros] = {};

bool AllZero(const BYTE* p, size_t n)
{
    return std::all_of(p, p + n, [](BYTE b) { return b == 0; });
}

} // namespace

void CByteArray::SetSize(int newSize, int)
{
    const size_t size = static_cast<size_t>(newSize < 0 ? 0 : newSize);
    if (m_data.empty()) {
        m_zeros = size;
        return;
    }
    m_data.resize(size, 0);
}

std::vector<BYTE>& CByteArray::Made() const
{
    if (m_zeros != 0) {
        m_data.assign(m_zeros, 0);
        m_zeros = 0;
    }
    return m_data;
}

BYTE CByteArray::GetAt(int index) const
{
    if (m_zeros == 0)
        return m_data.at(static_cast<size_t>(index));
    if (index < 0 || static_cast<size_t>(index) >= m_zeros)
        throw std::out_of_range("CByteArray index out of range");
    return 0;
}

const BYTE* CByteArray::GetData() const
{
    if (m_zeros != 0 && m_zeros <= kSharedZeros)
        return g_zeros;
    return Made().data();
}

int CByteArray::Add(BYTE value)
{
    Made().push_back(value);
    return GetSize() - 1;
}

int CByteArray::Append(const CByteArray& source)
{
    if (&source == this) {
        const CByteArray copy(source);
        return Append(copy);
    }
    const int first = GetSize();
    std::vector<BYTE>& data = Made();
    if (source.m_zeros != 0)
        data.resize(data.size() + source.m_zeros, 0);
    else
        data.insert(data.end(), source.m_data.begin(), source.m_data.end());
    return first;
}

bool CByteArray::Equals(const std::vector<BYTE>& bytes) const
{
    if (m_zeros == 0)
        return m_data == bytes;
    return bytes.size() == m_zeros && AllZero(bytes.data(), bytes.size());
}

bool CByteArray::operator==(const CByteArray& other) const
{
    if (other.m_zeros == 0)
        return Equals(other.m_data);
    return GetSize() == other.GetSize() && (m_zeros != 0 || AllZero(m_data.data(), m_data.size()));
}

std::vector<BYTE> CByteArray::Bytes() const
{
    if (m_zeros != 0)
        return std::vector<BYTE>(m_zeros, 0);
    return m_data;
}
