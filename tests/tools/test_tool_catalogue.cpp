// zendb as a process: test patterns (presets, fields set by name, changes,
// deletion) and routines of several patterns, and a sample's default test.
#include "ToolTestSupport.h"

namespace zentest {
namespace {

using ToolCatalogue = CToolFixture;

TEST_F(ToolCatalogue, PatternsFromPresetsWithFieldsByName)
{
    Ok({"patterns", "add", "CHD", "--preset", "case-hardening", "--set", "ECD1At=513", "--set", "nrOfLines=3"});
    Ok({"patterns", "add", "NHD", "--preset", "nitriding", "--comment", "gas nitrided"});
    Ok({"patterns", "add", "Plain"});
    EXPECT_EQ(Zendb({"patterns", "add", "chd"}).status, 1);                 // name taken (any case)
    EXPECT_EQ(Zendb({"patterns", "add", "X", "--set", "PatternID=5"}).status, 2);
    EXPECT_EQ(Zendb({"patterns", "add", "X", "--set", "NrOfLines=0"}).status, 2);
    EXPECT_EQ(Zendb({"patterns", "add", "X", "--preset", "annealing"}).status, 2);

    const auto chd = Json({"patterns", "show", "CHD"});
    EXPECT_EQ(chd["Standard"], 0);
    EXPECT_EQ(chd["ECD1At"], 513);
    EXPECT_EQ(chd["CalcECD1"], true);
    EXPECT_EQ(chd["NrOfLines"], 3);
    EXPECT_EQ(chd["TestLoad"], 1000.0);
    // The traverse follows the layout: offset + (indents - 1) * spacing.
    EXPECT_NEAR(chd["TotalTraverse"].get<double>(),
                chd["XOffset"].get<double>() + 15 * chd["SpacingBetweenIndents"].get<double>(), 1e-12);
    const auto nhd = Json({"patterns", "show", "NHD"});
    EXPECT_EQ(nhd["Standard"], 3);
    EXPECT_EQ(nhd["CurveType"], 1);
    EXPECT_EQ(nhd["DIN50190Part3AddToCore"], 50);
    EXPECT_EQ(nhd["Comment"], "gas nitrided");
    // Without a preset: the library's default plan of eleven indents under 1 kgf.
    const auto plain = Json({"patterns", "show", "Plain"});
    EXPECT_EQ(plain["NrOfIndents"], 11);
    EXPECT_NEAR(plain["TotalTraverse"].get<double>(), 1.05, 1e-12);

    Ok({"patterns", "set", "CHD", "ECDToleranceMax=1.1", "Name=CHD 513"});
    EXPECT_EQ(Json({"patterns", "show", "CHD 513"})["ECDToleranceMax"], 1.1);
    EXPECT_EQ(Zendb({"patterns", "set", "CHD 513", "ECDToleranceMin=2"}).status, 2);   // above the max

    auto list = Json({"patterns", "list"});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]["Name"], "CHD 513");     // by name
    Ok({"patterns", "delete", "Plain"});
    EXPECT_EQ(Json({"patterns", "list"}).size(), 2u);
    EXPECT_EQ(Zendb({"patterns", "show", "Plain"}).status, 1);
    EXPECT_EQ(Zendb({"patterns", "delete", "Plain"}).status, 1);
    // The name of a deleted pattern is free again.
    Ok({"patterns", "add", "Plain"});
}

TEST_F(ToolCatalogue, RoutinesAndDefaultTests)
{
    Ok({"patterns", "add", "Flank", "--preset", "case-hardening"});
    Ok({"patterns", "add", "Root", "--preset", "case-hardening"});
    Ok({"routines", "add", "Gear", "--pattern", "Flank", "--pattern", "Root", "--comment", "two profiles"});
    EXPECT_EQ(Zendb({"routines", "add", "Gear", "--pattern", "Flank"}).status, 1);   // name taken
    EXPECT_EQ(Zendb({"routines", "add", "Other", "--pattern", "Tip"}).status, 1);    // no such pattern
    EXPECT_EQ(Json({"routines", "list"}).size(), 1u);                                 // nothing half-stored

    const auto gear = Json({"routines", "show", "Gear"});
    EXPECT_EQ(gear["Comment"], "two profiles");
    ASSERT_EQ(gear["Profiles"].size(), 2u);
    EXPECT_EQ(gear["Profiles"][0]["Pattern"], "Flank");
    EXPECT_EQ(gear["Profiles"][1]["Pattern"], "Root");
    EXPECT_EQ(Json({"routines", "list"})[0]["Profiles"], 2);

    Ok({"samples", "register", "G-1", "--routine", "gear"});
    Ok({"samples", "register", "G-2", "--pattern", "Root"});
    EXPECT_EQ(Json({"samples", "show", "G-1"})["DefaultRoutine"], "Gear");
    EXPECT_TRUE(Json({"samples", "show", "G-1"})["DefaultPattern"].is_null());
    EXPECT_EQ(Json({"samples", "show", "G-2"})["DefaultPattern"], "Root");

    Ok({"routines", "delete", "Gear"});
    EXPECT_TRUE(Json({"routines", "list"}).empty());
    EXPECT_EQ(Zendb({"routines", "show", "Gear"}).status, 1);
}

TEST(ToolMessages, LibraryMessagesStayOffStdout)
{
    CTempDir dir;
    const std::string db = dir.File("old.db");
    ASSERT_EQ(RunZendb({"init", db, "--schema-version", "1.6"}).status, 0);
    // An older file is read as it is; the note that names its version goes
    // to stderr and the JSON on stdout stays whole.
    const CRun info = RunZendb({"--db", db, "--format", "json", "info"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(nlohmann::json::parse(info.out)["SchemaVersion"], "1.6");
    EXPECT_NE(info.err.find("'zendb upgrade' would bring it to 1.9"), std::string::npos) << info.err;
    // --quiet leaves out the notes.
    const std::string db2 = dir.File("old2.db");
    ASSERT_EQ(RunZendb({"init", db2, "--schema-version", "1.8"}).status, 0);
    const CRun quiet = RunZendb({"--db", db2, "--quiet", "--format", "json", "info"});
    ASSERT_EQ(quiet.status, 0);
    EXPECT_TRUE(quiet.err.empty()) << quiet.err;
}

} // namespace
} // namespace zentest
