#include "admin/UserListRules.h"

const char* const ListByNames[5] = {"All", "Enterprise", "Facility", "Alias", "Role"};
const char* const UserOrderBy = "TE.ENTERPRISE, T1.USER_ID";
const char* const RoleOrderBy = "TE.ENTERPRISE, TA.ALIAS, T1.ROLE_ID";
const char* const RoleFilterOrderBy = "TE.ENTERPRISE,T1.ROLE_ID";

TAdministrator AdministratorOf(const TAdminUser& User)
{
    return {User.UserType,   User.ID,         User.FacilityAccessFlag, User.DefineRole, User.DefineFacilityAccess,
            User.DefineDBAccess, User.Enterprise, User.Counter,        User.C_Enterprise, User.Restricted};
}

namespace {

std::string N(int32_t Value)
{
    return std::to_string(Value);
}

void Append(TLines& Lines, const TLines& More)
{
    Lines.insert(Lines.end(), More.begin(), More.end());
}

bool IsSys(const TAdministrator& Admin)
{
    return Admin.UserType == "SYS";
}

bool FlagI(const TAdministrator& Admin)
{
    return Admin.FacilityAccessFlag == "I";
}

// The alias and role lists' tail: the system managers and the users with a
// database access row matching Match.
TLines AccessTail(const TLines& Match)
{
    TLines lines = {"AND", "(", "(", "T1.USER_TYPE = 'SYS'", ") OR", "(", "T1.COUNTER IN", "(", "SELECT UDB.C_USER"};
    Append(lines, Match);
    Append(lines, {")", ")", ")"});
    return lines;
}

} // namespace

std::string QuotedSQL(const std::string& Text)
{
    std::string quoted = "'";
    for (char c : Text) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted + "'";
}

TLines ManagerScope(const TAdministrator& Admin)
{
    const std::string me = N(Admin.Counter);
    return {"AND (",
            "((T1.FACILITY_ACCESS_FLAG = 'A') AND (T1.USER_TYPE = 'USR')) OR",
            "((T1.CREATED_BY = " + QuotedSQL(Admin.ID) + ") AND (T1.FACILITY_ACCESS_FLAG = 'I')) OR",
            "(T1.COUNTER = " + me + ") OR",
            "(0 < (",
            "SELECT COUNT(*)",
            "FROM TBL_USERFACILITYACCESS TUFA1,",
            "TBL_USERFACILITYACCESS TUFA2",
            "WHERE",
            "(TUFA1.C_FACILITY = TUFA2.C_FACILITY) AND",
            "(TUFA1.C_USER = " + me + ") AND",
            "(TUFA1.ACCESS_TYPE = 'MGR') AND",
            "(TUFA2.C_USER = T1.COUNTER)",
            "   ",
            ")",
            ")",
            ")"};
}

