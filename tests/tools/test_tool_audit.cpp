// zendb as a process: the audit trail of a database file - entries of
// samples, runs, users and logins with old and new values, the entry and its
// change committed together, the hash chain that finds entries altered,
// inserted or removed afterwards, two writers keeping one chain, and files
// made without the trail.
#include "ToolTestSupport.h"

#include "database/StationCopy.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <algorithm>
#include <filesystem>
#include <thread>

namespace zentest {
namespace {

// The entries as zendb lists them, as JSON objects.
class CAuditFixture : public CRunsFixture {
protected:
    nlohmann::json Entries(const std::vector<std::string>& filter = {}) const
    {
        std::vector<std::string> args = {"audit"};
        args.insert(args.end(), filter.begin(), filter.end());
        return Json(args);
    }
    // The entries of one object kind and action, in order.
    std::vector<nlohmann::json> Of(const std::string& kind, const std::string& action) const
    {
        std::vector<nlohmann::json> found;
        for (const auto& e : Entries())
            if (e["ObjectKind"] == kind && e["Action"] == action)
                found.push_back(e);
        return found;
    }
    CRun Verify() const { return Zendb({"audit", "verify"}); }
};

class ToolAudit : public CEngineTool<CAuditFixture> {};
// The cases that change the file past the tool in its engine's own words
// (triggers, a copy of the file, tables dropped from a file of an older
// schema).
using ToolAuditFile = CAuditFixture;

std::string ProfileCsv()
{
    std::string csv = "Depth [mm],Axis [mm],D1 [um],D2 [um],Indentor,Load [gf],Lane\n";
    for (const double depth : {0.1, 0.3, 0.5, 0.7})
        csv += std::to_string(depth) + ",," + VickersDiagonal(600.0 - 100.0 * depth, 1000.0) + "," +
               VickersDiagonal(600.0 - 100.0 * depth, 1000.0) + ",Vickers,1000,1\n";
    return csv;
}

TEST_P(ToolAudit, SampleRegisteredChangedAndDeleted)
{
    Ok({"samples", "register", "S-1", "WorkOrder=W-1"});
    Ok({"--reason", "typing error in the order", "samples", "set", "S-1", "WorkOrder=W-2", "Customer=Acme"});
    Ok({"--reason", "registered twice", "samples", "delete", "S-1"});

    const auto entries = Entries({"--sample", "S-1"});
    ASSERT_EQ(entries.size(), 4u) << entries.dump(1);
    EXPECT_EQ(entries[0]["Action"], "insert");
    EXPECT_EQ(entries[0]["ObjectIdentifier"], "S-1");
    EXPECT_EQ(entries[0]["Reason"], "");
    // One entry per changed field, with the old and the new value.
    EXPECT_EQ(entries[1]["Action"], "change");
    EXPECT_EQ(entries[1]["FieldName"], "WorkOrder");
    EXPECT_EQ(entries[1]["OldValue"], "W-1");
    EXPECT_EQ(entries[1]["NewValue"], "W-2");
    EXPECT_EQ(entries[1]["Reason"], "typing error in the order");
    EXPECT_EQ(entries[2]["FieldName"], "Customer");
    EXPECT_EQ(entries[2]["OldValue"], "");
    EXPECT_EQ(entries[2]["NewValue"], "Acme");
    // (Signatures and their withdrawal: test_tool_signatures.cpp.)
    EXPECT_EQ(entries.back()["Action"], "delete");
    EXPECT_EQ(entries.back()["Reason"], "registered twice");
    for (const auto& e : entries) {
        EXPECT_EQ(e["ObjectKey"], entries[0]["ObjectKey"]);
        EXPECT_EQ(e["EntryTime"].get<std::string>().size(), 19u);
        EXPECT_EQ(e["Hash"].get<std::string>().size(), 64u);
    }
    const CRun verify = Verify();
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_EQ(verify.out, "audit trail intact: 6 entries\n");  // with R-1 and the pattern CHD

    const CRun csv = Zendb({"--format", "csv", "audit", "--sample", "S-1"});
    EXPECT_EQ(csv.out.substr(0, csv.out.find("\r\n")),
              "EntryID,EntryTime,Station,UserName,Action,ObjectKind,ObjectKey,ObjectIdentifier,FieldName,OldValue,"
              "NewValue,Reason,PreviousHash,Hash");
}

TEST_P(ToolAudit, RunImportedAndDeletedGiveOneEntryPerRun)
{
    const std::string file = Csv("run.csv", ProfileCsv());
    Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", file});
    Ok({"runs", "delete", "R-1", "1"});

    const auto inserted = Of("run", "insert");
    ASSERT_EQ(inserted.size(), 2u) << Entries().dump(1);
    EXPECT_EQ(inserted[0]["ObjectIdentifier"], "R-1");
    EXPECT_EQ(inserted[0]["NewValue"], "run 1");
    EXPECT_EQ(inserted[1]["FieldName"], "indents");
    EXPECT_EQ(inserted[1]["NewValue"], "4 indents");
    const auto deleted = Of("run", "delete");
    ASSERT_EQ(deleted.size(), 1u) << Entries().dump(1);
    EXPECT_EQ(deleted[0]["OldValue"], "run 1, 4 indents");
    EXPECT_EQ(deleted[0]["ObjectKey"], inserted[0]["ObjectKey"]);
    EXPECT_EQ(Of("indent", "insert").size(), 0u);

    // A sample deleted with its runs: one entry per run as well.
    Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", file});
    Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", file});
    Ok({"samples", "delete", "R-1", "--with-runs"});
    EXPECT_EQ(Of("run", "delete").size(), 3u) << Entries().dump(1);
    EXPECT_EQ(Verify().status, 0);
}

TEST_P(ToolAudit, PasswordsNeverReachTheTrailOrTheLog)
{
    const std::string config = m_dir.File("ZEN.ini");
    const std::string log = m_dir.File("ZEN.log");
    WriteFileText(config, "[Log]\nFile=" + log + "\n");
    const std::map<std::string, std::optional<std::string>> env = {{"ZEN_CONFIG", config},
                                                                   {"ZEN_NEW_PASSWORD", "Secret-Pw-1"}};
    ASSERT_EQ(Zendb({"users", "add", "boss", "--role", "administrator"}, env).status, 0);
    auto withLogin = env;
    withLogin["ZEN_PASSWORD"] = "Secret-Pw-1";
    withLogin["ZEN_NEW_PASSWORD"] = "Other-Pw-2";
    const CRun passwd = Zendb({"--user", "boss", "users", "passwd", "boss"}, withLogin);
    ASSERT_EQ(passwd.status, 0) << passwd.err;

    const auto changes = Of("user", "change");
    ASSERT_EQ(changes.size(), 1u) << Entries().dump(1);
    EXPECT_EQ(changes[0]["ObjectIdentifier"], "boss");
    EXPECT_EQ(changes[0]["FieldName"], "password");
    EXPECT_EQ(changes[0]["OldValue"], "");
    EXPECT_EQ(changes[0]["NewValue"], "password changed");
    EXPECT_EQ(changes[0]["UserName"], "boss");
    const auto added = Of("user", "insert");
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0]["NewValue"], "2");

