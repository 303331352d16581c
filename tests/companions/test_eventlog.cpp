// Tests of the event log: entries appended to the real file in the state
// folder or the configured file, one line each, and no failure reaching the
// caller; plus the member-wise copy of the settings record.
#include "companions/EventLog.h"

#include "EnvSetting.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The log reads its settings again once they are this old; a change of the
// configuration file is certain to be seen by the first entry after it.
void WaitForSettingsCheck()
{
    std::this_thread::sleep_for(kEventLogSettingsCheckInterval + std::chrono::milliseconds(10));
}

class EventLogTest : public ::testing::Test {
protected:
    void TearDown() override { CloseEventLog(); }
    zentest::CTempDir m_dir;
    CEnvSetting m_config{"ZEN_CONFIG", m_dir.File("ZEN.ini")};
    CEnvSetting m_state{"XDG_STATE_HOME", m_dir.File("state")};
};

TEST_F(EventLogTest, EntriesAreAppendedToTheStateFolderLog)
{
    const std::string path = m_dir.File("state/Korvane/ZEN.log");
    EXPECT_EQ(GetEventLogPath(), path);
    std::filesystem::create_directories(m_dir.Path() / "state/Korvane");
    zentest::WriteFileText(path, "earlier entry\n");

    EXPECT_EQ(Log_Event(LOGG_DEBUG, "Opening Database...", "database", 57, "CZENDatabase::OpenDatabase"), 1);
    const int line = __LINE__ + 1;
    ZEN_LOG_EVENT("recordsets", "CZENDB_SamplesRecordset::GetSample", "Trace size:%d of %s", 42, "S-7");
    Log_Event(LOGG_ERROR, "first\nsecond", nullptr, -1, nullptr);
    Log_Event(LOGG_TRACE, "braces {} {0} and %s stay", "database", 9, "f");

    const std::vector<std::string> lines = Lines(zentest::ReadFileText(path));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "earlier entry");
    // Time stamp "YYYY-MM-DD hh:mm:ss.mmm " ahead of each entry.
    const std::string shape = "dddd-dd-dd dd:dd:dd.ddd ";
    for (size_t i = 1; i < lines.size(); ++i) {
        ASSERT_GT(lines[i].size(), shape.size());
        for (size_t k = 0; k < shape.size(); ++k)
            EXPECT_TRUE(shape[k] == 'd' ? isdigit(static_cast<unsigned char>(lines[i][k])) != 0 : lines[i][k] == shape[k])
                << lines[i];
    }
    EXPECT_EQ(lines[1].substr(24), "[4 debug] database:57 CZENDatabase::OpenDatabase: Opening Database...");
    EXPECT_EQ(lines[2].substr(24), "[4 debug] recordsets:" + std::to_string(line) +
                                       " CZENDB_SamplesRecordset::GetSample: Trace size:42 of S-7");
    EXPECT_EQ(lines[3].substr(24), "[1 error] :-1 : first\\nsecond");
    EXPECT_EQ(lines[4].substr(24), "[5 trace] database:9 f: braces {} {0} and %s stay");
}

// Messages come out as snprintf writes them, line breaks written out, for
// formats the log writes itself (texts, whole numbers) and for those it
// leaves to the C library (widths, other kinds).
TEST_F(EventLogTest, FormattedMessagesReadAsPrintfWritesThem)
{
    const std::string path = m_dir.File("formats.log");
    zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + path + "\n");
    const std::string longText(700, 'q');
    const char* const noText = nullptr;
    const auto printed = [](const char* format, auto... args) {
        char buffer[2048];
        std::snprintf(buffer, sizeof buffer, format, args...);
        std::string text = buffer;
        for (size_t at = 0; (at = text.find_first_of("\r\n", at)) != std::string::npos; at += 2)
            text.replace(at, 1, text[at] == '\n' ? "\\n" : "\\r");
        return text;
    };
    std::vector<std::string> expected;
    const auto log = [&](const char* format, auto... args) {
        ASSERT_EQ(Log_EventFormat(LOGG_INFO, "database", 1, "f", format, args...), 1);
        expected.push_back(printed(format, args...));
    };
    log("SQL string is equal to '%s'. Opening recordset...", longText.c_str());
    log("%d %i %u %ld %lu %lld %llu %%", -42, INT32_MIN, 4000000000u, INT64_MIN, ULONG_MAX, -7LL, 8ULL);
    log("a%sb%sc", "", "line\none\r");
    log("%s ends in %%", "text");
    log("%s", noText);
    log("with\nbreak %d", 3);
    log("%5d|%-4s|%.2f|%x|%c|%05ld", 7, "ab", 2.5, 255, 'z', 12L);
    log("%s and %03d", "mixed", 9);

    const std::vector<std::string> lines = Lines(zentest::ReadFileText(path));
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].substr(24), "[3 info] database:1 f: " + expected[i]);
}

