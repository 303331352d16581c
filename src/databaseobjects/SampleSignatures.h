// Electronic signatures of samples and the lock they put on them: the stored
// signatures (who, meaning, when, at which revision, withdrawn when and why),
// the revision that counts the changes after the first signature, and the
// rule that a signed sample changes or goes only with the session's leave
// and a reason, which withdraws its signatures unless the change touched
// only fields the station marks as not affecting results.
#pragma once

#include "framework/CString.h"

#include <cstdint>
#include <set>
#include <vector>

class CDatabase;

// What the connection's owner tells the lock about the session. The facade
// (CZENDatabase) implements it; a connection without it (a plain CDatabase of
// a tool or a test) changes signed samples as software without signatures did.
class CSignatureSession {
public:
    virtual ~CSignatureSession() = default;
    // Whether the session may change (deletion false) or delete the signed
    // sample userSampleID: the role needed and a non-empty reason. On false,
    // refusal receives a text for the person naming what is missing.
    virtual bool MayChangeSignedSample(const CString& userSampleID, bool deletion, CString& refusal) = 0;

    // True the first time it is asked for the sample within one outermost
    // transaction (transactionSerial, CDatabase::TransactionSerial): a
    // command that stores a run, its indents and the sample's measuring date
    // in one transaction is one revision of the sample.
    bool FirstChangeInTransaction(unsigned transactionSerial, int32_t sampleID);

private:
    unsigned m_nCountedSerial = 0;
    std::set<int32_t> m_countedSamples;
};

// What a signature declares.
enum class ESignatureMeaning : int32_t {
    Reviewed = 0,
    Approved = 1,
};

// One stored signature. Times are UTC "YYYY-MM-DD HH:MM:SS"; WithdrawnTime is
// empty while the signature stands.
struct CSampleSignature {
    int32_t SignatureID = -1;
    int32_t SampleID = -1;
    CString UserName;
    CString Meaning; // "reviewed" or "approved" as stored
    CString SignedTime;
    int32_t Revision = 0;
    CString WithdrawnTime;
    CString WithdrawnReason;
};

namespace zensign {

// The stored texts of the meanings.
inline constexpr const char* kReviewed = "reviewed";
inline constexpr const char* kApproved = "approved";
const char* MeaningText(ESignatureMeaning meaning);
// The meaning of "reviewed" / "approved" (exact, lower case); false otherwise.
bool ParseMeaning(const CString& text, ESignatureMeaning& meaning);

// Creates the tables of signatures and revisions when the file lacks them
// (outside the versioned schema, like the failed-login table). Database
// errors pass.
void CreateTablesWhenMissing(CDatabase& db);
// True when the file holds the signature tables. Database errors pass.
bool HasTables(CDatabase& db);

// The current UTC time as stored ("YYYY-MM-DD HH:MM:SS").
CString NowUtc();

// The signatures of a sample, standing and withdrawn, oldest first; empty in
// a file without the tables. Database errors pass.
std::vector<CSampleSignature> List(CDatabase& db, int32_t sampleID);
// The sample's revision: 0 until a change after its first signature, then
// increased by one with each change. 0 in a file without the tables.
// Database errors pass.
int32_t Revision(CDatabase& db, int32_t sampleID);

// Stores a signature of the sample at its current revision and marks the
// sample's row signed by userName (Signed TRUE, Signature = userName), with
// its audit entry, in the caller's transaction or one of its own. Does not
// check who may sign: the facade's SignSample does. Database errors pass.
void Store(CDatabase& db, int32_t sampleID, const CString& userSampleID, const CString& userName,
           ESignatureMeaning meaning);

// The columns of Samples that the station marks as not affecting results
// ([Signatures] FieldsNotAffectingResults, comma separated column names;
// none by default): a change only to these keeps a signature.
std::vector<CString> FieldsNotAffectingResults();
// Whether [Signatures] ForbidSigningOwnMeasurement is set ("1", "yes",
// "true"; off by default).
bool ForbidsSigningOwnMeasurement();

// Called inside the transaction of a change to the sample's registration
// data (changedColumns: the Samples columns that differ, after they were
// written), to its runs ({"runs"}) or of its deletion (deletion true),
// before the caller commits. When the sample's stored row is signed, the
// connection's session (CSignatureSession) must allow it; otherwise false
// with the refusal, nothing done here, and the caller rolls back. Then,
// unless deleting: a change not only to fields not affecting results
// withdraws every standing signature (withdrawn time and the session's
// reason stored, Signed FALSE and Signature emptied, one audit entry per
// signature; *withdrawn set), and the revision of a sample ever signed
// increases by one, once per outermost transaction (with its audit entry). A connection without a session
// checks, withdraws and counts nothing. Database errors pass.
bool OnSampleChange(CDatabase* db, int32_t sampleID, const std::vector<CString>& changedColumns, bool deletion,
                    CString& refusal, bool* withdrawn = nullptr);
// Removes the signature and revision rows of a deleted sample (the audit
// trail keeps their record). Database errors pass.
void ForgetSample(CDatabase& db, int32_t sampleID);
// Whether the stored row of the sample is signed (false when it has none).
bool IsStoredSigned(CDatabase& db, int32_t sampleID);

} // namespace zensign
