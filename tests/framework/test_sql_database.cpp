// CDatabase over real SQLite files: connection strings and files that cannot
// be opened, write-protected databases, the engine's error texts, lock waits
// between connections; and on each engine: one statement per call,
// transactions and their guard, a writer killed in mid-transaction, and the
// library's own statements run by the engine.
#include "EngineTestSupport.h"
#include "SqlTestSupport.h"
#include "TestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/Transaction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using sqltest::Caught;
using sqltest::Scalar;

CString ConnectTo(const std::string& path)
{
    return CString("Driver={Microsoft Access Driver (*.mdb)};Dbq=") + path.c_str() + ";";
}

class SqlDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        CDatabase::CreateDatabase(ConnectTo(m_path));
        m_db.OpenEx(ConnectTo(m_path), CDatabase::noOdbcDialog);
        m_db.ExecuteSQL("CREATE TABLE Log (ID COUNTER PRIMARY KEY, Batch LONG, Item LONG)");
    }
    zentest::CTempDir m_dir;
    std::string m_path = m_dir.File("ZEN.mdb");
    CDatabase m_db;
};

// The same start on a fresh database of each engine.
class SqlDatabaseOnEngine : public ::testing::TestWithParam<zentest::ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(Connect().IsEmpty());
        m_db.OpenEx(Connect(), CDatabase::noOdbcDialog);
        m_db.ExecuteSQL("CREATE TABLE Log (ID COUNTER PRIMARY KEY, Batch LONG, Item LONG)");
    }
    void TearDown() override { m_db.Close(); }
    const CString& Connect() const { return m_database->ConnectString(); }

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
};

TEST_F(SqlDatabase, ConnectionStringsChooseTheFile)
{
    const char* const accepted[] = {"ODBC;DBQ=%s", "Driver={Microsoft Access Driver (*.mdb)};DSN='';DBQ=%s",
                                    "dbq={%s};ENGINE=sqlite", "ENGINE=SQLite;DBQ=%s;READONLY=0"};
    for (const char* format : accepted) {
        CString connect;
        connect.Format(format, m_path.c_str());
        CDatabase db;
        EXPECT_TRUE(db.OpenEx(connect, CDatabase::noOdbcDialog)) << format;
        EXPECT_TRUE(db.IsOpen());
        EXPECT_TRUE(db.CanUpdate()) << format;
        EXPECT_EQ(db.GetConnect(), connect);
        db.Close();
        EXPECT_FALSE(db.IsOpen());
    }
    CDatabase db;
    EXPECT_NE(Caught([&] { db.OpenEx("ODBC;"); }).m_strError.Find("names no database file"), -1);
    EXPECT_NE(Caught([&] { db.OpenEx("ENGINE=postgres;HOST=x;PWD=secret"); }).m_strError.Find("PostgreSQL"), -1);
    EXPECT_EQ(Caught([&] { db.OpenEx("ENGINE=postgres;HOST=x;PWD=secret"); }).m_strError.Find("secret"), -1);
    EXPECT_NE(Caught([&] { db.OpenEx("postgresql://u@h/zen"); }).m_strError.Find("PostgreSQL"), -1);
    EXPECT_NE(Caught([&] { db.OpenEx("ENGINE=oracle;DBQ=x"); }).m_strError.Find("Unknown database engine"), -1);
    EXPECT_FALSE(db.IsOpen());
}

// Values that mean something in a connection string are braced, '}' doubled
// inside; anything else stays as it is (the usual path is logged unchanged).
TEST(SqlConnectString, ValuesAreBracedOnlyWhenNeeded)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/data/ZEN.mdb", "/data/ZEN.mdb"},      {"C:\\x y\\ZEN.mdb", "C:\\x y\\ZEN.mdb"},
        {"", ""},                                {"a;b.db", "{a;b.db}"},
        {"a}b.db", "{a}}b.db}"},                 {"{a}.db", "{{a}}.db}"},
        {"a=b.db", "{a=b.db}"},                  {" lead.db", "{ lead.db}"},
        {"trail.db ", "{trail.db }"},            {"}", "{}}}"},
        {"a;Dbq=/other/base.db;.db", "{a;Dbq=/other/base.db;.db}"},
    };
    for (const auto& [value, formatted] : cases)
        EXPECT_EQ(FormatConnectStringValue(value), CString(formatted)) << value;
}