TEST_F(EventLogTest, ConfiguredFileIsUsedAndFoldersAreCreated)
{
    const std::string path = m_dir.File("logs/deep/station.log");
    zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + path + "\n");
    EXPECT_EQ(GetEventLogPath(), path);
    EXPECT_EQ(Log_Event(LOGG_INFO, "to the configured file", "database", 1, "f"), 1);
    EXPECT_NE(zentest::ReadFileText(path).find("[3 info] database:1 f: to the configured file"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("state/Korvane/ZEN.log")));

    // The configuration changes: once the log has looked again, the next
    // entry goes to the new file.
    zentest::WriteFileText(m_dir.File("ZEN.ini"), "");
    WaitForSettingsCheck();
    EXPECT_EQ(Log_Event(LOGG_DEBUG, "back to default", "database", 2, "f"), 1);
    EXPECT_NE(zentest::ReadFileText(m_dir.File("state/Korvane/ZEN.log")).find("back to default"), std::string::npos);
}

// A changed configuration file is noticed within a second, whatever the pace
// of the entries: waited for by polling, entries keep coming meanwhile.
TEST_F(EventLogTest, AChangedConfigurationFileIsNoticedWithinASecond)
{
    const std::string first = m_dir.File("first.log");
    const std::string second = m_dir.File("second.log");
    zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + first + "\n");
    ASSERT_EQ(Log_Event(LOGG_DEBUG, "to the first", "database", 1, "f"), 1);
    EXPECT_NE(zentest::ReadFileText(first).find("to the first"), std::string::npos);

    zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + second + "\n");
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int entries = 0;
    while (!std::filesystem::exists(second) && std::chrono::steady_clock::now() < giveUp) {
        ASSERT_EQ(Log_Event(LOGG_DEBUG, "meanwhile", "database", 2, "f"), 1);
        ++entries;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(std::filesystem::exists(second)) << "not noticed after " << entries << " entries";
    EXPECT_EQ(Log_Event(LOGG_DEBUG, "to the second", "database", 3, "f"), 1);
    EXPECT_NE(zentest::ReadFileText(second).find("to the second"), std::string::npos);
    EXPECT_EQ(zentest::ReadFileText(first).find("to the second"), std::string::npos);

    // Waiting one check interval is always enough.
    zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + first + "\n");
    WaitForSettingsCheck();
    EXPECT_EQ(Log_Event(LOGG_DEBUG, "back to the first", "database", 4, "f"), 1);
    EXPECT_NE(zentest::ReadFileText(first).find("back to the first"), std::string::npos);
}

// Pointing ZEN_CONFIG at another file, or closing the log, takes effect at
// the very next entry.
TEST_F(EventLogTest, AnotherConfigurationFileOrACloseTakesEffectAtOnce)
{
    const std::string first = m_dir.File("first.log");
    const std::string second = m_dir.File("second.log");
    zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + first + "\n");
    zentest::WriteFileText(m_dir.File("other.ini"), "[Log]\nFile=" + second + "\n");
    ASSERT_EQ(Log_Event(LOGG_DEBUG, "to the first", "database", 1, "f"), 1);
    {
        CEnvSetting other("ZEN_CONFIG", m_dir.File("other.ini"));
        ASSERT_EQ(Log_Event(LOGG_DEBUG, "to the second", "database", 2, "f"), 1);
        EXPECT_NE(zentest::ReadFileText(second).find("to the second"), std::string::npos);
    }
    ASSERT_EQ(Log_Event(LOGG_DEBUG, "first again", "database", 3, "f"), 1);
    EXPECT_NE(zentest::ReadFileText(first).find("first again"), std::string::npos);

    zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + second + "\n");
    CloseEventLog();
    ASSERT_EQ(Log_Event(LOGG_DEBUG, "after close", "database", 4, "f"), 1);
    EXPECT_NE(zentest::ReadFileText(second).find("after close"), std::string::npos);
    EXPECT_EQ(zentest::ReadFileText(first).find("after close"), std::string::npos);
}

