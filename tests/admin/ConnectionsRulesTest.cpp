// The rules of the connections window and the user list: tabs and alias
// scope by administrator, button states, "User Type" fills, the user list's
// statement and the matching of users to sessions.

#include "admin/ConnectionsRules.h"

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DateUtils.h"
#include "platform/Variants.h"

#include <gtest/gtest.h>

namespace {

TAdministrator Admin(const std::string& Type, int32_t Enterprise)
{
    TAdministrator admin;
    admin.UserType = Type;
    admin.C_Enterprise = Enterprise;
    return admin;
}

} // namespace

TEST(ConnectionsRules, UserListStatementBySysOrManagerAndOnlineFlag)
{
    const std::string head =
        "SELECT TU.USER_ID, TU.FULL_NAME, TU.USER_TYPE, TE.ENTERPRISE FROM TBL_USERS TU join TBL_ENTERPRISES "
        "TE on "
        "TU.C_ENTERPRISE = TE.COUNTER left outer join TBL_CONNECTIONS TC on TU.COUNTER = TC.C_USER WHERE "
        "TU.COUNTER <> 1 AND TE.CURRENT_USE = 'T' AND TU.CURRENT_USE = 'T' ";
    const std::string tail = " ORDER BY TU.FULL_NAME";
    const std::string scope = "AND ((TU.C_ENTERPRISE = 20) OR (TU.USER_TYPE = 'SYS'))";
    struct Case
    {
        const char* Desc;
        TAdministrator Admin;
        bool Online;
        std::string Expected;
    } cases[] = {
        {"SYS, all users", Admin("SYS", 1), false, head + " " + tail},
        {"SYS, online only: a single blank more", Admin("SYS", 1), true, head + "  " + tail},
        {"MGR, his enterprise and the system managers", Admin("MGR", 20), false, head + scope + " " + tail},
        {"MGR, online only", Admin("MGR", 20), true, head + scope + "  " + tail},
        {"USR is scoped like a manager", Admin("USR", 20), false, head + scope + " " + tail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(UserListSQL(c.Admin, c.Online), c.Expected);
    }
}

TEST(ConnectionsRules, TabsAliasScopeAndButtons)
{
    EXPECT_TRUE(ShowsAllConnectionTabs("SYS"));
    EXPECT_FALSE(ShowsAllConnectionTabs("MGR"));

    struct Case
    {
        const char* Desc;
        std::string Type, Alias;
        std::optional<std::string> Expected;
        bool Listed;
    } cases[] = {
        {"SYS: NULL whatever the alias", "SYS", "OAK", std::nullopt, true},
        {"MGR: his current data alias", "MGR", "OAK", std::string("OAK"), true},
        {"MGR without a data alias lists nothing", "MGR", "", std::string(""), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const TAliasScope scope = AliasScope(c.Type, c.Alias);
        EXPECT_EQ(scope.Alias, c.Expected);
        EXPECT_EQ(scope.Listed, c.Listed);
    }

    struct Buttons
    {
        bool SessionsOpen, SessionsEmpty, LocksOpen, LocksEmpty;
        bool Disconnect, RemoveLock;
    } states[] = {
        {false, true, false, true, false, false}, {true, true, true, true, false, false},
        {true, false, false, true, true, false},  {false, true, true, false, false, true},
        {true, false, true, false, true, true},
    };
    for (const Buttons& s : states) {
        const TConnectionButtons b =
            ConnectionButtons(s.SessionsOpen, s.SessionsEmpty, s.LocksOpen, s.LocksEmpty);
        EXPECT_EQ(b.Disconnect, s.Disconnect);
        EXPECT_EQ(b.RemoveLock, s.RemoveLock);
    }
    EXPECT_STREQ(ServerStates[0], "Active");
    EXPECT_STREQ(ServerStates[1], "Inactive");
    EXPECT_STREQ(ServerStates[2], "All");
}

TEST(ConnectionsRules, UserTypeFills)
{
    EXPECT_EQ(UserTypeFill("SYS"), std::optional<uint32_t>(0xC1B6FF));
    EXPECT_EQ(UserTypeFill("MGR"), std::optional<uint32_t>(0xD3D3D3));
    for (const char* other : {"USR", "", "sys", "MGR "})
        EXPECT_EQ(UserTypeFill(other), std::nullopt) << other;
}

TEST(ConnectionsRules, SessionStartIsADateOrNothing)
{
    TDateTime expected = 0;
    ASSERT_TRUE(TryEncodeDateTime(2026, 12, 11, 9, 5, 30, 0, expected));
    TDateTime day = 0;
    ASSERT_TRUE(TryEncodeDate(2026, 12, 11, day));
    struct Case
    {
        const char* Desc;
        Variant Value;
        std::optional<TDateTime> Expected;
    } cases[] = {
        {"server text", Variant("2026-12-11 09:05:30"), expected},
        {"a date alone", Variant("2026-12-11"), day},
        {"a date value", Variant::FromDate(expected), expected},
        {"no date", Variant("yesterday"), std::nullopt},
        {"month 13", Variant("2026-13-11 09:05:30"), std::nullopt},
        {"trailing text", Variant("2026-12-11 09:05:30x"), std::nullopt},
        {"NULL", Variant::Null(), std::nullopt},
        {"a number", Variant(42), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(SessionStarted(c.Value), c.Expected);
    }
}

TEST(ConnectionsRules, SessionsMatchUsersExactlyAndReadColumnsByPosition)
{
    // Rows as the server sends them, one of them short of columns and one
    // with a start that is no date.
    TKldDataContainer container;
    TKldDataTable* table = container.Tables().Add();
    table->SetName("Sessions");
    const char* names[] = {"SESSION_ID", "USER_ID", "USER_TYPE", "STARTED",   "DB_ALIAS",
                           "SERVER_ID",  "USER_IP", "OS",        "USER_AGENT"};
    for (const char* name : names)
        table->Columns().AddColumn(name, cdtString, 60);
    const std::vector<std::vector<std::string>> rows = {
        {"s1", "OAKNURSE", "USR", "2026-12-11 09:05:30", "OAK", "a", "10.0.0.7", "L64", "Tallowin 1.0"},
        {"s2", "oakaide", "USR", "not a date", "PINE", "a", "10.0.0.8", "L64", "Tallowin 1.1"},
    };
    table->BeginUpdate();
    for (const auto& cells : rows) {
        TKldDataRow* row = table->New();
        for (size_t i = 0; i < cells.size(); ++i)
            row->SetAsVariant(names[i], cells[i]);
        table->Insert(row);
    }
    table->EndUpdate();
    TKldDataSet ds;
    ds.SetDataContainer(&container);
    ds.SetDataTableName("Sessions");
    ds.Open();
    ds.Last();
    const TServerSessions sessions = TServerSessions::FromDataSet(ds);
    EXPECT_EQ(ds.RecNo(), 2) << "the dataset's position is kept";
    ASSERT_EQ(sessions.Count(), 2);

    const TUserSession* nurse = sessions.Find("OAKNURSE");
    ASSERT_NE(nurse, nullptr);
    EXPECT_EQ(nurse->IP, "10.0.0.7");
    EXPECT_EQ(nurse->Agent, "Tallowin 1.0");
    ASSERT_TRUE(nurse->Started.has_value());
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", *nurse->Started), "2026-12-11 09:05:30");
    const TUserSession* aide = sessions.Find("oakaide");
    ASSERT_NE(aide, nullptr);
    EXPECT_FALSE(aide->Started.has_value());
    EXPECT_EQ(aide->IP, "10.0.0.8");

    // USER_ID matches exactly, case and all.
    for (const char* other : {"oaknurse", "OAKAIDE", "OAKNURSE ", ""})
        EXPECT_FALSE(sessions.Online(other)) << other;

    // A row short of columns leaves the missing ones empty.
    TKldDataContainer shortContainer;
    TKldDataTable* shortTable = shortContainer.Tables().Add();
    shortTable->SetName("Short");
    for (const char* name :
         {"SESSION_ID", "USER_ID", "USER_TYPE", "STARTED", "DB_ALIAS", "SERVER_ID", "USER_IP"})
        shortTable->Columns().AddColumn(name, cdtString, 60);
    TKldDataRow* row = shortTable->New();
    row->SetAsVariant("USER_ID", std::string("ADMIN"));
    row->SetAsVariant("STARTED", std::string("2026-12-11 08:00:00"));
    row->SetAsVariant("USER_IP", std::string("127.0.0.1"));
    shortTable->Insert(row);
    TKldDataSet shortDs;
    shortDs.SetDataContainer(&shortContainer);
    shortDs.SetDataTableName("Short");
    shortDs.Open();
    const TServerSessions few = TServerSessions::FromDataSet(shortDs);
    const TUserSession* admin = few.Find("ADMIN");
    ASSERT_NE(admin, nullptr);
    EXPECT_EQ(admin->IP, "127.0.0.1");
    EXPECT_EQ(admin->Agent, "");
    EXPECT_TRUE(admin->Started.has_value());

    TKldDataSet closed;
    EXPECT_EQ(TServerSessions::FromDataSet(closed).Count(), 0);
}
