// The stored signatures of samples, their revisions and the lock a signature
// puts on its sample: the checks and the withdrawal run inside the change's
// own transaction, so a refused change leaves nothing behind.

#include "databaseobjects/SampleSignatures.h"

#include "companions/ConfigFile.h"
#include "databaseobjects/AuditTrail.h"
#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/Transaction.h"

#include <cstdlib>
#include <ctime>

namespace {

// Outside the versioned schema: stations that do not know them ignore them.
// The names in brackets: after IF NOT EXISTS a bare name followed by its
// column list would reach the server unquoted, and so in lower case, where
// every later statement looks for it as spelled.
constexpr const char* kCreateSignaturesSql =
    "CREATE TABLE IF NOT EXISTS [SampleSignatures] ([SignatureID] INTEGER PRIMARY KEY AUTOINCREMENT, "
    "[SampleID] INTEGER NOT NULL, [UserName] VARCHAR(255), [Meaning] VARCHAR(20), [SignedTime] VARCHAR(20), "
    "[Revision] INTEGER, [WithdrawnTime] VARCHAR(20), [WithdrawnReason] VARCHAR(255))";
constexpr const char* kCreateRevisionsSql =
    "CREATE TABLE IF NOT EXISTS [SampleRevisions] ([SampleID] INTEGER NOT NULL PRIMARY KEY, "
    "[Revision] INTEGER NOT NULL)";

constexpr const char* kWithdraw = "withdraw";

bool Exists(CDatabase& db, const CString& sql)
{
    CRecordset rs(&db);
    rs.Open(CRecordset::forwardOnly, sql.GetString(), CRecordset::readOnly);
    const bool any = !rs.IsEOF();
    rs.Close();
    return any;
}

CString Field(CRecordset& rs, const char* column)
{
    CString value;
    rs.GetFieldValue(column, value);
    return value;
}

int32_t IntField(CRecordset& rs, const char* column)
{
    return static_cast<int32_t>(std::atol(Field(rs, column).GetString()));
}

bool IsSet(CString text)
{
    text.Trim();
    text.MakeLower();
    return text == "1" || text == "yes" || text == "true";
}

CString SignatureText(const CSampleSignature& s)
{
    return s.UserName + " (" + s.Meaning + ")";
}

bool Listed(const std::vector<CString>& list, const CString& column)
{
    for (const CString& item : list)
        if (item.CompareNoCase(column) == 0)
            return true;
    return false;
}

} // namespace

bool CSignatureSession::FirstChangeInTransaction(unsigned transactionSerial, int32_t sampleID)
{
    if (transactionSerial != m_nCountedSerial) {
        m_nCountedSerial = transactionSerial;
        m_countedSamples.clear();
    }
    return m_countedSamples.insert(sampleID).second;
}

namespace zensign {

const char* MeaningText(ESignatureMeaning meaning)
{
    return meaning == ESignatureMeaning::Reviewed ? kReviewed : kApproved;
}

bool ParseMeaning(const CString& text, ESignatureMeaning& meaning)
{
    if (text == kReviewed) {
        meaning = ESignatureMeaning::Reviewed;
        return true;
    }
    if (text == kApproved) {
        meaning = ESignatureMeaning::Approved;
        return true;
    }
    return false;
}

void CreateTablesWhenMissing(CDatabase& db)
{
    CTransaction transaction(db);
    db.ExecuteSQL(kCreateSignaturesSql);
    db.ExecuteSQL(kCreateRevisionsSql);
    transaction.Commit();
}

bool HasTables(CDatabase& db)
{
    return db.HasTable("SampleRevisions") != FALSE;
}

CString NowUtc()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &utc);
    return CString(text);
}

