// zendb as a process on the record it acts on: identifiers are identifiers
// and keys come through --key, typed values reach the file unchanged, names
// are trimmed and checked, and what is printed from the file cannot drive the
// terminal or end a listing early.
#include "ToolTestSupport.h"

#include "database/StationCopy.h"
#include "framework/sql/Database.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zentest {
namespace {

class ToolIdentifiers : public CEngineTool<CToolFixture> {};
// Values written past the tool with a NUL byte inside a text: only a file
// can hold them (the server's texts cannot).
using ToolIdentifiersFile = CToolFixture;

std::vector<std::string> Ids(const nlohmann::json& list)
{
    std::vector<std::string> ids;
    for (const auto& sample : list)
        ids.push_back(sample["UserSampleID"].get<std::string>());
    return ids;
}

void ExecRaw(const std::string& path, const std::vector<std::string>& statements)
{
    CDatabase db;
    db.OpenEx(ZenConnectStringForLocation(path.c_str()), CDatabase::noOdbcDialog);
    for (const std::string& sql : statements)
        db.ExecuteSQL(sql.c_str());
}

bool HasRawControl(const std::string& text)
{
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\n' && c != '\r') || c == 0x7F)
            return true;
    return text.find("\xC2\x9B") != std::string::npos;
}

TEST_P(ToolIdentifiers, AnIdentifierIsNeverAKey)
{
    Ok({"samples", "register", "A"});    // key 1
    Ok({"samples", "register", "#1"});   // key 2
    Ok({"samples", "register", "C"});    // key 3

    EXPECT_EQ(Ok({"samples", "set", "#1", "Customer=hash"}), "changed #1\n");
    EXPECT_EQ(Json({"samples", "show", "#1"})["SampleID"], 2);
    EXPECT_EQ(Json({"samples", "show", "#1"})["Customer"], "hash");
    EXPECT_EQ(Json({"samples", "show", "A"})["Customer"], "");

    // The key goes through --key, with set's FIELD=VALUE right after it.
    EXPECT_EQ(Json({"samples", "show", "--key", "1"})["UserSampleID"], "A");
    EXPECT_EQ(Ok({"samples", "set", "--key", "3", "Customer=by key"}), "changed C\n");
    EXPECT_EQ(Json({"samples", "show", "C"})["Customer"], "by key");
    EXPECT_EQ(Ok({"runs", "list", "--key", "1", "--format", "csv"}),
              "ProfileID,ProfileNr,ProfileName,Position,Indents,Standard,CurveType\r\n");
    const CRun noRun = Zendb({"runs", "delete", "--key", "1", "4"});
    EXPECT_EQ(noRun.status, 1);
    EXPECT_EQ(noRun.err, "zendb: sample 'A' has no run 4\n");

    EXPECT_EQ(Ok({"samples", "delete", "#1"}), "deleted #1\n");
    EXPECT_EQ(Ids(Json({"samples", "list"})), (std::vector<std::string>{"C", "A"}));
    const CRun gone = Zendb({"samples", "show", "--key", "2"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.err, "zendb: no sample with key 2\n");
    EXPECT_EQ(Zendb({"samples", "show", "#3"}).status, 1);

    struct {
        std::vector<std::string> args;
        const char* message;
    } const refused[] = {
        {{"samples", "show", "A", "--key", "1"}, "give either the sample identifier or --key, not both"},
        {{"samples", "set", "A", "--key", "1", "Customer=x"}, "give either the sample identifier or --key, not both"},
        {{"samples", "show"}, "give the sample identifier (or its database key with --key N)"},
        {{"samples", "delete"}, "give the sample identifier (or its database key with --key N)"},
        {{"samples", "show", "--key", "0"}, "'0' is none"},
        {{"samples", "show", "--key", "-1"}, "'-1' is none"},
        {{"samples", "show", "--key", "0x1"}, "'0x1' is none"},
        {{"samples", "show", "--key", "1.0"}, "'1.0' is none"},
        {{"samples", "show", "--key", "2147483648"}, "'2147483648' is none"},
        {{"samples", "show", "--key", ""}, "'' is none"},
        {{"runs", "delete", "--key", "1"}, "give the run number"},
    };
    for (const auto& c : refused) {
        const CRun run = Zendb(c.args);
        EXPECT_EQ(run.status, 2) << c.args.back();
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }

    const std::string help = RunZendb({"samples", "show", "--help"}).out;
    EXPECT_NE(help.find("--key"), std::string::npos) << help;
    EXPECT_EQ(help.find("#KEY"), std::string::npos) << help;
}

TEST_P(ToolIdentifiers, TypedValuesReachTheFileUnchanged)
{
    const std::vector<std::string> values = {
        "[br]", "[]", "[a,b]", "[", "]", "{}", "%%", "100%", "a,b", "\"q\"", "'q'", "x'y", "#5", "#",
        "--x", "\xEE\x80\x80mark", "\xEE\x80\x80\xEE\x80\x80", "\xEE\x80\x80[x]", "M\xC3\xBCller [1]"};
    for (const std::string& value : values) {
        SCOPED_TRACE(value);
        const CRun reg = Zendb({"samples", "register", "--", value});
        ASSERT_EQ(reg.status, 0) << reg.err;
        EXPECT_EQ(reg.out, "registered " + value + "\n");
        // Registration field values, positionals and options alike.
        EXPECT_EQ(Ok({"samples", "set", "--", value, "Customer=" + value, "Detail=[" + value + "]"}),
                  "changed " + value + "\n");
        const auto shown = Json({"samples", "show", "--", value});
        EXPECT_EQ(shown["UserSampleID"], value);
        EXPECT_EQ(shown["Customer"], value);
        EXPECT_EQ(shown["Detail"], "[" + value + "]");
        const auto found = Json({"samples", "list", "--where", "UserSampleID=" + value});
        EXPECT_NE(std::find(Ids(found).begin(), Ids(found).end(), value), Ids(found).end());
    }
    const auto list = Json({"samples", "list"});
    EXPECT_EQ(list.size(), values.size());

    // Option values, separate and after '='.
    Ok({"patterns", "add", "[P,1]", "--comment", "[c,d]"});
    Ok({"patterns", "add", "P2", "--comment=[e]"});
    EXPECT_EQ(Json({"patterns", "show", "[P,1]"})["Comment"], "[c,d]");
    EXPECT_EQ(Json({"patterns", "show", "P2"})["Comment"], "[e]");
    Ok({"--reason=[why]", "samples", "set", "[br]", "Detail=[e]"});
    EXPECT_EQ(Json({"samples", "show", "[br]"})["Detail"], "[e]");
}

TEST_P(ToolIdentifiers, IdentifiersAndNamesAreTrimmedAndChecked)
{
    EXPECT_EQ(Ok({"samples", "register", "  S-1  "}), "registered S-1\n");
    EXPECT_EQ(Json({"samples", "show", " S-1"})["UserSampleID"], "S-1");
    const std::string fifty(50, 'x');
    std::string fiftyUmlauts;
    for (int i = 0; i < 50; ++i)
        fiftyUmlauts += "\xC3\xA4";
    EXPECT_EQ(Ok({"samples", "register", fifty}), "registered " + fifty + "\n");
    EXPECT_EQ(Ok({"samples", "register", fiftyUmlauts}), "registered " + fiftyUmlauts + "\n");

    struct {
        std::vector<std::string> args;
        const char* message;
    } const refused[] = {
        {{"samples", "register", "  "}, "a sample identifier cannot be empty"},
        {{"samples", "register", ""}, "a sample identifier cannot be empty"},
        {{"samples", "register", "S\t2"}, "the sample identifier 'S\\x092' holds a control character (\\x09)"},
        {{"samples", "register", "S-2\n"}, "the sample identifier 'S-2\\x0a' holds a control character (\\x0a)"},
        {{"samples", "register", "\x1b[31mS"}, "holds a control character (\\x1b)"},
        {{"samples", "register", "S\x7f"}, "holds a control character (\\x7f)"},
        {{"samples", "register", "S\xC2\x9B"}, "holds a control character (\\xc2\\x9b)"},
        {{"samples", "register", "S\xFF"}, "the sample identifier 'S\\xff' is not valid UTF-8 (byte 2)"},
        {{"samples", "register", "S\xC0\xAF"}, "is not valid UTF-8"},
        {{"samples", "register", "S\xED\xA0\x80"}, "is not valid UTF-8"},
        {{"samples", "register", fifty + "y"}, "a sample identifier holds at most 50 characters"},
        {{"samples", "register", fiftyUmlauts + "\xC3\xA4"}, "a sample identifier holds at most 50 characters"},
        {{"samples", "register", std::string(48, 'b') + "98", "--count", "3"}, "longer than 50 characters"},
        {{"samples", "set", "S-1", "UserSampleID=a\tb"}, "the sample identifier 'a\\x09b'"},
        {{"samples", "set", "S-1", "UserSampleID= "}, "a sample identifier cannot be empty"},
        {{"samples", "show", "S-1\x1b"}, "holds a control character (\\x1b)"},
        {{"users", "add", "op\x1b", "--new-password", "pw"}, "the user name 'op\\x1b' holds a control character"},
        {{"users", "add", " ", "--new-password", "pw"}, "a user name cannot be empty"},
        {{"patterns", "add", "P\n1"}, "the pattern name"},
        {{"patterns", "add", std::string(101, 'p')}, "a pattern name holds at most 100 characters"},
        {{"routines", "add", "R\t1", "--pattern", "P"}, "the routine name"},
    };
    for (const auto& c : refused) {
        const CRun run = Zendb(c.args);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(HasRawControl(run.err)) << run.err;
    }
    EXPECT_EQ(Json({"samples", "list"}).size(), 3u) << "nothing refused was stored";

    // User names: trimmed, and one name whatever its letter case.
    EXPECT_EQ(Ok({"users", "add", " op ", "--new-password", "pw", "--role", "administrator"}),
              "added user 'op' (administrator)\n");
    const std::map<std::string, std::optional<std::string>> admin = {{"ZEN_PASSWORD", "pw"}};
    for (const char* twin : {"OP", "Op", "op"}) {
        const CRun run = Zendb({"--user", "op", "users", "add", twin, "--new-password", "pw2"}, admin);
        EXPECT_EQ(run.status, 1) << twin;
        EXPECT_NE(run.err.find("user 'op' exists already"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Zendb({"--user", "op", "users", "add", "op2", "--new-password", "pw2"}, admin).status, 0);
    EXPECT_EQ(Json({"users", "list"}).size(), 2u);
    // A login gives the name as it is stored.
    EXPECT_EQ(Zendb({"--user", "OP", "users", "list"}, admin).status, 1);
}

TEST_F(ToolIdentifiersFile, PrintedValuesShowControlCharacters_FileOnly)
{
    // Nine samples written past the tool, one of them with an escape
    // sequence, a NUL byte, a C1 control and a stray byte in its values.
    std::vector<std::string> rows;
    for (int i = 1; i <= 9; ++i) {
        const std::string id = "'R-" + std::to_string(i) + "'";
        if (i == 5)
            rows.push_back("INSERT INTO Samples (UserSampleID, Customer, Signed, Signature) VALUES ('R-5' || char(27) || "
                           "'[2J', 'Ac' || char(0) || 'me' || char(155) || 'x' || char(7), 1, 'Q' || char(27) || ']0;t')");
        else
            rows.push_back("INSERT INTO Samples (UserSampleID, Customer) VALUES (" + id + ", 'C" + std::to_string(i) +
                           "')");
    }
    ExecRaw(m_db, rows);

    const std::string table = Ok({"samples", "list"});
    EXPECT_FALSE(HasRawControl(table)) << table;
    EXPECT_NE(table.find("R-5\\x1b[2J"), std::string::npos) << table;
    EXPECT_NE(table.find("Ac\\x00me\\xc2\\x9bx\\x07"), std::string::npos) << table;
    for (int i = 1; i <= 9; ++i)
        EXPECT_NE(table.find("R-" + std::to_string(i)), std::string::npos) << i;

    const std::string csv = Ok({"--format", "csv", "samples", "list"});
    EXPECT_FALSE(HasRawControl(csv)) << csv;
    size_t lines = 0;
    for (char c : csv)
        lines += c == '\n';
    EXPECT_EQ(lines, 10u) << csv;
    EXPECT_NE(csv.find(",Ac\\x00me\\xc2\\x9bx\\x07,"), std::string::npos) << csv;

    const std::string json = Ok({"--format", "json", "samples", "list"});
    EXPECT_FALSE(HasRawControl(json)) << json;
    const auto parsed = nlohmann::json::parse(json);
    ASSERT_EQ(parsed.size(), 9u);
    for (const auto& sample : parsed) {
        if (sample["SampleID"] != 5)
            continue;
        EXPECT_EQ(sample["UserSampleID"], "R-5\x1b[2J");
        EXPECT_EQ(sample["Customer"], std::string("Ac\0me\xC2\x9Bx\x07", 9));
    }

    // The sample is still reachable by its key; errors and show quote it visibly.
    const std::string shown = Ok({"samples", "show", "--key", "5"});
    EXPECT_FALSE(HasRawControl(shown)) << shown;
    EXPECT_NE(shown.find("Q\\x1b]0;t"), std::string::npos) << shown;
    const CRun signedAlready = Zendb({"samples", "set", "--key", "5", "Detail=x"});
    EXPECT_EQ(signedAlready.status, 1);
    EXPECT_EQ(signedAlready.err,
              "zendb: Sample 'R-5\\x1b[2J' is signed. Changing it needs a reason.\n");
}

ZEN_TOOL_ENGINES(ToolIdentifiers);

} // namespace
} // namespace zentest
