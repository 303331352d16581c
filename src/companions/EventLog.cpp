// Event log: entries are formatted here into a reused buffer, appended to the
// file with one write each (or one write per batch), the file is rotated by
// size, and no failure of the file reaches the caller.
#include "companions/EventLog.h"

#include "companions/ConfigFile.h"
#include "framework/XdgPaths.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

// A growing byte buffer that keeps its memory when cleared: an entry is
// formatted straight into it, so the hot path allocates only while the buffer
// grows to the longest entry (or batch) seen.
class CTextBuffer {
public:
    const char* Data() const { return m_data.get(); }
    size_t Size() const { return m_size; }
    bool Empty() const { return m_size == 0; }
    void Clear() { m_size = 0; }
    // Room for at least n more bytes after the current end.
    char* Reserve(size_t n)
    {
        if (m_capacity - m_size < n) {
            const size_t capacity = std::max(m_size + n, m_capacity * 2 + 256);
            std::unique_ptr<char[]> grown(new char[capacity]);
            if (m_size > 0)
                std::memcpy(grown.get(), m_data.get(), m_size);
            m_data = std::move(grown);
            m_capacity = capacity;
        }
        return m_data.get() + m_size;
    }
    void Grow(size_t n) { m_size += n; }
    void Shrink(size_t size) { m_size = size; }
    void Append(const char* text, size_t n)
    {
        std::memcpy(Reserve(n), text, n);
        m_size += n;
    }
    void Append(char c) { *Reserve(1) = c; ++m_size; }

private:
    std::unique_ptr<char[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

// Local date and time "YYYY-MM-DD hh:mm:ss" of the wall clock, converted
// only when the second changes: a list writes thousands of entries a second.
class CClockText {
public:
    // Appends "YYYY-MM-DD hh:mm:ss.mmm " for now.
    void AppendNow(CTextBuffer& out)
    {
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        if (!m_valid || now.tv_sec != m_second) {
            std::tm local {};
            const time_t seconds = now.tv_sec;
            localtime_r(&seconds, &local);
            char* p = m_text;
            p = Digits(p, local.tm_year + 1900, 4);
            *p++ = '-';
            p = Digits(p, local.tm_mon + 1, 2);
            *p++ = '-';
            p = Digits(p, local.tm_mday, 2);
            *p++ = ' ';
            p = Digits(p, local.tm_hour, 2);
            *p++ = ':';
            p = Digits(p, local.tm_min, 2);
            *p++ = ':';
            p = Digits(p, local.tm_sec, 2);
            *p++ = '.';
            m_second = now.tv_sec;
            m_valid = true;
        }
        char* p = out.Reserve(kLength);
        std::memcpy(p, m_text, kDateTimeLength);
        p = Digits(p + kDateTimeLength, static_cast<int>(now.tv_nsec / 1000000), 3);
        *p = ' ';
        out.Grow(kLength);
    }

private:
    static constexpr size_t kDateTimeLength = 20; // with the '.'
    static constexpr size_t kLength = kDateTimeLength + 4;
    // Writes value with at least width digits (more for a year past 9999).
    static char* Digits(char* p, int value, int width)
    {
        char digits[12];
        int n = 0;
        unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (n < width)
            digits[n++] = '0';
        while (n > 0)
            *p++ = digits[--n];
        return p;
    }

    time_t m_second = 0;
    bool m_valid = false;
    char m_text[32] = {};
};

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

void AppendText(CTextBuffer& out, const char* text)
{
    if (text != nullptr)
        out.Append(text, std::strlen(text));
}

// Appends value in decimal, as "%d" writes it.
void AppendNumber(CTextBuffer& out, int32_t value)
{
    char digits[12];
    char* p = std::end(digits);
    // Through 64 bits: the lowest int32_t has no positive counterpart.
    const bool negative = value < 0;
    auto v = static_cast<uint64_t>(negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value));
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negative)
        *--p = '-';
    out.Append(p, static_cast<size_t>(std::end(digits) - p));
}

