// Recordsets of the pattern, routine and profile tables: Patterns and
// IndentType (test plans and their planned indents), RoutineTypes and
// RoutineProfile (multi-profile routines), SampleProfilesRun and IndentsRun
// (profiles measured on samples and the indents made in them).
#pragma once

#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_Routine.h"
#include "databaseobjects/CZENDB_SampleProfileRun.h"
#include "framework/CString.h"
#include "recordsets/CZENDB_Recordset.h"

#include <cstdint>

// Patterns: 59 columns. Deleted patterns stay in the table.
class CZENDB_PatternsRecordset : public CZENDB_Recordset {
public:
    explicit CZENDB_PatternsRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    // Names the same member fields at every open.
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
    // " WHERE PatternID=<key> AND Deleted = 0 ": a deleted pattern is never
    // found by its key.
    virtual CString GetWhereSQL(int32_t patternID);

    // Upgrade 1.7 -> 1.8: adds AutomaticallyEdgeAlignment (cleared in every
    // row). 0 after any error, without a message.
    int UpdateToVer18() override;
    // Upgrade 1.8 -> 1.9: adds Deleted (cleared in every row). 0 after a
    // database error, shown as "Failed to upgrade: <error>".
    int UpdateToVer19() override;

    CZENDB_Pattern m_Pattern;
};

// IndentType: the planned indents of the patterns (no key of its own; rows are
// picked by their pattern's key with a clause of the caller's).
class CZENDB_IndentTypeRecordset : public CZENDB_Recordset {
public:
    explicit CZENDB_IndentTypeRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }

    CZENDB_IndentType m_IndentType;
};

// RoutineTypes: the routines; deleted routines stay in the table.
class CZENDB_RoutineTypesRecordset : public CZENDB_Recordset {
public:
    explicit CZENDB_RoutineTypesRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
    // " WHERE RoutineTypeID=<key>" (finds deleted routines too).
    virtual CString GetWhereSQL(int32_t routineTypeID);

    // Upgrade 1.8 -> 1.9: adds Deleted (cleared in every row). 0 after a
    // database error, shown as "Failed to upgrade: <error>".
    int UpdateToVer19() override;

    CZENDB_Routine m_Routine;
};

// RoutineProfile: the profiles of the routines.
class CZENDB_RoutineProfileRecordset : public CZENDB_Recordset {
public:
    explicit CZENDB_RoutineProfileRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
    // " WHERE RoutineProfileTypeID=<key>".
    virtual CString GetWhereSQL(int32_t routineProfileTypeID);

    CZENDB_RoutineProfile m_RoutineProfile;
};

// SampleProfilesRun: 46 columns, one row per profile measured on a sample.
class CZENDB_SampleProfilesRunRecordset : public CZENDB_Recordset {
public:
    explicit CZENDB_SampleProfilesRunRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
    // " WHERE ProfileID=<key>".
    virtual CString GetWhereSQL(int32_t profileID);

    CZENDB_SampleProfileRun m_ProfileRun;
};

// IndentsRun: one row per made indent. The columns Hardness and Hardness unit
// are bound to members of the recordset itself, which nothing in the library
// fills: a row added through it leaves both unset, a changed row keeps them.
class CZENDB_IndentsRunRecordset : public CZENDB_Recordset {
public:
    // Hardness 0.0 and an empty unit.
    explicit CZENDB_IndentsRunRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
    // " WHERE IndentID=<key>".
    virtual CString GetWhereSQL(int32_t indentID);

    CZENDB_MadeIndent m_MadeIndent;
    double m_Hardness;          // column "Hardness"
    CString m_HardnessUnit;     // column "Hardness unit"
};
