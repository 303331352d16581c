// One sample, one identifier, over real files: the unique index of new and
// upgraded files, the duplicate groups that keep it out of older files, and
// several processes registering on one file at once through the library, and
// on one server database.

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

std::vector<std::string> IndexNames(const std::string& path)
{
    return Column(path, "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Samples' "
                        "AND name LIKE 'UX%' ORDER BY name");
}

using UniqueIdentifiers = CFacadeTest;

TEST_F(UniqueIdentifiers, NewFilesRefuseASecondSampleWithAnIdentifierButNotEmptyOnes)
{
    CreateDatabase(9);
    EXPECT_EQ(IndexNames(m_path), std::vector<std::string>{"UX_Samples_UserSampleID"});
    Exec(m_path, {InsertId("S-1"), InsertId(""), InsertId(""), "INSERT INTO Samples (WorkOrder) VALUES ('w')"});
    for (const char* id : {"S-1", "s-1"})
        EXPECT_THROW(Exec(m_path, {InsertId(id)}), CDBException) << id;
    EXPECT_EQ(Column(m_path, "SELECT COUNT(*) FROM Samples"), std::vector<std::string>{"4"});

    // Files made at an older version are made as the software of their day
    // made them.
    const std::string old = m_dir.File("old.mdb");
    ASSERT_TRUE(ZenCreateDatabaseFile(old.c_str(), 1, 8));
    EXPECT_TRUE(IndexNames(old).empty());
}

// Upgrading adds the index to a file without duplicates, at every version.
TEST_F(UniqueIdentifiers, OpeningAFileWithoutDuplicatesAddsTheIndex)
{
    for (const int minor : {6, 9}) {
        SCOPED_TRACE(minor);
        std::filesystem::remove(m_path);
        CreateDatabase(minor);
        if (minor == 9)
            Exec(m_path, {"DROP INDEX UX_Samples_UserSampleID"});
        Exec(m_path, {InsertId("A-1"), InsertId("A-2"), InsertId(""), InsertId("")});
        ASSERT_TRUE(IndexNames(m_path).empty());

        ASSERT_EQ(OpenPlain(), 1);
        EXPECT_TRUE(m_facade.HasUniqueSampleIDIndex());
        std::vector<CDuplicateSampleID> groups;
        EXPECT_TRUE(m_facade.FindDuplicateSampleIDs(groups));
        EXPECT_TRUE(groups.empty());
        m_facade.CloseDatabase();
        EXPECT_EQ(factest::Version(m_path), "1.9");
        EXPECT_EQ(IndexNames(m_path), std::vector<std::string>{"UX_Samples_UserSampleID"});
        EXPECT_THROW(Exec(m_path, {InsertId("a-2")}), CDBException);
    }
}

// A file with duplicates opens and upgrades without the index; the groups are
// listed with their keys; once renamed, the next opening adds the index.
TEST_F(UniqueIdentifiers, DuplicatesKeepTheIndexOutUntilTheyAreRenamed)
{
    CreateDatabase(6);
    Exec(m_path, {InsertId("D-1"), InsertId("X"), InsertId("d-1"), InsertId(""), InsertId(""), InsertId("E-2"),
                  InsertId("E-2"), InsertId("D-1 "), InsertId("e-2"), InsertId("\xC3\x84-1"),
                  InsertId("\xC3\xA4-1")});
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_EQ(factest::Version(m_path), "1.9");
    EXPECT_FALSE(m_facade.HasUniqueSampleIDIndex());

    std::vector<CDuplicateSampleID> groups;
    ASSERT_TRUE(m_facade.FindDuplicateSampleIDs(groups));
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].UserSampleID, "D-1");
    EXPECT_EQ(groups[0].SampleIDs, (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(groups[1].UserSampleID, "E-2");
    EXPECT_EQ(groups[1].SampleIDs, (std::vector<int32_t>{6, 7, 9}));

    // The groups are appended to what the list holds.
    ASSERT_TRUE(m_facade.FindDuplicateSampleIDs(groups));
    EXPECT_EQ(groups.size(), 4u);

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
    Exec(m_path, {"UPDATE Samples SET UserSampleID = 'D-2' WHERE SampleID = 3"});
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_FALSE(m_facade.HasUniqueSampleIDIndex());
    groups.clear();
    ASSERT_TRUE(m_facade.FindDuplicateSampleIDs(groups));
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].UserSampleID, "E-2");
    m_facade.CloseDatabase();

    Exec(m_path, {"UPDATE Samples SET UserSampleID = 'E-3' WHERE SampleID = 7",
                  "UPDATE Samples SET UserSampleID = 'E-4' WHERE SampleID = 9"});
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_TRUE(m_facade.HasUniqueSampleIDIndex());
    m_facade.CloseDatabase();
    EXPECT_TRUE(MessageTexts().size() == 1u) << "only the note of the upgrade to 1.9";
}

// A second writer that holds the lock for a moment delays a registration but
// does not fail it.
TEST_F(UniqueIdentifiers, RegistrationWaitsForAnotherWriterAndSucceeds)
{
    CreateDatabase(9);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0) << std::strerror(errno);
    if (child == 0) {
        int status = 1;
        try {
            CDatabase other;
            other.OpenEx(CString("DBQ=") + m_path.c_str() + ";", CDatabase::noOdbcDialog);
            other.BeginTrans();
            other.ExecuteSQL(InsertId("W-1").c_str());
            const char byte = 1;
            if (write(ready[1], &byte, 1) == 1) {
                usleep(300 * 1000);
                other.CommitTrans();
                status = 0;
            }
        } catch (...) {
        }
        _exit(status);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the other writer holds the lock";
    close(ready[0]);

    CDatabase db;
    db.OpenEx(CString("DBQ=") + m_path.c_str() + ";", CDatabase::noOdbcDialog);
    CZENDB_Sample sample(&db, "W-2");
    ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
    EXPECT_TRUE(sample.Save(outcome));
    EXPECT_EQ(outcome, ESampleSaveOutcome::Saved);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Column(m_path, "SELECT UserSampleID FROM Samples ORDER BY SampleID"),
              (std::vector<std::string>{"W-1", "W-2"}));
    EXPECT_TRUE(MessageTexts().empty());
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
TEST_F(UniqueIdentifiers, FourStationsRegisteringAtOnceNeverShareAnIdentifier)
{
    // Every registration commits on its own and waits for the disk; in a
    // memory-backed folder (when there is one) the test spends its time on
    // the locking it is about, not on flushing.
    std::optional<zentest::CTempDir> memoryDir;
    if (access("/dev/shm", W_OK) == 0) {
        const factest::CEnvGuard root("ZEN_TEST_TMP", "/dev/shm");
        memoryDir.emplace();
        m_path = memoryDir->File("ZEN.mdb");
    }
    CreateDatabase(9);
    const std::multiset<std::string> registered =
        RegisterFromFourStations(CString("DBQ=") + m_path.c_str() + ";", m_dir);
    EXPECT_EQ(registered.size(), size_t{kStations * kEach});
    const std::vector<std::string> stored = Column(m_path, "SELECT UserSampleID FROM Samples ORDER BY UserSampleID");
    EXPECT_EQ(stored, std::vector<std::string>(registered.begin(), registered.end())) << "no lost registration";
    EXPECT_EQ(std::set<std::string>(stored.begin(), stored.end()).size(), stored.size());
    EXPECT_EQ(Column(m_path, "SELECT COUNT(DISTINCT UserSampleID COLLATE NOCASE) FROM Samples"),
              std::vector<std::string>{std::to_string(kStations * kEach)});
    EXPECT_EQ(Column(m_path, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
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

} // namespace