// The first n characters of text, with line breaks written as \n and \r.
void AppendOneLine(CTextBuffer& out, const char* text, size_t n)
{
    // Most texts have no break: two fast searches, one copy.
    if (std::memchr(text, '\n', n) == nullptr && std::memchr(text, '\r', n) == nullptr) {
        out.Append(text, n);
        return;
    }
    const char* end = text + n;
    for (const char* p = text; p < end;) {
        const char* run = p;
        while (p < end && *p != '\n' && *p != '\r')
            ++p;
        out.Append(run, static_cast<size_t>(p - run));
        if (p == end)
            break;
        out.Append(*p == '\n' ? "\\n" : "\\r", 2);
        ++p;
    }
}

// Appends value in decimal, as "%lld" or "%llu" writes it.
void AppendNumber64(CTextBuffer& out, uint64_t magnitude, bool negative)
{
    char digits[21];
    char* p = std::end(digits);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        *--p = '-';
    out.Append(p, static_cast<size_t>(std::end(digits) - p));
}

// The conversion at format (just after its '%') when it is one that
// AppendSimpleFormat writes itself: %s, %d, %i or %u, the numbers also with
// l or ll; longs counts the l's. nullptr for any other (flags, widths,
// precisions, other kinds), which vsnprintf then writes.
const char* SimpleConversion(const char* format, int& longs)
{
    longs = 0;
    while (*format == 'l' && longs < 2) {
        ++format;
        ++longs;
    }
    const char kind = *format;
    if (kind == 's' ? longs == 0 : kind == 'd' || kind == 'i' || kind == 'u')
        return format;
    return nullptr;
}

// The message of a printf format whose conversions are all simple (see
// SimpleConversion) or "%%", written straight into out as vsnprintf would
// write it (a null text as "(null)"), line breaks written out as
// AppendOneLine writes them. vsnprintf copies long texts slowly, and an
// entry naming a statement carries one. False, out untouched and args not
// read, for any other format.
bool AppendSimpleFormat(CTextBuffer& out, const char* format, va_list* args)
{
    int longs = 0;
    for (const char* p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p + 1, '%')) {
        if (p[1] == '%') {
            ++p;
            continue;
        }
        p = SimpleConversion(p + 1, longs);
        if (p == nullptr)
            return false;
    }
    va_list copy;
    va_copy(copy, *args);
    for (const char* p = format; *p != '\0';) {
        const char* run = p;
        while (*p != '\0' && *p != '%')
            ++p;
        AppendOneLine(out, run, static_cast<size_t>(p - run));
        if (*p == '\0')
            break;
        if (p[1] == '%') {
            out.Append('%');
            p += 2;
            continue;
        }
        p = SimpleConversion(p + 1, longs);
        switch (*p) {
        case 's': {
            const char* text = va_arg(copy, const char*);
            if (text == nullptr)
                text = "(null)";
            AppendOneLine(out, text, std::strlen(text));
            break;
        }
        case 'u': {
            const uint64_t v = longs == 0   ? va_arg(copy, unsigned int)
                               : longs == 1 ? va_arg(copy, unsigned long)
                                            : va_arg(copy, unsigned long long);
            AppendNumber64(out, v, false);
            break;
        }
        default: {
            const int64_t v = longs == 0 ? va_arg(copy, int) : longs == 1 ? va_arg(copy, long) : va_arg(copy, long long);
            // Through the magnitude: the lowest value has no positive counterpart.
            AppendNumber64(out, v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v), v < 0);
            break;
        }
        }
        ++p;
    }
    va_end(copy);
    return true;
}

// Appends text with its line breaks written as \n and \r, so that an entry
// stays one line.
void AppendOneLine(CTextBuffer& out, const char* text)
{
    AppendOneLine(out, text, std::strlen(text));
}

