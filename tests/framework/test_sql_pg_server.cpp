// The PostgreSQL driver: connection strings in their three forms and the
// passwords hidden in every text about them, the server's errors with their
// SQLSTATE and statement, the lock wait set on the server, a connection the
// server drops (renewed once; a transaction on it reported gone), the
// read-only open, the integrity check and the refused file backup.
#include "EngineTestSupport.h"
#include "framework/SqlTestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/internal/SqlConnection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using sqltest::Caught;
using sqltest::Scalar;
using zentest::ETestEngine;

namespace {

TEST(PgConnectString, TheThreeFormsNameTheServer)
{
    const struct {
        const char* connect;
        CSqlConnectParams::Engine engine;
        const char* uri;
    } cases[] = {
        {"postgresql://u:pw@h:5432/zen", CSqlConnectParams::Engine::PostgreSql, "postgresql://u:pw@h:5432/zen"},
        {" postgres://h/zen ", CSqlConnectParams::Engine::PostgreSql, "postgres://h/zen"},
        {"host=h dbname=zen user=u", CSqlConnectParams::Engine::PostgreSql, "host=h dbname=zen user=u"},
        {"Driver={PostgreSQL Unicode};Server=h;Port=5433;Database=zen;Uid=u;Pwd=p'q\\r;",
         CSqlConnectParams::Engine::PostgreSql,
         "host='h' port='5433' dbname='zen' user='u' password='p\\'q\\\\r'"},
        {"ENGINE=postgres;HOST=x;PWD=secret", CSqlConnectParams::Engine::PostgreSql, "host='x' password='secret'"},
        {"Driver={PostgreSQL};Uri={postgresql://h/zen}", CSqlConnectParams::Engine::PostgreSql, "postgresql://h/zen"},
        {"Driver={PostgreSQL};ConnInfo={host=h};Database=zen", CSqlConnectParams::Engine::PostgreSql,
         "host=h dbname='zen'"},
        {"Driver={Microsoft Access Driver (*.mdb)};Dbq=/x/ZEN.mdb;Uid=admin;Pwd=;", CSqlConnectParams::Engine::Sqlite,
         ""},
    };
    for (const auto& c : cases) {
        const CSqlConnectParams params = ParseConnectString(c.connect);
        EXPECT_EQ(params.engine, c.engine) << c.connect;
        EXPECT_EQ(params.uri, CString(c.uri)) << c.connect;
    }
    EXPECT_NE(Caught([] { ParseConnectString("Driver={PostgreSQL};READONLY=1"); }).m_strError.Find("names no PostgreSQL"),
              -1);
}

TEST(PgConnectString, PasswordsAreMaskedInEveryForm)
{
    const struct {
        const char* connect;
        const char* masked;
    } cases[] = {
        {"postgresql://u:SeCrEt@h:5432/zen?sslmode=disable", "postgresql://u:***@h:5432/zen?sslmode=disable"},
        {"postgresql://h/zen?user=u&password=SeCrEt&sslmode=require",
         "postgresql://h/zen?user=u&password=***&sslmode=require"},
        {"postgresql://u@h:5432/zen", "postgresql://u@h:5432/zen"},
        {"host=h password='Se cr\\'et' dbname=zen", "host=h password=*** dbname=zen"},
        {"host=h PASSWORD = SeCrEt", "host=h PASSWORD = ***"},
        {"Driver={PostgreSQL};Server=h;PWD={Se;cr}}et};Database=zen", "Driver={PostgreSQL};Server=h;PWD=***;Database=zen"},
        {"ENGINE=postgres;HOST=x;Password=SeCrEt;", "ENGINE=postgres;HOST=x;Password=***;"},
        {"DBQ=/data/pwd=1/ZEN.mdb;", "DBQ=/data/pwd=1/ZEN.mdb;"},
        {"ENGINE=postgres; Password = open sesame ; HOST=db", "ENGINE=postgres; Password = *** ; HOST=db"},
        {"ENGINE=postgres;PASSWORD=;HOST=db", "ENGINE=postgres;PASSWORD=;HOST=db"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MaskConnectPassword(c.connect), CString(c.masked)) << c.connect;
}

class PgServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(ETestEngine::PostgreSql);
        m_database = std::make_unique<zentest::CTestDatabase>(ETestEngine::PostgreSql);
        ASSERT_FALSE(m_database->ConnectString().IsEmpty());
        m_db.OpenEx(m_database->ConnectString());
        m_db.ExecuteSQL("CREATE TABLE Pairs (A LONG, B TEXT(50))");
        m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (1, 'one')");
    }
    // Ends the server sessions of the test's database (as a server restart
    // would), from a connection of its own, and waits until they are gone.
    void DropSessions()
    {
        EXPECT_EQ(zentest::RunOnPgServer("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE datname = '" +
                                         m_database->Name() + "' AND pid <> pg_backend_pid()"),
                  "");
    }
    std::string Env(const char* name)
    {
        const char* value = std::getenv(name);
        return value ? value : "";
    }

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
};

