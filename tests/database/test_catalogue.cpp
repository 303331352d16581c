// Tests of the facade's catalogue lists, user administration, the
// registration-field count, names and order, and the standard field texts.

#include "FacadeTestSupport.h"

#include "companions/Obvra.h"
#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "databaseobjects/CZENDB_Routine.h"
#include "databaseobjects/CZENDB_User.h"
#include "framework/Exceptions.h"

namespace {

using factest::CFacadeTest;
using factest::Column;

// Owns the records a list operation appended.
struct COwnedList {
    CObList list;
    ~COwnedList()
    {
        while (!list.IsEmpty())
            delete list.RemoveHead();
    }
    template <class T>
    std::vector<const T*> As() const
    {
        std::vector<const T*> records;
        for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
            records.push_back(static_cast<const T*>(list.GetNext(pos)));
        return records;
    }
};

class Catalogue : public CFacadeTest {
protected:
    void SetUp() override
    {
        CFacadeTest::SetUp();
        if (!Ready())
            return;
        CreateDatabase();
    }

    // Replaces the registration fields by A .. E at positions 0 .. 4.
    void FiveFields()
    {
        factest::Exec(m_connect, {"DELETE FROM Registration",
                                 "INSERT INTO Registration (Control, Visible, DisplayOrder) VALUES ('A', 1, 0)",
                                 "INSERT INTO Registration (Control, Visible, DisplayOrder) VALUES ('B', 1, 1)",
                                 "INSERT INTO Registration (Control, Visible, DisplayOrder) VALUES ('C', 1, 2)",
                                 "INSERT INTO Registration (Control, Visible, DisplayOrder) VALUES ('D', 1, 3)",
                                 "INSERT INTO Registration (Control, Visible, DisplayOrder) VALUES ('E', 1, 4)"});
    }

    std::vector<std::string> Order()
    {
        return Column(m_connect, "SELECT Control FROM Registration ORDER BY DisplayOrder");
    }
};

TEST_P(Catalogue, ListsLeaveOutDeletedRowsAndKeepTheirOrder)
{
    factest::Exec(m_connect, {"INSERT INTO Patterns (Name, Deleted) VALUES ('Zeta', 0)",
                             "INSERT INTO Patterns (Name, Deleted) VALUES ('Gone', 1)",
                             "INSERT INTO Patterns (Name, Deleted) VALUES ('Alpha', 0)",
                             "INSERT INTO RoutineTypes (Name, Deleted) VALUES ('Rz', 0)",
                             "INSERT INTO RoutineTypes (Name, Deleted) VALUES ('Rgone', 1)",
                             "INSERT INTO RoutineTypes (Name, Deleted) VALUES ('Ra', 0)",
                             "INSERT INTO RoutineProfile (RoutineTypeID, PatternID, Position) VALUES (3, 3, 'p2')",
                             "INSERT INTO RoutineProfile (RoutineTypeID, PatternID, Position) VALUES (1, 1, 'p1')"});
    ASSERT_EQ(OpenPlain(), 1);
    COwnedList patterns;
    COwnedList routines;
    COwnedList profiles;
    COwnedList fields;
    m_facade.GetAllPatterns(patterns.list);
    m_facade.GetAllRoutines(routines.list);
    m_facade.GetAllRoutineProfiles(profiles.list);
    m_facade.GetAllRegistrationFields(fields.list);

    const auto p = patterns.As<CZENDB_Pattern>();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0]->Name, "Zeta");
    EXPECT_EQ(p[0]->PatternID, 1);
    EXPECT_EQ(p[1]->Name, "Alpha");
    EXPECT_EQ(p[1]->Database, &m_facade);
    EXPECT_TRUE(p[1]->KeepConnection);
    const auto r = routines.As<CZENDB_Routine>();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0]->Name, "Ra");
    EXPECT_EQ(r[1]->Name, "Rz");
    const auto rp = profiles.As<CZENDB_RoutineProfile>();
    ASSERT_EQ(rp.size(), 2u);
    EXPECT_EQ(rp[0]->Position, "p2");
    EXPECT_EQ(rp[1]->RoutineTypeID, 1);
    const auto f = fields.As<CZENDB_RegistrationField>();
    ASSERT_EQ(f.size(), 27u);
    for (size_t i = 0; i < f.size(); ++i)
        EXPECT_EQ(f[i]->DisplayOrder, static_cast<int32_t>(i));
}

