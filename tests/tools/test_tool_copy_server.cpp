// zendb copy between a file and a server database, as processes: a station
// file with a pattern, samples, a trace and four hundred indents goes into an
// empty server database and from there into a new file, every table checked
// by row count and checksum on the way, the same checksums at both ends.
#include "EngineTestSupport.h"
#include "ToolTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace zentest {
namespace {

// The table lines of a copy's report: "<table> <rows> <rows> <sum> <sum> yes".
std::vector<std::string> TableLines(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.size() > 4 && line.compare(line.size() - 4, 4, " yes") == 0)
            lines.push_back(line);
    return lines;
}

class ToolCopyServer : public CToolFixture {};

TEST_F(ToolCopyServer, AFileGoesIntoAServerDatabaseAndBackUnchanged)
{
    ZEN_REQUIRE_ENGINE(ETestEngine::PostgreSql);
    Ok({"patterns", "add", "CHD", "--preset", "case-hardening"});
    Ok({"samples", "register", "C-1", "--count", "3"});
    ExecuteOn(m_db, {"UPDATE Samples SET Trace = X'00010203FF00', Customer = 'Müller & \"Söhne\" ''GmbH'''",
                     "INSERT INTO SampleProfilesRun (ProfileID, SampleID, ProfileNr, ProfileName) VALUES "
                     "(70, 1, 1, 'Profil')",
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
                     "INSERT INTO IndentsRun (ProfileID, D1, D2, Hardness, Objective) "
                     "SELECT 70, i * 0.125, i / 3.0, 550.5 - i, 'objective ' || i FROM n"});
    CTestDatabase server(ETestEngine::PostgreSql);
    const std::string connect = server.ConnectString().Str();

    const CRun in = RunZendb({"copy", m_db, connect});
    ASSERT_EQ(in.status, 0) << in.err;
    const std::string back = m_dir.File("back.db");
    const CRun out = RunZendb({"copy", connect, back});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("(schema 1.9, 17 tables, 465 rows; every table checked)"), std::string::npos) << out.out;
    const std::vector<std::string> there = TableLines(in.out);
    EXPECT_EQ(there.size(), 17u) << in.out;
    EXPECT_EQ(TableLines(out.out), there) << "the same rows and checksums at both ends";
}

} // namespace
} // namespace zentest