// Each of the variables that choose the configuration files and the default
// log folder is noticed at the very next entry, set, changed or unset.
TEST_F(EventLogTest, EachVariableChoosingTheLogIsNoticedAtTheNextEntry)
{
    const std::string root = m_dir.Path().string();
    std::filesystem::create_directories(root + "/cfgA/Korvane");
    zentest::WriteFileText(root + "/cfgA/Korvane/ZEN.ini", "[Log]\nFile=" + root + "/A.log\n");
    zentest::WriteFileText(root + "/C.ini", "[Log]\nFile=" + root + "/C.log\n");
    CEnvSetting configHome("XDG_CONFIG_HOME", root + "/cfgA");
    CEnvSetting configDirs("XDG_CONFIG_DIRS", root + "/none");
    CEnvSetting home("HOME", root + "/h1");
    CEnvSetting state("XDG_STATE_HOME", root + "/s1");
    CEnvSetting config("ZEN_CONFIG", nullptr);
    struct Step {
        const char* variable;
        const char* value; // under the temporary folder; nullptr: unset
        const char* log;   // the file the next entry goes to
    };
    const Step steps[] = {
        {"XDG_CONFIG_HOME", "/cfgA", "/A.log"},
        {"XDG_CONFIG_HOME", "/cfgB", "/s1/Korvane/ZEN.log"},
        {"XDG_CONFIG_DIRS", "/cfgA", "/A.log"},
        {"XDG_CONFIG_DIRS", "/none", "/s1/Korvane/ZEN.log"},
        {"XDG_STATE_HOME", "/s2", "/s2/Korvane/ZEN.log"},
        {"XDG_STATE_HOME", nullptr, "/h1/.local/state/Korvane/ZEN.log"},
        {"HOME", "/h2", "/h2/.local/state/Korvane/ZEN.log"},
        {"ZEN_CONFIG", "/C.ini", "/C.log"},
        {"ZEN_CONFIG", nullptr, "/h2/.local/state/Korvane/ZEN.log"},
    };
    int n = 0;
    for (const Step& step : steps) {
        const std::string text = "step " + std::to_string(n++);
        SCOPED_TRACE(text);
        if (step.value)
            setenv(step.variable, (root + step.value).c_str(), 1);
        else
            unsetenv(step.variable);
        ASSERT_EQ(Log_Event(LOGG_DEBUG, (text + "\r\nend").c_str(), "database", 1, "f"), 1);
        const std::vector<std::string> lines = Lines(zentest::ReadFileText(root + step.log));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(24), "[4 debug] database:1 f: " + text + "\\r\\nend");
    }
}

TEST_F(EventLogTest, AFileThatCannotBeWrittenDoesNotReachTheCaller)
{
    // The log path is a folder: opening it fails; the caller only sees 0.
    std::filesystem::create_directories(m_dir.Path() / "blocked.log");
    zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + m_dir.File("blocked.log") + "\n");
    int result = -1;
    EXPECT_NO_THROW(result = Log_Event(LOGG_DEBUG, "lost", "database", 3, "f"));
    EXPECT_EQ(result, 0);
    EXPECT_NO_THROW(ZEN_LOG_EVENT("database", "f", "%s", "lost too"));
}

// Entries meant for a log whose folder cannot be made: the failure is told
// once, and the file is not tried again until the retry interval has passed.
class UnwritableEventLog : public EventLogTest {
protected:
    void SetUp() override
    {
        // A file where the log's folder should be.
        zentest::WriteFileText(m_dir.File("logs"), "not a folder\n");
        m_logPath = m_dir.File("logs/station.log");
        zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + m_logPath + "\n");
    }
    void TearDown() override
    {
        SetEventLogRetryInterval(kDefaultRetryInterval);
        EventLogTest::TearDown();
    }
    // Mends the folder, so that the next attempt on the file succeeds.
    void MendFolder()
    {
        std::filesystem::remove(m_dir.File("logs"));
        std::filesystem::create_directories(m_dir.File("logs"));
    }
    std::string m_logPath;
};

TEST_F(UnwritableEventLog, FailureIsToldOnceAndTheFileLeftAloneForAWhile)
{
    SetEventLogRetryInterval(std::chrono::hours(1));
    testing::internal::CaptureStderr();
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(Log_Event(LOGG_DEBUG, "dropped", "databaseobjects", i, "CZENDB_Sample::Save"), 0);
    const std::string told = testing::internal::GetCapturedStderr();
    const std::string expected = "ZEN event log: cannot write to '" + m_logPath + "' (";
    ASSERT_EQ(told.find(expected), 0u) << told;
    EXPECT_EQ(told.find(expected, 1), std::string::npos) << "told more than once: " << told;
    EXPECT_NE(told.find("(tried again every 3600 s)"), std::string::npos) << told;

    // Mended within the interval: the file is not tried yet.
    MendFolder();
    EXPECT_EQ(Log_Event(LOGG_DEBUG, "still dropped", "database", 1, "f"), 0);
    EXPECT_FALSE(std::filesystem::exists(m_logPath));

    // Once the interval has passed, the next entry tries and is written.
    SetEventLogRetryInterval(std::chrono::milliseconds(0));
    EXPECT_EQ(Log_Event(LOGG_DEBUG, "written again", "database", 2, "f"), 1);
    const std::string log = zentest::ReadFileText(m_logPath);
    EXPECT_NE(log.find("written again"), std::string::npos);
    EXPECT_EQ(log.find("dropped"), std::string::npos);
}

TEST_F(UnwritableEventLog, AnotherPathOrACloseIsTriedAtOnce)
{
    SetEventLogRetryInterval(std::chrono::hours(1));
    testing::internal::CaptureStderr();
    EXPECT_EQ(Log_Event(LOGG_DEBUG, "dropped", "database", 1, "f"), 0);
    // Another configured file: tried at once.
    const std::string other = m_dir.File("other/station.log");
    zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + other + "\n");
    WaitForSettingsCheck();
    EXPECT_EQ(Log_Event(LOGG_DEBUG, "to the other file", "database", 2, "f"), 1);
    EXPECT_NE(zentest::ReadFileText(other).find("to the other file"), std::string::npos);
    // Back to the broken one: a failure told again, since the log worked in between.
    zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + m_logPath + "\n");
    WaitForSettingsCheck();
    EXPECT_EQ(Log_Event(LOGG_DEBUG, "dropped", "database", 3, "f"), 0);
    const std::string told = testing::internal::GetCapturedStderr();
    const std::string expected = "ZEN event log: cannot write to '" + m_logPath + "'";
    const size_t first = told.find(expected);
    ASSERT_NE(first, std::string::npos) << told;
    EXPECT_NE(told.find(expected, first + 1), std::string::npos) << told;
    // CloseEventLog forgets the failure: mended, the next entry is written.
    MendFolder();
    CloseEventLog();
    EXPECT_EQ(Log_Event(LOGG_DEBUG, "after close", "database", 4, "f"), 1);
    EXPECT_NE(zentest::ReadFileText(m_logPath).find("after close"), std::string::npos);
}

