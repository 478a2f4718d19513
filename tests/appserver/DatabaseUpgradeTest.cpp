// The server's database file made by an older build: columns whose declared
// types changed since (LOGIN_PARAMS became a memo, the listed texts took their
// sizes) take the new types at the next start, rows and references kept.
#include "Database.h"
#include "ServerTestFolder.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

void Exec(const std::string& File, const std::string& Sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(File.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, Sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

std::string Text(TDatabase& Db, const std::string& Sql)
{
    auto statement = Db.Prepare(Sql);
    return statement->Step() ? statement->Text(0) : "<none>";
}

} // namespace

TEST(DatabaseUpgrade, OlderAliasParamsBecomeAMemoWithRowsAndReferencesKept)
{
    TServerTestFolder folder("kld-dbupgrade");
    ASSERT_FALSE(folder.Path.empty());
    const std::string file = folder.Path + "/server.db";
    // The tables as an older build made them, with one alias in use by a role.
    Exec(
        file,
        "PRAGMA foreign_keys = ON;"
        "CREATE TABLE TBL_ENTERPRISES (COUNTER INTEGER PRIMARY KEY, ENTERPRISE TEXT NOT NULL, "
        "  DESCRIPTION TEXT, CURRENT_USE TEXT NOT NULL DEFAULT 'T');"
        "CREATE TABLE TBL_DBALIASES (COUNTER INTEGER PRIMARY KEY, ALIAS TEXT NOT NULL, DESCRIPTION TEXT,"
        "  C_ENTERPRISE INTEGER REFERENCES TBL_ENTERPRISES (COUNTER), SERVER_NAME TEXT, DRIVER_NAME TEXT,"
        "  USER_NAME TEXT, LOGIN_PARAMS TEXT, CURRENT_USE TEXT NOT NULL DEFAULT 'T');"
        "CREATE TABLE TBL_ROLES (COUNTER INTEGER PRIMARY KEY, ROLE_ID TEXT NOT NULL, DESCRIPTION TEXT,"
        "  C_ENTERPRISE INTEGER REFERENCES TBL_ENTERPRISES (COUNTER),"
        "  C_ALIAS INTEGER REFERENCES TBL_DBALIASES (COUNTER), C_USER INTEGER, SECURITY BLOB,"
        "  PARENT_ROLE INTEGER, CURRENT_USE TEXT NOT NULL DEFAULT 'T');"
        "INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE) VALUES (1, 'GLOBAL ENTERPRISE'), (30, 'OLD CARE');"
        "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, C_ENTERPRISE, DRIVER_NAME, LOGIN_PARAMS) VALUES"
        "  (30, 'OLDHOME', 30, 'MYSQL', 'POOL=2');"
        "INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS) VALUES (30, 'OLDROLE', 30, 30);");

    for (int start = 0; start < 2; ++start) {
        TDatabase db(file);
        EXPECT_EQ(Text(db, "SELECT type FROM pragma_table_info('TBL_DBALIASES') WHERE name = 'LOGIN_PARAMS'"),
                  "CLOB");
        EXPECT_EQ(Text(db, "SELECT ALIAS || '/' || DRIVER_NAME || '/' || LOGIN_PARAMS FROM TBL_DBALIASES "
                           "WHERE COUNTER = 30"),
                  "OLDHOME/MYSQL/POOL=2");
        EXPECT_EQ(Text(db, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'SRV_OLDER_DBALIASES'"), "0");
        // The role still names the alias table, which keeps it.
        EXPECT_NE(Text(db, "SELECT sql FROM sqlite_master WHERE name = 'TBL_ROLES'").find("TBL_DBALIASES"),
                  std::string::npos);
        EXPECT_THROW(db.Prepare("DELETE FROM TBL_DBALIASES WHERE COUNTER = 30")->Run(), EDatabaseError);
        EXPECT_EQ(Text(db, "SELECT COUNT(*) FROM TBL_DBALIASES WHERE COUNTER = 30"), "1");
    }
}

TEST(DatabaseUpgrade, OlderTextColumnsTakeTheirDeclaredSizesWithRowsAndTriggersKept)
{
    TServerTestFolder folder("kld-dbupgrade");
    ASSERT_FALSE(folder.Path.empty());
    const std::string file = folder.Path + "/server.db";
    // An older build's tables: every text TEXT, LOGIN_PARAMS already a memo,
    // the global enterprise's trigger in place.
    Exec(file,
         "CREATE TABLE TBL_ENTERPRISES (COUNTER INTEGER PRIMARY KEY, ENTERPRISE TEXT NOT NULL, "
         "  DESCRIPTION TEXT, CURRENT_USE TEXT NOT NULL DEFAULT 'T');"
         "CREATE TRIGGER TRG_ENTERPRISES_KEEP_GLOBAL BEFORE DELETE ON TBL_ENTERPRISES WHEN OLD.COUNTER = 1 "
         "  BEGIN SELECT RAISE(ABORT, 'kept'); END;"
         "CREATE TABLE TBL_USERS (COUNTER INTEGER PRIMARY KEY, USER_ID TEXT NOT NULL UNIQUE, USER_PASSWORD TEXT,"
         "  FULL_NAME TEXT, USER_TYPE TEXT NOT NULL DEFAULT 'USR',"
         "  C_ENTERPRISE INTEGER REFERENCES TBL_ENTERPRISES (COUNTER), CURRENT_USE TEXT NOT NULL DEFAULT 'T');"
         "CREATE TABLE TBL_DBALIASES (COUNTER INTEGER PRIMARY KEY, ALIAS TEXT NOT NULL, DESCRIPTION TEXT,"
         "  C_ENTERPRISE INTEGER REFERENCES TBL_ENTERPRISES (COUNTER), SERVER_NAME TEXT, DRIVER_NAME TEXT,"
         "  USER_NAME TEXT, LOGIN_PARAMS CLOB, CURRENT_USE TEXT NOT NULL DEFAULT 'T');"
         "INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION) VALUES (1, 'GLOBAL ENTERPRISE', NULL),"
         "  (30, 'OLD CARE', 'Kept from before');"
         "INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, C_ENTERPRISE) VALUES"
         "  (300, 'OLDNURSE', 'pw', 'Old Nurse', 30);"
         "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, C_ENTERPRISE, LOGIN_PARAMS) VALUES (30, 'OLDHOME', 30, 'POOL=2');");

    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        TDatabase db(file);
        const struct
        {
            const char* Table;
            const char* Column;
            const char* Type;
        } declared[] = {{"TBL_ENTERPRISES", "ENTERPRISE", "VARCHAR2(30)"},
                        {"TBL_ENTERPRISES", "DESCRIPTION", "VARCHAR2(80)"},
                        {"TBL_USERS", "USER_ID", "VARCHAR2(30)"},
                        {"TBL_USERS", "FULL_NAME", "VARCHAR2(60)"},
                        {"TBL_DBALIASES", "ALIAS", "VARCHAR2(20)"},
                        {"TBL_DBALIASES", "LOGIN_PARAMS", "CLOB"}};
        for (const auto& d : declared)
            EXPECT_EQ(Text(db, std::string("SELECT type FROM pragma_table_info('") + d.Table + "') WHERE name = '" +
                                   d.Column + "'"),
                      d.Type)
                << d.Table << "." << d.Column;
        EXPECT_EQ(Text(db, "SELECT ENTERPRISE || '/' || DESCRIPTION FROM TBL_ENTERPRISES WHERE COUNTER = 30"),
                  "OLD CARE/Kept from before");
        EXPECT_EQ(Text(db, "SELECT USER_ID || '/' || USER_PASSWORD || '/' || FULL_NAME || '/' || C_ENTERPRISE "
                           "FROM TBL_USERS WHERE COUNTER = 300"),
                  "OLDNURSE/pw/Old Nurse/30");
        EXPECT_EQ(Text(db, "SELECT ALIAS || '/' || LOGIN_PARAMS FROM TBL_DBALIASES WHERE COUNTER = 30"),
                  "OLDHOME/POOL=2");
        EXPECT_EQ(Text(db, "SELECT COUNT(*) FROM sqlite_master WHERE name LIKE 'SRV_OLDER_%'"), "0");
        // The global enterprise's trigger guards the new table.
        EXPECT_THROW(db.Prepare("DELETE FROM TBL_ENTERPRISES WHERE COUNTER = 1")->Run(), EDatabaseError);
        EXPECT_EQ(Text(db, "SELECT COUNT(*) FROM TBL_ENTERPRISES WHERE COUNTER = 1"), "1");
        // USER_ID stays unique; the user still names his enterprise.
        EXPECT_THROW(db.Prepare("INSERT INTO TBL_USERS (COUNTER, USER_ID) VALUES (301, 'OLDNURSE')")->Run(),
                     EDatabaseError);
        EXPECT_THROW(db.Prepare("DELETE FROM TBL_ENTERPRISES WHERE COUNTER = 30")->Run(), EDatabaseError);
    }
}