// A variant's text is its own: a copy, a list that grows, a text set from
// the variant's own text and a change of kind each leave every variant
// holding exactly what was set on it.
TEST(SqlVariant, TextsStayWithTheirVariantThroughCopiesAndKindChanges)
{
    CDBVariant a;
    a.SetString(CString("first"));
    CDBVariant b = a;
    const CDBVariant c(a);
    a.SetString(CString("second"));
    EXPECT_EQ(*b.m_pstring, CString("first"));
    EXPECT_EQ(*c.m_pstring, CString("first"));
    EXPECT_NE(b.m_pstring, a.m_pstring);

    const CDBVariant& same = a; // assigned to itself through another name
    a = same;
    a.SetString(*a.m_pstring);
    a.SetString(std::move(*a.m_pstring));
    EXPECT_EQ(a.m_dwType, static_cast<DWORD>(DBVT_STRING));
    EXPECT_EQ(*a.m_pstring, CString("second"));

    const CString longText(std::string(300, 'x').c_str());
    CString taken = longText;
    a.SetString(std::move(taken));
    EXPECT_EQ(*a.m_pstring, longText);
    a.SetLong(7);
    EXPECT_EQ(a.m_dwType, static_cast<DWORD>(DBVT_LONG));
    EXPECT_EQ(a.m_lVal, 7);
    b = a;
    EXPECT_EQ(b.m_dwType, static_cast<DWORD>(DBVT_LONG));
    a.SetString(CString("third"));
    a.Clear();
    EXPECT_EQ(a.m_dwType, static_cast<DWORD>(DBVT_NULL));

    std::vector<CDBVariant> grown; // no room made first: every growth copies
    for (int i = 0; i < 100; ++i)
        grown.emplace_back().SetString(CString(("text " + std::to_string(i) + std::string(i % 40, '.')).c_str()));
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(*grown[static_cast<size_t>(i)].m_pstring,
                  CString(("text " + std::to_string(i) + std::string(i % 40, '.')).c_str()));
}

// Every path that exists opens exactly that file, whatever it holds; a path
// built to smuggle in a second DBQ opens its own file, and given unbraced it
// is refused instead of opening the other one.
TEST(SqlConnectString, EveryPathOpensExactlyItsFile)
{
    zentest::CTempDir dir;
    const std::string other = dir.File("other/base.db");
    std::filesystem::create_directories(dir.Path() / "other");
    const std::vector<std::string> paths = {
        dir.File("a;b.db"),   dir.File("{braced}.db"), dir.File("}x{.db"),     dir.File("k=v.db"),
        dir.File(" lead.db"), dir.File("trail.db "),   dir.File("}}{{;=.db"), dir.File("a;Dbq=") + other + ";.db",
        other,
    };
    auto connect = [](const std::string& path) {
        return CString("Driver={Microsoft Access Driver (*.mdb)};Dbq=") + FormatConnectStringValue(path.c_str()) + ";";
    };
    for (const std::string& path : paths) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        CDatabase::CreateDatabase(connect(path));
        CDatabase db;
        db.OpenEx(connect(path), CDatabase::noOdbcDialog);
        db.ExecuteSQL("CREATE TABLE Marker (Path VARCHAR(255))");
        db.ExecuteSQL(CString("INSERT INTO Marker (Path) VALUES ('") + path.c_str() + "')");
    }
    for (const std::string& path : paths) {
        ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
        CDatabase db;
        db.OpenEx(connect(path), CDatabase::noOdbcDialog);
        EXPECT_EQ(Scalar(db, "SELECT Path FROM Marker"), CString(path.c_str()));
        EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM Marker"), CString("1"));
    }
    const std::string attack = dir.File("a;Dbq=") + other + ";.db";
    CDatabase db;
    const CDBException e = Caught([&] { db.OpenEx(CString("Dbq=") + attack.c_str() + ";"); });
    EXPECT_NE(e.m_strError.Find("more than once"), -1) << e.m_strError.GetString();
    EXPECT_FALSE(db.IsOpen());
}

