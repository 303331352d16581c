// Tests of stored credentials and login bookkeeping through the facade on
// both engines: passwords kept as salted Argon2id hashes, old-encoding passwords
// replaced at the first login, and the count of failed logins that makes a
// name wait before its password is checked.

#include "FacadeTestSupport.h"

#include "companions/Obvra.h"
#include "companions/PasswordHash.h"

#include <sodium.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using factest::CFacadeTest;

struct CWait {
    std::string name;
    int failures;
    int seconds;
};

std::vector<CWait>& Waits()
{
    static std::vector<CWait> waits;
    return waits;
}

void RecordWait(const CString& userName, int failures, int seconds)
{
    Waits().push_back({userName.Str(), failures, seconds});
}

class Credentials : public CFacadeTest {
protected:
    void SetUp() override
    {
        CFacadeTest::SetUp();
        if (!Ready())
            return;
        CreateDatabase();
        Waits().clear();
        CZENDatabase::SetLoginWaitNotifier(RecordWait);
    }
    void TearDown() override { CZENDatabase::SetLoginWaitNotifier(nullptr); }

    void AddUser(const char* name, const char* password, int role = 2)
    {
        CZENDatabase admin;
        CString error;
        ASSERT_EQ(admin.OpenDatabase(0, "", "", error), 1);
        ASSERT_EQ(admin.AddUser(name, password, static_cast<UserRoleType>(role)), 1);
    }

    // One login try on a facade of its own; a failure answers No to the question.
    int TryLogin(const char* name, const char* password)
    {
        CZENDatabase facade;
        m_host.QueueMessageAnswer(IDNO);
        CString error;
        const int result = facade.OpenDatabase(1, name, password, error);
        if (result == 1)
            m_host.Reset();
        return result;
    }

    std::string StoredPassword(const std::string& name)
    {
        const auto rows = factest::Column(m_connect, "SELECT Field1 FROM Table1 WHERE Field0 = '" +
                                                      Obvra_encode(name.c_str()).Str() + "'");
        return rows.empty() ? std::string() : rows[0];
    }

    std::vector<std::string> FailureCounts()
    {
        return factest::Column(m_connect, "SELECT Failures FROM LoginFailures ORDER BY UserName");
    }
};

TEST(LoginWait, GrowsFromOneSecondAfterFiveFailuresToThirty)
{
    const std::pair<int, int> cases[] = {{0, 0},  {4, 0},  {5, 1},  {6, 2},   {7, 4},
                                         {8, 8},  {9, 16}, {10, 30}, {11, 30}, {1000, 30}};
    for (const auto& [failures, seconds] : cases)
        EXPECT_EQ(CZENDatabase::LoginWaitSeconds(failures), seconds) << failures;
}

TEST_P(Credentials, PasswordsAreSaltedHashesFoundNowhereInTheDatabaseOrLog)
{
    AddUser("anna", "Tr0ub4dor-same");
    AddUser("bert", "Tr0ub4dor-same");
    const std::string anna = StoredPassword("anna");
    const std::string bert = StoredPassword("bert");
    EXPECT_EQ(anna.rfind("$argon2id$", 0), 0u) << anna;
    EXPECT_EQ(bert.rfind("$argon2id$", 0), 0u) << bert;
    EXPECT_LE(anna.size(), static_cast<size_t>(PASSWORD_HASH_MAX_LENGTH));
    EXPECT_NE(anna, bert);

    EXPECT_EQ(TryLogin("anna", "Tr0ub4dor-same"), 1);
    EXPECT_EQ(TryLogin("bert", "wrong"), 0);
    m_facade.CloseDatabase();
    std::vector<std::string> files = {m_logPath};
    if (m_quirks.databaseIsFile) {
        files.push_back(m_path);
        files.push_back(m_path + "-wal");
    }
    for (const std::string& file : files)
        EXPECT_EQ(zentest::ReadFileText(file).find("Tr0ub4dor"), std::string::npos) << file;
}

TEST_P(Credentials, OldEncodingLogsInOnceAndIsThenStoredAsHash)
{
    const std::string old = Obvra_encode("old-pw").Str();
    factest::Exec(m_connect, {"INSERT INTO Table1 (Field0, Field1, Field2) VALUES ('" + Obvra_encode("carl").Str() +
                             "', '" + old + "', 3)"});
    // A wrong password leaves the old form as it is.
    EXPECT_EQ(TryLogin("carl", "old-PW"), 0);
    EXPECT_EQ(StoredPassword("carl"), old);

    EXPECT_EQ(TryLogin("carl", "old-pw"), 1);
    const std::string renewed = StoredPassword("carl");
    EXPECT_EQ(renewed.rfind("$argon2id$", 0), 0u) << renewed;
    EXPECT_EQ(CheckStoredPassword(renewed.c_str(), "old-pw"), EPasswordCheck::right);
    EXPECT_EQ(TryLogin("carl", "old-pw"), 1);
    EXPECT_EQ(StoredPassword("carl"), renewed);
}