TEST_P(Catalogue, UsersAreStoredEncodedAndHashedAndListedByStoredName)
{
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_EQ(m_facade.AddUser("anna", "pw1", static_cast<UserRoleType>(1)), 1);
    EXPECT_EQ(m_facade.AddUser("bob", "pw2", static_cast<UserRoleType>(2)), 1);
    // A second "anna" is refused; files written before may hold one anyway.
    EXPECT_EQ(m_facade.AddUser("anna", "pw3", static_cast<UserRoleType>(3)), CZENDatabase::kUserNameTaken);
    factest::Exec(m_connect, {"INSERT INTO Table1 (Field0, Field1, Field2) VALUES ('" + Obvra_encode("anna").Str() +
                             "', '" + Obvra_encode("pw3").Str() + "', 3)"});
    const auto stored = Column(m_connect, "SELECT Field0 FROM Table1");
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0], Obvra_encode("anna").Str());
    // The password as a salted hash, the name in its keyed encoding.
    EXPECT_EQ(Column(m_connect, "SELECT Field1 FROM Table1")[1].rfind("$argon2id$", 0), 0u);

    COwnedList users;
    m_facade.GetAllUsers(users.list);
    const auto u = users.As<CZENDB_User>();
    ASSERT_EQ(u.size(), 3u);
    for (size_t i = 1; i < u.size(); ++i)
        EXPECT_GE(u[i - 1]->Field0, u[i]->Field0);

    // Only the first row of a name goes; an unknown name is an error.
    EXPECT_EQ(m_facade.DeleteUser("anna"), 1);
    EXPECT_EQ(Column(m_connect, "SELECT Field2 FROM Table1"), (std::vector<std::string>{"2", "3"}));
    EXPECT_THROW(m_facade.DeleteUser("nobody"), CDBException);
}

TEST_P(Catalogue, RegistrationFieldCountIsKeptUntilTheDatabaseIsClosed)
{
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_EQ(m_facade.GetNofRegistrationFields(), 27);
    factest::Exec(m_connect, {"INSERT INTO Registration (Control, Visible, DisplayOrder) VALUES ('Extra', 0, 27)"});
    EXPECT_EQ(m_facade.GetNofRegistrationFields(), 27);
    m_facade.CloseDatabase();
    ASSERT_EQ(OpenPlain(), 1);
    EXPECT_EQ(m_facade.GetNofRegistrationFields(), 28);

    // Each facade counts its own database.
    const std::string other = OtherDatabase(9);
    factest::Exec(other, {"DELETE FROM Registration WHERE DisplayOrder > 4"});
    CZENDatabase second;
    second.OpenEx(other.c_str(), CDatabase::noOdbcDialog);
    EXPECT_EQ(second.GetNofRegistrationFields(), 5);
    EXPECT_EQ(m_facade.GetNofRegistrationFields(), 28);
}

TEST_P(Catalogue, FieldNamesComeInDisplayOrderWithoutTrailingBlanks)
{
    factest::Exec(m_connect, {"DELETE FROM Registration",
                             "INSERT INTO Registration (Control, Visible, DisplayOrder) VALUES ('Second   ', 1, 1)",
                             "INSERT INTO Registration (Control, Visible, DisplayOrder) VALUES (' First', 1, 0)"});
    ASSERT_EQ(OpenPlain(), 1);
    CStringList names;
    EXPECT_TRUE(m_facade.GetRegistrationFieldNames(names));
    ASSERT_EQ(names.GetCount(), 2);
    EXPECT_EQ(names.GetHead(), " First");
    EXPECT_EQ(names.GetTail(), "Second");

    factest::Exec(m_connect, {"DROP TABLE Registration"});
    CStringList none;
    EXPECT_FALSE(m_facade.GetRegistrationFieldNames(none));
    EXPECT_TRUE(none.IsEmpty());
}

TEST_P(Catalogue, MovingAFieldRenumbersTheFieldsBetween)
{
    struct {
        const char* control;
        short position;
        std::vector<std::string> order;
    } const cases[] = {
        {"E", 1, {"A", "E", "B", "C", "D"}},
        {"A", 9, {"B", "C", "D", "E", "A"}},
        {"C", -3, {"C", "A", "B", "D", "E"}},
        {"B", 3, {"A", "C", "D", "B", "E"}},
    };
    for (const auto& c : cases) {
        FiveFields();
        CZENDatabase facade;
        CString error;
        ASSERT_EQ(facade.OpenDatabase(0, "", "", error), 1);
        EXPECT_TRUE(facade.SetRegistrationFieldDisplayNumber(c.control, c.position)) << c.control;
        EXPECT_EQ(Order(), c.order) << c.control << " to " << c.position;
        EXPECT_EQ(Column(m_connect, "SELECT DisplayOrder FROM Registration ORDER BY DisplayOrder"),
                  (std::vector<std::string>{"0", "1", "2", "3", "4"}));
    }
}

