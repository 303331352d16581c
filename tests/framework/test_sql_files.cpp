// Database files in trouble, on real files and processes: the journal chosen
// for a local disk, a file with damaged pages, an online backup taken while
// another process writes, the file removed or replaced while open, and an
// input/output error in the write test made at open.
#include "SqlTestSupport.h"
#include "TestSupport.h"

#include "framework/CStringList.h"
#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using sqltest::Caught;
using sqltest::Scalar;

CString ConnectTo(const std::string& path)
{
    return CString("DBQ=") + path.c_str() + ";";
}

std::string Bytes(const std::string& path, size_t from)
{
    const std::string all = zentest::ReadFileText(path);
    return from < all.size() ? all.substr(from) : std::string();
}

// What can happen to an open database file at path: removed, or the file
// at other renamed over it; what names the reason the library then gives.
struct CLostFile {
    const char* what;
    std::function<void()> act;
};
std::vector<CLostFile> LostFileCases(const std::string& path, const std::string& other)
{
    return {
        {"was removed while it was open", [path] { std::filesystem::remove(path); }},
        {"was replaced by another file while it was open", [path, other] { std::filesystem::rename(other, path); }},
    };
}

class SqlFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        CDatabase::CreateDatabase(ConnectTo(m_path));
        CDatabase db;
        db.OpenEx(ConnectTo(m_path));
        db.ExecuteSQL("CREATE TABLE Log (ID COUNTER PRIMARY KEY, Batch LONG, Item LONG, Text VARCHAR(255))");
    }
    zentest::CTempDir m_dir;
    std::string m_path = m_dir.File("ZEN.mdb");
};

// On a local disk the file keeps a write-ahead log, so a reader never holds
// off a writer; read-only connections leave the journal as it is, and a
// closed file is the whole database.
TEST_F(SqlFiles, ALocalFileKeepsAWriteAheadLog)
{
    CDatabase db;
    db.OpenEx(ConnectTo(m_path));
    EXPECT_EQ(Scalar(db, "PRAGMA journal_mode"), CString("wal"));
    EXPECT_EQ(Scalar(db, "PRAGMA synchronous"), CString("2")); // FULL
    db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1)");

    CDatabase reader;
    reader.OpenEx(ConnectTo(m_path), CDatabase::openReadOnly);
    EXPECT_FALSE(reader.CanUpdate());
    EXPECT_EQ(reader.GetReadOnlyReason(), CString("The database was opened read-only."));
    CRecordset walk(&reader);
    walk.Open(CRecordset::forwardOnly, "SELECT Batch FROM Log", CRecordset::readOnly);
    db.SetQueryTimeout(0);
    db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (2)"); // while the walk stands on its row
    walk.Close();
    reader.Close();
    db.Close();

    const std::string copy = m_dir.File("copy.mdb");
    std::filesystem::copy_file(m_path, copy);
    CDatabase again;
    again.OpenEx(ConnectTo(copy));
    EXPECT_EQ(Scalar(again, "SELECT SUM(Batch) FROM Log"), CString("3"));
}

