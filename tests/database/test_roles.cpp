// Tests of the session's rights: the least role of every action, and what a
// database with users, and one without any, lets each login do.

#include "FacadeTestSupport.h"

#include <string>
#include <vector>

namespace {

using factest::CFacadeTest;

TEST(Roles, EachActionNeedsItsLeastRole)
{
    const std::vector<std::pair<ZENAction, UserRoleType>> table = {
        {ZENACT_RegisterSample, UserRoleOperator},          {ZENACT_ImportRuns, UserRoleOperator},
        {ZENACT_Evaluate, UserRoleOperator},                {ZENACT_PrintReport, UserRoleOperator},
        {ZENACT_SignSample, UserRoleSupervisor},            {ZENACT_ChangeSignedSample, UserRoleSupervisor},
        {ZENACT_DeleteSample, UserRoleSupervisor},          {ZENACT_ManageUsers, UserRoleAdministrator},
        {ZENACT_ManageFields, UserRoleAdministrator},       {ZENACT_ManagePatterns, UserRoleAdministrator},
        {ZENACT_ManageRoutines, UserRoleAdministrator},     {ZENACT_UpgradeDatabase, UserRoleAdministrator},
        {ZENACT_CopyDatabase, UserRoleAdministrator},       {static_cast<ZENAction>(ZENACT_Count), UserRoleAdministrator},
        {static_cast<ZENAction>(-1), UserRoleAdministrator},
    };
    ASSERT_EQ(table.size(), static_cast<size_t>(ZENACT_Count) + 2);
    for (const auto& [action, role] : table)
        EXPECT_EQ(ZenRoleNeeded(action), role) << "action " << action;

    EXPECT_EQ(ZenRoleName(UserRoleSupervisor), "supervisor");
    EXPECT_EQ(ZenRoleName(static_cast<UserRoleType>(7)), "7");
    EXPECT_EQ(ZenEffectiveRole(static_cast<UserRoleType>(7)), UserRoleOperator);
    EXPECT_EQ(ZenEffectiveRole(static_cast<UserRoleType>(-5)), UserRoleOperator);
    EXPECT_EQ(ZenEffectiveRole(UserRoleAdministrator), UserRoleAdministrator);
}

class SessionRoles : public CFacadeTest {
protected:
    void SetUp() override
    {
        CFacadeTest::SetUp();
        if (!Ready())
            return;
        CreateDatabase();
    }

    void AddUsers()
    {
        CZENDatabase admin;
        CString error;
        ASSERT_EQ(admin.OpenDatabase(0, "", "", error), 1);
        ASSERT_EQ(admin.AddUser("op", "o", UserRoleOperator), 1);
        ASSERT_EQ(admin.AddUser("sup", "s", UserRoleSupervisor), 1);
        ASSERT_EQ(admin.AddUser("adm", "a", UserRoleAdministrator), 1);
        ASSERT_EQ(admin.AddUser("odd", "x", static_cast<UserRoleType>(7)), 1);
    }
};

TEST_P(SessionRoles, ADatabaseWithoutUsersLetsEverybodyDoEverything)
{
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_FALSE(m_facade.HasUsers());
    for (int action = 0; action < ZENACT_Count; ++action)
        EXPECT_TRUE(m_facade.IsActionAllowed(static_cast<ZENAction>(action))) << action;
}

TEST_P(SessionRoles, EachLoginMayDoWhatItsRoleAllows)
{
    AddUsers();
    struct Case {
        const char* user;
        const char* password;
        ZENAction action;
        bool allowed;
        const char* refusal;
    };
    const std::vector<Case> cases = {
        {"op", "o", ZENACT_RegisterSample, true, ""},
        {"op", "o", ZENACT_SignSample, false, "This needs the role supervisor; user 'op' is operator."},
        {"op", "o", ZENACT_DeleteSample, false, "This needs the role supervisor; user 'op' is operator."},
        {"sup", "s", ZENACT_SignSample, true, ""},
        {"sup", "s", ZENACT_ChangeSignedSample, true, ""},
        {"sup", "s", ZENACT_ManageUsers, false, "This needs the role administrator; user 'sup' is supervisor."},
        {"adm", "a", ZENACT_ManageUsers, true, ""},
        {"adm", "a", ZENACT_DeleteSample, true, ""},
        // A role no station names has an operator's rights, and is named by its number.
        {"odd", "x", ZENACT_Evaluate, true, ""},
        {"odd", "x", ZENACT_SignSample, false, "This needs the role supervisor; user 'odd' is 7."},
        // Nobody logged in, in a database with users.
        {nullptr, nullptr, ZENACT_Evaluate, false, "This needs the role operator; nobody is logged in."},
    };
    for (const Case& c : cases) {
        CZENDatabase facade;
        CString error;
        if (c.user != nullptr)
            ASSERT_EQ(facade.OpenDatabase(1, c.user, c.password, error), 1) << c.user;
        else
            ASSERT_EQ(facade.OpenDatabase(0, "", "", error), 1);
        CString refusal = "untouched";
        EXPECT_EQ(facade.IsActionAllowed(c.action, &refusal) != FALSE, c.allowed)
            << (c.user ? c.user : "nobody") << " action " << c.action;
        EXPECT_EQ(refusal.Str(), c.allowed ? std::string("untouched") : std::string(c.refusal));
    }
}

TEST_P(SessionRoles, AClosedDatabaseRefuses)
{
    CString refusal;
    EXPECT_FALSE(m_facade.IsActionAllowed(ZENACT_Evaluate, &refusal));
    EXPECT_EQ(refusal.Str(), "This needs the role operator; nobody is logged in.");
}

ZEN_FACADE_ENGINES(SessionRoles);

} // namespace