// A log in a small configured file: entries numbered in their message.
class RotatingEventLog : public EventLogTest {
protected:
    void Configure(const std::string& logSection)
    {
        m_logPath = m_dir.File("logs/ZEN.log");
        zentest::WriteFileText(m_dir.File("ZEN.ini"), "[Log]\nFile=" + m_logPath + "\n" + logSection);
    }
    void Write(int from, int to)
    {
        for (int i = from; i < to; ++i)
            ASSERT_EQ(ZEN_LOG_EVENT("databaseobjects", "CZENDB_Sample::Save", "entry %04d of the rotation test", i), 1);
    }
    std::string Older(int n) const { return m_dir.File("logs/ZEN." + std::to_string(n) + ".log"); }
    // The entry numbers of a file, in file order.
    static std::vector<int> Numbers(const std::string& path)
    {
        std::vector<int> numbers;
        for (const std::string& line : Lines(zentest::ReadFileText(path))) {
            const size_t at = line.find("entry ");
            EXPECT_NE(at, std::string::npos) << line;
            if (at != std::string::npos)
                numbers.push_back(std::stoi(line.substr(at + 6, 4)));
        }
        return numbers;
    }
    std::string m_logPath;
};

TEST_F(RotatingEventLog, FilesRotateBySizeAndTheirCountIsKept)
{
    // Each entry is some 120 bytes: 1 KiB holds eight of them.
    Configure("MaxSizeKiB=1\nFiles=3\n");
    Write(0, 100);
    EXPECT_TRUE(std::filesystem::exists(m_logPath));
    EXPECT_TRUE(std::filesystem::exists(Older(1)));
    EXPECT_TRUE(std::filesystem::exists(Older(2)));
    EXPECT_FALSE(std::filesystem::exists(Older(3)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.File("logs")),
                            std::filesystem::directory_iterator()),
              3);
    // Oldest to newest, the kept files hold one unbroken run of entries
    // ending with the last, each file at most the limit.
    std::vector<int> all;
    for (const std::string& file : std::vector<std::string>{Older(2), Older(1), m_logPath}) {
        EXPECT_LE(std::filesystem::file_size(file), 1024u) << file;
        const std::vector<int> numbers = Numbers(file);
        EXPECT_FALSE(numbers.empty()) << file;
        all.insert(all.end(), numbers.begin(), numbers.end());
    }
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), 99);
    for (size_t i = 1; i < all.size(); ++i)
        EXPECT_EQ(all[i], all[i - 1] + 1) << "entries lost or repeated at " << all[i];
    EXPECT_GT(all.size(), 16u);
}

TEST_F(RotatingEventLog, OneFileStartsAfreshWhenFull)
{
    Configure("MaxSizeKiB=1\nFiles=1\n");
    Write(0, 30);
    EXPECT_FALSE(std::filesystem::exists(Older(1)));
    EXPECT_LE(std::filesystem::file_size(m_logPath), 1024u);
    const std::vector<int> numbers = Numbers(m_logPath);
    ASSERT_FALSE(numbers.empty());
    EXPECT_EQ(numbers.back(), 29);
}

TEST_F(RotatingEventLog, SettingsThatAreNoWholeNumberInRangeGiveTheDefaults)
{
    // Each case: the log section; the defaults (4 MiB) never rotate 40 entries.
    for (const std::string section : {"MaxSizeKiB=0\nFiles=3\n", "MaxSizeKiB=-1\n", "MaxSizeKiB=1k\n",
                                       "MaxSizeKiB=1048577\n", "MaxSizeKiB= \n"}) {
        CloseEventLog();
        std::filesystem::remove_all(m_dir.File("logs"));
        Configure(section);
        Write(0, 40);
        EXPECT_FALSE(std::filesystem::exists(Older(1))) << section;
        EXPECT_EQ(Numbers(m_logPath).size(), 40u) << section;
    }
    // Files out of range: the default count (4) with the small size.
    for (const std::string section : {"MaxSizeKiB=1\nFiles=0\n", "MaxSizeKiB=1\nFiles=101\n"}) {
        CloseEventLog();
        std::filesystem::remove_all(m_dir.File("logs"));
        Configure(section);
        Write(0, 100);
        EXPECT_TRUE(std::filesystem::exists(Older(3))) << section;
        EXPECT_FALSE(std::filesystem::exists(Older(4))) << section;
    }
}

