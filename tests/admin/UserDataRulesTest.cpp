// The user record editor's rules: e-mail and ID checks with their texts,
// type rules, modification and deletion checks, the save checks.

#include "admin/UserDataRules.h"

#include <gtest/gtest.h>

namespace {

TAdministrator Admin(const std::string& Type, int32_t Counter, const std::string& Flag = "A", bool Restricted = false)
{
    TAdministrator admin;
    admin.UserType = Type;
    admin.ID = "BOSS";
    admin.Counter = Counter;
    admin.FacilityAccessFlag = Flag;
    admin.Restricted = Restricted;
    admin.DefineRole = "T";
    admin.DefineFacilityAccess = "F";
    admin.DefineDBAccess = "T";
    return admin;
}

std::string Value(const TFieldValues& Values, const std::string& Name)
{
    std::string last = "<none>";
    for (const auto& [field, v] : Values)
        if (field == Name)
            last = v; // the last assignment wins
    return last;
}

} // namespace

TEST(CheckEMail, AddressesFromTheLeft)
{
    const std::string userName = "EMail address is not valid (user name)";
    const std::string at = "EMail address is not valid (\"@\" is not found in the right place)";
    const std::string suffix = "EMail address is not valid (domain suffix)";
    const std::string domain = "EMail address is not valid (domain name)";
    const std::pair<const char*, std::string> cases[] = {
        {"tom.ward@harbourview.org", ""},
        {"tom.ward@harbourview.example", "EMail address is not valid (domain suffix)"},
        {"a.b@c.de", ""},
        {"x+y%z-w_v@mail-1.example.org", ""},
        {"a@bc.abcdef", ""},
        {"@example.com", userName},
        {"", userName},
        {"tom.ward", userName},
        {"to#m@example.com", at},
        {"tom@example.abcdefg", suffix},
        {"tom@.com", suffix},
        {"tom@example", suffix},
        {"tom@example.c", suffix},
        {"tom@my_host.com", domain},
        {"tom@ex ample.com", domain},
    };
    for (const auto& [address, expected] : cases)
        EXPECT_EQ(CheckEMail(address), expected) << address;
}

TEST(CheckUserID, CharactersAndTheirText)
{
    EXPECT_EQ(CheckUserID(""), "");
    EXPECT_EQ(CheckUserID("  NURSE_2 "), "");
    EXPECT_EQ(CheckUserID("NUR-SE"), "Illigal charecter in User ID: \"-\"\r\n"
                                     "Valid charecters are \"A\" through \"Z\", \"0\" trough \"9\" and \"_\"");
    EXPECT_EQ(CheckUserID("nurse").substr(0, 32), "Illigal charecter in User ID: \"n");
}

TEST(TypeRules, PerTypeStateAndAdmin)
{
    TTypeRuleResult sys = TypeRules(Admin("SYS", 2), {"SYS", true, "NEWSYS"});
    EXPECT_EQ(Value(sys.Values, "FACILITY_ACCESS_FLAG"), "A");
    EXPECT_EQ(Value(sys.Values, "DEFINE_ROLE"), "T");
    EXPECT_EQ(Value(sys.Values, "DEFINE_DB_ACCESS"), "T");
    EXPECT_EQ(Value(sys.Values, "RESTRICTED_SYSTEM"), "<none>");
    EXPECT_TRUE(sys.RestrictedEnabled);
    EXPECT_EQ(sys.DefineEnabled[0], false);
    // His own ID, or a restricted admin: "Restricted" stays off; a restricted admin makes restricted managers.
    EXPECT_FALSE(TypeRules(Admin("SYS", 2), {"SYS", false, "BOSS"}).RestrictedEnabled);
    TTypeRuleResult restricted = TypeRules(Admin("SYS", 5, "A", true), {"SYS", false, "OTHER"});
    EXPECT_FALSE(restricted.RestrictedEnabled);
    EXPECT_EQ(Value(restricted.Values, "RESTRICTED_SYSTEM"), "T");

    TTypeRuleResult usr = TypeRules(Admin("SYS", 2), {"USR", true, "X"});
    EXPECT_EQ(Value(usr.Values, "DEFINE_FACILITY_ACCESS"), "F");
    EXPECT_EQ(Value(usr.Values, "FACILITY_ACCESS_FLAG"), "I");
    EXPECT_EQ(Value(usr.Values, "RESTRICTED_SYSTEM"), "F");
    EXPECT_FALSE(usr.RestrictedEnabled);
    EXPECT_EQ(Value(TypeRules(Admin("SYS", 2), {"USR", false, "X"}).Values, "FACILITY_ACCESS_FLAG"), "<none>");

    TTypeRuleResult mgr = TypeRules(Admin("MGR", 9), {"MGR", false, "X"});
    EXPECT_EQ(mgr.DefineEnabled[0], true);
    EXPECT_EQ(mgr.DefineEnabled[1], false);
    EXPECT_EQ(mgr.DefineEnabled[2], true);
    EXPECT_EQ(Value(mgr.Values, "DEFINE_ROLE"), "<none>");
}