    const std::string trail = Zendb({"--format", "csv", "audit"}).out;
    const std::string logText = ReadFileText(log);
    for (const std::string secret : {"Secret-Pw-1", "Other-Pw-2"}) {
        EXPECT_EQ(trail.find(secret), std::string::npos);
        EXPECT_EQ(logText.find(secret), std::string::npos);
    }
    // Nor the stored forms of the passwords.
    CDatabase db;
    db.OpenEx(ZenConnectStringForLocation(m_db.c_str()), CDatabase::noOdbcDialog);
    CRecordset users(&db);
    users.Open(CRecordset::forwardOnly, "SELECT Field1 FROM Table1", CRecordset::readOnly);
    CString stored;
    users.GetFieldValue("Field1", stored);
    users.Close();
    db.Close();
    ASSERT_FALSE(stored.IsEmpty());
    EXPECT_EQ(trail.find(stored.Str()), std::string::npos);
}

TEST_P(ToolAudit, FailedAndSucceededLogins)
{
    ASSERT_EQ(Zendb({"users", "add", "ana"}, {{"ZEN_NEW_PASSWORD", "right"}}).status, 0);
    EXPECT_EQ(Zendb({"--user", "ana", "info"}, {{"ZEN_PASSWORD", "wrong"}}).status, 1);
    EXPECT_EQ(Zendb({"--user", "nobody-here", "info"}, {{"ZEN_PASSWORD", "x"}}).status, 1);
    ASSERT_EQ(Zendb({"--user", "ana", "info"}, {{"ZEN_PASSWORD", "right"}}).status, 0);

    const auto failed = Of("user", "login failed");
    ASSERT_EQ(failed.size(), 2u) << Entries().dump(1);
    EXPECT_EQ(failed[0]["UserName"], "ana");
    EXPECT_EQ(failed[1]["UserName"], "nobody-here");
    EXPECT_EQ(failed[1]["ObjectIdentifier"], "nobody-here");
    const auto logins = Of("user", "login");
    ASSERT_GE(logins.size(), 1u);
    EXPECT_EQ(logins[0]["UserName"], "ana");
    EXPECT_EQ(Entries({"--user", "nobody-here"}).size(), 1u);
}

