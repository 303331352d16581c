// Database operations of the sample record over a real database of each engine: save
// (insert, update, event-log trail), load by key and by identifier, delete in
// a transaction, the default pattern or routine, its profile runs and its
// registration data.

#include "OpsTestSupport.h"

#include "companions/EventLog.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "databaseobjects/CZENDB_SampleProfileRun.h"
#include "framework/Exceptions.h"
#include "framework/sql/Transaction.h"
#include "recordsets/CZENDB_SamplesRecordset.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using opstest::COpsTest;
using opstest::COwnedList;
using opstest::Elements;

// A sample with a distinct value in every stored field and a two-trace trace.
CZENDB_Sample MakeSample(CDatabase* db, const char* userSampleID)
{
    CZENDB_Sample sample(db, userSampleID);
    sample.WorkOrder = "WO-17";
    sample.PartNo = "P-4711";
    sample.Detail = "gear, tooth 3";
    sample.Material = "16MnCr5";
    sample.RegistrationDate = CTime(2014, 3, 5, 10, 20, 30);
    sample.DueDate = CTime(2014, 3, 7, 0, 0, 0);
    sample.RegisteredBy = "ana";
    sample.MeasuredBy = "luis";
    sample.Customer = "Talleres Ruiz";
    sample.MeasuredDate = CTime(2014, 3, 6, 8, 0, 5);
    sample.Signed = TRUE;
    sample.Signature = "LR";
    sample.CustomField1 = "first";
    sample.CustomField19 = "last";
    sample.Trace.AddPoint({1.0, 2.0});
    sample.Trace.AddPoint({3.5, -4.25});
    sample.Trace.AddTrace();
    sample.Trace.AddPoint({7.0, 8.0});
    return sample;
}

void ExpectSameStoredFields(const CZENDB_Sample& actual, const CZENDB_Sample& expected)
{
    EXPECT_EQ(actual.SampleID, expected.SampleID);
    EXPECT_EQ(actual.UserSampleID, expected.UserSampleID);
    EXPECT_EQ(actual.WorkOrder, expected.WorkOrder);
    EXPECT_EQ(actual.PartNo, expected.PartNo);
    EXPECT_EQ(actual.Detail, expected.Detail);
    EXPECT_EQ(actual.Material, expected.Material);
    EXPECT_EQ(actual.RegistrationDate.GetTime(), expected.RegistrationDate.GetTime());
    EXPECT_EQ(actual.DueDate.GetTime(), expected.DueDate.GetTime());
    EXPECT_EQ(actual.RegisteredBy, expected.RegisteredBy);
    EXPECT_EQ(actual.MeasuredBy, expected.MeasuredBy);
    EXPECT_EQ(actual.Customer, expected.Customer);
    EXPECT_EQ(actual.MeasuredDate.GetTime(), expected.MeasuredDate.GetTime());
    EXPECT_EQ(actual.Signed, expected.Signed);
    EXPECT_EQ(actual.Signature, expected.Signature);
    EXPECT_EQ(actual.CustomField1, expected.CustomField1);
    EXPECT_EQ(actual.CustomField19, expected.CustomField19);
    EXPECT_TRUE(actual.Trace == expected.Trace);
}

// Sends the event log to a file of its own for the lifetime of the object
// (through a station configuration named by ZEN_CONFIG), so that entries of
// test programs running at the same time do not mix with this test's.
class CPrivateEventLog {
public:
    explicit CPrivateEventLog(const zentest::CTempDir& dir)
        : m_log(dir.File("private.log")), m_config(dir.File("private.ini"))
    {
        zentest::WriteFileText(m_config, "[Log]\nFile=" + m_log + "\n");
        if (const char* previous = std::getenv("ZEN_CONFIG"))
            m_previous = previous;
        setenv("ZEN_CONFIG", m_config.c_str(), 1);
    }
    ~CPrivateEventLog()
    {
        if (m_previous)
            setenv("ZEN_CONFIG", m_previous->c_str(), 1);
        else
            unsetenv("ZEN_CONFIG");
    }
    CPrivateEventLog(const CPrivateEventLog&) = delete;
    CPrivateEventLog& operator=(const CPrivateEventLog&) = delete;

    const std::string& Path() const { return m_log; }

private:
    std::string m_log;
    std::string m_config;
    std::optional<std::string> m_previous;
};

// Messages of the event-log entries of CZENDB_Sample::Save written after
// `offset` bytes of the log file, each checked for level 4 and its module.
std::vector<std::string> SaveLogMessagesSince(const std::string& path, std::streamoff offset)
{
    std::ifstream in(path);
    in.seekg(offset);
    std::vector<std::string> messages;
    const std::string marker = " CZENDB_Sample::Save: ";
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find(marker);
        if (at == std::string::npos)
            continue;
        EXPECT_NE(line.find("[4 "), std::string::npos) << line;
        EXPECT_NE(line.find(" databaseobjects:"), std::string::npos) << line;
        messages.push_back(line.substr(at + marker.size()));
    }
    return messages;
}

// The statement by which Save reaches a sample's row.
std::string SaveSql(int32_t sampleID)
{
    CZENDB_SamplesRecordset rs;
    return std::string(rs.GetDefaultSQL().GetString()) + "  WHERE [Samples].[SampleID]=" +
           std::to_string(sampleID);
}

std::streamoff LogSize(const std::string& path)
{
    std::ifstream in(path, std::ios::ate);
    return in ? static_cast<std::streamoff>(in.tellg()) : 0;
}

class SampleOps : public COpsTest {};
// Cases that need what SQLite alone has: triggers in its dialect, the lock of
// a file.
class SampleOpsSqliteOnly : public SampleOps {};


