// Tests of the per-user profile: location under $XDG_CONFIG_HOME, round trip
// through the real INI file, defaults, integers, removal, the application
// name, and atomic replacement of the file.
#include "framework/AppProfile.h"
#include "framework/XdgPaths.h"

#include "TestSupport.h"
#include "companions/EnvSetting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

class ProfileTest : public ::testing::Test {
protected:
    zentest::CTempDir m_dir;
    CEnvSetting m_config{"XDG_CONFIG_HOME", m_dir.Path().string().c_str()};
};

TEST_F(ProfileTest, RoundTripThroughTheIniFile)
{
    CWinApp* app = AfxGetApp();
    const std::string expectedPath = (m_dir.Path() / "Korvane/ZEN-profile.ini").string();
    EXPECT_EQ(app->GetAppName(), "ZEN");
    EXPECT_EQ(app->GetProfilePath(), expectedPath);

    // Nothing stored yet: defaults, and no file is created by reading.
    EXPECT_EQ(app->GetProfileString("RegisterSampleDlg", "UserSampleID", ""), "");
    EXPECT_EQ(app->GetProfileString("RegisterSampleDlg", "UserSampleID", "S-1"), "S-1");
    EXPECT_EQ(app->GetProfileInt("BatchCreateDlg", "NumberOfSamples", 0), 0);
    EXPECT_FALSE(std::filesystem::exists(expectedPath));

    EXPECT_TRUE(app->WriteProfileString("RegisterSampleDlg", "UserSampleID", "S-9"));
    EXPECT_TRUE(app->WriteProfileInt("BatchCreateDlg", "NumberOfSamples", 5));
    EXPECT_EQ(app->GetProfileString("RegisterSampleDlg", "UserSampleID", ""), "S-9");
    EXPECT_EQ(app->GetProfileInt("BatchCreateDlg", "NumberOfSamples", 0), 5);
    EXPECT_EQ(zentest::ReadFileText(expectedPath),
              "[RegisterSampleDlg]\nUserSampleID=S-9\n\n[BatchCreateDlg]\nNumberOfSamples=5\n");

    // Replacing leaves only the profile in its folder (no temporary file).
    EXPECT_TRUE(app->WriteProfileInt("BatchCreateDlg", "NumberOfSamples", -3));
    EXPECT_EQ(app->GetProfileInt("BatchCreateDlg", "NumberOfSamples", 0), -3);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path() / "Korvane")) {
        EXPECT_EQ(entry.path().filename(), "ZEN-profile.ini");
        ++files;
    }
    EXPECT_EQ(files, 1);

    // Removal of an entry and of a section.
    EXPECT_TRUE(app->WriteProfileString("RegisterSampleDlg", "UserSampleID", nullptr));
    EXPECT_EQ(app->GetProfileString("RegisterSampleDlg", "UserSampleID", "gone"), "gone");
    EXPECT_TRUE(app->WriteProfileString("BatchCreateDlg", nullptr, nullptr));
    EXPECT_EQ(app->GetProfileInt("BatchCreateDlg", "NumberOfSamples", 7), 7);
}

TEST_F(ProfileTest, IntegersThatAreNotNumbersGiveTheDefault)
{
    CWinApp* app = AfxGetApp();
    struct Case {
        const char* stored;
        int expected;
    };
    const Case cases[] = {
        {"42", 42}, {" -17 ", -17}, {"+8", 8}, {"2147483647", 2147483647}, {"2147483648", 99},
        {"12abc", 99}, {"abc", 99}, {"", 99}, {"0x10", 99},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(app->WriteProfileString("S", "n", c.stored));
        EXPECT_EQ(app->GetProfileInt("S", "n", 99), c.expected) << c.stored;
    }
}

TEST_F(ProfileTest, ApplicationNameChoosesTheFile)
{
    {
        CWinApp station("Station");
        EXPECT_EQ(AfxGetApp(), &station);
        EXPECT_TRUE(AfxGetApp()->WriteProfileString("S", "k", "station"));
        EXPECT_TRUE(std::filesystem::exists(m_dir.Path() / "Korvane/Station-profile.ini"));
        EXPECT_FALSE(station.SetAppName("../evil"));
        EXPECT_EQ(station.GetAppName(), "Station");
    }
    EXPECT_EQ(AfxGetApp()->GetAppName(), "ZEN");
    EXPECT_EQ(AfxGetApp()->GetProfileString("S", "k", "none"), "none");
}

TEST_F(ProfileTest, UnstorableTextIsRefusedAndNothingChanges)
{
    CWinApp* app = AfxGetApp();
    ASSERT_TRUE(app->WriteProfileString("S", "k", "kept"));
    EXPECT_FALSE(app->WriteProfileString("S", "k", "two\nlines"));
    EXPECT_EQ(app->GetProfileString("S", "k", ""), "kept");
}

TEST(XdgPaths, FoldersFollowTheEnvironment)
{
    CEnvSetting home("HOME", "/home/op");
    {
        CEnvSetting config("XDG_CONFIG_HOME", nullptr);
        CEnvSetting state("XDG_STATE_HOME", "relative/ignored");
        EXPECT_EQ(GetXdgConfigHome(), "/home/op/.config");
        EXPECT_EQ(GetXdgStateHome(), "/home/op/.local/state");
    }
    CEnvSetting dirs("XDG_CONFIG_DIRS", "/etc/a::rel:/etc/b/");
    const std::vector<CString> folders = GetXdgConfigDirs();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], "/etc/a");
    EXPECT_EQ(JoinPath(folders[1], "Korvane"), "/etc/b/Korvane");
    CEnvSetting noDirs("XDG_CONFIG_DIRS", "");
    EXPECT_EQ(GetXdgConfigDirs(), std::vector<CString>{CString("/etc/xdg")});
    EXPECT_EQ(JoinPath("/", "x"), "/x");
}

} // namespace
