// Buffered binary archive. Values are encoded byte by byte with shifts, so the
// stored layout is little-endian whatever the host's byte order.
#include "framework/CArchive.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace {
constexpr int kMinBufSize = 16;

template <typename U>
void EncodeLE(U value, BYTE* out)
{
    for (size_t i = 0; i < sizeof(U); ++i)
        out[i] = static_cast<BYTE>(value >> (8 * i));
}

template <typename U>
U DecodeLE(const BYTE* in)
{
    U value = 0;
    for (size_t i = 0; i < sizeof(U); ++i)
        value = static_cast<U>(value | (static_cast<U>(in[i]) << (8 * i)));
    return value;
}
} // namespace

CArchive::CArchive(CFile* pFile, UINT mode, int bufSize, void* buf) : m_pFile(pFile), m_nMode(mode)
{
    if (pFile == nullptr)
        AfxThrowArchiveException(CArchiveException::genericException);
    if (buf != nullptr) {
        if (bufSize < kMinBufSize)
            AfxThrowArchiveException(CArchiveException::genericException);
        m_pBufStart = static_cast<BYTE*>(buf);
        m_nBufSize = static_cast<UINT>(bufSize);
    } else {
        m_nBufSize = static_cast<UINT>(std::max(bufSize, kMinBufSize));
        m_ownedBuffer = std::make_unique<BYTE[]>(m_nBufSize);
        m_pBufStart = m_ownedBuffer.get();
    }
    m_pBufCur = m_pBufStart;
    // Storing: the whole buffer is free; loading: nothing read ahead yet.
    m_pBufMax = IsStoring() ? m_pBufStart + m_nBufSize : m_pBufStart;
}

CArchive::~CArchive()
{
    if (m_pFile != nullptr && IsStoring() && (m_nMode & bNoFlushOnDelete) == 0) {
        try {
            Flush();
        } catch (...) {
            // Reported only through Close; see the declaration.
        }
    }
}

void CArchive::CheckCanRead() const
{
    if (m_pFile == nullptr)
        AfxThrowArchiveException(CArchiveException::genericException);
    if (!IsLoading())
        AfxThrowArchiveException(CArchiveException::writeOnly);
}

void CArchive::CheckCanWrite() const
{
    if (m_pFile == nullptr)
        AfxThrowArchiveException(CArchiveException::genericException);
    if (!IsStoring())
        AfxThrowArchiveException(CArchiveException::readOnly);
}

void CArchive::Flush()
{
    if (m_pFile == nullptr)
        return;
    if (IsStoring()) {
        const auto pending = static_cast<UINT>(m_pBufCur - m_pBufStart);
        if (pending != 0) {
            m_pFile->Write(m_pBufStart, pending); // may throw; bytes stay buffered
            m_pBufCur = m_pBufStart;
        }
        m_pFile->Flush();
    } else {
        const auto unread = static_cast<int64_t>(m_pBufMax - m_pBufCur);
        if (unread != 0)
            m_pFile->Seek(-unread, CFile::current);
        m_pBufCur = m_pBufMax = m_pBufStart;
    }
}

void CArchive::Close()
{
    if (m_pFile == nullptr)
        return;
    try {
        Flush();
    } catch (...) {
        Abort();
        throw;
    }
    Abort();
}

void CArchive::Abort()
{
    m_pFile = nullptr;
    m_pBufCur = m_pBufStart;
    m_pBufMax = IsStoring() ? m_pBufStart + m_nBufSize : m_pBufStart;
}

UINT CArchive::FillBuffer()
{
    m_pBufCur = m_pBufStart;
    const UINT n = m_pFile->Read(m_pBufStart, m_nBufSize);
    m_pBufMax = m_pBufStart + n;
    return n;
}

UINT CArchive::Read(void* buffer, UINT count)
{
    CheckCanRead();
    auto* out = static_cast<BYTE*>(buffer);
    UINT done = 0;
    while (done < count) {
        auto buffered = static_cast<UINT>(m_pBufMax - m_pBufCur);
        if (buffered == 0) {
            const UINT rest = count - done;
            if (rest >= m_nBufSize) // large reads bypass the buffer
                return done + m_pFile->Read(out + done, rest);
            buffered = FillBuffer();
            if (buffered == 0)
                break;
        }
        const UINT n = std::min(buffered, count - done);
        std::memcpy(out + done, m_pBufCur, n);
        m_pBufCur += n;
        done += n;
    }
    return done;
}