// Pages overwritten in the middle of the file: the integrity check lists the
// damage, reading names the file and says it is damaged (the engine's text
// and the statement kept), and nothing more is written through a connection
// that met the damage.
TEST_F(SqlFiles, ADamagedFileIsNamedAndNoLongerWritten)
{
    {
        CDatabase db;
        db.OpenEx(ConnectTo(m_path));
        EXPECT_TRUE(db.CanUpdate());
        CStringList findings;
        EXPECT_TRUE(db.CheckIntegrity(findings));
        EXPECT_EQ(findings.GetCount(), 0);
        db.BeginTrans();
        for (int i = 0; i < 400; ++i) {
            CString sql;
            sql.Format("INSERT INTO Log (Batch, Item, Text) VALUES (1, %d, '%s')", i, std::string(200, 'x').c_str());
            db.ExecuteSQL(sql);
        }
        db.CommitTrans();
    }
    const auto size = std::filesystem::file_size(m_path);
    ASSERT_GT(size, 16u * 4096u);
    {
        std::fstream file(m_path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(size / 2 / 4096 * 4096));
        const std::string garbage(3 * 4096, '\xA5');
        file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }

    CDatabase checker;
    checker.OpenEx(ConnectTo(m_path));
    CStringList findings;
    EXPECT_FALSE(checker.CheckIntegrity(findings));
    ASSERT_GT(findings.GetCount(), 0);
    for (POSITION pos = findings.GetHeadPosition(); pos;) {
        const CString line = findings.GetNext(pos);
        EXPECT_EQ(line.Find('\n'), -1) << line.GetString();
        EXPECT_NE(line.Left(4), CString("*** "));
    }
    EXPECT_FALSE(checker.CanUpdate());
    EXPECT_NE(checker.GetReadOnlyReason().Find("is damaged"), -1);

    CDatabase db;
    db.OpenEx(ConnectTo(m_path));
    const CDBException read = Caught([&] {
        CRecordset rs(&db);
        rs.Open(CRecordset::forwardOnly, "SELECT Text FROM Log", CRecordset::readOnly);
        while (!rs.IsEOF())
            rs.MoveNext();
    });
    EXPECT_NE(read.m_strError.Find(CString("The database file '") + m_path.c_str() + "' is damaged ("), -1)
        << read.m_strError.GetString();
    EXPECT_NE(read.m_strError.Find("malformed"), -1) << read.m_strError.GetString();
    EXPECT_NE(read.m_strError.Find("Statement: SELECT Text FROM Log"), -1);
    EXPECT_FALSE(db.CanUpdate());

    const std::string before = Bytes(m_path, 4096);
    const CDBException write = Caught([&] { db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (2)"); });
    EXPECT_NE(write.m_strError.Find("is damaged: nothing more is written"), -1) << write.m_strError.GetString();
    db.Close();
    checker.Close();
    EXPECT_EQ(Bytes(m_path, 4096), before);
}

// A backup taken while another process commits batch after batch: the copy
// passes the integrity check, holds every batch committed before the backup
// began and only whole batches, and is a single file; nothing else is left
// in the folder. An existing target is never replaced.
TEST_F(SqlFiles, ABackupWhileAnotherProcessWritesIsComplete)
{
    constexpr int kRows = 10;
    int report[2];
    int stop[2];
    ASSERT_EQ(pipe(report), 0);
    ASSERT_EQ(pipe(stop), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(report[0]);
        close(stop[1]);
        try {
            CDatabase db;
            db.OpenEx(ConnectTo(m_path));
            for (int32_t batch = 1;; ++batch) {
                db.BeginTrans();
                for (int i = 0; i < kRows; ++i) {
                    CString sql;
                    sql.Format("INSERT INTO Log (Batch, Item) VALUES (%d, %d)", batch, i);
                    db.ExecuteSQL(sql);
                }
                db.CommitTrans();
                if (write(report[1], &batch, sizeof batch) != sizeof batch)
                    _exit(0); // the test has stopped listening
            }
        } catch (...) {
            _exit(2);
        }
    }
    close(report[1]);
    close(stop[0]);
    int32_t committed = 0;
    for (int n = 0; n < 20; ++n)
        ASSERT_EQ(read(report[0], &committed, sizeof committed), static_cast<ssize_t>(sizeof committed));

    const std::string target = m_dir.File("backup/ZEN copy.mdb");
    std::filesystem::create_directories(m_dir.Path() / "backup");
    {
        CDatabase db;
        db.OpenEx(ConnectTo(m_path));
        db.Backup(target.c_str());
    }
    close(report[0]); // the writer ends at its next report
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    {
        CDatabase db;
        db.OpenEx(ConnectTo(m_path));
        EXPECT_NE(Caught([&] { db.Backup(target.c_str()); }).m_strError.Find("exists already"), -1);
        db.BeginTrans();
        EXPECT_NE(Caught([&] { db.Backup(m_dir.File("backup/other.mdb").c_str()); })
                      .m_strError.Find("inside a transaction"),
                  -1);
        db.Rollback();
    }

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path() / "backup"))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"ZEN copy.mdb"});
    const std::string header = zentest::ReadFileText(target).substr(0, 20);
    ASSERT_EQ(header.size(), 20u);
    EXPECT_EQ(header[18], '\x01') << "the copy keeps the rollback journal";

    CDatabase copy;
    copy.OpenEx(ConnectTo(target), CDatabase::openReadOnly);
    CStringList findings;
    EXPECT_TRUE(copy.CheckIntegrity(findings));
    CString sql;
    sql.Format("SELECT COUNT(*) FROM Log WHERE Batch <= %d", committed);
    EXPECT_EQ(Scalar(copy, sql), CString(std::to_string(committed * kRows)));
    EXPECT_EQ(Scalar(copy, "SELECT COUNT(*) FROM (SELECT Batch FROM Log GROUP BY Batch HAVING COUNT(*) <> 10)"),
              CString("0"));
    EXPECT_EQ(Scalar(copy, "SELECT COUNT(*) FROM Log WHERE Batch <> 0 AND Batch > (SELECT MAX(Batch) FROM Log)"),
              CString("0"));
}

