// Recordsets of the Samples table: statements, field exchange, the list-view
// and search clauses, and the trace block of a sample.

#include "recordsets/CZENDB_SamplesRecordset.h"

#include "companions/EventLog.h"
#include "framework/CArchive.h"
#include "framework/CMemFile.h"
#include "framework/CTime.h"
#include "framework/Exceptions.h"

#include <charconv>
#include <string>

namespace {

constexpr const char* kModule = "recordsets";
constexpr const char* kGetSample = "CZENDB_SamplesRecordset::GetSample";
constexpr const char* kSetSample = "CZENDB_SamplesRecordset::SetSample";
// Transfer buffer of the archives laid over the trace block.
constexpr int kArchiveBufferSize = 4096;

// Local midnight that starts the calendar day `dayOffset` days after the day
// of t. Built from the date fields (mktime normalises day 0, day 32, ...), so
// the result is the right calendar day also across a daylight-saving change,
// where adding multiples of 24 hours to a midnight can stay on the same date.
CTime StartOfDay(const CTime& t, int dayOffset)
{
    return CTime(t.GetYear(), t.GetMonth(), t.GetDay() + dayOffset, 0, 0, 0);
}

// A key is pasted between brackets as a column name; a bracket or a quote in
// it would end the name early.
bool IsUsableColumnKey(const CString& key)
{
    return key.FindOneOf("[]'") < 0;
}

// The clause of a search that cannot be put into SQL: it selects nothing, so
// a search that is not understood never turns into a list of every sample.
const char* const kNoRows = "WHERE 1 = 0";

// text as the inside of a LIKE '...' literal that matches exactly what was
// typed: quotes doubled, and the pattern characters % and _ (and [, which
// the desktop-database dialect reads as a character class) preceded by a
// backslash, together with the backslash itself. needsEscape tells whether
// the clause must name the backslash with ESCAPE '\'; texts without pattern
// characters keep the plain form.
CString LikePatternText(const CString& text, bool& needsEscape)
{
    needsEscape = text.FindOneOf("%_[") >= 0;
    CString pattern;
    for (int i = 0; i < text.GetLength(); ++i) {
        const char c = text[i];
        if (c == '\'') {
            pattern += "''";
            continue;
        }
        if (needsEscape && (c == '%' || c == '_' || c == '[' || c == '\\'))
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

} // namespace

CZENDB_SamplesRecordset::CZENDB_SamplesRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_Sample(nullptr)
{
    m_nFields = 34;
    const CTime now = CTime::GetCurrentTime();
    m_Sample.RegistrationDate = now;
    m_Sample.DueDate = now;
    m_Sample.MeasuredDate = now;
    m_Trace.SetSize(TraceBlockSize);
}

CString CZENDB_SamplesRecordset::GetDefaultSQL()
{
    return "SELECT [Samples].[SampleID],[UserSampleID],[WorkOrder],[PartNo],[Detail],[Customer],"
           "[Material],[RegistrationDate],[RegisteredBy],[DueDate],[MeasuredDate],[MeasuredBy],"
           "[Signed],[Signature],[CustomField1],[CustomField2],[CustomField3],[CustomField4],"
           "[CustomField5],[CustomField6],[CustomField7],[CustomField8],[CustomField9],"
           "[CustomField10],[CustomField11],[CustomField12],[CustomField13],[CustomField14],"
           "[CustomField15],[CustomField16],[CustomField17],[CustomField18],[CustomField19],"
           "[Trace] FROM Samples ";
}

CString CZENDB_SamplesRecordset::GetDefaultFirst5000SQL()
{
    return "SELECT TOP 5000 [Samples].[SampleID],[UserSampleID],[WorkOrder],[PartNo],[Detail],"
           "[Customer],[Material],[RegistrationDate],[RegisteredBy],[DueDate],[MeasuredDate],"
           "[MeasuredBy],[Signed],[Signature],[CustomField1],[CustomField2],[CustomField3],"
           "[CustomField4],[CustomField5],[CustomField6],[CustomField7],[CustomField8],"
           "[CustomField9],[CustomField10],[CustomField11],[CustomField12],[CustomField13],"
           "[CustomField14],[CustomField15],[CustomField16],[CustomField17],[CustomField18],"
           "[CustomField19],[Trace] FROM Samples ";
}

void CZENDB_SamplesRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[Samples].[SampleID]", m_Sample.SampleID);
    RFX_Text(pFX, "[UserSampleID]", m_Sample.UserSampleID);
    RFX_Text(pFX, "[WorkOrder]", m_Sample.WorkOrder);
    RFX_Text(pFX, "[PartNo]", m_Sample.PartNo);
    RFX_Text(pFX, "[Detail]", m_Sample.Detail);
    RFX_Text(pFX, "[Customer]", m_Sample.Customer);
    RFX_Text(pFX, "[Material]", m_Sample.Material);
    RFX_Date(pFX, "[RegistrationDate]", m_Sample.RegistrationDate);
    RFX_Text(pFX, "[RegisteredBy]", m_Sample.RegisteredBy);
    RFX_Date(pFX, "[DueDate]", m_Sample.DueDate);
    RFX_Date(pFX, "[MeasuredDate]", m_Sample.MeasuredDate);
    RFX_Text(pFX, "[MeasuredBy]", m_Sample.MeasuredBy);
    RFX_Bool(pFX, "[Signed]", m_Sample.Signed);
    RFX_Text(pFX, "[Signature]", m_Sample.Signature);
    RFX_Text(pFX, "[CustomField1]", m_Sample.CustomField1);
    RFX_Text(pFX, "[CustomField2]", m_Sample.CustomField2);
    RFX_Text(pFX, "[CustomField3]", m_Sample.CustomField3);
    RFX_Text(pFX, "[CustomField4]", m_Sample.CustomField4);
    RFX_Text(pFX, "[CustomField5]", m_Sample.CustomField5);
    RFX_Text(pFX, "[CustomField6]", m_Sample.CustomField6);
    RFX_Text(pFX, "[CustomField7]", m_Sample.CustomField7);
    RFX_Text(pFX, "[CustomField8]", m_Sample.CustomField8);
    RFX_Text(pFX, "[CustomField9]", m_Sample.CustomField9);
    RFX_Text(pFX, "[CustomField10]", m_Sample.CustomField10);
    RFX_Text(pFX, "[CustomField11]", m_Sample.CustomField11);
    RFX_Text(pFX, "[CustomField12]", m_Sample.CustomField12);
    RFX_Text(pFX, "[CustomField13]", m_Sample.CustomField13);
    RFX_Text(pFX, "[CustomField14]", m_Sample.CustomField14);
    RFX_Text(pFX, "[CustomField15]", m_Sample.CustomField15);
    RFX_Text(pFX, "[CustomField16]", m_Sample.CustomField16);
    RFX_Text(pFX, "[CustomField17]", m_Sample.CustomField17);
    RFX_Text(pFX, "[CustomField18]", m_Sample.CustomField18);
    RFX_Text(pFX, "[CustomField19]", m_Sample.CustomField19);
    RFX_Binary(pFX, "[Trace]", m_Trace, TraceBlockSize);
}

CString CZENDB_SamplesRecordset::GetWhereSQL(SampleViewTypeType view, CMapStringToPtr* criteria)
{
    CString result;
    switch (view) {
    case SampleViewAll:
        break;
    case SampleViewLastWeek:
    case SampleViewLastMonth: {
        const int days = view == SampleViewLastWeek ? 7 : 31;
        const CTime since = StartOfDay(CTime::GetCurrentTime(), -days);
        result.Format("WHERE [MeasuredDate] > # %d / %d / %d #", since.GetMonth(), since.GetDay(),
                      since.GetYear());
        break;
    }
    case SampleViewUnsigned:
        result = "WHERE [Signed] = FALSE";
        break;
    case SampleViewSigned:
        result = "WHERE [Signed] = TRUE";
        break;
    case SampleViewSearch: {
        if (criteria == nullptr)
            break;
        CString extra;
        POSITION pos = criteria->GetStartPosition();
        while (pos != nullptr) {
            CString key;
            void* value = nullptr;
            criteria->GetNextAssoc(pos, key, value);
            const auto* criterion = static_cast<const SampleSearchCriterion*>(value);
            if (criterion == nullptr || key.IsEmpty())
                continue;
            if (criterion->IsText) {
                if (criterion->Text.IsEmpty())
                    continue;
                if (!IsUsableColumnKey(key))
                    return kNoRows;
                bool needsEscape = false;
                const CString pattern = LikePatternText(criterion->Text, needsEscape);
                extra.AppendFormat("[%s] LIKE '%%%s%%'%s AND ", key.GetString(), pattern.GetString(),
                                   needsEscape ? " ESCAPE '\\'" : "");
            } else {
                const CTime from = criterion->From;
                const CTime to = criterion->To;
                if (from.GetTime() == 0 && to.GetTime() == 0)
                    continue;
                if (!IsUsableColumnKey(key))
                    return kNoRows;
                // From the start of the first day; before the start of the
                // day after the last one, so that the last day counts whole.
                if (from.GetTime() != 0) {
                    const CTime start = StartOfDay(from, 0);
                    extra.AppendFormat("[%s] >= # %d / %d / %d # AND ", key.GetString(), start.GetMonth(),
                                       start.GetDay(), start.GetYear());
                }
                if (to.GetTime() != 0) {
                    const CTime end = StartOfDay(to, 1);
                    extra.AppendFormat("[%s] < # %d / %d /%d # AND ", key.GetString(), end.GetMonth(),
                                       end.GetDay(), end.GetYear());
                }
            }
        }
        if (!extra.IsEmpty())
            result.Format("WHERE %s", extra.Left(extra.GetLength() - 5).GetString());
        break;
    }
    }
    return result;
}

CString CZENDB_SamplesRecordset::GetWhereSQL(int32_t sampleID)
{
    // Every save and load by key builds it: a number put in, no format parsed.
    char number[16];
    const auto end = std::to_chars(number, number + sizeof number, sampleID).ptr;
    std::string clause = " WHERE [Samples].[SampleID]=";
    clause.append(number, end);
    return CString(std::move(clause));
}

void CZENDB_SamplesRecordset::GetSample(CZENDB_Sample& sample)
{
    sample = ReadSample();
}

const CZENDB_Sample& CZENDB_SamplesRecordset::ReadSample()
{
    ZEN_LOG_EVENT(kModule, kGetSample, "Deserialize trace data...");
    if (m_Trace.GetSize() > 1) {
        try {
            CMemFile file(m_Trace.GetData(), static_cast<UINT>(m_Trace.GetSize()), 0);
            CArchive archive(&file, CArchive::load, kArchiveBufferSize);
            m_Sample.Trace.Serialize(archive, -1);
        } catch (CArchiveException& e) {
            // A block cut short or damaged: the sample comes back without trace.
            e.Delete();
            m_Sample.Trace.RemoveAll();
        }
    } else {
        // No stored trace. The bound trace still holds the previous row's
        // trace when a recordset walks several rows, which must not pass to
        // this sample.
        m_Sample.Trace.RemoveAll();
    }
    return m_Sample;
}

void CZENDB_SamplesRecordset::SetSample(const CZENDB_Sample& sample, bool keepKey)
{
    m_Sample.KeepKey = keepKey;
    ZEN_LOG_EVENT(kModule, kSetSample, "Copy CZENDB_Sample to local member...");
    m_Sample = sample;
    const uint32_t points = m_Sample.Trace.GetTotalNumberOfPoints();
    ZEN_LOG_EVENT(kModule, kSetSample, "Checking if to copy trace data with %ld points...",
                  static_cast<long>(points));
    if (points == 0) {
        // An empty array is written as NULL. After Edit the array holds the
        // stored block, so leaving it would keep the old trace and a cleared
        // trace would come back on the next load.
        m_Trace.RemoveAll();
        return;
    }
    ZEN_LOG_EVENT(kModule, kSetSample, "Copying trace data...");
    // The block keeps whatever it held behind the serialised trace.
    m_Trace.SetSize(TraceBlockSize);
    CMemFile file(m_Trace.GetData(), TraceBlockSize, 0);
    CArchive archive(&file, CArchive::store, kArchiveBufferSize);
    m_Sample.Trace.Serialize(archive, TraceBlockSize);
    archive.Close();
}

CZENDB_ShortSampleRecordset::CZENDB_ShortSampleRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_Sample(nullptr)
{
    m_nFields = 7;
    const CTime now = CTime::GetCurrentTime();
    m_Sample.RegistrationDate = now;
    m_Sample.DueDate = now;
    m_Sample.MeasuredDate = now;
}

CString CZENDB_ShortSampleRecordset::GetDefaultSQL()
{
    return "SELECT [Samples].[SampleID],[UserSampleID],[RegistrationDate],[DueDate],"
           "[MeasuredDate],[Patterns].[Name], [RoutineTypes].[Name] FROM ((((Samples LEFT JOIN "
           "DefaultProfileToUse ON [Samples].[SampleID] = [DefaultProfileToUse].[SampleID]) "
           "LEFT JOIN DefaultRoutineToUse ON [Samples].[SampleID] = "
           "[DefaultRoutineToUse].[SampleID]) LEFT JOIN Patterns ON "
           "[DefaultProfileToUse].[UseProfileTypeID] = [Patterns].[PatternID] ) LEFT JOIN "
           "RoutineTypes ON [DefaultRoutineToUse].[UseRoutineTypeID] = "
           "[RoutineTypes].[RoutineTypeID] ) ";
}

void CZENDB_ShortSampleRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[Samples].[SampleID]", m_Sample.SampleID);
    RFX_Text(pFX, "[UserSampleID]", m_Sample.UserSampleID);
    RFX_Date(pFX, "[RegistrationDate]", m_Sample.RegistrationDate);
    RFX_Date(pFX, "[DueDate]", m_Sample.DueDate);
    RFX_Date(pFX, "[MeasuredDate]", m_Sample.MeasuredDate);
    RFX_Text(pFX, "[Patterns].[Name]", m_Sample.PatternName);
    RFX_Text(pFX, "[RoutineTypes].[Name]", m_Sample.RoutineName);
}

CZENDB_SampleRegisteredByRecordset::CZENDB_SampleRegisteredByRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_Sample(nullptr)
{
    m_nFields = 3;
    m_Sample.RegistrationDate = CTime::GetCurrentTime();
}

CString CZENDB_SampleRegisteredByRecordset::GetDefaultSQL()
{
    return "[Samples].[SampleID],[UserSampleID],[RegistrationDate] FROM Samples ";
}

void CZENDB_SampleRegisteredByRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[Samples].[SampleID]", m_Sample.SampleID);
    RFX_Text(pFX, "[UserSampleID]", m_Sample.UserSampleID);
    RFX_Date(pFX, "[RegistrationDate]", m_Sample.RegistrationDate);
}
