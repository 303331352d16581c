// Base of every table recordset: the connect string, the per-table schema
// upgrade hooks (one per step to versions 1.3 .. 1.9) and the column scan that
// fills a table-configuration map with the columns of the table's statement.
#pragma once

#include "framework/CMapStringToPtr.h"
#include "framework/CString.h"
#include "framework/sql/Recordset.h"

class CZENDB_Recordset : public CRecordset {
public:
    // Without a connection: no database work can be done (ScanTableConfiguration
    // answers 0).
    CZENDB_Recordset();
    // On an open connection, not owned; no database work until Open.
    explicit CZENDB_Recordset(CDatabase* database);
    ~CZENDB_Recordset() override = default;

    // "ODBC;": a recordset always runs on the connection it was given.
    CString GetDefaultConnect() override;

    // Schema upgrade hooks, one per step (UpdateToVer17 is the step 1.6 -> 1.7).
    // A table that has no work for a step keeps these: they change nothing and
    // return 1 (success), so that every recordset can be asked alike.
    virtual int UpdateToVer19();
    virtual int UpdateToVer18();
    virtual int UpdateToVer17();
    virtual int UpdateToVer16();
    virtual int UpdateToVer15();
    virtual int UpdateToVer14();
    virtual int UpdateToVer13();

    // Fills `columns` with one newly allocated CODBCFieldInfo per result column
    // of the default statement, keyed by the column name as the engine reports
    // it; a record already held under that name is deleted and replaced. The
    // map owns the records (its owner deletes them).
    // Returns 0 without a connection or map (map untouched), 1 when the
    // statement opened (or reported failure without an exception), and 0 after
    // a database error, whose text is shown in an OK message box; records
    // stored before the error stay in the map.
    virtual int ScanTableConfiguration(CMapStringToPtr* columns);
};