// The state of the calling thread: its clock text, the buffer an entry
// outside a batch is formatted in, and its batch.
struct CThreadLog {
    CClockText clock;
    CTextBuffer line;    // one entry outside a batch (used under g_logMutex)
    CTextBuffer message; // a printf-style message with line breaks, before escaping
    // The batch: entries waiting to be written. Its owner appends under
    // batchMutex alone; a writer of the log takes g_logMutex first, then
    // batchMutex (never the other order).
    std::mutex batchMutex;
    CTextBuffer batch;
    int depth = 0; // nesting of CEventLogBatch scopes; touched by the owner only
};

CThreadLog& ThreadLog()
{
    thread_local CThreadLog log;
    return log;
}

// Appends one complete entry, with its line end, to out. The message is
// either text (args == nullptr) or a printf format with its arguments; a
// formatting error gives an empty message, a NUL in the result ends it.
void AppendEntry(CThreadLog& thread, CTextBuffer& out, LoggType level, const char* sourceFile, int32_t line,
                 const char* function, const char* message, va_list* args)
{
    thread.clock.AppendNow(out);
    out.Append('[');
    AppendNumber(out, level);
    out.Append(' ');
    AppendText(out, LevelName(level));
    out.Append("] ", 2);
    AppendText(out, sourceFile);
    out.Append(':');
    AppendNumber(out, line);
    out.Append(' ');
    AppendText(out, function);
    out.Append(": ", 2);
    // A format without '%' is its own text (many entries are plain steps).
    const bool formatted = message != nullptr && args != nullptr && std::strchr(message, '%') != nullptr;
    if (formatted) {
        // Texts and whole numbers are written here; anything else by vsnprintf.
        if (!AppendSimpleFormat(out, message, args)) {
            // Formatted in place; the rare message with a line break is
            // formatted again aside and copied with the breaks written out.
            const size_t start = out.Size();
            size_t room = 256;
            for (;;) {
                va_list copy;
                va_copy(copy, *args);
                const int needed = std::vsnprintf(out.Reserve(room), room, message, copy);
                va_end(copy);
                if (needed < 0)
                    break;
                if (static_cast<size_t>(needed) < room) {
                    char* text = out.Reserve(0);
                    const size_t length = std::strlen(text);
                    if (text[std::strcspn(text, "\r\n")] == '\0') {
                        out.Grow(length);
                    } else {
                        thread.message.Clear();
                        thread.message.Append(text, length + 1);
                        out.Shrink(start);
                        AppendOneLine(out, thread.message.Data());
                    }
                    break;
                }
                room = static_cast<size_t>(needed) + 1;
            }
        }
    } else if (message != nullptr) {
        AppendOneLine(out, message);
    }
    out.Append('\n');
}

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

// Counts the forks of this process in the child; a log file opened before a
// fork sets up its own watch in the child.
std::atomic<unsigned> g_forkGeneration{0};
[[maybe_unused]] const bool g_forkCounted = [] {
    ::pthread_atfork(nullptr, nullptr, [] { g_forkGeneration.fetch_add(1, std::memory_order_relaxed); });
    return true;
}();

// How close to the limit the size this process counted may come before the
// file is asked for its size at each write: other processes may have
// appended since it was last asked.
off_t SizeMargin(off_t maxBytes)
{
    return std::min<off_t>(kEventLogSizeMargin, maxBytes / 2);
}

