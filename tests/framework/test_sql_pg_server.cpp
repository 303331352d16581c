// The PostgreSQL driver: connection strings in their three forms and the
// passwords hidden in every text about them, the server's errors with their
// SQLSTATE and statement, the lock wait set on the server, a connection the
// server drops or loses in a restart (the operation that finds it gone fails,
// the next renews it once; a transaction on it reported gone), a lock held
// past the wait failing as on SQLite, the read-only open, the integrity check
// and the refused file backup.
#include "EngineTestSupport.h"
#include "framework/SqlTestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/Transaction.h"
#include "framework/sql/internal/SqlConnection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
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
    m_db.SetQueryTimeout(0); // no wait: the server's 0 would wait for ever
    EXPECT_EQ(Scalar(m_db, "SELECT current_setting('lock_timeout') AS t"), CString("1ms"));
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

// The row identity by which a saved row is read back, changed or deleted is
// indexed: without the index every save read the whole table.
TEST_F(PgServer, TheRowIdentityIsIndexed)
{
    const CString sql = "SELECT COUNT(*) FROM pg_indexes WHERE tablename = 'Pairs' AND indexdef LIKE '%(__zen_rowid)%'";
    auto statement = m_db.GetSqlConnection()->Prepare(sql, sql);
    ASSERT_TRUE(statement->Step());
    EXPECT_EQ(statement->GetValue(0).GetInteger(), 1);
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

// How the station's session goes away: the server ends it (as an
// administrator or a failover does), or the whole server restarts. A
// restart ends every session on the server: those cases run alone.
enum class EOutage { SessionEnded, ServerRestarted };

class PgOutage : public PgServer, public ::testing::WithParamInterface<EOutage> {
protected:
    void SetUp() override
    {
        PgServer::SetUp();
        if (GetParam() == EOutage::ServerRestarted && zentest::PgClusterForRestart().empty())
            GTEST_SKIP() << "the test server cannot be restarted from here (no pg_ctlcluster cluster)";
    }
    void BringOutage()
    {
        if (GetParam() == EOutage::SessionEnded)
            DropSessions();
        else
            ASSERT_EQ(zentest::RestartPgServer(), "");
    }
    CString Count() { return Scalar(m_db, "SELECT COUNT(*) AS n FROM Pairs"); }
};

// Outside a transaction: the statement that finds the session gone fails,
// says so with the server's state and the statement, and was not done; the
// next one renews the connection with the session's settings and a kept
// statement of the old session runs again.
TEST_P(PgOutage, TheOperationThatFindsItFailsAndTheNextReconnects)
{
    m_db.SetQueryTimeout(2);
    CRecordset kept(&m_db);
    kept.Open(CRecordset::snapshot, "SELECT B FROM Pairs WHERE A = 1", CRecordset::readOnly);
    BringOutage();
    const char* lostInsert = "INSERT INTO Pairs (A, B) VALUES (2, 'two')";
    const CDBException lost = Caught([&] { m_db.ExecuteSQL(lostInsert); });
    EXPECT_EQ(lost.m_nRetCode, AFX_SQL_ERROR_CONNECT_FAIL);
    EXPECT_EQ(lost.m_strError.Find("The connection to the database server was lost ("), 0) << lost.m_strError.Str();
    EXPECT_NE(lost.m_strError.Find(CString("\nStatement: ") + lostInsert), -1) << lost.m_strError.Str();
    EXPECT_EQ(lost.m_strSQL, CString(lostInsert));
    EXPECT_NE(lost.m_strStateNativeOrigin.Find("Origin:PostgreSQL"), -1) << lost.m_strStateNativeOrigin.Str();
    EXPECT_FALSE(m_db.IsInTransaction());

    EXPECT_EQ(Count(), CString("1")) << "the failed insert was not done";
    EXPECT_EQ(Scalar(m_db, "SELECT current_setting('lock_timeout') AS t"), CString("2s"));
    EXPECT_EQ(Scalar(m_db, "SELECT current_setting('DateStyle') AS t"), CString("ISO, YMD"));
    m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (3, 'three')");
    EXPECT_EQ(Count(), CString("2"));
    kept.Requery();
    CString b;
    kept.GetFieldValue("B", b);
    EXPECT_EQ(b, CString("one"));
}

// Inside the guard's transaction: the work is reported gone, never redone
// in a new session; the guard's rollback on the way out throws nothing; the
// next operation after it reconnects. Whether the outage is met by a
// statement or by the commit itself, nothing of the transaction is stored.
TEST_P(PgOutage, ATransactionItMeetsIsGoneAndTheGuardEndsQuietly)
{
    const struct {
        const char* name;
        bool byCommit;
        const char* said;
    } cases[] = {
        {"a statement meets it", false, "The transaction is gone: nothing of it was committed."},
        {"the commit meets it", true, "The connection was lost during the commit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool escaped = false;
        try {
            CTransaction transaction(m_db);
            m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (2, 'two')");
            BringOutage();
            const CDBException lost = Caught([&] {
                if (c.byCommit)
                    transaction.Commit();
                else
                    m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (3, 'three')");
            });
            EXPECT_EQ(lost.m_nRetCode, AFX_SQL_ERROR_CONNECT_FAIL);
            EXPECT_NE(lost.m_strError.Find("The connection to the database server was lost"), -1)
                << lost.m_strError.Str();
            EXPECT_NE(lost.m_strError.Find(c.said), -1) << lost.m_strError.Str();
            if (!c.byCommit) {
                const CDBException again = Caught([&] { m_db.ExecuteSQL("SELECT 1"); });
                EXPECT_NE(again.m_strError.Find("the transaction is gone"), -1) << again.m_strError.Str();
                EXPECT_TRUE(m_db.IsInTransaction()) << "reported until rolled back";
            }
        } catch (...) {
            escaped = true;
        }
        EXPECT_FALSE(escaped) << "the guard's rollback threw";
        EXPECT_FALSE(m_db.IsInTransaction());
        EXPECT_EQ(Count(), CString("1"));
        m_db.ExecuteSQL("DELETE FROM Pairs WHERE A <> 1");
    }
}

INSTANTIATE_TEST_SUITE_P(Outages, PgOutage, ::testing::Values(EOutage::SessionEnded, EOutage::ServerRestarted),
                         [](const ::testing::TestParamInfo<EOutage>& outage) {
                             return outage.param == EOutage::SessionEnded ? std::string("SessionEnded")
                                                                          : std::string("ServerRestartedRunsAlone");
                         });

// A writer that waits on another connection's lock longer than its busy
// timeout fails with the busy error of SQLite: the same return code and
// state, and a text that says so. Its connection goes on, and once the lock
// is gone the same write succeeds.
class LockWait : public ::testing::TestWithParam<ETestEngine> {};

TEST_P(LockWait, AWriterWaitingPastTheTimeoutFailsAsBusyOnEitherEngine)
{
    ZEN_REQUIRE_ENGINE(GetParam());
    const zentest::CTestDatabase database(GetParam());
    ASSERT_FALSE(database.ConnectString().IsEmpty());
    CDatabase holder;
    holder.OpenEx(database.ConnectString());
    holder.ExecuteSQL("CREATE TABLE Pairs (A LONG, B TEXT(50))");
    holder.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (1, 'one')");
    CDatabase waiter;
    waiter.OpenEx(database.ConnectString());
    waiter.SetQueryTimeout(1);

    const struct {
        const char* name;
        std::function<void()> write;
    } writes[] = {
        {"an update of the locked row", [&] { waiter.ExecuteSQL("UPDATE Pairs SET B = 'late' WHERE A = 1"); }},
        {"a delete of the locked row", [&] { waiter.ExecuteSQL("DELETE FROM Pairs WHERE A = 1"); }},
        {"an update under the guard", [&] {
             CTransaction transaction(waiter);
             waiter.ExecuteSQL("UPDATE Pairs SET B = 'late' WHERE A = 1");
             transaction.Commit();
         }},
    };
    for (const auto& w : writes) {
        SCOPED_TRACE(w.name);
        holder.BeginTrans();
        holder.ExecuteSQL("UPDATE Pairs SET B = 'held' WHERE A = 1");
        const CDBException busy = Caught(w.write);
        EXPECT_EQ(busy.m_nRetCode, SQL_ERROR);
        EXPECT_EQ(busy.m_strStateNativeOrigin.Find("State:HYT00,"), 0) << busy.m_strStateNativeOrigin.Str();
        EXPECT_NE(busy.m_strError.Find(": another connection kept the database locked for longer than the wait of "
                                       "1000 ms\nStatement: "),
                  -1)
            << busy.m_strError.Str();
        EXPECT_FALSE(waiter.IsInTransaction());
        holder.CommitTrans();
        EXPECT_EQ(Scalar(waiter, "SELECT B FROM Pairs WHERE A = 1"), CString("held"));
        w.write(); // the lock is gone
        holder.ExecuteSQL("DELETE FROM Pairs");
        holder.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (1, 'one')");
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, LockWait, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });

// On the server a table lock stops readers too: a read past the wait fails
// as busy in the same words.
TEST_F(PgServer, AReadWaitingOnATableLockPastTheTimeoutFailsAsBusy)
{
    CDatabase holder;
    holder.OpenEx(m_database->ConnectString());
    holder.BeginTrans();
    // The server's own statement, past the translation of the library's SQL.
    const CString lock = "LOCK TABLE \"Pairs\" IN ACCESS EXCLUSIVE MODE";
    holder.GetSqlConnection()->Execute(lock, lock);
    m_db.SetQueryTimeout(1);
    const CDBException busy = Caught([&] { Scalar(m_db, "SELECT B FROM Pairs"); });
    EXPECT_EQ(busy.m_strStateNativeOrigin.Find("State:HYT00,Native:0,Origin:PostgreSQL 55P03"), 0)
        << busy.m_strStateNativeOrigin.Str();
    EXPECT_NE(busy.m_strError.Find("longer than the wait of 1000 ms"), -1) << busy.m_strError.Str();
    holder.Rollback();
    EXPECT_EQ(Scalar(m_db, "SELECT B FROM Pairs"), CString("one"));
}

// Reads that differ only in the literals of their WHERE clause share one
// statement prepared on the server: run after run, the session holds no
// more prepared statements. Literals the server could take for a narrower
// type than written (whole numbers past 32 bits) and texts it can find no
// type for stay as written; all give the rows of the statement as written.
TEST_F(PgServer, ReadsDifferingInTheirLiteralsShareOnePreparedStatement)
{
    m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (2, 'two')");
    const char* prepared = "SELECT COUNT(*) AS n FROM pg_prepared_statements";
    const int before = std::atoi(Scalar(m_db, prepared));
    int afterFirstRound = 0;
    const struct {
        const char* sql;
        const char* first;
    } reads[] = {
        {"SELECT B FROM Pairs WHERE A = 1", "one"},
        {"SELECT B FROM Pairs WHERE A = 2", "two"},
        {"SELECT B FROM Pairs WHERE B = 'two' AND A = 2", "two"},
        {"SELECT B FROM Pairs WHERE B = 'one' AND A = 1", "one"},
        {"SELECT B FROM Pairs WHERE A = 3000000000", ""},
        {"SELECT B FROM Pairs WHERE A = -2147483648", ""},
        {"SELECT B FROM Pairs WHERE 'x' = 'x' AND A = 1", "one"},
        {"SELECT B FROM Pairs WHERE A IN (2, 5)", "two"},
        {"SELECT B FROM Pairs WHERE B LIKE 'o%'", "one"},
    };
    for (int round = 0; round < 3; ++round) {
        for (const auto& r : reads)
            EXPECT_EQ(Scalar(m_db, r.sql), CString(r.first)) << r.sql;
        const int now = std::atoi(Scalar(m_db, prepared));
        if (round == 0) {
            // One each for the texts left after the literals became
            // parameters: "A = $1", "B = $1 AND A = $2", the two wide
            // numbers as written, "$1 = $2 AND A = $3", the IN list, LIKE.
            EXPECT_EQ(now, before + 7);
            afterFirstRound = now;
        } else {
            EXPECT_EQ(now, afterFirstRound) << "round " << round << " prepared again";
        }
    }
}

// A statement that changes the tables drops the kept reads: the same read
// afterwards describes the table as it is, also when the change was rolled
// back (a table made inside the transaction is gone again).
TEST_F(PgServer, AChangedSchemaIsReadAnew)
{
    const char* read = "SELECT * FROM Pairs WHERE A = 1";
    auto columns = [&]() {
        CRecordset rs(&m_db);
        rs.Open(CRecordset::snapshot, read, CRecordset::readOnly);
        return static_cast<int>(rs.GetODBCFieldCount());
    };
    EXPECT_EQ(columns(), 2);
    m_db.ExecuteSQL("ALTER TABLE Pairs ADD COLUMN C INTEGER");
    EXPECT_EQ(columns(), 3);

    const char* other = "SELECT X FROM Made WHERE X = 1";
    for (const bool nested : {false, true}) {
        SCOPED_TRACE(nested ? "rolled back to a savepoint" : "rolled back");
        {
            CTransaction outer(m_db);
            {
                CTransaction transaction(m_db);
                m_db.ExecuteSQL("CREATE TABLE Made (X INTEGER)");
                m_db.ExecuteSQL("INSERT INTO Made (X) VALUES (1)");
                EXPECT_EQ(Scalar(m_db, other), CString("1"));
                if (!nested)
                    transaction.Commit();
            }
            if (nested) {
                EXPECT_EQ(Caught([&] { Scalar(m_db, other); }).m_strStateNativeOrigin.Find("State:42P01"), 0);
            }
        }
        EXPECT_EQ(Caught([&] { Scalar(m_db, other); }).m_strStateNativeOrigin.Find("State:42P01"), 0);
        EXPECT_EQ(columns(), 3);
    }
}

// Inside a transaction a failed statement undoes only itself, and the
// guard's nested scopes undo or keep only their own work, however the
// statements' own savepoints and the scopes' follow each other.
TEST_F(PgServer, AFailedStatementInATransactionUndoesOnlyItself)
{
    auto insert = [&](int a) {
        CString sql;
        sql.Format("INSERT INTO Pairs (A, B) VALUES (%d, 'row')", a);
        m_db.ExecuteSQL(sql);
    };
    {
        CTransaction outer(m_db);
        insert(2);
        EXPECT_THROW(m_db.ExecuteSQL("INSERT INTO Pairs (A) VALUES ('not a number')"), CDBException);
        insert(3);
        {
            CTransaction inner(m_db);
            insert(4);
            EXPECT_THROW(Scalar(m_db, "SELECT A / 0 AS q FROM Pairs"), CDBException);
            insert(5);
        } // not committed: 4 and 5 go
        {
            CTransaction inner(m_db);
            EXPECT_THROW(m_db.ExecuteSQL("INSERT INTO NoSuchTable (A) VALUES (1)"), CDBException);
            insert(6);
            inner.Commit();
        }
        EXPECT_EQ(Scalar(m_db, "SELECT COUNT(*) AS n FROM Pairs"), CString("4"));
        insert(7);
        outer.Commit();
    }
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(Scalar(m_db, "SELECT SUM(A) AS s FROM Pairs"), CString("19")); // 1 + 2 + 3 + 6 + 7
}

} // namespace
