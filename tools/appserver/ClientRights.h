#pragma once
// The rights of the signed-in user over the SQL a client sends, as a real
// server would grant them. Installed on each database connection a client
// opens (TDataConnection), through SQLite's authorizer:
//
// Every user:
//   - no ATTACH, DETACH or VACUUM (which would read or write files anywhere
//     the server may), no PRAGMA that sets or does anything (reading a
//     setting and the catalogue pragmas table_info, index_list... stay),
//     no load_extension;
//   - no access to the server's own tables (SRV_...: sessions, uploads).
// A user who is not a system manager (SYS) or manager (MGR), in addition:
//   - creates, changes and drops no table, view, index or trigger;
//   - writes nothing in the tables of roles and rights (TBL_ROLES,
//     TBL_USERDBACCESS, TBL_USERFACILITYACCESS, TBL_ROLEMODULES);
//   - adds and deletes no row of TBL_USERS and changes only its own, and
//     there only its password, its history and its personal details (no
//     user type, ID, enterprise, expiry or right);
//   - reads every row of TBL_USERS, but USER_PASSWORD and PASSWORD_HISTORY
//     only of its own row: in the others they read as NULL.
// A refused statement fails with "ORA-01031: insufficient privileges".
//
// The row-wise reading is a view of the connection's own (temp) schema
// named TBL_USERS, which hides the table for unqualified names and gives
// the two columns through a function that answers them for the own row
// only; reading them from the table itself (main.TBL_USERS) gives NULL. An
// UPDATE or DELETE of TBL_USERS is pointed at the table (PrepareStatement), where a
// trigger of the connection refuses any row but the user's own and any
// change of a protected column.

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

struct TSqlUser
{
    int64_t Counter = 0;
    std::string Type; // "SYS", "MGR" or "USR"
    bool IsAdministrator() const { return Type == "SYS" || Type == "MGR"; }
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
    // The statement (SQLite dialect) as it is run for this user.
    std::string PrepareStatement(const std::string& sql) const;
    // The Oracle error of the last refusal of the authorizer, and forgets it.
    std::string TakeRefusal();

  private:
    static int Authorize(void* self, int action, const char* a, const char* b, const char* database,
                         const char* source);
    int Check(int action, const char* a, const char* b, const char* database);
    int Refuse();
    void ShadowUsers();
    std::string OwnValue(int64_t counter, int column);

    sqlite3* m_db;
    TSqlUser m_user;
    bool m_shadowsUsers = false;
    // Statements of our own, run with the authorizer looking away.
    int m_internal = 0;
    sqlite3_stmt* m_ownRow = nullptr;
    std::string m_refusal;
};
