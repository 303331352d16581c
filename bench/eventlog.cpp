// Cost of an event-log entry: with a writable log against a program that
// formats the same line and appends it itself, inside a CEventLogBatch against
// the same program writing one buffer per 64 KiB, and with an unwritable log;
// plus sample saves (each logs its steps) on a small database in a temporary
// folder. The unwritable log is a real condition: a file stands where its
// folder should be.
#include "companions/EventLog.h"
#include "database/Schema.h"
#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/CTime.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <fcntl.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A folder with a database, a writable log folder, a file named "blocked"
// standing where the other log's folder should be, and one configuration
// file for each log. Removed at the end of the program.
class CBenchFolder {
public:
    CBenchFolder()
    {
        m_root = fs::temp_directory_path() / ("zen-bench-eventlog-" + std::to_string(getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "logs");
        m_database = (m_root / "ZEN.db").string();
        CString error;
        if (!ZenCreateDatabaseFile(m_database.c_str(), 1, 9, &error))
            throw std::runtime_error("database not created: " + error.Str());
        Write(m_root / "blocked", "a file, not a folder\n");
        Write(m_root / "writable.ini", Config((m_root / "logs/ZEN.log").string()));
        Write(m_root / "unwritable.ini", Config((m_root / "blocked/ZEN.log").string()));
        // A station's configuration is old: dated back, it is parsed once
        // and then kept, as it would be at a station.
        for (const char* name : {"writable.ini", "unwritable.ini"})
            fs::last_write_time(m_root / name, fs::file_time_type::clock::now() - std::chrono::minutes(10));
    }
    ~CBenchFolder()
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    CBenchFolder(const CBenchFolder&) = delete;
    CBenchFolder& operator=(const CBenchFolder&) = delete;

    // Makes the given configuration the station's; the next entry goes to
    // its log.
    void Use(bool writableLog) const
    {
        setenv("ZEN_CONFIG", (m_root / (writableLog ? "writable.ini" : "unwritable.ini")).c_str(), 1);
    }

private:
    std::string Config(const std::string& log) const
    {
        return "[Database]\nDatabaseFile=" + m_database + "\n[Log]\nFile=" + log + "\n";
    }
    static void Write(const fs::path& path, const std::string& text)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out)
            throw std::runtime_error("cannot write " + path.string());
    }

    fs::path m_root;
    std::string m_database;
};

const CBenchFolder& Folder()
{
    static const CBenchFolder folder;
    return folder;
}

// One entry, as the library writes it (state.range(0): 1 writable log, 0 not).
void BM_LogEntry(benchmark::State& state)
{
    const bool writable = state.range(0) != 0;
    Folder().Use(writable);
    for (auto _ : state) {
        const int written = ZEN_LOG_EVENT("databaseobjects", "CZENDB_Sample::Save", "Saving sample %s", "S-1");
        if (written != (writable ? 1 : 0))
            state.SkipWithError("unexpected result of the entry");
        benchmark::DoNotOptimize(written);
    }
    state.SetLabel(writable ? "writable log (baseline)" : "unwritable log");
}
BENCHMARK(BM_LogEntry)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The line of BM_LogEntry's entry as a program writing its own log formats
// it: the time taken and converted, the message and the line printed.
int FormatRawLine(char (&line)[512])
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local {};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char message[128];
    std::snprintf(message, sizeof message, "Saving sample %s", "S-1");
    return std::snprintf(line, sizeof line, "%s.%03d [4 debug] %s:%d %s: %s\n", stamp, static_cast<int>(millis),
                         "databaseobjects", __LINE__, "CZENDB_Sample::Save", message);
}

// Baseline of BM_LogEntry/1: what a program writing its own log would do per
// entry: take the time, format the same line and append it with one write to
// a file held open (no configuration looked at).
void BM_LogEntryRawAppend(benchmark::State& state)
{
    const std::string path = (fs::temp_directory_path() / ("zen-bench-rawlog-" + std::to_string(getpid()))).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        state.SkipWithError("raw log not opened");
        return;
    }
    char line[512];
    for (auto _ : state) {
        const int length = FormatRawLine(line);
        benchmark::DoNotOptimize(::write(fd, line, static_cast<size_t>(length)));
    }
    ::close(fd);
    fs::remove(path);
    state.SetLabel("raw append (baseline)");
}
BENCHMARK(BM_LogEntryRawAppend)->Unit(benchmark::kMicrosecond);

// Entries inside a batch, as a list writes one per row; the batch writes
// once it holds 64 KiB (state.range(0): 1 writable log, 0 not).
void BM_LogEntryInBatch(benchmark::State& state)
{
    const bool writable = state.range(0) != 0;
    Folder().Use(writable);
    {
        const CEventLogBatch batch;
        for (auto _ : state) {
            const int written = ZEN_LOG_EVENT("databaseobjects", "CZENDB_Sample::Save", "Saving sample %s", "S-1");
            benchmark::DoNotOptimize(written);
        }
    }
    state.SetLabel(writable ? "in a batch, writable log" : "in a batch, unwritable log");
}
BENCHMARK(BM_LogEntryInBatch)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// Baseline of entries written in a batch: what a careful program writing
// its own log does for a list of entries: each line formatted as above (its
// own time stamp) into one buffer, written with one write per 64 KiB.
void BM_LogEntryRawBatched(benchmark::State& state)
{
    const std::string path = (fs::temp_directory_path() / ("zen-bench-rawbatch-" + std::to_string(getpid()))).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        state.SkipWithError("raw log not opened");
        return;
    }
    constexpr size_t kBatchBytes = 64 * 1024;
    std::string buffer;
    buffer.reserve(kBatchBytes + 512);
    for (auto _ : state) {
        char line[512];
        const int length = FormatRawLine(line);
        buffer.append(line, static_cast<size_t>(length));
        if (buffer.size() >= kBatchBytes) {
            benchmark::DoNotOptimize(::write(fd, buffer.data(), buffer.size()));
            buffer.clear();
        }
    }
    if (!buffer.empty())
        benchmark::DoNotOptimize(::write(fd, buffer.data(), buffer.size()));
    ::close(fd);
    fs::remove(path);
    state.SetLabel("raw, one write per 64 KiB (baseline)");
}
BENCHMARK(BM_LogEntryRawBatched)->Unit(benchmark::kMicrosecond);

// Inserting a sample (the save logs each of its steps), then deleting it so
// that the table stays small (state.range(0): 1 writable log, 0 not).
void BM_SaveSample(benchmark::State& state)
{
    const bool writable = state.range(0) != 0;
    Folder().Use(writable);
    CZENDatabase facade;
    CString error;
    if (facade.OpenDatabase(0, "", "", error) != 1) {
        state.SkipWithError("database not opened");
        return;
    }
    int n = 0;
    for (auto _ : state) {
        CZENDB_Sample sample(&facade, CString("B-") + std::to_string(n++).c_str());
        sample.RegistrationDate = CTime::GetCurrentTime();
        sample.WorkOrder = "x";
        if (!sample.Save())
            state.SkipWithError("not saved");
        benchmark::DoNotOptimize(sample.SampleID);
    }
    facade.ExecuteSQL("DELETE FROM Samples");
    state.SetLabel(writable ? "writable log (baseline)" : "unwritable log");
}
BENCHMARK(BM_SaveSample)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(300);

} // namespace

BENCHMARK_MAIN();