// The file unlinked, or another file renamed over it, while a connection
// has it open: the connection says so, in CanUpdate and in the refusal of
// every write, and the other file stays as it was (the log of the replaced
// file is not applied to it).
TEST_F(SqlFiles, AFileRemovedOrReplacedWhileOpenIsReported)
{
    const std::string other = m_dir.File("other.mdb");
    CDatabase::CreateDatabase(ConnectTo(other));
    {
        CDatabase db;
        db.OpenEx(ConnectTo(other));
        db.ExecuteSQL("CREATE TABLE Log (ID COUNTER PRIMARY KEY, Batch LONG, Item LONG, Text VARCHAR(255))");
        db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (42)");
    }
    const std::string otherBytes = zentest::ReadFileText(other);

    const std::vector<CLostFile> cases = LostFileCases(m_path, other);
    for (const CLostFile& c : cases) {
        if (!std::filesystem::exists(m_path))
            CDatabase::CreateDatabase(ConnectTo(m_path));
        CDatabase db;
        db.OpenEx(ConnectTo(m_path));
        ASSERT_TRUE(db.CanUpdate());
        EXPECT_EQ(db.GetReadOnlyReason(), CString());
        c.act();
        EXPECT_FALSE(db.CanUpdate()) << c.what;
        EXPECT_NE(db.GetReadOnlyReason().Find(c.what), -1) << db.GetReadOnlyReason().GetString();
        const CDBException e = Caught([&] { db.ExecuteSQL("CREATE TABLE Other (X LONG)"); });
        EXPECT_NE(e.m_strError.Find(c.what), -1) << e.m_strError.GetString();
        EXPECT_EQ(e.m_strError.Find("write-protected"), -1) << e.m_strError.GetString();
        db.Close();
    }
    // The file renamed over the database is the other one, untouched.
    CDatabase db;
    db.OpenEx(ConnectTo(m_path), CDatabase::openReadOnly);
    EXPECT_EQ(Scalar(db, "SELECT Batch FROM Log"), CString("42"));
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'Other'"), CString("0"));
    db.Close();
    EXPECT_EQ(zentest::ReadFileText(m_path).substr(4096), otherBytes.substr(4096));
}

