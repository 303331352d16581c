// Recordsets of the Samples table: CZENDB_SamplesRecordset (every column, with
// the sample's trace as a 10000-byte block, the list views and the search
// clause), CZENDB_ShortSampleRecordset (a light list with the names of each
// sample's default pattern and routine) and CZENDB_SampleRegisteredByRecordset
// (key, identifier and registration date, to find the latest registration).
#pragma once

#include "databaseobjects/CZENDB_Sample.h"
#include "framework/CByteArray.h"
#include "framework/CMapStringToPtr.h"
#include "framework/CString.h"
#include "recordsets/CZENDB_Recordset.h"
#include "recordsets/SampleSearch.h"

#include <cstdint>

class CZENDB_SamplesRecordset : public CZENDB_Recordset {
public:
    // Size of the block in which the Trace column stores a sample's trace.
    static constexpr int TraceBlockSize = 10000;

    // The bound sample has no connection and its registration, due and measured
    // dates at the current time; the trace block holds 10000 zero bytes.
    explicit CZENDB_SamplesRecordset(CDatabase* database = nullptr);

    // All 34 columns of Samples, ending with a blank.
    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    // Names the same member fields at every open.
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }

    // The default statement limited to 5000 rows ("SELECT TOP 5000 ...").
    virtual CString GetDefaultFirst5000SQL();
    // The clause of a list view, beginning with "WHERE" (no leading blank), or
    // an empty text when the view selects every sample. Only SampleViewSearch
    // reads `criteria` (may be null otherwise). Search texts match exactly
    // what they hold, anywhere in the column: quotes, %, _, [ and \ are
    // ordinary characters (the clause escapes them, with ESCAPE '\' where
    // needed). A date criterion selects whole days: From alone from that
    // day on, To alone up to and including that day, both the days between.
    // A key that cannot name a column (holding a bracket or a quote) gives
    // "WHERE 1 = 0": such a search lists no sample rather than every one.
    virtual CString GetWhereSQL(SampleViewTypeType view, CMapStringToPtr* criteria);
    // " WHERE [Samples].[SampleID]=<key>".
    virtual CString GetWhereSQL(int32_t sampleID);

    // Upgrade 1.6 -> 1.7: adds the Trace column. 0 after an error, whose
    // text is shown in an OK message box.
    int UpdateToVer17() override;

    // On the current row: restores the bound sample's trace from the Trace
    // block (a missing, one-byte or damaged block gives an empty trace, without
    // an error) and assigns the bound sample to `sample`. Logs its steps.
    void GetSample(CZENDB_Sample& sample);
    // The same work, for a caller that only reads the sample: returns the
    // bound sample itself (valid until the next move or Close).
    const CZENDB_Sample& ReadSample();
    // After Edit or AddNew, before Update: assigns `sample` to the bound sample
    // (its key left as AddNew set it when keepKey is true, so the database
    // assigns it) and, when the trace has points, serialises it into the start
    // of the 10000-byte Trace block. A trace without points empties the block,
    // so the column becomes (or stays) NULL: an emptied trace is stored as
    // empty on insert and on update alike. Logs its steps. Throws
    // CFileException (diskFull) when the trace needs more than 10000 bytes.
    void SetSample(const CZENDB_Sample& sample, bool keepKey);

    int32_t GetSampleID() const { return m_Sample.SampleID; }
    CString GetUserSampleID() const { return m_Sample.UserSampleID; }

    CZENDB_Sample m_Sample;     // bound to every column but Trace
    CByteArray m_Trace;         // bound to Trace
};

class CZENDB_ShortSampleRecordset : public CZENDB_Recordset {
public:
    // The bound sample has its registration, due and measured dates at the
    // current time.
    explicit CZENDB_ShortSampleRecordset(CDatabase* database = nullptr);

    // Samples joined with their default pattern and routine (read-only).
    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }

    CZENDB_Sample m_Sample;     // key, identifier, three dates, PatternName, RoutineName
};

class CZENDB_SampleRegisteredByRecordset : public CZENDB_Recordset {
public:
    // The bound sample has its registration date at the current time.
    explicit CZENDB_SampleRegisteredByRecordset(CDatabase* database = nullptr);

    // A select list without the word SELECT; the caller completes it
    // ("SELECT TOP 1 %s ORDER BY [RegistrationDate] DESC").
    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }

    CZENDB_Sample m_Sample;     // key, identifier, registration date
};
