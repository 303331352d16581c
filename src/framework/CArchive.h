// Binary archive over a CFile: buffered, fixed-width little-endian values on
// every host. An archive either stores (writes) or loads (reads), never both.
// The library stores a sample's trace through one laid over a 10000-byte block.
#pragma once

#include "framework/CFile.h"
#include "framework/CString.h"
#include "framework/Types.h"

#include <cstdint>
#include <memory>

class CArchive {
public:
    // Mode bits: store or load, optionally bNoFlushOnDelete.
    enum Mode : UINT { store = 0x0, load = 0x1, bNoFlushOnDelete = 0x2 };

    // Archive over pFile (not owned; must outlive the archive). bufSize is the
    // size of the transfer buffer (at least 16 bytes are used when the archive
    // allocates it); buf, if given, is a caller's buffer of bufSize bytes used
    // instead. Throws CArchiveException (genericException) for a null file or an
    // external buffer smaller than 16 bytes.
    CArchive(CFile* pFile, UINT mode, int bufSize = 4096, void* buf = nullptr);
    // A storing archive that was not closed flushes here unless the mode has
    // bNoFlushOnDelete; a failure of that flush is swallowed (a destructor must
    // not throw), so callers that need to know call Close.
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    BOOL IsLoading() const { return (m_nMode & load) != 0 ? TRUE : FALSE; }
    BOOL IsStoring() const { return (m_nMode & load) == 0 ? TRUE : FALSE; }
    // The file the archive works over; null after Close.
    CFile* GetFile() const { return m_pFile; }

    // Storing: writes the buffered bytes to the file (the file's exception, such
    // as CFileException diskFull for a full fixed block, passes to the caller and
    // the bytes stay buffered). Loading: gives back the read-ahead, so that the
    // file's position is where the archive's reading stands.
    void Flush();
    // Flush, then detach from the file. The archive is closed even when the
    // flush throws; its exception passes on and the unflushed bytes are dropped.
    void Close();
    // Detaches from the file without flushing (buffered stored bytes are dropped).
    void Abort();

    // Loading: copies up to count bytes and returns how many (short only at the
    // end of the data; no exception for a short raw read).
    UINT Read(void* buffer, UINT count);
    // Storing: appends count bytes. The bytes reach the file when the buffer
    // fills (then the file's exception can arrive here) or at Flush/Close.
    void Write(const void* buffer, UINT count);

    // Loading: bytes still to be read (buffered plus what the file holds after
    // its position); lets readers check a count before allocating for it.
    uint64_t GetRemainingBytes() const;

    // Fixed-width values, little-endian: BYTE and bool 1 byte, 16-bit 2, 32-bit
    // and float 4, 64-bit and double 8 (IEEE 754 bit patterns). Reading past the
    // end of the data throws CArchiveException (endOfFile); writing into a
    // loading archive throws CArchiveException (readOnly), reading from a
    // storing one CArchiveException (writeOnly); either on a closed archive
    // throws CArchiveException (genericException).
    CArchive& operator<<(BYTE value);
    CArchive& operator<<(bool value);
    CArchive& operator<<(int16_t value);
    CArchive& operator<<(uint16_t value);
    CArchive& operator<<(int32_t value);
    CArchive& operator<<(uint32_t value);
    CArchive& operator<<(int64_t value);
    CArchive& operator<<(uint64_t value);
    CArchive& operator<<(float value);
    CArchive& operator<<(double value);
    // Length (WriteCount) followed by the UTF-8 bytes, no terminator.
    CArchive& operator<<(const CString& value);

    CArchive& operator>>(BYTE& value);
    // Any non-zero byte reads as true.
    CArchive& operator>>(bool& value);
    CArchive& operator>>(int16_t& value);
    CArchive& operator>>(uint16_t& value);
    CArchive& operator>>(int32_t& value);
    CArchive& operator>>(uint32_t& value);
    CArchive& operator>>(int64_t& value);
    CArchive& operator>>(uint64_t& value);
    CArchive& operator>>(float& value);
    CArchive& operator>>(double& value);
    // A length larger than the remaining data throws CArchiveException
    // (endOfFile) before anything is allocated; the target is unchanged on failure.
    CArchive& operator>>(CString& value);

    // Compact count: 2 bytes for counts below 0xFFFF, otherwise the marker
    // 0xFFFF and 4 bytes.
    void WriteCount(uint32_t count);
    uint32_t ReadCount();

private:
    void CheckCanRead() const;
    void CheckCanWrite() const;
    // Reads exactly count bytes or throws CArchiveException (endOfFile).
    void ReadExact(void* buffer, UINT count);
    // Refills the empty buffer from the file; returns the number of bytes read.
    UINT FillBuffer();

    CFile* m_pFile = nullptr;
    UINT m_nMode = store;
    std::unique_ptr<BYTE[]> m_ownedBuffer;
    BYTE* m_pBufStart = nullptr;
    UINT m_nBufSize = 0;
    // Storing: [m_pBufStart, m_pBufCur) waits for the file. Loading:
    // [m_pBufCur, m_pBufMax) is read ahead and not yet consumed.
    BYTE* m_pBufCur = nullptr;
    BYTE* m_pBufMax = nullptr;
};
