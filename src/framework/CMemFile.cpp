// Memory file over an owned, growing block or a caller's fixed block.
// Writes are all-or-nothing: a write that does not fit stores no byte, so a
// refused trace never leaves half of itself in the caller's block.
#include "framework/CMemFile.h"

#include "framework/Exceptions.h"

#include <cstdlib>
#include <cstring>
#include <limits>

IMPLEMENT_DYNAMIC(CFile, CObject)
IMPLEMENT_DYNAMIC(CMemFile, CFile)

namespace {
// Files stay addressable by UINT counts and the 32-bit lengths of the stored data.
constexpr size_t kMaxFileSize = std::numeric_limits<UINT>::max();
} // namespace

CMemFile::CMemFile(UINT growBytes) : m_nGrowBytes(growBytes == 0 ? 1024 : growBytes), m_bOwned(true) {}

CMemFile::CMemFile(BYTE* buffer, UINT size, UINT growBytes)
{
    Attach(buffer, size, growBytes);
}

CMemFile::~CMemFile()
{
    Close();
}

void CMemFile::Attach(BYTE* buffer, UINT size, UINT growBytes)
{
    if (buffer == nullptr && size != 0)
        AfxThrowFileException(CFileException::genericException);
    Close();
    m_pBuffer = buffer;
    m_nBufferSize = size;
    m_nFileSize = size;
    m_nPosition = 0;
    m_nGrowBytes = growBytes;
    m_bOwned = false;
}

BYTE* CMemFile::Detach()
{
    BYTE* block = m_pBuffer;
    m_pBuffer = nullptr;
    m_nBufferSize = 0;
    m_nFileSize = 0;
    m_nPosition = 0;
    m_bOwned = false;
    return block;
}

void CMemFile::Close()
{
    const bool owned = m_bOwned;
    BYTE* block = Detach();
    if (owned)
        std::free(block);
}

uint64_t CMemFile::Seek(int64_t offset, UINT from)
{
    int64_t base = 0;
    switch (from) {
    case begin:
        base = 0;
        break;
    case current:
        base = static_cast<int64_t>(m_nPosition);
        break;
    case end:
        base = static_cast<int64_t>(m_nFileSize);
        break;
    default:
        AfxThrowFileException(CFileException::badSeek);
    }
    // base <= kMaxFileSize, so base + offset cannot overflow unless offset is huge.
    if ((offset < 0 && offset < -base) ||
        (offset > 0 && static_cast<uint64_t>(offset) > kMaxFileSize - static_cast<uint64_t>(base)))
        AfxThrowFileException(CFileException::badSeek);
    m_nPosition = static_cast<size_t>(base + offset);
    return m_nPosition;
}

UINT CMemFile::Read(void* buffer, UINT count)
{
    if (count == 0 || m_nPosition >= m_nFileSize)
        return 0;
    const size_t n = std::min<size_t>(count, m_nFileSize - m_nPosition);
    std::memcpy(buffer, m_pBuffer + m_nPosition, n);
    m_nPosition += n;
    return static_cast<UINT>(n);
}

void CMemFile::Write(const void* buffer, UINT count)
{
    if (count == 0)
        return;
    if (m_nPosition > kMaxFileSize - count)
        AfxThrowFileException(CFileException::diskFull);
    const size_t newEnd = m_nPosition + count;
    Reserve(newEnd);
    if (m_nPosition > m_nFileSize) // writing after a seek past the end: zero the gap
        std::memset(m_pBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
    std::memcpy(m_pBuffer + m_nPosition, buffer, count);
    m_nPosition = newEnd;
    m_nFileSize = std::max(m_nFileSize, newEnd);
}

void CMemFile::Reserve(size_t needed)
{
    if (needed <= m_nBufferSize)
        return;
    if (m_nGrowBytes == 0)
        AfxThrowFileException(CFileException::diskFull);
    // New capacity: needed rounded up to whole steps of m_nGrowBytes.
    size_t capacity = (needed + m_nGrowBytes - 1) / m_nGrowBytes * m_nGrowBytes;
    capacity = std::min(capacity, kMaxFileSize);
    BYTE* block = nullptr;
    if (m_bOwned) {
        block = static_cast<BYTE*>(std::realloc(m_pBuffer, capacity));
    } else {
        // A caller's block is never reallocated: continue in a copy the file owns.
        block = static_cast<BYTE*>(std::malloc(capacity));
        if (block != nullptr && m_nFileSize != 0)
            std::memcpy(block, m_pBuffer, m_nFileSize);
    }
    if (block == nullptr)
        AfxThrowMemoryException();
    m_pBuffer = block;
    m_nBufferSize = capacity;
    m_bOwned = true;
}
