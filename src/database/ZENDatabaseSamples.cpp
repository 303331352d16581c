// The facade's sample queries: the lists behind the sample views, the first
// 5000 samples, the samples measured before a date, the unsigned samples,
// whether an identifier is taken and which identifier to propose next.

#include "database/ZENDatabase.h"

#include "companions/EventLog.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/Exceptions.h"
#include "framework/UIHost.h"
#include "recordsets/CZENDB_SamplesRecordset.h"

#include <memory>
#include <new>
#include <string>

namespace {

// A database error that the proposal of the next identifier passes over
// without a message (the proposal simply stays empty).
constexpr int kQuietNextIdentifierError = AFX_SQL_ERROR + 22;

// Walks an opened samples recordset to its end and appends one new sample per
// row, filled with the row's every column including the trace. The sample is
// put into the list only once it is complete. Each row logs an entry; the
// batch writes them together (a few writes instead of one per row).
void AppendSamples(CZENDatabase* database, CZENDB_SamplesRecordset& samples, CObList& list)
{
    const CEventLogBatch batch;
    while (!samples.IsEOF()) {
        auto sample = std::make_unique<CZENDB_Sample>(database);
        sample->KeepConnection = true;
        samples.GetSample(*sample);
        list.AddTail(sample.release());
        samples.MoveNext();
    }
}

// The decimal text one greater than digits (a run of '0'..'9' without
// leading zeros): "99" -> "100". Works for runs of any length.
std::string IncrementDecimalText(std::string digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return digits;
        }
        *it = '0';
    }
    return "1" + digits;
}

// The identifier proposed after id: its first number n (the run of digits
// that starts at its first digit) increased, every occurrence of the text of
// n replaced by the text of n+1; a text without a number, or whose number is
// 0, gets "1" appended. A carry that lengthens the number (9 -> 10) takes
// the place of one leading zero, so a zero-padded number keeps its width.
//   "S-0099" -> "S-0100", "S-0009" -> "S-0010", "S-9" -> "S-10",
//   "B7-7" -> "B8-8", "2019-05" -> "2020-05", "X0" -> "X01"
CString ProposeNextIdentifier(const CString& id)
{
    const std::string& text = id.Str();
    const size_t first = text.find_first_of("0123456789");
    if (first == std::string::npos)
        return id + "1";
    size_t end = first;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    // The number's own text is the run without its leading zeros; the
    // arithmetic is done on the text so that no run length can overflow.
    size_t significant = first;
    while (significant < end && text[significant] == '0')
        ++significant;
    if (significant == end)
        return id + "1";
    const std::string number = text.substr(significant, end - significant);
    const std::string next = IncrementDecimalText(number);
    const bool longer = next.size() > number.size();

    std::string result;
    size_t copied = 0;
    for (size_t at = text.find(number); at != std::string::npos; at = text.find(number, at + number.size())) {
        size_t from = at;
        // Only zeros between the start of this occurrence's digit run and the
        // occurrence: they pad it, and the carry takes one of them.
        if (longer && at > copied && text[at - 1] == '0') {
            size_t runStart = at;
            while (runStart > 0 && text[runStart - 1] == '0')
                --runStart;
            const bool padded = runStart == 0 || text[runStart - 1] < '0' || text[runStart - 1] > '9';
            if (padded)
                from = at - 1;
        }
        result.append(text, copied, from - copied);
        result += next;
        copied = at + number.size();
    }
    result.append(text, copied, std::string::npos);
    return CString(result.c_str());
}

} // namespace

bool CZENDatabase::SampleExist(const CString& userSampleID, int32_t& sampleID)
{
    return CZENDB_Sample::FindKey(this, userSampleID, sampleID);
}

CString CZENDatabase::GetNextUserSampleID()
{
    try {
        CZENDB_SampleRegisteredByRecordset latest(this);
        // "SELECT TOP 1 %s ORDER BY [RegistrationDate] DESC", put together
        // without the formatter's work.
        CString sql = latest.GetDefaultSQL();
        sql.StdString().insert(0, "SELECT TOP 1 ").append(" ORDER BY [RegistrationDate] DESC");
        if (!latest.Open(CRecordset::dynaset, sql, CRecordset::none))
            return CString();
        // Several samples may share the latest registration date; the first
        // one with an identifier counts.
        CString id;
        while (!latest.IsEOF()) {
            if (!latest.m_Sample.UserSampleID.IsEmpty()) {
                id = latest.m_Sample.UserSampleID;
                break;
            }
            latest.MoveNext();
        }
        latest.Close();
        if (id.IsEmpty())
            return CString();
        return ProposeNextIdentifier(id);
    } catch (CDBException& e) {
        if (e.m_nRetCode != kQuietNextIdentifierError)
            AfxMessageBox(e.m_strError, MB_OK);
        e.Delete();
        return CString();
    }
}

void CZENDatabase::GetFirst5000Samples(CObList& list)
{
    CZENDB_SamplesRecordset samples(this);
    CString sql;
    sql.Format("%s ORDER BY SampleID", samples.GetDefaultFirst5000SQL().GetString());
    if (!samples.Open(CRecordset::dynaset, sql, CRecordset::none))
        return;
    AppendSamples(this, samples, list);
    samples.Close();
}

void CZENDatabase::GetSamplesBefore(CObList& list, COleDateTime date)
{
    CZENDB_SamplesRecordset samples(this);
    const CString day = date.Format("%Y-%m-%d 00:00:00");
    CString sql;
    sql.Format("%s WHERE [MeasuredDate] < CDATE('%s')", samples.GetDefaultSQL().GetString(), day.GetString());
    if (!samples.Open(CRecordset::dynaset, sql, CRecordset::none))
        return;
    AppendSamples(this, samples, list);
    samples.Close();
}

int CZENDatabase::GetSamples(SampleViewTypeType view, CMapStringToPtr* criteria, CObList& list)
{
    try {
        CZENDB_SamplesRecordset samples(this);
        CString sql;
        sql.Format("%s %s ORDER BY [Samples].[SampleID] desc", samples.GetDefaultSQL().GetString(),
                   samples.GetWhereSQL(view, criteria).GetString());
        if (!samples.Open(CRecordset::dynaset, sql, CRecordset::none))
            return 0;
        AppendSamples(this, samples, list);
        const int count = samples.GetRecordCount();
        samples.Close();
        return count;
    } catch (CException& e) {
        e.ReportError(MB_OK);
        e.Delete();
        return 0;
    } catch (std::bad_alloc&) {
        CMemoryException().ReportError(MB_OK);
        return 0;
    }
}

void CZENDatabase::GetUnsignedSamples(CObList& list)
{
    CZENDB_ShortSampleRecordset samples(this);
    CString sql;
    sql.Format("%s WHERE [Signed] = FALSE ORDER BY [Samples].[SampleID]", samples.GetDefaultSQL().GetString());
    if (!samples.Open(CRecordset::dynaset, sql, CRecordset::none))
        return;
    while (!samples.IsEOF()) {
        auto sample = std::make_unique<CZENDB_Sample>(this);
        sample->KeepConnection = true;
        *sample = samples.m_Sample;
        list.AddTail(sample.release());
        samples.MoveNext();
    }
    samples.Close();
}