std::vector<CSampleSignature> List(CDatabase& db, int32_t sampleID)
{
    std::vector<CSampleSignature> list;
    if (!HasTables(db))
        return list;
    CString sql;
    sql.Format("SELECT [SignatureID], [SampleID], [UserName], [Meaning], [SignedTime], [Revision], [WithdrawnTime], "
               "[WithdrawnReason] FROM SampleSignatures WHERE [SampleID] = %d ORDER BY [SignatureID]",
               static_cast<int>(sampleID));
    CRecordset rs(&db);
    rs.Open(CRecordset::forwardOnly, sql.GetString(), CRecordset::readOnly);
    for (; !rs.IsEOF(); rs.MoveNext()) {
        CSampleSignature s;
        s.SignatureID = IntField(rs, "SignatureID");
        s.SampleID = IntField(rs, "SampleID");
        s.UserName = Field(rs, "UserName");
        s.Meaning = Field(rs, "Meaning");
        s.SignedTime = Field(rs, "SignedTime");
        s.Revision = IntField(rs, "Revision");
        s.WithdrawnTime = Field(rs, "WithdrawnTime");
        s.WithdrawnReason = Field(rs, "WithdrawnReason");
        list.push_back(s);
    }
    rs.Close();
    return list;
}

int32_t Revision(CDatabase& db, int32_t sampleID)
{
    if (!HasTables(db))
        return 0;
    CString sql;
    sql.Format("SELECT [Revision] FROM SampleRevisions WHERE [SampleID] = %d", static_cast<int>(sampleID));
    CRecordset rs(&db);
    rs.Open(CRecordset::forwardOnly, sql.GetString(), CRecordset::readOnly);
    const int32_t revision = rs.IsEOF() ? 0 : IntField(rs, "Revision");
    rs.Close();
    return revision;
}

void Store(CDatabase& db, int32_t sampleID, const CString& userSampleID, const CString& userName,
           ESignatureMeaning meaning)
{
    CTransaction transaction(db);
    const int32_t revision = Revision(db, sampleID);
    CString sql;
    sql.Format("INSERT INTO SampleSignatures ([SampleID], [UserName], [Meaning], [SignedTime], [Revision]) "
               "VALUES (%d, '%s', '%s', '%s', %d)",
               static_cast<int>(sampleID), SqlQuote(userName).GetString(), MeaningText(meaning),
               NowUtc().GetString(), static_cast<int>(revision));
    db.ExecuteSQL(sql);
    sql.Format("UPDATE Samples SET [Signed] = TRUE, [Signature] = '%s' WHERE [SampleID] = %d",
               SqlQuote(userName).GetString(), static_cast<int>(sampleID));
    db.ExecuteSQL(sql);
    CString revisionText;
    revisionText.Format("revision %d", static_cast<int>(revision));
    zenaudit::Write(&db, zenaudit::kSign, "sample", sampleID, userSampleID, "Signature", revisionText,
                    userName + " (" + MeaningText(meaning) + ")");
    transaction.Commit();
}

std::vector<CString> FieldsNotAffectingResults()
{
    std::vector<CString> fields;
    const CString text = GetStringFromConfigFile("Signatures", "FieldsNotAffectingResults", "");
    int start = 0;
    while (start <= text.GetLength()) {
        int comma = text.Find(',', start);
        if (comma < 0)
            comma = text.GetLength();
        CString field = text.Mid(start, comma - start);
        field.Trim();
        if (!field.IsEmpty())
            fields.push_back(field);
        start = comma + 1;
    }
    return fields;
}

bool ForbidsSigningOwnMeasurement()
{
    return IsSet(GetStringFromConfigFile("Signatures", "ForbidSigningOwnMeasurement", "0"));
}

bool IsStoredSigned(CDatabase& db, int32_t sampleID)
{
    CString sql;
    sql.Format("SELECT [SampleID] FROM Samples WHERE [SampleID] = %d AND [Signed] = TRUE", static_cast<int>(sampleID));
    return Exists(db, sql);
}

