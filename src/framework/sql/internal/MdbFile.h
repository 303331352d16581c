// Reading Access database files (Jet 3, Jet 4, ACE) for the read-only Access
// engine driver: the catalogue of user tables and whole tables as the SQL
// layer's values. The file format library is used in MdbFile.cpp only.
#pragma once

#include "framework/CString.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/SqlValue.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// One column of an Access table, described as the SQL layer describes columns.
struct CMdbColumn {
    CString name;
    SWORD sqlType = 0;    // SQL_BIT, SQL_TINYINT, SQL_SMALLINT, SQL_INTEGER, SQL_DOUBLE, SQL_REAL,
                          // SQL_NUMERIC, SQL_TIMESTAMP, SQL_VARCHAR, SQL_LONGVARCHAR,
                          // SQL_VARBINARY, SQL_LONGVARBINARY
    UDWORD precision = 0; // characters of a text column, digits of a number
    SWORD scale = 0;
    CString typeName;     // "TEXT(50)", "MEMO", "BYTE", "INTEGER", "LONG", "DOUBLE", "SINGLE",
                          // "CURRENCY", "DATETIME", "YESNO", "OLEOBJECT", "BINARY", "GUID", ...
};

// A whole table: every row, each value as the engines of the SQL layer hold it
// (see CMdbFile::ReadTable).
struct CMdbTable {
    CString name;
    std::vector<CMdbColumn> columns;
    std::vector<std::vector<CSqlValue>> rows;
};

// True when the file at path begins as an Access database does ("Standard Jet
// DB" or "Standard ACE DB" after its first four bytes). False for any other
// file and for a file that cannot be read.
bool MdbIsAccessFile(const char* path);

// One open Access file, only read. Tables are read whole on first use and
// kept (station databases are small; the format has no cursor that could be
// reset without reading again).
class CMdbFile {
public:
    // Opens path read-only. Throws CDBException (naming the file) when it
    // cannot be opened or is no Access file.
    static std::shared_ptr<CMdbFile> Open(const CString& path);
    ~CMdbFile();
    CMdbFile(const CMdbFile&) = delete;
    CMdbFile& operator=(const CMdbFile&) = delete;

    const CString& GetPath() const { return m_path; }
    // The user tables (system tables left out) in the order of the catalogue.
    std::vector<CString> TableNames() const;
    // The table named name (letter case ignored); nullptr when there is none.
    // Values: yes/no as Integer 1 or 0; byte, integer and long integer as
    // Integer; single, double and currency as Real; dates and times as Text
    // "YYYY-MM-DD HH:MM:SS" (the stored form of the SQL layer), computed from
    // the stored day count itself (years 100 .. 9999, all that the format
    // allows; any other count stays a Real day count); text and memo as UTF-8 Text;
    // OLE object and binary columns as Blob, byte for byte; GUIDs and decimal
    // numbers as Text. Throws CDBException when the table cannot be read.
    std::shared_ptr<const CMdbTable> ReadTable(const CString& name);

private:
    struct CImpl;
    CMdbFile(CString path, std::unique_ptr<CImpl> impl);
    CString m_path;
    std::unique_ptr<CImpl> m_impl;
    std::map<std::string, std::shared_ptr<const CMdbTable>> m_tables; // by lower-case name
};

// The calendar date and time of an Access day count (days since 1899-12-30;
// before it the whole days count back while the fraction still counts the
// time forward, as the format keeps it), rounded to the second. False when
// the year falls outside 100 .. 9999 or the number is not finite.
bool MdbDayCountToStoredDate(double days, std::string& stored);
