#include "Components/Controller/ovnAdmin.h"

TAdminUser::TAdminUser()
{
    Clear();
}

void TAdminUser::Clear()
{
    ID.clear();
    Password.clear();
    FullName.clear();
    UserType.clear();
    FacilityAccessFlag = "I";
    DefineRole = "F";
    DefineFacilityAccess = "F";
    DefineDBAccess = "F";
    Enterprise.clear();
    C_Enterprise = 0;
    Counter = 0;
    C_Role = 0;
    Role.clear();
    EMail.clear();
    m_security.Clear();
}
