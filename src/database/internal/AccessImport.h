// The conversion of one value read from a legacy Access file for the column
// of a station table it is imported into (used by ZenCopyStationDatabase;
// here so that it can be checked value by value).
#pragma once

#include "framework/CString.h"
#include "framework/sql/internal/SqlValue.h"

// What the target column is.
struct CImportTarget {
    bool flag = false;    // a yes/no column (0 or 1)
    bool date = false;    // a date column ("YYYY-MM-DD HH:MM:SS")
    unsigned length = 0;  // declared length of a text column in characters; 0 for none
};

// Converts value in place: a flag's -1 (or any value not 0) becomes 1. A
// value that cannot be represented (a date before kZenEarliestImportedDate or
// outside the years 100 .. 9999, a text that is no date for a date column, a
// text longer than the column) becomes NULL and the reason is returned, e.g.
// "a date before 1900-01-01, which the library cannot store"; otherwise an
// empty text. oleObject is set when the value is a byte string beginning with
// an OLE object header (0x15 0x1C), which stays as it is.
CString ZenConvertImportedValue(const CImportTarget& target, CSqlValue& value, bool& oleObject);
