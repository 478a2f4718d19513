#pragma once
// What the connections window and the user list decide, apart from their
// widgets: which tabs an administrator sees and which alias narrows his
// lists, the button states, the fill of the "User Type" cells, the user
// list's statement and the matching of its users to the server's sessions.
//
// Sessions come from PLG_SYSTEM's RTIGetSessions; the user list reads the
// start time, address and agent by position (columns 3, 6 and 8), so a row
// short of a column, or a start that is no date, leaves that value empty.

#include "admin/UserListRules.h"
#include "platform/DateUtils.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TDataSet;

// --- The connections window

// A "MGR" administrator sees the "User Sessions" tab only.
bool ShowsAllConnectionTabs(const std::string& UserType);

// The DB_ALIAS of the session and lock lists: NULL (no value) for a "SYS"
// administrator, else the current data alias.
struct TAliasScope
{
    std::optional<std::string> Alias; // none: every alias
    // A manager without a current data alias would otherwise be sent NULL,
    // which the server reads as every alias: his lists stay empty instead.
    bool Listed = true;
};
TAliasScope AliasScope(const std::string& UserType, const std::string& DataAlias);

struct TConnectionButtons
{
    bool Disconnect = false;
    bool RemoveLock = false;
};
// "&Disconnect" when the session list is open and not empty, "&Remove Lock"
// when the lock list is.
TConnectionButtons ConnectionButtons(bool SessionsOpen, bool SessionsEmpty, bool LocksOpen, bool LocksEmpty);

// The fill of a "User Type" cell as a Delphi colour ($BBGGRR): $C1B6FF
// for "SYS", $D3D3D3 for "MGR", none for other types (drawn normally).
std::optional<uint32_t> UserTypeFill(const std::string& UserType);

// The choices of the "Show Servers:" box, "Active" first.
extern const char* const ServerStates[3];

// --- The user list

// The statement of the user list: every current user of a current
// enterprise but the one with COUNTER 1, for a manager only his
// enterprise's users and the system managers.
std::string UserListSQL(const TAdministrator& Admin, bool OnlineOnly);

// What the user list shows of a user's session.
struct TUserSession
{
    std::string UserID;
    std::optional<TDateTime> Started;
    std::string IP;
    std::string Agent;
};

// The sessions of one fetch, matched to users by USER_ID exactly (case and
// all).
class TServerSessions
{
  public:
    TServerSessions() = default;
    explicit TServerSessions(std::vector<TUserSession> Sessions) : m_sessions(std::move(Sessions)) {}
    // Every row of an open session dataset (its position is kept); a closed
    // one gives none.
    static TServerSessions FromDataSet(TDataSet& Sessions);

    // The first session of the user; null when he has none.
    const TUserSession* Find(const std::string& UserID) const;
    bool Online(const std::string& UserID) const { return Find(UserID) != nullptr; }
    int Count() const { return static_cast<int>(m_sessions.size()); }

  private:
    std::vector<TUserSession> m_sessions;
};

// A session cell as a date: a date value as it is, a text in the server's
// "yyyy-mm-dd hh:nn:ss" (or a date alone); anything else none.
std::optional<TDateTime> SessionStarted(const Variant& Value);