TEST_P(SampleOps, SaveInsertsForEveryUnstoredKeyThenUpdatesTheSameRow)
{
    // A stale positive key (its row is gone) inserts as well.
    CZENDB_Sample gone = MakeSample(&m_db, "GONE");
    ASSERT_TRUE(gone.Save());
    const int32_t staleKey = gone.SampleID;
    ASSERT_TRUE(gone.Delete());

    int number = 0;
    for (const int32_t initialKey : {-1, 0, staleKey}) {
        SCOPED_TRACE(initialKey);
        // Each a new identifier: a second sample "S-1" would be refused.
        const std::string id = "S-" + std::to_string(++number);
        CZENDB_Sample sample = MakeSample(&m_db, id.c_str());
        sample.SampleID = initialKey;
        const int32_t before = Count("Samples");
        ASSERT_TRUE(sample.Save());
        EXPECT_GT(sample.SampleID, staleKey) << "the key the database assigned";
        EXPECT_EQ(Count("Samples"), before + 1);

        CZENDB_Sample stored(&m_db);
        ASSERT_TRUE(stored.Load(sample.SampleID));
        ExpectSameStoredFields(stored, sample);

        sample.WorkOrder = "WO-18";
        sample.Trace.AddPoint({9.0, 9.5});
        const int32_t key = sample.SampleID;
        ASSERT_TRUE(sample.Save());
        EXPECT_EQ(sample.SampleID, key);
        EXPECT_EQ(Count("Samples"), before + 1);
        ASSERT_TRUE(stored.Load(key));
        ExpectSameStoredFields(stored, sample);
    }
    EXPECT_TRUE(Messages().empty());
}

// A second sample with an identifier is refused, by the check in the save's
// transaction, whatever the ASCII letter case; nothing is written and the
// refusal is told apart from other failures.
TEST_P(SampleOps, SaveRefusesAnIdentifierTakenByAnotherSampleAndWritesNothing)
{
    CZENDB_Sample first = MakeSample(&m_db, "T-1");
    ASSERT_TRUE(first.Save());

    struct {
        const char* id;
        ESampleSaveOutcome outcome;
    } const cases[] = {
        {"T-1", ESampleSaveOutcome::IdentifierTaken},
        {"t-1", ESampleSaveOutcome::IdentifierTaken},
        {"T-1 ", ESampleSaveOutcome::Saved},             // a trailing blank makes another identifier
        {"\xC3\x84-1", ESampleSaveOutcome::Saved},     // letters beyond ASCII compare exactly on SQLite:
        {"\xC3\xA4-1", Quirks().caseBlindBeyondAscii  // upper and lower A-umlaut are two identifiers,
                            ? ESampleSaveOutcome::IdentifierTaken   // one on the server
                            : ESampleSaveOutcome::Saved},
        {"\xC3\xA4-1", ESampleSaveOutcome::IdentifierTaken},
        {"", ESampleSaveOutcome::Saved},                 // any number of samples may have none
        {"", ESampleSaveOutcome::Saved},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const int32_t before = Count("Samples");
        CZENDB_Sample sample(&m_db, c.id);
        ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
        const bool saved = sample.Save(outcome);
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(saved, c.outcome == ESampleSaveOutcome::Saved);
        EXPECT_EQ(Count("Samples"), before + (saved ? 1 : 0));
        if (!saved) {
            EXPECT_EQ(sample.SampleID, -1);
        }
    }
    EXPECT_TRUE(Messages().empty()) << "the outcome form shows no taken message";

    // The plain form says so in a message box naming the identifier.
    CZENDB_Sample again(&m_db, "t-1");
    EXPECT_FALSE(again.Save());
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "The sample identifier 't-1' is taken by another sample; the sample was not saved."});
    EXPECT_EQ(Count("Samples", "WHERE UserSampleID = 'T-1' COLLATE NOCASE"), 1);
}

// An update is checked only when it renames the sample: renaming onto another
// sample's identifier is refused with the row unchanged; a change of letter
// case of its own identifier and every other change are stored.
TEST_P(SampleOps, SaveRefusesARenameOntoAnotherSamplesIdentifier)
{
    CZENDB_Sample a(&m_db, "R-1");
    CZENDB_Sample b(&m_db, "R-2");
    ASSERT_TRUE(a.Save());
    ASSERT_TRUE(b.Save());

    b.UserSampleID = "r-1";
    b.WorkOrder = "changed";
    ESampleSaveOutcome outcome = ESampleSaveOutcome::Saved;
    EXPECT_FALSE(b.Save(outcome));
    EXPECT_EQ(outcome, ESampleSaveOutcome::IdentifierTaken);
    CZENDB_Sample stored(&m_db);
    ASSERT_TRUE(stored.Load(b.SampleID));
    EXPECT_EQ(stored.UserSampleID, "R-2");
    EXPECT_EQ(stored.WorkOrder, "");

    b.UserSampleID = "r-2";
    EXPECT_TRUE(b.Save(outcome));
    EXPECT_EQ(outcome, ESampleSaveOutcome::Saved);
    ASSERT_TRUE(stored.Load(b.SampleID));
    EXPECT_EQ(stored.UserSampleID, "r-2");
    EXPECT_EQ(stored.WorkOrder, "changed");
    EXPECT_TRUE(Messages().empty());
}

// Files from before the unique index may hold a shared identifier: such rows
// stay editable as long as the edit keeps the identifier.
TEST_P(SampleOps, SampleSharingAnIdentifierFromOlderDaysStaysEditable)
{
    m_db.ExecuteSQL("DROP INDEX UX_Samples_UserSampleID");
    m_db.ExecuteSQL("INSERT INTO Samples (UserSampleID) VALUES ('OLD-1')");
    m_db.ExecuteSQL("INSERT INTO Samples (UserSampleID) VALUES ('old-1')");
    CZENDB_Sample second(&m_db);
    ASSERT_TRUE(second.Load(2));
    second.Signed = TRUE;
    second.Signature = "LR";
    ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
    EXPECT_TRUE(second.Save(outcome));
    EXPECT_EQ(outcome, ESampleSaveOutcome::Saved);
    EXPECT_EQ(Count("Samples", "WHERE Signed = 1"), 1);
    // A new sample with it is refused all the same.
    CZENDB_Sample third(&m_db, "Old-1");
    EXPECT_FALSE(third.Save(outcome));
    EXPECT_EQ(outcome, ESampleSaveOutcome::IdentifierTaken);
    EXPECT_EQ(Count("Samples"), 2);
}

// Inside a caller's transaction the save is a savepoint: a refused sample
// undoes only itself, and the caller commits the rest.
TEST_P(SampleOps, SaveInsideACallersTransactionUndoesOnlyItself)
{
    {
        CTransaction transaction(m_db);
        CZENDB_Sample a(&m_db, "N-1");
        CZENDB_Sample b(&m_db, "n-1");
        CZENDB_Sample c(&m_db, "N-2");
        ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
        EXPECT_TRUE(a.Save(outcome));
        EXPECT_FALSE(b.Save(outcome));
        EXPECT_EQ(outcome, ESampleSaveOutcome::IdentifierTaken);
        EXPECT_TRUE(m_db.IsInTransaction());
        EXPECT_TRUE(c.Save(outcome));
        transaction.Commit();
    }
    EXPECT_EQ(Count("Samples"), 2);
    EXPECT_TRUE(Messages().empty());
}

