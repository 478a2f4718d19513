#pragma once
// The record of the signed-in user: identity, type, enterprise and role,
// access flags, advertising profile and the rights bytes, one per menu
// security index (level in bits 7-6: none, view, modify, full; attributes
// A1..A6 in bits 5..0).

#include "platform/Persistent.h"
#include "platform/Streams.h"

#include <cstdint>
#include <string>

class TAdminUser : public TPersistent
{
  public:
    TAdminUser();
    std::string ClassName() const override { return "TAdminUser"; }

    // Back to the state of a new record. Restricted and the advertising
    // profile keep their values (they belong to the sign-in reply, not to
    // the session).
    void Clear();

    std::string ID;
    std::string Password;
    std::string FullName;
    std::string UserType; // "SYS", "MGR" or "USR"
    std::string FacilityAccessFlag = "I";
    std::string DefineRole = "F";
    std::string DefineFacilityAccess = "F";
    std::string DefineDBAccess = "F";
    std::string Enterprise;
    int32_t C_Enterprise = 0;
    int32_t Counter = 0;
    int32_t C_Role = 0;
    std::string Role;
    bool Restricted = false;
    std::string ADState;
    std::string ADZip;
    std::string ADIndustry;
    bool Advertise = false;
    std::string EMail;

    // The rights bytes; owned by the record.
    TMemoryStream& Security() { return m_security; }
    const TMemoryStream& Security() const { return m_security; }

  private:
    TMemoryStream m_security;
};
