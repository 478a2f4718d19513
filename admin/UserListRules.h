#pragma once
// What the users window lets an administrator see and do, as texts and
// states over the signed-in administrator's record (TAdministrator): the where
// lists of the user list and of the role list, the pick lists of the
// "List By" values, the button states and the defaults of new rows.

#include "Components/Controller/ovnAdmin.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using TLines = std::vector<std::string>;

// What the rules read of the signed-in administrator's record.
struct TAdministrator
{
    std::string UserType;
    std::string ID;
    std::string FacilityAccessFlag = "I";
    std::string DefineRole = "F";
    std::string DefineFacilityAccess = "F";
    std::string DefineDBAccess = "F";
    std::string Enterprise;
    int32_t Counter = 0;
    int32_t C_Enterprise = 0;
    bool Restricted = false;
};
TAdministrator AdministratorOf(const TAdminUser& User);

// The "List By" choices in the order of the choice box.
enum TListBy
{
    lbAll,
    lbEnterprise,
    lbFacility,
    lbAlias,
    lbRole
};
extern const char* const ListByNames[5];

// A text quoted for SQL: apostrophes doubled inside single quotes.
std::string QuotedSQL(const std::string& Text);

// Limits a manager whose own facility access flag is "I" (lines M).
TLines ManagerScope(const TAdministrator& Admin);
// The user list's where lines for a choice; Value is the picked key (unused
// for lbAll).
TLines UserWhere(TListBy Choice, const TAdministrator& Admin, int32_t Value);
extern const char* const UserOrderBy; // "TE.ENTERPRISE, T1.USER_ID"

struct TPickList
{
    std::string Caption;
    TLines Select;
    TLines From;
    TLines Where;
    std::string OrderBy;
    std::string ShownField;
};
// The pick list of a "List By" value (not for lbAll).
TPickList PickList(TListBy Choice, const TAdministrator& Admin);

// The role tab's design where lines and the manager role scope.
TLines RoleDesignWhere();
TLines ManagerRoleScope(const TAdministrator& Admin);
// The role list after a change of the roles value box: Value is the picked
// enterprise, none when the box is empty.
TLines RoleWhere(const TAdministrator& Admin, std::optional<int32_t> Value);
extern const char* const RoleOrderBy;       // "TE.ENTERPRISE, TA.ALIAS, T1.ROLE_ID" (design)
extern const char* const RoleFilterOrderBy; // "TE.ENTERPRISE,T1.ROLE_ID"

// The current user row as the button rules read it.
struct TUserRow
{
    std::string FacilityAccessFlag;
    std::string CreatedBy;
    std::string UserType;
};
// "&Facility Access" after a change of the current row; Current when the
// admin may not define facility access.
bool FacilityAccessEnabled(const TAdministrator& Admin, const TUserRow& Row, bool Current);
// "Database &Access" after a change of the current row; Current when the
// admin may not define database access.
bool DBAccessEnabled(const TAdministrator& Admin, const TUserRow& Row, bool Current);

// Field values of a new row, in the order they are assigned.
using TFieldValues = std::vector<std::pair<std::string, std::string>>;
// A new user row: the fixed defaults (LAST_PASSWORD_CHANGE is left to the
// caller, today's date), then the enterprise: the admin's own for an admin
// who is not "SYS"; for a "SYS" admin the remembered one when listing by
// enterprise or facility and one is remembered (RememberedCounter not 0).
// C_ENTERPRISE travels as its decimal text.
TFieldValues NewUserValues(const TAdministrator& Admin, TListBy Choice, int32_t RememberedCounter,
                           const std::string& RememberedName);
// The enterprise of a new role: a "MGR" admin's own, else the remembered one.
std::pair<int32_t, std::string> NewRoleEnterprise(const TAdministrator& Admin, int32_t RememberedCounter,
                                                  const std::string& RememberedName);
