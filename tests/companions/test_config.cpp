// Tests of the station configuration lookup: ZEN_CONFIG, then the user's
// file, then the system folders, key by key, with defaults for the rest.
#include "companions/ConfigFile.h"

#include "EnvSetting.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <filesystem>

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* folder : {"home/Korvane", "sys1/Korvane", "sys2/Korvane"})
            std::filesystem::create_directories(m_dir.Path() / folder);
    }
    std::string Path(const char* relative) const { return (m_dir.Path() / relative).string(); }

    zentest::CTempDir m_dir;
    CEnvSetting m_zenConfig{"ZEN_CONFIG", nullptr};
    CEnvSetting m_home{"XDG_CONFIG_HOME", Path("home")};
    CEnvSetting m_dirs{"XDG_CONFIG_DIRS", Path("sys1") + ":" + Path("sys2")};
};

TEST_F(ConfigTest, LookupOrderIsUserFileThenSystemFolders)
{
    // No file at all: the default.
    EXPECT_EQ(GetStringFromConfigFile("Database", "DatabaseFile", "/default/ZEN.db"), "/default/ZEN.db");

    zentest::WriteFileText(Path("sys2/Korvane/ZEN.ini"), "[Database]\nDatabaseFile=/sys2.db\n[Log]\nFile=/sys2.log\n[Security]\nKeyFile=/sys2.key\n");
    zentest::WriteFileText(Path("sys1/Korvane/ZEN.ini"), "[Log]\nFile=/sys1.log\n[Security]\nKeyFile=\n");
    zentest::WriteFileText(Path("home/Korvane/ZEN.ini"), "[database]\ndatabasefile=/home.db\n");

    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"Database", "DatabaseFile", "/home.db"},  // user file first, names without case
        {"Log", "File", "/sys1.log"},              // first system folder next
        {"Security", "KeyFile", "/sys2.key"},      // an empty value counts as none
        {"Database", "Missing", "dflt"},
        {"Missing", "File", "dflt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetStringFromConfigFile(c.section, c.key, "dflt"), c.expected) << c.section << "/" << c.key;
}

TEST_F(ConfigTest, ZenConfigNamesTheOnlyFile)
{
    zentest::WriteFileText(Path("home/Korvane/ZEN.ini"), "[Database]\nDatabaseFile=/home.db\n[Log]\nFile=/home.log\n");
    zentest::WriteFileText(Path("explicit.ini"), "[Database]\nDatabaseFile=/explicit.db\n");
    {
        CEnvSetting zen("ZEN_CONFIG", Path("explicit.ini"));
        EXPECT_EQ(GetStringFromConfigFile("Database", "DatabaseFile", "dflt"), "/explicit.db");
        EXPECT_EQ(GetStringFromConfigFile("Log", "File", "dflt"), "dflt");  // others are not consulted
        EXPECT_EQ(GetConfigFileCandidates().size(), 1u);
    }
    {
        CEnvSetting zen("ZEN_CONFIG", Path("missing.ini"));
        EXPECT_EQ(GetStringFromConfigFile("Database", "DatabaseFile", "dflt"), "dflt");
    }
    {
        CEnvSetting zen("ZEN_CONFIG", "");  // empty: as if unset
        EXPECT_EQ(GetStringFromConfigFile("Database", "DatabaseFile", "dflt"), "/home.db");
        EXPECT_EQ(GetConfigFileCandidates().size(), 3u);
    }
}

TEST_F(ConfigTest, FileThatExistsButCannotBeReadIsReportedNotSkipped)
{
    const std::string user = Path("home/Korvane/ZEN.ini");
    zentest::WriteFileText(Path("sys1/Korvane/ZEN.ini"), "[Database]\nDatabaseFile=/sys1.db\n");
    const struct {
        const char* name;
        std::function<void()> make;
        std::string reason;
    } cases[] = {
        {"folder", [&] { std::filesystem::create_directories(user + "/inside"); }, "it is a folder, not a file"},
        {"not UTF-8", [&] { zentest::WriteFileText(user, "[Database]\nDatabaseFile=/M\xfcller.db\n"); },
         "it is not UTF-8 text (line 2)"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(user);
        c.make();
        // The system file's value must not stand in for the user file's.
        EXPECT_EQ(GetStringFromConfigFile("Database", "DatabaseFile", "dflt"), "dflt") << c.name;
        EXPECT_EQ(GetConfigFileError().Str(),
                  "The station configuration file '" + user + "' cannot be read: " + c.reason + ".")
            << c.name;
        // Asked again (from the cache), the same answer.
        EXPECT_EQ(GetStringFromConfigFile("Log", "File", "dflt"), "dflt") << c.name;
        EXPECT_FALSE(GetConfigFileError().IsEmpty()) << c.name;
    }
    // Mended, or missing: no error, and the lookup goes on as before.
    std::filesystem::remove_all(user);
    EXPECT_EQ(GetStringFromConfigFile("Database", "DatabaseFile", "dflt"), "/sys1.db");
    EXPECT_TRUE(GetConfigFileError().IsEmpty());
    zentest::WriteFileText(user, "[Database]\nDatabaseFile=/M\xc3\xbcller.db\n");
    EXPECT_EQ(GetStringFromConfigFile("Database", "DatabaseFile", "dflt"), "/M\xc3\xbcller.db");
    EXPECT_TRUE(GetConfigFileError().IsEmpty());
}

TEST_F(ConfigTest, SystemFolderDefaultsToEtcXdg)
{
    CEnvSetting dirs("XDG_CONFIG_DIRS", nullptr);
    const std::vector<CString> files = GetConfigFileCandidates();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], Path("home/Korvane/ZEN.ini"));
    EXPECT_EQ(files[1], "/etc/xdg/Korvane/ZEN.ini");
}

} // namespace

namespace {

// Sets a file's modification time to the given number of seconds ago.
void AgeFile(const std::string& path, int seconds)
{
    const auto when = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(seconds);
    std::filesystem::last_write_time(path, when);
}

TEST_F(ConfigTest, ParsedFilesAreReusedOnlyWhileUnchanged)
{
    const std::string file = Path("home/Korvane/ZEN.ini");
    zentest::WriteFileText(file, "[Log]\nFile=/first.log\n");
    AgeFile(file, 60);
    EXPECT_EQ(GetStringFromConfigFile("Log", "File", "dflt"), "/first.log");
    EXPECT_EQ(GetStringFromConfigFile("Log", "File", "dflt"), "/first.log");

    // Same size, rewritten: the new time stamp makes it read again.
    zentest::WriteFileText(file, "[Log]\nFile=/other.log\n");
    EXPECT_EQ(GetStringFromConfigFile("Log", "File", "dflt"), "/other.log");
    // Rewritten and dated back to the very same old time: still seen, because
    // the size differs.
    zentest::WriteFileText(file, "[Log]\nFile=/third-file.log\n");
    AgeFile(file, 60);
    EXPECT_EQ(GetStringFromConfigFile("Log", "File", "dflt"), "/third-file.log");
    std::filesystem::remove(file);
    EXPECT_EQ(GetStringFromConfigFile("Log", "File", "dflt"), "dflt");
}

} // namespace