TEST_F(RotatingEventLog, AFileMovedAwayIsFollowedByItsName)
{
    // What another process's rotation (or an administrator) does to the
    // file this one has open: the next entry goes to a new file at the name.
    Configure("MaxSizeKiB=64\nFiles=2\n");
    Write(0, 3);
    std::filesystem::rename(m_logPath, m_dir.File("logs/moved.log"));
    Write(3, 5);
    EXPECT_EQ(Numbers(m_dir.File("logs/moved.log")), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Numbers(m_logPath), (std::vector<int>{3, 4}));
}

TEST_F(RotatingEventLog, WhatHappensToTheOpenFileIsFollowedAtTheNextEntry)
{
    // Each case: what is done to the open file between entries 2 and 3; the
    // file that then has the name holds the entries from 3 on.
    const std::string moved = "logs/moved.log";
    struct Case {
        const char* name;
        void (*act)(const std::string& log, const std::string& other);
    };
    const Case cases[] = {
        {"moved away", [](const std::string& log, const std::string& other) {
             std::filesystem::rename(log, other);
         }},
        {"moved away, a new file made at the name", [](const std::string& log, const std::string& other) {
             std::filesystem::rename(log, other);
             zentest::WriteFileText(log, "");
         }},
        {"replaced by another file", [](const std::string& log, const std::string& other) {
             zentest::WriteFileText(other, "");
             std::filesystem::rename(other, log);
         }},
        {"removed", [](const std::string& log, const std::string&) { std::filesystem::remove(log); }},
    };
    for (const Case& c : cases) {
        CloseEventLog();
        std::filesystem::remove_all(m_dir.File("logs"));
        Configure("MaxSizeKiB=64\nFiles=2\n");
        Write(0, 3);
        c.act(m_logPath, m_dir.File(moved));
        Write(3, 5);
        const std::vector<int> numbers = Numbers(m_logPath);
        ASSERT_GE(numbers.size(), 2u) << c.name;
        EXPECT_EQ(std::vector<int>(numbers.end() - 2, numbers.end()), (std::vector<int>{3, 4})) << c.name;
    }
}

TEST_F(RotatingEventLog, AFolderOfTheNameMovedIsFollowedWithinTheCheckInterval)
{
    // The file itself is untouched, so nothing tells of the move: the name
    // is asked again once the interval has passed.
    Configure("MaxSizeKiB=64\nFiles=2\n");
    Write(0, 3);
    std::filesystem::rename(m_dir.File("logs"), m_dir.File("old-logs"));
    std::filesystem::create_directories(m_dir.File("logs"));
    std::this_thread::sleep_for(kEventLogNameCheckInterval + std::chrono::milliseconds(10));
    Write(3, 5);
    EXPECT_EQ(Numbers(m_dir.File("old-logs/ZEN.log")), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Numbers(m_logPath), (std::vector<int>{3, 4}));
}

TEST_F(RotatingEventLog, AChildProcessDoesNotTakeTheParentsNoticeOfAMove)
{
    // The parent's log is open before the fork. The file is moved away, then
    // the child logs first: the parent still learns of the move.
    Configure("MaxSizeKiB=64\nFiles=2\n");
    Write(0, 1);
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char byte = 0;
        const bool told = ::read(go[0], &byte, 1) == 1;
        const int written =
            ZEN_LOG_EVENT("databaseobjects", "CZENDB_Sample::Save", "entry %04d of the rotation test", 1);
        ::_exit(told && written == 1 ? 0 : 1);
    }
    std::filesystem::rename(m_logPath, m_dir.File("logs/moved.log"));
    ASSERT_EQ(::write(go[1], "x", 1), 1);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(go[0]);
    ::close(go[1]);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Write(2, 3);
    EXPECT_EQ(Numbers(m_dir.File("logs/moved.log")), (std::vector<int>{0}));
    EXPECT_EQ(Numbers(m_logPath), (std::vector<int>{1, 2}));
}

// The text of a log file with each entry's time stamp masked, so that runs
// made at different times compare equal.
std::string Masked(const std::string& path)
{
    std::string text;
    for (const std::string& line : Lines(zentest::ReadFileText(path)))
        text += (line.size() >= 24 ? "YYYY-MM-DD hh:mm:ss.mmm " + line.substr(24) : line) + "\n";
    return text;
}

// A log in a configured file; the configuration can be switched to another
// file, taking effect at the next write.
class BatchedEventLog : public EventLogTest {
protected:
    // Makes path the log (with the given extra settings of section "Log").
    void UseLog(const std::string& path, const std::string& logSection = "")
    {
        const std::string config = path + ".ini";
        zentest::WriteFileText(config, "[Log]\nFile=" + path + "\n" + logSection);
        setenv("ZEN_CONFIG", config.c_str(), 1);
    }
};

