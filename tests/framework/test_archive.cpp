// Archive and memory file: round trips of every value type at several buffer
// sizes, the little-endian byte layout, fixed blocks that overflow, short
// reads, flushing on Close and on destruction, and misuse of an archive.
#include "framework/CArchive.h"
#include "framework/CMemFile.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

template <typename F>
int FileCause(F&& action)
{
    try {
        action();
    } catch (const CFileException& e) {
        return e.m_cause;
    }
    return CFileException::none;
}

template <typename F>
int ArchiveCause(F&& action)
{
    try {
        action();
    } catch (const CArchiveException& e) {
        return e.m_cause;
    }
    return CArchiveException::none;
}

class ArchiveRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(ArchiveRoundTrip, EveryTypeReadsBackWhatWasWritten)
{
    const CString longText(std::string(70000, 'q')); // needs the 4-byte count
    std::vector<BYTE> block(80000);
    {
        CMemFile file(block.data(), static_cast<UINT>(block.size()));
        CArchive ar(&file, CArchive::store, GetParam());
        ar << BYTE(0xFE) << true << int16_t(-32768) << uint16_t(65535) << int32_t(INT32_MIN)
           << uint32_t(0xDEADBEEF) << int64_t(INT64_MIN) << uint64_t(UINT64_MAX) << 1.5f
           << -std::numeric_limits<double>::denorm_min() << std::numeric_limits<double>::infinity()
           << CString("\xC2\xB5m") << CString() << longText;
        ar.WriteCount(0xFFFEu);
        ar.WriteCount(0xFFFFu);
        ar.Close();
    }
    CMemFile file(block.data(), static_cast<UINT>(block.size()), 1024);
    CArchive ar(&file, CArchive::load, GetParam());
    BYTE b = 0;
    bool flag = false;
    int16_t i16 = 0;
    uint16_t u16 = 0;
    int32_t i32 = 0;
    uint32_t u32 = 0;
    int64_t i64 = 0;
    uint64_t u64 = 0;
    float f = 0;
    double d = 0, inf = 0;
    CString micro, empty("x"), text;
    ar >> b >> flag >> i16 >> u16 >> i32 >> u32 >> i64 >> u64 >> f >> d >> inf >> micro >> empty >> text;
    EXPECT_EQ(b, 0xFE);
    EXPECT_TRUE(flag);
    EXPECT_EQ(i16, -32768);
    EXPECT_EQ(u16, 65535);
    EXPECT_EQ(i32, INT32_MIN);
    EXPECT_EQ(u32, 0xDEADBEEFu);
    EXPECT_EQ(i64, INT64_MIN);
    EXPECT_EQ(u64, UINT64_MAX);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(d, -std::numeric_limits<double>::denorm_min());
    EXPECT_TRUE(std::signbit(d));
    EXPECT_EQ(inf, std::numeric_limits<double>::infinity());
    EXPECT_EQ(micro, CString("\xC2\xB5m"));
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(text, longText);
    EXPECT_EQ(ar.ReadCount(), 0xFFFEu);
    EXPECT_EQ(ar.ReadCount(), 0xFFFFu);
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, ArchiveRoundTrip, ::testing::Values(16, 17, 4096));

TEST(Archive, ValuesAreLittleEndianWithCompactCounts)
{
    std::vector<BYTE> block(64, 0xAA);
    CMemFile file(block.data(), static_cast<UINT>(block.size()));
    CArchive ar(&file, CArchive::store);
    ar << uint32_t(0x01020304) << 1.0 << CString("\xC2\xB5m");
    ar.WriteCount(0xFFFFu);
    ar.Close();
    const std::vector<BYTE> expected = {0x04, 0x03, 0x02, 0x01,                         // uint32
                                        0, 0, 0, 0, 0, 0, 0xF0, 0x3F,                   // 1.0
                                        0x03, 0x00, 0xC2, 0xB5, 'm',                    // "µm"
                                        0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xAA};      // count, untouched
    EXPECT_EQ(std::vector<BYTE>(block.begin(), block.begin() + expected.size()), expected);
    EXPECT_EQ(file.GetPosition(), expected.size() - 1);
}

TEST(Archive, OverflowOfFixedBlockIsReportedWhenTheBufferFlushes)
{
    // Block of 32 bytes behind a 16-byte buffer: bytes reach the block 16 at a time.
    std::vector<BYTE> block(32, 0);
    CMemFile file(block.data(), 32);
    CArchive ar(&file, CArchive::store, 16);
    for (int i = 0; i < 48; ++i) // 48 bytes fit the block plus the buffer
        ar << BYTE(1);
    EXPECT_EQ(FileCause([&] { ar << BYTE(2); }), CFileException::diskFull);
    EXPECT_EQ(block, std::vector<BYTE>(32, 1));
    // Close still fails (the buffered bytes have nowhere to go) and closes the archive.
    EXPECT_EQ(FileCause([&] { ar.Close(); }), CFileException::diskFull);
    EXPECT_EQ(ar.GetFile(), nullptr);
}

