// Helpers of the zendb tests: the process runner (posix_spawn with pipes read
// through poll, so that neither stream can fill up and block the child) and
// the database fixture.
#include "ToolTestSupport.h"

#include "database/StationCopy.h"
#include "framework/sql/Database.h"

#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <ctime>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zentest {

namespace {

// Builds without the tools (ZEN_BUILD_TOOLS=OFF) skip these tests.
class CToolEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (std::string(ZENDB_PATH).empty())
            GTEST_SKIP() << "zendb is not built";
    }
};

[[maybe_unused]] ::testing::Environment* const g_toolEnvironment =
    ::testing::AddGlobalTestEnvironment(new CToolEnvironment);

} // namespace

namespace {

CRun RunZendbProcess(const std::vector<std::string>& args,
                     const std::map<std::string, std::optional<std::string>>& env, const std::string& input,
                     bool asNobody, rlim_t fileSizeLimit = RLIM_INFINITY);

} // namespace

CRun RunZendb(const std::vector<std::string>& args, const std::map<std::string, std::optional<std::string>>& env,
              const std::string& input)
{
    return RunZendbProcess(args, env, input, false);
}

CRun RunZendbAsNobody(const std::vector<std::string>& args,
                      const std::map<std::string, std::optional<std::string>>& env)
{
    return RunZendbProcess(args, env, "/dev/null", true);
}

CRun RunZendbWithFileSizeLimit(const std::vector<std::string>& args, uint64_t bytes,
                               const std::map<std::string, std::optional<std::string>>& env)
{
    return RunZendbProcess(args, env, "/dev/null", false, static_cast<rlim_t>(bytes));
}

namespace {

CRun RunZendbProcess(const std::vector<std::string>& args,
                     const std::map<std::string, std::optional<std::string>>& env, const std::string& input,
                     bool asNobody, rlim_t fileSizeLimit)
{
    CRun run;
    const std::string program = ZENDB_PATH;
    if (program.empty()) {
        ADD_FAILURE() << "zendb was not built";
        return run;
    }
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argvPtr;
    for (std::string& arg : argv)
        argvPtr.push_back(arg.data());
    argvPtr.push_back(nullptr);

    // The environment: the test's own, with the given changes. The password
    // variables never leak in from outside.
    std::map<std::string, std::optional<std::string>> changes = {
        {"ZEN_PASSWORD", std::nullopt}, {"ZEN_NEW_PASSWORD", std::nullopt}, {"ZEN_USER", std::nullopt}};
    for (const auto& [key, value] : env)
        changes[key] = value;
    std::vector<std::string> envText;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string key = text.substr(0, text.find('='));
        if (changes.count(key) == 0)
            envText.push_back(text);
    }
    for (const auto& [key, value] : changes)
        if (value)
            envText.push_back(key + "=" + *value);
    std::vector<char*> envPtr;
    for (std::string& text : envText)
        envPtr.push_back(text.data());
    envPtr.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return run;
    }
    pid_t pid = -1;
    int spawned = 0;
    if (asNobody || fileSizeLimit != RLIM_INFINITY) {
        // fork and exec by hand: posix_spawn can neither change the user nor
        // set a limit. The child calls only functions that are safe after fork.
        const int stdinFd = open(input.c_str(), O_RDONLY | O_CLOEXEC);
        pid = fork();
        if (pid == 0) {
            const gid_t nogroup = 65534;
            if (dup2(stdinFd, 0) < 0 || dup2(outPipe[1], 1) < 0 || dup2(errPipe[1], 2) < 0)
                _exit(kCannotRunAsNobody);
            close(outPipe[0]);
            close(errPipe[0]);
            if (fileSizeLimit != RLIM_INFINITY) {
                // With SIGXFSZ ignored a write past the limit fails with EFBIG,
                // as a write to a full disk fails with ENOSPC.
                const rlimit limit{fileSizeLimit, fileSizeLimit};
                struct sigaction ignore {};
                ignore.sa_handler = SIG_IGN;
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0 || sigaction(SIGXFSZ, &ignore, nullptr) != 0)
                    _exit(kCannotRunAsNobody);
            }
            if (asNobody && (setgroups(0, nullptr) != 0 || setgid(nogroup) != 0 || setuid(65534) != 0))
                _exit(kCannotRunAsNobody);
            execve(program.c_str(), argvPtr.data(), envPtr.data());
            _exit(kCannotRunAsNobody);
        }
        spawned = pid < 0 ? errno : 0;
        if (stdinFd >= 0)
            close(stdinFd);
    } else {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        posix_spawn_file_actions_addclose(&actions, outPipe[0]);
        posix_spawn_file_actions_addclose(&actions, errPipe[0]);
        spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argvPtr.data(), envPtr.data());
        posix_spawn_file_actions_destroy(&actions);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        ADD_FAILURE() << "posix_spawn " << program << ": " << std::strerror(spawned);
        return run;
    }

    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(got));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

} // namespace

void CToolFixture::SetUp()
{
    if (Engine() == ETestEngine::PostgreSql) {
        ZEN_REQUIRE_ENGINE(Engine());
        m_server = std::make_unique<CTestDatabase>(Engine());
        m_db = m_server->ConnectString().Str();
        ASSERT_FALSE(m_db.empty());
        const CRun init = RunZendb({"--db", m_db, "init"});
        ASSERT_EQ(init.status, 0) << init.err;
        return;
    }
    m_db = m_dir.File("station.db");
    const CRun init = RunZendb({"init", m_db});
    ASSERT_EQ(init.status, 0) << init.err;
}

CRun CToolFixture::Zendb(const std::vector<std::string>& args,
                         const std::map<std::string, std::optional<std::string>>& env) const
{
    std::vector<std::string> all = {"--db", m_db};
    all.insert(all.end(), args.begin(), args.end());
    return RunZendb(all, env);
}

std::string CToolFixture::Ok(const std::vector<std::string>& args) const
{
    const CRun run = Zendb(args);
    std::string command;
    for (const std::string& arg : args)
        command += " " + arg;
    EXPECT_EQ(run.status, 0) << "zendb" << command << "\nstderr: " << run.err;
    return run.out;
}

nlohmann::json CToolFixture::Json(const std::vector<std::string>& args) const
{
    std::vector<std::string> all = {"--format", "json"};
    all.insert(all.end(), args.begin(), args.end());
    const std::string out = Ok(all);
    try {
        return nlohmann::json::parse(out);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "not JSON (" << e.what() << "): " << out;
        return nullptr;
    }
}

std::string LocalDate(int days)
{
    std::time_t now = std::time(nullptr) + static_cast<std::time_t>(days) * 86400;
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

std::string VickersDiagonal(double hv, double load)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.12f", std::sqrt(1854.4 * load / hv));
    return text;
}

void CRunsFixture::SetUp()
{
    CToolFixture::SetUp();
    if (IsSkipped() || HasFatalFailure())
        return;
    Ok({"patterns", "add", "CHD", "--preset", "case-hardening"});
    Ok({"samples", "register", "R-1"});
}

std::string CRunsFixture::Csv(const std::string& name, const std::string& text) const
{
    const std::string path = m_dir.File(name);
    WriteFileText(path, text);
    return path;
}

void ExecuteOn(const std::string& path, const std::vector<std::string>& statements)
{
    CDatabase db;
    db.OpenEx(ZenConnectStringForLocation(path.c_str()), CDatabase::noOdbcDialog);
    for (const std::string& sql : statements)
        db.ExecuteSQL(CString(sql.c_str()));
    db.Close();
}

} // namespace zentest