// When the unique index refuses the row (another writer stored the
// identifier unseen by the check; here a trigger of this connection plays
// that writer), the save reports the identifier taken, never the engine's
// text, and nothing of it stays.
TEST_P(SampleOpsSqliteOnly, SaveReportsTheIndexRefusingTheRowAsTaken)
{
    m_db.ExecuteSQL("CREATE TEMP TRIGGER RaceWinner BEFORE INSERT ON Samples WHEN NEW.UserSampleID = 'RACE-1' "
                    "BEGIN INSERT INTO Samples (UserSampleID) VALUES ('race-1'); END");
    CZENDB_Sample sample(&m_db, "RACE-1");
    ESampleSaveOutcome outcome = ESampleSaveOutcome::Saved;
    EXPECT_FALSE(sample.Save(outcome));
    EXPECT_EQ(outcome, ESampleSaveOutcome::IdentifierTaken);
    EXPECT_EQ(sample.SampleID, -1);
    EXPECT_EQ(Count("Samples"), 0) << "the savepoint took the trigger's row back too";
    EXPECT_TRUE(Messages().empty());

    EXPECT_FALSE(sample.Save());
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "The sample identifier 'RACE-1' is taken by another sample; the sample was not saved."});
}

// A writer that keeps the file locked longer than the busy timeout makes the
// save fail with the busy message; nothing is stored.
TEST_P(SampleOpsSqliteOnly, SaveFailsWithTheBusyMessageWhenTheLockDoesNotComeAndStoresNothing)
{
    CDatabase other;
    other.OpenEx(ConnectString(), CDatabase::noOdbcDialog);
    other.BeginTrans();
    m_db.SetQueryTimeout(0);
    CZENDB_Sample sample(&m_db, "BUSY-1");
    ESampleSaveOutcome outcome = ESampleSaveOutcome::Saved;
    EXPECT_FALSE(sample.Save(outcome));
    EXPECT_EQ(outcome, ESampleSaveOutcome::Failed);
    other.Rollback();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("database is locked"), std::string::npos) << Messages()[0];
    EXPECT_NE(Messages()[0].find("another connection kept the database locked"), std::string::npos);
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(Count("Samples"), 0);
}

TEST_P(SampleOps, SaveWritesItsStepsToTheEventLog)
{
    const zentest::CTempDir dir;
    const CPrivateEventLog log(dir);
    ASSERT_EQ(GetEventLogPath(), log.Path().c_str());
    CZENDB_Sample sample = MakeSample(&m_db, "LOG-1");
    std::streamoff offset = LogSize(log.Path());
    ASSERT_TRUE(sample.Save());
    std::vector<std::string> expected = {
        "Creating CZENDB_SamplesRecordset...",
        "Formating the SQL string to be used...",
        "SQL string is equal to '" + SaveSql(-1) + "'. Opening recordset...",
        "Successfully opened recordset!",
        "Sample did not exist, creating a new record...",
        "Added new recordset successfully!",
    };
    EXPECT_EQ(SaveLogMessagesSince(log.Path(), offset), expected);

    offset = LogSize(log.Path());
    ASSERT_TRUE(sample.Save());
    expected[2] = "SQL string is equal to '" + SaveSql(sample.SampleID) + "'. Opening recordset...";
    expected[4] = "Sample already existed in DB, trying to update existing record...";
    expected[5] = "Updated recordset successfully!";
    EXPECT_EQ(SaveLogMessagesSince(log.Path(), offset), expected);
}

TEST_P(SampleOps, SaveLetsATraceTooLongForItsBlockPassAndWritesNothing)
{
    CZENDB_Sample sample(&m_db, "LONG");
    for (int i = 0; i < 700; ++i)
        sample.Trace.AddPoint({double(i), double(-i)});
    EXPECT_THROW(sample.Save(), CFileException);
    EXPECT_EQ(Count("Samples"), 0);
    EXPECT_EQ(sample.SampleID, -1);
    EXPECT_TRUE(Messages().empty());
}

TEST_P(SampleOps, AClearedTraceIsStoredEmptyOnInsertAndOnUpdate)
{
    // Update path: a stored trace, then every point removed.
    CZENDB_Sample sample = MakeSample(&m_db, "TRACED");
    ASSERT_TRUE(sample.Save());
    CZENDB_Sample stored(&m_db);
    ASSERT_TRUE(stored.Load(sample.SampleID));
    ASSERT_EQ(stored.Trace.GetTotalNumberOfPoints(), 3u);

    stored.Trace.RemoveAll();
    ASSERT_TRUE(stored.Save());
    CZENDB_Sample reloaded(&m_db);
    ASSERT_TRUE(reloaded.Load(sample.SampleID));
    EXPECT_EQ(reloaded.Trace.GetTotalNumberOfPoints(), 0u);
    EXPECT_EQ(reloaded.WorkOrder, "WO-17") << "the other columns stay";
    EXPECT_EQ(Count("Samples", "WHERE Trace IS NULL"), 1);

    // A trace added again after clearing comes back as the new points only.
    reloaded.Trace.AddPoint({5.0, 6.0});
    ASSERT_TRUE(reloaded.Save());
    ASSERT_TRUE(stored.Load(sample.SampleID));
    EXPECT_TRUE(stored.Trace == reloaded.Trace);
    EXPECT_EQ(stored.Trace.GetTotalNumberOfPoints(), 1u);

    // Insert path: a sample without points leaves the column NULL.
    CZENDB_Sample plain(&m_db, "PLAIN");
    ASSERT_TRUE(plain.Save());
    EXPECT_EQ(Count("Samples", "WHERE Trace IS NULL"), 1);
    ASSERT_TRUE(stored.Load(plain.SampleID));
    EXPECT_EQ(stored.Trace.GetTotalNumberOfPoints(), 0u);
    EXPECT_TRUE(Messages().empty());
}

