// One sample, one identifier, on both engines: the unique index of new and
// upgraded databases, the duplicate groups that keep it out of older ones, a
// registration beside another writer, and several processes registering at
// once through the library on one file and on one server database.

#include "EngineTestSupport.h"
#include "FacadeTestSupport.h"

#include "companions/StringUtilities.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/CTime.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using factest::CFacadeTest;
using factest::Column;
using factest::Exec;

std::string InsertId(const std::string& id)
{
    return "INSERT INTO Samples (UserSampleID) VALUES ('" + id + "')";
}

// The unique index of the identifiers, when the database has it.
std::vector<std::string> IndexNames(const std::string& connect)
{
    CDatabase db;
    db.OpenEx(connect.c_str(), CDatabase::noOdbcDialog);
    if (db.HasIndex("UX_Samples_UserSampleID"))
        return {"UX_Samples_UserSampleID"};
    return {};
}

// Each group as "identifier: key key ...".
std::vector<std::string> GroupTexts(const std::vector<CDuplicateSampleID>& groups)
{
    std::vector<std::string> texts;
    for (const CDuplicateSampleID& group : groups) {
        std::string text = group.UserSampleID.Str() + ":";
        for (const int32_t key : group.SampleIDs)
            text += " " + std::to_string(key);
        texts.push_back(text);
    }
    return texts;
}

using UniqueIdentifiers = CFacadeTest;
using UniqueIdentifiers_FileOnly = factest::CFacadeFileTest;

TEST_P(UniqueIdentifiers, NewDatabasesRefuseASecondSampleWithAnIdentifierButNotEmptyOnes)
{
    CreateDatabase(9);
    EXPECT_EQ(IndexNames(m_connect), std::vector<std::string>{"UX_Samples_UserSampleID"});
    Exec(m_connect, {InsertId("S-1"), InsertId(""), InsertId(""), "INSERT INTO Samples (WorkOrder) VALUES ('w')"});
    for (const char* id : {"S-1", "s-1"})
        EXPECT_THROW(Exec(m_connect, {InsertId(id)}), CDBException) << id;
    EXPECT_EQ(Column(m_connect, "SELECT COUNT(*) FROM Samples"), std::vector<std::string>{"4"});

    // Databases made at an older version are made as the software of their day
    // made them.
    EXPECT_TRUE(IndexNames(OtherDatabase(8)).empty());
}

// Upgrading adds the index to a database without duplicates, at every version.
TEST_P(UniqueIdentifiers, OpeningADatabaseWithoutDuplicatesAddsTheIndex)
{
    for (const int minor : {6, 9}) {
        SCOPED_TRACE(minor);
        NewDatabase();
        CreateDatabase(minor);
        if (minor == 9)
            Exec(m_connect, {"DROP INDEX UX_Samples_UserSampleID"});
        Exec(m_connect, {InsertId("A-1"), InsertId("A-2"), InsertId(""), InsertId("")});
        ASSERT_TRUE(IndexNames(m_connect).empty());

        ASSERT_EQ(OpenPlain(), 1);
        EXPECT_TRUE(m_facade.HasUniqueSampleIDIndex());
        std::vector<CDuplicateSampleID> groups;
        EXPECT_TRUE(m_facade.FindDuplicateSampleIDs(groups));
        EXPECT_TRUE(groups.empty());
        m_facade.CloseDatabase();
        EXPECT_EQ(factest::Version(m_connect), "1.9");
        EXPECT_EQ(IndexNames(m_connect), std::vector<std::string>{"UX_Samples_UserSampleID"});
        EXPECT_THROW(Exec(m_connect, {InsertId("a-2")}), CDBException);
    }
}

