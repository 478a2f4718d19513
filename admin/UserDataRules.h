#pragma once
// The account rules of the user record editor: the checks of an e-mail
// address and of a user ID, the type rules, who may change or delete which
// account, the checks before a save and the cascade that removes a user's
// dependent rows.

#include "Components/Controller/ovnAdmin.h"
#include "admin/UserListRules.h"

#include <optional>
#include <string>

// "" for a valid address, else the warning text.
std::string CheckEMail(const std::string& Address);
// "" when every character of the trimmed ID is "0"-"9", "A"-"Z" or "_".
std::string CheckUserID(const std::string& ID);

// The current user row as the editor's rules read it.
struct TUserRecord
{
    int32_t Counter = 0;
    std::string UserType;
    std::string FacilityAccessFlag;
    std::string CreatedBy;
};

// "" when the admin may edit the row, else the error text.
std::string ModificationCheck(const TAdministrator& Admin, const TUserRecord& Row);
// "" when the admin may delete the row (Empty: the table has no row).
std::string DeletionCheck(const TAdministrator& Admin, const TUserRecord& Row, bool Empty);
// The script that removes the user's dependent rows.
TLines DeleteUserScript(int32_t UserCounter);

// The type rules for a row in edit or insert state.
struct TTypeRuleInput
{
    std::string Type;   // the type box
    bool Inserting = false;
    std::string IDBox;  // the ID box
};
struct TTypeRuleResult
{
    // Values the row takes (in order).
    TFieldValues Values;
    // Enabled state of the "Restricted" box and of each define box
    // (role, facility access, database access); none: left as it is.
    bool RestrictedEnabled = false;
    std::optional<bool> DefineEnabled[3];
};
TTypeRuleResult TypeRules(const TAdministrator& Admin, const TTypeRuleInput& Input);

// The EMAIL a save stores: an address that is empty after trimming is none
// (NULL, so that the address check passes it), as an emptied edit gives "".
std::optional<std::string> EMailToStore(const std::optional<std::string>& Field);

// The checks of a save that need no server, in their order (1 to 5).
struct TSaveCheckInput
{
    bool EnterpriseEmpty = false;
    std::optional<int32_t> C_Enterprise;
    std::optional<std::string> EMail; // none: NULL
    std::string TypeBox;
    std::string FacilityAccessFlag;
    std::string IDBox;
};
struct TSaveRefusal
{
    std::string Text;
    bool Warning = false; // warning box; otherwise error box
};
std::optional<TSaveRefusal> SaveChecks(const TSaveCheckInput& Input);
// Whether saving an edit asks about the facility access flag (check 6).
bool AsksFacilityFlag(bool Editing, const std::string& RememberedFlag, const std::string& NewFlag);
extern const char* const FacilityFlagQuestion;
std::string DeleteFacilityAccessSQL(int32_t UserCounter);