TEST_P(SampleOps, LoadByKeyAndByIdentifierIncludingQuotes)
{
    CZENDB_Sample saved = MakeSample(&m_db, "O'Brien-7");
    ASSERT_TRUE(saved.Save());
    CZENDB_Sample other(&m_db, "B-2");
    ASSERT_TRUE(other.Save());

    CZENDB_Sample byKey(&m_db);
    ASSERT_TRUE(byKey.Load(saved.SampleID));
    EXPECT_TRUE(byKey.KeepConnection);
    ExpectSameStoredFields(byKey, saved);

    // The identifier is found as typed, quotes and all, never an SQL error;
    // also when the argument is the object's own field.
    CZENDB_Sample byName(&m_db);
    byName.UserSampleID = "O'Brien-7";
    ASSERT_TRUE(byName.Load(byName.UserSampleID));
    ExpectSameStoredFields(byName, saved);
    EXPECT_TRUE(byName.KeepConnection);

    // ASCII letters compare without regard to case; the stored spelling stays.
    CZENDB_Sample byOtherCase(&m_db, "b-2");
    ASSERT_TRUE(byOtherCase.Load(byOtherCase.UserSampleID));
    EXPECT_EQ(byOtherCase.UserSampleID, "B-2");
    EXPECT_EQ(byOtherCase.SampleID, other.SampleID);

    CZENDB_Sample missing(&m_db, "untouched");
    for (const char* id : {"O'Brien", "'; DROP TABLE Samples; --", "B-2 ", "B2"})
        EXPECT_FALSE(missing.Load(CString(id))) << id;
    EXPECT_FALSE(missing.Load(999999));
    EXPECT_EQ(missing.UserSampleID, "untouched");
    EXPECT_EQ(missing.SampleID, -1);
    EXPECT_FALSE(missing.KeepConnection);
    EXPECT_EQ(Count("Samples"), 2);
    EXPECT_TRUE(Messages().empty());

    CZENDB_Sample unconnected;
    EXPECT_FALSE(unconnected.Load(saved.SampleID));
    EXPECT_FALSE(unconnected.Load(CString("O'Brien-7")));
    EXPECT_FALSE(unconnected.Save());
    EXPECT_FALSE(unconnected.Delete());
}

// The log lines written since offset, without their time stamps.
std::vector<std::string> LogMessagesSince(const std::string& path, std::streamoff offset)
{
    std::ifstream in(path);
    in.seekg(offset);
    std::vector<std::string> messages;
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find(" recordsets:");
        messages.push_back(at == std::string::npos ? line : line.substr(at));
    }
    return messages;
}

// FindKey answers what Load finds, by the same statement and log lines, and
// reports a failing statement as Load does.
TEST_P(SampleOps, FindKeyFindsWhatLoadFindsWithTheSameLogLines)
{
    const zentest::CTempDir dir;
    const CPrivateEventLog log(dir);
    CZENDB_Sample saved = MakeSample(&m_db, "O'Brien-7");
    ASSERT_TRUE(saved.Save());
    for (const char* id : {"O'Brien-7", "o'brien-7", "O'Brien", "", "'; DROP TABLE Samples; --"}) {
        SCOPED_TRACE(id);
        std::streamoff offset = LogSize(log.Path());
        CZENDB_Sample loaded(&m_db);
        const bool found = loaded.Load(CString(id));
        const std::vector<std::string> loadLines = LogMessagesSince(log.Path(), offset);
        ASSERT_EQ(loadLines.size(), found ? 1u : 0u); // the read of the row
        offset = LogSize(log.Path());
        int32_t key = -7;
        EXPECT_EQ(CZENDB_Sample::FindKey(&m_db, id, key), found);
        EXPECT_EQ(LogMessagesSince(log.Path(), offset), loadLines);
        EXPECT_EQ(key, found ? saved.SampleID : -7);
    }
    int32_t key = -7;
    EXPECT_FALSE(CZENDB_Sample::FindKey(nullptr, "O'Brien-7", key));
    EXPECT_TRUE(Messages().empty());

    m_db.ExecuteSQL("ALTER TABLE Samples RENAME COLUMN Customer TO Client");
    EXPECT_FALSE(CZENDB_Sample::FindKey(&m_db, "O'Brien-7", key));
    ASSERT_EQ(Messages().size(), 1u);
    CZENDB_Sample loaded(&m_db);
    EXPECT_FALSE(loaded.Load(CString("O'Brien-7")));
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[0], Messages()[1]);
    EXPECT_EQ(key, -7);
}

TEST_P(SampleOps, LoadedSampleKeepsItsConnectionThroughLaterAssignments)
{
    CZENDB_Sample saved(&m_db, "K-1");
    ASSERT_TRUE(saved.Save());
    CZENDB_Sample loaded(&m_db);
    ASSERT_TRUE(loaded.Load(saved.SampleID));
    loaded = CZENDB_Sample(nullptr, "other");
    EXPECT_EQ(loaded.Database, &m_db);
    EXPECT_EQ(loaded.UserSampleID, "other");
}

TEST_P(SampleOps, DeleteRemovesTheRowAndItsDefaultsAndResetsTheObject)
{
    CZENDB_Sample keep(&m_db, "KEEP");
    ASSERT_TRUE(keep.Save());
    ASSERT_TRUE(keep.SetDefaultProfileOrRoutine(false, 5));
    CZENDB_Sample sample = MakeSample(&m_db, "DEL");
    ASSERT_TRUE(sample.Save());
    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(false, 3));
    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(true, 4));

    ASSERT_TRUE(sample.Delete());
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(Count("Samples"), 1);
    EXPECT_EQ(Count("DefaultProfileToUse"), 1) << "the other sample's default stays";
    EXPECT_EQ(Count("DefaultRoutineToUse"), 0);
    EXPECT_EQ(sample.SampleID, -1);
    EXPECT_TRUE(sample.UserSampleID.IsEmpty());
    EXPECT_TRUE(sample.WorkOrder.IsEmpty());
    EXPECT_EQ(sample.RegistrationDate.GetTime(), 0);
    EXPECT_EQ(sample.Trace.GetTotalNumberOfPoints(), 0u);
    EXPECT_EQ(sample.Database, &m_db);
    EXPECT_TRUE(Messages().empty());
}

TEST_P(SampleOps, DeleteOfAMissingRowStillCommitsTheDefaultsRemoval)
{
    CZENDB_Sample sample(&m_db, "GONE");
    ASSERT_TRUE(sample.Save());
    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(true, 8));
    m_db.ExecuteSQL("DELETE FROM Samples");

    EXPECT_FALSE(sample.Delete());
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(Count("DefaultRoutineToUse"), 0);
    EXPECT_EQ(sample.UserSampleID, "GONE") << "the object stays as it was";
    EXPECT_TRUE(Messages().empty());
}

