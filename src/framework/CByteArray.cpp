// CByteArray growth and appending.
#include "framework/CByteArray.h"

IMPLEMENT_DYNAMIC(CByteArray, CObject)

void CByteArray::SetSize(int newSize, int)
{
    m_data.resize(static_cast<size_t>(newSize < 0 ? 0 : newSize), 0);
}

int CByteArray::Add(BYTE value)
{
    m_data.push_back(value);
    return GetSize() - 1;
}

int CByteArray::Append(const CByteArray& source)
{
    const int first = GetSize();
    m_data.insert(m_data.end(), source.m_data.begin(), source.m_data.end());
    return first;
}
