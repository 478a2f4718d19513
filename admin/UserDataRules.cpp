#include "admin/UserDataRules.h"

#include "platform/SysUtils.h"

const char* const FacilityFlagQuestion =
    "Modification of Facility Access Flag will result in User/Facility attributes loss. Proceed?";

namespace {

bool IsAlnum(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool UserNameChar(char c)
{
    return IsAlnum(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
}

bool DomainChar(char c)
{
    return IsAlnum(c) || c == '.' || c == '-';
}

bool ManagerByOther(const TAdministrator& Admin, const TUserRecord& Row)
{
    return Admin.UserType == "MGR" && Row.UserType == "MGR" && Row.FacilityAccessFlag == Admin.FacilityAccessFlag &&
           Row.CreatedBy != Admin.ID;
}

bool SystemByOther(const TAdministrator& Admin, const TUserRecord& Row)
{
    return Row.UserType == "SYS" && Row.CreatedBy != Admin.ID && Admin.Counter != 2;
}

} // namespace

std::string CheckEMail(const std::string& Address)
{
    size_t i = 0;
    while (i < Address.size() && UserNameChar(Address[i]))
        ++i;
    if (i == 0 || i == Address.size())
        return "EMail address is not valid (user name)";
    if (Address[i] != '@')
        return "EMail address is not valid (\"@\" is not found in the right place)";
    const std::string rest = Address.substr(i + 1);
    const size_t dot = rest.rfind('.');
    if (dot == std::string::npos)
        return "EMail address is not valid (domain suffix)";
    const size_t suffix = rest.size() - dot - 1;
    if (suffix < 2 || suffix > 6 || dot + 1 < 2)
        return "EMail address is not valid (domain suffix)";
    const std::string domain = rest.substr(0, dot);
    if (domain.empty())
        return "EMail address is not valid (domain name)";
    for (char c : domain)
        if (!DomainChar(c))
            return "EMail address is not valid (domain name)";
    return {};
}

std::string CheckUserID(const std::string& ID)
{
    for (char c : Trim(ID)) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_')
            continue;
        return std::string("Illigal charecter in User ID: \"") + c + "\"\r\n" +
               "Valid charecters are \"A\" through \"Z\", \"0\" trough \"9\" and \"_\"";
    }
    return {};
}

std::string ModificationCheck(const TAdministrator& Admin, const TUserRecord& Row)
{
    if (ManagerByOther(Admin, Row))
        return "Selected manager was created by other admin and can not be modified";
    if (SystemByOther(Admin, Row))
        return "Selected System Manager was created by other admin and can not be modified";
    return {};
}

std::string DeletionCheck(const TAdministrator& Admin, const TUserRecord& Row, bool Empty)
{
    if (Empty)
        return "Nothing to Delete";
    if (ManagerByOther(Admin, Row))
        return "Selected manager was created by other admin and can not be deleted";
    if (Row.Counter == 2)
        return "Main System Manager can not be deleted";
    if (SystemByOther(Admin, Row))
        return "System Manager was created by other admin and can not be deleted";
    return {};
}

TLines DeleteUserScript(int32_t UserCounter)
{
    const std::string u = std::to_string(UserCounter);
    return {"DELETE FROM TBL_ROLEMODULES",
            "WHERE C_ROLE IN (",
            "SELECT COUNTER FROM TBL_ROLES WHERE C_USER = " + u,
            ");",
            "DELETE FROM TBL_USERDBACCESS WHERE C_USER = " + u + ";",
            "DELETE FROM TBL_USERFACILITYACCESS WHERE C_USER = " + u + ";",
            "DELETE FROM TBL_ROLES WHERE C_USER = " + u + ";",
            "DELETE FROM TBL_MAIL WHERE C_USER_FROM = " + u + ";",
            "DELETE FROM TBL_MAIL WHERE C_USER_TO = " + u + ";"};
}

TTypeRuleResult TypeRules(const TAdministrator& Admin, const TTypeRuleInput& Input)
{
    TTypeRuleResult result;
    result.RestrictedEnabled = false;
    if (Input.Type == "SYS") {
        result.Values = {{"FACILITY_ACCESS_FLAG", "A"},
                         {"DEFINE_ROLE", "T"},
                         {"DEFINE_FACILITY_ACCESS", "T"},
                         {"DEFINE_DB_ACCESS", "T"}};
        for (auto& enabled : result.DefineEnabled)
            enabled = false;
        if (!Admin.Restricted && Input.IDBox != Admin.ID)
            result.RestrictedEnabled = true;
    } else if (Input.Type == "USR") {
        result.Values = {{"DEFINE_ROLE", "F"}, {"DEFINE_FACILITY_ACCESS", "F"}, {"DEFINE_DB_ACCESS", "F"}};
        for (auto& enabled : result.DefineEnabled)
            enabled = false;
    } else if (Input.Type == "MGR") {
        result.DefineEnabled[0] = Admin.DefineRole == "T";
        result.DefineEnabled[1] = Admin.DefineFacilityAccess == "T";
        result.DefineEnabled[2] = Admin.DefineDBAccess == "T";
    }
    if (Input.Inserting && Input.Type != "SYS")
        result.Values.emplace_back("FACILITY_ACCESS_FLAG", "I");
    if (Input.Type != "SYS")
        result.Values.emplace_back("RESTRICTED_SYSTEM", "F");
    else if (Admin.Restricted)
        result.Values.emplace_back("RESTRICTED_SYSTEM", "T");
    return result;
}

std::optional<std::string> EMailToStore(const std::optional<std::string>& Field)
{
    if (!Field || Trim(*Field).empty())
        return std::nullopt;
    return Field;
}

std::optional<TSaveRefusal> SaveChecks(const TSaveCheckInput& Input)
{
    if (Input.EnterpriseEmpty || !Input.C_Enterprise)
        return TSaveRefusal{"Please define user ENTERPRISE", false};
    if (Input.EMail) {
        const std::string text = CheckEMail(*Input.EMail);
        if (!text.empty())
            return TSaveRefusal{text, true};
    }
    if (Input.TypeBox == "SYS" && Input.FacilityAccessFlag != "A")
        return TSaveRefusal{"Facility Access Flag must be \"A\" for user type \"SYS\"", false};
    if (Input.TypeBox == "SYS" && *Input.C_Enterprise != 1)
        return TSaveRefusal{"\"GLOBAL ENTERPRISE\" must be chosen for user type \"SYS\"", false};
    const std::string id = CheckUserID(Input.IDBox);
    if (!id.empty())
        return TSaveRefusal{id, false};
    return std::nullopt;
}

bool AsksFacilityFlag(bool Editing, const std::string& RememberedFlag, const std::string& NewFlag)
{
    return Editing && RememberedFlag != "A" && RememberedFlag != NewFlag;
}

std::string DeleteFacilityAccessSQL(int32_t UserCounter)
{
    return "DELETE FROM TBL_USERFACILITYACCESS WHERE C_USER = " + std::to_string(UserCounter);
}