// Inside a transaction the file is asked at the first write and again at the
// commit: a file removed or replaced after the first write makes the commit
// fail with the same reason, nothing of the transaction is stored, and the
// next transaction asks at its first write again.
TEST_F(SqlFiles, AFileRemovedOrReplacedInsideATransactionRefusesTheCommit)
{
    const std::string other = m_dir.File("other.mdb");
    const std::vector<CLostFile> cases = LostFileCases(m_path, other);
    for (const CLostFile& c : cases) {
        std::filesystem::remove(other);
        CDatabase::CreateDatabase(ConnectTo(other));
        {
            CDatabase made;
            made.OpenEx(ConnectTo(other));
            made.ExecuteSQL("CREATE TABLE Log (ID COUNTER PRIMARY KEY, Batch LONG, Item LONG, Text VARCHAR(255))");
        }
        if (!std::filesystem::exists(m_path)) {
            CDatabase::CreateDatabase(ConnectTo(m_path));
            CDatabase made;
            made.OpenEx(ConnectTo(m_path));
            made.ExecuteSQL("CREATE TABLE Log (ID COUNTER PRIMARY KEY, Batch LONG, Item LONG, Text VARCHAR(255))");
        }
        CDatabase db;
        db.OpenEx(ConnectTo(m_path));
        // A committed transaction leaves nothing behind for the next one.
        db.BeginTrans();
        db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1)");
        db.CommitTrans();

        db.BeginTrans();
        db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (2)");
        c.act();
        db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (3)");
        const CDBException refused = Caught([&] { db.CommitTrans(); });
        EXPECT_NE(refused.m_strError.Find(c.what), -1) << refused.m_strError.GetString();
        EXPECT_EQ(refused.m_strError.Find("constraint"), -1) << refused.m_strError.GetString();
        EXPECT_FALSE(db.IsInTransaction()) << c.what;
        EXPECT_FALSE(db.CanUpdate()) << c.what;

        // The next transaction is refused as it begins.
        const CDBException next = Caught([&] { db.BeginTrans(); });
        EXPECT_NE(next.m_strError.Find(c.what), -1) << next.m_strError.GetString();
        EXPECT_FALSE(db.IsInTransaction()) << c.what;
        db.Close();

        // Whatever now has the name holds none of the refused rows.
        if (std::filesystem::exists(m_path)) {
            CDatabase check;
            check.OpenEx(ConnectTo(m_path), CDatabase::openReadOnly);
            EXPECT_EQ(Scalar(check, "SELECT COUNT(*) FROM Log"), CString("0")) << c.what;
        }
    }
}

// A transaction rolled back after the file was found in place: the next
// write asks again, inside a transaction begun by a plain BEGIN (which does
// not ask) as well as on its own.
TEST_F(SqlFiles, ARolledBackTransactionLeavesNoCheckForTheNext)
{
    CDatabase db;
    db.OpenEx(ConnectTo(m_path));
    db.BeginTrans();
    db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1)");
    db.Rollback();
    std::filesystem::remove(m_path);
    EXPECT_FALSE(db.CanUpdate());
    const CDBException alone = Caught([&] { db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (2)"); });
    EXPECT_NE(alone.m_strError.Find("was removed while it was open"), -1) << alone.m_strError.GetString();
    db.ExecuteSQL("BEGIN");
    EXPECT_FALSE(db.CanUpdate());
    const CDBException inside = Caught([&] { db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (3)"); });
    EXPECT_NE(inside.m_strError.Find("was removed while it was open"), -1) << inside.m_strError.GetString();
    db.Rollback();
}

// Every write of a process fails with an input/output error (its file-size
// limit stops the log from growing): the write test at open says so instead
// of blaming write protection; the writes name the file and the lack of room
// (the limit fails writes as a full disk does), not damage. Run in a child
// process.
TEST_F(SqlFiles, AnInputOutputErrorInTheWriteTestIsNamed)
{
    CDatabase holder; // keeps the log and its index beside the file
    holder.OpenEx(ConnectTo(m_path));
    holder.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1)");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct stat log {};
        if (::stat((m_path + "-wal").c_str(), &log) != 0)
            _exit(20);
        const rlimit limit{static_cast<rlim_t>(log.st_size), static_cast<rlim_t>(log.st_size)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(21);
        try {
            CDatabase db;
            db.OpenEx(ConnectTo(m_path));
            if (db.CanUpdate())
                _exit(1);
            const CString reason = db.GetReadOnlyReason();
            if (reason.Find("An input/output error occurred in the write test") < 0 || reason.Find("I/O error") < 0)
                _exit(2);
            try {
                db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (2)");
                _exit(3);
            } catch (const CDBException& e) {
                if (e.m_strError.Find(CString("There is no room left for the database file '") + m_path.c_str() +
                                      "': file too large") < 0 ||
                    e.m_strError.Find("write-protected") >= 0 || e.m_strError.Find("damaged") >= 0)
                    _exit(4);
            }
            _exit(0);
        } catch (...) {
            _exit(10);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: updatable, 2: reason, 3: the write succeeded, 4: the write's text";
    EXPECT_EQ(Scalar(holder, "SELECT COUNT(*) FROM Log"), CString("1"));
}

} // namespace
