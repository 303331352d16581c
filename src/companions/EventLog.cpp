// Event log on top of a file sink: entries are formatted here, written one by
// one with a single append each, the file is rotated by size, and no failure
// of the file reaches the caller.
#include "companions/EventLog.h"

#include "companions/ConfigFile.h"
#include "framework/XdgPaths.h"

#include <spdlog/details/null_mutex.h>
#include <spdlog/logger.h>
#include <spdlog/sinks/base_sink.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {

// The file name of the n-th older file of a rotated log: "ZEN.log" gives
// "ZEN.1.log", a name without extension "name.1".
std::string RotatedName(const std::string& path, int n)
{
    const std::filesystem::path file(path);
    const std::string number = "." + std::to_string(n);
    if (!file.has_extension() || file.stem().empty())
        return path + number;
    return (file.parent_path() / (file.stem().string() + number + file.extension().string())).string();
}

// Counts the forks of this process in the child; a file sink made before a
// fork sets up its own watch in the child.
std::atomic<unsigned> g_forkGeneration{0};
[[maybe_unused]] const bool g_forkCounted = [] {
    ::pthread_atfork(nullptr, nullptr, [] { g_forkGeneration.fetch_add(1, std::memory_order_relaxed); });
    return true;
}();

// Appends entries to one file and rotates it by size. Several processes (the
// station programs, zendb) write the same file, so the file is opened for
// appending and each entry is one write; the size is taken from the open file
// before each entry, so that entries of other processes count. Whether the
// name still leads to the open file (another process rotated, or someone moved
// the file away) is asked of the file system only when a watch on the open
// file reports that it was moved, unlinked or relinked, and at the latest
// every kEventLogNameCheckInterval; where no watch can be set (no inotify
// instance left), before each entry as well. The rotation itself holds an
// exclusive lock on the full file, and the one who gets the lock later finds
// the name already taken by a new file. Called under g_logMutex.
class CRotatingFileSink : public spdlog::sinks::base_sink<spdlog::details::null_mutex> {
public:
    // Throws spdlog::spdlog_ex when the file cannot be opened.
    CRotatingFileSink(std::string path, off_t maxBytes, int files)
        : m_path(std::move(path)), m_maxBytes(maxBytes), m_files(files)
    {
        m_forkGeneration = g_forkGeneration.load(std::memory_order_relaxed);
        m_watchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        Open();
    }
    ~CRotatingFileSink() override
    {
        Close();
        if (m_watchFd >= 0)
            ::close(m_watchFd);
    }
    CRotatingFileSink(const CRotatingFileSink&) = delete;
    CRotatingFileSink& operator=(const CRotatingFileSink&) = delete;

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override
    {
        spdlog::memory_buf_t line;
        formatter_->format(msg, line);
        FollowTheName();
        struct stat st {};
        if (::fstat(m_fd, &st) == 0 && st.st_size > 0 &&
            st.st_size + static_cast<off_t>(line.size()) > m_maxBytes)
            Rotate();
        const char* data = line.data();
        size_t left = line.size();
        while (left > 0) {
            const ssize_t written = ::write(m_fd, data, left);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                throw spdlog::spdlog_ex("cannot write to " + m_path, errno);
            data += written;
            left -= static_cast<size_t>(written);
        }
    }
    void flush_() override {}

private:
    static constexpr uint32_t kWatchedChanges = IN_MOVE_SELF | IN_DELETE_SELF | IN_ATTRIB;