TEST_F(SqlDatabase, FilesThatAreNotDatabasesAreRefusedAndNothingIsCreated)
{
    CDatabase db;
    const std::string missing = m_dir.File("missing.mdb");
    CDBException e = Caught([&] { db.OpenEx(ConnectTo(missing)); });
    EXPECT_NE(e.m_strError.Find("does not exist"), -1);
    EXPECT_EQ(e.m_nRetCode, AFX_SQL_ERROR_CONNECT_FAIL);
    EXPECT_FALSE(std::filesystem::exists(missing));

    const std::string access = m_dir.File("access.mdb");
    zentest::WriteFileText(access, std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20) + std::string(200, '\x11'));
    EXPECT_NE(Caught([&] { db.OpenEx(ConnectTo(access)); }).m_strError.Find("Microsoft Access database file"), -1);

    const std::string text = m_dir.File("notes.mdb");
    zentest::WriteFileText(text, "just some notes, long enough to hold a database header");
    EXPECT_NE(Caught([&] { db.OpenEx(ConnectTo(text)); }).m_strError.Find("not a SQLite database"), -1);
    EXPECT_NE(Caught([&] { db.OpenEx(ConnectTo(m_dir.Path().string())); }).m_strError.Find("folder"), -1);
    EXPECT_FALSE(db.IsOpen());

    EXPECT_NE(Caught([] { CDatabase::CreateDatabase("DBQ=/nonexistent-folder/x.mdb"); }).m_strError.GetLength(), 0);
    EXPECT_NE(Caught([&] { CDatabase::CreateDatabase(ConnectTo(m_path)); }).m_strError.Find("exists already"), -1);
}

TEST_F(SqlDatabase, ReadOnlyConnectionsCannotUpdate)
{
    CDatabase ro;
    ro.OpenEx(ConnectTo(m_path), CDatabase::openReadOnly | CDatabase::noOdbcDialog);
    EXPECT_FALSE(ro.CanUpdate());
    EXPECT_EQ(Scalar(ro, "SELECT COUNT(*) FROM Log"), CString("0"));
    CDBException e = Caught([&] { ro.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1)"); });
    EXPECT_NE(e.m_strError.Find("readonly"), -1);
    CRecordset rs(&ro);
    rs.Open(CRecordset::dynaset, "SELECT Batch FROM Log");
    EXPECT_FALSE(rs.CanUpdate());
}

// In a folder that the user may not write, the engine cannot keep its log or
// journal beside the file: such a database is not updatable even though the
// file itself is writable, and it is read as it stands (a file kept with a
// write-ahead log too). Run as an unprivileged user in a child process.
TEST_F(SqlDatabase, AWriteProtectedFolderMakesTheDatabaseReadOnly)
{
    const std::filesystem::path folder = m_dir.Path() / "locked";
    std::filesystem::create_directory(folder);
    const std::string file = (folder / "ZEN.mdb").string();
    m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (7)");
    m_db.Close(); // the file, kept with a write-ahead log, is complete once closed
    std::filesystem::copy_file(m_path, file);
    ::chmod(file.c_str(), 0666);
    ::chmod(folder.c_str(), 0555);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(20);
        try {
            CDatabase db;
            db.OpenEx(ConnectTo(file));
            const bool canUpdate = db.CanUpdate() != FALSE;
            if (Scalar(db, "SELECT SUM(Batch) FROM Log") != CString("7"))
                _exit(3);
            if (db.GetReadOnlyReason().Find("write-protected") < 0)
                _exit(4);
            bool writeFailed = false;
            try {
                db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1)");
            } catch (const CDBException&) {
                writeFailed = true;
            }
            _exit(canUpdate ? 1 : (writeFailed ? 0 : 2));
        } catch (...) {
            _exit(10);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    ::chmod(folder.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 20 || WEXITSTATUS(status) == 10)
        GTEST_SKIP() << "cannot run as an unprivileged user here (" << WEXITSTATUS(status) << ")";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: reported updatable, 2: the write succeeded, 3: not readable, 4: no reason given";
}

// SQLite's own check; the server refuses a second statement in its own words
// and takes an empty one.
TEST_F(SqlDatabase, OnlyOneStatementIsRun)
{
    CDBException e = Caught([&] { m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1); DROP TABLE Log"); });
    EXPECT_NE(e.m_strError.Find("Only one statement"), -1);
    EXPECT_EQ(e.m_strSQL, CString("INSERT INTO Log (Batch) VALUES (1); DROP TABLE Log"));
    EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) FROM Log"), CString("0")); // neither part ran
    m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1) ;  ");       // one trailing ';' is fine
    EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) FROM Log"), CString("1"));
    CRecordset rs(&m_db);
    EXPECT_NE(Caught([&] { rs.Open(CRecordset::dynaset, "SELECT Batch FROM Log; DELETE FROM Log"); })
                  .m_strError.Find("Only one statement"),
              -1);
    EXPECT_NE(Caught([&] { m_db.ExecuteSQL("   "); }).m_strError.Find("empty"), -1);
}

