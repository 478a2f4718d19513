#pragma once
// The rights of the signed-in user over the SQL a client sends, as the
// suite's server grants them to each user type. Installed on each database
// connection a client opens (TDataConnection), through SQLite's authorizer
// and views and triggers of the connection's own (temp) schema
// (ClientRowRules.cpp). A refused statement fails with "ORA-01031:
// insufficient privileges".
//
// Every user:
//   - no ATTACH, DETACH or VACUUM (which would read or write files anywhere
//     the server may), no PRAGMA that sets or does anything (reading a
//     setting and the catalogue pragmas table_info, index_list... stay),
//     no load_extension;
//   - no access to the server's own tables (SRV_...: sessions, uploads).
// A system manager (SYS): nothing more; every row of every table.
// A manager (MGR) and a user (USR), in addition:
//   - create, change and drop no table, view, index or trigger;
//   - write OVN_SEQUENCES only as OVN_NEXTVAL advances a sequence;
//   - write nothing in the administrators' tables (enterprises, aliases,
//     facilities, modules, menus, resources, TBL_BIN, which names the
//     library each client loads, connections and updates);
//   - read TBL_CONNECTIONS.SESSION_ID as NULL: a session id is enough to act
//     as its user on every call without SQL, so it is its session's secret;
//   - see the rows of TBL_MAIL addressed to them or to the board (C_USER_TO
//     1) or sent by them, change only their HAS_BEEN_READ, delete those
//     addressed to them or sent by them (a board row only its sender), and
//     add none (mail is sent through PLG_SYSTEM's SEND_MAIL).
// A user (USR), in addition:
//   - writes nothing in the tables of roles and rights (TBL_ROLES,
//     TBL_USERDBACCESS, TBL_USERFACILITYACCESS, TBL_ROLEMODULES);
//   - adds and deletes no row of TBL_USERS and changes only its own, and
//     there only its password, its history and its personal details (no
//     user type, ID, enterprise, expiry or right);
//   - reads every row of TBL_USERS, but USER_PASSWORD and PASSWORD_HISTORY
//     only of its own row: in the others they read as NULL.
// A manager (MGR) works within his scope, the "managed users": the users of
// his own enterprise who are not SYS, and himself. In addition he:
//   - reads the managed users' rows of TBL_USERS in full, the others as a
//     user does; writes managed rows only, and no write makes a user SYS (a
//     type other than USR and MGR) or moves one out of his enterprise;
//   - writes the rows of TBL_USERDBACCESS and TBL_USERFACILITYACCESS of
//     managed users only, with roles and facilities of his enterprise;
//   - writes the roles of his enterprise (TBL_ROLES: on its aliases, base
//     roles and the override roles of managed users) and their module rows
//     (TBL_ROLEMODULES);
//   - also deletes the mail sent by or to managed users (the deletion of a
//     user removes it).
//
// TBL_USERS: a view of the temp schema named TBL_USERS hides the table for
// unqualified names and gives the two secret columns through a function
// that answers them for the rows read in full only; reading them from the
// table itself (main.TBL_USERS) gives NULL. An INSERT, UPDATE or DELETE of
// TBL_USERS is pointed at the table (PrepareStatement), where triggers of
// the connection refuse the rows and columns the user may not write.
// TBL_MAIL: the client's name of the table is pointed at views of the rows
// the user sees (or, in a DELETE, may delete), whose INSTEAD OF triggers
// write the table; the table itself cannot be named.

#include <cstdint>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_stmt;

struct TSqlUser
{
    int64_t Counter = 0;
    std::string Type; // "SYS", "MGR" or "USR"
    bool IsSystemManager() const { return Type == "SYS"; }
    bool IsManager() const { return Type == "MGR"; }
    bool IsAdministrator() const { return IsSystemManager() || IsManager(); }
};

class TClientRights
{
  public:
    // Installs the rights on the connection (which must outlive this).
    TClientRights(sqlite3* db, TSqlUser user);
    ~TClientRights();
    TClientRights(const TClientRights&) = delete;
    TClientRights& operator=(const TClientRights&) = delete;

    const TSqlUser& User() const { return m_user; }
    // The statement (SQLite dialect) as it is run for this user. Raises
    // EOracleError for a name the user may not write (the table of mail
    // itself, the views that stand for it).
    std::string PrepareStatement(const std::string& sql) const;
    // The Oracle error of the last refusal of the authorizer, and forgets it.
    std::string TakeRefusal();
    // The rows the last statement changed through the views of the row
    // rules (SQLite counts none for a statement on a view), and forgets them.
    int64_t TakeViewRows();

    // While one lives, statements are the server's own work (a procedure
    // writing for its caller): the authorizer looks away.
    class TAsServer
    {
      public:
        explicit TAsServer(TClientRights& rights) : m_rights(rights) { ++m_rights.m_internal; }
        ~TAsServer() { --m_rights.m_internal; }
        TAsServer(const TAsServer&) = delete;
        TAsServer& operator=(const TAsServer&) = delete;

      private:
        TClientRights& m_rights;
    };

  private:
    static int Authorize(void* self, int action, const char* a, const char* b, const char* database,
                         const char* source);
    int Check(int action, const char* a, const char* b, const char* database, const char* source);
    int CheckRowRules(int action, const char* a, const char* b, const char* database, const char* source);
    int Refuse();

    // ClientRowRules.cpp
    void InstallRowRules();
    void RegisterFunctions();
    void ShadowUsers();
    void GuardOwnUserRow();
    void GuardManagedRows();
    void ShadowMail();
    bool HasTable(const char* table) const;
    void UserSecret(sqlite3_context* context, int64_t counter, int column);
    // A sub-select of the counters of the users whose rows the user writes
    // (a manager's scope; a user's own), and the manager's enterprise as SQL.
    std::string ManagedUsers() const;
    std::string EnterpriseText() const;

    sqlite3* m_db;
    TSqlUser m_user;
    // The manager's enterprise, read when the connection opens.
    std::optional<int64_t> m_enterprise;
    bool m_shadowsUsers = false;
    bool m_shadowsMail = false;
    // Statements of our own, run with the authorizer looking away.
    int m_internal = 0;
    sqlite3_stmt* m_userRow = nullptr;
    std::string m_refusal;
    int64_t m_viewRows = 0;
};
