// Tests of the INI reader and writer: parsing rules, edits that keep the rest
// of the file, values that need quoting, refused names, atomic saving.
#include "framework/IniFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <sys/stat.h>

namespace {

TEST(IniFile, ParsesSectionsKeysCommentsAndQuotes)
{
    CIniFile ini;
    ini.Parse("\xEF\xBB\xBF"
              "top=1\r\n"
              "; comment\n"
              "[Database]\n"
              "  DatabaseFile =  /srv/zen/ZEN.db  \n"
              "Quoted=\"  padded  \"\n"
              "Hash=a;b#c\n"
              "Empty=\n"
              "not an entry\n"
              "[database]\n"
              "DatabaseFile=second\n"
              "Extra=x\n");
    struct Case {
        const char* section;
        const char* key;
        const char* value;  // nullptr: missing
    };
    const Case cases[] = {
        {"", "top", "1"},
        {"Database", "DatabaseFile", "/srv/zen/ZEN.db"},
        {"DATABASE", "databasefile", "/srv/zen/ZEN.db"},  // first occurrence wins
        {"Database", "Quoted", "  padded  "},
        {"Database", "Hash", "a;b#c"},
        {"Database", "Empty", ""},
        {"database", "Extra", "x"},
        {"Database", "not an entry", nullptr},
        {"Other", "top", nullptr},
    };
    for (const Case& c : cases) {
        CString value;
        const BOOL found = ini.Lookup(c.section, c.key, value);
        EXPECT_EQ(found, c.value != nullptr ? TRUE : FALSE) << c.section << "/" << c.key;
        if (c.value) {
            EXPECT_EQ(value, c.value) << c.section << "/" << c.key;
        }
    }
    EXPECT_EQ(ini.GetString("Nope", "x", "dflt"), "dflt");
    EXPECT_EQ(ini.GetSectionNames().size(), 1u);
    EXPECT_EQ(ini.GetKeys("Database").size(), 6u);
}

TEST(IniFile, EditsKeepTheRestOfTheFile)
{
    CIniFile ini;
    ini.Parse("; station settings\n[A]\nk=1\n\n# next\n[B]\nm=2\n");
    EXPECT_TRUE(ini.SetString("A", "K", "10"));  // same key, other case
    EXPECT_TRUE(ini.SetString("A", "new", "n"));
    EXPECT_TRUE(ini.SetString("C", "c", "3"));
    EXPECT_EQ(ini.ToText(), "; station settings\n[A]\nK=10\nnew=n\n\n# next\n[B]\nm=2\n\n[C]\nc=3\n");
    EXPECT_TRUE(ini.RemoveKey("b", "M"));
    EXPECT_FALSE(ini.RemoveKey("B", "m"));
    EXPECT_TRUE(ini.RemoveSection("A"));
    EXPECT_FALSE(ini.RemoveSection("A"));
    EXPECT_EQ(ini.ToText(), "; station settings\n[B]\n\n[C]\nc=3\n");
}

TEST(IniFile, ValuesSurviveAWriteAndReadBack)
{
    const char* values[] = {"plain", "", "  lead and trail  ", "\"quoted\"", "\"", "a=b",
                            "Número ¿?", "; not a comment", "tab\there"};
    CIniFile ini;
    for (size_t i = 0; i < std::size(values); ++i)
        ASSERT_TRUE(ini.SetString("S", ("k" + std::to_string(i)).c_str(), values[i])) << values[i];
    CIniFile back;
    back.Parse(ini.ToText());
    for (size_t i = 0; i < std::size(values); ++i) {
        CString value;
        EXPECT_TRUE(back.Lookup("S", ("k" + std::to_string(i)).c_str(), value)) << values[i];
        EXPECT_EQ(value, values[i]);
    }
}

TEST(IniFile, RefusesWhatALineCannotHold)
{
    CIniFile ini;
    EXPECT_FALSE(ini.SetString("S", "k", "two\nlines"));
    EXPECT_FALSE(ini.SetString("S", "k", "cr\r"));
    EXPECT_FALSE(ini.SetString("S", "", "v"));
    EXPECT_FALSE(ini.SetString("S", "a=b", "v"));
    EXPECT_FALSE(ini.SetString("S", "[k", "v"));
    EXPECT_FALSE(ini.SetString("S", ";k", "v"));
    EXPECT_FALSE(ini.SetString("S]", "k", "v"));
    EXPECT_FALSE(ini.SetString("S\n", "k", "v"));
    EXPECT_EQ(ini.ToText(), "");
}

TEST(IniFile, SavesAtomicallyAndKeepsPermissions)
{
    zentest::CTempDir dir;
    const std::string path = dir.File("sub/folder/test.ini");
    CIniFile ini;
    EXPECT_TRUE(ini.Load(path.c_str()));  // missing file: empty document
    ini.SetString("S", "k", "v");
    ASSERT_TRUE(ini.Save(path.c_str()));
    EXPECT_EQ(zentest::ReadFileText(path), "[S]\nk=v\n");

    chmod(path.c_str(), 0640);
    ini.SetString("S", "k", "w");
    ASSERT_TRUE(ini.Save(path.c_str()));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // Only the file itself is in the folder: no temporary file left behind.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "sub/folder")) {
        EXPECT_EQ(entry.path().filename(), "test.ini");
        ++entries;
    }
    EXPECT_EQ(entries, 1);