TEST_F(SqlDatabase, FailingStatementsCarryTheEnginesTextAndTheStatement)
{
    struct Case {
        const char* sql;
        const char* text;
    };
    const Case cases[] = {
        {"SELECT * FROM Nope", "no such table: Nope"},
        {"SELECT [Missing] FROM Log", "no such column: Missing"}, // never taken for a text constant
        {"SELEC Batch FROM Log", "syntax error"},
        {"ALTER TABLE Log ADD Batch LONG", "duplicate column name: Batch"},
    };
    for (const Case& c : cases) {
        CDBException e = Caught([&] {
            CRecordset rs(&m_db);
            rs.Open(CRecordset::dynaset, c.sql);
        });
        if (CString(c.sql).Left(5) == "ALTER")
            e = Caught([&] { m_db.ExecuteSQL(c.sql); });
        EXPECT_NE(e.m_strError.Find(c.text), -1) << e.m_strError.GetString();
        EXPECT_NE(e.m_strError.Find(CString("Statement: ") + c.sql), -1) << e.m_strError.GetString();
        EXPECT_EQ(e.m_strSQL, CString(c.sql));
        EXPECT_EQ(e.m_nRetCode, SQL_ERROR);
        EXPECT_NE(e.m_strStateNativeOrigin.Find("Origin:SQLite"), -1);
        char buffer[256];
        e.GetErrorMessage(buffer, sizeof buffer);
        EXPECT_NE(std::string(buffer).find(c.text), std::string::npos);
    }
}

TEST_F(SqlDatabase, ALockHeldPastTheWaitFailsWithAClearText)
{
    CDatabase other;
    other.OpenEx(ConnectTo(m_path));
    other.SetQueryTimeout(1);
    m_db.BeginTrans();
    m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1)");
    const auto start = std::chrono::steady_clock::now();
    CDBException e = Caught([&] { other.ExecuteSQL("INSERT INTO Log (Batch) VALUES (2)"); });
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_NE(e.m_strError.Find("database is locked"), -1) << e.m_strError.GetString();
    EXPECT_NE(e.m_strError.Find("INSERT INTO Log (Batch) VALUES (2)"), -1);
    EXPECT_NE(e.m_strStateNativeOrigin.Find("HYT00"), -1);
    EXPECT_NE(Caught([&] { other.BeginTrans(); }).m_strError.Find("database is locked"), -1);
    m_db.CommitTrans();
    other.ExecuteSQL("INSERT INTO Log (Batch) VALUES (2)"); // the lock is gone with the commit
    EXPECT_EQ(Scalar(other, "SELECT COUNT(*) FROM Log"), CString("2"));
}

