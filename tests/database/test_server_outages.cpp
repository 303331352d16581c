// A station whose database goes away or stays locked under it: the server
// ends its session or restarts (the one save that meets it fails with a
// message, the next one reconnects and the station goes on), and a save that
// waits on another station's lock longer than the configured busy timeout
// fails with the same busy message on either engine.
#include "EngineTestSupport.h"

#include "database/Schema.h"
#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/CTime.h"
#include "framework/UIHost.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

using zentest::ETestEngine;

namespace {

// A station database of the current version on engine, named to the facade
// by a configuration file (Server= or DatabaseFile=, BusyTimeout=1).
class StationDatabase {
public:
    explicit StationDatabase(ETestEngine engine) : m_db(engine)
    {
        CString error;
        m_ready = !m_db.ConnectString().IsEmpty() && ZenCreateDatabaseSchema(m_db.ConnectString(), 1, 9, &error);
        EXPECT_TRUE(m_ready) << error.Str();
        const std::string location = engine == ETestEngine::Sqlite ? "DatabaseFile=" + m_db.Name()
                                                                   : "Server=" + m_db.ConnectString().Str();
        m_config = m_dir.File("zen.ini");
        zentest::WriteFileText(m_config, "[Database]\n" + location + "\nBusyTimeout=1\n[Log]\nFile=" +
                                             m_dir.File("zen.log") + "\n");
        setenv("ZEN_CONFIG", m_config.c_str(), 1);
    }
    ~StationDatabase() { unsetenv("ZEN_CONFIG"); }
    StationDatabase(const StationDatabase&) = delete;
    StationDatabase& operator=(const StationDatabase&) = delete;