    CIniFile back;
    ASSERT_TRUE(back.Load(path.c_str()));
    EXPECT_EQ(back.GetString("s", "K"), "w");
}

TEST(IniFile, FailedSaveLeavesNoTemporary)
{
    zentest::CTempDir dir;
    // A folder where the file should go: the final rename must fail.
    const std::string path = dir.File("blocked.ini");
    std::filesystem::create_directories(path + "/inside");
    CIniFile ini;
    ini.SetString("S", "k", "new");
    EXPECT_FALSE(ini.Save(path.c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(path + "/inside"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);
}

TEST(IniFile, NamesAreTrimmedAlikeWhenWrittenAndLookedUp)
{
    CIniFile ini;
    ini.Parse("[S]\nKey=old\n");
    struct {
        const char* section;
        const char* key;
        const char* written;  // the key as the line spells it afterwards
    } const spellings[] = {{"S", "Key ", "Key"}, {"S", " Key", "Key"}, {" S ", "\tKEY\t", "KEY"}};
    int round = 0;
    for (const auto& spelling : spellings) {
        const std::string value = "new" + std::to_string(++round);
        EXPECT_TRUE(ini.SetString(spelling.section, spelling.key, value.c_str()));
        // One line, the one in force, changed in place.
        EXPECT_EQ(ini.ToText(), "[S]\n" + std::string(spelling.written) + "=" + value + "\n")
            << spelling.section << "/" << spelling.key;
        CString found;
        EXPECT_TRUE(ini.Lookup(spelling.section, spelling.key, found));
        EXPECT_EQ(found.Str(), value);
        EXPECT_EQ(ini.GetString("S", "Key").Str(), value);
    }
    EXPECT_EQ(ini.GetKeys(" S ").size(), 1u);
    EXPECT_TRUE(ini.RemoveKey("S ", " key"));
    EXPECT_TRUE(ini.RemoveSection(" s"));
    EXPECT_EQ(ini.ToText(), "");
}

TEST(IniFile, LoadRefusesWhatIsNotAReadableUtf8File)
{
    zentest::CTempDir dir;
    struct {
        const char* name;
        std::string content;  // empty: a folder is made instead
        const char* reason;
    } const refused[] = {
        {"folder.ini", "", "it is a folder, not a file"},
        {"latin1.ini", "[S]\nk=v\nname=M\xfcller\n", "it is not UTF-8 text (line 3)"},
        {"cut.ini", "[S]\nk=\xc3", "it is not UTF-8 text (line 2)"},
        {"overlong.ini", "k=\xc0\xaf\n", "it is not UTF-8 text (line 1)"},
        {"surrogate.ini", "\n\nk=\xed\xa0\x80\n", "it is not UTF-8 text (line 3)"},
        {"beyond.ini", "k=\xf4\x90\x80\x80\n", "it is not UTF-8 text (line 1)"},
    };
    for (const auto& file : refused) {
        const std::string path = dir.File(file.name);
        if (file.content.empty())
            std::filesystem::create_directories(path);
        else
            zentest::WriteFileText(path, file.content);
        CIniFile ini;
        ini.Parse("[Old]\nx=1\n");
        CString reason;
        EXPECT_FALSE(ini.Load(path.c_str(), &reason)) << file.name;
        EXPECT_EQ(reason, file.reason) << file.name;
        EXPECT_EQ(ini.ToText(), "") << file.name;
        EXPECT_FALSE(ini.Load(path.c_str())) << file.name;
    }

    // UTF-8 of every length, and a missing file, load.
    const std::string good = dir.File("good.ini");
    zentest::WriteFileText(good, "[S]\nk=N\xc3\xbamero \xe2\x82\xac \xf0\x9f\x94\xa9\n");
    CIniFile ini;
    CString reason = "stale";
    ASSERT_TRUE(ini.Load(good.c_str(), &reason));
    EXPECT_TRUE(reason.IsEmpty());
    EXPECT_EQ(ini.GetString("S", "k"), "N\xc3\xbamero \xe2\x82\xac \xf0\x9f\x94\xa9");
    EXPECT_TRUE(ini.Load(dir.File("missing.ini").c_str(), &reason));
    EXPECT_TRUE(ini.Load(dir.File("no/such/folder.ini").c_str(), &reason));
}

} // namespace