TEST_P(SqlDatabaseOnEngine, TransactionsCommitAndRollBack)
{
    EXPECT_FALSE(m_db.Rollback()); // none open
    m_db.BeginTrans();
    EXPECT_TRUE(m_db.IsInTransaction());
    EXPECT_NE(Caught([&] { m_db.BeginTrans(); }).m_strError.GetLength(), 0); // no nesting
    m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1)");
    EXPECT_TRUE(m_db.Rollback());
    EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) FROM Log"), CString("0"));
    m_db.BeginTrans();
    m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1)");
    m_db.CommitTrans();
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) FROM Log"), CString("1"));
    // An open transaction is rolled back when the connection closes.
    m_db.BeginTrans();
    m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (2)");
    m_db.Close();
    m_db.OpenEx(Connect());
    EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) FROM Log"), CString("1"));
}

// A writer killed at an arbitrary moment (mostly inside a transaction or a
// commit) leaves a consistent file holding every transaction it reported
// committed, and no part of any other.
TEST_P(SqlDatabaseOnEngine, AWriterKilledMidTransactionLosesNothingCommitted)
{
    constexpr int kRowsPerBatch = 20;
    m_db.Close();
    for (int round = 0; round < 3; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            try {
                CDatabase db;
                db.OpenEx(Connect());
                for (int32_t batch = 1 + round * 100000;; ++batch) {
                    db.BeginTrans();
                    for (int i = 0; i < kRowsPerBatch; ++i) {
                        CString sql;
                        sql.Format("INSERT INTO Log (Batch, Item) VALUES (%d, %d)", batch, i);
                        db.ExecuteSQL(sql);
                    }
                    db.CommitTrans();
                    if (write(fds[1], &batch, sizeof batch) != sizeof batch)
                        _exit(3);
                }
            } catch (...) {
                _exit(2);
            }
        }
        close(fds[1]);
        int32_t lastCommitted = 0;
        int reported = 0;
        const int stopAfter = 5 + 3 * round;
        while (reported < stopAfter && read(fds[0], &lastCommitted, sizeof lastCommitted) == sizeof lastCommitted)
            ++reported;
        usleep(static_cast<useconds_t>(1000 * (round + 1))); // land somewhere inside the next batch
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        int32_t value = 0;
        while (read(fds[0], &value, sizeof value) == sizeof value)
            lastCommitted = value; // commits reported before the kill
        close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself: " << WEXITSTATUS(status);

        CDatabase db;
        db.OpenEx(Connect()); // rolls back what the killed writer left
        CStringList findings;
        EXPECT_TRUE(db.CheckIntegrity(findings));
        CString sql;
        sql.Format("SELECT COUNT(*) FROM Log WHERE Batch <= %d AND Batch > %d", lastCommitted, round * 100000);
        EXPECT_EQ(Scalar(db, sql), CString(std::to_string((lastCommitted - round * 100000) * kRowsPerBatch)));
        // Whole batches only: no transaction left half.
        EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM (SELECT Batch FROM Log GROUP BY Batch HAVING COUNT(*) <> 20)"),
                  CString("0"));
        CString later;
        later.Format("SELECT COUNT(*) FROM Log WHERE Batch > %d + 1", lastCommitted);
        EXPECT_EQ(Scalar(db, later), CString("0"));
    }
}

