#pragma once
// The names the client rights (ClientRights.h) give their objects of the
// temp schema, shared by the authorizer and the row rules that make them.
// Private to ClientRights.cpp and ClientRowRules.cpp.

namespace RowRules {

inline constexpr const char* kRefusal = "ORA-01031: insufficient privileges";
// The rows of TBL_MAIL the user sees, and those it may delete.
inline constexpr const char* kMailVisible = "OVN_MAIL_VISIBLE";
inline constexpr const char* kMailDeletable = "OVN_MAIL_DELETABLE";
// Their INSTEAD OF triggers, the only writers of the table for the user.
inline constexpr const char* kMailMarkRead = "SRV_MAIL_MARK_READ";
inline constexpr const char* kMailDelete = "SRV_MAIL_DELETE";

} // namespace RowRules
