// The facade's signatures on both engines: the password checked again at the
// moment of signing (a wrong one refused, counted as a failed login and
// recorded), the refusals before anything is stored, the tables that a
// database lacking them gets at its opening, and one revision per transaction.
#include "FacadeTestSupport.h"

#include "databaseobjects/CZENDB_Sample.h"
#include "databaseobjects/CZENDB_SampleProfileRun.h"
#include "databaseobjects/SampleSignatures.h"
#include "framework/sql/Transaction.h"

#include <string>
#include <vector>

namespace {

using factest::Column;

class Signatures : public factest::CFacadeTest {
protected:
    void SetUp() override
    {
        CFacadeTest::SetUp();
        if (!Ready())
            return;
        CreateDatabase();
        // The sample and its run are made before there are users.
        ASSERT_EQ(OpenPlain(), 1);
        CZENDB_Sample sample(&m_facade, "S-1");
        ASSERT_TRUE(sample.Save());
        m_sampleID = sample.SampleID;
        CZENDB_SampleProfileRun run(&m_facade);
        run.SampleID = m_sampleID;
        run.ProfileNr = 1;
        ASSERT_TRUE(run.Save());
        std::vector<CZENDB_MadeIndent> indents(1, CZENDB_MadeIndent(&m_facade));
        indents[0].D1 = indents[0].D2 = 40.0;
        ASSERT_TRUE(run.SaveMadeIndents(indents));
        ASSERT_EQ(m_facade.AddUser("sup", "s", UserRoleSupervisor), 1);
        ASSERT_EQ(m_facade.AddUser("op", "o", UserRoleOperator), 1);
        m_facade.CloseDatabase();
    }

    void Login(const char* user, const char* password)
    {
        CString error;
        ASSERT_EQ(m_facade.OpenDatabase(1, user, password, error), 1) << error.Str();
    }

    std::vector<std::string> Signed() const
    {
        return Column(m_connect, "SELECT Signed || '/' || COALESCE(Signature, '') FROM Samples");
    }