TEST_P(SampleOpsSqliteOnly, DeleteRollsBackWhenTheSampleRowCannotBeDeleted)
{
    CZENDB_Sample sample(&m_db, "LOCKED");
    ASSERT_TRUE(sample.Save());
    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(false, 3));
    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(true, 4));
    m_db.ExecuteSQL("CREATE TRIGGER RefuseSampleDelete BEFORE DELETE ON Samples "
                    "BEGIN SELECT RAISE(ABORT, 'sample rows are locked'); END");

    EXPECT_FALSE(sample.Delete());
    EXPECT_FALSE(m_db.IsInTransaction());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("sample rows are locked"), std::string::npos) << Messages()[0];
    // The default rows deleted inside the transaction are back.
    EXPECT_EQ(Count("Samples"), 1);
    EXPECT_EQ(Count("DefaultProfileToUse"), 1);
    EXPECT_EQ(Count("DefaultRoutineToUse"), 1);
    EXPECT_EQ(sample.UserSampleID, "LOCKED");
}

TEST_P(SampleOps, DeleteJoinsTheCallersTransaction)
{
    CZENDB_Sample sample(&m_db, "BUSY");
    ASSERT_TRUE(sample.Save());
    m_db.BeginTrans();
    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(false, 3));

    EXPECT_TRUE(sample.Delete());
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(m_db.IsInTransaction()) << "the caller's transaction stays open";
    EXPECT_EQ(Count("Samples"), 0);
    m_db.Rollback(); // the caller decides: the delete goes with its transaction
    EXPECT_EQ(Count("Samples"), 1);
    EXPECT_EQ(Count("DefaultProfileToUse"), 0);
}

TEST_P(SampleOps, DefaultPatternWinsOverDefaultRoutine)
{
    CZENDB_Sample sample(&m_db, "DEF");
    ASSERT_TRUE(sample.Save());
    bool isRoutine = true;
    int32_t id = 77;
    EXPECT_FALSE(sample.GetDefaultProfileOrRoutine(isRoutine, id));
    EXPECT_TRUE(isRoutine);
    EXPECT_EQ(id, 77);

    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(true, 12));
    ASSERT_TRUE(sample.GetDefaultProfileOrRoutine(isRoutine, id));
    EXPECT_TRUE(isRoutine);
    EXPECT_EQ(id, 12);

    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(false, 5));
    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(true, 13));
    ASSERT_TRUE(sample.GetDefaultProfileOrRoutine(isRoutine, id));
    EXPECT_FALSE(isRoutine);
    EXPECT_EQ(id, 5);

    // Setting a kind again updates its one row.
    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(false, 6));
    EXPECT_EQ(Count("DefaultProfileToUse"), 1);
    EXPECT_EQ(Count("DefaultRoutineToUse"), 1);
    EXPECT_EQ(Scalar("SELECT UseProfileTypeID FROM DefaultProfileToUse"), 6);
    EXPECT_EQ(Scalar("SELECT UseRoutineTypeID FROM DefaultRoutineToUse"), 13);

    // An unsaved sample has no key to file a default under.
    CZENDB_Sample unsaved(&m_db, "NEW");
    EXPECT_FALSE(unsaved.SetDefaultProfileOrRoutine(false, 1));
    EXPECT_FALSE(unsaved.GetDefaultProfileOrRoutine(isRoutine, id));
    EXPECT_EQ(Count("DefaultProfileToUse"), 1);
    EXPECT_FALSE(CZENDB_Sample().SetDefaultProfileOrRoutine(false, 1));
}

// Three samples' runs: a sample with runs 1..3 of which only the second has
// made indents, a sample with one run without indents, and an empty one.
class SampleRuns : public COpsTest {
protected:
    void SetUp() override
    {
        COpsTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        for (CZENDB_Sample* sample : {&m_a, &m_b, &m_empty})
            ASSERT_TRUE(sample->Save());
        for (int nr = 1; nr <= 3; ++nr)
            m_runsOfA.push_back(AddRun(m_a, nr));
        AddRun(m_b, 1);
        for (double edge : {0.05, 0.10}) {
            CZENDB_MadeIndent indent(&m_db);
            indent.ProfileID = m_runsOfA[1];
            indent.ActualDistanceFromEdge = edge;
            ASSERT_TRUE(indent.Save());
        }
    }

    int32_t AddRun(const CZENDB_Sample& sample, int nr)
    {
        CZENDB_SampleProfileRun run(&m_db);
        run.SampleID = sample.SampleID;
        run.ProfileNr = nr;
        EXPECT_TRUE(run.Save());
        return run.ProfileID;
    }

    CZENDB_Sample m_a{&m_db, "A"};
    CZENDB_Sample m_b{&m_db, "B"};
    CZENDB_Sample m_empty{&m_db, "E"};
    std::vector<int32_t> m_runsOfA;
};

// Cases that make a delete fail by a trigger in SQLite's dialect.
class SampleRunsSqliteOnly : public SampleRuns {};

TEST_P(SampleRuns, GetProfilesListsTheRunsOfTheGivenKey)
{
    COwnedList runs;
    ASSERT_TRUE(m_a.GetProfiles(m_b.SampleID, runs));
    const auto listed = Elements<CZENDB_SampleProfileRun>(runs);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0]->SampleID, m_b.SampleID);
    EXPECT_EQ(listed[0]->Database, &m_db);
    EXPECT_TRUE(listed[0]->KeepConnection);

    ASSERT_TRUE(m_b.GetProfiles(m_a.SampleID, runs));
    EXPECT_EQ(runs.GetCount(), 4) << "appended to what the list held";
    EXPECT_EQ(Elements<CZENDB_SampleProfileRun>(runs)[3]->ProfileNr, 3);
}

TEST_P(SampleRuns, GetHasIndentDataLooksAtEveryRun)
{
    const struct {
        CZENDB_Sample* sample;
        int expected;
    } cases[] = {{&m_a, 1}, {&m_b, 0}, {&m_empty, 0}};
    for (const auto& c : cases) {
        int hasData = -5;
        ASSERT_TRUE(c.sample->GetHasIndentData(hasData)) << c.sample->UserSampleID.GetString();
        EXPECT_EQ(hasData, c.expected) << c.sample->UserSampleID.GetString();
    }
    EXPECT_EQ(Count("SampleProfilesRun"), 4) << "only the listed objects are freed";
    int hasData = -5;
    EXPECT_FALSE(CZENDB_Sample().GetHasIndentData(hasData));
}

