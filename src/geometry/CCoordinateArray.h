// The trace of a sample: an ordered list of traces, each an ordered list of
// stage points (vector2d<double>, µm), with the bounding box of all points and
// the last stage middle point. A sample owns one; its serialised form is
// stored in the 10000-byte Trace block of the Samples table.
#pragma once

#include "framework/CObject.h"
#include "geometry/vector2d.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Stored layout (all little-endian; doubles as IEEE 754 bit patterns):
//
//   offset  size  field
//   0       2     magic 'Z' 'T' (0x5A 0x54)
//   2       1     format version, 1
//   3       16    last stage middle point: x, y (double)
//   19      4     number of traces T (uint32)
//   23      ...   T times: number of points P_i (uint32), then P_i points x, y (double)
//   end     4     CRC-32 (IEEE, reflected, as in zlib) of every byte before it
//
// Size: 27 + 4·T + 16·ΣP_i bytes. Into the 10000-byte block therefore fit
// ΣP_i <= (10000 - 27 - 4·T) / 16 points: 623 points as one trace (9999 bytes),
// 622 as two traces. Bytes after the checksum are never read, so the block may
// hold anything behind it.
class CCoordinateArray : public CObject {
    DECLARE_DYNAMIC(CCoordinateArray)
public:
    using Trace = std::vector<vector2d<double>>;
    using TraceList = std::vector<Trace>;

    static constexpr BYTE kMagic0 = 0x5A;
    static constexpr BYTE kMagic1 = 0x54;
    static constexpr BYTE kFormatVersion = 1;
    static constexpr uint64_t kFixedBytes = 27;    // magic, version, middle point, T, CRC
    static constexpr uint64_t kBytesPerTrace = 4;  // its point count
    static constexpr uint64_t kBytesPerPoint = 16; // x and y
    // Bytes Serialize writes for `traces` traces holding `points` points in all.
    static constexpr uint64_t SerializedSize(uint64_t traces, uint64_t points)
    {
        return kFixedBytes + kBytesPerTrace * traces + kBytesPerPoint * points;
    }

    // No traces, bounding box and last stage middle point at (0, 0).
    CCoordinateArray() = default;
    // Starts empty with the middle point (0, 0), then assigns the source.
    CCoordinateArray(const CCoordinateArray& other);
    CCoordinateArray& operator=(const CCoordinateArray& other);
    CCoordinateArray(CCoordinateArray&& other) noexcept;
    CCoordinateArray& operator=(CCoordinateArray&& other) noexcept;
    ~CCoordinateArray() override = default;

    // Corners of the bounding box of all points: (minimum x, minimum y) and
    // (maximum x, maximum y); both (0, 0) while the array holds no point.
    vector2d<double> Min() const { return {m_MinX, m_MinY}; }
    vector2d<double> Max() const { return {m_MaxX, m_MaxY}; }
    // The last point of the last trace that has points (so a trace just begun
    // with AddTrace does not hide the point before it); (0, 0) when there is no
    // point at all. Callers ask GetTotalNumberOfPoints first.
    vector2d<double> getLastPoint() const;
    // Number of points in all traces; 0 means the sample has no trace.
    uint32_t GetTotalNumberOfPoints() const { return m_nTotalPoints; }
    // Empties the array: no traces, bounding box and middle point back to (0, 0),
    // i.e. equal to a default-constructed array.
    void RemoveAll();

    // Starts a new, empty trace; later points go into it.
    void AddTrace();
    // Appends a point to the last trace (starting the first trace if there is
    // none) and widens the bounding box. Returns FALSE and adds nothing when a
    // coordinate is not finite or the array already holds 2^32 - 1 points.
    BOOL AddPoint(const vector2d<double>& point);
    // The traces, in order, for reading.
    const TraceList& GetTraces() const { return m_Traces; }

    // Bytes that Serialize writes for this array (see the layout above).
    uint64_t GetSerializedSize() const { return SerializedSize(m_Traces.size(), m_nTotalPoints); }

    // Storing: writes the array in the layout above. nMaxBytes > 0 is the room
    // left for it in the archive's file (10000 for the Trace block): an array
    // whose size exceeds it throws CFileException (diskFull) before a byte is
    // written; nMaxBytes <= 0 leaves the check to the file, whose exception
    // arrives when the archive's buffer flushes (at Close at the latest).
    // Loading (nMaxBytes is ignored; pass -1): reads an array back. Data that is
    // cut short, damaged (checksum, non-finite point, counts larger than the
    // remaining data) or of another class or version throws CArchiveException
    // (endOfFile, genericException, badClass or badSchema) and leaves the array
    // unchanged; no count is trusted before the data it promises is known to be
    // there.
    void Serialize(CArchive& ar, int nMaxBytes);
    // Serialize(ar, -1).
    void Serialize(CArchive& ar) override;

    void Dump(CDumpContext& dc) const override;

    // Same traces (point by point, exact) and same middle point.
    friend bool operator==(const CCoordinateArray& a, const CCoordinateArray& b)
    {
        return a.m_Traces == b.m_Traces && a.m_LastStageMiddlePoint == b.m_LastStageMiddlePoint;
    }
    friend bool operator!=(const CCoordinateArray& a, const CCoordinateArray& b) { return !(a == b); }

protected:
    int GetNumberOfTraces() const { return static_cast<int>(m_Traces.size()); }
    vector2d<double> GetLastStageMiddlePoint() const { return m_LastStageMiddlePoint; }
    // Any value, stored and read back bit for bit.
    void SetLastStageMiddlePoint(vector2d<double> point) { m_LastStageMiddlePoint = point; }

private:
    void Store(CArchive& ar, int nMaxBytes) const;
    void Load(CArchive& ar);
    // Sets the bounding box and point count from the traces.
    void RecomputeBounds();
    void IncludeInBounds(const vector2d<double>& point);

    TraceList m_Traces;
    double m_MinX = 0.0;
    double m_MaxX = 0.0;
    double m_MinY = 0.0;
    double m_MaxY = 0.0;
    uint32_t m_nTotalPoints = 0;
    vector2d<double> m_LastStageMiddlePoint;
};