// Entries of every kind, as the library and callers write them.
void WriteSomeEntries(int from, int to)
{
    for (int i = from; i < to; ++i) {
        ZEN_LOG_EVENT("recordsets", "CZENDB_SamplesRecordset::GetSample", "Deserialize trace data... %d", i);
        Log_Event(LOGG_ERROR, "two\nlines\r", "database", -7, nullptr);
        Log_Event(static_cast<LoggType>(i % 8 - 1), "", nullptr, i, "f");
        ZEN_LOG_EVENT("database", "g", "%s|%5.2f|%c", "x\ny", 2.5, 'z');
        Log_EventFormat(LOGG_INFO, "database", 1, "h", nullptr);
    }
}

TEST_F(BatchedEventLog, ABatchWritesTheSameLinesAsSingleEntries)
{
    // Each case: how the entries are written inside the batch.
    struct Case {
        const char* name;
        void (*write)();
    };
    const Case cases[] = {
        {"one batch", [] {
             const CEventLogBatch batch;
             WriteSomeEntries(0, 20);
         }},
        {"nested batches", [] {
             const CEventLogBatch outer;
             WriteSomeEntries(0, 5);
             {
                 const CEventLogBatch inner;
                 WriteSomeEntries(5, 15);
             }
             WriteSomeEntries(15, 20);
         }},
        {"batches one after the other", [] {
             for (int i = 0; i < 20; i += 5) {
                 const CEventLogBatch batch;
                 WriteSomeEntries(i, i + 5);
             }
         }},
        {"partly outside a batch", [] {
             WriteSomeEntries(0, 3);
             {
                 const CEventLogBatch batch;
                 WriteSomeEntries(3, 17);
             }
             WriteSomeEntries(17, 20);
         }},
    };
    UseLog(m_dir.File("single.log"));
    WriteSomeEntries(0, 20);
    const std::string single = Masked(m_dir.File("single.log"));
    ASSERT_EQ(Lines(single).size(), 100u);
    for (const Case& c : cases) {
        const std::string path = m_dir.File(std::string(c.name) + ".log");
        UseLog(path);
        c.write();
        EXPECT_EQ(Masked(path), single) << c.name;
    }
}

TEST_F(BatchedEventLog, EntriesReachTheFileWhenTheOutermostBatchEnds)
{
    const std::string path = m_dir.File("batch.log");
    UseLog(path);
    ASSERT_EQ(Log_Event(LOGG_DEBUG, "before", "database", 1, "f"), 1);
    {
        const CEventLogBatch outer;
        {
            const CEventLogBatch inner;
            EXPECT_EQ(Log_Event(LOGG_DEBUG, "kept", "database", 2, "f"), 1);
        }
        EXPECT_EQ(zentest::ReadFileText(path).find("kept"), std::string::npos) << "written by the inner batch";
    }
    const std::vector<std::string> lines = Lines(zentest::ReadFileText(path));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(24), "[4 debug] database:2 f: kept");
}

TEST_F(BatchedEventLog, AnExceptionEndingTheBatchStillWritesItsEntries)
{
    const std::string path = m_dir.File("batch.log");
    UseLog(path);
    try {
        const CEventLogBatch batch;
        Log_Event(LOGG_DEBUG, "first", "database", 1, "f");
        Log_Event(LOGG_DEBUG, "second", "database", 2, "f");
        throw std::runtime_error("a list cut short");
    } catch (const std::runtime_error&) {
    }
    const std::vector<std::string> lines = Lines(zentest::ReadFileText(path));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(24), "[4 debug] database:1 f: first");
    EXPECT_EQ(lines[1].substr(24), "[4 debug] database:2 f: second");
}

TEST_F(BatchedEventLog, AFullBatchIsWrittenAtOnce)
{
    const std::string path = m_dir.File("batch.log");
    UseLog(path);
    const CEventLogBatch batch;
    const std::string message(200, 'x');
    size_t kept = 0;
    int entries = 0;
    // Up to the entry that fills the batch, nothing is written.
    while (kept < kEventLogBatchBytes) {
        ASSERT_EQ(std::filesystem::exists(path) ? std::filesystem::file_size(path) : 0u, 0u) << entries;
        ASSERT_EQ(Log_Event(LOGG_DEBUG, message.c_str(), "database", ++entries, "f"), 1);
        kept += 24 + std::string("[4 debug] database:").size() + std::to_string(entries).size() + 4 +
                message.size() + 1;
    }
    EXPECT_EQ(std::filesystem::file_size(path), kept);
    EXPECT_EQ(Lines(zentest::ReadFileText(path)).size(), static_cast<size_t>(entries));
}