bool OnSampleChange(CDatabase* db, int32_t sampleID, const std::vector<CString>& changedColumns, bool deletion,
                    CString& refusal, bool* withdrawn)
{
    if (withdrawn != nullptr)
        *withdrawn = false;
    if (db == nullptr || sampleID < 1 || (changedColumns.empty() && !deletion))
        return true;
    CString identifierSql;
    identifierSql.Format("SELECT [UserSampleID] FROM Samples WHERE [SampleID] = %d", static_cast<int>(sampleID));
    const CAuditRow identifierRow = zenaudit::ReadRow(*db, identifierSql);
    if (!identifierRow.Found)
        return true;
    const CString userSampleID = identifierRow.Columns.front().second;
    const bool isSigned = IsStoredSigned(*db, sampleID);
    auto* session = dynamic_cast<CSignatureSession*>(db);
    if (isSigned && session != nullptr && !session->MayChangeSignedSample(userSampleID, deletion, refusal))
        return false;
    if (deletion || session == nullptr || !HasTables(*db))
        return true;

    const std::vector<CSampleSignature> signatures = List(*db, sampleID);
    bool affects = false;
    const std::vector<CString> keeping = FieldsNotAffectingResults();
    for (const CString& column : changedColumns)
        if (!Listed(keeping, column))
            affects = true;
    auto* audit = dynamic_cast<CAuditSession*>(db);
    const CString reason = audit != nullptr ? audit->GetAuditReason() : CString();
    if (isSigned && affects) {
        const CString now = NowUtc();
        std::vector<CAuditEntry> entries;
        for (const CSampleSignature& s : signatures) {
            if (!s.WithdrawnTime.IsEmpty())
                continue;
            CString sql;
            sql.Format("UPDATE SampleSignatures SET [WithdrawnTime] = '%s', [WithdrawnReason] = '%s' "
                       "WHERE [SignatureID] = %d",
                       now.GetString(), SqlQuote(reason.Left(255)).GetString(), static_cast<int>(s.SignatureID));
            db->ExecuteSQL(sql);
            CAuditEntry entry;
            entry.Action = kWithdraw;
            // Under the sample, so that the sample's entries tell its whole story.
            entry.ObjectKind = "sample";
            entry.ObjectKey = sampleID;
            entry.ObjectIdentifier = userSampleID;
            entry.FieldName = "Signature";
            entry.OldValue = SignatureText(s);
            entries.push_back(entry);
        }
        CString sql;
        sql.Format("UPDATE Samples SET [Signed] = FALSE, [Signature] = '' WHERE [SampleID] = %d",
                   static_cast<int>(sampleID));
        db->ExecuteSQL(sql);
        zenaudit::Write(db, entries);
        if (withdrawn != nullptr)
            *withdrawn = true;
    }
    if ((isSigned || !signatures.empty()) &&
        (!db->IsInTransaction() || session->FirstChangeInTransaction(db->TransactionSerial(), sampleID))) {
        const int32_t before = Revision(*db, sampleID);
        // No row stands for revision 0 (a stored row starts at 1). Not an
        // upsert: the server's dialect takes ON CONFLICT's column list for a
        // call.
        CString sql;
        if (before == 0)
            sql.Format("INSERT INTO SampleRevisions ([SampleID], [Revision]) VALUES (%d, 1)",
                       static_cast<int>(sampleID));
        else
            sql.Format("UPDATE SampleRevisions SET [Revision] = %d WHERE [SampleID] = %d", static_cast<int>(before + 1),
                       static_cast<int>(sampleID));
        db->ExecuteSQL(sql);
        CString oldText;
        CString newText;
        oldText.Format("%d", static_cast<int>(before));
        newText.Format("%d", static_cast<int>(before + 1));
        zenaudit::Write(db, zenaudit::kChange, "sample", sampleID, userSampleID, "Revision", oldText, newText);
    }
    return true;
}

void ForgetSample(CDatabase& db, int32_t sampleID)
{
    if (!HasTables(db))
        return;
    CString sql;
    sql.Format("DELETE FROM SampleSignatures WHERE [SampleID] = %d", static_cast<int>(sampleID));
    db.ExecuteSQL(sql);
    sql.Format("DELETE FROM SampleRevisions WHERE [SampleID] = %d", static_cast<int>(sampleID));
    db.ExecuteSQL(sql);
}

} // namespace zensign
