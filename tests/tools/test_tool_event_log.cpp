// zendb as a process writing the station's event log: every open of the
// database is logged once, and processes that follow one another share the
// rotated files, whose count stays as configured.
#include "ToolTestSupport.h"

#include <filesystem>
#include <algorithm>

namespace zentest {
namespace {

namespace fs = std::filesystem;

size_t Count(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

class ToolEventLog : public CToolFixture {
protected:
    void Configure(const std::string& logSection)
    {
        m_config = m_dir.File("ZEN.ini");
        WriteFileText(m_config, "[Log]\nFile=" + m_dir.File("logs/ZEN.log") + "\n" + logSection);
    }
    void Run(const std::vector<std::string>& args) const
    {
        const CRun run = Zendb(args, {{"ZEN_CONFIG", m_config}});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    // Every log file in the folder, and all their text.
    std::vector<fs::path> Files() const
    {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(m_dir.File("logs")))
            files.push_back(entry.path());
        return files;
    }
    std::string AllText() const
    {
        std::string text;
        for (const fs::path& file : Files())
            text += ReadFileText(file.string());
        return text;
    }
    std::string m_config;
};

TEST_F(ToolEventLog, EachStepOfAnOpenIsLoggedOnce)
{
    Configure("");
    Run({"info"});
    const std::string log = AllText();
    for (const std::string& step : std::vector<std::string>{"CZENDatabase::OpenDatabase: Opening Database...",
                                   "CZENDatabase::OpenDatabase: Environment ProgramData is:",
                                   "CZENDatabase::OpenDatabase: Complete Database Path:",
                                   "CZENDatabase::OpenDatabase: Database to open:" + m_db + "\n",
                                   "CZENDatabase::OpenDatabase: Connection string:"})
        EXPECT_EQ(Count(log, step), 1u) << step << "\n" << log;
    Run({"samples", "register", "S-1"});
    EXPECT_EQ(Count(AllText(), "Opening Database..."), 2u);
    EXPECT_EQ(Count(AllText(), "CZENDB_Sample::Save: Added new recordset successfully!"), 1u);
}

TEST_F(ToolEventLog, ProcessesShareTheRotatedFilesAndTheirCount)
{
    // An open logs some 700 bytes: with 1 KiB files and room for many, no
    // entry is lost, and each open is found once.
    Configure("MaxSizeKiB=1\nFiles=50\n");
    const int runs = 8;
    for (int i = 0; i < runs; ++i)
        Run({"info"});
    EXPECT_GT(Files().size(), 2u);
    for (const fs::path& file : Files())
        EXPECT_LE(fs::file_size(file), 1024u) << file;
    EXPECT_EQ(Count(AllText(), "Opening Database..."), static_cast<size_t>(runs));
    EXPECT_EQ(Count(AllText(), "Connection string:"), static_cast<size_t>(runs));

    // Fewer files: the next runs leave exactly that many.
    Configure("MaxSizeKiB=1\nFiles=2\n");
    for (int i = 0; i < 4; ++i)
        Run({"info"});
    std::vector<std::string> names;
    for (const fs::path& file : Files())
        names.push_back(file.filename().string());
    std::sort(names.begin(), names.end());
    // Also the files left from the larger count are gone.
    EXPECT_EQ(names, (std::vector<std::string>{"ZEN.1.log", "ZEN.log"}));
}

} // namespace
} // namespace zentest
