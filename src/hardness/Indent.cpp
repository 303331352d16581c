// Planned and made indents of a profile, and the lane-averaged entries that
// the profile evaluation works on. A made indent's hardness is recomputed from
// its diagonals here; the Rockwell equivalent comes with CHardnessValue.

#include "hardness/Indent.h"

IMPLEMENT_DYNAMIC(CIndent, CObject)
IMPLEMENT_DYNAMIC(CAverageIndent, CObject)

// ---------------------------------------------------------------------------
// CIndent

CIndent::CIndent()
    : m_nPlannedIndentKey(-1),
      m_MadeIndent(nullptr),
      m_bMade(0),
      m_HardnessValue(0.0, Vickers, 0.0, HV)
{
}

CIndent::CIndent(const CZENDB_IndentType& type) : CIndent()
{
    m_nPlannedIndentKey = type.PatternID;
    m_MadeIndent.ActualDistanceFromEdge = type.XPos;
    m_MadeIndent.ActualDistanceFromAxis = type.YPos;
    m_MadeIndent.ActualTestload = type.TestLoad;
}

CIndent::CIndent(const CZENDB_MadeIndent& made) : CIndent()
{
    m_bMade = 1;
    m_MadeIndent = made;

    const double load = m_MadeIndent.ActualTestload;
    switch (m_MadeIndent.ActualTypeOfIndentor) {
    case Vickers:
        m_HardnessValue = CHardnessValue(
            CHardnessValue::CalcHV(load, m_MadeIndent.D1, m_MadeIndent.D2), Vickers, load, HV);
        break;
    case Knoop:
        // A Knoop indent is evaluated on its long diagonal alone.
        m_HardnessValue =
            CHardnessValue(CHardnessValue::CalcHK(load, m_MadeIndent.D1), Knoop, load, HK);
        break;
    default:
        break;  // unknown indentor: the value stays 0.0 HV
    }
}

CIndent::CIndent(const CIndent& other)
    : CObject(other),
      m_nPlannedIndentKey(other.m_nPlannedIndentKey),
      m_MadeIndent(other.m_MadeIndent),
      m_bMade(other.m_bMade),
      m_HardnessValue(other.m_HardnessValue)
{
}

CIndent& CIndent::operator=(const CIndent& other)
{
    if (this != &other) {
        m_nPlannedIndentKey = other.m_nPlannedIndentKey;
        m_MadeIndent = other.m_MadeIndent;
        m_bMade = other.m_bMade;
        m_HardnessValue = other.m_HardnessValue;
    }
    return *this;
}

double CIndent::GetXPos() const
{
    return m_MadeIndent.ActualDistanceFromEdge;
}

double CIndent::GetYPos() const
{
    return m_MadeIndent.ActualDistanceFromAxis;
}

double CIndent::GetTestLoad() const
{
    return m_MadeIndent.ActualTestload;
}

int32_t CIndent::IsMade() const
{
    return m_bMade;
}

double CIndent::GetD1() const
{
    return m_MadeIndent.D1;
}

double CIndent::GetD2() const
{
    return m_MadeIndent.D2;
}

IndentorType CIndent::GetIndentorType() const
{
    return static_cast<IndentorType>(m_MadeIndent.ActualTypeOfIndentor);
}

CString CIndent::GetObjective() const
{
    return m_MadeIndent.Objective;
}

double CIndent::GetCalibrationData() const
{
    return m_MadeIndent.CalibrationData;
}

CHardnessValue* CIndent::GetHardnessValue()
{
    return &m_HardnessValue;
}

CZENDB_MadeIndent* CIndent::GetMadeIndent()
{
    return &m_MadeIndent;
}

// ---------------------------------------------------------------------------
// CAverageIndent

CAverageIndent::CAverageIndent()
    : m_dXPos(0.0), m_dTestLoad(0.0), m_HardnessValue(0.0, Vickers, 0.0, HV)
{
}

CAverageIndent::CAverageIndent(double xPos, double hardness, IndentorType indentor,
                               HardnessType type, double load)
    : m_dXPos(xPos), m_dTestLoad(load), m_HardnessValue(hardness, indentor, load, type)
{
}

CAverageIndent::CAverageIndent(const CAverageIndent& other)
    : CObject(other),
      m_dXPos(other.m_dXPos),
      m_dTestLoad(other.m_dTestLoad),
      m_HardnessValue(other.m_HardnessValue)
{
}

CAverageIndent& CAverageIndent::operator=(const CAverageIndent& other)
{
    if (this != &other) {
        m_dXPos = other.m_dXPos;
        m_dTestLoad = other.m_dTestLoad;
        m_HardnessValue = other.m_HardnessValue;
    }
    return *this;
}

double CAverageIndent::GetXPos() const
{
    return m_dXPos;
}

double CAverageIndent::GetTestLoad() const
{
    return m_dTestLoad;
}

CHardnessValue* CAverageIndent::GetHardnessValue()
{
    return &m_HardnessValue;
}