TEST_P(SampleRuns, DeleteAllSampleProfilesRunLeavesTheMadeIndents)
{
    ASSERT_TRUE(m_a.DeleteAllSampleProfilesRun());
    EXPECT_EQ(Count("SampleProfilesRun"), 1) << "the other sample's run stays";
    EXPECT_EQ(Count("IndentsRun"), 2);
    CZENDB_SampleProfileRun oldRun(&m_db);
    oldRun.ProfileID = m_runsOfA[1];
    int hasIndents = 0;
    ASSERT_TRUE(oldRun.GetHasMadeIndents(hasIndents));
    EXPECT_EQ(hasIndents, 1);
    int hasData = -1;
    ASSERT_TRUE(m_a.GetHasIndentData(hasData));
    EXPECT_EQ(hasData, 0);
}

TEST_P(SampleRuns, GetHasIndentDataIsFalseWhenTheRunsOrTheirIndentsCannotBeRead)
{
    // The indents cannot be read: a sample with runs fails, one without runs
    // needs no indents and still answers.
    m_db.ExecuteSQL("ALTER TABLE IndentsRun RENAME TO IndentsRunMoved");
    int hasData = -5;
    EXPECT_FALSE(m_a.GetHasIndentData(hasData));
    EXPECT_EQ(hasData, 0);
    ASSERT_EQ(Messages().size(), 1u) << "the error is shown once, not once per run";
    EXPECT_NE(Messages()[0].find("IndentsRun"), std::string::npos) << Messages()[0];
    hasData = -5;
    EXPECT_TRUE(m_empty.GetHasIndentData(hasData));
    EXPECT_EQ(hasData, 0);
    m_db.ExecuteSQL("ALTER TABLE IndentsRunMoved RENAME TO IndentsRun");

    // The runs cannot be listed.
    m_db.ExecuteSQL("ALTER TABLE SampleProfilesRun RENAME TO SampleProfilesRunMoved");
    hasData = -5;
    EXPECT_FALSE(m_empty.GetHasIndentData(hasData));
    EXPECT_EQ(hasData, 0);
    EXPECT_EQ(Messages().size(), 2u);
    m_db.ExecuteSQL("ALTER TABLE SampleProfilesRunMoved RENAME TO SampleProfilesRun");

    hasData = -5;
    EXPECT_TRUE(m_a.GetHasIndentData(hasData));
    EXPECT_EQ(hasData, 1);
}

TEST_P(SampleRuns, DeleteWithRunsTakesRunsIndentsAndDefaults)
{
    ASSERT_TRUE(m_a.SetDefaultProfileOrRoutine(false, 3));
    ASSERT_TRUE(m_a.SetDefaultProfileOrRoutine(true, 4));
    ASSERT_TRUE(m_b.SetDefaultProfileOrRoutine(false, 3));
    const int32_t key = m_a.SampleID;

    EXPECT_TRUE(m_a.DeleteWithRuns());
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(m_a.SampleID, -1) << "the object reads as a new sample";
    EXPECT_TRUE(m_a.UserSampleID.IsEmpty());
    EXPECT_EQ(m_a.Database, &m_db);
    CString where;
    where.Format("WHERE SampleID=%d", key);
    EXPECT_EQ(Count("Samples", where), 0);
    EXPECT_EQ(Count("SampleProfilesRun", where), 0);
    EXPECT_EQ(Count("IndentsRun"), 0);
    EXPECT_EQ(Count("DefaultProfileToUse", where), 0);
    EXPECT_EQ(Count("DefaultRoutineToUse", where), 0);
    // The other samples keep theirs.
    EXPECT_EQ(Count("Samples"), 2);
    EXPECT_EQ(Count("SampleProfilesRun"), 1);
    EXPECT_EQ(Count("DefaultProfileToUse"), 1);

    // A sample without runs goes as well; a gone one is false.
    EXPECT_TRUE(m_empty.DeleteWithRuns());
    CZENDB_Sample gone(&m_db, "GONE");
    gone.SampleID = key;
    EXPECT_FALSE(gone.DeleteWithRuns());
    EXPECT_EQ(gone.UserSampleID, "GONE");
    EXPECT_FALSE(CZENDB_Sample().DeleteWithRuns());
    EXPECT_TRUE(Messages().empty());
}

// A step refused half-way (by a trigger on the table named) undoes every step
// before it: the sample keeps its runs, indents and defaults.
TEST_P(SampleRunsSqliteOnly, DeleteWithRunsIsAllOrNothing)
{
    const char* refusingTables[] = {"IndentsRun", "SampleProfilesRun", "DefaultRoutineToUse", "Samples"};
    ASSERT_TRUE(m_a.SetDefaultProfileOrRoutine(false, 3));
    ASSERT_TRUE(m_a.SetDefaultProfileOrRoutine(true, 4));
    for (const char* table : refusingTables) {
        SCOPED_TRACE(table);
        CString trigger;
        trigger.Format("CREATE TRIGGER Refuse BEFORE DELETE ON %s "
                       "BEGIN SELECT RAISE(ABORT, 'rows are locked'); END",
                       table);
        m_db.ExecuteSQL(trigger);
        const size_t shown = Messages().size();

        EXPECT_FALSE(m_a.DeleteWithRuns());
        EXPECT_FALSE(m_db.IsInTransaction());
        ASSERT_EQ(Messages().size(), shown + 1);
        EXPECT_NE(Messages().back().find("rows are locked"), std::string::npos) << Messages().back();
        EXPECT_EQ(m_a.UserSampleID, "A");
        EXPECT_EQ(Count("Samples"), 3);
        EXPECT_EQ(Count("SampleProfilesRun"), 4);
        EXPECT_EQ(Count("IndentsRun"), 2);
        EXPECT_EQ(Count("DefaultProfileToUse"), 1);
        EXPECT_EQ(Count("DefaultRoutineToUse"), 1);
        m_db.ExecuteSQL("DROP TRIGGER Refuse");
    }
}

