// zendb writing reports into places that refuse them: a file size limit (the
// way a full disk looks to the writer), a folder that does not exist and a
// folder the user may not write. Each fails with the reason named and exit 1,
// leaves no partial or hidden file, and keeps an earlier report as it was.
#include "ToolTestSupport.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zentest {
namespace {

constexpr uid_t kNobody = 65534;

// zendb as a user other than root, since root writes anywhere.
CRun RunUnprivileged(const std::vector<std::string>& args,
                     const std::map<std::string, std::optional<std::string>>& env)
{
    return geteuid() == 0 ? RunZendbAsNobody(args, env) : RunZendb(args, env);
}

// The names in a folder, sorted.
std::vector<std::string> Entries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A profile of many indents in six lanes with scatter, so that even the
// compressed PDF of three runs is far larger than the limits below.
std::string LargeProfileCsv()
{
    std::string csv = "depth,D1,D2,indentor,load,lane\n";
    unsigned state = 12345;
    auto scatter = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<double>((state >> 16) % 1000) / 1000.0 - 0.5;   // -0.5 .. 0.5
    };
    for (int step = 1; step <= 100; ++step) {
        const double depth = step * 0.02;
        for (int lane = 1; lane <= 6; ++lane) {
            const double hv = 700.0 - 250.0 * depth + 30.0 * scatter();
            const double d1 = std::sqrt(1854.4 * 1000.0 / hv);
            const double d2 = d1 * (1.0 + 0.02 * scatter());
            csv += std::to_string(depth) + "," + std::to_string(d1) + "," + std::to_string(d2) + ",V,1000," +
                   std::to_string(lane) + "\n";
        }
    }
    return csv;
}

const char* const kFormats[] = {"pdf", "svg", "png"};

// Every test starts from a copy of one database, prepared once: a sample
// with three large runs.
class ToolReportFiles : public CToolFixture {
protected:
    static void SetUpTestSuite()
    {
        s_prepared = std::make_unique<CTempDir>();
        const std::string db = s_prepared->File("prepared.db");
        const std::string csv = s_prepared->File("profile.csv");
        WriteFileText(csv, LargeProfileCsv());
        const std::vector<std::vector<std::string>> steps = {
            {"init", db},
            {"--db", db, "patterns", "add", "CHD", "--preset", "case-hardening"},
            {"--db", db, "samples", "register", "R-1"},
            {"--db", db, "runs", "import", "R-1", "--pattern", "CHD", "--file", csv},
            {"--db", db, "runs", "import", "R-1", "--pattern", "CHD", "--file", csv},
            {"--db", db, "runs", "import", "R-1", "--pattern", "CHD", "--file", csv},
        };
        for (const auto& step : steps) {
            const CRun run = RunZendb(step);
            ASSERT_EQ(run.status, 0) << step[0] << ": " << run.err;
        }
    }
    static void TearDownTestSuite() { s_prepared.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_prepared);
        m_db = m_dir.File("station.db");
        std::filesystem::copy_file(s_prepared->File("prepared.db"), m_db);
    }

    static std::unique_ptr<CTempDir> s_prepared;
};

std::unique_ptr<CTempDir> ToolReportFiles::s_prepared;

TEST_F(ToolReportFiles, ReplacesAnEarlierReportWholeAndLeavesNothingElse)
{
    const std::filesystem::path out = m_dir.Path() / "out";
    std::filesystem::create_directory(out);
    for (const char* format : kFormats) {
        const std::string target = (out / (std::string("report.") + format)).string();
        WriteFileText(target, "an earlier file, longer than nothing");
        EXPECT_EQ(Ok({"report", "R-1", "--out", target}), "wrote " + target + " (3 runs)\n");
        EXPECT_GT(ReadFileText(target).size(), 5000u) << format;
        // A new file gets the permissions of any new file: 0666 less the umask.
        const mode_t mask = umask(0);
        umask(mask);
        EXPECT_EQ(std::filesystem::status(target).permissions(),
                  static_cast<std::filesystem::perms>(0666 & ~mask)) << format;
    }
    EXPECT_EQ(Entries(out), (std::vector<std::string>{"report.pdf", "report.png", "report.svg"}));
}

