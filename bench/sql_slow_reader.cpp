// Saves of a writer while another process walks a list slowly (5 ms per
// row, as a person scrolling): with the write-ahead log (the journal chosen
// for a local disk) the reader never holds the writer off; with the rollback
// journal every save waits for the reader's walk to end. Baseline, in the
// same run: the same saves with no reader at all.
#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// A database file in a folder of its own, with rows for the reader to walk;
// removed with its folder at the end.
class CBenchFile {
public:
    CBenchFile()
    {
        std::string folder = (std::filesystem::temp_directory_path() / "zen-slow-reader-XXXXXX").string();
        if (!::mkdtemp(folder.data()))
            throw std::runtime_error("no temporary folder");
        m_folder = folder;
        m_path = folder + "/ZEN.mdb";
        CDatabase::CreateDatabase(Connect());
        CDatabase db;
        db.OpenEx(Connect());
        db.ExecuteSQL("CREATE TABLE Log (ID COUNTER PRIMARY KEY, Batch LONG, Text VARCHAR(255))");
        db.BeginTrans();
        for (int i = 0; i < 200; ++i)
            db.ExecuteSQL("INSERT INTO Log (Batch, Text) VALUES (0, 'a row of the list')");
        db.CommitTrans();
    }
    ~CBenchFile() { std::filesystem::remove_all(m_folder); }
    CBenchFile(const CBenchFile&) = delete;
    CBenchFile& operator=(const CBenchFile&) = delete;

    CString Connect() const { return CString("DBQ=") + m_path.c_str() + ";"; }

private:
    std::string m_folder;
    std::string m_path;
};

// A process that walks the first 100 rows again and again, 5 ms per row,
// on a read-only connection (which leaves the file's journal as it is).
pid_t StartSlowReader(const CString& connect)
{
    const pid_t child = fork();
    if (child != 0)
        return child;
    try {
        CDatabase db;
        db.OpenEx(connect, CDatabase::openReadOnly);
        for (;;) {
            CRecordset rs(&db);
            rs.Open(CRecordset::forwardOnly, "SELECT ID, Text FROM Log WHERE ID <= 100", CRecordset::readOnly);
            while (!rs.IsEOF()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                rs.MoveNext();
            }
        }
    } catch (...) {
        _exit(1);
    }
}

void StopReader(pid_t reader)
{
    kill(reader, SIGKILL);
    int status = 0;
    waitpid(reader, &status, 0);
}

// One save as the library makes it: a row committed on its own.
void Save(CDatabase& db, int64_t& failed)
{
    try {
        db.ExecuteSQL("INSERT INTO Log (Batch, Text) VALUES (1, 'saved')");
    } catch (const CDBException&) {
        ++failed;
    }
}

void SaveAlone(benchmark::State& state)
{
    CBenchFile file;
    CDatabase db;
    db.OpenEx(file.Connect());
    int64_t failed = 0;
    for (auto _ : state)
        Save(db, failed);
    state.SetItemsProcessed(state.iterations());
    state.counters["failed"] = static_cast<double>(failed);
}

// range(0): 1 = the write-ahead log, 0 = the rollback journal.
void SaveWhileSlowReaderWalks(benchmark::State& state)
{
    const bool wal = state.range(0) != 0;
    CBenchFile file;
    CDatabase db;
    db.OpenEx(file.Connect());
    if (!wal)
        db.ExecuteSQL("PRAGMA journal_mode = DELETE");
    const pid_t reader = StartSlowReader(file.Connect());
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the walk is under way
    int64_t failed = 0;
    for (auto _ : state)
        Save(db, failed);
    StopReader(reader);
    state.SetItemsProcessed(state.iterations());
    state.counters["failed"] = static_cast<double>(failed);
    state.SetLabel(wal ? "write-ahead log" : "rollback journal");
}

} // namespace

BENCHMARK(SaveAlone)->Iterations(300)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(SaveWhileSlowReaderWalks)->Arg(1)->Iterations(300)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(SaveWhileSlowReaderWalks)->Arg(0)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
