// zendb processes registering on one file at once: overlapping batches and
// registrations without identifier never store an identifier twice; a
// writer holding the file makes a registration fail cleanly; upgrade lists
// the shared identifiers that keep the unique index out of an older file.
#include "ToolTestSupport.h"

#include "database/StationCopy.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <cstdio>
#include <set>
#include <thread>

namespace zentest {
namespace {

class ToolUniqueIds : public CEngineTool<CToolFixture> {};
// The cases about files: another connection's lock on the file, and older
// files upgraded and checked beside their backup copies.
using ToolUniqueIdsFile = CToolFixture;

// The first column of every row of a query on the file, as text.
std::vector<std::string> Column(const std::string& path, const char* sql)
{
    CDatabase db;
    db.OpenEx(ZenConnectStringForLocation(path.c_str()), CDatabase::noOdbcDialog);
    CRecordset rs(&db);
    rs.Open(CRecordset::snapshot, sql, CRecordset::readOnly);
    // Read as text by the column's name: a count is a 64-bit number on one
    // engine and a 32-bit one on the other.
    CODBCFieldInfo info;
    rs.GetODBCFieldInfo(static_cast<short>(0), info);
    std::vector<std::string> values;
    while (!rs.IsEOF()) {
        CString value;
        rs.GetFieldValue(info.m_strName.GetString(), value);
        values.push_back(value.Str());
        rs.MoveNext();
    }
    return values;
}

// Runs each argument list as its own zendb process, all at once.
std::vector<CRun> RunTogether(const std::string& db, const std::vector<std::vector<std::string>>& commands,
                              const std::string& config = "")
{
    std::vector<CRun> runs(commands.size());
    std::vector<std::thread> threads;
    std::map<std::string, std::optional<std::string>> env;
    if (!config.empty())
        env["ZEN_CONFIG"] = config;
    for (size_t i = 0; i < commands.size(); ++i) {
        threads.emplace_back([&, i] {
            std::vector<std::string> args = {"--db", db, "--format", "json"};
            args.insert(args.end(), commands[i].begin(), commands[i].end());
            runs[i] = RunZendb(args, env);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return runs;
}

// Overlapping batches with --skip-existing, two processes at a time, cover
// K-0001 .. K-1000: each stores its free identifiers, together every one
// exactly once. (A batch holds the write lock while it runs, which on a
// loaded machine under the sanitizers can outlast the default wait of 5 s;
// the configured wait of 10 minutes keeps the test about overlap, not about
// the timeout.) Two batches without it over one range: one stores all, the
// other nothing.
TEST_P(ToolUniqueIds, OverlappingBatchesStoreEveryIdentifierOnce)
{
    const std::string config = m_dir.File("ZEN.ini");
    WriteFileText(config, "[Database]\nBusyTimeout=600\n");
    size_t reported = 0;
    for (int round = 0; round < 4; ++round) {
        char first[16];
        char second[16];
        std::snprintf(first, sizeof first, "K-%04d", 250 * round + 1);
        std::snprintf(second, sizeof second, "%s-%04d", round % 2 == 0 ? "K" : "k", 250 * round + 101);
        const auto runs = RunTogether(m_db, {{"samples", "register", first, "--count", "150", "--skip-existing"},
                                             {"samples", "register", second, "--count", "150", "--skip-existing"}},
                                       config);
        for (const CRun& run : runs) {
            ASSERT_EQ(run.status, 0) << run.err;
            reported += nlohmann::json::parse(run.out).size();
        }
    }
    EXPECT_EQ(reported, 1000u);
    const auto stored = Column(m_db, "SELECT UserSampleID FROM Samples");
    EXPECT_EQ(stored.size(), 1000u);
    std::set<std::string> folded;
    for (std::string id : stored) {
        for (char& c : id)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        folded.insert(id);
    }
    EXPECT_EQ(folded.size(), 1000u) << "no identifier twice, also without regard to letter case";
    EXPECT_EQ(*folded.begin(), "K-0001");
    EXPECT_EQ(*folded.rbegin(), "K-1000");

    const auto clash = RunTogether(m_db,
                                   {{"samples", "register", "M-001", "--count", "50"},
                                    {"samples", "register", "m-026", "--count", "50"}},
                                   config);
    const int succeeded = (clash[0].status == 0) + (clash[1].status == 0);
    EXPECT_EQ(succeeded, 1);
    for (const CRun& run : clash) {
        if (run.status == 0)
            continue;
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.rfind("zendb: already registered: ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find("UNIQUE"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Column(m_db, "SELECT COUNT(*) FROM Samples WHERE UserSampleID LIKE 'M-%'"),
              std::vector<std::string>{"50"});
    const CRun check = Zendb({"check"});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

// Registrations without identifier in three processes at once, ten each:
// thirty samples, thirty identifiers.
TEST_P(ToolUniqueIds, RegistrationsWithoutIdentifierNeverReceiveTheSameOne)
{
    Ok({"samples", "register", "N-0001"});
    std::vector<std::vector<CRun>> runs(3);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < runs.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i)
                runs[t].push_back(RunZendb({"--db", m_db, "samples", "register", "WorkOrder=W"}));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::string> lines;
    for (const auto& list : runs) {
        for (const CRun& run : list) {
            EXPECT_EQ(run.status, 0) << run.err;
            lines.insert(run.out);
        }
    }
    EXPECT_EQ(lines.size(), 30u);
    EXPECT_EQ(Column(m_db, "SELECT COUNT(DISTINCT UserSampleID) FROM Samples"), std::vector<std::string>{"31"});
    EXPECT_EQ(Column(m_db, "SELECT MAX(UserSampleID) FROM Samples"), std::vector<std::string>{"N-0031"});
}

// A writer that keeps the file locked beyond the busy timeout: the
// registration fails with the busy message naming the configured wait and
// stores nothing.
TEST_F(ToolUniqueIdsFile, RegistrationThatCannotGetTheLockFailsAndStoresNothing_FileOnly)
{
    const std::string config = m_dir.File("ZEN.ini");
    WriteFileText(config, "[Database]\nBusyTimeout=1\n");
    CDatabase other;
    other.OpenEx(CString("DBQ=") + m_db.c_str() + ";", CDatabase::noOdbcDialog);
    other.BeginTrans();
    const CRun run = Zendb({"samples", "register", "L-1", "--count", "3"}, {{"ZEN_CONFIG", config}});
    other.Rollback();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("database is locked"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("for longer than the wait of 1000 ms"), std::string::npos) << run.err;
    EXPECT_EQ(Column(m_db, "SELECT COUNT(*) FROM Samples"), std::vector<std::string>{"0"});
}

// An older file with shared identifiers upgrades without the index and
// names them with their keys; renamed by key, the next upgrade adds it.
TEST_F(ToolUniqueIdsFile, UpgradeListsSharedIdentifiersUntilTheyAreRenamed_FileOnly)
{
    const std::string old = m_dir.File("old.mdb");
    Ok({"init", old, "--schema-version", "1.8"});
    {
        CDatabase db;
        db.OpenEx(CString("DBQ=") + old.c_str() + ";", CDatabase::noOdbcDialog);
        for (const char* id : {"D-1", "X", "d-1", "", "", "E-2", "E-2"})
            db.ExecuteSQL((std::string("INSERT INTO Samples (UserSampleID) VALUES ('") + id + "')").c_str());
    }
    const CRun first = RunZendb({"--db", old, "upgrade"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, old + ": kept a copy of schema 1.8 in " + old + ".v1.8.bak\n" + old +
                             ": upgraded schema 1.8 -> 1.9\n" + old +
                             ": sample identifiers cannot be made unique yet: 2 identifier(s) are shared by several "
                             "samples; rename all but one of each, then upgrade again:\n"
                             "  D-1: samples #1, #3\n"
                             "  E-2: samples #6, #7\n");

    RunZendb({"--db", old, "samples", "set", "--key", "3", "UserSampleID=D-2"});
    const auto json = nlohmann::json::parse(RunZendb({"--db", old, "--format", "json", "upgrade"}).out);
    EXPECT_FALSE(json["UniqueSampleIDs"].get<bool>());
    EXPECT_EQ(json["DuplicateSampleIDs"],
              nlohmann::json::parse(R"([{"UserSampleID": "E-2", "SampleIDs": [6, 7]}])"));

    const CRun rename = RunZendb({"--db", old, "samples", "set", "--key", "7", "UserSampleID=e-2"});
    EXPECT_EQ(rename.status, 1) << "renaming onto a shared identifier is refused";
    EXPECT_EQ(RunZendb({"--db", old, "samples", "set", "--key", "7", "UserSampleID=E-3"}).status, 0);
    EXPECT_EQ(RunZendb({"--db", old, "upgrade"}).out, old + ": sample identifiers are unique from now on\n");
    EXPECT_EQ(RunZendb({"--db", old, "upgrade"}).out, old + ": schema 1.9, nothing to upgrade\n");
}

// check reads the file as it stands (an old file stays old), lists each
// shared identifier with its keys and exits 1 until they are renamed; backup
// writes a copy that checks clean and never replaces a file.
TEST_F(ToolUniqueIdsFile, CheckListsSharedIdentifiersAndBackupCopiesTheFile_FileOnly)
{
    const std::string old = m_dir.File("old.mdb");
    Ok({"init", old, "--schema-version", "1.8"});
    {
        CDatabase db;
        db.OpenEx(CString("DBQ=") + old.c_str() + ";", CDatabase::noOdbcDialog);
        for (const char* id : {"D-1", "X", "d-1", "", ""})
            db.ExecuteSQL((std::string("INSERT INTO Samples (UserSampleID) VALUES ('") + id + "')").c_str());
    }
    const CRun dirty = RunZendb({"--db", old, "check"});
    EXPECT_EQ(dirty.status, 1);
    EXPECT_EQ(dirty.out, old + ": The sample identifier 'D-1' is shared by the samples #1, #3.\n");
    EXPECT_NE(dirty.err.find("found 1 problem(s)"), std::string::npos) << dirty.err;
    EXPECT_EQ(Column(old, "SELECT MinorVersion FROM SystemTable"), std::vector<std::string>{"8"});

    const std::string copy = m_dir.File("copy.mdb");
    EXPECT_EQ(RunZendb({"--db", old, "backup", copy}).status, 0);
    EXPECT_EQ(Column(copy, "SELECT COUNT(*) FROM Samples"), std::vector<std::string>{"5"});
    const CRun again = RunZendb({"--db", old, "backup", copy});
    EXPECT_EQ(again.status, 1) << "an existing file is never replaced";

    // zendb changes no file older than 1.9: the rename goes in directly.
    {
        CDatabase db;
        db.OpenEx(CString("DBQ=") + old.c_str() + ";", CDatabase::noOdbcDialog);
        db.ExecuteSQL("UPDATE Samples SET UserSampleID = 'D-2' WHERE SampleID = 3");
    }
    const auto json = nlohmann::json::parse(RunZendb({"--db", old, "--format", "json", "check"}).out);
    EXPECT_TRUE(json["Ok"].get<bool>());
    EXPECT_FALSE(json["UniqueSampleIDs"].get<bool>()) << "the index comes with zendb upgrade";
    EXPECT_EQ(RunZendb({"--db", copy, "check"}).status, 1) << "the copy holds the file as it was";
}

ZEN_TOOL_ENGINES(ToolUniqueIds);

} // namespace
} // namespace zentest
