// The users window's where lists, pick lists, button states and new-row
// defaults, line for line per choice and kind of administrator.

#include "admin/UserListRules.h"

#include <gtest/gtest.h>

namespace {

TAdministrator Admin(const std::string& Type, const std::string& Flag, const std::string& ID = "BOSS")
{
    TAdministrator admin;
    admin.UserType = Type;
    admin.FacilityAccessFlag = Flag;
    admin.ID = ID;
    admin.Counter = 7;
    admin.C_Enterprise = 10;
    admin.Enterprise = "HARBOUR VIEW CARE";
    admin.DefineRole = admin.DefineFacilityAccess = admin.DefineDBAccess = "T";
    return admin;
}

TLines Concat(std::initializer_list<TLines> Parts)
{
    TLines all;
    for (const TLines& part : Parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const TLines Head = {"(T1.C_ENTERPRISE = TE.COUNTER) AND", "(T1.COUNTER <> 1) AND"};

const TLines M7 = {"AND (",
                   "((T1.FACILITY_ACCESS_FLAG = 'A') AND (T1.USER_TYPE = 'USR')) OR",
                   "((T1.CREATED_BY = 'BOSS') AND (T1.FACILITY_ACCESS_FLAG = 'I')) OR",
                   "(T1.COUNTER = 7) OR",
                   "(0 < (",
                   "SELECT COUNT(*)",
                   "FROM TBL_USERFACILITYACCESS TUFA1,",
                   "TBL_USERFACILITYACCESS TUFA2",
                   "WHERE",
                   "(TUFA1.C_FACILITY = TUFA2.C_FACILITY) AND",
                   "(TUFA1.C_USER = 7) AND",
                   "(TUFA1.ACCESS_TYPE = 'MGR') AND",
                   "(TUFA2.C_USER = T1.COUNTER)",
                   "   ",
                   ")",
                   ")",
                   ")"};

} // namespace

TEST(UserWhere, AllAndEnterprisePerKindOfAdministrator)
{
    struct Case
    {
        TListBy Choice;
        TAdministrator Admin;
        TLines Expected;
    };
    const TLines notSys = {"AND (T1.C_ENTERPRISE = 10)", "AND (T1.USER_TYPE <> 'SYS')"};
    const Case cases[] = {
        {lbAll, Admin("SYS", "A"), Concat({Head, {"(TE.CURRENT_USE = 'T')"}})},
        {lbAll, Admin("MGR", "A"), Concat({Head, {"(TE.CURRENT_USE = 'T')"}, notSys})},
        {lbAll, Admin("MGR", "I"), Concat({Head, {"(TE.CURRENT_USE = 'T')"}, notSys, M7})},
        {lbEnterprise, Admin("SYS", "A"), Concat({Head, {"(TE.CURRENT_USE = 'T') AND", "(T1.C_ENTERPRISE = 33)"}})},
        {lbEnterprise, Admin("MGR", "A"),
         Concat({Head, {"(TE.CURRENT_USE = 'T') AND", "(T1.C_ENTERPRISE = 33)", "AND (T1.USER_TYPE <> 'SYS')"}})},
        {lbEnterprise, Admin("MGR", "I"),
         Concat({Head, {"(TE.CURRENT_USE = 'T') AND", "(T1.C_ENTERPRISE = 33)", "AND (T1.USER_TYPE <> 'SYS')"}, M7})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UserWhere(c.Choice, c.Admin, 33), c.Expected) << ListByNames[c.Choice] << " " << c.Admin.UserType
                                                                 << c.Admin.FacilityAccessFlag;
}

TEST(UserWhere, FacilityAliasAndRole)
{
    const TLines facilityTail = {") OR", "(T1.COUNTER = 7) OR", "(", "T1.COUNTER IN", "(", "SELECT UFA.C_USER",
                                 "FROM TBL_USERFACILITYACCESS UFA", "WHERE (UFA.C_FACILITY = 33) AND",
                                 "(T1.FACILITY_ACCESS_FLAG = 'I')", ")", ") ", ")"};
    EXPECT_EQ(UserWhere(lbFacility, Admin("SYS", "A"), 33),
              Concat({Head, {"(TE.CURRENT_USE = 'T') AND", "(", "(", "T1.FACILITY_ACCESS_FLAG = 'A'"}, facilityTail}));
    EXPECT_EQ(UserWhere(lbFacility, Admin("MGR", "I"), 33),
              Concat({Head,
                      {"(TE.CURRENT_USE = 'T') AND", "(T1.C_ENTERPRISE = 10) AND", "(T1.USER_TYPE <> 'SYS') AND", "(",
                       "(", "(T1.FACILITY_ACCESS_FLAG = 'A') AND (T1.USER_TYPE = 'USR')"},
                      facilityTail}));
    const TLines open = {"AND", "(", "(", "T1.USER_TYPE = 'SYS'", ") OR", "(", "T1.COUNTER IN", "(", "SELECT UDB.C_USER"};
    const TLines close = {")", ")", ")"};
    EXPECT_EQ(UserWhere(lbAlias, Admin("SYS", "A"), 33),
              Concat({Head, {"(TE.CURRENT_USE = 'T')"}, open,
                      {"FROM TBL_USERDBACCESS UDB, TBL_ROLES TR", "WHERE (UDB.C_ROLE = TR.COUNTER) AND",
                       "(TR.C_ALIAS = 33)"},
                      close}));
    EXPECT_EQ(UserWhere(lbRole, Admin("MGR", "I"), 33),
              Concat({Head,
                      {"(TE.CURRENT_USE = 'T')", "AND", "(T1.C_ENTERPRISE = 10) AND", "(T1.USER_TYPE <> 'SYS')"}, M7,
                      open, {"FROM TBL_USERDBACCESS UDB", "WHERE (UDB.C_ROLE = 33)"}, close}));
}

TEST(UserWhere, AnApostropheInTheAdministratorsIDIsDoubled)
{
    const TLines lines = ManagerScope(Admin("MGR", "I", "O'NEIL"));
    EXPECT_EQ(lines[2], "((T1.CREATED_BY = 'O''NEIL') AND (T1.FACILITY_ACCESS_FLAG = 'I')) OR");
    EXPECT_EQ(QuotedSQL("ADMIN_2"), "'ADMIN_2'");
}

TEST(PickList, ChoicesForSysAndManager)
{
    TPickList e = PickList(lbEnterprise, Admin("SYS", "A"));
    EXPECT_EQ(e.Caption, "Enterprises");
    EXPECT_EQ(e.Where, TLines({"(CURRENT_USE = 'T')"}));
    EXPECT_EQ(e.ShownField, "ENTERPRISE");
    EXPECT_EQ(PickList(lbEnterprise, Admin("MGR", "A")).Where,
              TLines({"(CURRENT_USE = 'T')", "AND (COUNTER = 10)"}));

    TPickList f = PickList(lbFacility, Admin("MGR", "I"));
    EXPECT_EQ(f.Caption, "Facilities");
    EXPECT_EQ(f.Select, TLines({"TF.COUNTER, TF.FACILITY, TF.DESCRIPTION, TE.ENTERPRISE,", "TF.CITY, TF.STATE, TF.ZIP"}));
    EXPECT_EQ(f.Where, TLines({"(TF.C_ENTERPRISE = TE.COUNTER) AND", "(TF.CURRENT_USE = 'T') AND",
                               "(TE.CURRENT_USE = 'T')", "AND (TE.COUNTER = 10)", "AND (TF.COUNTER IN", "(",
                               "SELECT C_FACILITY", "FROM TBL_USERFACILITYACCESS", "WHERE (C_USER = 7) AND",
                               "(ACCESS_TYPE = 'MGR')", ")", ")"}));
    EXPECT_EQ(PickList(lbFacility, Admin("MGR", "A")).Where.size(), 4u);
    EXPECT_EQ(f.OrderBy, "TE.ENTERPRISE, TF.FACILITY");

    TPickList a = PickList(lbAlias, Admin("MGR", "A"));
    EXPECT_EQ(a.Caption, "DB Aliases");
    EXPECT_EQ(a.Where.back(), ")");
    EXPECT_EQ(a.Where[10], "(TDB.C_USER = 7)");
    TPickList r = PickList(lbRole, Admin("SYS", "A"));
    EXPECT_EQ(r.Caption, "Roles");
    EXPECT_EQ(r.Where.size(), 3u);
    EXPECT_EQ(r.ShownField, "ROLE_ID");
    EXPECT_EQ(PickList(lbRole, Admin("MGR", "I")).Where[9], "WHERE (C_USER = 7)");
}

TEST(RoleWhere, ManagerScopeAndPickedEnterprise)
{
    EXPECT_EQ(RoleWhere(Admin("SYS", "A"), std::nullopt), RoleDesignWhere());
    EXPECT_EQ(RoleWhere(Admin("SYS", "A"), 12).back(), "AND (T1.C_ENTERPRISE = 12)");
    const TLines m = RoleWhere(Admin("MGR", "I"), 12);
    ASSERT_EQ(m.size(), 4u + 1 + 9);
    EXPECT_EQ(m[5], "AND (T1.C_ENTERPRISE = 10)");
    EXPECT_EQ(m[10], "WHERE (TUA.C_ROLE = TR1.COUNTER) AND");
    EXPECT_EQ(m[11], "(TUA.C_USER = 7)");
}

TEST(ButtonStates, FacilityAndDatabaseAccessOverAdministratorAndRow)
{
    struct Case
    {
        const char* AdminType;
        const char* AdminFlag;
        TUserRow Row;
        bool Facility;
        bool DB;
    };
    const Case cases[] = {
        {"SYS", "A", {"I", "X", "USR"}, true, true},
        {"SYS", "A", {"A", "X", "USR"}, false, true},
        {"SYS", "A", {"A", "BOSS", "SYS"}, false, false}, // never on a SYS row
        {"SYS", "A", {"I", "X", "MGR"}, true, true},
        {"MGR", "I", {"I", "X", "MGR"}, false, false},    // another admin's manager
        {"MGR", "I", {"I", "BOSS", "MGR"}, true, true},   // his own manager
        {"MGR", "A", {"I", "X", "MGR"}, true, true},
        {"MGR", "A", {"A", "X", "MGR"}, false, false},    // row flag "A"
        {"MGR", "I", {"E", "X", "USR"}, true, true},
    };
    for (const Case& c : cases) {
        const TAdministrator admin = Admin(c.AdminType, c.AdminFlag);
        EXPECT_EQ(FacilityAccessEnabled(admin, c.Row, !c.Facility), c.Facility)
            << c.AdminType << c.AdminFlag << " " << c.Row.UserType << c.Row.FacilityAccessFlag << c.Row.CreatedBy;
        EXPECT_EQ(DBAccessEnabled(admin, c.Row, !c.DB), c.DB)
            << c.AdminType << c.AdminFlag << " " << c.Row.UserType << c.Row.FacilityAccessFlag << c.Row.CreatedBy;
    }
    // Without the right the state stays as it is.
    TAdministrator limited = Admin("MGR", "A");
    limited.DefineFacilityAccess = limited.DefineDBAccess = "F";
    EXPECT_FALSE(FacilityAccessEnabled(limited, {"I", "BOSS", "USR"}, false));
    EXPECT_FALSE(DBAccessEnabled(limited, {"I", "BOSS", "USR"}, false));
}

TEST(NewRows, DefaultsAndTheRememberedEnterprise)
{
    auto value = [](const TFieldValues& values, const std::string& name) -> std::string {
        for (const auto& [field, v] : values)
            if (field == name)
                return v;
        return "<none>";
    };
    const TFieldValues sys = NewUserValues(Admin("SYS", "A"), lbEnterprise, 10, "HARBOUR VIEW CARE");
    EXPECT_EQ(value(sys, "C_ENTERPRISE"), "10");
    EXPECT_EQ(value(sys, "USER_TYPE"), "USR");
    EXPECT_EQ(value(sys, "FACILITY_ACCESS_FLAG"), "I");
    EXPECT_EQ(value(sys, "CREATED_BY"), "BOSS");
    EXPECT_EQ(value(sys, "QUICK_MENU"), "F");
    EXPECT_EQ(value(NewUserValues(Admin("SYS", "A"), lbAll, 10, "X"), "C_ENTERPRISE"), "<none>");
    EXPECT_EQ(value(NewUserValues(Admin("SYS", "A"), lbFacility, 0, ""), "C_ENTERPRISE"), "<none>");
    TAdministrator mgr = Admin("MGR", "A");
    mgr.C_Enterprise = 44;
    EXPECT_EQ(value(NewUserValues(mgr, lbAll, 10, "X"), "C_ENTERPRISE"), "44");
    EXPECT_EQ(NewRoleEnterprise(mgr, 10, "X").first, 44);
    EXPECT_EQ(NewRoleEnterprise(Admin("SYS", "A"), 10, "X").first, 10);
}