TEST_F(ToolReportFiles, FullDiskFailsNamingTheReasonAndKeepsTheEarlierFile)
{
    // The database's shared-memory file alone needs 32 KiB, so the limit
    // stays above that; every report here is well above the limit.
    constexpr rlim_t kLimit = 48 * 1024;
    const std::filesystem::path out = m_dir.Path() / "out";
    const std::filesystem::path state = m_dir.Path() / "state";
    std::filesystem::create_directory(out);
    std::filesystem::create_directory(state);
    // A fresh event log, far below the limit.
    const std::map<std::string, std::optional<std::string>> env = {{"XDG_STATE_HOME", state.string()}};

    for (const char* format : kFormats) {
        SCOPED_TRACE(format);
        const std::string target = (out / (std::string("report.") + format)).string();
        const std::string fresh = (out / (std::string("fresh.") + format)).string();
        Ok({"report", "R-1", "--out", target});
        const std::string earlier = ReadFileText(target);
        ASSERT_GT(earlier.size(), kLimit + 16 * 1024) << "the report must not fit under the limit";

        for (const std::string& path : {target, fresh}) {
            const CRun run = RunZendbWithFileSizeLimit({"--db", m_db, "report", "R-1", "--out", path}, kLimit, env);
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_EQ(run.out, "");
            EXPECT_NE(run.err.find("zendb: cannot write '" + path + "': file too large"), std::string::npos)
                << run.err;
        }
        EXPECT_EQ(ReadFileText(target), earlier);
        EXPECT_FALSE(std::filesystem::exists(fresh));
    }
    EXPECT_EQ(Entries(out), (std::vector<std::string>{"report.pdf", "report.png", "report.svg"}));
}

TEST_F(ToolReportFiles, MissingFolderIsNamed)
{
    for (const char* format : kFormats) {
        const std::string target = m_dir.File(std::string("no-such-folder/report.") + format);
        const CRun run = Zendb({"report", "R-1", "--out", target});
        EXPECT_EQ(run.status, 1) << format;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "zendb: cannot write '" + target + "': folder does not exist\n");
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("no-such-folder")));
}

// A folder under /tmp that everyone may enter, removed with its content.
class CSharedFolder {
public:
    CSharedFolder()
    {
        char name[] = "/tmp/zen-report-XXXXXX";
        if (mkdtemp(name) != nullptr) {
            m_path = name;
            chmod(name, 0755);
        }
    }
    ~CSharedFolder()
    {
        if (m_path.empty())
            return;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored))
            if (entry.is_directory(ignored))
                chmod(entry.path().c_str(), 0755);
        std::filesystem::remove_all(m_path, ignored);
    }
    CSharedFolder(const CSharedFolder&) = delete;
    CSharedFolder& operator=(const CSharedFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Gives a tree to the user the child runs as (nobody, when the test runs as root).
void HandOver(const std::filesystem::path& tree)
{
    if (geteuid() != 0)
        return;
    ASSERT_EQ(chown(tree.c_str(), kNobody, kNobody), 0);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tree))
        ASSERT_EQ(chown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
}

TEST_F(ToolReportFiles, ReadOnlyFolderIsRefusedAndKeepsTheEarlierFile)
{
    CSharedFolder shared;
    ASSERT_FALSE(shared.Path().empty());
    const std::filesystem::path data = shared.Path() / "data";
    const std::filesystem::path home = shared.Path() / "home";
    const std::filesystem::path out = shared.Path() / "out";
    for (const auto& folder : {data, home, out})
        std::filesystem::create_directory(folder);
    const std::string db = (data / "station.db").string();
    std::filesystem::copy_file(m_db, db);
    std::map<std::string, std::string> earlier;
    for (const char* format : kFormats) {
        const std::string target = (out / (std::string("report.") + format)).string();
        ASSERT_EQ(RunZendb({"--db", db, "report", "R-1", "--out", target}).status, 0);
        earlier[target] = ReadFileText(target);
    }
    HandOver(shared.Path());
    ASSERT_EQ(chmod(out.c_str(), 0555), 0);
    if (geteuid() != 0 && access(out.c_str(), W_OK) == 0)
        GTEST_SKIP() << "this user writes into write-protected folders";

    const std::map<std::string, std::optional<std::string>> env = {{"HOME", home.string()}, {"XDG_CONFIG_HOME", (home / "config").string()},
                 {"XDG_STATE_HOME", (home / "state").string()}, {"XDG_DATA_HOME", (home / "data").string()},
                 {"TMPDIR", home.string()}};
    // A build below a folder only root may enter (e.g. /root) cannot be run by
    // the unprivileged user at all.
    if (const CRun probe = RunUnprivileged({"--version"}, env); probe.status != 0)
        GTEST_SKIP() << "the unprivileged user cannot run " << ZENDB_PATH << " (status " << probe.status << ")";
    for (const auto& [target, content] : earlier) {
        const CRun run = RunUnprivileged({"--db", db, "report", "R-1", "--out", target}, env);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "zendb: cannot write '" + target + "': permission denied\n");
        EXPECT_EQ(ReadFileText(target), content) << target;
    }
    EXPECT_EQ(Entries(out), (std::vector<std::string>{"report.pdf", "report.png", "report.svg"}));
}

} // namespace
} // namespace zentest