TEST(ModifyAndDelete, WhoMayTouchWhichAccount)
{
    const TUserRecord otherMgr{20, "MGR", "I", "SOMEONE"};
    const TUserRecord otherSys{21, "SYS", "A", "SOMEONE"};
    const TUserRecord mainSys{2, "SYS", "A", ""};
    const TUserRecord ownMgr{22, "MGR", "I", "BOSS"};
    EXPECT_EQ(ModificationCheck(Admin("MGR", 9, "I"), otherMgr),
              "Selected manager was created by other admin and can not be modified");
    EXPECT_EQ(ModificationCheck(Admin("MGR", 9, "A"), otherMgr), ""); // flags differ
    EXPECT_EQ(ModificationCheck(Admin("MGR", 9, "I"), ownMgr), "");
    EXPECT_EQ(ModificationCheck(Admin("SYS", 5), otherSys),
              "Selected System Manager was created by other admin and can not be modified");
    EXPECT_EQ(ModificationCheck(Admin("SYS", 2), otherSys), "");

    EXPECT_EQ(DeletionCheck(Admin("SYS", 2), otherSys, true), "Nothing to Delete");
    EXPECT_EQ(DeletionCheck(Admin("MGR", 9, "I"), otherMgr, false),
              "Selected manager was created by other admin and can not be deleted");
    EXPECT_EQ(DeletionCheck(Admin("SYS", 2), mainSys, false), "Main System Manager can not be deleted");
    EXPECT_EQ(DeletionCheck(Admin("SYS", 5), otherSys, false),
              "System Manager was created by other admin and can not be deleted");
    EXPECT_EQ(DeletionCheck(Admin("SYS", 2), otherSys, false), "");
}

TEST(DeleteUserScript, LinesInOrder)
{
    EXPECT_EQ(DeleteUserScript(42), TLines({"DELETE FROM TBL_ROLEMODULES", "WHERE C_ROLE IN (",
                                            "SELECT COUNTER FROM TBL_ROLES WHERE C_USER = 42", ");",
                                            "DELETE FROM TBL_USERDBACCESS WHERE C_USER = 42;",
                                            "DELETE FROM TBL_USERFACILITYACCESS WHERE C_USER = 42;",
                                            "DELETE FROM TBL_ROLES WHERE C_USER = 42;",
                                            "DELETE FROM TBL_MAIL WHERE C_USER_FROM = 42;",
                                            "DELETE FROM TBL_MAIL WHERE C_USER_TO = 42;"}));
}

TEST(SaveChecks, AnAddressEmptyAfterTrimmingIsStoredAsNull)
{
    struct Case
    {
        const char* Desc;
        std::optional<std::string> Field;
        std::optional<std::string> Stored;
    };
    const Case cases[] = {
        {"NULL", std::nullopt, std::nullopt},
        {"an emptied edit", std::string(), std::nullopt},
        {"blanks", std::string("   "), std::nullopt},
        {"a tab and a blank", std::string("\t "), std::nullopt},
        {"an address", std::string("lou@oak-care.org"), std::string("lou@oak-care.org")},
        {"an address between blanks is kept as typed", std::string(" lou@oak-care.org "),
         std::string(" lou@oak-care.org ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(EMailToStore(c.Field), c.Stored);
    }
}

TEST(SaveChecks, InTheirOrder)
{
    TSaveCheckInput ok{false, 10, std::nullopt, "USR", "I", "NEWBIE"};
    EXPECT_FALSE(SaveChecks(ok));
    TSaveCheckInput c = ok;
    c.C_Enterprise.reset();
    c.IDBox = "bad id"; // the enterprise comes first
    EXPECT_EQ(SaveChecks(c)->Text, "Please define user ENTERPRISE");
    c = ok;
    c.EMail = "nobody";
    ASSERT_TRUE(SaveChecks(c));
    EXPECT_TRUE(SaveChecks(c)->Warning);
    c = ok;
    c.TypeBox = "SYS";
    EXPECT_EQ(SaveChecks(c)->Text, "Facility Access Flag must be \"A\" for user type \"SYS\"");
    c.FacilityAccessFlag = "A";
    EXPECT_EQ(SaveChecks(c)->Text, "\"GLOBAL ENTERPRISE\" must be chosen for user type \"SYS\"");
    c.C_Enterprise = 1;
    EXPECT_FALSE(SaveChecks(c));
    c.IDBox = "A.B";
    EXPECT_FALSE(SaveChecks(c)->Warning);

    EXPECT_TRUE(AsksFacilityFlag(true, "I", "A"));
    EXPECT_FALSE(AsksFacilityFlag(true, "A", "I"));
    EXPECT_FALSE(AsksFacilityFlag(true, "I", "I"));
    EXPECT_FALSE(AsksFacilityFlag(false, "I", "A"));
}
