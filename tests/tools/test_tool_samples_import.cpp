// zendb as a process: registering the samples of a worklist (CSV or JSON)
// with 'samples import', all rows or none, with each row's fate reported.
#include "ToolTestSupport.h"

namespace zentest {
namespace {

using Env = std::map<std::string, std::optional<std::string>>;

class CSamplesImportFixture : public CToolFixture {
protected:
    // Writes text to the file `name` in the test's folder; returns its path.
    std::string File(const std::string& name, const std::string& text) const
    {
        const std::string path = m_dir.File(name);
        WriteFileText(path, text);
        return path;
    }
    // zendb --db file --format json samples list, parsed.
    static nlohmann::json ListOf(const std::string& db)
    {
        const CRun run = RunZendb({"--db", db, "--format", "json", "samples", "list"});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.status == 0 ? nlohmann::json::parse(run.out) : nlohmann::json::array();
    }
    // A new database file in the test's folder.
    std::string FreshDatabase(const std::string& name) const
    {
        const std::string db = m_dir.File(name);
        const CRun init = RunZendb({"init", db});
        EXPECT_EQ(init.status, 0) << init.err;
        return db;
    }
};

class ToolSamplesImport : public CEngineTool<CSamplesImportFixture> {};
// A trigger written past the tool in the file engine's own words.
using ToolSamplesImportFile = CSamplesImportFixture;

// The samples of a listing by identifier, without their keys (a database
// gives its own).
std::map<std::string, nlohmann::json> ByIdentifier(const nlohmann::json& list)
{
    std::map<std::string, nlohmann::json> samples;
    for (nlohmann::json sample : list) {
        sample.erase("SampleID");
        samples[sample["UserSampleID"].get<std::string>()] = sample;
    }
    return samples;
}

// Outcome and reason of each row of a JSON report, as "row id outcome: reason".
std::vector<std::string> Fates(const std::string& out)
{
    std::vector<std::string> fates;
    for (const auto& row : nlohmann::json::parse(out))
        fates.push_back(std::to_string(row["Row"].get<int>()) + " " + row["UserSampleID"].get<std::string>() + " " +
                        row["Outcome"].get<std::string>() + ": " + row["Reason"].get<std::string>());
    return fates;
}

TEST_P(ToolSamplesImport, ListingsRoundTripIntoAFreshDatabase)
{
    Ok({"fields", "describe", "CustomField1", "Heat lot"});
    Ok({"samples", "register", "RT-1", "WorkOrder=WO-1", "Customer=Acme, Ltd", "DueDate=2030-02-03",
        "Heat lot=H 17", "Detail=say \"when\""});
    Ok({"samples", "register", "RT-2", "Material=16MnCr5", "PartNo=P;7", "Customer=Müller & Söhne"});
    Ok({"samples", "register", "RT-3"});
    const auto original = ByIdentifier(ListOf(m_db));
    ASSERT_EQ(original.size(), 3u);

    for (const std::string format : {"json", "csv"}) {
        SCOPED_TRACE(format);
        const std::string listing = File("list." + format, Ok({"--format", format, "samples", "list"}));
        const std::string copy = FreshDatabase("copy-" + format + ".db");
        const CRun import = RunZendb({"--db", copy, "samples", "import", listing});
        ASSERT_EQ(import.status, 0) << import.err;
        EXPECT_EQ(ByIdentifier(ListOf(copy)), original);
    }
}

TEST_P(ToolSamplesImport, ColumnsByNameOrDescriptionInAnyLetterCase)
{
    Ok({"fields", "describe", "CustomField1", "Heat lot"});
    struct CCase {
        const char* name;
        Env env;
        std::string header;
    };
    const std::vector<CCase> cases = {
        {"column names", {}, "UserSampleID,WorkOrder,Customer,DueDate,CustomField1"},
        {"column names in other letter case", {}, "usersampleid,WORKORDER,customer,duedate,customfield1"},
        {"English labels and a description", {}, "Sample ID,Work order,CUSTOMER,due date,heat lot"},
        {"Spanish labels", {{"LANG", "es_ES.UTF-8"}}, "Identificador de la muestra,Orden de trabajo,Cliente,Fecha de vencimiento,Heat lot"},
    };
    int n = 0;
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string id = "C-" + std::to_string(++n);
        const std::string path = File("names.csv", c.header + "\n" + id + ",WO-9,Acme,2031-05-06,H-3\n");
        const CRun run = Zendb({"samples", "import", path}, c.env);
        ASSERT_EQ(run.status, 0) << run.err;
        const auto sample = Json({"samples", "show", id});
        EXPECT_EQ(sample["WorkOrder"], "WO-9");
        EXPECT_EQ(sample["Customer"], "Acme");
        EXPECT_EQ(sample["DueDate"], "2031-05-06 00:00:00");
        EXPECT_EQ(sample["CustomField1"], "H-3");
        EXPECT_FALSE(sample["RegisteredBy"].get<std::string>().empty());
        EXPECT_FALSE(sample["RegistrationDate"].is_null());
    }
}

TEST_P(ToolSamplesImport, ABadRowAnywhereRegistersNothingAndNamesEveryBadRow)
{
    Ok({"samples", "register", "OLD-1"});
    const std::string longText(101, 'x');
    const std::string path = File("bad.csv", "UserSampleID,Customer,DueDate,MeasuredBy,SampleID\n"
                                             "B-1,Acme,2030-01-01,,17\n"
                                             "B-2,Acme,2030-13-01,,\n"
                                             "B-3," + longText + ",,,\n"
                                             " ,Acme,,,\n"
                                             "B-4,Acme,,Ana,x1\n"
                                             "old-1,Acme,,,\n"
                                             "B-5,Acme\n"
                                             "b-1,Acme,,,\n"
                                             "B-6,Acme,2030-02-30,,\n"
                                             "B-7,Acme,,,\n");
    const CRun run = Zendb({"--format", "json", "samples", "import", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zendb: nothing registered: 9 of 10 rows refused\n");
    EXPECT_EQ(Fates(run.out),
              (std::vector<std::string>{
                  "2 B-1 refused: the identifier stands in rows 2, 9 of the file",
                  "3 B-2 refused: DueDate: '2030-13-01' is not a date (YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], today or now)",
                  "4 B-3 refused: Customer: 101 characters, the column holds 100",
                  "5   refused: a sample identifier cannot be empty",
                  "6 B-4 refused: MeasuredBy cannot be set at registration; SampleID: 'x1' is not a whole number",
                  "7 old-1 refused: already registered",
                  "8 B-5 refused: 2 fields where the header has 5",
                  "9 b-1 refused: the identifier stands in rows 2, 9 of the file",
                  "10 B-6 refused: DueDate: '2030-02-30' is not a date of the calendar",
                  "11 B-7 valid: ",
              }));
    EXPECT_EQ(ListOf(m_db).size(), 1u);
}

TEST_P(ToolSamplesImport, RowsAlreadyRegisteredAreRefusedOrSkipped)
{
    Ok({"samples", "register", "D-1", "Customer=First"});
    const std::string path = File("dup.json", R"([{"UserSampleID": "d-1", "Customer": "Second"},
                                                   {"UserSampleID": "D-2", "Customer": "Second"}])");
    const CRun refused = Zendb({"--format", "json", "samples", "import", path});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(Fates(refused.out),
              (std::vector<std::string>{"1 d-1 refused: already registered", "2 D-2 valid: "}));
    EXPECT_EQ(ListOf(m_db).size(), 1u);

    const CRun skipped = Zendb({"--format", "json", "samples", "import", path, "--skip-existing"});
    ASSERT_EQ(skipped.status, 0) << skipped.err;
    EXPECT_EQ(Fates(skipped.out),
              (std::vector<std::string>{"1 d-1 skipped: already registered", "2 D-2 registered: "}));
    const auto report = nlohmann::json::parse(skipped.out);
    EXPECT_TRUE(report[0]["SampleID"].is_null());
    EXPECT_EQ(report[1]["SampleID"], Json({"samples", "show", "D-2"})["SampleID"]);
    EXPECT_EQ(Json({"samples", "show", "D-1"})["Customer"], "First");
    EXPECT_EQ(Json({"samples", "show", "D-2"})["Customer"], "Second");

    // People get a table and the count.
    const CRun again = Zendb({"samples", "import", path, "--skip-existing"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "Row  Sample ID  Outcome  Key  Reason\n"
                         "---  ---------  -------  ---  ------------------\n"
                         "  1  d-1        skipped       already registered\n"
                         "  2  D-2        skipped       already registered\n"
                         "registered 0, skipped 2 already registered\n");
}

TEST_P(ToolSamplesImport, CsvLayoutsFromSpreadsheets)
{
    struct CCase {
        const char* name;
        std::string text;
        std::string customer;
        std::string detail;
    };
    const std::vector<CCase> cases = {
        {"byte order mark and ';'", "\xEF\xBB\xBFUserSampleID;Customer;Detail\r\nQ-1;Acme, Ltd;d\r\n", "Acme, Ltd", "d"},
        {"quoted separators and quotes", "UserSampleID,Customer,Detail\nQ-2,\"Acme, Ltd\",\"say \"\"hi\"\"\"\n",
         "Acme, Ltd", "say \"hi\""},
        {"line breaks in quotes", "UserSampleID;Customer;Detail\r\nQ-3;\"Acme;\r\nLtd\";\"one\ntwo\"\r\n\r\n",
         "Acme;\nLtd", "one\ntwo"},
        {"blank lines and no final line break", "UserSampleID,Customer,Detail\n\nQ-4,Acme,\"\"", "Acme", ""},
        {"non-ASCII letters", "UserSampleID,Customer,Detail\nQ-5,Müller,Ünïcödé ✓\n", "Müller", "Ünïcödé ✓"},
    };
    int n = 0;
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = File("layout.csv", c.text);
        const CRun run = Zendb({"samples", "import", path});
        ASSERT_EQ(run.status, 0) << run.err;
        const auto sample = Json({"samples", "show", "Q-" + std::to_string(++n)});
        EXPECT_EQ(sample["Customer"], c.customer);
        EXPECT_EQ(sample["Detail"], c.detail);
    }
}

TEST_P(ToolSamplesImport, FilesThatCannotBeReadAsAWholeAreRefused)
{
    struct CCase {
        const char* name;
        const char* file;
        std::string text;
        std::string error;   // after "zendb: " and the file's path
    };
    const std::vector<CCase> cases = {
        {"Latin-1 text", "latin1.csv", "UserSampleID,Customer\nL-1,M\xFCller\n",
         "' is not UTF-8 text (line 2, byte 28); save the worklist as UTF-8"},
        {"unknown columns", "unknown.csv", "UserSampleID,Colour,Customer,Weight\nL-1,red,Acme,3\n",
         "' has columns that name no field of a sample: 'Colour', 'Weight' ('zendb fields list' shows the fields); "
         "nothing registered"},
        {"two columns for one field", "twice.csv", "UserSampleID,Customer,customer\nL-1,a,b\n",
         "': the column 'customer' stands twice"},
        {"a field by name and by label", "twice2.csv", "UserSampleID,WorkOrder,Work order\nL-1,a,b\n",
         "': the columns 'WorkOrder' and 'Work order' both name WorkOrder; nothing registered"},
        {"no identifier column", "noid.csv", "Customer\nAcme\n",
         "' has no UserSampleID column (the sample identifiers)"},
        {"a quote not closed", "open.csv", "UserSampleID,Customer\nL-1,\"Acme\nL-2,x\n",
         "': the quoted field opened on line 2 is not closed"},
        {"header only", "empty.csv", "UserSampleID,Customer\n", "' lists no samples"},
        {"no JSON array", "object.json", R"({"UserSampleID": "L-1"})", "' holds no JSON array of samples"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = File(c.file, c.text);
        const CRun run = Zendb({"samples", "import", path});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "zendb: '" + path + c.error + "\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(ListOf(m_db).size(), 0u);

    const CRun noFormat = Zendb({"samples", "import", File("list.txt", "UserSampleID\nL-1\n")});
    EXPECT_EQ(noFormat.status, 2);
    const CRun given = Zendb({"samples", "import", m_dir.File("list.txt"), "--input-format", "csv"});
    EXPECT_EQ(given.status, 0) << given.err;
    // Standard input has no name to tell the format by.
    const std::string piped = File("piped.json", R"([{"UserSampleID": "P-1"}])");
    EXPECT_EQ(RunZendb({"--db", m_db, "samples", "import", "-"}, {}, piped).status, 2);
    const CRun fromPipe = RunZendb({"--db", m_db, "samples", "import", "-", "--input-format", "json"}, {}, piped);
    EXPECT_EQ(fromPipe.status, 0) << fromPipe.err;
    EXPECT_EQ(ListOf(m_db).size(), 2u);
}

TEST_P(ToolSamplesImport, JsonValuesOfTheWrongKindAreRefused)
{
    const std::string path = File("kinds.json", R"([
        {"UserSampleID": "J-1", "Customer": 17},
        {"UserSampleID": 2, "Customer": "Acme"},
        {"UserSampleID": "J-3", "DueDate": [2030, 1, 1]},
        {"UserSampleID": "J-4", "Signed": true},
        "J-5",
        {"UserSampleID": "J-6", "Signed": false, "SampleID": 99, "MeasuredDate": null, "Customer": null}
    ])");
    const CRun run = Zendb({"--format", "json", "samples", "import", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Fates(run.out), (std::vector<std::string>{
                                  "1 J-1 refused: Customer: a text is expected",
                                  "2 2 refused: the sample identifier must be a text",
                                  "3 J-3 refused: DueDate: a single value is expected",
                                  "4 J-4 refused: a sample is signed after it is measured, not at registration",
                                  "5  refused: the entry is no JSON object",
                                  "6 J-6 valid: ",
                              }));
    EXPECT_EQ(ListOf(m_db).size(), 0u);
}

TEST_F(ToolSamplesImportFile, AFailingSaveTakesTheRowsBeforeItBack_FileOnly)
{
    // The engine fails the second insert (a value beyond its length limit),
    // after the first one went through.
    ExecuteOn(m_db, {"CREATE TRIGGER FailT2 AFTER INSERT ON Samples WHEN NEW.UserSampleID = 'T-2' "
                     "BEGIN SELECT zeroblob(2000000000); END"});
    const CRun run = Zendb({"samples", "import", File("two.csv", "UserSampleID\nT-1\nT-2\nT-3\n")});
    EXPECT_EQ(run.status, 1);
    const std::string start = "zendb: row 3: cannot register sample 'T-2' (string or blob too big";
    const std::string end = "); nothing registered\n";
    EXPECT_EQ(run.err.substr(0, start.size()), start) << run.err;
    ASSERT_GE(run.err.size(), end.size());
    EXPECT_EQ(run.err.substr(run.err.size() - end.size()), end) << run.err;
    EXPECT_EQ(ListOf(m_db).size(), 0u);
}

TEST_P(ToolSamplesImport, RegisteringNeedsALoginWhenTheDatabaseHasUsers)
{
    const std::string db = m_dir.File("users.db");
    ASSERT_EQ(RunZendb({"init", db, "--admin", "boss"}, {{"ZEN_PASSWORD", "s3cret"}}).status, 0);
    const std::string path = File("one.csv", "UserSampleID\nU-1\n");
    const CRun anonymous = RunZendb({"--db", db, "samples", "import", path});
    EXPECT_EQ(anonymous.status, 1);
    EXPECT_EQ(anonymous.err, "zendb: importing samples needs the role operator; nobody is logged in: give --user NAME\n");
    const CRun boss = RunZendb({"--db", db, "--user", "boss", "samples", "import", path}, {{"ZEN_PASSWORD", "s3cret"}});
    ASSERT_EQ(boss.status, 0) << boss.err;
    const auto list = ListOf(db);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["RegisteredBy"], "boss");
}

ZEN_TOOL_ENGINES(ToolSamplesImport);

} // namespace
} // namespace zentest