    void Open()
    {
        for (int attempt = 0;; ++attempt) {
            const int fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0)
                throw spdlog::spdlog_ex("cannot open " + m_path, errno);
            Close();
            m_fd = fd;
            m_nameCheckedAt = std::chrono::steady_clock::now();
            // The watch is set by name: it may meet a file that replaced the
            // one just opened. Then that file is opened instead (a rotation
            // does not come twice in a row; after a few tries the name is
            // checked before each entry instead).
            if (!Watch() || NameIsOurs())
                return; // without a watch the name is checked before each entry
            if (attempt >= 3) {
                Unwatch();
                return;
            }
        }
    }
    void Close()
    {
        Unwatch();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    // Sets the watch on the file at the name; false when none can be set.
    bool Watch()
    {
        if (m_watchFd < 0)
            return false;
        m_watch = ::inotify_add_watch(m_watchFd, m_path.c_str(), kWatchedChanges);
        DrainWatch(); // events of the file watched before
        return m_watch >= 0;
    }
    void Unwatch()
    {
        if (m_watch >= 0)
            ::inotify_rm_watch(m_watchFd, m_watch);
        m_watch = -1;
    }
    // True when the watch reported something since the last call.
    bool DrainWatch()
    {
        alignas(struct inotify_event) char buffer[4096];
        bool any = false;
        while (::read(m_watchFd, buffer, sizeof buffer) > 0)
            any = true;
        return any;
    }
    // True while the name still leads to the open file.
    bool NameIsOurs() const
    {
        struct stat named {};
        struct stat open {};
        return ::stat(m_path.c_str(), &named) == 0 && ::fstat(m_fd, &open) == 0 &&
               named.st_dev == open.st_dev && named.st_ino == open.st_ino;
    }
    // Another process rotated (or someone moved the file away): write to
    // the file that now has the name.
    void FollowTheName()
    {
        if (m_forkGeneration != g_forkGeneration.load(std::memory_order_relaxed)) {
            // A child shares the parent's watch queue: whichever reads an
            // event takes it from the other. The child gets its own.
            m_forkGeneration = g_forkGeneration.load(std::memory_order_relaxed);
            m_watch = -1; // belongs to the parent's queue
            if (m_watchFd >= 0)
                ::close(m_watchFd);
            m_watchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            Open();
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        const bool watched = m_watch >= 0;
        // The watch sees what happens to the open file, not to the folders
        // of its name: those are checked after the interval.
        if (watched && !DrainWatch() && now - m_nameCheckedAt < kEventLogNameCheckInterval)
            return;
        m_nameCheckedAt = now;
        if (!NameIsOurs() || (!watched && m_watchFd >= 0 && Watch() && !NameIsOurs()))
            Open(); // the second test: a watch that could not be set is tried again
    }
    void Rotate()
    {
        if (::flock(m_fd, LOCK_EX) == 0) {
            // Under the lock: rotate only when nobody did it meanwhile.
            if (NameIsOurs()) {
                std::error_code ignored;
                // Files beyond the count go too, also those left from a
                // larger count configured before.
                for (int n = m_files - 1; n >= 1 && n <= kMaxEventLogFiles; ++n)
                    std::filesystem::remove(RotatedName(m_path, n), ignored);
                for (int n = m_files - 2; n >= 1; --n)
                    std::filesystem::rename(RotatedName(m_path, n), RotatedName(m_path, n + 1), ignored);
                if (m_files > 1)
                    std::filesystem::rename(m_path, RotatedName(m_path, 1), ignored);
                else
                    std::filesystem::remove(m_path, ignored);
            }
            ::flock(m_fd, LOCK_UN);
        }
        Open();
    }

    std::string m_path;
    off_t m_maxBytes;
    int m_files;
    int m_fd = -1;
    int m_watchFd = -1; // the inotify instance, -1 when none could be had
    int m_watch = -1;   // the watch on the open file, -1 when none is set
    unsigned m_forkGeneration = 0;
    std::chrono::steady_clock::time_point m_nameCheckedAt;
};

// The rotation settings of the station configuration; a value that is not a
// whole number in range gives the default.
int ConfiguredNumber(const char* key, int defaultValue, int lowest, int highest)
{
    const std::string text = GetStringFromConfigFile("Log", key, "").Str();
    if (text.empty())
        return defaultValue;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno != 0 || value < lowest || value > highest)
        return defaultValue;
    return static_cast<int>(value);
}

struct CLogSettings {
    std::string path;
    int maxSizeKiB = kDefaultEventLogMaxSizeKiB;
    int files = kDefaultEventLogFiles;
    bool operator==(const CLogSettings&) const = default;
};

CLogSettings CurrentSettings()
{
    CLogSettings settings;
    settings.path = GetEventLogPath().Str();
    settings.maxSizeKiB = ConfiguredNumber("MaxSizeKiB", kDefaultEventLogMaxSizeKiB, 1, kMaxEventLogSizeKiB);
    settings.files = ConfiguredNumber("Files", kDefaultEventLogFiles, 1, kMaxEventLogFiles);
    return settings;
}

std::mutex g_logMutex;
std::shared_ptr<spdlog::logger> g_logger;  // guarded by g_logMutex, as is all below
CLogSettings g_loggerSettings;
bool g_loggerOpen = false;

// The settings are read from the station configuration at most once per
// interval: each reading stats every configuration file for each of its
// three keys, which costs more than the entry itself, and a list or a save
// writes entries by the hundred. A changed file is thus noticed within the
// interval. The variables that choose the configuration files and the
// default log folder are compared on every entry instead (no system call),
// so that pointing ZEN_CONFIG elsewhere takes effect at the next entry.
constexpr const char* kSettingsVariables[] = {"ZEN_CONFIG", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS",
                                              "XDG_STATE_HOME", "HOME"};
constexpr std::size_t kSettingsVariableCount = std::size(kSettingsVariables);

