#include "Sessions.h"

#include "Database.h"
#include "Wire.h"

namespace {
// LAST_ACTIVE in the table is refreshed at most this often per session, so
// that a busy client does not write the database on every call.
constexpr std::chrono::seconds kStoreActivityEvery{10};
} // namespace

TSessionStore::TSessionStore(TDatabase& database, std::chrono::minutes timeout)
    : m_database(database), m_timeout(timeout)
{
    // Sessions do not outlive the server: a client that comes back signs in anew.
    auto lock = m_database.Lock();
    m_database.ExecScript("DELETE FROM SRV_SESSIONS; DELETE FROM SRV_LOCKS", "sessions");
}

bool TSessionStore::Expired(const Entry& entry, Clock::time_point now) const
{
    return now - entry.LastActive > m_timeout;
}

std::shared_ptr<TSession> TSessionStore::Create(TSession session)
{
    auto stored = std::make_shared<TSession>(std::move(session));
    const std::string now = Wire::NowText();
    stored->Started = now;
    {
        auto lock = m_database.Lock();
        auto insert = m_database.Prepare(
            "INSERT INTO SRV_SESSIONS (SESSION_ID, C_USER, USER_ID, USER_TYPE, USER_IP, AGENT, OS, STARTED, "
            "LAST_ACTIVE) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insert->Bind(1, stored->Id)
            .Bind(2, stored->UserCounter)
            .Bind(3, stored->UserId)
            .Bind(4, stored->UserType)
            .Bind(5, stored->RemoteAddr)
            .Bind(6, stored->Agent)
            .Bind(7, stored->OS)
            .Bind(8, now)
            .Bind(9, now)
            .Run();
        auto connection = m_database.Prepare(
            "INSERT INTO TBL_CONNECTIONS (C_USER, SESSION_ID, STARTED, USER_IP, AGENT) VALUES (?, ?, ?, ?, ?) "
            "ON CONFLICT (C_USER) DO UPDATE SET SESSION_ID = excluded.SESSION_ID, STARTED = excluded.STARTED, "
            "USER_IP = excluded.USER_IP, AGENT = excluded.AGENT");
        connection->Bind(1, stored->UserCounter)
            .Bind(2, stored->Id)
            .Bind(3, now)
            .Bind(4, stored->RemoteAddr)
            .Bind(5, stored->Agent)
            .Run();
    }
    std::lock_guard<std::mutex> guard(m_lock);
    const Clock::time_point t = Clock::now();
    m_sessions[stored->Id] = Entry{stored, t, t};
    return stored;
}

std::shared_ptr<TSession> TSessionStore::Find(const std::string& id)
{
    if (id.empty())
        return nullptr;
    std::shared_ptr<TSession> session;
    bool store = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto it = m_sessions.find(id);
        if (it == m_sessions.end())
            return nullptr;
        const Clock::time_point now = Clock::now();
        if (Expired(it->second, now)) {
            RemoveLocked(id);
            return nullptr;
        }
        it->second.LastActive = now;
        if (now - it->second.LastStored >= kStoreActivityEvery) {
            it->second.LastStored = now;
            store = true;
        }
        session = it->second.Session;
    }
    if (store) {
        auto lock = m_database.Lock();
        m_database.Prepare("UPDATE SRV_SESSIONS SET LAST_ACTIVE = ? WHERE SESSION_ID = ?")
            ->Bind(1, Wire::NowText())
            .Bind(2, id)
            .Run();
    }
    return session;
}

std::shared_ptr<TSession> TSessionStore::Peek(const std::string& id)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_sessions.find(id);
    if (id.empty() || it == m_sessions.end() || Expired(it->second, Clock::now()))
        return nullptr;
    return it->second.Session;
}

std::vector<std::shared_ptr<TSession>> TSessionStore::ForUser(int64_t userCounter)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const Clock::time_point now = Clock::now();
    std::vector<std::shared_ptr<TSession>> found;
    std::vector<std::string> expired;
    for (const auto& [id, entry] : m_sessions) {
        if (Expired(entry, now))
            expired.push_back(id);
        else if (entry.Session->UserCounter == userCounter)
            found.push_back(entry.Session);
    }
    for (const std::string& id : expired)
        RemoveLocked(id);
    return found;
}

std::vector<TSession> TSessionStore::All()
{
    std::lock_guard<std::mutex> guard(m_lock);
    const Clock::time_point now = Clock::now();
    std::vector<TSession> live;
    std::vector<std::string> expired;
    for (const auto& [id, entry] : m_sessions) {
        if (Expired(entry, now))
            expired.push_back(id);
        else
            live.push_back(*entry.Session);
    }
    for (const std::string& id : expired)
        RemoveLocked(id);
    return live;
}

void TSessionStore::SetDataAlias(const std::string& id, const std::string& alias)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_sessions.find(id);
    if (it != m_sessions.end())
        it->second.Session->DataAlias = alias;
}

bool TSessionStore::Remove(const std::string& id)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_sessions.find(id);
    if (it == m_sessions.end())
        return false;
    const bool live = !Expired(it->second, Clock::now());
    RemoveLocked(id);
    return live;
}

bool TSessionStore::RemoveLocked(const std::string& id)
{
    const bool known = m_sessions.erase(id) > 0;
    auto lock = m_database.Lock();
    m_database.Prepare("DELETE FROM SRV_SESSIONS WHERE SESSION_ID = ?")->Bind(1, id).Run();
    m_database.Prepare("DELETE FROM SRV_LOCKS WHERE SESSION_ID = ?")->Bind(1, id).Run();
    return known;
}