TEST_F(BatchedEventLog, RotationInsideABatchGivesTheSameFiles)
{
    // The same 100 numbered entries, one by one and in one batch, into 1 KiB
    // files of which three are kept: the same files with the same lines.
    const auto write = [] {
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(ZEN_LOG_EVENT("databaseobjects", "CZENDB_Sample::Save", "entry %04d of the rotation test", i), 1);
    };
    std::filesystem::create_directories(m_dir.File("single"));
    std::filesystem::create_directories(m_dir.File("batch"));
    UseLog(m_dir.File("single/ZEN.log"), "MaxSizeKiB=1\nFiles=3\n");
    write();
    UseLog(m_dir.File("batch/ZEN.log"), "MaxSizeKiB=1\nFiles=3\n");
    {
        const CEventLogBatch batch;
        write();
    }
    for (const char* name : {"ZEN.log", "ZEN.1.log", "ZEN.2.log"}) {
        const std::string single = m_dir.File(std::string("single/") + name);
        const std::string batched = m_dir.File(std::string("batch/") + name);
        ASSERT_TRUE(std::filesystem::exists(batched)) << name;
        EXPECT_LE(std::filesystem::file_size(batched), 1024u) << name;
        EXPECT_EQ(Masked(batched), Masked(single)) << name;
    }
    // The kept files, oldest first, hold one unbroken run ending with the last.
    const std::string all = Masked(m_dir.File("batch/ZEN.2.log")) + Masked(m_dir.File("batch/ZEN.1.log")) +
                            Masked(m_dir.File("batch/ZEN.log"));
    const std::vector<std::string> lines = Lines(all);
    ASSERT_GT(lines.size(), 16u);
    const int first = std::stoi(lines.front().substr(lines.front().find("entry ") + 6, 4));
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_NE(lines[i].find("entry " + std::string(4 - std::to_string(first + static_cast<int>(i)).size(), '0') +
                                std::to_string(first + static_cast<int>(i))),
                  std::string::npos)
            << lines[i];
    EXPECT_EQ(first + static_cast<int>(lines.size()) - 1, 99);
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("batch/ZEN.3.log")));
}

TEST_F(BatchedEventLog, AnEntryOfAnotherThreadOutsideABatchComesAfterTheBatchedOnes)
{
    const std::string path = m_dir.File("batch.log");
    UseLog(path);
    {
        const CEventLogBatch batch;
        Log_Event(LOGG_DEBUG, "batched 1", "database", 1, "f");
        Log_Event(LOGG_DEBUG, "batched 2", "database", 2, "f");
        std::thread other([] { Log_Event(LOGG_DEBUG, "other thread", "database", 3, "f"); });
        other.join();
        Log_Event(LOGG_DEBUG, "batched 3", "database", 4, "f");
        // Another thread's batch does not write this one's.
        std::thread batchedOther([] {
            const CEventLogBatch otherBatch;
            Log_Event(LOGG_DEBUG, "other batch", "database", 5, "f");
        });
        batchedOther.join();
    }
    std::vector<std::string> messages;
    for (const std::string& line : Lines(zentest::ReadFileText(path)))
        messages.push_back(line.substr(line.find(": ") + 2));
    EXPECT_EQ(messages, (std::vector<std::string>{"batched 1", "batched 2", "other thread", "other batch", "batched 3"}));
}

TEST_F(BatchedEventLog, ClosingTheLogWritesTheBatchFirst)
{
    const std::string path = m_dir.File("batch.log");
    UseLog(path);
    const CEventLogBatch batch;
    Log_Event(LOGG_DEBUG, "kept", "database", 1, "f");
    CloseEventLog();
    EXPECT_NE(zentest::ReadFileText(path).find("[4 debug] database:1 f: kept"), std::string::npos);
}

