#include "admin/AccessRules.h"

#include "platform/SysUtils.h"

std::string ComparePrivilege(const TRights& Mine, const TRights& Role)
{
    for (size_t i = 0; i < Role.size(); ++i) {
        const uint8_t a = RightsByte(Mine, static_cast<int32_t>(i));
        const uint8_t b = static_cast<uint8_t>(Role[i]);
        if (RightsLevel(a) < RightsLevel(b) || (b & 0x3F & ~a) != 0)
            return "Administrator role does not have enough priviledge to assign selected role\r\n" +
                   Format("[idx: %d (0x%x)] My = 0x%x < 0x%x", static_cast<int>(i), static_cast<int>(i),
                          static_cast<int>(a), static_cast<int>(b));
    }
    return {};
}

TLines UserAccessSelect()
{
    return {"T1.*,", "T3.ALIAS,", "T2.ROLE_ID,", "T2.DESCRIPTION,", "T3.COUNTER AS C_ALIAS,", "T2.PARENT_ROLE,",
            "T2.C_ENTERPRISE"};
}

TLines UserAccessFrom()
{
    return {"TBL_USERDBACCESS T1,", "TBL_ROLES T2,", "TBL_DBALIASES T3"};
}

TLines UserAccessWhere(int32_t UserCounter)
{
    return {"(T1.C_ROLE = T2.COUNTER) AND", "(T2.C_ALIAS = T3.COUNTER) AND", "(T2.CURRENT_USE = 'T') AND",
            "(T3.CURRENT_USE = 'T')", "AND (T1.C_USER = " + std::to_string(UserCounter) + ")"};
}

TLines OfferedRolesSelect()
{
    return {"TR.COUNTER, TR.ROLE_ID, ", "TR.DESCRIPTION AS ROLE_DESCRIPTION,", "TA.ALIAS, TR.C_ALIAS"};
}

TLines OfferedRolesFrom()
{
    return {"TBL_ROLES TR,", "TBL_DBALIASES TA"};
}

TLines OfferedRolesWhere(const TAdministrator& Admin, int32_t UserEnterprise)
{
    const std::string e = std::to_string(UserEnterprise);
    TLines lines = {"(TR.C_ALIAS = TA.COUNTER) AND", "(TR.CURRENT_USE = 'T') AND", "(TA.CURRENT_USE = 'T') AND",
                    "(TR.PARENT_ROLE IS NULL)", "AND (TR.C_ENTERPRISE = " + e + ")", "AND (TA.C_ENTERPRISE = " + e + ")"};
    if (Admin.UserType == "MGR") {
        TLines scope = {"AND (", "TA.COUNTER IN (", "SELECT TR2.C_ALIAS", "FROM TBL_ROLES TR2,", "TBL_USERDBACCESS TUA",
                        "WHERE (TUA.C_ROLE = TR2.COUNTER) AND",
                        "(TUA.C_USER = " + std::to_string(Admin.Counter) + ")", ")", ")"};
        lines.insert(lines.end(), scope.begin(), scope.end());
    }
    return lines;
}

TLines PrivilegeBlobSQL()
{
    return {"SELECT TR.SECURITY, 'ME' AS WHO",
            "FROM TBL_ROLES TR, TBL_USERDBACCESS TUA",
            "WHERE",
            " (TR.COUNTER = TUA.C_ROLE) AND",
            " (TR.C_ALIAS = :A) AND",
            " (TUA.C_USER = :UME)",
            "",
            "UNION ALL",
            "",
            "SELECT SECURITY, 'RL' AS WHO",
            "FROM TBL_ROLES",
            "WHERE COUNTER = :R"};
}

TLines DoubleRoleSelect()
{
    return {" COUNT(COUNTER)"};
}

TLines DoubleRoleFrom()
{
    return {" TBL_ROLES TR, TBL_USERDBACCESS TUA"};
}

TLines DoubleRoleWhere()
{
    return {" (TR.COUNTER = TUA.C_ROLE) AND", " (TR.C_ALIAS = :A) AND", " (TUA.C_USER = :U)"};
}

std::string DeleteOverrideSQL(const std::string& RoleCounter, bool Modules)
{
    return Format(Modules ? "DELETE FROM TBL_ROLEMODULES WHERE C_ROLE = %s" : "DELETE FROM TBL_ROLES WHERE COUNTER = %s",
                  RoleCounter);
}