TEST_P(Credentials, FailureToReplaceTheOldFormIsLoggedButTheLoginHolds)
{
    const std::string old = Obvra_encode("old-pw").Str();
    factest::Exec(m_connect,
                  {m_quirks.refusePasswordHashesSql,
                   "INSERT INTO Table1 (Field0, Field1, Field2) VALUES ('" + Obvra_encode("dora").Str() + "', '" +
                       old + "', 3)"});
    EXPECT_EQ(TryLogin("dora", "old-pw"), 1);
    EXPECT_EQ(StoredPassword("dora"), old);
    EXPECT_NE(zentest::ReadFileText(m_logPath).find("The stored password of 'dora' could not be replaced by a hash"),
              std::string::npos);
}

TEST_P(Credentials, HashesWithOtherLimitsAreRenewed)
{
    AddUser("erik", "pw");
    // Stored with a lower memory limit than the library's: still accepted.
    char weaker[crypto_pwhash_STRBYTES];
    ASSERT_EQ(crypto_pwhash_str(weaker, "pw", 2, crypto_pwhash_OPSLIMIT_INTERACTIVE, 8u << 20), 0);
    factest::Exec(m_connect, {std::string("UPDATE Table1 SET Field1 = '") + weaker + "'"});
    EXPECT_EQ(CheckStoredPassword(weaker, "pw"), EPasswordCheck::rightRenew);
    EXPECT_EQ(TryLogin("erik", "pw"), 1);
    EXPECT_NE(StoredPassword("erik"), weaker);
    EXPECT_EQ(CheckStoredPassword(StoredPassword("erik").c_str(), "pw"), EPasswordCheck::right);
}

TEST_P(Credentials, FiveFailuresMakeTheNextTryWaitAndSuccessResets)
{
    AddUser("fritz", "right");
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(TryLogin("fritz", "wrong"), 0);
        EXPECT_EQ(FailureCounts(), std::vector<std::string>{std::to_string(n)});
    }
    EXPECT_TRUE(Waits().empty());
    // The sixth try waits before its password is checked, right or wrong.
    EXPECT_EQ(TryLogin("fritz", "wrong"), 0);
    ASSERT_EQ(Waits().size(), 1u);
    EXPECT_EQ(Waits()[0].name, "fritz");
    EXPECT_EQ(Waits()[0].failures, 5);
    EXPECT_EQ(Waits()[0].seconds, 1);
    EXPECT_EQ(m_facade.GetLoginFailureCount("fritz"), 0);  // not open
    EXPECT_EQ(FailureCounts(), std::vector<std::string>{"6"});

    EXPECT_EQ(TryLogin("fritz", "right"), 1);
    ASSERT_EQ(Waits().size(), 2u);
    EXPECT_EQ(Waits()[1].seconds, 2);
    EXPECT_TRUE(FailureCounts().empty());
    const auto last = factest::Column(m_connect, "SELECT COUNT(*) FROM LoginFailures");
    EXPECT_EQ(last, std::vector<std::string>{"0"});
}

TEST_P(Credentials, TriesWithTheEmptyPasswordAreNotCounted)
{
    AddUser("hans", "pw");
    // A name without password: the quiet try, then the dialog (cancelled).
    EXPECT_EQ(TryLogin("hans", ""), 0);
    m_host.Reset();
    EXPECT_TRUE(FailureCounts().empty());
    EXPECT_EQ(TryLogin("hans", "bad"), 0);
    EXPECT_EQ(FailureCounts(), std::vector<std::string>{"1"});
}

TEST_P(Credentials, UnknownNamesAreCountedAndWaitAlike)
{
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(TryLogin("nobody", "guess"), 0);
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_EQ(m_facade.GetLoginFailureCount("nobody"), 5);
    EXPECT_EQ(m_facade.GetLoginFailureCount("somebody"), 0);
    m_facade.CloseDatabase();
    EXPECT_EQ(TryLogin("nobody", "guess"), 0);
    ASSERT_EQ(Waits().size(), 1u);
    EXPECT_EQ(Waits()[0].seconds, 1);
    // Counted under the name's stored form, never the plain name.
    const auto names = factest::Column(m_connect, "SELECT UserName FROM LoginFailures");
    EXPECT_EQ(names, std::vector<std::string>{Obvra_encode("nobody").Str()});
}

TEST_P(Credentials, DatabasesWithoutTheCountStillLogInAndGainItAtTheCurrentVersion)
{
    AddUser("gina", "pw");
    factest::Exec(m_connect, {"DROP TABLE LoginFailures"});
    EXPECT_EQ(TryLogin("gina", "bad"), 0);
    EXPECT_EQ(TryLogin("gina", "pw"), 1);
    // The open at 1.9 added the table again; the version stays.
    EXPECT_TRUE(FailureCounts().empty());
    EXPECT_EQ(factest::Version(m_connect), "1.9");
    EXPECT_EQ(factest::ColumnNames(m_connect, "LoginFailures"),
              (std::vector<std::string>{"UserName", "Failures", "LastFailure"}));
}

TEST_P(Credentials, UpgradeOfAnOlderDatabaseAddsTheCount)
{
    NewDatabase();
    CreateDatabase(7);
    factest::Exec(m_connect, {"DROP TABLE LoginFailures"});
    m_host.QueueMessageAnswer(IDOK);
    ASSERT_EQ(OpenPlain(), 1);
    m_facade.CloseDatabase();
    EXPECT_EQ(factest::Version(m_connect), "1.9");
    EXPECT_EQ(factest::Column(m_connect, "SELECT COUNT(*) FROM LoginFailures"), std::vector<std::string>{"0"});
}

ZEN_FACADE_ENGINES(Credentials);

} // namespace