    bool Ready() const { return m_ready; }
    const zentest::CTestDatabase& Database() const { return m_db; }

private:
    zentest::CTempDir m_dir;
    zentest::CTestDatabase m_db;
    std::string m_config;
    bool m_ready = false;
};

bool SaveSample(CZENDatabase& station, const char* id)
{
    CZENDB_Sample sample(&station, id);
    sample.RegistrationDate = CTime(2026, 4, 1, 8, 0, 0);
    return sample.Save();
}

int SampleCount(CZENDatabase& station)
{
    CRecordset rs(&station);
    rs.Open(CRecordset::snapshot, "SELECT COUNT(*) AS n FROM Samples", CRecordset::readOnly);
    CString n;
    rs.GetFieldValue("n", n);
    return std::atoi(n.GetString());
}

enum class EOutage { SessionEnded, ServerRestarted };

class StationOutage : public ::testing::TestWithParam<EOutage> {
protected:
    CScriptedUIHost m_host;
    CUIHostScope m_scope{&m_host};
};

// A sample saved before, one save that fails with the lost connection's
// message (nothing of it stored), and the same save done at the next try.
TEST_P(StationOutage, TheStationGoesOnAfterOneFailedSave)
{
    ZEN_REQUIRE_ENGINE(ETestEngine::PostgreSql);
    if (GetParam() == EOutage::ServerRestarted && zentest::PgClusterForRestart().empty())
        GTEST_SKIP() << "the test server cannot be restarted from here (no pg_ctlcluster cluster)";
    StationDatabase database(ETestEngine::PostgreSql);
    ASSERT_TRUE(database.Ready());
    CZENDatabase station;
    CString error;
    ASSERT_EQ(station.OpenDatabase(0, "", "", error), 1) << error.Str();
    ASSERT_TRUE(SaveSample(station, "B-1"));

    if (GetParam() == EOutage::SessionEnded)
        ASSERT_EQ(zentest::RunOnPgServer("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE "
                                         "datname = '" +
                                         database.Database().Name() + "' AND pid <> pg_backend_pid()"),
                  "");
    else
        ASSERT_EQ(zentest::RestartPgServer(), "");

    EXPECT_FALSE(SaveSample(station, "A-1"));
    ASSERT_EQ(m_host.GetMessages().size(), 1u);
    EXPECT_EQ(m_host.GetMessages()[0].text.Find("The connection to the database server was lost"), 0)
        << m_host.GetMessages()[0].text.Str();
    EXPECT_FALSE(station.IsInTransaction());

    EXPECT_TRUE(SaveSample(station, "A-1"));
    EXPECT_EQ(m_host.GetMessages().size(), 1u);
    int32_t key = 0;
    EXPECT_TRUE(station.SampleExist("B-1", key));
    EXPECT_TRUE(station.SampleExist("A-1", key));
    EXPECT_EQ(SampleCount(station), 2);
}

INSTANTIATE_TEST_SUITE_P(Outages, StationOutage, ::testing::Values(EOutage::SessionEnded, EOutage::ServerRestarted),
                         [](const ::testing::TestParamInfo<EOutage>& outage) {
                             return outage.param == EOutage::SessionEnded ? std::string("SessionEnded")
                                                                          : std::string("ServerRestartedRunsAlone");
                         });

class StationBusy : public ::testing::TestWithParam<ETestEngine> {
protected:
    CScriptedUIHost m_host;
    CUIHostScope m_scope{&m_host};
};

// Another station's transaction is open past the configured one second:
// the save fails with the busy message, stores nothing, and succeeds once
// the other transaction has ended. Writers take turns on either engine, also
// when they touch different rows: the check of a free identifier and the
// audit trail's chaining read before they write and rely on no other writer
// coming between.
TEST_P(StationBusy, ASaveWaitingPastTheBusyTimeoutFailsAsBusyOnEitherEngine)
{
    ZEN_REQUIRE_ENGINE(GetParam());
    StationDatabase database(GetParam());
    ASSERT_TRUE(database.Ready());
    CZENDatabase station;
    CString error;
    ASSERT_EQ(station.OpenDatabase(0, "", "", error), 1) << error.Str();
    ASSERT_TRUE(SaveSample(station, "B-1"));
    CDatabase other;
    other.OpenEx(database.Database().ConnectString(), CDatabase::noOdbcDialog);

    const struct {
        const char* name;
        const char* otherWrites; // nullptr: the other transaction writes nothing
        bool changeStored;       // the station changes B-1; otherwise it registers a new sample
    } cases[] = {
        {"the other holds the sample's row", "UPDATE Samples SET [Customer] = 'other' WHERE [UserSampleID] = 'B-1'",
         true},
        {"the other has only begun", nullptr, true},
        {"the station registers while the other has only begun", nullptr, false},
    };
    int saved = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t messages = m_host.GetMessages().size();
        CZENDB_Sample sample(&station);
        if (c.changeStored) {
            ASSERT_TRUE(sample.Load(CString("B-1")));
        } else {
            sample.UserSampleID.Format("N-%d", saved);
            sample.RegistrationDate = CTime(2026, 4, 2, 8, 0, 0);
        }
        sample.Customer.Format("this station %d", saved);
        other.BeginTrans();
        if (c.otherWrites != nullptr)
            other.ExecuteSQL(c.otherWrites);
        EXPECT_FALSE(sample.Save());
        ASSERT_EQ(m_host.GetMessages().size(), messages + 1);
        EXPECT_NE(m_host.GetMessages().back().text.Find(
                      ": another connection kept the database locked for longer than the wait of 1000 ms"),
                  -1)
            << m_host.GetMessages().back().text.Str();
        EXPECT_FALSE(station.IsInTransaction());
        EXPECT_EQ(SampleCount(station), saved);
        other.Rollback();

        EXPECT_TRUE(sample.Save());
        EXPECT_EQ(m_host.GetMessages().size(), messages + 1);
        if (!c.changeStored)
            ++saved;
        CZENDB_Sample reloaded(&station);
        ASSERT_TRUE(reloaded.Load(sample.UserSampleID));
        EXPECT_EQ(reloaded.Customer, sample.Customer);
    }
    EXPECT_EQ(SampleCount(station), 2);
}

INSTANTIATE_TEST_SUITE_P(Engines, StationBusy, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });

} // namespace