// The size that decides the rotation is counted by this process; what
// another writer appends counts as soon as the file is asked again: near the
// limit at once, else once the check interval has passed, and for a file
// that replaced the open one at once.
TEST_F(BatchedEventLog, WhatAnotherWriterAppendsCountsForTheRotation)
{
    struct Case {
        const char* name;
        int entriesBefore; // written by this process first
        bool replace;      // the other writer replaces the file rather than appending
        bool waitInterval; // the next entry comes after the check interval
    };
    const Case cases[] = {
        {"appended near the limit", 5, false, false},
        {"appended far from the limit, after the interval", 1, false, true},
        {"replaced by a nearly full file", 1, true, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CloseEventLog();
        const std::string folder = m_dir.File("logs" + std::to_string(n++));
        std::filesystem::create_directories(folder);
        const std::string path = folder + "/ZEN.log";
        UseLog(path, "MaxSizeKiB=1\nFiles=2\n");
        for (int i = 0; i < c.entriesBefore; ++i)
            ASSERT_EQ(ZEN_LOG_EVENT("databaseobjects", "CZENDB_Sample::Save", "entry %04d", i), 1);
        const size_t written = std::filesystem::file_size(path);
        const size_t entry = written / static_cast<size_t>(c.entriesBefore);
        // The other writer leaves the file just short of room for one more entry.
        const std::string filler = std::string(1024 - written - entry / 2 - 1, '-') + "\n";
        if (c.replace) {
            zentest::WriteFileText(folder + "/other", std::string(written, '-') + filler);
            std::filesystem::rename(folder + "/other", path);
        } else {
            std::ofstream(path, std::ios::app | std::ios::binary) << filler;
        }
        if (c.waitInterval)
            std::this_thread::sleep_for(kEventLogNameCheckInterval + std::chrono::milliseconds(10));
        ASSERT_EQ(ZEN_LOG_EVENT("databaseobjects", "CZENDB_Sample::Save", "entry %04d", 99), 1);
        EXPECT_TRUE(std::filesystem::exists(folder + "/ZEN.1.log"));
        EXPECT_LE(std::filesystem::file_size(path), 1024u);
        const std::vector<std::string> lines = Lines(zentest::ReadFileText(path));
        EXPECT_EQ(lines.size(), 1u);
        EXPECT_NE(lines.back().find("entry 0099"), std::string::npos);
    }
}

// The variables that choose the log are looked at without a system call;
// each way of changing them is noticed at the next entry.
TEST_F(BatchedEventLog, EveryWayOfChangingTheEnvironmentIsNoticed)
{
    const std::string root = m_dir.Path().string();
    zentest::WriteFileText(root + "/A.ini", "[Log]\nFile=" + root + "/A.log\n");
    zentest::WriteFileText(root + "/B.ini", "[Log]\nFile=" + root + "/B.log\n");
    // A string handed to putenv stays the variable: written to, the value changes.
    static char assignment[256];
    std::snprintf(assignment, sizeof assignment, "ZEN_CONFIG=%s/A.ini", root.c_str());
    struct Step {
        const char* name;
        void (*act)(const std::string& root);
        const char* log;
    };
    const Step steps[] = {
        {"set", [](const std::string& r) { setenv("ZEN_CONFIG", (r + "/A.ini").c_str(), 1); }, "/A.log"},
        {"changed", [](const std::string& r) { setenv("ZEN_CONFIG", (r + "/B.ini").c_str(), 1); }, "/B.log"},
        {"another variable added", [](const std::string&) { setenv("ZEN_TEST_OTHER", "1", 1); }, "/B.log"},
        {"another removed, then ours changed",
         [](const std::string& r) {
             unsetenv("ZEN_TEST_OTHER");
             setenv("ZEN_CONFIG", (r + "/A.ini").c_str(), 1);
         },
         "/A.log"},
        {"unset, another added", [](const std::string&) {
             unsetenv("ZEN_CONFIG");
             setenv("ZEN_TEST_OTHER", "2", 1);
         },
         "/state/Korvane/ZEN.log"},
        {"another removed, ours added", [](const std::string& r) {
             unsetenv("ZEN_TEST_OTHER");
             setenv("ZEN_CONFIG", (r + "/B.ini").c_str(), 1);
         },
         "/B.log"},
        {"put", [](const std::string&) { putenv(assignment); }, "/A.log"},
        {"the put string written to", [](const std::string&) { std::strstr(assignment, "/A.ini")[1] = 'B'; },
         "/B.log"},
    };
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act(root);
        const std::string text = "step " + std::to_string(n++);
        ASSERT_EQ(Log_Event(LOGG_DEBUG, text.c_str(), "database", 1, "f"), 1);
        const std::vector<std::string> lines = Lines(zentest::ReadFileText(root + step.log));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(24), "[4 debug] database:1 f: " + text);
    }
    setenv("ZEN_CONFIG", (root + "/A.ini").c_str(), 1); // no longer the static string
    unsetenv("ZEN_TEST_OTHER");
}

// The date and time are converted once a second: every stamp lies between
// the clock read just before and just after its entry, also across seconds.
TEST_F(BatchedEventLog, TheTimeStampFollowsTheClockAcrossSeconds)
{
    const auto stamp = [] {
        const auto now = std::chrono::system_clock::now();
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        std::tm local {};
        localtime_r(&seconds, &local);
        char text[40];
        const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
        std::snprintf(text + n, sizeof text - n, ".%03d",
                      static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000));
        return std::string(text);
    };
    const std::string path = m_dir.File("time.log");
    UseLog(path);
    for (int i = 0; i < 2; ++i) {
        if (i > 0) {
            // On to the start of the next second.
            const auto now = std::chrono::system_clock::now();
            std::this_thread::sleep_until(std::chrono::ceil<std::chrono::seconds>(now) + std::chrono::milliseconds(2));
        }
        const std::string before = stamp();
        ASSERT_EQ(Log_Event(LOGG_DEBUG, "now", "database", i, "f"), 1);
        const std::string after = stamp();
        const std::string written = Lines(zentest::ReadFileText(path)).back().substr(0, 23);
        EXPECT_LE(before, written);
        EXPECT_LE(written, after);
    }
}

TEST(EventLogManager, CopiesMemberWise)
{
    CEventLogManager a;
    EXPECT_EQ(a.m_szLogFile[0], '\0');
    std::strcpy(a.m_szLogFile, "/var/log/zen.log");
    a.m_nLogLevel = 4;
    a.m_nMaxFileSizeKB = 1024;
    a.m_strModuleName = "database";

    CEventLogManager b(a);
    CEventLogManager c;
    c = a;
    for (const CEventLogManager* m : {&b, &c}) {
        EXPECT_STREQ(m->m_szLogFile, "/var/log/zen.log");
        EXPECT_EQ(m->m_nLogLevel, 4);
        EXPECT_EQ(m->m_nMaxFileSizeKB, 1024);
        EXPECT_EQ(m->m_strModuleName, "database");
    }
    static_assert(sizeof(a.m_szLogFile) == 260);
}

} // namespace
