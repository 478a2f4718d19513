#pragma once
// What a user reaches: the comparison of a manager's rights with a role he
// hands on, the statements of the database access window and the facility
// list with its save script.

#include "Components/Controller/ovnAdmin.h"
#include "admin/RightsRules.h"
#include "admin/UserListRules.h"

#include <string>
#include <vector>

// "" when every byte of Role is within Mine (level not above, no attribute
// Mine lacks); else the refusal naming the first index that is not.
std::string ComparePrivilege(const TRights& Mine, const TRights& Role);

// The statements of the database access window.
TLines UserAccessSelect();
TLines UserAccessFrom();
TLines UserAccessWhere(int32_t UserCounter);
TLines OfferedRolesSelect();
TLines OfferedRolesFrom();
TLines OfferedRolesWhere(const TAdministrator& Admin, int32_t UserEnterprise);
TLines PrivilegeBlobSQL();
TLines DoubleRoleSelect();
TLines DoubleRoleFrom();
TLines DoubleRoleWhere();
std::string DeleteOverrideSQL(const std::string& RoleCounter, bool Modules);

// The facility list of a user (u) in enterprise e, as seen by Admin.
TLines FacilityListSQL(const TAdministrator& Admin, int32_t UserCounter, int32_t Enterprise);

// A listed facility: its key, whether it is ticked and whether the
// manager tick is set.
struct TFacilityTick
{
    int32_t Facility = 0;
    bool Checked = false;
    bool Manager = false;
};
// The rewrite of the listed facilities; empty for an empty list.
TLines FacilitySaveScript(int32_t UserCounter, const std::vector<TFacilityTick>& Items);
