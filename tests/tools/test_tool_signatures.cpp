// zendb as a process: electronic signatures of samples - who may sign, the
// password asked for again, the station's rule against signing one's own
// measurement, several signatures with their meanings, the lock on a signed
// sample (role and reason), the withdrawal with its trail, the fields that do
// not affect results, the revision, and the report's account of them.
#include "ToolTestSupport.h"

#include <algorithm>

namespace zentest {
namespace {

const std::map<std::string, std::string> kPasswords = {{"boss", "b"}, {"sup", "s"}, {"op", "o"}, {"rev", "r"}};

// Four indents of one Vickers run.
std::string ProfileCsv()
{
    std::string csv = "Depth [mm],Axis [mm],D1 [um],D2 [um],Indentor,Load [gf],Lane\n";
    for (const double depth : {0.1, 0.3, 0.5, 0.7})
        csv += std::to_string(depth) + ",," + VickersDiagonal(600.0 - 100.0 * depth, 1000.0) + "," +
               VickersDiagonal(600.0 - 100.0 * depth, 1000.0) + ",Vickers,1000,1\n";
    return csv;
}

// A station with the administrator boss, the supervisors sup and rev, the
// operator op, and the sample R-1 measured by op (one run).
class CSignaturesFixture : public CRunsFixture {
protected:
    void SetUp() override
    {
        CRunsFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_config = m_dir.File("station.ini");
        WriteConfig("");
        // The first user needs no login; the others are added by him.
        ASSERT_EQ(Zendb({"users", "add", "boss", "--role", "administrator"}, {{"ZEN_NEW_PASSWORD", "b"}}).status, 0);
        for (const auto& [name, role] : std::vector<std::pair<std::string, std::string>>{
                 {"sup", "supervisor"}, {"rev", "supervisor"}, {"op", "operator"}}) {
            const CRun add =
                As("boss", {"users", "add", name, "--role", role}, {{"ZEN_NEW_PASSWORD", kPasswords.at(name)}});
            ASSERT_EQ(add.status, 0) << add.err;
        }
        AsOk("op", {"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("run.csv", ProfileCsv())});
    }

    // The station configuration the processes read, with `signatures` as
    // the lines of its [Signatures] section.
    void WriteConfig(const std::string& signatures)
    {
        WriteFileText(m_config, "[Signatures]\n" + signatures);
    }

    // zendb --db <file> --user <user> args..., the password in ZEN_PASSWORD.
    CRun As(const std::string& user, const std::vector<std::string>& args,
            std::map<std::string, std::optional<std::string>> env = {}) const
    {
        std::vector<std::string> all = {"--user", user};
        all.insert(all.end(), args.begin(), args.end());
        env.emplace("ZEN_PASSWORD", kPasswords.at(user));
        env.emplace("ZEN_CONFIG", m_config);
        return Zendb(all, env);
    }
    std::string AsOk(const std::string& user, const std::vector<std::string>& args) const
    {
        const CRun run = As(user, args);
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out;
    }
    nlohmann::json AsJson(const std::string& user, const std::vector<std::string>& args) const
    {
        std::vector<std::string> all = {"--format", "json"};
        all.insert(all.end(), args.begin(), args.end());
        return nlohmann::json::parse(AsOk(user, all));
    }
    bool IsSigned() const { return AsJson("op", {"samples", "show", "R-1"})["Signed"].get<bool>(); }
    nlohmann::json Report() const { return AsJson("op", {"report", "R-1", "--out", m_dir.File("report.svg")}); }
    // The audit entries of R-1 from the entry with key `after` on, as
    // "action kind field: old -> new (reason)".
    std::vector<std::string> Trail(int after = 0) const
    {
        std::vector<std::string> lines;
        for (const auto& e : AsJson("boss", {"audit", "--sample", "R-1"})) {
            if (e["EntryID"].get<int>() <= after)
                continue;
            lines.push_back(e["Action"].get<std::string>() + " " + e["ObjectKind"].get<std::string>() + " " +
                            e["FieldName"].get<std::string>() + ": " + e["OldValue"].get<std::string>() + " -> " +
                            e["NewValue"].get<std::string>() + " (" + e["Reason"].get<std::string>() + ")");
        }
        return lines;
    }
    int LastEntry() const
    {
        const auto entries = AsJson("boss", {"audit"});
        return entries.empty() ? 0 : entries.back()["EntryID"].get<int>();
    }

    std::string m_config;
};

class ToolSignatures : public CEngineTool<CSignaturesFixture> {};

TEST_P(ToolSignatures, OnlyASupervisorSignsAsHimself)
{
    const CRun op = As("op", {"samples", "sign", "R-1"});
    EXPECT_EQ(op.status, 1);
    EXPECT_EQ(op.err, "zendb: This needs the role supervisor; user 'op' is operator.\n");
    const CRun nobody = Zendb({"samples", "sign", "R-1"});
    EXPECT_EQ(nobody.status, 1);
    EXPECT_EQ(nobody.err, "zendb: Signing needs a login; nobody is logged in.\n");
    // Nobody signs in another person's name any more.
    const CRun by = As("sup", {"samples", "sign", "R-1", "--by", "The Director"});
    EXPECT_EQ(by.status, 2) << by.err;
    EXPECT_FALSE(IsSigned());

    EXPECT_EQ(AsOk("sup", {"samples", "sign", "R-1"}), "signed R-1 by sup (approved)\n");
    EXPECT_TRUE(IsSigned());
    const auto shown = AsJson("op", {"samples", "show", "R-1"});
    EXPECT_EQ(shown["Signature"], "sup");
}

TEST_P(ToolSignatures, ADatabaseWithoutUsersCannotSign)
{
    CTempDir dir;
    const std::string db = dir.File("alone.db");
    ASSERT_EQ(RunZendb({"init", db}).status, 0);
    ASSERT_EQ(RunZendb({"--db", db, "samples", "register", "A-1"}).status, 0);
    const CRun run = RunZendb({"--db", db, "samples", "sign", "A-1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zendb: Signing needs a login, and this database has no users: add users first.\n");
}

TEST_P(ToolSignatures, ASampleWithoutMeasuredProfileIsNotSigned)
{
    AsOk("op", {"samples", "register", "E-1"});
    const CRun run = As("sup", {"samples", "sign", "E-1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zendb: Sample 'E-1' has no measured profile to sign.\n");
}

TEST_P(ToolSignatures, TheSignatureTakesThePasswordOfItsOwnSource)
{
    // The password file serves the login and, read once, the signature.
    const std::string file = m_dir.File("sup.pw");
    WriteFileText(file, "s\n");
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    const CRun run = Zendb({"--user", "sup", "--password-file", file, "samples", "sign", "R-1", "--meaning",
                            "reviewed"},
                           {{"ZEN_CONFIG", m_config}});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "signed R-1 by sup (reviewed)\n");
    const CRun meaning = As("sup", {"samples", "sign", "R-1", "--meaning", "checked"});
    EXPECT_EQ(meaning.status, 2) << meaning.err;
}

TEST_P(ToolSignatures, SigningOwnMeasurementIsForbiddenWhenTheStationSaysSo)
{
    WriteConfig("ForbidSigningOwnMeasurement=1\n");
    const struct {
        const char* measuredBy;
        const char* refusal; // empty: signed
    } cases[] = {
        {"SUP", "zendb: User 'sup' measured sample 'R-1' and may not sign it (the station forbids signing one's "
                "own measurement).\n"},
        {"sup ", "zendb: User 'sup' measured sample 'R-1' and may not sign it (the station forbids signing one's "
                 "own measurement).\n"},
        {"op", ""},
    };
    for (const auto& c : cases) {
        AsOk("sup", {"samples", "set", "R-1", std::string("MeasuredBy=") + c.measuredBy});
        const CRun run = As("sup", {"samples", "sign", "R-1"});
        EXPECT_EQ(run.status, c.refusal[0] == '\0' ? 0 : 1) << c.measuredBy;
        EXPECT_EQ(run.err, c.refusal) << c.measuredBy;
    }
    // Without the setting a supervisor signs what he measured.
    WriteConfig("");
    AsOk("sup", {"--reason", "measured again", "samples", "set", "R-1", "MeasuredBy=sup"});
    EXPECT_EQ(AsOk("sup", {"samples", "sign", "R-1"}), "signed R-1 by sup (approved)\n");
}

TEST_P(ToolSignatures, ReviewedThenApprovedAndTheReportShowsBoth)
{
    AsOk("rev", {"samples", "sign", "R-1", "--meaning", "reviewed"});
    AsOk("sup", {"samples", "sign", "R-1"});
    const CRun twice = As("sup", {"samples", "sign", "R-1", "--meaning", "approved"});
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(twice.err, "zendb: User 'sup' has signed sample 'R-1' as approved already.\n");
    // The row reads as other stations read it: signed by the latest signer.
    EXPECT_EQ(AsJson("op", {"samples", "show", "R-1"})["Signature"], "sup");

    const auto report = Report();
    EXPECT_EQ(report["Revision"], 0);
    ASSERT_EQ(report["Signatures"].size(), 2u) << report.dump(1);
    const std::vector<std::pair<std::string, std::string>> expected = {{"rev", "reviewed"}, {"sup", "approved"}};
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto& s = report["Signatures"][i];
        EXPECT_EQ(s["UserName"], expected[i].first);
        EXPECT_EQ(s["Meaning"], expected[i].second);
        EXPECT_EQ(s["Time"].get<std::string>().size(), 19u);
        EXPECT_EQ(s["Revision"], 0);
        EXPECT_TRUE(s["WithdrawnTime"].is_null());
    }
    const auto signs = Trail();
    EXPECT_EQ(std::count(signs.begin(), signs.end(), "sign sample Signature: revision 0 -> rev (reviewed) ()"), 1)
        << ::testing::PrintToString(signs);
    EXPECT_EQ(std::count(signs.begin(), signs.end(), "sign sample Signature: revision 0 -> sup (approved) ()"), 1)
        << ::testing::PrintToString(signs);
}

TEST_P(ToolSignatures, ASignedSampleChangesOrGoesOnlyWithASupervisorAndAReason)
{
    AsOk("sup", {"samples", "sign", "R-1"});
    const std::string run2 = Csv("run2.csv", ProfileCsv());
    const struct {
        const char* user;
        std::vector<std::string> args;
        const char* refusal;
    } cases[] = {
        {"op", {"samples", "set", "R-1", "Customer=X"},
         "zendb: Sample 'R-1' is signed. This needs the role supervisor; user 'op' is operator.\n"},
        {"sup", {"samples", "set", "R-1", "Customer=X"},
         "zendb: Sample 'R-1' is signed. Changing it needs a reason.\n"},
        {"sup", {"--reason", "  ", "samples", "set", "R-1", "Customer=X"},
         "zendb: Sample 'R-1' is signed. Changing it needs a reason.\n"},
        {"op", {"--reason", "more", "runs", "import", "R-1", "--pattern", "CHD", "--file", run2},
         "zendb: Sample 'R-1' is signed. This needs the role supervisor; user 'op' is operator.\n"},
        {"sup", {"runs", "import", "R-1", "--pattern", "CHD", "--file", run2},
         "zendb: Sample 'R-1' is signed. Changing it needs a reason.\n"},
        {"sup", {"runs", "delete", "R-1", "1"}, "zendb: Sample 'R-1' is signed. Changing it needs a reason.\n"},
        // An operator deletes nothing, signed or not.
        {"op", {"--reason", "gone", "samples", "delete", "R-1", "--with-runs"},
         "zendb: deleting samples or runs needs the role supervisor; user 'op' is operator\n"},
        {"sup", {"samples", "delete", "R-1", "--with-runs"},
         "zendb: Sample 'R-1' is signed. Deleting it needs a reason.\n"},
    };
    const int before = LastEntry();
    for (const auto& c : cases) {
        const CRun run = As(c.user, c.args);
        EXPECT_EQ(run.status, 1) << c.user << " " << ::testing::PrintToString(c.args);
        EXPECT_EQ(run.err, c.refusal) << c.user << " " << ::testing::PrintToString(c.args);
    }
    EXPECT_TRUE(IsSigned());
    EXPECT_EQ(AsJson("op", {"runs", "list", "R-1"}).size(), 1u);
    EXPECT_EQ(Trail(before), std::vector<std::string>{});  // refused changes leave no entry

    // With both, the change is made, recorded with old and new values, and
    // the signature is withdrawn.
    EXPECT_EQ(AsOk("sup", {"--reason", "order number mistyped", "samples", "set", "R-1", "WorkOrder=W-9"}),
              "changed R-1\nthe signature of R-1 is withdrawn: the sample must be signed again\n");
    EXPECT_FALSE(IsSigned());
    EXPECT_EQ(AsJson("op", {"samples", "show", "R-1"})["Signature"], "");
    EXPECT_EQ(Trail(before),
              (std::vector<std::string>{
                  "withdraw sample Signature: sup (approved) ->  (order number mistyped)",
                  "change sample Revision: 0 -> 1 (order number mistyped)",
                  "change sample WorkOrder:  -> W-9 (order number mistyped)",
                  "change sample Signed: 1 -> 0 (order number mistyped)",
                  "change sample Signature: sup ->  (order number mistyped)",
              }));
    const auto report = Report();
    EXPECT_EQ(report["Revision"], 1);
    ASSERT_EQ(report["Signatures"].size(), 1u);
    EXPECT_EQ(report["Signatures"][0]["WithdrawnReason"], "order number mistyped");
    EXPECT_EQ(report["Signatures"][0]["WithdrawnTime"].get<std::string>().size(), 19u);

    // Signed again, at the new revision; then deleted by a supervisor with a reason.
    AsOk("sup", {"samples", "sign", "R-1"});
    EXPECT_EQ(Report()["Signatures"][1]["Revision"], 1);
    EXPECT_EQ(AsOk("sup", {"--reason", "registered twice", "samples", "delete", "R-1", "--with-runs"}),
              "deleted R-1 with 1 profile run(s)\n");
    const auto trail = Trail();
    EXPECT_EQ(trail.back(), "delete sample :  ->  (registered twice)");
    const CRun verify = As("boss", {"audit", "verify"});
    EXPECT_EQ(verify.status, 0) << verify.err;
}

TEST_P(ToolSignatures, RunsOfASignedSampleChangeWithLeaveAndWithdrawIt)
{
    AsOk("sup", {"samples", "sign", "R-1"});
    const std::string run2 = Csv("run2.csv", ProfileCsv());
    EXPECT_EQ(AsOk("sup", {"--reason", "second position", "runs", "import", "R-1", "--pattern", "CHD", "--file", run2}),
              "imported 4 indents as run 2 of R-1 (pattern CHD)\n"
              "the signature of R-1 is withdrawn: the sample must be signed again\n");
    EXPECT_FALSE(IsSigned());
    // One import is one revision, however many rows it writes.
    EXPECT_EQ(Report()["Revision"], 1);
    AsOk("sup", {"samples", "sign", "R-1"});
    EXPECT_EQ(AsOk("sup", {"--reason", "wrong position", "runs", "delete", "R-1", "2"}),
              "deleted run 2 of R-1\nthe signature of R-1 is withdrawn: the sample must be signed again\n");
    EXPECT_EQ(Report()["Revision"], 2);
    // Changes after the withdrawal still count: the sample was signed once.
    AsOk("op", {"samples", "set", "R-1", "Detail=gear"});
    EXPECT_EQ(Report()["Revision"], 3);
}

TEST_P(ToolSignatures, AChangeOnlyToFieldsNotAffectingResultsKeepsTheSignature)
{
    WriteConfig("FieldsNotAffectingResults=Customer, DueDate\n");
    AsOk("sup", {"samples", "sign", "R-1"});
    EXPECT_EQ(AsOk("sup", {"--reason", "customer renamed", "samples", "set", "R-1", "Customer=Acme AG",
                           "DueDate=2030-01-31"}),
              "changed R-1\n");
    EXPECT_TRUE(IsSigned());
    EXPECT_EQ(Report()["Revision"], 1);
    EXPECT_TRUE(Report()["Signatures"][0]["WithdrawnTime"].is_null());
    // Still locked: the role and a reason are needed all the same.
    const CRun op = As("op", {"--reason", "again", "samples", "set", "R-1", "Customer=Other"});
    EXPECT_EQ(op.status, 1);
    // A field that affects results, given together with one that does not.
    EXPECT_EQ(AsOk("sup", {"--reason", "part number", "samples", "set", "R-1", "Customer=Acme", "PartNo=P-2"}),
              "changed R-1\nthe signature of R-1 is withdrawn: the sample must be signed again\n");
    EXPECT_FALSE(IsSigned());
    EXPECT_EQ(Report()["Revision"], 2);
}

ZEN_TOOL_ENGINES(ToolSignatures);

} // namespace
} // namespace zentest
