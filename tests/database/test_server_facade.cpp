// The facade on either engine: the station configuration names a file
// (DatabaseFile) or a server database (Server); opening, logins, the role
// check, samples saved, found and listed, the unique identifier rule and the
// audit trail behave the same on both.
#include "EngineTestSupport.h"

#include "database/Schema.h"
#include "database/ZENDatabase.h"
#include "databaseobjects/AuditTrail.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/CObList.h"
#include "framework/CTime.h"
#include "framework/UIHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using zentest::ETestEngine;

namespace {

class ServerFacade : public ::testing::TestWithParam<ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_db = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(m_db->ConnectString().IsEmpty());
        CString error;
        ASSERT_TRUE(ZenCreateDatabaseSchema(m_db->ConnectString(), 1, 9, &error)) << error.Str();
        {
            CDatabase db;
            db.OpenEx(m_db->ConnectString(), CDatabase::noOdbcDialog);
            EXPECT_TRUE(db.HasTable("LoginFailures"));
            EXPECT_TRUE(db.HasTable("loginfailures")); // letter case ignored
            EXPECT_FALSE(db.HasTable("Login"));
            EXPECT_FALSE(db.HasIndex("UX_Samples_UserSampleID_x"));
        }
        m_config = m_dir.File("zen.ini");
        const std::string location = GetParam() == ETestEngine::Sqlite
                                         ? "DatabaseFile=" + m_db->Name()
                                         : "Server=" + m_db->ConnectString().Str();
        zentest::WriteFileText(m_config, "[Database]\n" + location + "\n[Log]\nFile=" + m_dir.File("zen.log") + "\n");
        setenv("ZEN_CONFIG", m_config.c_str(), 1);
    }
    void TearDown() override { unsetenv("ZEN_CONFIG"); }

    zentest::CTempDir m_dir;
    std::unique_ptr<zentest::CTestDatabase> m_db;
    std::string m_config;
    CScriptedUIHost m_host;
    CUIHostScope m_hostScope{&m_host};
};

TEST_P(ServerFacade, AStationWorksTheSameOnEitherEngine)
{
    {
        CZENDatabase admin;
        CString error;
        ASSERT_EQ(admin.OpenDatabase(0, "", "", error), 1) << error.Str();
        EXPECT_TRUE(admin.HasUniqueSampleIDIndex());
        EXPECT_TRUE(admin.IsActionAllowed(ZENACT_ManageUsers)); // no users yet
        ASSERT_EQ(admin.AddUser("sup", "pw", UserRoleSupervisor), 1);
    }
    CZENDatabase facade;
    CString error;
    ASSERT_EQ(facade.OpenDatabase(1, "sup", "wrong", error), 0);
    m_host.QueueMessageAnswer(IDNO);
    ASSERT_EQ(facade.OpenDatabase(1, "sup", "pw", error), 1) << error.Str();
    EXPECT_EQ(facade.GetUserType(), UserRoleSupervisor);
    EXPECT_TRUE(facade.IsActionAllowed(ZENACT_DeleteSample));
    EXPECT_FALSE(facade.IsActionAllowed(ZENACT_ManageUsers));
    if (GetParam() == ETestEngine::PostgreSql) {
        EXPECT_EQ(facade.GetDatabaseName().Find("password"), -1);
    }

    int day = 1;
    for (const char* id : {"Größe 3", "S-1", "S-2"}) {
        CZENDB_Sample sample(&facade, id);
        sample.Customer = "ACME";
        sample.RegistrationDate = CTime(2026, 3, day++, 8, 0, 0);
        ASSERT_TRUE(sample.Save()) << id;
    }
    // The identifier is unique without regard to letter case on both engines.
    CZENDB_Sample twin(&facade, "s-1");
    EXPECT_FALSE(twin.Save());
    int32_t key = 0;
    EXPECT_TRUE(facade.SampleExist("s-2", key));
    EXPECT_GT(key, 0);
    EXPECT_EQ(facade.GetNextUserSampleID(), "S-3"); // from the latest registered
    CObList list;
    EXPECT_EQ(facade.GetSamples(SampleViewAll, nullptr, list), 3);
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        delete list.GetNext(pos);
    CZENDB_Sample loaded(&facade);
    ASSERT_TRUE(loaded.Load(CString("S-2")));
    EXPECT_EQ(loaded.Customer, "ACME");
    ASSERT_TRUE(loaded.Delete());
    EXPECT_FALSE(facade.SampleExist("S-2", key));

    const CAuditVerifyResult verified = zenaudit::Verify(facade);
    EXPECT_TRUE(verified.Intact) << verified.Problem.Str();
    EXPECT_GE(verified.Entries, 6); // the user, two logins, three samples, the delete
}

INSTANTIATE_TEST_SUITE_P(Engines, ServerFacade, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<ETestEngine>& engine) { return std::string(zentest::EngineName(engine.param)); });

} // namespace
