// Trace bookkeeping (bounding box, point count) and the checked, versioned
// binary form of a trace. Loading reads into a fresh array and takes it over
// only when everything, checksum included, is right.
#include "geometry/CCoordinateArray.h"

#include "framework/CArchive.h"
#include "framework/Exceptions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

IMPLEMENT_DYNAMIC(CCoordinateArray, CObject)

namespace {

// CRC-32 with the reflected polynomial 0xEDB88320, initial value and final
// XOR 0xFFFFFFFF (the check value of "123456789" is 0xCBF43926). Eight bytes
// are folded per step with eight tables (slicing-by-8): table k maps a byte to
// its contribution k positions further on, which breaks the byte-by-byte
// dependency chain that would otherwise dominate storing and loading.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables()
{
    CrcTables tables{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables[0][n] = c;
    }
    for (size_t k = 1; k < 8; ++k) {
        for (uint32_t n = 0; n < 256; ++n)
            tables[k][n] = (tables[k - 1][n] >> 8) ^ tables[0][tables[k - 1][n] & 0xFFu];
    }
    return tables;
}
constexpr CrcTables kCrc = MakeCrcTables();

class CCrc32 {
public:
    void Add(const BYTE* data, size_t size)
    {
        uint32_t c = m_state;
        for (; size >= 8; data += 8, size -= 8) {
            const uint32_t lo = c ^ (static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                                     static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24);
            c = kCrc[7][lo & 0xFFu] ^ kCrc[6][(lo >> 8) & 0xFFu] ^ kCrc[5][(lo >> 16) & 0xFFu] ^ kCrc[4][lo >> 24] ^
                kCrc[3][data[4]] ^ kCrc[2][data[5]] ^ kCrc[1][data[6]] ^ kCrc[0][data[7]];
        }
        for (; size > 0; ++data, --size)
            c = kCrc[0][(c ^ *data) & 0xFFu] ^ (c >> 8);
        m_state = c;
    }
    uint32_t Value() const { return m_state ^ 0xFFFFFFFFu; }

private:
    uint32_t m_state = 0xFFFFFFFFu;
};

// Builds the stored image byte by byte.
class CImageWriter {
public:
    explicit CImageWriter(size_t size) : m_bytes(size) {}
    void Byte(BYTE value) { m_bytes[m_nUsed++] = value; }
    void U32(uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes[m_nUsed++] = static_cast<BYTE>(value >> (8 * i));
    }
    void F64(double value)
    {
        const auto bits = std::bit_cast<uint64_t>(value);
        for (int i = 0; i < 8; ++i)
            m_bytes[m_nUsed++] = static_cast<BYTE>(bits >> (8 * i));
    }
    const BYTE* Data() const { return m_bytes.data(); }
    size_t Used() const { return m_nUsed; }

private:
    std::vector<BYTE> m_bytes;
    size_t m_nUsed = 0;
};

double DecodeF64(const BYTE* b)
{
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | b[i];
    return std::bit_cast<double>(bits);
}

// Reads fixed-width values from the archive, feeding every byte to the checksum.
class CImageReader {
public:
    explicit CImageReader(CArchive& ar) : m_ar(ar) {}

    void Raw(BYTE* out, UINT size)
    {
        if (m_ar.Read(out, size) != size)
            AfxThrowArchiveException(CArchiveException::endOfFile);
        m_crc.Add(out, size);
    }
    BYTE Byte()
    {
        BYTE value = 0;
        Raw(&value, 1);
        return value;
    }
    uint32_t U32()
    {
        BYTE b[4];
        Raw(b, 4);
        return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
               static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    }
    double F64()
    {
        BYTE b[8];
        Raw(b, 8);
        return DecodeF64(b);
    }
    // Throws endOfFile unless at least `needed` bytes are still to be read.
    void Require(uint64_t needed) const
    {
        if (needed > m_ar.GetRemainingBytes())
            AfxThrowArchiveException(CArchiveException::endOfFile);
    }
    uint32_t Checksum() const { return m_crc.Value(); }

private:
    CArchive& m_ar;
    CCrc32 m_crc;
};

} // namespace

CCoordinateArray::CCoordinateArray(const CCoordinateArray& other) : CObject()
{
    *this = other;
}

CCoordinateArray& CCoordinateArray::operator=(const CCoordinateArray& other)
{
    if (this != &other) {
        m_Traces = other.m_Traces;
        m_MinX = other.m_MinX;
        m_MaxX = other.m_MaxX;
        m_MinY = other.m_MinY;
        m_MaxY = other.m_MaxY;
        m_nTotalPoints = other.m_nTotalPoints;
        m_LastStageMiddlePoint = other.m_LastStageMiddlePoint;
    }
    return *this;
}

CCoordinateArray::CCoordinateArray(CCoordinateArray&& other) noexcept : CObject()
{
    *this = std::move(other);
}

CCoordinateArray& CCoordinateArray::operator=(CCoordinateArray&& other) noexcept
{
    if (this != &other) {
        m_Traces = std::move(other.m_Traces);
        m_MinX = other.m_MinX;
        m_MaxX = other.m_MaxX;
        m_MinY = other.m_MinY;
        m_MaxY = other.m_MaxY;
        m_nTotalPoints = other.m_nTotalPoints;
        m_LastStageMiddlePoint = other.m_LastStageMiddlePoint;
        other.RemoveAll();
    }
    return *this;
}

vector2d<double> CCoordinateArray::getLastPoint() const
{
    for (auto trace = m_Traces.rbegin(); trace != m_Traces.rend(); ++trace) {
        if (!trace->empty())
            return trace->back();
    }
    return {};
}