TEST_P(SampleRunsSqliteOnly, DeleteWithRunsJoinsTheCallersTransaction)
{
    m_db.BeginTrans();
    EXPECT_TRUE(m_a.DeleteWithRuns());
    EXPECT_TRUE(m_db.IsInTransaction()) << "the caller's transaction stays open";
    EXPECT_EQ(Count("IndentsRun"), 0);
    m_db.Rollback(); // the caller decides: everything comes back
    EXPECT_EQ(Count("Samples"), 3);
    EXPECT_EQ(Count("SampleProfilesRun"), 4);
    EXPECT_EQ(Count("IndentsRun"), 2);

    // A failure inside the caller's transaction undoes only the delete's own
    // steps; what the caller wrote before stays, and so does its transaction.
    m_db.BeginTrans();
    CZENDB_Sample added(&m_db, "ADDED");
    ASSERT_TRUE(added.Save());
    m_db.ExecuteSQL("CREATE TRIGGER Refuse BEFORE DELETE ON Samples "
                    "BEGIN SELECT RAISE(ABORT, 'rows are locked'); END");
    EXPECT_FALSE(m_a.DeleteWithRuns());
    EXPECT_TRUE(m_db.IsInTransaction());
    EXPECT_EQ(Count("Samples"), 4);
    EXPECT_EQ(Count("SampleProfilesRun"), 4);
    EXPECT_EQ(Count("IndentsRun"), 2);
    m_db.CommitTrans();
    EXPECT_EQ(Count("Samples", "WHERE UserSampleID = 'ADDED'"), 1);
}

// Deleting several rows goes all or none, alone and inside a caller's
// transaction, whichever row is refused.
TEST_P(SampleRunsSqliteOnly, DeletingSeveralRowsIsAllOrNothing)
{
    CZENDB_SampleProfileRun run(&m_db);
    ASSERT_TRUE(run.Load(m_runsOfA[1]));
    CString refuseSecondIndent;
    refuseSecondIndent.Format("CREATE TRIGGER Refuse BEFORE DELETE ON IndentsRun "
                              "WHEN old.IndentID = %d BEGIN SELECT RAISE(ABORT, 'kept'); END",
                              Scalar("SELECT MAX(IndentID) FROM IndentsRun"));
    m_db.ExecuteSQL(refuseSecondIndent);
    CString refuseThirdRun;
    refuseThirdRun.Format("CREATE TRIGGER RefuseRun BEFORE DELETE ON SampleProfilesRun "
                          "WHEN old.ProfileID = %d BEGIN SELECT RAISE(ABORT, 'kept'); END",
                          m_runsOfA[2]);
    m_db.ExecuteSQL(refuseThirdRun);

    for (const bool callersTransaction : {false, true}) {
        SCOPED_TRACE(callersTransaction ? "in the caller's transaction" : "alone");
        if (callersTransaction)
            m_db.BeginTrans();
        EXPECT_FALSE(run.DeleteAllMadeIndents());
        EXPECT_EQ(Count("IndentsRun"), 2) << "the first indent is back";
        EXPECT_FALSE(m_a.DeleteAllSampleProfilesRun());
        EXPECT_EQ(Count("SampleProfilesRun"), 4) << "the first two runs are back";
        EXPECT_EQ(m_db.IsInTransaction(), callersTransaction);
        if (callersTransaction)
            m_db.CommitTrans();
    }
    EXPECT_EQ(Messages().size(), 4u);
    EXPECT_EQ(Count("IndentsRun"), 2);
    EXPECT_EQ(Count("SampleProfilesRun"), 4);
}

// Samples with runs are deleted by a child process that is killed at random
// moments; whatever moment the kill hits, every sample left has all its runs
// with all their indents, and no run or indent is left without its owner.
TEST_P(SampleRuns, KilledDeletesLeaveNoSampleWithoutItsRuns)
{
    constexpr int kSamples = 30;
    constexpr int kRunsPerSample = 2;
    constexpr int kIndentsPerRun = 3;
    std::random_device seedSource;
    const unsigned seed = seedSource();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);

    // The fixture's samples are not part of this test.
    for (CZENDB_Sample* sample : {&m_a, &m_b, &m_empty})
        ASSERT_TRUE(sample->DeleteWithRuns());

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        m_db.BeginTrans();
        for (int i = 0; i < kSamples; ++i) {
            CString id;
            id.Format("K-%d-%d", round, i);
            CZENDB_Sample sample(&m_db, id);
            ASSERT_TRUE(sample.Save());
            for (int nr = 1; nr <= kRunsPerSample; ++nr) {
                const int32_t profileID = AddRun(sample, nr);
                for (int k = 0; k < kIndentsPerRun; ++k) {
                    CZENDB_MadeIndent indent(&m_db);
                    indent.ProfileID = profileID;
                    indent.ActualDistanceFromEdge = 0.1 * (k + 1);
                    ASSERT_TRUE(indent.Save());
                }
            }
        }
        m_db.CommitTrans();
        m_db.Close();

        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            try {
                CDatabase db;
                db.OpenEx(ConnectString(), CDatabase::noOdbcDialog);
                for (int i = 0; i < kSamples; ++i) {
                    CString id;
                    id.Format("K-%d-%d", round, i);
                    CZENDB_Sample sample(&db);
                    if (!sample.Load(id))
                        _exit(4);
                    const int32_t key = sample.SampleID;
                    if (!sample.DeleteWithRuns())
                        _exit(5);
                    if (write(fds[1], &key, sizeof key) != sizeof key)
                        _exit(3);
                }
            } catch (...) {
                _exit(2);
            }
            pause(); // all deleted before the kill: wait for it
            _exit(6);
        }
        close(fds[1]);
        std::vector<int32_t> deleted;
        const int stopAfter = std::uniform_int_distribution<int>(1, kSamples / 2)(random);
        int32_t key = 0;
        while (static_cast<int>(deleted.size()) < stopAfter && read(fds[0], &key, sizeof key) == sizeof key)
            deleted.push_back(key);
        // One delete takes some tens of milliseconds: the kill lands anywhere
        // in the next one, its commit included.
        usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(0, 40000)(random)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        while (read(fds[0], &key, sizeof key) == sizeof key)
            deleted.push_back(key); // deletes reported before the kill
        close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the deleting child ended by itself: " << WEXITSTATUS(status);

        m_db.OpenEx(ConnectString(), CDatabase::noOdbcDialog); // rolls back what the child left open
        for (const int32_t gone : deleted) {
            CString where;
            where.Format("WHERE SampleID=%d", gone);
            EXPECT_EQ(Count("Samples", where), 0) << "a reported delete is committed";
        }
        const int32_t left = Count("Samples");
        EXPECT_LE(left, kSamples - static_cast<int32_t>(deleted.size()));
        EXPECT_GE(left, kSamples - static_cast<int32_t>(deleted.size()) - 1)
            << "at most the delete under way when killed is committed unreported";
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Samples s WHERE (SELECT COUNT(*) FROM SampleProfilesRun r "
                         "WHERE r.SampleID = s.SampleID) <> 2"),
                  0)
            << "a sample lacks runs it had";
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM SampleProfilesRun r WHERE (SELECT COUNT(*) FROM IndentsRun i "
                         "WHERE i.ProfileID = r.ProfileID) <> 3"),
                  0)
            << "a run lacks indents it had";
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM SampleProfilesRun r WHERE NOT EXISTS "
                         "(SELECT 1 FROM Samples s WHERE s.SampleID = r.SampleID)"),
                  0)
            << "a run lacks its sample";
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM IndentsRun i WHERE NOT EXISTS "
                         "(SELECT 1 FROM SampleProfilesRun r WHERE r.ProfileID = i.ProfileID)"),
                  0)
            << "an indent lacks its run";
        EXPECT_EQ(Count("IndentsRun"), left * kRunsPerSample * kIndentsPerRun);

        // The next round starts from an empty file.
        for (const char* table : {"IndentsRun", "SampleProfilesRun", "Samples"}) {
            CString sql;
            sql.Format("DELETE FROM %s", table);
            m_db.ExecuteSQL(sql);
        }
    }
}

