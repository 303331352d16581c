// CDBVariant: owned string, date and binary values, deep copies.
#include "framework/sql/FieldInfo.h"

CDBVariant::CDBVariant(const CDBVariant& other)
{
    m_dblVal = 0.0;
    *this = other;
}

CDBVariant& CDBVariant::operator=(const CDBVariant& other)
{
    if (this == &other)
        return *this;
    switch (other.m_dwType) {
    case DBVT_DATE: SetDate(*other.m_pdate); break;
    case DBVT_STRING:
    case DBVT_ASTRING:
    case DBVT_WSTRING:
        SetString(*other.m_pstring);
        m_dwType = other.m_dwType;
        break;
    case DBVT_BINARY: SetBinary(*other.m_pbinary); break;
    default:
        Clear();
        m_dblVal = other.m_dblVal; // copies whichever plain member is in use
        m_dwType = other.m_dwType;
        break;
    }
    return *this;
}

void CDBVariant::Clear()
{
    switch (m_dwType) {
    case DBVT_DATE: delete m_pdate; break;
    case DBVT_STRING:
    case DBVT_ASTRING:
    case DBVT_WSTRING: m_string = CString(); break; // its storage released, as a delete would
    case DBVT_BINARY: delete m_pbinary; break;
    default: break;
    }
    m_dwType = DBVT_NULL;
    m_dblVal = 0.0;
}

void CDBVariant::SetBool(BOOL value) { Clear(); m_boolVal = value ? TRUE : FALSE; m_dwType = DBVT_BOOL; }
void CDBVariant::SetUChar(unsigned char value) { Clear(); m_chVal = value; m_dwType = DBVT_UCHAR; }
void CDBVariant::SetShort(short value) { Clear(); m_iVal = value; m_dwType = DBVT_SHORT; }
void CDBVariant::SetLong(int32_t value) { Clear(); m_lVal = value; m_dwType = DBVT_LONG; }
void CDBVariant::SetSingle(float value) { Clear(); m_fltVal = value; m_dwType = DBVT_SINGLE; }
void CDBVariant::SetDouble(double value) { Clear(); m_dblVal = value; m_dwType = DBVT_DOUBLE; }

void CDBVariant::SetDate(const TIMESTAMP_STRUCT& value)
{
    auto* copy = new TIMESTAMP_STRUCT(value);
    Clear();
    m_pdate = copy;
    m_dwType = DBVT_DATE;
}

void CDBVariant::SetString(const CString& value)
{
    if (m_dwType == DBVT_STRING || m_dwType == DBVT_ASTRING || m_dwType == DBVT_WSTRING) {
        m_string = value; // also when value is this variant's own text
    } else {
        CString copy(value); // value may live in what Clear frees
        Clear();
        m_string = std::move(copy);
    }
    m_pstring = &m_string;
    m_dwType = DBVT_STRING;
}

void CDBVariant::SetString(CString&& value)
{
    if (&value != &m_string) {
        CString taken(std::move(value));
        Clear();
        m_string = std::move(taken);
    }
    m_pstring = &m_string;
    m_dwType = DBVT_STRING;
}

void CDBVariant::SetBinary(const CByteArray& value)
{
    auto* copy = new CByteArray(value);
    Clear();
    m_pbinary = copy;
    m_dwType = DBVT_BINARY;
}
