#pragma once
// The notifications' view of the data database ("DATA"): queries with
// positional values through a server-backed query, direct statements
// through the database itself.

#include "Components/Controller/notifications/Notifications.h"
#include "Components/Nembra/ovnOndrel.h"

#include <functional>
#include <memory>

class TNotifyServerDatabase : public TNotifyDatabase
{
public:
    // UserID gives the signed-in user's ID; Facilities the counters of the
    // user's facilities.
    TNotifyServerDatabase(std::function<std::string()> UserID, std::function<std::vector<int32_t>()> Facilities,
                          std::string DatabaseName = "DATA");
    ~TNotifyServerDatabase() override;

    std::vector<TNotifyRow> Open(const std::string& SQL, const std::vector<Variant>& Values) override;
    std::vector<TNotifyRow> OpenFetchingBy(const std::string& SQL, const std::vector<Variant>& Values,
                                           int32_t FetchBy) override;
    // The page size of the last query (0: the connection's default).
    int32_t LastFetchBy() const { return m_lastFetchBy; }
    void Execute(const std::string& SQL) override;
    std::vector<int32_t> UserFacilities() override { return m_facilities ? m_facilities() : std::vector<int32_t>{}; }
    std::string UserID() const override { return m_userID ? m_userID() : std::string(); }

private:
    std::function<std::string()> m_userID;
    std::function<std::vector<int32_t>()> m_facilities;
    std::string m_databaseName;
    // Re-used by every query: closed, given the new text, opened again.
    std::unique_ptr<TovnOndrelQuery> m_query;
    int32_t m_lastFetchBy = 0;
};