// The statements of the library, written for the desktop database, run on
// the engine with the meaning they had there.
TEST_P(SqlDatabaseOnEngine, TheLibrarysStatementsRunOnTheEngine)
{
    m_db.ExecuteSQL("CREATE TABLE Samples (SampleID COUNTER PRIMARY KEY, UserSampleID VARCHAR(255), "
                    "RegistrationDate DATETIME, MeasuredDate DATETIME, Signed BIT)");
    m_db.ExecuteSQL("CREATE TABLE Patterns (PatternID COUNTER PRIMARY KEY, Name VARCHAR(255))");
    m_db.ExecuteSQL("CREATE TABLE RoutineTypes (RoutineTypeID COUNTER PRIMARY KEY, Name VARCHAR(255))");
    m_db.ExecuteSQL("CREATE TABLE DefaultProfileToUse (SampleID LONG, UseProfileTypeID LONG)");
    m_db.ExecuteSQL("CREATE TABLE DefaultRoutineToUse (SampleID LONG, UseRoutineTypeID LONG)");
    m_db.ExecuteSQL("ALTER TABLE Samples ADD Trace IMAGE");
    m_db.ExecuteSQL("ALTER TABLE Patterns ADD AutomaticallyEdgeAlignment BIT");
    m_db.ExecuteSQL("UPDATE Patterns SET AutomaticallyEdgeAlignment = 0");
    m_db.ExecuteSQL("ALTER TABLE Patterns ADD Deleted BIT");
    m_db.ExecuteSQL("INSERT INTO Samples (UserSampleID, RegistrationDate, MeasuredDate, Signed) VALUES "
                    "('S-1', #4/1/2014#, #4/30/2014 11:59 PM#, TRUE), ('S-2', #5/2/2014#, #5/1/2014#, FALSE), "
                    "('S-3', #5/2/2014#, NULL, FALSE), ('', #5/2/2014#, NULL, FALSE)");
    m_db.ExecuteSQL("INSERT INTO Patterns (Name, Deleted) VALUES ('P', FALSE)");
    m_db.ExecuteSQL("INSERT INTO DefaultProfileToUse VALUES (2, 1)");

    CRecordset rs(&m_db);
    CODBCFieldInfo info;
    rs.Open(CRecordset::dynaset, "SELECT [Trace] FROM Samples");
    rs.GetODBCFieldInfo(short{0}, info);
    EXPECT_EQ(info.m_nSQLType, SQL_LONGVARBINARY);
    rs.Open(CRecordset::dynaset, "SELECT [AutomaticallyEdgeAlignment] FROM Patterns");
    rs.GetODBCFieldInfo(short{0}, info);
    EXPECT_EQ(info.m_nSQLType, SQL_BIT);

    struct Case {
        const char* sql;
        const char* firstColumnValues; // nullptr: the statement must fail
        bool anyOrder = false;
    };
    const Case cases[] = {
        {"SELECT [Samples].[SampleID] FROM Samples  WHERE [MeasuredDate] < CDATE('2014-05-01 00:00:00')", "1 "},
        {"SELECT [Samples].[SampleID] FROM Samples  WHERE [MeasuredDate] >= # 5 / 1 / 2014 # AND "
         "[MeasuredDate] < # 5 / 2 /2014 #",
         "2 "},
        {"SELECT [Samples].[SampleID] FROM Samples  WHERE [Signed] = TRUE", "1 "},
        {"SELECT TOP 1 [Samples].[SampleID],[UserSampleID],[RegistrationDate] FROM Samples  ORDER BY "
         "[RegistrationDate] DESC",
         "2 3 4 ", true},
        {"SELECT TOP 2 [Samples].[SampleID] FROM Samples  ORDER BY SampleID", "1 2 "},
        {"SELECT [Samples].[SampleID],[UserSampleID],[RegistrationDate],[DueDate],[MeasuredDate],[Patterns].[Name], "
         "[RoutineTypes].[Name] FROM ((((Samples LEFT JOIN DefaultProfileToUse ON [Samples].[SampleID] = "
         "[DefaultProfileToUse].[SampleID]) LEFT JOIN DefaultRoutineToUse ON [Samples].[SampleID] = "
         "[DefaultRoutineToUse].[SampleID]) LEFT JOIN Patterns ON [DefaultProfileToUse].[UseProfileTypeID] = "
         "[Patterns].[PatternID] ) LEFT JOIN RoutineTypes ON [DefaultRoutineToUse].[UseRoutineTypeID] = "
         "[RoutineTypes].[RoutineTypeID] ) WHERE [Signed] = FALSE ORDER BY [Samples].[SampleID]",
         nullptr}, // DueDate is not a column here: must fail, not read a text
        {"SELECT [Patterns].[Name], [RoutineTypes].[Name] FROM ((((Samples LEFT JOIN DefaultProfileToUse ON "
         "[Samples].[SampleID] = [DefaultProfileToUse].[SampleID]) LEFT JOIN DefaultRoutineToUse ON "
         "[Samples].[SampleID] = [DefaultRoutineToUse].[SampleID]) LEFT JOIN Patterns ON "
         "[DefaultProfileToUse].[UseProfileTypeID] = [Patterns].[PatternID] ) LEFT JOIN RoutineTypes ON "
         "[DefaultRoutineToUse].[UseRoutineTypeID] = [RoutineTypes].[RoutineTypeID] ) WHERE [Signed] = FALSE "
         "ORDER BY [Samples].[SampleID]",
         "P   "},
        {"SELECT [Field] FROM (SELECT UserSampleID AS Field FROM Samples) WHERE [Field] LIKE '%s-%'", "S-1 S-2 S-3 "},
    };
    for (const Case& c : cases) {
        CRecordset q(&m_db);
        if (!c.firstColumnValues) {
            // In the engine's words: "no such column: DueDate", or the server's.
            EXPECT_NE(Caught([&] { q.Open(CRecordset::dynaset, c.sql); }).m_strError.Find("DueDate"), -1);
            continue;
        }
        q.Open(CRecordset::dynaset, c.sql);
        q.GetODBCFieldInfo(short{0}, info);
        std::vector<std::string> rows;
        for (; !q.IsEOF(); q.MoveNext()) {
            CString v;
            q.GetFieldValue(info.m_strName, v);
            rows.push_back(v.Str());
        }
        if (c.anyOrder)
            std::sort(rows.begin(), rows.end());
        std::string values;
        for (const std::string& v : rows)
            values += v + " ";
        EXPECT_EQ(values, c.firstColumnValues) << c.sql;
    }
}

} // namespace

