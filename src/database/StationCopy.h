// Copying a whole station database from one engine's database into another
// (a file into a server, a server into a file for an archive, a file into a
// file), checked table by table, and the checksum by which a copy is checked.
// Works through the SQL layer only, so it serves every engine that has a driver.
#pragma once

#include "framework/CString.h"
#include "framework/Types.h"

#include <cstdint>
#include <vector>

class CDatabase;

// The connection string for a location as a person writes it: a string that
// begins with "postgresql://" or "postgres://" stands as it is; so does one
// of "KEY=value;" pairs (e.g. "Dbq=/data/zen.db;" or "ENGINE=postgres;HOST=...")
// unless a file or folder of that name exists. Anything else is a file path
// and becomes "Dbq=<path>;" with the path formatted by
// FormatConnectStringValue, so that it opens exactly that file; an existing
// legacy Access file (known by its first bytes, whatever its name) becomes
// "Driver=Access;Dbq=<path>;", read through the read-only Access driver.
CString ZenConnectStringForLocation(const char* location);
// True when the location names a database file (not a connection string) by
// the rule above.
bool ZenLocationIsFilePath(const char* location);
// The location with any password in it replaced by "***": the value of a
// "password=" or "pwd=" pair (letter case ignored; braced, quoted or up to
// ';') and the password of a URI's "user:password@". For messages and logs.
CString ZenMaskLocation(const char* location);

// Row count and checksum of one table.
struct CStationTableChecksum {
    int64_t Rows = 0;
    CString Checksum; // 32 lower-case hex digits
};

// Reads every row of table (any table; a station table with an auto-numbered
// key in the order of that key) through the SQL layer and returns its row
// count and a 128-bit BLAKE2b checksum of the rows' canonical form: the
// column names (without regard to letter case, in the order of their
// lower-case names) and, per row, each value with its kind and length:
// integers as 64 bits, flags as 0 or 1, doubles bit for bit, dates as the
// stored text, texts and binary values byte for byte, NULL distinct from an
// empty text. Tables without a key are hashed as the sorted list of their
// rows' hashes, so their order does not count. Equal tables of any two
// engines have equal checksums. Throws CDBException when the table cannot be
// read or the connection is not open.
CStationTableChecksum ZenStationTableChecksum(CDatabase& db, const char* table);

// One value of an import from a legacy Access file that needs a word: one
// that cannot be represented (stored as NULL when skipping is asked for, the
// import refused otherwise) or a binary value holding an OLE object (copied
// byte for byte, reported so that nobody takes it for a plain file).
struct CStationCopyValue {
    CString Table;
    CString Key;     // the row's key ("#<n>", the row's place, in a table without one)
    CString Column;
    CString Value;   // the value as read (a text cut after 40 characters)
    CString Problem; // e.g. "a date before 1900-01-01"
};

// One station table of a copy.
struct CStationTableCopy {
    CString Table;
    int64_t RowsRead = 0;     // from the source
    int64_t RowsWritten = 0;  // into the target
    int64_t ValuesNotConverted = 0; // values that could not be represented (see CStationCopyResult::BadValues)
    CString SourceChecksum;   // of the rows read (see ZenStationTableChecksum)
    CString TargetChecksum;   // of the target's table read back after writing
    bool Match = false;       // equal counts and equal checksums
};

struct CStationCopyResult {
    int SchemaMajor = 0;          // the source's schema version, given to the target
    int SchemaMinor = 0;
    bool UniqueSampleIDs = false; // the target got the unique index of sample identifiers
    bool TargetCreated = false;   // the target file did not exist (it is removed again on failure)
    bool TargetHeldData = false;  // the target held rows of its own (refused unless replacing)
    bool Done = false;            // copied, checked and committed
    std::vector<CStationTableCopy> Tables; // as far as the copy came
    bool FromAccess = false;      // the source is a legacy Access file (converted on the way)
    int UpgradedToMinor = 0;      // the target was brought to 1.<this> after the copy; 0 when not
    std::vector<CStationCopyValue> BadValues;  // not representable, every one found
    std::vector<CStationCopyValue> OleObjects; // binary values that begin with an OLE object header
    std::vector<CString> SourceTables;         // the tables of a source that is no station database
    CString Error;                // why not Done (passwords masked); empty when Done
};

// Options of ZenCopyStationDatabase.
constexpr DWORD ZENCOPY_Replace = 0x0001; // a target that holds data is emptied and filled anew
// After the copy (in the same transaction) the target is brought to the
// current schema version by the library's upgrade; always so for a source
// that is a legacy Access file.
constexpr DWORD ZENCOPY_Upgrade = 0x0002;
// A value of an Access source that cannot be represented is stored as NULL
// (and listed in BadValues) instead of refusing the import.
constexpr DWORD ZENCOPY_SkipBadValues = 0x0004;

// The earliest date an import from an Access file stores: the library reads
// dates as local time through the C runtime, whose zone rules before 1900 are
// local mean time (New York -4:56:02, for example), so an earlier date would
// come back minutes away from what was stored.
constexpr const char* kZenEarliestImportedDate = "1900-01-01 00:00:00";

// Copies the station database at source into target (locations as for
// ZenConnectStringForLocation). The source is opened read-only and never
// changed, and read as of one moment where its engine keeps a read
// snapshot across statements (SQLite files); its schema version (1.6 .. 1.9) is read from SystemTable, and the
// target's station tables are created anew at that version (the library's
// own statements, translated for the target's engine; the unique index of
// the sample identifiers when the source has it), then filled row by row
// with every key kept: columns are matched by name without regard to letter
// case, and the source's and the target's tables must have the same columns.
// The target's auto-numbers are moved past the largest copied key, so a new
// row never takes a copied row's key. Each table is then read back and its
// row count and checksum compared with the rows read from the source.
// Everything happens in one transaction on the target, committed only when
// every table matches.
// A target whose station tables hold rows (other than the version row and
// the registration fields that every new database has) is refused unless
// options holds ZENCOPY_Replace. A target path that does not exist is
// created as a new database file. A source and target naming the same file
// are refused.
// A source that is a legacy Access file (.mdb/.accdb, found by its content)
// is read through the read-only Access driver: its tables and columns are
// found without regard to letter case, a file without the station tables is
// refused with the list of its tables (result.SourceTables), and values are
// converted on the way: a yes/no kept as -1 becomes 1, dates keep their full
// year (one before kZenEarliestImportedDate cannot be represented), a text
// longer than its target column cannot be represented, binary values go byte
// for byte (one beginning with an OLE object header, 0x15 0x1C, is listed in
// result.OleObjects). Values that cannot be represented are all listed in
// result.BadValues; the import is then refused unless options holds
// ZENCOPY_SkipBadValues (they are then stored as NULL, the rest of the row
// kept). The target is upgraded to the current version afterwards.
// Returns TRUE when the copy is committed (result.Done). Otherwise FALSE with
// result.Error; the target is then as before: a file the copy created is
// removed, anything else rolled back. result.Tables holds what was counted
// and checked so far (on a mismatch, every table with its Match).
// Does not throw (but std::bad_alloc).
BOOL ZenCopyStationDatabase(const char* source, const char* target, DWORD options, CStationCopyResult& result);