    int32_t m_sampleID = -1;
};

TEST_P(Signatures, AWrongPasswordRefusesCountsAndIsRecorded)
{
    Login("sup", "s");
    const int before = static_cast<int>(zenaudit::List(m_facade, CAuditFilter()).size());
    CString refusal;
    EXPECT_FALSE(m_facade.SignSample(m_sampleID, "S", ESignatureMeaning::Approved, refusal));
    EXPECT_EQ(refusal.Str(), "The password is wrong; the sample was not signed.");
    EXPECT_EQ(m_facade.GetLoginFailureCount("sup"), 1);
    EXPECT_EQ(Signed(), (std::vector<std::string>{"0/"}));
    const auto entries = zenaudit::List(m_facade, CAuditFilter());
    ASSERT_EQ(static_cast<int>(entries.size()), before + 1);
    EXPECT_EQ(entries.back().Action.Str(), "login failed");
    EXPECT_EQ(entries.back().UserName.Str(), "sup");
    EXPECT_EQ(entries.back().FieldName.Str(), "signature");
    EXPECT_EQ(entries.back().NewValue.Str(), "sample S-1");

    // The right password signs, and ends the count of failures.
    EXPECT_TRUE(m_facade.SignSample(m_sampleID, "s", ESignatureMeaning::Reviewed, refusal)) << refusal.Str();
    EXPECT_EQ(m_facade.GetLoginFailureCount("sup"), 0);
    EXPECT_EQ(Signed(), (std::vector<std::string>{"1/sup"}));
    const auto signatures = zensign::List(m_facade, m_sampleID);
    ASSERT_EQ(signatures.size(), 1u);
    EXPECT_EQ(signatures[0].UserName.Str(), "sup");
    EXPECT_EQ(signatures[0].Meaning.Str(), "reviewed");
    EXPECT_EQ(signatures[0].Revision, 0);
    EXPECT_TRUE(signatures[0].WithdrawnTime.IsEmpty());
}

TEST_P(Signatures, RefusalsStoreNothing)
{
    struct Case {
        const char* user; // nullptr: nobody logged in
        const char* password;
        int32_t key;      // 0: the sample
        const char* refusal;
    };
    const std::vector<Case> cases = {
        {nullptr, "", 0, "Signing needs a login; nobody is logged in."},
        {"op", "o", 0, "This needs the role supervisor; user 'op' is operator."},
        {"sup", "s", 999, "There is no sample with key 999."},
    };
    for (const Case& c : cases) {
        if (c.user != nullptr) {
            Login(c.user, c.password);
        } else {
            ASSERT_EQ(OpenPlain(), 1);
        }
        CString refusal;
        EXPECT_FALSE(m_facade.SignSample(c.key == 0 ? m_sampleID : c.key, c.password, ESignatureMeaning::Approved,
                                         refusal));
        EXPECT_EQ(refusal.Str(), c.refusal);
        m_facade.CloseDatabase();
    }
    EXPECT_EQ(Signed(), (std::vector<std::string>{"0/"}));
    EXPECT_TRUE(Column(m_connect, "SELECT SignatureID FROM SampleSignatures").empty());
}

TEST_P(Signatures, ADatabaseWithoutTheTablesGetsThemWhenOpenedForWriting)
{
    factest::Exec(m_connect, {"DROP TABLE SampleSignatures", "DROP TABLE SampleRevisions"});
    Login("sup", "s");
    EXPECT_TRUE(zensign::HasTables(m_facade));
    EXPECT_EQ(factest::Version(m_connect), "1.9");
    CString refusal;
    EXPECT_TRUE(m_facade.SignSample(m_sampleID, "s", ESignatureMeaning::Approved, refusal)) << refusal.Str();
}

TEST_P(Signatures, OneTransactionIsOneRevision)
{
    Login("sup", "s");
    CString refusal;
    ASSERT_TRUE(m_facade.SignSample(m_sampleID, "s", ESignatureMeaning::Approved, refusal)) << refusal.Str();
    m_facade.SetAuditReason("two steps");
    {
        CTransaction transaction(m_facade);
        CZENDB_Sample sample(&m_facade);
        ASSERT_TRUE(sample.Load(m_sampleID));
        sample.PartNo = "P-1";
        ASSERT_TRUE(sample.Save());
        EXPECT_FALSE(sample.Signed);
        sample.Detail = "flank";
        ASSERT_TRUE(sample.Save());
        transaction.Commit();
    }
    EXPECT_EQ(zensign::Revision(m_facade, m_sampleID), 1);
    CZENDB_Sample sample(&m_facade);
    ASSERT_TRUE(sample.Load(m_sampleID));
    sample.Detail = "root";
    ASSERT_TRUE(sample.Save());
    EXPECT_EQ(zensign::Revision(m_facade, m_sampleID), 2);
    // A save that changes nothing is no revision.
    ASSERT_TRUE(sample.Save());
    EXPECT_EQ(zensign::Revision(m_facade, m_sampleID), 2);
}

TEST_P(Signatures, AStaleObjectDoesNotSignOrUnsignThroughSave)
{
    Login("sup", "s");
    CZENDB_Sample stale(&m_facade);
    ASSERT_TRUE(stale.Load(m_sampleID));
    CString refusal;
    ASSERT_TRUE(m_facade.SignSample(m_sampleID, "s", ESignatureMeaning::Approved, refusal)) << refusal.Str();
    // Loaded before the signature: its Signed FALSE is not written back
    // (nothing else changed, so no reason is needed either).
    EXPECT_TRUE(stale.Save());
    EXPECT_EQ(Signed(), (std::vector<std::string>{"1/sup"}));
    EXPECT_TRUE(stale.Signed);
    // Nor does setting the flag sign.
    CZENDB_Sample other(&m_facade, "S-2");
    ASSERT_TRUE(other.Save());
    other.Signed = TRUE;
    other.Signature = "The Director";
    EXPECT_TRUE(other.Save());
    EXPECT_EQ(Column(m_connect, "SELECT Signed FROM Samples WHERE UserSampleID = 'S-2'"), (std::vector<std::string>{"0"}));
}

ZEN_FACADE_ENGINES(Signatures);

} // namespace