void CCoordinateArray::RemoveAll()
{
    m_Traces.clear();
    m_MinX = m_MaxX = m_MinY = m_MaxY = 0.0;
    m_nTotalPoints = 0;
    m_LastStageMiddlePoint = {};
}

void CCoordinateArray::AddTrace()
{
    m_Traces.emplace_back();
}

BOOL CCoordinateArray::AddPoint(const vector2d<double>& point)
{
    if (!std::isfinite(point.x) || !std::isfinite(point.y) ||
        m_nTotalPoints == std::numeric_limits<uint32_t>::max())
        return FALSE;
    if (m_Traces.empty())
        m_Traces.emplace_back();
    m_Traces.back().push_back(point);
    IncludeInBounds(point);
    ++m_nTotalPoints;
    return TRUE;
}

void CCoordinateArray::IncludeInBounds(const vector2d<double>& point)
{
    if (m_nTotalPoints == 0) {
        m_MinX = m_MaxX = point.x;
        m_MinY = m_MaxY = point.y;
        return;
    }
    m_MinX = std::min(m_MinX, point.x);
    m_MaxX = std::max(m_MaxX, point.x);
    m_MinY = std::min(m_MinY, point.y);
    m_MaxY = std::max(m_MaxY, point.y);
}

void CCoordinateArray::RecomputeBounds()
{
    m_MinX = m_MaxX = m_MinY = m_MaxY = 0.0;
    m_nTotalPoints = 0;
    for (const Trace& trace : m_Traces) {
        for (const auto& point : trace) {
            IncludeInBounds(point);
            ++m_nTotalPoints;
        }
    }
}

void CCoordinateArray::Serialize(CArchive& ar)
{
    Serialize(ar, -1);
}

void CCoordinateArray::Serialize(CArchive& ar, int nMaxBytes)
{
    if (ar.IsStoring())
        Store(ar, nMaxBytes);
    else
        Load(ar);
}

void CCoordinateArray::Store(CArchive& ar, int nMaxBytes) const
{
    const uint64_t size = GetSerializedSize();
    if (nMaxBytes > 0 && size > static_cast<uint64_t>(nMaxBytes))
        AfxThrowFileException(CFileException::diskFull);
    if (size > std::numeric_limits<UINT>::max() || m_Traces.size() > std::numeric_limits<uint32_t>::max())
        AfxThrowArchiveException(CArchiveException::genericException);

    CImageWriter image(static_cast<size_t>(size));
    image.Byte(kMagic0);
    image.Byte(kMagic1);
    image.Byte(kFormatVersion);
    image.F64(m_LastStageMiddlePoint.x);
    image.F64(m_LastStageMiddlePoint.y);
    image.U32(static_cast<uint32_t>(m_Traces.size()));
    for (const Trace& trace : m_Traces) {
        image.U32(static_cast<uint32_t>(trace.size()));
        for (const auto& point : trace) {
            image.F64(point.x);
            image.F64(point.y);
        }
    }
    CCrc32 crc;
    crc.Add(image.Data(), image.Used());
    image.U32(crc.Value());
    ar.Write(image.Data(), static_cast<UINT>(image.Used()));
}

void CCoordinateArray::Load(CArchive& ar)
{
    CImageReader in(ar);
    BYTE magic[2];
    in.Raw(magic, 2);
    if (magic[0] != kMagic0 || magic[1] != kMagic1)
        AfxThrowArchiveException(CArchiveException::badClass);
    if (in.Byte() != kFormatVersion)
        AfxThrowArchiveException(CArchiveException::badSchema);

    CCoordinateArray loaded;
    loaded.m_LastStageMiddlePoint.x = in.F64();
    loaded.m_LastStageMiddlePoint.y = in.F64();
    const uint32_t traceCount = in.U32();
    // Every trace needs at least its count, and the checksum follows.
    in.Require(kBytesPerTrace * traceCount + 4);
    loaded.m_Traces.resize(traceCount);
    uint64_t totalPoints = 0;
    for (uint32_t t = 0; t < traceCount; ++t) {
        const uint32_t pointCount = in.U32();
        const uint64_t tracesAfter = traceCount - 1 - t;
        in.Require(kBytesPerPoint * pointCount + kBytesPerTrace * tracesAfter + 4);
        totalPoints += pointCount;
        if (totalPoints > std::numeric_limits<uint32_t>::max())
            AfxThrowArchiveException(CArchiveException::genericException);
        // The whole trace in one read; its size was checked against the data above.
        std::vector<BYTE> raw(static_cast<size_t>(kBytesPerPoint * pointCount));
        in.Raw(raw.data(), static_cast<UINT>(raw.size()));
        Trace& trace = loaded.m_Traces[t];
        trace.reserve(pointCount);
        for (size_t offset = 0; offset < raw.size(); offset += kBytesPerPoint) {
            const double x = DecodeF64(raw.data() + offset);
            const double y = DecodeF64(raw.data() + offset + 8);
            if (!std::isfinite(x) || !std::isfinite(y))
                AfxThrowArchiveException(CArchiveException::genericException);
            trace.emplace_back(x, y);
        }
    }
    const uint32_t computed = in.Checksum();
    if (in.U32() != computed)
        AfxThrowArchiveException(CArchiveException::genericException);

    loaded.RecomputeBounds();
    *this = std::move(loaded);
}

void CCoordinateArray::Dump(CDumpContext& dc) const
{
    CObject::Dump(dc);
    dc << "\ntraces: " << static_cast<unsigned>(m_Traces.size()) << ", points: " << m_nTotalPoints
       << ", min: (" << m_MinX << ", " << m_MinY << "), max: (" << m_MaxX << ", " << m_MaxY << ")\n";
}
