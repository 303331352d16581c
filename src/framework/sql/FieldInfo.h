// Column descriptions and column values of the SQL layer, in the shapes the
// callers know from ODBC: the SQL type codes, CODBCFieldInfo (one result
// column) and CDBVariant (one value read by column name).
#pragma once

#include "framework/CByteArray.h"
#include "framework/CString.h"
#include "framework/Types.h"

#include <cstdint>

using SWORD = int16_t;
using UDWORD = uint32_t;
using RETCODE = int16_t;

// SQL type codes (the ODBC 3 values). Date-time columns report
// SQL_TYPE_TIMESTAMP (93); SQL_TIMESTAMP (11) is the older code of the same
// type and is never reported, but callers may compare against either.
constexpr SWORD SQL_UNKNOWN_TYPE = 0;
constexpr SWORD SQL_CHAR = 1;
constexpr SWORD SQL_NUMERIC = 2;
constexpr SWORD SQL_DECIMAL = 3;
constexpr SWORD SQL_INTEGER = 4;
constexpr SWORD SQL_SMALLINT = 5;
constexpr SWORD SQL_FLOAT = 6;
constexpr SWORD SQL_REAL = 7;
constexpr SWORD SQL_DOUBLE = 8;
constexpr SWORD SQL_DATETIME = 9;
constexpr SWORD SQL_TIMESTAMP = 11;
constexpr SWORD SQL_VARCHAR = 12;
constexpr SWORD SQL_TYPE_DATE = 91;
constexpr SWORD SQL_TYPE_TIME = 92;
constexpr SWORD SQL_TYPE_TIMESTAMP = 93;
constexpr SWORD SQL_LONGVARCHAR = -1;
constexpr SWORD SQL_BINARY = -2;
constexpr SWORD SQL_VARBINARY = -3;
constexpr SWORD SQL_LONGVARBINARY = -4;
constexpr SWORD SQL_BIGINT = -5;
constexpr SWORD SQL_TINYINT = -6;
constexpr SWORD SQL_BIT = -7;

// Nullability codes.
constexpr SWORD SQL_NO_NULLS = 0;
constexpr SWORD SQL_NULLABLE = 1;
constexpr SWORD SQL_NULLABLE_UNKNOWN = 2;

// Return codes carried by CDBException::m_nRetCode: SQL_ERROR for a failure
// reported by the engine (its own code is in m_strStateNativeOrigin), the
// AFX_SQL_ERROR_* values for misuse detected by the SQL layer itself.
constexpr RETCODE SQL_SUCCESS = 0;
constexpr RETCODE SQL_ERROR = -1;
constexpr RETCODE SQL_NO_DATA = 100;

constexpr int AFX_SQL_ERROR = 1000;
constexpr int AFX_SQL_ERROR_CONNECT_FAIL = AFX_SQL_ERROR + 0;
constexpr int AFX_SQL_ERROR_RECORDSET_FORWARD_ONLY = AFX_SQL_ERROR + 1;
constexpr int AFX_SQL_ERROR_EMPTY_COLUMN_LIST = AFX_SQL_ERROR + 2;
constexpr int AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH = AFX_SQL_ERROR + 3;
constexpr int AFX_SQL_ERROR_ILLEGAL_MODE = AFX_SQL_ERROR + 4;
constexpr int AFX_SQL_ERROR_MULTIPLE_ROWS_AFFECTED = AFX_SQL_ERROR + 5;
constexpr int AFX_SQL_ERROR_NO_CURRENT_RECORD = AFX_SQL_ERROR + 6;
constexpr int AFX_SQL_ERROR_NO_ROWS_AFFECTED = AFX_SQL_ERROR + 7;
constexpr int AFX_SQL_ERROR_RECORDSET_READONLY = AFX_SQL_ERROR + 8;
constexpr int AFX_SQL_ERROR_NO_DATA_FOUND = AFX_SQL_ERROR + 15;
constexpr int AFX_SQL_ERROR_ROW_UPDATE_NOT_SUPPORTED = AFX_SQL_ERROR + 16;

// Description of one result column.
// m_nPrecision: declared length of text and binary columns (VARCHAR(50) -> 50,
// TEXT without a length -> 255, long text and long binary -> 1073741823),
// digits of numbers (INTEGER 10, SMALLINT 5, DOUBLE 15, BIT 1), 19 for
// date-time columns. m_nScale: digits after the point (0 but for NUMERIC(p,s)).
struct CODBCFieldInfo {
    CString m_strName;
    SWORD m_nSQLType = SQL_UNKNOWN_TYPE;
    UDWORD m_nPrecision = 0;
    SWORD m_nScale = 0;
    SWORD m_nNullability = SQL_NULLABLE_UNKNOWN;
};

// Kinds of value held by a CDBVariant (m_dwType).
constexpr DWORD DBVT_NULL = 0;
constexpr DWORD DBVT_BOOL = 1;
constexpr DWORD DBVT_UCHAR = 2;
constexpr DWORD DBVT_SHORT = 3;
constexpr DWORD DBVT_LONG = 4;
constexpr DWORD DBVT_SINGLE = 5;
constexpr DWORD DBVT_DOUBLE = 6;
constexpr DWORD DBVT_DATE = 7;
constexpr DWORD DBVT_STRING = 8;
constexpr DWORD DBVT_BINARY = 9;
constexpr DWORD DBVT_ASTRING = 10;
constexpr DWORD DBVT_WSTRING = 11;

// A date and time as the columns hold it: local time, fields as written
// (month 1..12); fraction in billionths of a second (always 0 here).
struct TIMESTAMP_STRUCT {
    int16_t year = 0;
    uint16_t month = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint32_t fraction = 0;
};

// One column value of the current row, in the kind that matches the column's
// declared type (INTEGER and BIGINT -> DBVT_LONG, or DBVT_DOUBLE for a value
// beyond 32 bits; SMALLINT -> DBVT_SHORT, BIT -> DBVT_BOOL,
// DOUBLE -> DBVT_DOUBLE, REAL -> DBVT_SINGLE, DATETIME -> DBVT_DATE, text ->
// DBVT_STRING, binary -> DBVT_BINARY; NULL -> DBVT_NULL). The string, date
// and binary kinds point to values that the variant owns; copying a variant
// copies them. Binary values are held as a CByteArray. A text lives inside
// the variant (m_pstring points at it): a list of values for a statement
// costs no allocation per text beyond the text's own.
class CDBVariant {
public:
    CDBVariant() { m_dblVal = 0.0; }
    CDBVariant(const CDBVariant& other);
    CDBVariant& operator=(const CDBVariant& other);
    ~CDBVariant() { Clear(); }

    // Frees an owned value and sets the kind to DBVT_NULL.
    void Clear();

    // Setters used by the SQL layer; each frees the previous value first.
    void SetBool(BOOL value);
    void SetUChar(unsigned char value);
    void SetShort(short value);
    void SetLong(int32_t value);
    void SetSingle(float value);
    void SetDouble(double value);
    void SetDate(const TIMESTAMP_STRUCT& value);
    void SetString(const CString& value);
    void SetString(CString&& value); // takes the text over
    void SetBinary(const CByteArray& value);

    DWORD m_dwType = DBVT_NULL;
    union {
        BOOL m_boolVal;
        unsigned char m_chVal;
        short m_iVal;
        int32_t m_lVal;
        float m_fltVal;
        double m_dblVal;
        TIMESTAMP_STRUCT* m_pdate;
        CString* m_pstring;
        CByteArray* m_pbinary;
    };

private:
    CString m_string; // the text m_pstring points at, for the string kinds
};
