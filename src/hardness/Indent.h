// The entries of hardness-depth profiles: CIndent is one planned or made indent
// (position, load, diagonals, indentor and its hardness value); CAverageIndent
// is one depth of a profile after its lanes were averaged (depth, load, value).
// Depths are in the unit of the run's distances, loads in gf, diagonals in µm.
#pragma once

#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_SampleProfileRun.h"
#include "framework/CObject.h"
#include "framework/CString.h"
#include "hardness/HardnessTypes.h"
#include "hardness/HardnessValue.h"

#include <cstdint>

// One indent of a profile. A planned indent carries only its position and test
// load; a made indent carries the whole measured record, and its hardness is
// always recomputed from the diagonals and load (a stored hardness number is
// never read).
class CIndent : public CObject {
    DECLARE_DYNAMIC(CIndent)

public:
    // Empty planned indent: default record without connection, not made,
    // planned-indent key -1, hardness 0.0 HV.
    CIndent();
    // Planned indent from an indent type: planned-indent key = type.PatternID,
    // depth = XPos, sideways position = YPos, test load = TestLoad (gf).
    explicit CIndent(const CZENDB_IndentType& type);
    // Made indent: copies the record (through its assignment) and computes the
    // hardness: Vickers -> HV from load, D1 and D2; Knoop -> HK from load and
    // D1 only; any other indentor -> 0.0 HV. Planned-indent key -1.
    explicit CIndent(const CZENDB_MadeIndent& made);
    CIndent(const CIndent& other);
    ~CIndent() override = default;

    // Copies the planned-indent key, the record (through its own assignment, so
    // the connection and key rules of the record apply), the made flag and the
    // hardness value with its texts.
    virtual CIndent& operator=(const CIndent& other);
    // ActualDistanceFromEdge: the depth below the edge.
    virtual double GetXPos() const;
    // ActualDistanceFromAxis: the sideways position.
    virtual double GetYPos() const;
    // ActualTestload in gf (-1.0 when the pattern fixes no load).
    virtual double GetTestLoad() const;
    // 1 for an indent built from a made-indent record, else 0.
    virtual int32_t IsMade() const;
    // Diagonals in µm; 0.0 for a planned indent.
    virtual double GetD1() const;
    virtual double GetD2() const;
    // ActualTypeOfIndentor of the record (Vickers for a planned indent).
    virtual IndentorType GetIndentorType() const;
    virtual CString GetObjective() const;
    virtual double GetCalibrationData() const;
    // The held value; valid while the indent lives; may be changed through it.
    virtual CHardnessValue* GetHardnessValue();
    // The held record; valid while the indent lives.
    virtual CZENDB_MadeIndent* GetMadeIndent();

    // PatternID of the indent type the indent was planned from; -1 for a made
    // indent and for types that were never stored.
    int32_t GetPlannedIndentKey() const { return m_nPlannedIndentKey; }

private:
    int32_t m_nPlannedIndentKey;
    CZENDB_MadeIndent m_MadeIndent;
    int32_t m_bMade;
    CHardnessValue m_HardnessValue;
};

// One depth of a merged (single-lane) profile: the lane average at that depth.
class CAverageIndent : public CObject {
    DECLARE_DYNAMIC(CAverageIndent)

public:
    // Depth 0.0, load 0.0, hardness 0.0 HV.
    CAverageIndent();
    // hardness in `type` (HV/HK, or a Rockwell scale) made by `indentor` at
    // `load` gf; the value carries its Rockwell conversion where one exists.
    CAverageIndent(double xPos, double hardness, IndentorType indentor, HardnessType type,
                   double load);
    CAverageIndent(const CAverageIndent& other);
    ~CAverageIndent() override = default;

    virtual CAverageIndent& operator=(const CAverageIndent& other);
    virtual double GetXPos() const;
    // gf
    virtual double GetTestLoad() const;
    // The held value; valid while the entry lives.
    virtual CHardnessValue* GetHardnessValue();

private:
    double m_dXPos;
    double m_dTestLoad;
    CHardnessValue m_HardnessValue;
};