// A database with duplicates opens and upgrades without the index; the groups are
// listed with their keys; once renamed, the next opening adds the index.
TEST_P(UniqueIdentifiers, DuplicatesKeepTheIndexOutUntilTheyAreRenamed)
{
    CreateDatabase(6);
    Exec(m_connect, {InsertId("D-1"), InsertId("X"), InsertId("d-1"), InsertId(""), InsertId(""), InsertId("E-2"),
                    InsertId("E-2"), InsertId("D-1 "), InsertId("e-2"), InsertId("\xC3\x84-1"),
                    InsertId("\xC3\xA4-1")});
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_EQ(factest::Version(m_connect), "1.9");
    EXPECT_FALSE(m_facade.HasUniqueSampleIDIndex());

    // "Ä-1" and "ä-1" are one identifier where letter case beyond ASCII is
    // ignored too (the server), two on a file.
    std::vector<std::string> expected = {"D-1: 1 3", "E-2: 6 7 9"};
    if (m_quirks.caseBlindBeyondAscii)
        expected.insert(m_quirks.linguisticOrder ? expected.begin() : expected.end(), "\xC3\x84-1: 10 11");
    std::vector<CDuplicateSampleID> groups;
    ASSERT_TRUE(m_facade.FindDuplicateSampleIDs(groups));
    EXPECT_EQ(GroupTexts(groups), expected);
    // The groups are appended to what the list holds.
    ASSERT_TRUE(m_facade.FindDuplicateSampleIDs(groups));
    EXPECT_EQ(groups.size(), 2 * expected.size());

    // The station keeps working on the file: a new sample, an edit of a
    // duplicate, a refused new duplicate.
    CZENDB_Sample fresh(&m_facade, "F-1");
    EXPECT_TRUE(fresh.Save());
    CZENDB_Sample shared(&m_facade);
    ASSERT_TRUE(shared.Load(int32_t{7}));
    shared.WorkOrder = "W-7";
    EXPECT_TRUE(shared.Save());
    ESampleSaveOutcome outcome = ESampleSaveOutcome::Saved;
    CZENDB_Sample another(&m_facade, "e-2");
    EXPECT_FALSE(another.Save(outcome));
    EXPECT_EQ(outcome, ESampleSaveOutcome::IdentifierTaken);
    m_facade.CloseDatabase();

    // Reopening does not add it while one group is left.
    Exec(m_connect, {"UPDATE Samples SET UserSampleID = 'D-2' WHERE SampleID = 3",
                     "UPDATE Samples SET UserSampleID = '\xC3\x84-2' WHERE SampleID = 11"});
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_FALSE(m_facade.HasUniqueSampleIDIndex());
    groups.clear();
    ASSERT_TRUE(m_facade.FindDuplicateSampleIDs(groups));
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].UserSampleID, "E-2");
    m_facade.CloseDatabase();

    Exec(m_connect, {"UPDATE Samples SET UserSampleID = 'E-3' WHERE SampleID = 7",
                    "UPDATE Samples SET UserSampleID = 'E-4' WHERE SampleID = 9"});
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_TRUE(m_facade.HasUniqueSampleIDIndex());
    m_facade.CloseDatabase();
    EXPECT_TRUE(MessageTexts().size() == 1u) << "only the note of the upgrade to 1.9";
}

