#pragma once
// Signed-in sessions. Each one is a "WSID" cookie value handed out by
// Nembra.Login; a session lives until Nembra.Logout, until a forced sign-in
// of the same user ends it, or until it has seen no call for the session
// time-out. Sessions are kept in memory for the calls and mirrored into the
// table SRV_SESSIONS for the procedures that list them. The store takes the
// database lock itself: never call it while holding that lock.
//
// A session's locks (SRV_LOCKS) end with it. Every sign-in also keeps the
// user's one row of TBL_CONNECTIONS (the user's last connection), which the
// user list joins, so a user who signed in many times is still listed once.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TDatabase;

struct TSession
{
    std::string Id;
    int64_t UserCounter = 0;
    std::string UserId;
    std::string UserType;
    std::string SecretKey;
    std::string RemoteAddr;
    std::string Agent;
    std::string OS;
    std::string Started;
    // The last alias other than SYSTEM the session opened. Written only by
    // the store (SetDataAlias); read it from the copies All() hands out.
    std::string DataAlias;
};

class TSessionStore
{
  public:
    TSessionStore(TDatabase& database, std::chrono::minutes timeout);

    std::shared_ptr<TSession> Create(TSession session);
    // The live session with that id, marked active now; null when it does
    // not exist or has expired (an expired one is removed).
    std::shared_ptr<TSession> Find(const std::string& id);
    // The live session with that id without marking it active: the
    // notification relay asks on behalf of a link, which is no call of the
    // session and must not keep it alive.
    std::shared_ptr<TSession> Peek(const std::string& id);
    // The live sessions of a user.
    std::vector<std::shared_ptr<TSession>> ForUser(int64_t userCounter);
    // Copies of every live session (expired ones are removed first).
    std::vector<TSession> All();
    // Records the data alias the session opened; unknown ids are ignored.
    void SetDataAlias(const std::string& id, const std::string& alias);
    // Ends the session with its locks; false when no live session had that id.
    bool Remove(const std::string& id);

  private:
    using Clock = std::chrono::steady_clock;
    struct Entry
    {
        std::shared_ptr<TSession> Session;
        Clock::time_point LastActive;
        Clock::time_point LastStored; // when LAST_ACTIVE was last written
    };
    bool Expired(const Entry& entry, Clock::time_point now) const;
    bool RemoveLocked(const std::string& id);

    TDatabase& m_database;
    std::chrono::minutes m_timeout;
    std::mutex m_lock;
    std::map<std::string, Entry> m_sessions;
};
