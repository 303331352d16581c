// Coordinate array (a sample's trace): bookkeeping of points and bounding box,
// copying, and its stored form in the 10000-byte Trace block: round trips, the
// capacity limit, cut-short, corrupted and random data.
#include "geometry/CCoordinateArray.h"

#include "framework/CArchive.h"
#include "framework/CMemFile.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using Point = vector2d<double>;
constexpr UINT kBlockSize = 10000;

// Exposes the protected accessors.
class CTestArray : public CCoordinateArray {
public:
    using CCoordinateArray::GetLastStageMiddlePoint;
    using CCoordinateArray::GetNumberOfTraces;
    using CCoordinateArray::SetLastStageMiddlePoint;
};

CTestArray MakeArray(const std::vector<size_t>& pointsPerTrace, Point middle = {12.5, -3.25})
{
    CTestArray array;
    double v = 0.0;
    for (size_t n : pointsPerTrace) {
        array.AddTrace();
        for (size_t i = 0; i < n; ++i, v += 1.0)
            EXPECT_TRUE(array.AddPoint({v * 0.37 - 50.0, 1000.0 / (v + 1.0)}));
    }
    array.SetLastStageMiddlePoint(middle);
    return array;
}

// Stores the way a sample's save does: fixed block, 4096-byte buffer, Close.
std::vector<BYTE> StoreToBlock(const CCoordinateArray& array, int flag = static_cast<int>(kBlockSize))
{
    std::vector<BYTE> block(kBlockSize, 0);
    CMemFile file(block.data(), kBlockSize);
    CArchive ar(&file, CArchive::store, 4096);
    const_cast<CCoordinateArray&>(array).Serialize(ar, flag);
    ar.Close();
    return block;
}