TEST_F(PgServer, NoErrorTextShowsThePassword)
{
    const std::string host = Env("PGHOST").empty() ? "localhost" : Env("PGHOST");
    const std::string port = Env("PGPORT").empty() ? "5432" : Env("PGPORT");
    const std::string forms[] = {
        "host=" + host + " port=" + port + " dbname=postgres user=zen_nobody password=SeCrEt-123",
        "postgresql://zen_nobody:SeCrEt-123@" + host + ":" + port + "/postgres",
        "Driver={PostgreSQL};Server=" + host + ";Port=" + port + ";Database=postgres;Uid=zen_nobody;Pwd=SeCrEt-123;",
    };
    for (const std::string& connect : forms) {
        CDatabase db;
        const CDBException e = Caught([&] { db.OpenEx(connect.c_str()); });
        const std::string all = e.m_strError.Str() + e.m_strSQL.Str() + e.m_strStateNativeOrigin.Str();
        EXPECT_EQ(all.find("SeCrEt"), std::string::npos) << all;
        EXPECT_NE(all.find("***"), std::string::npos) << all;
        EXPECT_NE(all.find("zen_nobody"), std::string::npos) << "the rest of the string is shown: " << all;
        EXPECT_EQ(e.m_nRetCode, AFX_SQL_ERROR_CONNECT_FAIL);
    }
}

TEST_F(PgServer, ErrorsCarryTheServersStateAndTheStatement)
{
    const struct {
        const char* sql;
        const char* state;
    } cases[] = {
        {"SELECT NoSuchColumn FROM Pairs", "State:42703"},
        {"SELECT A FROM NoSuchTable", "State:42P01"},
        {"SELECT A FROM Pairs WHERE A = 1 / 0", "State:22012"},
        {"INSERT INTO Pairs (A) VALUES ('not a number')", "State:22P02"},
    };
    for (const auto& c : cases) {
        const CDBException e = Caught([&] { m_db.ExecuteSQL(c.sql); });
        EXPECT_EQ(e.m_strStateNativeOrigin.Find(c.state), 0) << c.sql << ": " << e.m_strStateNativeOrigin.Str();
        EXPECT_NE(e.m_strStateNativeOrigin.Find("Origin:PostgreSQL"), -1);
        EXPECT_EQ(e.m_strSQL, CString(c.sql));
        EXPECT_NE(e.m_strError.Find(CString("\nStatement: ") + c.sql), -1) << e.m_strError.Str();
    }
    EXPECT_EQ(Scalar(m_db, "SELECT B FROM Pairs"), CString("one")) << "the connection goes on";
}

TEST_F(PgServer, TheLockWaitIsTheServersLockTimeout)
{
    EXPECT_EQ(Scalar(m_db, "SELECT current_setting('lock_timeout') AS t"), CString("5s"));
    m_db.SetQueryTimeout(1);
    EXPECT_EQ(Scalar(m_db, "SELECT current_setting('lock_timeout') AS t"), CString("1s"));
    m_db.SetQueryTimeout(0);
    EXPECT_EQ(Scalar(m_db, "SELECT current_setting('lock_timeout') AS t"), CString("0"));
}