struct CSettingsSnapshot {
    bool valid = false;
    CLogSettings settings;
    std::chrono::steady_clock::time_point checkedAt;
    // The variables above as they were when the settings were read; unset
    // and empty differ.
    std::string values[kSettingsVariableCount];
    bool isSet[kSettingsVariableCount] = {};

    bool EnvironmentUnchanged() const
    {
        const char* now[kSettingsVariableCount];
        ReadSettingsVariables(now);
        for (std::size_t i = 0; i < kSettingsVariableCount; ++i) {
            if ((now[i] != nullptr) != isSet[i] || (now[i] != nullptr && values[i] != now[i]))
                return false;
        }
        return true;
    }
    // The variables' values as getenv gives them (the first entry of each
    // name; nullptr when unset), found in one pass over the environment
    // rather than one per variable: this runs before every entry.
    static void ReadSettingsVariables(const char* (&now)[kSettingsVariableCount])
    {
        static const std::size_t lengths[] = {std::strlen(kSettingsVariables[0]), std::strlen(kSettingsVariables[1]),
                                              std::strlen(kSettingsVariables[2]), std::strlen(kSettingsVariables[3]),
                                              std::strlen(kSettingsVariables[4])};
        static_assert(std::size(lengths) == kSettingsVariableCount);
        std::fill(std::begin(now), std::end(now), nullptr);
        for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
            const char* e = *entry;
            for (std::size_t i = 0; i < kSettingsVariableCount; ++i) {
                if (now[i] == nullptr && e[0] == kSettingsVariables[i][0] &&
                    std::strncmp(e, kSettingsVariables[i], lengths[i]) == 0 && e[lengths[i]] == '=') {
                    now[i] = e + lengths[i] + 1;
                    break;
                }
            }
        }
    }
    void TakeEnvironment()
    {
        for (std::size_t i = 0; i < kSettingsVariableCount; ++i) {
            const char* now = std::getenv(kSettingsVariables[i]);
            isSet[i] = now != nullptr;
            values[i] = now != nullptr ? now : "";
        }
    }
};
CSettingsSnapshot g_settings;

// The log settings for the next entry: those read last while they are
// recent and the environment is the same, else read anew.
const CLogSettings& SettingsForEntry()
{
    const auto now = std::chrono::steady_clock::now();
    if (g_settings.valid && now - g_settings.checkedAt < kEventLogSettingsCheckInterval &&
        g_settings.EnvironmentUnchanged())
        return g_settings.settings;
    g_settings.valid = false;  // stays so if reading throws
    g_settings.TakeEnvironment();
    g_settings.settings = CurrentSettings();
    g_settings.checkedAt = now;
    g_settings.valid = true;
    return g_settings.settings;
}

// A file that could not be opened is left alone for a while: every attempt
// costs the file sink's retries (some 50 ms), and a save or a long list logs
// hundreds of entries. Remembered per path, so a changed configuration is
// tried at once.
std::string g_failedPath;
std::chrono::steady_clock::time_point g_retryAt;
std::chrono::milliseconds g_retryInterval = kDefaultRetryInterval;
// The path whose failure was last reported on stderr; reported once until
// the file works again.
std::string g_reportedPath;

spdlog::level::level_enum ToSpdLevel(int32_t level)
{
    switch (level) {
    case LOGG_CRITICAL:
        return spdlog::level::critical;
    case LOGG_ERROR:
        return spdlog::level::err;
    case LOGG_WARNING:
        return spdlog::level::warn;
    case LOGG_INFO:
        return spdlog::level::info;
    case LOGG_DEBUG:
        return spdlog::level::debug;
    default:
        return level < 0 ? spdlog::level::critical : spdlog::level::trace;
    }
}

const char* LevelName(int32_t level)
{
    switch (level) {
    case LOGG_CRITICAL:
        return "critical";
    case LOGG_ERROR:
        return "error";
    case LOGG_WARNING:
        return "warning";
    case LOGG_INFO:
        return "info";
    case LOGG_DEBUG:
        return "debug";
    case LOGG_TRACE:
        return "trace";
    default:
        return "level";
    }
}

// Appends text with its line breaks written as \n and \r, so that an entry
// stays one line.
void AppendOneLine(std::string& out, const char* text)
{
    for (const char* p = text; *p != '\0';) {
        const size_t plain = std::strcspn(p, "\r\n");
        out.append(p, plain);
        p += plain;
        if (*p == '\n')
            out += "\\n";
        else if (*p == '\r')
            out += "\\r";
        else
            break;
        ++p;
    }
}

