// Field exchange: a recordset's DoFieldExchange names its columns with the
// RFX_ functions, in the order of the columns of its SELECT statement, each
// bound to one variable. The recordset runs DoFieldExchange when it opens and
// binds each column to the variable named then; through those variables it
// reads rows, marks them NULL for AddNew, and finds the ones changed since
// AddNew/Edit, which Update writes.
#pragma once

#include "framework/CByteArray.h"
#include "framework/CString.h"
#include "framework/CTime.h"
#include "framework/Types.h"
#include "framework/sql/FieldInfo.h"

#include <cstdint>

class CRecordset;
struct CFieldExchangeContext; // framework/sql/internal

// Values that stand for NULL in the bound variables between AddNew and Update
// ("pseudo-null"): AddNew sets every bound variable to the one of its kind,
// and Update writes only the variables whose value then differs from what it
// was at AddNew (or at Edit). A variable left at its pseudo-null is not
// written, so the column keeps its default (an auto-number key is assigned).
//   long, int, BOOL: INT32_MIN   double: a quiet NaN (compared bit for bit)
//   text: ""   date: CTime 0   binary: an empty array
// Reading NULL gives 0, 0.0, FALSE, "", CTime 0 and an empty array; CTime 0
// and NaN are written as NULL.
constexpr int32_t AFX_RFX_LONG_PSEUDO_NULL = INT32_MIN;
constexpr int AFX_RFX_INT_PSEUDO_NULL = INT32_MIN;
constexpr BOOL AFX_RFX_BOOL_PSEUDO_NULL = INT32_MIN;

class CFieldExchange {
public:
    // Kinds of field (SetFieldType). Only output columns are supported;
    // fields named under another type are ignored.
    enum FieldType : UINT {
        noFieldType = 0xFFFFFFFFu,
        outputColumn = 0,
        param = 1,
        inputParam = param,
        inoutParam = 2,
        outputParam = 4,
    };

    // What the current pass does (m_nOperation).
    enum RFX_Operation : UINT {
        Name,          // collect the column names and kinds
        Fixup,         // copy the current row into the variables
        SetFieldNull,  // set every variable to its pseudo-null (AddNew)
        StoreField,    // remember the variables (AddNew, Edit)
        LoadField,     // restore the remembered variables (CancelUpdate)
        MarkForUpdate, // collect the variables changed since StoreField
        IsFieldNull,   // find whether one variable's column was NULL
        BeginAddNew,   // remember the variables, then set each to its pseudo-null (AddNew)
    };

    // Column kinds, each with the type of its variable.
    enum class Kind { Long, Int, Double, Bool, Text, Date, Binary };

    void SetFieldType(UINT nFieldType) { m_nFieldType = nFieldType; }

    // Called by the RFX_ functions: one column, its kind and its variable.
    // Throws CDBException when a row value cannot be turned into the kind
    // (a number out of the 32-bit range, a text that is not a date).
    void Exchange(const char* szName, Kind kind, void* pValue, int nMaxLength);

    UINT m_nOperation;
    CRecordset* m_prs;

    // Built by CRecordset for each pass.
    CFieldExchange(UINT nOperation, CRecordset* prs, CFieldExchangeContext* pContext);

private:
    UINT m_nFieldType = noFieldType;
    int m_nFieldIndex = 0; // position among the output columns named so far
    CFieldExchangeContext* m_pContext;
};

// Column names are given as in the SELECT statement, usually bracketed
// ("[SampleID]", "[Samples].[SampleID]"); a table prefix is dropped for
// writing. Values are matched to the result columns by position.

// 32-bit integer column.
void RFX_Long(CFieldExchange* pFX, const char* szName, int32_t& value);
// int column (32-bit as well).
void RFX_Int(CFieldExchange* pFX, const char* szName, int& value);
// Floating-point column.
void RFX_Double(CFieldExchange* pFX, const char* szName, double& value);
// Flag column: any non-zero stored value reads as TRUE (1); written as 0 or 1.
void RFX_Bool(CFieldExchange* pFX, const char* szName, BOOL& value);
// Text column: a read yields at most nMaxLength characters (UTF-8 code points,
// so a character is never cut in half; a byte that is not valid UTF-8 counts
// as one character). Update refuses (CDBException naming the column and its
// declared length) a value longer than the column's declared length
// (VARCHAR(n), TEXT(n)) or holding a NUL byte; nMaxLength does not limit
// what is written.
// nColumnType and nScale are accepted for compatibility and not used.
void RFX_Text(CFieldExchange* pFX, const char* szName, CString& value, int nMaxLength = 255,
              int nColumnType = SQL_VARCHAR, short nScale = 0);
// Date-time column, stored as local "YYYY-MM-DD HH:MM:SS"; NULL reads as
// CTime 0 and CTime 0 is written as NULL.
void RFX_Date(CFieldExchange* pFX, const char* szName, CTime& value);
// Binary column: a read yields at most nMaxLength bytes; NULL reads as an
// empty array, and an empty array is written as NULL.
void RFX_Binary(CFieldExchange* pFX, const char* szName, CByteArray& value, int nMaxLength = 255);