TEST_F(PgServer, ADroppedConnectionIsRenewedOnceWithItsStatements)
{
    CRecordset kept(&m_db);
    kept.Open(CRecordset::snapshot, "SELECT B FROM Pairs WHERE A = 1", CRecordset::readOnly);
    DropSessions();
    const CDBException lost = Caught([&] { m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (2, 'two')"); });
    EXPECT_NE(lost.m_strError.Find("connection to the database server was lost"), -1) << lost.m_strError.Str();
    m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (3, 'three')");
    EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) AS n FROM Pairs"), CString("2")) << "the lost insert was not done";
    kept.Requery();
    CString b;
    kept.GetFieldValue("B", b);
    EXPECT_EQ(b, CString("one")) << "a statement of the old session is prepared again";
}

TEST_F(PgServer, ATransactionOnADroppedConnectionIsReportedGone)
{
    m_db.BeginTrans();
    m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (2, 'two')");
    DropSessions();
    const CDBException lost = Caught([&] { m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (3, 'three')"); });
    EXPECT_NE(lost.m_strError.Find("transaction is gone"), -1) << lost.m_strError.Str();
    EXPECT_TRUE(m_db.IsInTransaction());
    const CDBException commit = Caught([&] { m_db.CommitTrans(); });
    EXPECT_NE(commit.m_strError.Find("nothing of it was committed"), -1) << commit.m_strError.Str();
    EXPECT_TRUE(m_db.Rollback());
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) AS n FROM Pairs"), CString("1"));
}

TEST_F(PgServer, ReadOnlyOpenRefusesWrites)
{
    CDatabase reader;
    reader.OpenEx(m_database->ConnectString(), CDatabase::openReadOnly);
    EXPECT_FALSE(reader.CanUpdate());
    EXPECT_EQ(reader.GetReadOnlyReason(), CString("The database was opened read-only."));
    EXPECT_EQ(Scalar(reader, "SELECT B FROM Pairs"), CString("one"));
    const CDBException e = Caught([&] { reader.ExecuteSQL("DELETE FROM Pairs"); });
    EXPECT_EQ(e.m_strStateNativeOrigin.Find("State:25006"), 0) << e.m_strStateNativeOrigin.Str();
    EXPECT_TRUE(m_db.CanUpdate());
}

TEST_F(PgServer, IntegrityCheckReadsEveryTableAndBackupIsRefused)
{
    CStringList findings;
    EXPECT_TRUE(m_db.CheckIntegrity(findings));
    EXPECT_EQ(findings.GetCount(), 0);
    zentest::CTempDir dir;
    const std::string target = dir.File("copy.db");
    const CDBException e = Caught([&] { m_db.Backup(target.c_str()); });
    EXPECT_NE(e.m_strError.Find("pg_dump"), -1) << e.m_strError.Str();
    EXPECT_FALSE(std::filesystem::exists(target));
}

// Through the driver interface, as a copy between databases uses it.
TEST_F(PgServer, AnAutoNumberMovesPastAKeyAndNeverBack)
{
    m_db.ExecuteSQL("CREATE TABLE Counted (Id INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(20))");
    CSqlConnection& connection = *m_db.GetSqlConnection();
    auto addRow = [&]() {
        m_db.ExecuteSQL("INSERT INTO Counted (Name) VALUES ('x')");
        return Scalar(m_db, "SELECT MAX(Id) AS K FROM Counted");
    };
    connection.MoveAutoNumberPast("Counted", "Id", 100);
    EXPECT_EQ(addRow(), CString("101"));
    connection.MoveAutoNumberPast("counted", "ID", 50);
    EXPECT_EQ(addRow(), CString("102"));
    connection.MoveAutoNumberPast("COUNTED", "id", 500);
    EXPECT_EQ(addRow(), CString("501"));
    for (const char* column : {"Name", "__zen_rowid", "Missing"}) {
        const CDBException e = Caught([&] { connection.MoveAutoNumberPast("Counted", column, 900); });
        EXPECT_NE(e.m_strError.Find("is not an auto-numbered key"), -1) << column << ": " << e.m_strError.Str();
    }
    EXPECT_NE(Caught([&] { connection.MoveAutoNumberPast("Pairs", "A", 900); }).m_strError.Find("not an auto-numbered"),
              -1);
    EXPECT_EQ(addRow(), CString("502"));
}

} // namespace