void CArchive::Write(const void* buffer, UINT count)
{
    CheckCanWrite();
    const auto* in = static_cast<const BYTE*>(buffer);
    const auto room = static_cast<UINT>(m_pBufMax - m_pBufCur);
    if (count <= room) {
        std::memcpy(m_pBufCur, in, count);
        m_pBufCur += count;
        return;
    }
    Flush();
    if (count >= m_nBufSize) { // large writes bypass the buffer
        m_pFile->Write(in, count);
        return;
    }
    std::memcpy(m_pBufCur, in, count);
    m_pBufCur += count;
}

void CArchive::ReadExact(void* buffer, UINT count)
{
    if (Read(buffer, count) != count)
        AfxThrowArchiveException(CArchiveException::endOfFile);
}

uint64_t CArchive::GetRemainingBytes() const
{
    if (m_pFile == nullptr || !IsLoading())
        return 0;
    const uint64_t length = m_pFile->GetLength();
    const uint64_t position = m_pFile->GetPosition();
    const uint64_t inFile = position < length ? length - position : 0;
    return inFile + static_cast<uint64_t>(m_pBufMax - m_pBufCur);
}

#define ZEN_ARCHIVE_UNSIGNED(T)                     \
    CArchive& CArchive::operator<<(T value)         \
    {                                               \
        BYTE bytes[sizeof(T)];                      \
        EncodeLE<T>(value, bytes);                  \
        Write(bytes, sizeof(T));                    \
        return *this;                               \
    }                                               \
    CArchive& CArchive::operator>>(T& value)        \
    {                                               \
        CheckCanRead();                             \
        BYTE bytes[sizeof(T)];                      \
        ReadExact(bytes, sizeof(T));                \
        value = DecodeLE<T>(bytes);                 \
        return *this;                               \
    }

// Signed and floating types travel as the unsigned type of the same width.
#define ZEN_ARCHIVE_AS(T, U)                        \
    CArchive& CArchive::operator<<(T value)         \
    {                                               \
        return *this << std::bit_cast<U>(value);    \
    }                                               \
    CArchive& CArchive::operator>>(T& value)        \
    {                                               \
        U raw = 0;                                  \
        *this >> raw;                               \
        value = std::bit_cast<T>(raw);              \
        return *this;                               \
    }

ZEN_ARCHIVE_UNSIGNED(BYTE)
ZEN_ARCHIVE_UNSIGNED(uint16_t)
ZEN_ARCHIVE_UNSIGNED(uint32_t)
ZEN_ARCHIVE_UNSIGNED(uint64_t)
ZEN_ARCHIVE_AS(int16_t, uint16_t)
ZEN_ARCHIVE_AS(int32_t, uint32_t)
ZEN_ARCHIVE_AS(int64_t, uint64_t)
ZEN_ARCHIVE_AS(float, uint32_t)
ZEN_ARCHIVE_AS(double, uint64_t)

#undef ZEN_ARCHIVE_UNSIGNED
#undef ZEN_ARCHIVE_AS

CArchive& CArchive::operator<<(bool value)
{
    return *this << static_cast<BYTE>(value ? 1 : 0);
}

CArchive& CArchive::operator>>(bool& value)
{
    BYTE raw = 0;
    *this >> raw;
    value = raw != 0;
    return *this;
}

void CArchive::WriteCount(uint32_t count)
{
    if (count < 0xFFFFu) {
        *this << static_cast<uint16_t>(count);
    } else {
        *this << static_cast<uint16_t>(0xFFFFu);
        *this << count;
    }
}

uint32_t CArchive::ReadCount()
{
    uint16_t shortCount = 0;
    *this >> shortCount;
    if (shortCount != 0xFFFFu)
        return shortCount;
    uint32_t count = 0;
    *this >> count;
    return count;
}

CArchive& CArchive::operator<<(const CString& value)
{
    const std::string& text = value.Str();
    if (text.size() > UINT32_MAX)
        AfxThrowArchiveException(CArchiveException::genericException);
    CheckCanWrite();
    WriteCount(static_cast<uint32_t>(text.size()));
    Write(text.data(), static_cast<UINT>(text.size()));
    return *this;
}

CArchive& CArchive::operator>>(CString& value)
{
    const uint32_t length = ReadCount();
    if (length > GetRemainingBytes())
        AfxThrowArchiveException(CArchiveException::endOfFile);
    std::string text(length, '\0');
    ReadExact(text.data(), length);
    value = CString(std::move(text));
    return *this;
}