void LoadFromBytes(CCoordinateArray& array, BYTE* bytes, UINT size)
{
    CMemFile file(bytes, size, 1024);
    CArchive ar(&file, CArchive::load, 4096);
    array.Serialize(ar, -1);
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

TEST(CoordinateArray, PointsBoundingBoxAndLastPoint)
{
    CTestArray array;
    EXPECT_EQ(array.GetTotalNumberOfPoints(), 0u);
    EXPECT_EQ(array.Min(), Point());
    EXPECT_EQ(array.getLastPoint(), Point());
    EXPECT_TRUE(array.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_STREQ(array.GetRuntimeClass()->m_lpszClassName, "CCoordinateArray");

    EXPECT_TRUE(array.AddPoint({3, 4})); // starts the first trace
    EXPECT_EQ(array.Min(), Point(3, 4));
    EXPECT_EQ(array.Max(), Point(3, 4));
    array.AddTrace();
    EXPECT_TRUE(array.AddPoint({-1, 10}));
    EXPECT_TRUE(array.AddPoint({7, -2}));
    array.AddTrace(); // empty last trace
    EXPECT_EQ(array.GetNumberOfTraces(), 3);
    EXPECT_EQ(array.GetTotalNumberOfPoints(), 3u);
    EXPECT_EQ(array.Min(), Point(-1, -2));
    EXPECT_EQ(array.Max(), Point(7, 10));
    EXPECT_EQ(array.getLastPoint(), Point(7, -2));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(array.AddPoint({nan, 0}));
    EXPECT_FALSE(array.AddPoint({0, std::numeric_limits<double>::infinity()}));
    EXPECT_EQ(array.GetTotalNumberOfPoints(), 3u);

    array.SetLastStageMiddlePoint({1, 1});
    array.RemoveAll();
    EXPECT_EQ(array, CCoordinateArray());
    EXPECT_EQ(array.GetNumberOfTraces(), 0);
    EXPECT_EQ(array.Max(), Point());
}

TEST(CoordinateArray, CopiesAreIndependentValues)
{
    const CTestArray source = MakeArray({2, 0, 3});
    CTestArray copy(source);
    EXPECT_EQ(copy, source);
    EXPECT_EQ(copy.Min(), source.Min());
    EXPECT_EQ(copy.GetTotalNumberOfPoints(), 5u);
    copy.AddPoint({1e6, 1e6});
    EXPECT_NE(copy, source);
    copy = source;
    EXPECT_EQ(copy.Max(), source.Max());
    EXPECT_EQ(copy.GetLastStageMiddlePoint(), Point(12.5, -3.25));
}

TEST(CoordinateArray, RoundTripThroughTheTraceBlock)
{
    const std::vector<std::vector<size_t>> shapes = {{1}, {3, 0, 5}, {0}, {}, {100, 200, 300}};
    for (const auto& shape : shapes) {
        const CTestArray original = MakeArray(shape);
        std::vector<BYTE> block = StoreToBlock(original);
        CTestArray loaded = MakeArray({4}); // whatever was there is replaced
        LoadFromBytes(loaded, block.data(), kBlockSize);
        EXPECT_EQ(loaded, original);
        EXPECT_EQ(loaded.Min(), original.Min());
        EXPECT_EQ(loaded.Max(), original.Max());
        EXPECT_EQ(loaded.GetTotalNumberOfPoints(), original.GetTotalNumberOfPoints());
        EXPECT_EQ(loaded.GetNumberOfTraces(), original.GetNumberOfTraces());
    }
}

TEST(CoordinateArray, ByteLayoutOfOnePoint)
{
    CTestArray array;
    array.AddPoint({1.0, -2.0});
    array.SetLastStageMiddlePoint({0.5, 0.0});
    const std::vector<BYTE> block = StoreToBlock(array);
    EXPECT_EQ(array.GetSerializedSize(), 47u);
    const std::vector<BYTE> head = {0x5A, 0x54, 1,                        // magic, version
                                    0, 0, 0, 0, 0, 0, 0xE0, 0x3F,         // 0.5
                                    0, 0, 0, 0, 0, 0, 0, 0,               // 0.0
                                    1, 0, 0, 0,                           // one trace
                                    1, 0, 0, 0,                           // one point
                                    0, 0, 0, 0, 0, 0, 0xF0, 0x3F,         // 1.0
                                    0, 0, 0, 0, 0, 0, 0x00, 0xC0,         // -2.0
                                    0xB2, 0xD6, 0x43, 0xFA};              // CRC-32 (zlib's) of the above
    EXPECT_EQ(std::vector<BYTE>(block.begin(), block.begin() + head.size()), head);
    EXPECT_EQ(std::vector<BYTE>(block.begin() + 47, block.end()), std::vector<BYTE>(kBlockSize - 47, 0));
}

TEST(CoordinateArray, LargestTraceThatFitsTheBlock)
{
    // 27 + 4·T + 16·P <= 10000
    for (size_t traces = 1; traces <= 4; ++traces) {
        const size_t fit = (kBlockSize - 27 - 4 * traces) / 16;
        std::vector<size_t> shape(traces, 0);
        shape[0] = fit - (traces - 1);
        for (size_t t = 1; t < traces; ++t)
            shape[t] = 1;
        const CTestArray largest = MakeArray(shape);
        ASSERT_LE(largest.GetSerializedSize(), kBlockSize);
        std::vector<BYTE> block = StoreToBlock(largest);
        CTestArray loaded;
        LoadFromBytes(loaded, block.data(), kBlockSize);
        EXPECT_EQ(loaded, largest);

        shape[0] += 1; // one point more
        const CTestArray tooLarge = MakeArray(shape);
        for (int flag : {static_cast<int>(kBlockSize), -1}) {
            // With the limit given nothing is written; without it the block itself refuses.
            try {
                StoreToBlock(tooLarge, flag);
                ADD_FAILURE() << traces << " traces, flag " << flag;
            } catch (const CFileException& e) {
                EXPECT_EQ(e.m_cause, CFileException::diskFull);
            }
        }
    }
    EXPECT_EQ(MakeArray({623}).GetSerializedSize(), 9999u);
}

TEST(CoordinateArray, CutShortDataNeverLoads)
{
    const CTestArray original = MakeArray({3, 0, 2});
    std::vector<BYTE> block = StoreToBlock(original);
    const auto size = static_cast<UINT>(original.GetSerializedSize());
    const CTestArray sentinel = MakeArray({1}, {9, 9});
    for (UINT cut = 0; cut < size; ++cut) {
        std::vector<BYTE> part(block.begin(), block.begin() + cut);
        CTestArray loaded = sentinel;
        EXPECT_NE(ArchiveCause([&] { LoadFromBytes(loaded, part.data(), cut); }), CArchiveException::none)
            << "cut at " << cut;
        EXPECT_EQ(loaded, sentinel) << "cut at " << cut; // left unchanged
    }
}

TEST(CoordinateArray, EveryDamagedByteIsDetected)
{
    const CTestArray original = MakeArray({2, 1});
    const std::vector<BYTE> block = StoreToBlock(original);
    const auto size = static_cast<size_t>(original.GetSerializedSize());
    for (size_t i = 0; i < size; ++i) {
        for (BYTE mask : {BYTE(0x01), BYTE(0x80), BYTE(0xFF)}) {
            std::vector<BYTE> damaged = block;
            damaged[i] ^= mask;
            CTestArray loaded;
            EXPECT_NE(ArchiveCause([&] { LoadFromBytes(loaded, damaged.data(), kBlockSize); }),
                      CArchiveException::none)
                << "byte " << i;
        }
    }
}

TEST(CoordinateArray, ForeignClassAndVersion)
{
    std::vector<BYTE> block = StoreToBlock(MakeArray({1}));
    CTestArray loaded;
    block[2] = 2;
    EXPECT_EQ(ArchiveCause([&] { LoadFromBytes(loaded, block.data(), kBlockSize); }), CArchiveException::badSchema);
    block[0] = 'X';
    EXPECT_EQ(ArchiveCause([&] { LoadFromBytes(loaded, block.data(), kBlockSize); }), CArchiveException::badClass);
}

TEST(CoordinateArray, HugeCountsAreRefusedBeforeAllocating)
{
    // Valid header, then a trace count or a point count far beyond the data.
    std::vector<BYTE> block = StoreToBlock(MakeArray({1}));
    for (size_t offset : {size_t(19), size_t(23)}) {
        std::vector<BYTE> damaged = block;
        for (size_t i = 0; i < 4; ++i)
            damaged[offset + i] = 0xFF;
        CTestArray loaded;
        EXPECT_EQ(ArchiveCause([&] { LoadFromBytes(loaded, damaged.data(), kBlockSize); }),
                  CArchiveException::endOfFile);
    }
}

TEST(CoordinateArray, RandomBytesThrowOrLoadAValidArray)
{
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        std::vector<BYTE> bytes(random() % (kBlockSize + 1));
        for (BYTE& b : bytes)
            b = static_cast<BYTE>(random());
        if (seed % 2 == 0 && bytes.size() >= 3) { // get past the magic and version check
            bytes[0] = 0x5A;
            bytes[1] = 0x54;
            bytes[2] = 1;
        }
        CTestArray loaded;
        try {
            LoadFromBytes(loaded, bytes.data(), static_cast<UINT>(bytes.size()));
        } catch (const CArchiveException&) {
            EXPECT_EQ(loaded, CCoordinateArray()) << "seed " << seed;
            continue;
        }
        uint32_t points = 0;
        for (const auto& trace : loaded.GetTraces()) {
            for (const Point& p : trace) {
                EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
                EXPECT_GE(p.x, loaded.Min().x);
                EXPECT_LE(p.y, loaded.Max().y);
                ++points;
            }
        }
        EXPECT_EQ(points, loaded.GetTotalNumberOfPoints()) << "seed " << seed;
    }
}

TEST(CoordinateArray, SerializeThroughTheObjectInterface)
{
    const CTestArray original = MakeArray({5});
    std::vector<BYTE> block(kBlockSize);
    {
        CMemFile file(block.data(), kBlockSize);
        CArchive ar(&file, CArchive::store);
        CObject& object = const_cast<CTestArray&>(original);
        object.Serialize(ar);
        ar.Close();
    }
    CTestArray loaded;
    CMemFile file(block.data(), kBlockSize);
    CArchive ar(&file, CArchive::load);
    static_cast<CObject&>(loaded).Serialize(ar);
    EXPECT_EQ(loaded, original);
}

} // namespace
