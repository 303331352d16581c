// The import of legacy Access files: the conversion of each value for its
// station column (flags, dates with the earliest date the library stores,
// text lengths, OLE objects), fed with the values the Access driver reads
// from the sample files, and the refusal of a file that is no station
// database, with its tables, leaving no target behind.
#include "TestSupport.h"

#include "database/LegacyAccess.h"
#include "database/StationCopy.h"
#include "database/internal/AccessImport.h"
#include "framework/sql/ConnectString.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zentest {
namespace {

namespace fs = std::filesystem;

TEST(AccessImport, TheOldDatesOfTheSampleFileAreRefusedWithTheirReason)
{
    CTempDir dir;
    const std::string path = CopyAccessSample(dir, "oldDatesV2007.accdb");
    if (path.empty())
        GTEST_SKIP() << "the Access sample files are not there (ZEN_ACCESS_SAMPLES_DIR)";
    const CAccessTable table = ZenReadAccessTable(path.c_str(), "TABLE1");
    ASSERT_EQ(table.Rows.size(), 4u);
    CImportTarget date;
    date.date = true;
    for (const std::vector<CAccessValue>& row : table.Rows) {
        SCOPED_TRACE(row[1].Text.Str());
        ASSERT_EQ(row[1].Kind, CAccessValue::EKind::Date);
        CSqlValue value = CSqlValue::Text(row[1].Text.Str());
        bool ole = true;
        EXPECT_EQ(ZenConvertImportedValue(date, value, ole).Str(),
                  "a date before 1900-01-01, which the library cannot store");
        EXPECT_TRUE(value.IsNull());
        EXPECT_FALSE(ole);
    }
}

TEST(AccessImport, EachValueIsConvertedForItsColumnOrRefusedWithItsReason)
{
    CImportTarget flag;
    flag.flag = true;
    CImportTarget date;
    date.date = true;
    CImportTarget text5;
    text5.length = 5;
    const CImportTarget plain;
    const std::vector<uint8_t> ole = {0x15, 0x1C, 0x32, 0x00};
    const std::vector<uint8_t> bytes = {0x15, 0x00, 0xFF};
    const struct {
        const char* what;
        CImportTarget target;
        CSqlValue in;
        CSqlValue out;
        const char* problem;
        bool ole;
    } cases[] = {
        {"yes as -1", flag, CSqlValue::Integer(-1), CSqlValue::Integer(1), "", false},
        {"yes as 1", flag, CSqlValue::Integer(1), CSqlValue::Integer(1), "", false},
        {"no", flag, CSqlValue::Integer(0), CSqlValue::Integer(0), "", false},
        {"a flag as a real", flag, CSqlValue::Real(-1.0), CSqlValue::Integer(1), "", false},
        {"-1 in a number column stays", plain, CSqlValue::Integer(-1), CSqlValue::Integer(-1), "", false},
        {"NULL stays", flag, CSqlValue(), CSqlValue(), "", false},
        {"the earliest date", date, CSqlValue::Text("1900-01-01 00:00:00"), CSqlValue::Text("1900-01-01 00:00:00"),
         "", false},
        {"a day before it", date, CSqlValue::Text("1899-12-31 23:59:59"), CSqlValue(),
         "a date before 1900-01-01, which the library cannot store", false},
        {"a day count out of range", date, CSqlValue::Real(-700000.0), CSqlValue(),
         "a date outside the years 100 to 9999", false},
        {"no date at all", date, CSqlValue::Text("yesterday"), CSqlValue(), "not a date", false},
        {"five characters of two bytes", text5, CSqlValue::Text("\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"),
         CSqlValue::Text("\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"), "", false},
        {"six characters", text5, CSqlValue::Text("abcdef"), CSqlValue(),
         "a text of 6 characters, longer than the column's 5", false},
        {"a long text without a limit", plain, CSqlValue::Text(std::string(70000, 'x')),
         CSqlValue::Text(std::string(70000, 'x')), "", false},
        {"an OLE object stays as it is", plain, CSqlValue::Blob(ole), CSqlValue::Blob(ole), "", true},
        {"other bytes", plain, CSqlValue::Blob(bytes), CSqlValue::Blob(bytes), "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CSqlValue value = c.in;
        bool isOle = !c.ole;
        EXPECT_EQ(ZenConvertImportedValue(c.target, value, isOle).Str(), c.problem);
        EXPECT_TRUE(value == c.out);
        EXPECT_EQ(isOle, c.ole);
    }
}

TEST(AccessImport, AFileThatIsNoStationDatabaseIsRefusedWithItsTablesAndNoTargetIsLeft)
{
    CTempDir dir;
    const std::string path = CopyAccessSample(dir, "testV2010.accdb");
    if (path.empty())
        GTEST_SKIP() << "the Access sample files are not there (ZEN_ACCESS_SAMPLES_DIR)";
    EXPECT_TRUE(ZenIsAccessFile(path.c_str()));
    const std::string target = dir.File("station.db");
    CStationCopyResult result;
    EXPECT_FALSE(ZenCopyStationDatabase(path.c_str(), target.c_str(), ZENCOPY_SkipBadValues, result));
    EXPECT_TRUE(result.FromAccess);
    EXPECT_EQ(result.SourceTables, (std::vector<CString>{"Table1", "Table2", "Table3", "Table4"}));
    EXPECT_EQ(result.Error.Str(),
              "The Access file is no station database: it lacks the table(s) Samples, Patterns, IndentType, "
              "RoutineTypes, RoutineProfile, SampleProfilesRun, IndentsRun, SystemTable, Registration, "
              "RegistrationDescriptions, DefaultProfileToUse, DefaultRoutineToUse. Its tables: Table1, Table2, "
              "Table3, Table4.");
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(result.TargetCreated);
}

} // namespace
} // namespace zentest