TEST(Archive, OverflowStillInTheBufferIsReportedAtClose)
{
    std::vector<BYTE> block(10, 0);
    CMemFile file(block.data(), 10);
    CArchive ar(&file, CArchive::store);
    const BYTE data[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    ar.Write(data, 11); // buffered, nothing reported yet
    EXPECT_EQ(FileCause([&] { ar.Close(); }), CFileException::diskFull);
    EXPECT_EQ(block, std::vector<BYTE>(10, 0)); // a refused write stores nothing
}

TEST(Archive, CloseAndDestructionFlush)
{
    std::vector<BYTE> block(8, 0);
    {
        CMemFile file(block.data(), 8);
        CArchive ar(&file, CArchive::store);
        ar << uint32_t(7);
        EXPECT_EQ(block[0], 0); // still in the buffer
        ar.Close();
        EXPECT_EQ(block[0], 7);
    }
    {
        CMemFile file(block.data(), 8);
        CArchive ar(&file, CArchive::store);
        ar << uint32_t(9);
    }
    EXPECT_EQ(block[0], 9);
    {
        CMemFile file(block.data(), 8);
        CArchive ar(&file, CArchive::store | CArchive::bNoFlushOnDelete);
        ar << uint32_t(11);
    }
    EXPECT_EQ(block[0], 9);
    { // a failing flush in the destructor is swallowed
        CMemFile file(block.data(), 2);
        CArchive ar(&file, CArchive::store);
        ar << uint32_t(13);
    }
    EXPECT_EQ(block[0], 9);
}

TEST(Archive, ShortReadsAndMisuse)
{
    BYTE block[3] = {1, 2, 3};
    CMemFile file(block, 3);
    CArchive ar(&file, CArchive::load);
    EXPECT_TRUE(ar.IsLoading());
    EXPECT_FALSE(ar.IsStoring());
    uint32_t value = 42;
    EXPECT_EQ(ArchiveCause([&] { ar >> value; }), CArchiveException::endOfFile);
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(ArchiveCause([&] { ar << BYTE(1); }), CArchiveException::readOnly);
    ar.Close();
    EXPECT_EQ(ArchiveCause([&] { ar >> value; }), CArchiveException::genericException);

    CMemFile again(block, 3);
    CArchive raw(&again, CArchive::load, 16);
    BYTE out[8] = {};
    EXPECT_EQ(raw.Read(out, 8), 3u); // raw reads report the short count
    EXPECT_EQ(raw.Read(out, 8), 0u);

    CMemFile target(block, 3);
    CArchive store(&target, CArchive::store);
    EXPECT_EQ(ArchiveCause([&] { store >> value; }), CArchiveException::writeOnly);
    EXPECT_EQ(ArchiveCause([] { CArchive bad(nullptr, CArchive::load); }), CArchiveException::genericException);
}

TEST(Archive, StringLongerThanTheDataIsRefusedBeforeAllocating)
{
    BYTE block[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}; // claims ~2 GiB
    CMemFile file(block, 6);
    CArchive ar(&file, CArchive::load);
    CString text("kept");
    EXPECT_EQ(ArchiveCause([&] { ar >> text; }), CArchiveException::endOfFile);
    EXPECT_EQ(text, CString("kept"));
}

TEST(Archive, LoadingFlushGivesBackTheReadAhead)
{
    BYTE block[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    CMemFile file(block, 10);
    CArchive ar(&file, CArchive::load);
    BYTE first = 0;
    ar >> first;
    EXPECT_EQ(file.GetPosition(), 10u); // buffered ahead
    EXPECT_EQ(ar.GetRemainingBytes(), 9u);
    ar.Flush();
    EXPECT_EQ(file.GetPosition(), 1u);
}

TEST(MemFile, AttachedBlockSeekReadAndDetach)
{
    BYTE block[4] = {1, 2, 3, 4};
    CMemFile file(block, 4, 1024);
    EXPECT_EQ(file.GetLength(), 4u); // the whole given block is readable
    EXPECT_EQ(file.Seek(-1, CFile::end), 3u);
    BYTE out[4] = {};
    EXPECT_EQ(file.Read(out, 4), 1u);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(FileCause([&] { file.Seek(-5, CFile::current); }), CFileException::badSeek);
    EXPECT_EQ(FileCause([&] { file.Seek(0, 7); }), CFileException::badSeek);
    EXPECT_EQ(file.Seek(10, CFile::begin), 10u);
    EXPECT_EQ(file.Read(out, 4), 0u);
    file.SeekToBegin();
    EXPECT_EQ(file.Detach(), block);
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_EQ(file.Read(out, 4), 0u);
}

TEST(MemFile, GrowthNeverReallocatesTheCallersBlock)
{
    BYTE block[4] = {0, 0, 0, 0};
    CMemFile file(block, 4, 8);
    const BYTE data[6] = {1, 2, 3, 4, 5, 6};
    file.Write(data, 2);
    file.Write(data, 6); // does not fit: continues in the file's own block
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[2], 0); // the refused part did not reach the caller's block
    EXPECT_EQ(file.GetLength(), 8u);
    BYTE* owned = file.Detach();
    ASSERT_NE(owned, block);
    EXPECT_EQ(owned[7], 6);
    std::free(owned);

    CMemFile grown; // owned, zero-filled gap after a seek past the end
    file.Close();
    grown.Seek(3, CFile::begin);
    grown.Write(data, 1);
    BYTE out[4] = {9, 9, 9, 9};
    grown.SeekToBegin();
    ASSERT_EQ(grown.Read(out, 4), 4u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[3], 1);
}

} // namespace
