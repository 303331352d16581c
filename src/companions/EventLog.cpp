// Event log on top of a file sink: entries are formatted here, written and
// flushed one by one, and no failure of the file reaches the caller.
#include "companions/EventLog.h"

#include "companions/ConfigFile.h"
#include "framework/XdgPaths.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace {

std::mutex g_logMutex;
std::shared_ptr<spdlog::logger> g_logger;  // guarded by g_logMutex
std::string g_loggerPath;

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

// The logger writing to path, opened on first use and again when the
// configured path changed; nullptr when the file cannot be opened.
spdlog::logger* LoggerFor(const std::string& path)
{
    if (g_logger && g_loggerPath == path)
        return g_logger.get();
    g_logger.reset();
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
    g_loggerPath = path;
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
        std::string entry = "[" + std::to_string(level) + " " + LevelName(level) + "] ";
        entry += sourceFile ? sourceFile : "";
        entry += ":" + std::to_string(line) + " ";
        entry += function ? function : "";
        entry += ": ";
        entry += OneLine(message ? message : "");

        std::lock_guard<std::mutex> lock(g_logMutex);
        spdlog::logger* logger = LoggerFor(path);
        if (logger == nullptr)
            return 0;
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
}

CEventLogManager::CEventLogManager() : m_szLogFile{}, m_nLogLevel(0), m_nMaxFileSizeKB(0) {}

CEventLogManager::CEventLogManager(const CEventLogManager& other) = default;

CEventLogManager& CEventLogManager::operator=(const CEventLogManager& other) = default;

CEventLogManager::~CEventLogManager() = default;
