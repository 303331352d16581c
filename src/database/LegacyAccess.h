// A look into legacy Access files (.mdb/.accdb of the station's earlier
// years, or any other): their tables, columns and rows as the read-only
// Access driver of the SQL layer reads them. The import itself is
// ZenCopyStationDatabase (StationCopy.h).
#pragma once

#include "framework/CString.h"

#include <cstdint>
#include <vector>

// One value of an Access table.
struct CAccessValue {
    enum class EKind { Null, Integer, Real, Text, Date, Binary };
    EKind Kind = EKind::Null;
    int64_t Integer = 0;         // Integer; yes/no as 1 or 0
    double Real = 0.0;           // Real (single, double, currency)
    CString Text;                // Text; Date as "YYYY-MM-DD HH:MM:SS" with its full year
    std::vector<uint8_t> Bytes;  // Binary, byte for byte
};

struct CAccessColumn {
    CString Name;
    CString Type; // "text(50)", "memo", "integer", "double", "currency", "date", "yes/no", "binary", ...
};

struct CAccessTable {
    CString Name; // as the file spells it
    std::vector<CAccessColumn> Columns;
    std::vector<std::vector<CAccessValue>> Rows; // in the file's order
};

// True when the file at path is an Access database (by its first bytes,
// whatever its name).
bool ZenIsAccessFile(const char* path);
// The user tables of the Access file at path, in the order of its
// catalogue. Throws CDBException (naming the file) when it cannot be read
// or is no Access file.
std::vector<CString> ZenAccessTables(const char* path);
// The whole table (name compared without regard to letter case) of the
// Access file at path. Throws CDBException when the file cannot be read or
// has no such table.
CAccessTable ZenReadAccessTable(const char* path, const char* table);
