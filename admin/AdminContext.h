#pragma once
// What the administration forms take from the controller: the signed-in
// administrator, the system database, new keys from the system sequences and
// the local files of icon resources. The forms get it when they are made,
// so that tests hand them a session of their own on the local server.

#include "admin/UserListRules.h"

#include <cstdint>
#include <functional>
#include <string>

class TNembraDatabase;

struct TAdminContext
{
    TAdministrator Admin;
    TNembraDatabase* SysDB = nullptr;
    // The next number of a table's sequence ("TBL_USERS" reads SEQ_USERS).
    std::function<int32_t(const std::string& TableName)> AutoCounter;
    // The local file of an icon resource registered with FileName; '' when
    // none (the icon is skipped).
    std::function<std::string(const std::string& Resource, const std::string& FileName)> ResourceFile;
    // The operating-system tag of the icon files (ovnOS).
    std::string OS;
    // The advertising service ("http://host:port"), which also serves the
    // industry list of the enterprise editor.
    std::string AdService;
};

// The controller's: its user record, GetSysDB, GetSysAutoCounter and its
// resource cache. Raises when nobody is signed in.
TAdminContext ControllerAdminContext();

// The system database named for DoCheckPassword and the queries.
TNembraDatabase& SysDB(const TAdminContext& Context);