namespace {

// The admin scope over a facility alias (TF or TF2).
TLines AdminScope(const TAdministrator& Admin, const std::string& Facility)
{
    if (Admin.UserType == "SYS")
        return {};
    const std::string me = std::to_string(Admin.Counter);
    if (Admin.FacilityAccessFlag == "I")
        return {"AND (",
                Facility + ".COUNTER IN (",
                "SELECT TUA2.C_FACILITY",
                "FROM TBL_USERFACILITYACCESS TUA2",
                "WHERE (TUA2.C_USER = " + me + ") AND",
                "(TUA2.ACCESS_TYPE = 'MGR')",
                ")",
                ")"};
    if (Admin.FacilityAccessFlag == "E")
        return {"AND (", Facility + ".COUNTER NOT IN (", "SELECT TUA2.C_FACILITY", "FROM TBL_USERFACILITYACCESS TUA2",
                "WHERE (TUA2.C_USER = " + me + ")", ")", ")"};
    return {};
}

void Append(TLines& Lines, const TLines& More)
{
    Lines.insert(Lines.end(), More.begin(), More.end());
}

} // namespace

TLines FacilityListSQL(const TAdministrator& Admin, int32_t UserCounter, int32_t Enterprise)
{
    const std::string u = std::to_string(UserCounter);
    const std::string e = std::to_string(Enterprise);
    TLines lines;
    auto granted = [&](const std::string& Columns, const std::string& Type) {
        Append(lines, {"SELECT", Columns, "FROM", "  TBL_FACILITIES TF,", "  TBL_USERFACILITYACCESS TUA", "WHERE",
                       "  (TF.COUNTER = TUA.C_FACILITY) AND", "  (TF.C_ENTERPRISE = " + e + ") AND",
                       "  (TUA.C_USER = " + u + ") AND", "  (TUA.ACCESS_TYPE = '" + Type + "')"});
        Append(lines, AdminScope(Admin, "TF"));
    };
    granted("  TF.COUNTER as FC, TF.FACILITY, TF.DESCRIPTION,  'MGR' AS ATYPE, '1' AS CNT", "MGR");
    lines.push_back("UNION");
    granted("  TF.COUNTER as FC, TF.FACILITY, TF.DESCRIPTION, 'USR' AS ATYPE, '1' AS CNT", "USR");
    lines.push_back("UNION");
    Append(lines, {"SELECT", " TF2.COUNTER as FC, TF2.FACILITY, TF2.DESCRIPTION, '   ' AS ATYPE, '0' AS CNT", "FROM",
                   " TBL_FACILITIES TF2", "WHERE", " (TF2.C_ENTERPRISE = " + e + ") AND",
                   " (0 = (SELECT COUNT(TUA2.C_USER)", "         FROM", "               TBL_USERFACILITYACCESS TUA2",
                   "         WHERE", "               (TUA2.C_USER = " + u + ") AND",
                   "               (TUA2.C_FACILITY = TF2.COUNTER)", "       )", " )"});
    TLines scope = AdminScope(Admin, "TF2");
    // The third part's scope reads its own alias, so that it does not
    // collide with the counting sub-select's TUA2.
    for (std::string& line : scope) {
        size_t at;
        while ((at = line.find("TUA2")) != std::string::npos)
            line.replace(at, 4, "TUA3");
    }
    Append(lines, scope);
    return lines;
}

TLines FacilitySaveScript(int32_t UserCounter, const std::vector<TFacilityTick>& Items)
{
    TLines lines;
    for (const TFacilityTick& item : Items) {
        lines.push_back("DELETE FROM TBL_USERFACILITYACCESS WHERE (C_USER = " + std::to_string(UserCounter) +
                        ") AND (C_FACILITY = " + std::to_string(item.Facility) + ");");
        if (item.Checked)
            lines.push_back(Format(item.Manager ? "INSERT INTO TBL_USERFACILITYACCESS VALUES (%d, %d,'MGR');"
                                                : "INSERT INTO TBL_USERFACILITYACCESS VALUES (%d, %d,'USR');",
                                   UserCounter, item.Facility));
    }
    return lines;
}
