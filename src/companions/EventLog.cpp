// Event log on top of a file sink: entries are formatted here, written and
// flushed one by one, and no failure of the file reaches the caller.
#include "companions/EventLog.h"

#include "companions/ConfigFile.h"
#include "framework/XdgPaths.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {

std::mutex g_logMutex;
std::shared_ptr<spdlog::logger> g_logger;  // guarded by g_logMutex, as is all below
std::string g_loggerPath;

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

std::string OneLine(const char* text)
{
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n')
            out += "\\n";
        else if (*p == '\r')
            out += "\\r";
        else
            out += *p;
    }
    return out;
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

// The logger writing to path, opened on first use and again when the
// configured path changed; nullptr when the file cannot be opened, at once
// (without touching the file) while a failure to open it is recent.
spdlog::logger* LoggerFor(const std::string& path)
{
    if (g_logger && g_loggerPath == path)
        return g_logger.get();
    const auto now = std::chrono::steady_clock::now();
    if (path == g_failedPath && now < g_retryAt)
        return nullptr;
    g_logger.reset();
    g_loggerPath.clear();
    try {
        const std::filesystem::path file(path);
        if (file.has_parent_path())
            CreateFolders(file.parent_path().string());
        auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(path, false);
        auto logger = std::make_shared<spdlog::logger>("ZEN", std::move(sink));
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %v");
        logger->set_level(spdlog::level::trace);
        logger->flush_on(spdlog::level::trace);
        logger->set_error_handler([](const std::string&) {});
        g_logger = std::move(logger);
    } catch (const std::exception& e) {
        g_failedPath = path;
        g_retryAt = std::chrono::steady_clock::now() + g_retryInterval;
        ReportFailure(path, e.what());
        return nullptr;
    }
    g_loggerPath = path;
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
        const std::string path = GetEventLogPath().Str();
        std::lock_guard<std::mutex> lock(g_logMutex);
        spdlog::logger* logger = LoggerFor(path);
        if (logger == nullptr)
            return 0;
        std::string entry = "[" + std::to_string(level) + " " + LevelName(level) + "] ";
        entry += sourceFile ? sourceFile : "";
        entry += ":" + std::to_string(line) + " ";
        entry += function ? function : "";
        entry += ": ";
        entry += OneLine(message ? message : "");
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
    g_loggerPath.clear();
    g_failedPath.clear();
    g_reportedPath.clear();
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