TLines UserWhere(TListBy Choice, const TAdministrator& Admin, int32_t Value)
{
    TLines lines = {"(T1.C_ENTERPRISE = TE.COUNTER) AND", "(T1.COUNTER <> 1) AND"};
    const std::string n = N(Admin.C_Enterprise);
    const std::string v = N(Value);
    const std::string me = N(Admin.Counter);
    const bool sys = IsSys(Admin);
    switch (Choice) {
    case lbAll:
        lines.push_back("(TE.CURRENT_USE = 'T')");
        if (!sys) {
            Append(lines, {"AND (T1.C_ENTERPRISE = " + n + ")", "AND (T1.USER_TYPE <> 'SYS')"});
            if (FlagI(Admin))
                Append(lines, ManagerScope(Admin));
        }
        break;
    case lbEnterprise:
        Append(lines, {"(TE.CURRENT_USE = 'T') AND", "(T1.C_ENTERPRISE = " + v + ")"});
        if (!sys) {
            lines.push_back("AND (T1.USER_TYPE <> 'SYS')");
            if (FlagI(Admin))
                Append(lines, ManagerScope(Admin));
        }
        break;
    case lbFacility:
        lines.push_back("(TE.CURRENT_USE = 'T') AND");
        if (!sys)
            Append(lines, {"(T1.C_ENTERPRISE = " + n + ") AND", "(T1.USER_TYPE <> 'SYS') AND"});
        Append(lines, {"(", "("});
        lines.push_back(FlagI(Admin) ? "(T1.FACILITY_ACCESS_FLAG = 'A') AND (T1.USER_TYPE = 'USR')"
                                     : "T1.FACILITY_ACCESS_FLAG = 'A'");
        Append(lines, {") OR", "(T1.COUNTER = " + me + ") OR", "(", "T1.COUNTER IN", "(", "SELECT UFA.C_USER",
                       "FROM TBL_USERFACILITYACCESS UFA", "WHERE (UFA.C_FACILITY = " + v + ") AND",
                       "(T1.FACILITY_ACCESS_FLAG = 'I')", ")", ") ", ")"});
        break;
    case lbAlias:
    case lbRole:
        lines.push_back("(TE.CURRENT_USE = 'T')");
        if (!sys) {
            Append(lines, {"AND", "(T1.C_ENTERPRISE = " + n + ") AND", "(T1.USER_TYPE <> 'SYS')"});
            if (FlagI(Admin))
                Append(lines, ManagerScope(Admin));
        }
        if (Choice == lbAlias)
            Append(lines, AccessTail({"FROM TBL_USERDBACCESS UDB, TBL_ROLES TR", "WHERE (UDB.C_ROLE = TR.COUNTER) AND",
                                      "(TR.C_ALIAS = " + v + ")"}));
        else
            Append(lines, AccessTail({"FROM TBL_USERDBACCESS UDB", "WHERE (UDB.C_ROLE = " + v + ")"}));
        break;
    }
    return lines;
}

TPickList PickList(TListBy Choice, const TAdministrator& Admin)
{
    const std::string n = N(Admin.C_Enterprise);
    const std::string me = N(Admin.Counter);
    const bool sys = IsSys(Admin);
    TPickList list;
    switch (Choice) {
    case lbAll:
    case lbEnterprise:
        list = {"Enterprises", {"COUNTER, ENTERPRISE, DESCRIPTION, CITY, STATE, ZIP"}, {"TBL_ENTERPRISES"},
                {"(CURRENT_USE = 'T')"}, "ENTERPRISE", "ENTERPRISE"};
        if (!sys)
            list.Where.push_back("AND (COUNTER = " + n + ")");
        break;
    case lbFacility:
        list = {"Facilities",
                {"TF.COUNTER, TF.FACILITY, TF.DESCRIPTION, TE.ENTERPRISE,", "TF.CITY, TF.STATE, TF.ZIP"},
                {"TBL_FACILITIES TF,", "TBL_ENTERPRISES TE"},
                {"(TF.C_ENTERPRISE = TE.COUNTER) AND", "(TF.CURRENT_USE = 'T') AND", "(TE.CURRENT_USE = 'T')"},
                "TE.ENTERPRISE, TF.FACILITY",
                "FACILITY"};
        if (!sys) {
            list.Where.push_back("AND (TE.COUNTER = " + n + ")");
            if (FlagI(Admin))
                Append(list.Where, {"AND (TF.COUNTER IN", "(", "SELECT C_FACILITY", "FROM TBL_USERFACILITYACCESS",
                                    "WHERE (C_USER = " + me + ") AND", "(ACCESS_TYPE = 'MGR')", ")", ")"});
        }
        break;
    case lbAlias:
        list = {"DB Aliases",
                {"TA.COUNTER, TA.ALIAS, TA.DESCRIPTION, TE.ENTERPRISE"},
                {"TBL_DBALIASES TA,", "TBL_ENTERPRISES TE"},
                {"(TA.C_ENTERPRISE = TE.COUNTER) AND", "(TA.CURRENT_USE = 'T') AND", "(TE.CURRENT_USE = 'T')"},
                "TE.ENTERPRISE, TA.ALIAS",
                "ALIAS"};
        if (!sys)
            Append(list.Where, {"AND (TE.COUNTER = " + n + ")", "AND (", "TA.COUNTER IN", "(", "SELECT TR.C_ALIAS",
                                "FROM TBL_USERDBACCESS TDB, TBL_ROLES TR", "WHERE (TDB.C_ROLE = TR.COUNTER) AND",
                                "(TDB.C_USER = " + me + ")", ")", ")"});
        break;
    case lbRole:
        list = {"Roles",
                {"TR.COUNTER, TR.ROLE_ID, TR.DESCRIPTION, TE.ENTERPRISE"},
                {"TBL_ROLES TR,", "TBL_ENTERPRISES TE"},
                {"(TR.C_ENTERPRISE = TE.COUNTER) AND", "(TR.CURRENT_USE = 'T') AND", "(TE.CURRENT_USE = 'T')"},
                "TE.ENTERPRISE, TR.ROLE_ID",
                "ROLE_ID"};
        if (!sys)
            Append(list.Where, {"AND (TR.C_ENTERPRISE = " + n + ")", "AND (", "TR.COUNTER IN", "(", "SELECT C_ROLE",
                                "FROM TBL_USERDBACCESS", "WHERE (C_USER = " + me + ")", ")", ")"});
        break;
    }
    return list;
}

