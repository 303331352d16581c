// A file in memory: either a block the file owns and grows in steps, or a
// caller's fixed block laid under the file (Attach). The library lays a
// CArchive over a caller's block to store and read a sample's trace.
#pragma once

#include "framework/CFile.h"

#include <cstddef>

class CMemFile : public CFile {
    DECLARE_DYNAMIC(CMemFile)
public:
    // An empty file owning its memory, which grows in steps of growBytes
    // (growBytes 0 means 1024).
    explicit CMemFile(UINT growBytes = 1024);
    // A file laid over the caller's block; see Attach.
    CMemFile(BYTE* buffer, UINT size, UINT growBytes = 0);
    // Frees memory the file owns; an attached caller's block is left alone.
    ~CMemFile() override;

    // Lays the file over the caller's block of `size` bytes (after closing
    // whatever the file held). The logical length is the whole block, so a
    // reader sees all `size` bytes and a writer overwrites from the start.
    // With growBytes 0 the block never grows: a write past its end throws
    // CFileException (diskFull) and stores nothing. With growBytes > 0 such a
    // write moves the content into a new block owned by the file (growing in
    // steps of growBytes); the caller's block is never reallocated or freed and
    // keeps what was written before the move. A null buffer with a non-zero
    // size throws CFileException (genericException).
    void Attach(BYTE* buffer, UINT size, UINT growBytes = 0);
    // Hands the current block to the caller and leaves the file empty (length
    // and position 0). A block the file had allocated itself then belongs to the
    // caller and must be released with std::free. Null when there is no block.
    BYTE* Detach();

    uint64_t GetPosition() const override { return m_nPosition; }
    uint64_t GetLength() const override { return m_nFileSize; }
    // Positions past the end are allowed (as for disk files); reading there
    // returns 0 bytes and writing there fills the gap with zero bytes when the
    // block can grow. Throws CFileException (badSeek) for a position before the
    // start, beyond 4 GiB - 1, or an unknown origin.
    uint64_t Seek(int64_t offset, UINT from) override;
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    // Frees owned memory, detaches a caller's block; the file is then empty.
    void Close() override;

private:
    // Makes room for `needed` bytes, growing or throwing as Attach describes.
    void Reserve(size_t needed);

    BYTE* m_pBuffer = nullptr;
    size_t m_nBufferSize = 0; // capacity of m_pBuffer
    size_t m_nFileSize = 0;   // logical length
    size_t m_nPosition = 0;
    UINT m_nGrowBytes = 1024;
    bool m_bOwned = false; // m_pBuffer was allocated with std::malloc by this file
};