// Tells once, on stderr, that entries are being dropped: the log is where
// one would look for a trouble's cause, so its own trouble must not be silent.
void ReportFailure(const std::string& path, const char* reason)
{
    if (g_reportedPath == path)
        return;
    g_reportedPath = path;
    std::fprintf(stderr,
                 "ZEN event log: cannot write to '%s' (%s); entries are dropped until it can be written "
                 "(tried again every %lld s).\n",
                 path.c_str(), reason, static_cast<long long>(g_retryInterval.count() / 1000));
    std::fflush(stderr);
}

// The logger writing to the configured file, opened on first use and again
// when the configured path or rotation changed; nullptr when the file cannot
// be opened, at once (without touching the file) while a failure to open it
// is recent.
spdlog::logger* LoggerFor(const CLogSettings& settings)
{
    const std::string& path = settings.path;
    if (g_logger && g_loggerOpen && g_loggerSettings == settings)
        return g_logger.get();
    const auto now = std::chrono::steady_clock::now();
    if (path == g_failedPath && now < g_retryAt)
        return nullptr;
    g_logger.reset();
    g_loggerOpen = false;
    try {
        const std::filesystem::path file(path);
        if (file.has_parent_path())
            CreateFolders(file.parent_path().string());
        auto sink = std::make_shared<CRotatingFileSink>(path, static_cast<off_t>(settings.maxSizeKiB) * 1024,
                                                        settings.files);
        auto logger = std::make_shared<spdlog::logger>("ZEN", std::move(sink));
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %v");
        logger->set_level(spdlog::level::trace);
        logger->set_error_handler([](const std::string&) {});
        g_logger = std::move(logger);
    } catch (const std::exception& e) {
        g_failedPath = path;
        g_retryAt = std::chrono::steady_clock::now() + g_retryInterval;
        ReportFailure(path, e.what());
        return nullptr;
    }
    g_loggerSettings = settings;
    g_loggerOpen = true;
    g_failedPath.clear();
    g_reportedPath.clear();
    return g_logger.get();
}

} // namespace

CString GetEventLogPath()
{
    CString configured = GetStringFromConfigFile("Log", "File", "");
    if (!configured.IsEmpty())
        return configured;
    return JoinPath(JoinPath(GetXdgStateHome(), "Korvane"), "ZEN.log");
}

int Log_Event(LoggType level, const char* message, const char* sourceFile, int32_t line,
              const char* function)
{
    try {
        std::lock_guard<std::mutex> lock(g_logMutex);
        spdlog::logger* logger = LoggerFor(SettingsForEntry());
        if (logger == nullptr)
            return 0;
        // One text built in place: a list writes an entry per row.
        char numbers[48];
        std::string entry;
        entry.reserve(160);
        entry += '[';
        entry.append(numbers, static_cast<size_t>(std::snprintf(numbers, sizeof numbers, "%d ", static_cast<int>(level))));
        entry += LevelName(level);
        entry += "] ";
        entry += sourceFile ? sourceFile : "";
        entry.append(numbers, static_cast<size_t>(std::snprintf(numbers, sizeof numbers, ":%d ", static_cast<int>(line))));
        entry += function ? function : "";
        entry += ": ";
        AppendOneLine(entry, message ? message : "");
        logger->log(ToSpdLevel(level), entry);
        return 1;
    } catch (...) {
        return 0;
    }
}

int Log_EventFormat(LoggType level, const char* sourceFile, int32_t line, const char* function,
                    const char* format, ...)
{
    try {
        if (format == nullptr)
            return Log_Event(level, "", sourceFile, line, function);
        CString message;
        va_list args;
        va_start(args, format);
        message.FormatV(format, args);
        va_end(args);
        return Log_Event(level, message, sourceFile, line, function);
    } catch (...) {
        return 0;
    }
}

void CloseEventLog()
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_logger.reset();
    g_loggerOpen = false;
    g_failedPath.clear();
    g_reportedPath.clear();
    g_settings.valid = false;
}

void SetEventLogRetryInterval(std::chrono::milliseconds interval)
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_retryInterval = interval < std::chrono::milliseconds(0) ? std::chrono::milliseconds(0) : interval;
    // A failure remembered now waits the new interval at most.
    const auto latest = std::chrono::steady_clock::now() + g_retryInterval;
    if (g_retryAt > latest)
        g_retryAt = latest;
}

CEventLogManager::CEventLogManager() : m_szLogFile{}, m_nLogLevel(0), m_nMaxFileSizeKB(0) {}

CEventLogManager::CEventLogManager(const CEventLogManager& other) = default;

CEventLogManager& CEventLogManager::operator=(const CEventLogManager& other) = default;

CEventLogManager::~CEventLogManager() = default;