// Appends entries to one file and rotates it by size. Several processes (the
// station programs, zendb) write the same file, so the file is opened for
// appending and each run of entries is one write. The size is the one asked
// of the open file plus what this process appended since; it is asked again
// when that sum comes within SizeMargin of the limit, when the watch reports
// a change and at least every kEventLogNameCheckInterval, and just before a
// rotation. Whether the name still leads to the open file (another process
// rotated, or someone moved the file away) is asked of the file system only
// when a watch on the open file reports that it was moved, unlinked or
// relinked, and at the latest every kEventLogNameCheckInterval; where no
// watch can be set (no inotify instance left), before each write as well. The
// rotation itself holds an exclusive lock on the full file, and the one who
// gets the lock later finds the name already taken by a new file. Called
// under g_logMutex.
class CLogFile {
public:
    // Opens the file; on failure, Reason() tells why and IsOpen() is false.
    CLogFile(std::string path, off_t maxBytes, int files)
        : m_path(std::move(path)), m_maxBytes(maxBytes), m_files(files)
    {
        m_forkGeneration = g_forkGeneration.load(std::memory_order_relaxed);
        m_watchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        Open();
    }
    ~CLogFile()
    {
        Close();
        if (m_watchFd >= 0)
            ::close(m_watchFd);
    }
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Reason() const { return m_reason; }

    // Appends whole lines (each ending with '\n'), rotating before a line
    // that would take a non-empty file over the limit. False when a write
    // failed (what follows is lost) or the file could not be opened again.
    bool Append(const char* data, size_t size)
    {
        if (!FollowTheName())
            return false;
        const char* run = data; // lines counted but not written yet
        const char* end = data + size;
        for (const char* p = data; p < end;) {
            const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            const off_t length = static_cast<off_t>((lineEnd != nullptr ? lineEnd + 1 : end) - p);
            const off_t pending = static_cast<off_t>(p - run);
            if (m_size + pending + length > m_maxBytes - SizeMargin(m_maxBytes)) {
                // Near the limit: the file's own size decides.
                if (!Write(run, p) || !AskSize())
                    return false;
                run = p;
                if (m_size > 0 && m_size + length > m_maxBytes) {
                    Rotate();
                    if (!IsOpen())
                        return false;
                }
            }
            p += length;
        }
        return Write(run, end);
    }

private:
    static constexpr uint32_t kWatchedChanges = IN_MOVE_SELF | IN_DELETE_SELF | IN_ATTRIB;