// A second writer in the middle of registering "W-1" delays a registration
// but does not break it: when the other one commits, a different identifier
// is saved and the same one (in any letter case) is a clean "taken"; when it
// rolls back, the identifier is free. On a file the wait is for the write
// lock, on the server for the other transaction's entry in the unique index.
TEST_P(UniqueIdentifiers, RegistrationBesideAnotherWriterWaitsForItsOutcome)
{
    const struct {
        bool otherCommits;
        const char* id;
        ESampleSaveOutcome outcome;
        std::vector<std::string> stored;
    } cases[] = {
        {true, "W-2", ESampleSaveOutcome::Saved, {"W-1", "W-2"}},
        {true, "w-1", ESampleSaveOutcome::IdentifierTaken, {"W-1"}},
        {false, "w-1", ESampleSaveOutcome::Saved, {"w-1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.id) + (c.otherCommits ? " beside a commit" : " beside a rollback"));
        NewDatabase();
        CreateDatabase(9);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0) << std::strerror(errno);
        if (child == 0) {
            int status = 1;
            try {
                CDatabase other;
                other.OpenEx(m_connect.c_str(), CDatabase::noOdbcDialog);
                other.BeginTrans();
                other.ExecuteSQL(InsertId("W-1").c_str());
                const char byte = 1;
                if (write(ready[1], &byte, 1) == 1) {
                    // Whether the registration below starts before or after
                    // the end of this transaction, its outcome is the same.
                    usleep(300 * 1000);
                    if (c.otherCommits)
                        other.CommitTrans();
                    else
                        other.Rollback();
                    status = 0;
                }
            } catch (...) {
            }
            _exit(status);
        }
        close(ready[1]);
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the other writer is at work";
        close(ready[0]);

        {
            CDatabase db;
            db.OpenEx(m_connect.c_str(), CDatabase::noOdbcDialog);
            CZENDB_Sample sample(&db, c.id);
            ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
            EXPECT_EQ(sample.Save(outcome) != FALSE, c.outcome == ESampleSaveOutcome::Saved);
            EXPECT_EQ(outcome, c.outcome);
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(Column(m_connect, "SELECT UserSampleID FROM Samples ORDER BY SampleID"), c.stored);
    }
}

// One registering station in a child process, on the database connect names:
// proposes the next identifier
// as the registration dialog does (the latest one increased, moved past every
// one taken), saves, and on "taken" moves on to the next free one. Writes the
// identifiers it stored, one a line, to resultPath. Exit status: 0 done,
// 2 a save failed otherwise than "taken", 3 a message was shown, 4 an error
// escaped.
int RegisterAsOneStation(const CString& connect, int count, const std::string& resultPath)
{
    try {
        CScriptedUIHost host;
        CUIHostScope scope(&host);
        CZENDatabase db;
        db.OpenEx(connect, CDatabase::noOdbcDialog);
        std::ostringstream stored;
        int taken = 0;
        for (int i = 0; i < count; ++i) {
            CString id = db.GetNextUserSampleID();
            if (id.IsEmpty())
                id = "C-0001";
            for (;;) {
                int32_t key = -1;
                while (db.SampleExist(id, key))
                    id = IncLastNumberInString(id);
                CZENDB_Sample sample(&db, id);
                sample.RegistrationDate = CTime::GetCurrentTime();
                ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
                if (sample.Save(outcome)) {
                    stored << id.Str() << '\n';
                    break;
                }
                if (outcome != ESampleSaveOutcome::IdentifierTaken) {
                    std::ofstream(resultPath) << "failed: " << id.Str() << ": "
                                              << (host.GetMessages().empty() ? std::string()
                                                                             : host.GetMessages().front().text.Str())
                                              << '\n';
                    return 2;
                }
                ++taken;
                id = IncLastNumberInString(id);
            }
        }
        if (!host.GetMessages().empty()) {
            std::ofstream(resultPath) << "message: " << host.GetMessages().front().text.Str() << '\n';
            return 3;
        }
        std::ofstream(resultPath) << stored.str();
        return 0;
    } catch (...) {
        return 4;
    }
}

constexpr int kStations = 4;
constexpr int kEach = 250;

// Runs kStations registering stations at once, each a process of its own with
// its own connection to connect, kEach registrations each; the identifiers
// they say they stored (empty after a failed station).
std::multiset<std::string> RegisterFromFourStations(const CString& connect, zentest::CTempDir& dir)
{
    std::vector<pid_t> children;
    std::vector<std::string> results;
    for (int n = 0; n < kStations; ++n) {
        results.push_back(dir.File("station" + std::to_string(n) + ".txt"));
        const pid_t child = fork();
        if (child < 0) {
            ADD_FAILURE() << std::strerror(errno);
            break;
        }
        if (child == 0)
            _exit(RegisterAsOneStation(connect, kEach, results.back()));
        children.push_back(child);
    }
    bool failed = children.size() != static_cast<size_t>(kStations);
    for (size_t n = 0; n < children.size(); ++n) {
        int status = -1;
        EXPECT_EQ(waitpid(children[n], &status, 0), children[n]);
        const bool done = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        EXPECT_TRUE(done) << "station " << n << " status " << status << ": " << zentest::ReadFileText(results[n]);
        failed = failed || !done;
    }
    std::multiset<std::string> registered;
    if (failed)
        return registered;
    for (const std::string& result : results) {
        std::istringstream lines(zentest::ReadFileText(result));
        for (std::string line; std::getline(lines, line);)
            registered.insert(line);
    }
    return registered;
}

// Four processes register 250 samples each on one file at once: 1000 rows,
// no identifier twice (also compared without letter case), none lost, the
// file intact, and every refusal a clean "taken".
TEST_F(UniqueIdentifiers_FileOnly, FourStationsRegisteringAtOnceNeverShareAnIdentifier)
{
    // Every registration commits on its own and waits for the disk; in a
    // memory-backed folder (when there is one) the test spends its time on
    // the locking it is about, not on flushing.
    std::optional<zentest::CTempDir> memoryDir;
    if (access("/dev/shm", W_OK) == 0) {
        const factest::CEnvGuard root("ZEN_TEST_TMP", "/dev/shm");
        memoryDir.emplace();
        m_path = memoryDir->File("ZEN.mdb");
        m_connect = factest::FileConnect(m_path);
    }
    CreateDatabase(9);
    const std::multiset<std::string> registered =
        RegisterFromFourStations(CString(m_connect.c_str()), m_dir);
    EXPECT_EQ(registered.size(), size_t{kStations * kEach});
    const std::vector<std::string> stored = Column(m_connect, "SELECT UserSampleID FROM Samples ORDER BY UserSampleID");
    EXPECT_EQ(stored, std::vector<std::string>(registered.begin(), registered.end())) << "no lost registration";
    EXPECT_EQ(std::set<std::string>(stored.begin(), stored.end()).size(), stored.size());
    EXPECT_EQ(Column(m_connect, "SELECT COUNT(DISTINCT UserSampleID COLLATE NOCASE) FROM Samples"),
              std::vector<std::string>{std::to_string(kStations * kEach)});
    EXPECT_EQ(Column(m_connect, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
}

// The same four stations on one server database, each process with its own
// connection: the same 1000 identifiers, none twice, none lost.
TEST(UniqueIdentifiersOnTheServer, FourStationsRegisteringAtOnceNeverShareAnIdentifier)
{
    ZEN_REQUIRE_ENGINE(zentest::ETestEngine::PostgreSql);
    zentest::CTestDatabase database(zentest::ETestEngine::PostgreSql);
    CString error;
    ASSERT_TRUE(ZenCreateDatabaseSchema(database.ConnectString(), 1, 9, &error)) << error.Str();
    zentest::CTempDir dir;
    const std::multiset<std::string> registered = RegisterFromFourStations(database.ConnectString(), dir);
    EXPECT_EQ(registered.size(), size_t{kStations * kEach});

    CDatabase db;
    db.OpenEx(database.ConnectString(), CDatabase::noOdbcDialog);
    std::vector<std::string> stored;
    CRecordset rs(&db);
    rs.Open(CRecordset::forwardOnly, "SELECT UserSampleID FROM Samples ORDER BY UserSampleID", CRecordset::readOnly);
    for (; !rs.IsEOF(); rs.MoveNext()) {
        CString id;
        rs.GetFieldValue("UserSampleID", id);
        stored.push_back(id.Str());
    }
    rs.Close();
    std::sort(stored.begin(), stored.end()); // the server's collation orders otherwise
    EXPECT_EQ(stored, std::vector<std::string>(registered.begin(), registered.end())) << "no lost registration";
    EXPECT_EQ(std::set<std::string>(stored.begin(), stored.end()).size(), size_t{kStations * kEach});
    CRecordset distinct(&db);
    distinct.Open(CRecordset::forwardOnly, "SELECT COUNT(DISTINCT lower(UserSampleID)) AS n FROM Samples",
                  CRecordset::readOnly);
    CString n;
    distinct.GetFieldValue("n", n);
    EXPECT_EQ(n, CString(std::to_string(kStations * kEach).c_str()));
}

ZEN_FACADE_ENGINES(UniqueIdentifiers);

} // namespace
