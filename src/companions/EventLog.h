// The station's event log: one line per entry (time, level, module, line,
// function, message) appended to a file that outlives the process, so that
// opening the database and saving samples can be traced afterwards.
#pragma once

#include "framework/CString.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

// Levels of an entry. The library itself logs every entry at level 4
// (LOGG_DEBUG, a step of an operation); every level is recorded.
enum LoggType : int32_t {
    LOGG_CRITICAL = 0,
    LOGG_ERROR = 1,
    LOGG_WARNING = 2,
    LOGG_INFO = 3,
    LOGG_DEBUG = 4,
    LOGG_TRACE = 5,
};

// Appends one entry to the event log file and flushes it. sourceFile is the
// logging module ("database", "databaseobjects", "recordsets"), line the
// source line, function the qualified function name; nullptr texts count as
// empty. Line breaks in the message are written as "\n" so that every entry
// is one line:
//   2024-05-06 14:03:17.042 [4 debug] database:57 CZENDatabase::OpenDatabase: Opening Database...
// The file is the one named in the station configuration (section "Log", key
// "File"; a relative name is taken from the working folder), else
// $XDG_STATE_HOME (default ~/.local/state) / Korvane / ZEN.log; missing folders
// are created. The file is rotated by size: an entry that would take it over
// "Log"/"MaxSizeKiB" KiB (default 4096) first renames it to ZEN.1.log (the
// older ZEN.1.log to ZEN.2.log, and so on), and "Log"/"Files" files are kept
// in all, the current one included (default 4; 1: the full file is removed).
// Several processes may share the file; each notices another's rotation
// (or the file moved away) at its next write, and a change to the folders of
// the name within kEventLogNameCheckInterval.
// The size that decides a rotation is the open file's size as last asked of
// the file plus what this process appended since. It is asked again when that
// sum comes within kEventLogSizeMargin (or half the limit, if less) of the
// limit, when another process's rotation or a move is noticed, and at least
// every kEventLogNameCheckInterval. A file thus exceeds the limit only when
// other processes appended more than that margin to it since this process
// last asked, at most one interval before.
// The configuration is read again at most every
// kEventLogSettingsCheckInterval, so a changed file takes effect within that
// time; a changed ZEN_CONFIG, XDG_CONFIG_HOME, XDG_CONFIG_DIRS,
// XDG_STATE_HOME or HOME at the next write, and after CloseEventLog the next
// write reads it at once.
// Outside a CEventLogBatch each entry is one write(2) of its line.
// Never throws: returns 1 when the entry was written (inside a batch: taken
// into the batch), 0 when it could not be (callers ignore the result). A file
// that cannot be opened is not tried again for a while (see
// SetEventLogRetryInterval), so that an entry costs microseconds also then.
int Log_Event(LoggType level, const char* message, const char* sourceFile, int32_t line,
              const char* function);

// How long the event log keeps the settings it read from the station
// configuration (log file, rotation) before it reads them again.
inline constexpr std::chrono::milliseconds kEventLogSettingsCheckInterval{250};

// The longest time the log writes to a file that no longer has the log's name
// after a folder of that name was moved or replaced (a move of the file itself
// is noticed at the next entry).
inline constexpr std::chrono::milliseconds kEventLogNameCheckInterval{250};

// The margin below the size limit, in bytes, from which the log asks the file
// for its size before each write (see Log_Event).
inline constexpr long kEventLogSizeMargin = 16 * 1024;

// Log_Event with a printf-style message.
int Log_EventFormat(LoggType level, const char* sourceFile, int32_t line, const char* function,
                    const char* format, ...) __attribute__((format(printf, 5, 6)));

// One-line logging for library code: level 4, the given module, this source
// line and the given qualified function name, printf-style message:
//   ZEN_LOG_EVENT("database", "CZENDatabase::OpenDatabase", "Database to open:%s", path.GetString());
#define ZEN_LOG_EVENT(module, function, ...) \
    Log_EventFormat(LOGG_DEBUG, (module), static_cast<int32_t>(__LINE__), (function), __VA_ARGS__)

// Keeps the entries of the calling thread in memory while it is alive, for
// lists that write an entry per row: each entry is formatted at once (its
// own time stamp, text and order unchanged) and the kept entries are written
// together when they reach kEventLogBatchBytes, when the outermost batch of
// the thread ends (also by an exception), and before an entry of another
// thread that is written outside a batch, and before CloseEventLog. The
// rotation is decided entry by entry at the write, so the files look as
// without the batch. The settings (which file, rotation) are those in force
// at the write. A process killed while a batch is alive loses the entries
// kept, at most kEventLogBatchBytes and a line. Batches nest (an inner one
// adds nothing) and belong to their thread. Use them in list functions,
// whose rows are read while the batch keeps their entries, and around a
// save's steps up to its first write: not around a statement that writes,
// so that a save that hangs or dies in a write has its steps before it in
// the file.
class CEventLogBatch {
public:
    CEventLogBatch();
    ~CEventLogBatch(); // writes the kept entries when it is the outermost
    CEventLogBatch(const CEventLogBatch&) = delete;
    CEventLogBatch& operator=(const CEventLogBatch&) = delete;
};
inline constexpr std::size_t kEventLogBatchBytes = 64 * 1024; // bytes

// Rotation settings of the event log (section "Log" of the station
// configuration); a value that is not a whole number from 1 to the maximum
// counts as not given.
inline constexpr int kDefaultEventLogMaxSizeKiB = 4096;
inline constexpr int kMaxEventLogSizeKiB = 1024 * 1024;
inline constexpr int kDefaultEventLogFiles = 4;
inline constexpr int kMaxEventLogFiles = 100;

// The file the next entry goes to (configuration or default, see Log_Event).
CString GetEventLogPath();
// Writes what the threads' batches keep, closes the open log file and forgets
// a failure to open one; the next entry opens the file again (for instance after the file was moved away by log
// rotation, or after its folder was mended).
void CloseEventLog();

// A log file that cannot be opened (its folder cannot be made or written, a
// file stands where the folder should be) is reported once on stderr, and
// entries meant for it are dropped at once, without touching the file, until
// this interval has passed since the failed attempt; the next entry then
// tries again. Another configured path is tried at once.
inline constexpr std::chrono::milliseconds kDefaultRetryInterval{30000};
// Sets that interval (negative counts as 0: every entry tries again). For
// tests and tools; applies to a failure already remembered as well.
void SetEventLogRetryInterval(std::chrono::milliseconds interval);

// A record of the event-log settings: the log file path in a fixed buffer of
// PathBufferSize bytes (NUL-terminated), two 32-bit settings and a module
// name. Copying and assignment are member-wise.
class CEventLogManager {
public:
    static constexpr int PathBufferSize = 260;

    CEventLogManager();
    CEventLogManager(const CEventLogManager& other);
    CEventLogManager& operator=(const CEventLogManager& other);
    ~CEventLogManager();

    char m_szLogFile[PathBufferSize];
    int32_t m_nLogLevel;
    int32_t m_nMaxFileSizeKB;
    CString m_strModuleName;
};