    bool Open()
    {
        for (int attempt = 0;; ++attempt) {
            const int fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0) {
                m_reason = "cannot open " + m_path + ": " + std::strerror(errno);
                Close();
                return false;
            }
            Close();
            m_fd = fd;
            m_nameCheckedAt = std::chrono::steady_clock::now();
            // The watch is set by name: it may meet a file that replaced the
            // one just opened. Then that file is opened instead (a rotation
            // does not come twice in a row; after a few tries the name is
            // checked before each write instead).
            if (!Watch() || NameIsOurs())
                break; // without a watch the name is checked before each write
            if (attempt >= 3) {
                Unwatch();
                break;
            }
        }
        AskSize();
        return true;
    }
    void Close()
    {
        Unwatch();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    // The open file's size, now; false when it cannot be had.
    bool AskSize()
    {
        struct stat st {};
        if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
            return false;
        m_size = st.st_size;
        return true;
    }
    bool Write(const char* from, const char* to)
    {
        size_t left = static_cast<size_t>(to - from);
        while (left > 0) {
            const ssize_t written = ::write(m_fd, from, left);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            from += written;
            left -= static_cast<size_t>(written);
            m_size += written;
        }
        return true;
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
    // True when the watch reported something since the last call. Asked
    // before every write, so the usual answer (nothing) comes from FIONREAD,
    // which costs the kernel less than a read that finds the queue empty.
    bool DrainWatch()
    {
        int pending = 0;
        if (::ioctl(m_watchFd, FIONREAD, &pending) == 0 && pending <= 0)
            return false;
        alignas(struct inotify_event) char buffer[4096];
        bool any = false;
        while (::read(m_watchFd, buffer, sizeof buffer) > 0)
            any = true;
        return any;
    }
    // True while the name still leads to the open file; takes the open
    // file's size on the way.
    bool NameIsOurs()
    {
        struct stat named {};
        struct stat open {};
        if (::stat(m_path.c_str(), &named) != 0 || ::fstat(m_fd, &open) != 0)
            return false;
        m_size = open.st_size;
        return named.st_dev == open.st_dev && named.st_ino == open.st_ino;
    }
    // Another process rotated (or someone moved the file away): write to
    // the file that now has the name. False when it cannot be opened.
    bool FollowTheName()
    {
        if (m_forkGeneration != g_forkGeneration.load(std::memory_order_relaxed)) {
            // A child shares the parent's watch queue: whichever reads an
            // event takes it from the other. The child gets its own.
            m_forkGeneration = g_forkGeneration.load(std::memory_order_relaxed);
            m_watch = -1; // belongs to the parent's queue
            if (m_watchFd >= 0)
                ::close(m_watchFd);
            m_watchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            return Open();
        }
        if (m_fd < 0)
            return Open();
        const auto now = std::chrono::steady_clock::now();
        const bool watched = m_watch >= 0;
        // The watch sees what happens to the open file, not to the folders
        // of its name, nor what other processes append: those are asked
        // after the interval.
        if (watched && !DrainWatch() && now - m_nameCheckedAt < kEventLogNameCheckInterval)
            return true;
        m_nameCheckedAt = now;
        if (!NameIsOurs() || (!watched && m_watchFd >= 0 && Watch() && !NameIsOurs()))
            return Open(); // the second test: a watch that could not be set is tried again
        return true;
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
    off_t m_size = 0;   // as last asked of the open file, plus what was written since
    int m_watchFd = -1; // the inotify instance, -1 when none could be had
    int m_watch = -1;   // the watch on the open file, -1 when none is set
    unsigned m_forkGeneration = 0;
    std::chrono::steady_clock::time_point m_nameCheckedAt;
    std::string m_reason;
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
std::unique_ptr<CLogFile> g_file; // guarded by g_logMutex, as is all below
CLogSettings g_fileSettings;
unsigned g_fileSettingsGeneration = 0; // of g_settings when g_file was checked against it
// The threads whose batch holds entries or may get some.
std::vector<CThreadLog*> g_batches;

// The settings are read from the station configuration at most once per
// interval: each reading stats every configuration file for each of its
// three keys, which costs more than the entry itself, and a list or a save
// writes entries by the hundred. A changed file is thus noticed within the
// interval. The variables that choose the configuration files and the
// default log folder are looked at on every write instead (no system call),
// so that pointing ZEN_CONFIG elsewhere takes effect at the next entry.
constexpr const char* kSettingsVariables[] = {"ZEN_CONFIG", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS",
                                              "XDG_STATE_HOME", "HOME"};
constexpr std::size_t kSettingsVariableCount = std::size(kSettingsVariables);

struct CSettingsSnapshot {
    bool valid = false;
    unsigned generation = 0; // counts the readings
    CLogSettings settings;
    std::chrono::steady_clock::time_point checkedAt;
    // The variables above as they were when the settings were read; unset
    // and empty differ.
    std::string values[kSettingsVariableCount];
    bool isSet[kSettingsVariableCount] = {};
    // The environment's array as it was when last compared: while neither
    // the array nor any of its entry pointers (up to its end) changed, no
    // variable was set, unset or added (setenv, unsetenv and putenv all
    // change an entry pointer or the end); a value changed in place (a
    // putenv string written to) is caught by comparing the values.
    char** environment = nullptr;
    std::vector<char*> entries; // with the terminating nullptr
    const char* at[kSettingsVariableCount] = {}; // the value of each variable in the array, nullptr: unset

    bool EnvironmentUnchanged()
    {
        if (environ == environment && environ != nullptr && SameEntries()) {
            for (std::size_t i = 0; i < kSettingsVariableCount; ++i) {
                if (at[i] != nullptr && values[i] != at[i])
                    return false;
            }
            return true;
        }
        // The array changed: look at the variables themselves.
        const char* now[kSettingsVariableCount];
        ReadSettingsVariables(now);
        for (std::size_t i = 0; i < kSettingsVariableCount; ++i) {
            if ((now[i] != nullptr) != isSet[i] || (now[i] != nullptr && values[i] != now[i]))
                return false;
        }
        TakeArray(now);
        return true;
    }
    // Compared one by one up to the first end met: an array made anew at the
    // same address may be shorter than the one remembered.
    bool SameEntries() const
    {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (environ[i] != entries[i])
                return false;
            if (entries[i] == nullptr)
                return true;
        }
        return false;
    }
    // The variables' values as getenv gives them (the first entry of each
    // name; nullptr when unset), found in one pass over the environment
    // rather than one per variable.
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
    void TakeArray(const char* const (&now)[kSettingsVariableCount])
    {
        environment = environ;
        entries.clear();
        for (char** entry = environ; entry != nullptr; ++entry) {
            entries.push_back(*entry);
            if (*entry == nullptr)
                break;
        }
        std::copy(std::begin(now), std::end(now), std::begin(at));
    }
    void TakeEnvironment()
    {
        const char* now[kSettingsVariableCount];
        ReadSettingsVariables(now);
        for (std::size_t i = 0; i < kSettingsVariableCount; ++i) {
            isSet[i] = now[i] != nullptr;
            values[i] = now[i] != nullptr ? now[i] : "";
        }
        TakeArray(now);
    }
};
CSettingsSnapshot g_settings;

// The log settings for the next write: those read last while they are
// recent and the environment is the same, else read anew.
const CLogSettings& SettingsForEntry()
{
    const auto now = std::chrono::steady_clock::now();
    if (g_settings.valid && now - g_settings.checkedAt < kEventLogSettingsCheckInterval &&
        g_settings.EnvironmentUnchanged())
        return g_settings.settings;
    g_settings.valid = false; // stays so if reading throws
    g_settings.TakeEnvironment();
    g_settings.settings = CurrentSettings();
    g_settings.checkedAt = now;
    ++g_settings.generation;
    g_settings.valid = true;
    return g_settings.settings;
}

// A file that could not be opened is left alone for a while: every attempt
// costs system calls, and a save or a long list logs hundreds of entries.
// Remembered per path, so a changed configuration is tried at once.
std::string g_failedPath;
std::chrono::steady_clock::time_point g_retryAt;
std::chrono::milliseconds g_retryInterval = kDefaultRetryInterval;
// The path whose failure was last reported on stderr; reported once until
// the file works again.
std::string g_reportedPath;

// Tells once, on stderr, that entries are being dropped: the log is where
// one would look for a trouble's cause, so its own trouble must not be silent.
void ReportFailure(const std::string& path, const std::string& reason)
{
    if (g_reportedPath == path)
        return;
    g_reportedPath = path;
    std::fprintf(stderr,
                 "ZEN event log: cannot write to '%s' (%s); entries are dropped until it can be written "
                 "(tried again every %lld s).\n",
                 path.c_str(), reason.c_str(), static_cast<long long>(g_retryInterval.count() / 1000));
    std::fflush(stderr);
}

// The file the configured log is written to, opened on first use and again
// when the configured path or rotation changed; nullptr when it cannot be
// opened, at once (without touching the file) while a failure to open it is
// recent.
CLogFile* FileForWrite()
{
    const CLogSettings& settings = SettingsForEntry();
    if (g_file && g_fileSettingsGeneration == g_settings.generation)
        return g_file.get();
    if (g_file && g_fileSettings == settings) {
        g_fileSettingsGeneration = g_settings.generation;
        return g_file.get();
    }
    const std::string& path = settings.path;
    if (path == g_failedPath && std::chrono::steady_clock::now() < g_retryAt)
        return nullptr;
    g_file.reset();
    const std::filesystem::path file(path);
    if (file.has_parent_path())
        CreateFolders(file.parent_path().string());
    auto opened = std::make_unique<CLogFile>(path, static_cast<off_t>(settings.maxSizeKiB) * 1024, settings.files);
    if (!opened->IsOpen()) {
        g_failedPath = path;
        g_retryAt = std::chrono::steady_clock::now() + g_retryInterval;
        ReportFailure(path, opened->Reason());
        return nullptr;
    }
    g_file = std::move(opened);
    g_fileSettings = settings;
    g_fileSettingsGeneration = g_settings.generation;
    g_failedPath.clear();
    g_reportedPath.clear();
    return g_file.get();
}

// Writes whole entries to the log; false when they were dropped.
bool WriteLocked(const CTextBuffer& entries)
{
    if (entries.Empty())
        return true;
    CLogFile* file = FileForWrite();
    return file != nullptr && file->Append(entries.Data(), entries.Size());
}

// Writes what a thread's batch holds; under g_logMutex and its batchMutex.
void WriteBatchLocked(CThreadLog& thread)
{
    WriteLocked(thread.batch);
    thread.batch.Clear();
}

// Writes what every thread's batch holds, so that an entry outside a batch
// comes after the entries batched before it; under g_logMutex.
void WriteAllBatchesLocked()
{
    for (CThreadLog* thread : g_batches) {
        std::lock_guard<std::mutex> lock(thread->batchMutex);
        WriteBatchLocked(*thread);
    }
}

int LogEntry(LoggType level, const char* sourceFile, int32_t line, const char* function, const char* message,
             va_list* args)
{
    try {
        CThreadLog& thread = ThreadLog();
        if (thread.depth > 0) {
            std::unique_lock<std::mutex> batchLock(thread.batchMutex);
            AppendEntry(thread, thread.batch, level, sourceFile, line, function, message, args);
            if (thread.batch.Size() < kEventLogBatchBytes)
                return 1;
            batchLock.unlock();
            std::lock_guard<std::mutex> lock(g_logMutex);
            batchLock.lock();
            WriteBatchLocked(thread);
            return 1;
        }
        std::lock_guard<std::mutex> lock(g_logMutex);
        if (!g_batches.empty())
            WriteAllBatchesLocked();
        thread.line.Clear();
        AppendEntry(thread, thread.line, level, sourceFile, line, function, message, args);
        return WriteLocked(thread.line) ? 1 : 0;
    } catch (...) {
        return 0;
    }
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
    return LogEntry(level, sourceFile, line, function, message != nullptr ? message : "", nullptr);
}

int Log_EventFormat(LoggType level, const char* sourceFile, int32_t line, const char* function,
                    const char* format, ...)
{
    if (format == nullptr)
        return LogEntry(level, sourceFile, line, function, "", nullptr);
    va_list args;
    va_start(args, format);
    const int written = LogEntry(level, sourceFile, line, function, format, &args);
    va_end(args);
    return written;
}

CEventLogBatch::CEventLogBatch()
{
    CThreadLog& thread = ThreadLog();
    if (thread.depth++ == 0) {
        try {
            std::lock_guard<std::mutex> lock(g_logMutex);
            g_batches.push_back(&thread);
        } catch (...) {
            // Not registered: entries of other threads may then come before
            // this batch's; its own are written all the same.
        }
    }
}

CEventLogBatch::~CEventLogBatch()
{
    CThreadLog& thread = ThreadLog();
    if (--thread.depth > 0)
        return;
    try {
        std::lock_guard<std::mutex> lock(g_logMutex);
        std::lock_guard<std::mutex> batchLock(thread.batchMutex);
        WriteBatchLocked(thread);
        g_batches.erase(std::remove(g_batches.begin(), g_batches.end(), &thread), g_batches.end());
    } catch (...) {
        std::lock_guard<std::mutex> batchLock(thread.batchMutex);
        thread.batch.Clear();
    }
}

void CloseEventLog()
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (!g_batches.empty()) {
        try {
            WriteAllBatchesLocked();
        } catch (...) {
        }
    }
    g_file.reset();
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