class SampleRegistration : public COpsTest {};

TEST_P(SampleRegistration, StoredValuesComeBackAsFieldsInDisplayOrder)
{
    CZENDB_Sample sample = MakeSample(&m_db, "REG");
    sample.DueDate = CTime(0);
    sample.CustomField1.Empty();
    ASSERT_TRUE(sample.Save());
    m_db.ExecuteSQL("UPDATE Registration SET Control='PartNo   ' WHERE Control='PartNo'");

    COwnedList fields;
    ASSERT_TRUE(sample.GetSampleRegistrationData(fields));
    const auto elements = Elements<CSampleRegistrationField>(fields);
    ASSERT_EQ(elements.size(), 27u);
    const char* const controls[] = {"WorkOrder", "PartNo", "Detail", "Customer", "Material",
                                    "RegistrationDate", "DueDate", "RegisteredBy"};
    for (size_t i = 0; i < elements.size(); ++i) {
        const CSampleRegistrationField& e = *elements[i];
        const std::string control =
            i < 8 ? controls[i] : "CustomField" + std::to_string(i - 7);
        SCOPED_TRACE(control);
        EXPECT_EQ(e.Field.Control, control.c_str());
        EXPECT_EQ(e.Field.DisplayOrder, int32_t(i));
        EXPECT_EQ(e.Field.Visible, i < 8 ? TRUE : FALSE);
        EXPECT_EQ(e.Field.Database, &m_db);
        EXPECT_EQ(e.SampleID, sample.SampleID);
        EXPECT_EQ(e.IsText, (i == 5 || i == 6) ? FALSE : TRUE);
    }
    EXPECT_EQ(elements[1]->Text, "P-4711") << "trailing blanks of the stored name are cut";
    EXPECT_EQ(elements[3]->Text, "Talleres Ruiz");
    EXPECT_EQ(elements[5]->Date.GetTime(), sample.RegistrationDate.GetTime());
    EXPECT_EQ(elements[6]->Date.GetTime(), 0) << "NULL due date";
    EXPECT_TRUE(elements[8]->Text.IsEmpty()) << "NULL custom field";
    EXPECT_EQ(elements[26]->Text, "last");

    // Read into another sample, the list carries every registration value.
    CZENDB_Sample copy(&m_db, "COPY");
    ASSERT_TRUE(copy.SetSampleRegistrationData(fields));
    EXPECT_EQ(copy.WorkOrder, sample.WorkOrder);
    EXPECT_EQ(copy.Customer, sample.Customer);
    EXPECT_EQ(copy.RegistrationDate.GetTime(), sample.RegistrationDate.GetTime());
    EXPECT_EQ(copy.CustomField19, "last");
    EXPECT_EQ(copy.UserSampleID, "COPY");
}

TEST_P(SampleRegistration, AMissingRowOrConnectionLeavesTheListUnchanged)
{
    CZENDB_Sample sample(&m_db, "NONE");
    sample.SampleID = 4242;
    COwnedList fields;
    EXPECT_FALSE(sample.GetSampleRegistrationData(fields));
    EXPECT_FALSE(CZENDB_Sample().GetSampleRegistrationData(fields));
    EXPECT_EQ(fields.GetCount(), 0);
    EXPECT_TRUE(Messages().empty());
}

TEST_P(SampleRegistration, SetMatchesControlNamesExactlyAndLetsTheLastWin)
{
    CZENDB_RegistrationField custom1;
    custom1.Control = "CustomField1";
    CZENDB_RegistrationField wrongCase;
    wrongCase.Control = "customfield1";
    CZENDB_RegistrationField regDate;
    regDate.Control = "RegistrationDate";
    CZENDB_RegistrationField due;
    due.Control = "DueDate";
    CZENDB_RegistrationField unknown;
    unknown.Control = "Signature";

    CZENDB_Sample sample(&m_db);
    sample.RegistrationDate = CTime(2014, 1, 1, 0, 0, 0);
    sample.Signature = "kept";
    COwnedList fields;
    fields.AddTail(new CSampleRegistrationField(-1, wrongCase, CString("ignored")));
    fields.AddTail(new CSampleRegistrationField(-1, unknown, CString("ignored")));
    fields.AddTail(new CSampleRegistrationField(-1, custom1, CString("one")));
    fields.AddTail(new CSampleRegistrationField(-1, custom1, CString("two")));
    fields.AddTail(new CSampleRegistrationField(-1, regDate, CString("a text")));
    fields.AddTail(new CSampleRegistrationField(-1, due, CTime(2015, 2, 3, 0, 0, 0),
                                                CTime(2015, 2, 9, 0, 0, 0)));
    ASSERT_TRUE(sample.SetSampleRegistrationData(fields));
    EXPECT_EQ(sample.CustomField1, "two");
    EXPECT_EQ(sample.RegistrationDate.GetTime(), 0) << "the text element's Date";
    EXPECT_EQ(sample.DueDate.GetTime(), CTime(2015, 2, 3, 0, 0, 0).GetTime());
    EXPECT_EQ(sample.Signature, "kept");
}

INSTANTIATE_TEST_SUITE_P(Engines, SampleOps, ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, SampleRegistration,
                         ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, SampleRuns, ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, SampleOpsSqliteOnly,
                         ::testing::Values(zentest::ETestEngine::Sqlite), opstest::EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, SampleRunsSqliteOnly,
                         ::testing::Values(zentest::ETestEngine::Sqlite), opstest::EngineParamName);

} // namespace