TEST_F(ToolAuditFile, TheChangeAndItsEntryCommitTogether_FileOnly)
{
    Ok({"samples", "register", "S-1", "WorkOrder=W-1"});
    const size_t before = Entries().size();

    // An audit write that fails leaves no change.
    ExecuteOn(m_db, {"CREATE TRIGGER refuse_entries BEFORE INSERT ON AuditTrail "
                     "BEGIN SELECT RAISE(ABORT, 'entries refused'); END"});
    EXPECT_EQ(Zendb({"samples", "set", "S-1", "WorkOrder=W-2"}).status, 1);
    EXPECT_EQ(Zendb({"samples", "register", "S-2"}).status, 1);
    ExecuteOn(m_db, {"DROP TRIGGER refuse_entries"});
    EXPECT_EQ(Json({"samples", "show", "S-1"})["WorkOrder"], "W-1");
    EXPECT_EQ(Zendb({"samples", "show", "S-2"}).status, 1);
    EXPECT_EQ(Entries().size(), before);

    // A change that fails after its run's entry was written leaves neither.
    ExecuteOn(m_db, {"CREATE TRIGGER refuse_indents BEFORE INSERT ON IndentsRun "
                     "BEGIN SELECT RAISE(ABORT, 'indents refused'); END"});
    EXPECT_EQ(Zendb({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("run.csv", ProfileCsv())}).status, 1);
    ExecuteOn(m_db, {"DROP TRIGGER refuse_indents"});
    EXPECT_EQ(Json({"runs", "list", "R-1"}).size(), 0u);
    EXPECT_EQ(Entries().size(), before);
    EXPECT_EQ(Verify().status, 0);
}

// A save writes its entry in its own transaction, without a scope of the
// entry's own: the head written after the entry failing leaves neither the
// change nor the entry.
TEST_F(ToolAuditFile, AHeadThatCannotBeWrittenLeavesNoChangeAndNoEntry_FileOnly)
{
    Ok({"samples", "register", "S-1", "WorkOrder=W-1"});
    const size_t before = Entries().size();
    ExecuteOn(m_db, {"CREATE TRIGGER refuse_head BEFORE UPDATE ON AuditTrailHead "
                     "BEGIN SELECT RAISE(ABORT, 'head refused'); END"});
    EXPECT_EQ(Zendb({"samples", "register", "S-2"}).status, 1);
    EXPECT_EQ(Zendb({"samples", "set", "S-1", "WorkOrder=W-2"}).status, 1);
    ExecuteOn(m_db, {"DROP TRIGGER refuse_head"});
    EXPECT_EQ(Zendb({"samples", "show", "S-2"}).status, 1);
    EXPECT_EQ(Json({"samples", "show", "S-1"})["WorkOrder"], "W-1");
    EXPECT_EQ(Entries().size(), before);
    EXPECT_EQ(Verify().status, 0);
    Ok({"samples", "register", "S-2"});
    EXPECT_EQ(Entries().size(), before + 1);
    EXPECT_EQ(Verify().status, 0);
}

struct CTamper {
    const char* name;
    std::vector<std::string> statements;
    int brokenEntry;  // 0: the chain head
    const char* problem;
};