TLines RoleDesignWhere()
{
    return {"(T1.C_ENTERPRISE = TE.COUNTER) AND", "(T1.C_ALIAS = TA.COUNTER) AND", "(TE.CURRENT_USE = 'T') AND",
            "(PARENT_ROLE IS NULL)"};
}

TLines ManagerRoleScope(const TAdministrator& Admin)
{
    return {"AND (T1.C_ENTERPRISE = " + N(Admin.C_Enterprise) + ")",
            "AND (",
            "T1.C_ALIAS IN (",
            "SELECT TR1.C_ALIAS",
            "FROM TBL_ROLES TR1, TBL_USERDBACCESS TUA",
            "WHERE (TUA.C_ROLE = TR1.COUNTER) AND",
            "(TUA.C_USER = " + N(Admin.Counter) + ")",
            ")",
            ")"};
}

TLines RoleWhere(const TAdministrator& Admin, std::optional<int32_t> Value)
{
    TLines lines = RoleDesignWhere();
    if (Value)
        lines.push_back("AND (T1.C_ENTERPRISE = " + N(*Value) + ")");
    if (Admin.UserType == "MGR")
        Append(lines, ManagerRoleScope(Admin));
    return lines;
}

bool FacilityAccessEnabled(const TAdministrator& Admin, const TUserRow& Row, bool Current)
{
    if (Admin.DefineFacilityAccess != "T")
        return Current;
    bool enabled = Row.FacilityAccessFlag != "A";
    if (Row.CreatedBy != Admin.ID && Row.UserType == "MGR" && FlagI(Admin))
        enabled = false;
    return enabled;
}

bool DBAccessEnabled(const TAdministrator& Admin, const TUserRow& Row, bool Current)
{
    if (Admin.DefineDBAccess != "T")
        return Current;
    bool enabled = true;
    if (Row.CreatedBy != Admin.ID && !IsSys(Admin) && Row.UserType == "MGR" &&
        (FlagI(Admin) || Row.FacilityAccessFlag == "A"))
        enabled = false;
    if (Row.UserType == "SYS")
        enabled = false;
    return enabled;
}

TFieldValues NewUserValues(const TAdministrator& Admin, TListBy Choice, int32_t RememberedCounter,
                           const std::string& RememberedName)
{
    TFieldValues values = {{"QUICK_MENU", "F"},        {"EXPIRATION_INTERVAL", "0"}, {"DAYS_PASSWORD_WARNING", "0"},
                           {"BUYER", "F"},             {"CURRENT_USE", "T"},         {"USER_TYPE", "USR"},
                           {"FACILITY_ACCESS_FLAG", "I"}, {"CREATED_BY", Admin.ID}};
    if (!IsSys(Admin)) {
        values.emplace_back("C_ENTERPRISE", N(Admin.C_Enterprise));
        values.emplace_back("ENTERPRISE", Admin.Enterprise);
    } else if ((Choice == lbEnterprise || Choice == lbFacility) && RememberedCounter != 0) {
        values.emplace_back("C_ENTERPRISE", N(RememberedCounter));
        values.emplace_back("ENTERPRISE", RememberedName);
    }
    return values;
}

std::pair<int32_t, std::string> NewRoleEnterprise(const TAdministrator& Admin, int32_t RememberedCounter,
                                                  const std::string& RememberedName)
{
    if (Admin.UserType == "MGR")
        return {Admin.C_Enterprise, Admin.Enterprise};
    return {RememberedCounter, RememberedName};
}