TEST_P(Catalogue, MovingToItsOwnPlaceOrAnUnknownFieldChangesNothing)
{
    FiveFields();
    ASSERT_EQ(OpenPlain(), 1);
    ASSERT_EQ(m_facade.GetNofRegistrationFields(), 5);
    // Another connection holds the rows (and on a file its write lock): any
    // statement that writes them would fail after its one second's wait.
    m_facade.SetQueryTimeout(1);
    CDatabase writer;
    writer.OpenEx(m_connect.c_str(), CDatabase::noOdbcDialog);
    writer.BeginTrans();
    writer.ExecuteSQL("UPDATE Registration SET Visible = Visible");
    EXPECT_TRUE(m_facade.SetRegistrationFieldDisplayNumber("C", 2));
    EXPECT_TRUE(m_facade.SetRegistrationFieldDisplayNumber("E", 7));
    EXPECT_FALSE(m_facade.SetRegistrationFieldDisplayNumber("B", 4)) << "a real move needs the lock";
    writer.Rollback();
    writer.Close();

    EXPECT_FALSE(m_facade.SetRegistrationFieldDisplayNumber("Nonexistent", 0));
    EXPECT_FALSE(m_facade.SetRegistrationFieldDisplayNumber("O'Hara", 3));
    EXPECT_EQ(Order(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
}

TEST_P(Catalogue, StandardFieldNamesAreTranslated)
{
    struct {
        const char* name;
        UINT id;
    } const standard[] = {
        {"SampleID", 13010},     {"UserSampleID", 13011},     {"WorkOrder", 13012}, {"PartNo", 13013},
        {"Detail", 13014},       {"Material", 13015},         {"Customer", 13016},  {"DueDate", 13018},
        {"RegistrationDate", 13019}, {"RegisteredBy", 13020}, {"MeasuredBy", 13024}, {"MeasuredDate", 13026},
        {"Signature", 13027},
    };
    for (const auto& field : standard) {
        CString text = "unchanged";
        EXPECT_TRUE(CZENDatabase::GetLocalizedStandardFieldName(field.name, text)) << field.name;
        EXPECT_EQ(text.Str(), factest::Text(field.id)) << field.name;
    }
    CString text;
    CZENDatabase::GetLocalizedStandardFieldName("Signature", text);
    EXPECT_EQ(text, "Firmado por");
    for (const char* other : {"CustomField1", "signature", "Signature ", "", "Trace"}) {
        CString unchanged = "unchanged";
        EXPECT_FALSE(CZENDatabase::GetLocalizedStandardFieldName(other, unchanged)) << other;
        EXPECT_EQ(unchanged, "unchanged");
    }
}

ZEN_FACADE_ENGINES(Catalogue);

} // namespace

TEST_P(Catalogue, AddUserRefusesANameThatDiffersOnlyInLetterCase)
{
    ASSERT_EQ(OpenPlain(), 1);
    ASSERT_EQ(m_facade.AddUser("op", "pw", static_cast<UserRoleType>(0)), 1);
    ASSERT_EQ(m_facade.AddUser("M\xC3\xBCller", "pw", static_cast<UserRoleType>(0)), 1);
    ASSERT_EQ(m_facade.AddUser("\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD", "pw", static_cast<UserRoleType>(0)), 1);
    struct {
        const char* name;
        int result;
    } const cases[] = {
        {"op", CZENDatabase::kUserNameTaken},
        {"OP", CZENDatabase::kUserNameTaken},
        {"Op", CZENDatabase::kUserNameTaken},
        {"M\xC3\x9CLLER", CZENDatabase::kUserNameTaken},                  // MÜLLER
        {"\xD0\x98\xD0\x92\xD0\x90\xD0\x9D", CZENDatabase::kUserNameTaken},  // ИВАН
        {"op2", 1},
        {"Muller", 1},
        {"o p", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(m_facade.AddUser(c.name, "pw", static_cast<UserRoleType>(0)), c.result) << c.name;
    EXPECT_EQ(Column(m_connect, "SELECT COUNT(*) FROM Table1"), (std::vector<std::string>{"6"}));
}

TEST_P(Catalogue, UserNamesMatchFoldsLetterCaseOnly)
{
    struct {
        const char* a;
        const char* b;
        bool same;
    } const cases[] = {
        {"op", "OP", true},
        {"\xC3\xB1", "\xC3\x91", true},           // ñ Ñ
        {"\xC5\x82", "\xC5\x81", true},           // ł Ł
        {"\xCE\xB1", "\xCE\x91", true},           // α Α
        {"\xD1\x91", "\xD0\x81", true},           // ё Ё
        {"op", "op ", false},
        {"o", "\xC3\xB6", false},                 // o ö
        {"\xC3\x97", "\xC3\xB7", false},          // × ÷
        {"\xFF", "\xC3\xBF", false},               // a stray byte is no ÿ
    };
    for (const auto& c : cases)
        EXPECT_EQ(CZENDatabase::UserNamesMatch(c.a, c.b), c.same) << c.a << " / " << c.b;
}