TEST_F(ToolAuditFile, VerifyNamesTheFirstEntryChangedInsertedOrRemoved_FileOnly)
{
    // Entries 1 .. 7: pattern, R-1, S-1..S-5 inserted.
    for (int i = 1; i <= 5; ++i)
        Ok({"samples", "register", "S-" + std::to_string(i)});
    const std::vector<CTamper> cases = {
        {"changed", {"UPDATE AuditTrail SET NewValue = 'x' WHERE EntryID = 4"}, 4, "hash does not match"},
        {"identifier changed", {"UPDATE AuditTrail SET ObjectIdentifier = 'S-9' WHERE EntryID = 5"}, 5,
         "hash does not match"},
        {"inserted",
         {"UPDATE AuditTrail SET EntryID = EntryID + 100 WHERE EntryID > 3",
          "INSERT INTO AuditTrail SELECT 4, EntryTime, Station, UserName, Action, ObjectKind, ObjectKey, "
          "ObjectIdentifier, FieldName, OldValue, NewValue, Reason, Hash, Hash FROM AuditTrail WHERE EntryID = 3"},
         4, "hash does not match"},
        {"removed in the middle", {"DELETE FROM AuditTrail WHERE EntryID = 4"}, 5, "does not follow"},
        {"removed at the end", {"DELETE FROM AuditTrail WHERE EntryID >= 6"}, 0, "last 2 entries"},
        {"head reset", {"DELETE FROM AuditTrail WHERE EntryID >= 6", "UPDATE AuditTrailHead SET Entries = 5"}, 0,
         "head"},
    };
    for (const CTamper& tamper : cases) {
        SCOPED_TRACE(tamper.name);
        const std::string copy = m_dir.File(std::string("copy-") + std::to_string(&tamper - cases.data()) + ".db");
        std::filesystem::copy_file(m_db, copy);
        // The copy is read with the station key of the original, as a copy
        // examined at the station would be.
        if (std::filesystem::exists(m_db + ".key"))
            std::filesystem::copy_file(m_db + ".key", copy + ".key");
        ExecuteOn(copy, tamper.statements);
        const CRun verify = RunZendb({"--db", copy, "audit", "verify"});
        EXPECT_EQ(verify.status, 1) << verify.out;
        if (tamper.brokenEntry > 0)
            EXPECT_NE(verify.err.find("broken at entry " + std::to_string(tamper.brokenEntry) + ":"),
                      std::string::npos)
                << verify.err;
        else
            EXPECT_NE(verify.err.find("audit trail broken: "), std::string::npos) << verify.err;
        EXPECT_NE(verify.err.find(tamper.problem), std::string::npos) << verify.err;
        const auto json = nlohmann::json::parse(RunZendb({"--db", copy, "--format", "json", "audit", "verify"}).out);
        EXPECT_EQ(json["Intact"], false);
    }
    EXPECT_EQ(Verify().status, 0);
}

TEST_P(ToolAudit, TwoProcessesWritingAtOnceKeepOneChain)
{
    CRun first;
    CRun second;
    std::thread a([&] { first = Zendb({"samples", "register", "A-001", "--count", "15"}); });
    std::thread b([&] { second = Zendb({"samples", "register", "B-001", "--count", "15"}); });
    a.join();
    b.join();
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(second.status, 0) << second.err;
    const CRun verify = Verify();
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_EQ(verify.out, "audit trail intact: 32 entries\n");
}

TEST_F(ToolAuditFile, FileWithoutTheTrailKeepsWorkingAndGetsIt_FileOnly)
{
    // As software that does not know the trail leaves a file: no tables.
    ExecuteOn(m_db, {"DROP TABLE AuditTrail", "DROP TABLE AuditTrailHead"});
    const CRun verifyBefore = RunZendb({"--db", m_db, "--quiet", "audit"});
    EXPECT_EQ(verifyBefore.status, 0) << verifyBefore.err;

    Ok({"samples", "register", "S-1"});
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 2u) << entries.dump(1);
    EXPECT_EQ(entries[0]["Action"], "upgrade");
    EXPECT_EQ(entries[0]["NewValue"], "audit trail added");
    EXPECT_EQ(entries[1]["ObjectIdentifier"], "S-1");
    EXPECT_EQ(Verify().status, 0);

    // A file of an older schema: the upgrade records itself.
    const std::string old = m_dir.File("old.db");
    ASSERT_EQ(RunZendb({"init", old, "--schema-version", "1.8"}).status, 0);
    const CRun upgrade = RunZendb({"--db", old, "upgrade"});
    ASSERT_EQ(upgrade.status, 0) << upgrade.err;
    const auto upgraded = nlohmann::json::parse(RunZendb({"--db", old, "--format", "json", "audit"}).out);
    ASSERT_EQ(upgraded.size(), 2u) << upgraded.dump(1);
    EXPECT_EQ(upgraded[0]["Action"], "upgrade");
    EXPECT_EQ(upgraded[0]["OldValue"], "1.8");
    EXPECT_EQ(upgraded[0]["NewValue"], "1.9");
}

ZEN_TOOL_ENGINES(ToolAudit);

} // namespace
} // namespace zentest