// The guard: outermost scopes begin and commit, nested ones are savepoints
// that undo only their own work, and every path that does not commit rolls
// back, also for exceptions that are not the framework's.
TEST_P(SqlDatabaseOnEngine, TransactionGuardsNestAndRollBackOnEveryPath)
{
    {
        CTransaction outer(m_db);
        EXPECT_FALSE(outer.IsNested());
        m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (1)");
        {
            CTransaction inner(m_db);
            EXPECT_TRUE(inner.IsNested());
            m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (2)");
        } // not committed: only the inner row goes
        EXPECT_TRUE(m_db.IsInTransaction());
        {
            CTransaction inner(m_db);
            m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (3)");
            inner.Commit();
        }
        EXPECT_TRUE(m_db.IsInTransaction()) << "a nested commit leaves the final commit to the caller";
        outer.Commit();
    }
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) FROM Log"), CString("2"));
    EXPECT_EQ(Scalar(m_db, "SELECT SUM(Batch) FROM Log"), CString("4"));

    EXPECT_THROW(
        {
            CTransaction transaction(m_db);
            m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (9)");
            throw std::bad_alloc();
        },
        std::bad_alloc);
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) FROM Log"), CString("2"));

    // The write lock is gone with the rollback: another connection writes.
    CDatabase other;
    other.OpenEx(Connect());
    other.SetQueryTimeout(0);
    other.ExecuteSQL("INSERT INTO Log (Batch) VALUES (5)");

    // A commit that fails leaves the guard to roll back.
    m_db.BeginTrans();
    m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (6)");
    m_db.Rollback();
    {
        CTransaction transaction(m_db);
        m_db.ExecuteSQL("INSERT INTO Log (Batch) VALUES (7)");
        m_db.Rollback(); // someone ended it under the guard
        EXPECT_THROW(transaction.Commit(), CDBException);
    }
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) FROM Log"), CString("3"));
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlDatabaseOnEngine, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<zentest::ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });
