// The facade's part of electronic signatures: signing a sample as the
// logged-in user with the password checked again at that moment, and the
// session's leave to change or delete a signed sample.

#include "database/ZENDatabase.h"

#include "companions/EventLog.h"
#include "companions/Obvra.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/Exceptions.h"
#include "framework/Translation.h"
#include "framework/sql/Transaction.h"

namespace {

constexpr const char* kModule = "database";
constexpr const char* kSignSample = "CZENDatabase::SignSample";

} // namespace

bool CZENDatabase::MayChangeSignedSample(const CString& userSampleID, bool deletion, CString& refusal)
{
    CString roleRefusal;
    if (!IsActionAllowed(deletion ? ZENACT_DeleteSample : ZENACT_ChangeSignedSample, &roleRefusal)) {
        refusal.Format(ZenTranslate(kZenTextDomain, "message", "Sample '%s' is signed. %s"),
                       userSampleID.GetString(), roleRefusal.GetString());
        return false;
    }
    CString reason = m_strAuditReason;
    reason.Trim();
    if (reason.IsEmpty()) {
        refusal.Format(deletion ? ZenTranslate(kZenTextDomain, "message",
                                               "Sample '%s' is signed. Deleting it needs a reason.")
                                : ZenTranslate(kZenTextDomain, "message",
                                               "Sample '%s' is signed. Changing it needs a reason."),
                       userSampleID.GetString());
        return false;
    }
    return true;
}

bool CZENDatabase::SignSample(int32_t sampleID, const CString& password, ESignatureMeaning meaning,
                              CString& refusal)
{
    if (!IsOpen()) {
        refusal = ZenTranslate(kZenTextDomain, "message", "The database is not open.");
        return false;
    }
    if (m_eUserRole == UserRoleNobody || m_strUserName.IsEmpty()) {
        refusal = HasUsers() ? ZenTranslate(kZenTextDomain, "message", "Signing needs a login; nobody is logged in.")
                             : ZenTranslate(kZenTextDomain, "message",
                                            "Signing needs a login, and this database has no users: add users "
                                            "first.");
        return false;
    }
    if (!IsActionAllowed(ZENACT_SignSample, &refusal))
        return false;
    CZENDB_Sample sample(this);
    if (!sample.Load(sampleID)) {
        refusal.Format(ZenTranslate(kZenTextDomain, "message", "There is no sample with key %d."),
                       static_cast<int>(sampleID));
        return false;
    }

    // The password first: a refusal for any other reason must not tell a
    // person who does not know it anything about the sample.
    const CString storedName = WaitForPasswordCheck();
    if (!IsPasswordOfUser(m_strUserName, password)) {
        RecordLoginOutcome(storedName, false, true);
        ZEN_LOG_EVENT(kModule, kSignSample, "Signature of '%s' by '%s' refused: wrong password",
                      sample.UserSampleID.GetString(), m_strUserName.GetString());
        try {
            CAuditEntry entry;
            entry.Action = zenaudit::kLoginFailed;
            entry.ObjectKind = "user";
            entry.ObjectIdentifier = m_strUserName;
            entry.UserName = m_strUserName;
            entry.FieldName = "signature";
            entry.NewValue = "sample " + sample.UserSampleID;
            zenaudit::Write(this, std::vector<CAuditEntry>{entry});
        } catch (CException& e) {
            e.Delete();
        }
        refusal = ZenTranslate(kZenTextDomain, "message", "The password is wrong; the sample was not signed.");
        return false;
    }
    RecordLoginOutcome(storedName, true);

    int hasData = 0;
    if (!sample.GetHasIndentData(hasData)) {
        refusal.Format(ZenTranslate(kZenTextDomain, "message", "The profile runs of sample '%s' cannot be read."),
                       sample.UserSampleID.GetString());
        return false;
    }
    if (hasData == 0) {
        refusal.Format(ZenTranslate(kZenTextDomain, "message", "Sample '%s' has no measured profile to sign."),
                       sample.UserSampleID.GetString());
        return false;
    }
    if (zensign::ForbidsSigningOwnMeasurement()) {
        CString measuredBy = sample.MeasuredBy;
        measuredBy.Trim();
        if (UserNamesMatch(measuredBy, m_strUserName)) {
            refusal.Format(ZenTranslate(kZenTextDomain, "message",
                                        "User '%s' measured sample '%s' and may not sign it (the station forbids "
                                        "signing one's own measurement)."),
                           m_strUserName.GetString(), sample.UserSampleID.GetString());
            return false;
        }
    }
    for (const CSampleSignature& s : zensign::List(*this, sampleID)) {
        if (s.WithdrawnTime.IsEmpty() && s.Meaning == zensign::MeaningText(meaning) &&
            UserNamesMatch(s.UserName, m_strUserName)) {
            refusal.Format(ZenTranslate(kZenTextDomain, "message", "User '%s' has signed sample '%s' as %s already."),
                           m_strUserName.GetString(), sample.UserSampleID.GetString(), zensign::MeaningText(meaning));
            return false;
        }
    }
    CTransaction transaction(*this);
    zensign::Store(*this, sampleID, sample.UserSampleID, m_strUserName, meaning);
    transaction.Commit();
    ZEN_LOG_EVENT(kModule, kSignSample, "Sample '%s' signed by '%s' (%s)", sample.UserSampleID.GetString(),
                  m_strUserName.GetString(), zensign::MeaningText(meaning));
    return true;
}
