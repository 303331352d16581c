// zendb as a process: registering samples one by one and in numbered
// batches, listing them by every view and by search criteria, showing,
// changing, signing and deleting them, in people's, JSON and CSV output.
#include "ToolTestSupport.h"

namespace zentest {
namespace {

class ToolSamples : public CEngineTool<CToolFixture> {};

std::vector<std::string> Ids(const nlohmann::json& list)
{
    std::vector<std::string> ids;
    for (const auto& sample : list)
        ids.push_back(sample["UserSampleID"].get<std::string>());
    return ids;
}

TEST_P(ToolSamples, RegisterWithFieldsAndShow)
{
    Ok({"patterns", "add", "CHD", "--preset", "case-hardening"});
    const CRun first = Zendb({"samples", "register", "S-0099", "WorkOrder=WO-1", "customer=Acme Gears",
                              "DueDate=2030-02-03", "--pattern", "CHD"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "registered S-0099\n");

    const auto sample = Json({"samples", "show", "S-0099"});
    EXPECT_EQ(sample["UserSampleID"], "S-0099");
    EXPECT_EQ(sample["WorkOrder"], "WO-1");
    EXPECT_EQ(sample["Customer"], "Acme Gears");
    EXPECT_EQ(sample["DueDate"], "2030-02-03 00:00:00");
    EXPECT_EQ(sample["Signed"], false);
    EXPECT_EQ(sample["DefaultPattern"], "CHD");
    EXPECT_TRUE(sample["MeasuredDate"].is_null());
    EXPECT_FALSE(sample["RegistrationDate"].is_null());
    EXPECT_FALSE(sample["RegisteredBy"].get<std::string>().empty());
    EXPECT_TRUE(sample["Runs"].empty());

    // Without an identifier the next one is proposed (its number increased).
    EXPECT_EQ(Ok({"samples", "next-id"}), "S-0100\n");
    EXPECT_EQ(Ok({"samples", "register", "Customer=Acme Gears"}), "registered S-0100\n");

    // Taken identifiers, unknown patterns and unknown samples fail.
    EXPECT_EQ(Zendb({"samples", "register", "S-0099"}).status, 1);
    EXPECT_EQ(Zendb({"samples", "register", "S-7", "--pattern", "nope"}).status, 1);
    EXPECT_EQ(Zendb({"samples", "show", "S-1234"}).status, 1);
    // A quote in an identifier is just a character.
    Ok({"samples", "register", "O'Brien-1"});
    EXPECT_EQ(Json({"samples", "show", "O'Brien-1"})["UserSampleID"], "O'Brien-1");
}

TEST_P(ToolSamples, BatchIsNumberedAndAllOrNothing)
{
    EXPECT_EQ(Ok({"samples", "register", "B-7", "--count", "3", "Material=16MnCr5"}),
              "registered 3 samples, B-7 .. B-9\n");
    auto list = Json({"samples", "list"});
    EXPECT_EQ(Ids(list), (std::vector<std::string>{"B-9", "B-8", "B-7"}));   // newest first
    for (const auto& sample : list)
        EXPECT_EQ(sample["Material"], "16MnCr5");

    // B-9 is taken: nothing of the batch is stored...
    const CRun clash = Zendb({"samples", "register", "B-8", "--count", "4"});
    EXPECT_EQ(clash.status, 1);
    EXPECT_NE(clash.err.find("B-8, B-9"), std::string::npos) << clash.err;
    EXPECT_EQ(Json({"samples", "list"}).size(), 3u);
    // ...unless the taken ones are passed over.
    Ok({"samples", "register", "B-8", "--count", "4", "--skip-existing"});
    EXPECT_EQ(Ids(Json({"samples", "list"})), (std::vector<std::string>{"B-11", "B-10", "B-9", "B-8", "B-7"}));
    // Carries into a new digit and keeps leading zeros.
    const auto zeros = Json({"samples", "register", "A098", "--count", "3"});
    EXPECT_EQ(Ids(zeros), (std::vector<std::string>{"A098", "A099", "A100"}));
}

TEST_P(ToolSamples, ListViewsAndSearch)
{
    Ok({"samples", "register", "V-1", "Customer=Acme", "WorkOrder=W-17"});
    Ok({"samples", "register", "V-2", "Customer=Borg", "WorkOrder=W-18"});
    Ok({"samples", "register", "V-3", "Customer=Acme Ltd", "WorkOrder=W-27"});
    Ok({"samples", "set", "V-1", "MeasuredDate=" + LocalDate(-2) + " 10:00"});
    Ok({"samples", "set", "V-2", "MeasuredDate=" + LocalDate(-20) + " 10:00"});
    // Signed by another station.
    ExecuteOn(m_db, {"UPDATE Samples SET Signed = TRUE, Signature = 'maria' WHERE UserSampleID = 'V-2'"});

    struct CCase {
        std::vector<std::string> args;
        std::vector<std::string> ids;
    };
    const CCase cases[] = {
        {{"--view", "all"}, {"V-3", "V-2", "V-1"}},
        {{"--view", "last-week"}, {"V-1"}},
        {{"--view", "last-month"}, {"V-2", "V-1"}},
        {{"--view", "unsigned"}, {"V-3", "V-1"}},
        {{"--view", "signed"}, {"V-2"}},
        {{"--where", "Customer=Acme"}, {"V-3", "V-1"}},
        {{"--where", "Customer=Acme", "--where", "WorkOrder=1"}, {"V-1"}},
        {{"--where", "customer=acme", "--view", "last-week"}, {"V-1"}},
        {{"--where", "UserSampleID=V-2"}, {"V-2"}},
        {{"--measured-from", LocalDate(-3)}, {"V-1"}},
        {{"--measured-to", LocalDate(-3)}, {"V-2"}},
        {{"--measured-from", LocalDate(-30), "--measured-to", LocalDate(0)}, {"V-2", "V-1"}},
        {{"--where", "Customer=Nobody"}, {}},
        {{"--limit", "1"}, {"V-3"}},
    };
    for (const CCase& c : cases) {
        std::vector<std::string> args = {"samples", "list"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(Ids(Json(args)), c.ids) << c.args.front() << " " << c.args.back();
    }

    // Stable names in JSON and CSV.
    const auto one = Json({"samples", "list", "--where", "UserSampleID=V-2"})[0];
    for (const char* key : {"SampleID", "UserSampleID", "WorkOrder", "PartNo", "Detail", "Material", "Customer",
                            "RegistrationDate", "DueDate", "RegisteredBy", "MeasuredBy", "MeasuredDate", "Signed",
                            "Signature", "CustomField1", "CustomField19"})
        EXPECT_TRUE(one.contains(key)) << key;
    EXPECT_EQ(one["Signature"], "maria");
    const std::string csv = Ok({"--format", "csv", "samples", "list", "--view", "signed"});
    EXPECT_EQ(csv.rfind("SampleID,UserSampleID,WorkOrder,PartNo,Detail,Material,Customer,", 0), 0u) << csv;
    EXPECT_NE(csv.find(",V-2,W-18,"), std::string::npos) << csv;
    // For people: a header and the visible fields' labels.
    const std::string table = Ok({"samples", "list"});
    EXPECT_NE(table.find("Sample ID"), std::string::npos) << table;
    EXPECT_NE(table.find("Work order"), std::string::npos) << table;
}

TEST_P(ToolSamples, SearchTextsAreTakenLiterally)
{
    Ok({"samples", "register", "Q-1", "Customer=O'Brien"});
    Ok({"samples", "register", "Q-2", "Customer=OBrien"});
    Ok({"samples", "register", "Q-3", "Customer=50% off"});
    Ok({"samples", "register", "Q-4", "Customer=500 off"});
    Ok({"samples", "register", "Q-5", "Customer=A_1"});
    Ok({"samples", "register", "Q-6", "Customer=AB1"});
    const struct {
        const char* where;
        std::vector<std::string> ids;
    } cases[] = {
        {"Customer=O'Brien", {"Q-1"}},
        {"Customer='", {"Q-1"}},
        {"Customer=50%", {"Q-3"}},
        {"Customer=A_1", {"Q-5"}},
        {"Customer=Brien", {"Q-2", "Q-1"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Ids(Json({"samples", "list", "--where", c.where})), c.ids) << c.where;
}

TEST_P(ToolSamples, SetSignAndDelete)
{
    Ok({"samples", "register", "E-1", "PartNo=P-1"});
    Ok({"samples", "set", "E-1", "PartNo=P-2", "Detail=gear", "UserSampleID=E-100"});
    auto sample = Json({"samples", "show", "E-100"});
    EXPECT_EQ(sample["PartNo"], "P-2");
    EXPECT_EQ(sample["Detail"], "gear");
    Ok({"samples", "set", "E-100", "Detail="});
    EXPECT_EQ(Json({"samples", "show", "E-100"})["Detail"], "");

    Ok({"samples", "register", "E-2"});
    EXPECT_EQ(Zendb({"samples", "set", "E-100", "UserSampleID=E-2"}).status, 1);   // taken
    EXPECT_EQ(Zendb({"samples", "set", "E-100", "NoField=1"}).status, 2);

    // Signing needs a login, which a database without users has not.
    const CRun sign = Zendb({"samples", "sign", "E-100"});
    EXPECT_EQ(sign.status, 1);
    EXPECT_EQ(sign.err, "zendb: Signing needs a login, and this database has no users: add users first.\n");
    // A sample signed by another station keeps its data unless a reason is given.
    ExecuteOn(m_db, {"UPDATE Samples SET Signed = TRUE, Signature = 'ana' WHERE UserSampleID = 'E-100'"});
    sample = Json({"samples", "show", "E-100"});
    EXPECT_EQ(sample["Signed"], true);
    EXPECT_EQ(sample["Signature"], "ana");
    EXPECT_EQ(Zendb({"samples", "set", "E-100", "PartNo=P-3"}).status, 1);
    Ok({"--reason", "part number", "samples", "set", "E-100", "PartNo=P-3"});
    EXPECT_EQ(Json({"samples", "show", "E-100"})["Signed"], false);

    Ok({"samples", "delete", "E-100"});
    EXPECT_EQ(Zendb({"samples", "show", "E-100"}).status, 1);
    EXPECT_EQ(Zendb({"samples", "delete", "E-100"}).status, 1);
    EXPECT_EQ(Ids(Json({"samples", "list"})), std::vector<std::string>{"E-2"});
}

ZEN_TOOL_ENGINES(ToolSamples);

} // namespace
} // namespace zentest
