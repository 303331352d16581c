// Base of the framework's files: a byte stream with a position, read and
// written in whole calls. Archives (CArchive) work over any CFile; the memory
// file (CMemFile) is the one the library uses.
#pragma once

#include "framework/CObject.h"
#include "framework/Types.h"

#include <cstdint>

class CFile : public CObject {
    DECLARE_DYNAMIC(CFile)
public:
    // Origins of Seek.
    enum SeekPosition : UINT { begin = 0x0, current = 0x1, end = 0x2 };

    ~CFile() override = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Current position in bytes from the start.
    virtual uint64_t GetPosition() const = 0;
    // Logical length in bytes: what can be read from the start.
    virtual uint64_t GetLength() const = 0;
    // Moves the position by offset bytes from the origin `from` (begin, current
    // or end) and returns the new position. Throws CFileException (badSeek) for
    // a position before the start or an unknown origin.
    virtual uint64_t Seek(int64_t offset, UINT from) = 0;
    void SeekToBegin() { Seek(0, begin); }
    uint64_t SeekToEnd() { return Seek(0, end); }

    // Copies up to count bytes from the position into buffer, advances the
    // position and returns the number copied (0 at the end; never throws for a
    // short read).
    virtual UINT Read(void* buffer, UINT count) = 0;
    // Writes count bytes at the position and advances it. Throws CFileException
    // when the bytes cannot be stored (diskFull for a full fixed block); a
    // refused write stores nothing.
    virtual void Write(const void* buffer, UINT count) = 0;
    // Pushes buffered data to the medium; files without a buffer do nothing.
    virtual void Flush() {}
    // Releases the file's storage; further reads return 0.
    virtual void Close() = 0;

protected:
    CFile() = default;
};
