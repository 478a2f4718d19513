// What the local application server lets each type of user do with SQL:
// a manager (MGR) within his scope (the users of his enterprise who are not
// system managers, and himself), a plain user (USR) outside the
// administrators' tables, and every user's rows of mail.
#include "support/AppServerUserSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A care group (enterprise 10) with its manager, a second manager, two
// nurses and a system manager of its own, beside another enterprise (11)
// with its user and manager; roles, facilities and mail of each.
const char* const kScopeSql = R"sql(
UPDATE TBL_USERS SET USER_PASSWORD = 'admin', PASSWORD_HISTORY = 'admin-history' WHERE COUNTER = 2;
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, CURRENT_USE) VALUES (10, 'HARBOUR', 'T'), (11, 'FARAWAY', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, C_ENTERPRISE, CURRENT_USE) VALUES
  (10, 'MAPLE', 10, 'T'), (11, 'CEDAR', 10, 'T'), (20, 'FAR', 11, 'T');
INSERT INTO TBL_FACILITIES (COUNTER, FACILITY, C_ENTERPRISE) VALUES (10, 'MAPLE COURT', 10), (20, 'FAR END', 11);
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, PASSWORD_HISTORY) VALUES
  (10, 'MANAGER', 'manager', 'Helen Brooks', 'MGR', 10, 'manager-history'),
  (11, 'NURSE', 'nurse', 'Tom Ward', 'USR', 10, 'nurse-history'),
  (12, 'CAROL', 'carol', 'Carol Reed', 'USR', 10, NULL),
  (13, 'PEER', 'peer', 'Pat Peer', 'MGR', 10, NULL),
  (14, 'STRANGER', 'stranger', 'Sam Far', 'USR', 11, NULL),
  (15, 'BOSS', 'boss', 'Bo Far', 'MGR', 11, NULL),
  (16, 'LOCALSYS', 'localsys', 'Lo Sys', 'SYS', 10, NULL);
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, C_USER, CURRENT_USE) VALUES
  (10, 'HOME MANAGER', 10, 10, 1, 'T'), (11, 'NURSE', 10, 10, 1, 'T'), (20, 'FAR STAFF', 11, 20, 1, 'T');
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (10, 10), (11, 11), (12, 11), (14, 20), (15, 20);
INSERT INTO TBL_USERFACILITYACCESS (C_USER, C_FACILITY, ACCESS_TYPE) VALUES (11, 10, 'USR'), (14, 20, 'USR');
INSERT INTO TBL_MODULES (COUNTER, MODULE) VALUES (10, 'Care');
INSERT INTO TBL_ROLEMODULES (C_ROLE, C_MODULE) VALUES (10, 10), (20, 10);
INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, FILE_NAME) VALUES (10, 'APP_CARE', 'care.dll');
INSERT INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES (10, 10, 'care.so', 'L64');
INSERT INTO TBL_MAIL (COUNTER, MAIL_TYPE, SUBJECT, HAS_BEEN_READ, C_USER_TO, C_USER_FROM) VALUES
  (60, 'BOR', 'Board from ADMIN', 'F', 1, 2),
  (61, 'URL', 'ADMIN to NURSE', 'F', 11, 2),
  (62, 'URL', 'NURSE to CAROL', 'F', 12, 11),
  (63, 'URL', 'CAROL to ADMIN', 'F', 2, 12),
  (64, 'URL', 'ADMIN to MANAGER', 'F', 10, 2),
  (65, 'URL', 'STRANGER to BOSS', 'F', 15, 14),
  (66, 'BOR', 'Board from NURSE', 'F', 1, 11),
  (67, 'SYS', 'System to CAROL', 'F', 12, NULL);
)sql";

const std::string kRefused = "ORA-01031: insufficient privileges";

// The error of a sign-in (code 0 when it succeeds), on a connection of its own.
TServerError SignInError(const TAppServerProcess& server, const std::string& user,
                         const std::string& password)
{
    TNembraConnection connection;
    connection.SetConnectionName("CONN_AGAIN_" + user);
    connection.SetServerURL(server.ServerURL());
    connection.SetAuthentication(qauthBasic);
    connection.Params().Add("USER_ID=" + user);
    connection.Params().Add("USER_PWD=" + password);
    connection.Params().Add("FORCE=True");
    return ServerErrorOf([&] { connection.Open(); });
}

// --- Managers ---------------------------------------------------------------------------------

class ServerManagerRights : public ::testing::Test
{
  protected:
    TAppServerProcess Server{{}, kScopeSql};
    TUserSession Manager{Server, "MANAGER", "manager"};
    TUserSession Admin{Server, "ADMIN", "admin"};
};

TEST_F(ServerManagerRights, ReadsInFullOnlyTheUsersHeManages)
{
    EXPECT_EQ(Manager.Rows("SELECT USER_ID, USER_TYPE, USER_PASSWORD, PASSWORD_HISTORY FROM TBL_USERS "
                           "WHERE COUNTER > 1 ORDER BY COUNTER"),
              (std::vector<std::string>{"ADMIN|SYS|<null>|<null>", "MANAGER|MGR|manager|manager-history",
                                        "NURSE|USR|nurse|nurse-history", "CAROL|USR|carol|<null>",
                                        "PEER|MGR|peer|<null>", "STRANGER|USR|<null>|<null>",
                                        "BOSS|MGR|<null>|<null>", "LOCALSYS|SYS|<null>|<null>"}))
        << "his enterprise's users who are not SYS, himself; the others' names only";
    // Around the view: the table itself, a join, and the view's own function.
    EXPECT_EQ(
        Manager.Rows("SELECT USER_PASSWORD FROM main.TBL_USERS WHERE COUNTER IN (2, 11) ORDER BY COUNTER"),
        (std::vector<std::string>{"<null>", "<null>"}));
    EXPECT_EQ(Manager.Rows("SELECT COUNT(*) FROM TBL_USERS U, TBL_ENTERPRISES E "
                           "WHERE U.C_ENTERPRISE = E.COUNTER AND U.USER_PASSWORD = 'admin'"),
              (std::vector<std::string>{"0"}));
    EXPECT_EQ(Manager.Rows("SELECT SRV_USER_SECRET(2, 0), SRV_USER_SECRET(11, 0) FROM DUAL"),
              (std::vector<std::string>{"<null>|nurse"}));
    EXPECT_EQ(Admin.Rows("SELECT USER_PASSWORD FROM TBL_USERS WHERE COUNTER = 14"),
              (std::vector<std::string>{"stranger"}))
        << "a system manager reads every row";
}

TEST_F(ServerManagerRights, WritesNoUserOutsideHisScopeMakesNoneSysAndRunsNoDdl)
{
    struct Case
    {
        const char* Desc;
        const char* Sql;
    } cases[] = {
        {"himself SYS", "UPDATE TBL_USERS SET USER_TYPE = 'SYS' WHERE COUNTER = 10"},
        {"himself SYS in the global enterprise",
         "UPDATE TBL_USERS SET USER_TYPE = 'SYS', C_ENTERPRISE = 1 WHERE COUNTER = 10"},
        {"a user of a type he cannot choose", "UPDATE TBL_USERS SET USER_TYPE = 'sys' WHERE COUNTER = 11"},
        {"ADMIN's password", "UPDATE TBL_USERS SET USER_PASSWORD = 'taken' WHERE COUNTER = 2"},
        {"ADMIN's password in the table",
         "UPDATE main.TBL_USERS SET USER_PASSWORD = 'taken' WHERE COUNTER = 2"},
        {"his enterprise's system manager",
         "UPDATE TBL_USERS SET USER_PASSWORD = 'taken' WHERE COUNTER = 16"},
        {"another enterprise's user", "UPDATE TBL_USERS SET FULL_NAME = 'Sam' WHERE COUNTER = 14"},
        {"every user at once", "UPDATE TBL_USERS SET FULL_NAME = FULL_NAME"},
        {"a user moved out", "UPDATE TBL_USERS SET C_ENTERPRISE = 11 WHERE COUNTER = 11"},
        {"a new system manager",
         "INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, USER_TYPE, C_ENTERPRISE) "
         "VALUES (90, 'ROOT', 'root', 'SYS', 1)"},
        {"a new system manager of his enterprise",
         "INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, USER_TYPE, C_ENTERPRISE) "
         "VALUES (90, 'ROOT', 'root', 'SYS', 10)"},
        {"a new user elsewhere",
         "INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, USER_TYPE, C_ENTERPRISE) "
         "VALUES (90, 'ROOT', 'root', 'USR', 11)"},
        {"ADMIN replaced",
         "INSERT OR REPLACE INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, USER_TYPE, C_ENTERPRISE) "
         "VALUES (2, 'ADMIN', 'mine', 'MGR', 10)"},
        {"ADMIN replaced by a rename",
         "UPDATE OR REPLACE TBL_USERS SET USER_ID = 'ADMIN' WHERE COUNTER = 12"},
        {"ADMIN deleted", "DELETE FROM TBL_USERS WHERE COUNTER = 2"},
        {"another enterprise's user deleted", "DELETE FROM TBL_USERS WHERE COUNTER = 14"},
        {"a table made", "CREATE TABLE TBL_MINE (X INTEGER)"},
        {"an index made", "CREATE INDEX IX_MINE ON TBL_MAIL (SUBJECT)"},
        {"a column added", "ALTER TABLE TBL_USERS ADD COLUMN X TEXT"},
        {"a table dropped", "DROP TABLE TBL_UPDATES"},
        {"a role of another enterprise for himself",
         "INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (10, 20)"},
        {"a role for another enterprise's user",
         "INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (14, 11)"},
        {"another enterprise's access taken", "DELETE FROM TBL_USERDBACCESS WHERE C_USER = 14"},
        {"a role moved to another enterprise's role",
         "UPDATE TBL_USERDBACCESS SET C_ROLE = 20 WHERE C_USER = 11"},
        {"a role on another enterprise's alias", "INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, "
                                                 "C_ALIAS, C_USER) VALUES (90, 'MINE', 10, 20, 1)"},
        {"a role of another enterprise", "INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, "
                                         "C_USER) VALUES (90, 'MINE', 11, 20, 1)"},
        {"an override for another enterprise's user",
         "INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, C_USER) VALUES (90, 'MINE', 10, "
         "10, 14)"},
        {"another enterprise's rights", "UPDATE TBL_ROLES SET SECURITY = X'FF' WHERE COUNTER = 20"},
        {"his role moved out", "UPDATE TBL_ROLES SET C_ENTERPRISE = 11 WHERE COUNTER = 10"},
        {"another enterprise's role deleted", "DELETE FROM TBL_ROLES WHERE COUNTER = 20"},
        {"another enterprise's modules", "INSERT INTO TBL_ROLEMODULES (C_ROLE, C_MODULE) VALUES (20, 10)"},
        {"another enterprise's modules taken", "DELETE FROM TBL_ROLEMODULES WHERE C_ROLE = 20"},
        {"a facility of another enterprise",
         "INSERT INTO TBL_USERFACILITYACCESS (C_USER, C_FACILITY, ACCESS_TYPE) VALUES (11, 20, 'MGR')"},
        {"another enterprise's facility access", "DELETE FROM TBL_USERFACILITYACCESS WHERE C_USER = 14"},
        {"the library a resource loads", "UPDATE TBL_BIN SET FILE_NAME = 'evil.so' WHERE COUNTER = 10"},
        {"an enterprise", "INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE) VALUES (90, 'MINE')"},
        {"another enterprise's alias taken", "UPDATE TBL_DBALIASES SET C_ENTERPRISE = 10 WHERE COUNTER = 20"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Manager.Refusal(c.Sql), kRefused) << c.Desc;

    // Nothing of it stuck: ADMIN signs in with his own password, ROOT not at all.
    EXPECT_EQ(Admin.Rows("SELECT USER_ID, USER_TYPE, C_ENTERPRISE, FULL_NAME FROM TBL_USERS "
                         "WHERE COUNTER IN (2, 10, 11, 14, 16) OR USER_ID = 'ROOT' ORDER BY COUNTER"),
              (std::vector<std::string>{"ADMIN|SYS|1|System Manager", "MANAGER|MGR|10|Helen Brooks",
                                        "NURSE|USR|10|Tom Ward", "STRANGER|USR|11|Sam Far",
                                        "LOCALSYS|SYS|10|Lo Sys"}));
    EXPECT_EQ(Admin.Rows("SELECT COUNT(*) FROM TBL_USERDBACCESS WHERE C_USER IN (10, 11, 14) OR C_ROLE = 20"),
              (std::vector<std::string>{"4"}));
    EXPECT_EQ(Admin.Rows(
                  "SELECT COUNT(*) FROM TBL_ROLES WHERE COUNTER = 90 OR (COUNTER = 20 AND SECURITY IS NULL)"),
              (std::vector<std::string>{"1"}));
    EXPECT_EQ(Admin.Rows("SELECT FILE_NAME FROM TBL_BIN WHERE COUNTER = 10"),
              (std::vector<std::string>{"care.so"}));
    EXPECT_EQ(Admin.Rows("SELECT COUNT(*) FROM TBL_ENTERPRISES WHERE COUNTER = 90"),
              (std::vector<std::string>{"0"}));
    EXPECT_EQ(SignInError(Server, "ADMIN", "taken").Code, 2001);
    EXPECT_EQ(SignInError(Server, "ROOT", "root").Code, 2001);
    EXPECT_EQ(SignInError(Server, "ADMIN", "admin"), TServerError{});
}

TEST_F(ServerManagerRights, WritesWhatHisFormsWriteForTheUsersHeManages)
{
    struct Case
    {
        const char* Desc;
        const char* Sql;
        int Rows;
    } cases[] = {
        {"a managed user edited",
         "UPDATE TBL_USERS SET FULL_NAME = 'Tom A. Ward', USER_PASSWORD = 'NURSE2', USER_TYPE = 'MGR', "
         "DEFINE_ROLE = 'T' WHERE COUNTER = 11",
         1},
        {"his own password", "UPDATE TBL_USERS SET USER_PASSWORD = 'manager2' WHERE COUNTER = 10", 1},
        {"another manager of his enterprise", "UPDATE TBL_USERS SET EMAIL = 'p@h.org' WHERE COUNTER = 13", 1},
        {"a user added",
         "INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, "
         "CREATED_BY) "
         "VALUES (91, 'NEWBIE', 'NEW1', 'New Bie', 'USR', 10, 'MANAGER')",
         1},
        {"a role of his enterprise",
         "INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, C_USER, CURRENT_USE) "
         "VALUES (92, 'COOK', 10, 11, 1, 'T')",
         1},
        {"its rights", "UPDATE TBL_ROLES SET SECURITY = X'0040' WHERE COUNTER = 92", 1},
        {"its modules", "INSERT INTO TBL_ROLEMODULES VALUES(92,10)", 1},
        {"an override role of a managed user",
         "INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, C_USER, PARENT_ROLE, CURRENT_USE) "
         "VALUES (93, 'NURSE', 10, 10, 91, 11, 'T')",
         1},
        {"its access row", "INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (91, 93)", 1},
        {"a facility", "INSERT INTO TBL_USERFACILITYACCESS VALUES (91, 10,'USR')", 1},
        {"a role changed on an access row", "UPDATE TBL_USERDBACCESS SET C_ROLE = 10 WHERE C_USER = 12", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ServerErrorOf([&] { EXPECT_EQ(Manager.System.ExecSQL(c.Sql), c.Rows) << c.Desc; }),
                  TServerError{})
            << c.Desc;
    // The user editor reads back what it wrote, the password included.
    EXPECT_EQ(
        Manager.Rows(
            "SELECT USER_PASSWORD, USER_TYPE FROM TBL_USERS WHERE COUNTER IN (11, 91) ORDER BY COUNTER"),
        (std::vector<std::string>{"NURSE2|MGR", "NEW1|USR"}));

    // The user editor's deletion of a managed user, his mail included.
    EXPECT_EQ(Manager.System.ExecBatch("DELETE FROM TBL_ROLEMODULES\r\nWHERE C_ROLE IN (\r\n"
                                       "SELECT COUNTER FROM TBL_ROLES WHERE C_USER = 12\r\n);\r\n"
                                       "DELETE FROM TBL_USERDBACCESS WHERE C_USER = 12;\r\n"
                                       "DELETE FROM TBL_USERFACILITYACCESS WHERE C_USER = 12;\r\n"
                                       "DELETE FROM TBL_ROLES WHERE C_USER = 12;\r\n"
                                       "DELETE FROM TBL_MAIL WHERE C_USER_FROM = 12;\r\n"
                                       "DELETE FROM TBL_MAIL WHERE C_USER_TO = 12;",
                                       true),
              4)
        << "an access row, a message sent and two received";
    EXPECT_EQ(Manager.System.ExecSQL("DELETE FROM TBL_USERS WHERE COUNTER = 12"), 1);
    EXPECT_EQ(Admin.Rows("SELECT COUNT(*) FROM TBL_MAIL WHERE C_USER_TO = 12 OR C_USER_FROM = 12"),
              (std::vector<std::string>{"0"}));
    EXPECT_EQ(Admin.Rows("SELECT COUNT(*) FROM TBL_MAIL"), (std::vector<std::string>{"5"}));

    // The role dialog's deletion of a role of his enterprise.
    EXPECT_EQ(Manager.System.ExecSQL("DELETE FROM TBL_ROLEMODULES WHERE C_ROLE = 92"), 1);
    EXPECT_EQ(Manager.System.ExecSQL("DELETE FROM TBL_ROLES WHERE COUNTER = 92"), 1);
    EXPECT_EQ(Manager.System.ExecSQL("UPDATE TBL_ROLES SET PARENT_ROLE = NULL WHERE PARENT_ROLE = 92"), 0);
}

// --- Plain users ------------------------------------------------------------------------------

TEST(ServerUserRights, AUserChangesNoAdministratorsTable)
{
    TAppServerProcess server{{}, kScopeSql};
    TUserSession nurse{server, "NURSE", "nurse"};
    TUserSession admin{server, "ADMIN", "admin"};
    const char* const refused[] = {
        "INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE) VALUES (90, 'MINE')",
        "UPDATE TBL_ENTERPRISES SET ENTERPRISE = 'MINE' WHERE COUNTER = 10",
        "UPDATE TBL_MODULES SET MODULE = 'Mine' WHERE COUNTER = 10",
        "UPDATE TBL_BIN SET FILE_NAME = 'evil.so' WHERE COUNTER = 10",
        "INSERT INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES (90, 10, 'evil.so', 'L64')",
        "UPDATE TBL_DBALIASES SET C_ENTERPRISE = 11 WHERE COUNTER = 10",
        "UPDATE TBL_CONNECTIONS SET USER_IP = '10.0.0.1'",
        "DELETE FROM TBL_CONNECTIONS",
        "UPDATE TBL_FACILITIES SET C_ENTERPRISE = 11",
        "UPDATE TBL_MENU SET C_RESOURCE = 10",
        "UPDATE TBL_RESOURCES SET FILE_NAME = 'evil.dll'",
        "INSERT INTO TBL_UPDATES (COUNTER, UPDATE_ID) VALUES (90, 'MINE')",
    };
    for (const char* sql : refused)
        EXPECT_EQ(nurse.Refusal(sql), kRefused) << sql;
    // Reading them stays.
    EXPECT_EQ(nurse.Rows("SELECT FILE_NAME FROM TBL_BIN WHERE COUNTER = 10"),
              (std::vector<std::string>{"care.so"}));
    EXPECT_EQ(nurse.Rows("SELECT ENTERPRISE FROM TBL_ENTERPRISES WHERE COUNTER = 10"),
              (std::vector<std::string>{"HARBOUR"}));
    EXPECT_EQ(admin.Rows("SELECT COUNT(*) FROM TBL_CONNECTIONS"), (std::vector<std::string>{"2"}));
    EXPECT_EQ(admin.Rows("SELECT C_ENTERPRISE FROM TBL_DBALIASES WHERE COUNTER = 10"),
              (std::vector<std::string>{"10"}));
    // A system manager keeps them.
    EXPECT_EQ(admin.System.ExecSQL("UPDATE TBL_BIN SET FILE_NAME = 'care2.so' WHERE COUNTER = 10"), 1);
}

// A sequence set back would make every later insert of its table fail on
// the key: users and managers only advance sequences, through NEXTVAL.
TEST(ServerUserRights, SequencesOnlyAdvance)
{
    TAppServerProcess server{{}, kScopeSql};
    TUserSession nurse{server, "NURSE", "nurse"};
    TUserSession manager{server, "MANAGER", "manager"};
    TUserSession admin{server, "ADMIN", "admin"};
    const auto last = [&] {
        return admin.Rows("SELECT LAST_NUMBER FROM OVN_SEQUENCES WHERE SEQUENCE_NAME = 'SEQ_USERS'");
    };
    const std::vector<std::string> before = last();
    ASSERT_EQ(before.size(), 1u);
    const char* const refused[] = {
        "UPDATE OVN_SEQUENCES SET LAST_NUMBER = 0",
        "DELETE FROM OVN_SEQUENCES",
        "INSERT INTO OVN_SEQUENCES (SEQUENCE_NAME, LAST_NUMBER) VALUES ('SEQ_MINE', 0)",
    };
    for (TUserSession* user : {&nurse, &manager})
        for (const char* sql : refused)
            EXPECT_EQ(user->Refusal(sql), kRefused) << sql;
    EXPECT_EQ(last(), before);
    // NEXTVAL still advances it for both.
    const std::vector<std::string> next = nurse.Rows("SELECT SEQ_USERS.NEXTVAL FROM DUAL");
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(std::stoll(next[0]), std::stoll(before[0]) + 1);
    EXPECT_EQ(manager.Rows("SELECT SEQ_USERS.NEXTVAL FROM DUAL"),
              (std::vector<std::string>{std::to_string(std::stoll(before[0]) + 2)}));
    EXPECT_EQ(admin.System.ExecSQL("UPDATE OVN_SEQUENCES SET LAST_NUMBER = LAST_NUMBER WHERE SEQUENCE_NAME = 'SEQ_USERS'"), 1);
}

// --- Mail -------------------------------------------------------------------------------------

class ServerMailRows : public ::testing::Test
{
  protected:
    TAppServerProcess Server{{}, kScopeSql};
    TUserSession Nurse{Server, "NURSE", "nurse"};
    TUserSession Admin{Server, "ADMIN", "admin"};
    std::vector<std::string> AllMail() { return Admin.Rows("SELECT COUNTER FROM TBL_MAIL ORDER BY COUNTER"); }
};

TEST_F(ServerMailRows, AUserSeesItsOwnMailTheBoardAndWhatItSent)
{
    const std::vector<std::string> seen = {"60", "61", "62", "66"};
    EXPECT_EQ(Nurse.Rows("SELECT COUNTER FROM TBL_MAIL ORDER BY COUNTER"), seen);
    // The mailbox's own statements.
    EXPECT_EQ(
        Nurse.Rows(
            "SELECT TM.COUNTER, TU.USER_ID FROM TBL_MAIL TM LEFT OUTER JOIN TBL_USERS TU ON "
            "TM.C_USER_FROM = TU.COUNTER LEFT OUTER JOIN TBL_ENTERPRISES TE ON TU.C_ENTERPRISE = "
            "TE.COUNTER WHERE (TM.MAIL_TYPE <> 'HID') AND (TM.C_USER_TO IN (1, 11)) ORDER BY TM.COUNTER"),
        (std::vector<std::string>{"60|ADMIN", "61|ADMIN", "66|NURSE"}));
    EXPECT_EQ(
        Nurse.Rows("SELECT COUNTER FROM TBL_MAIL TM WHERE (TM.MAIL_TYPE <> 'HID') AND (TM.C_USER_FROM = 11) "
                   "ORDER BY COUNTER"),
        (std::vector<std::string>{"62", "66"}));
    EXPECT_EQ(Nurse.Rows("SELECT ATTACHMENT,FILE_NAME FROM TBL_MAIL WHERE COUNTER = 65"),
              std::vector<std::string>{})
        << "another user's message reads as deleted";
    // Every way of naming the table ends at the same rows, or is refused.
    struct Case
    {
        const char* Desc;
        const char* Sql;
        std::vector<std::string> Rows;
    } cases[] = {
        {"a count", "SELECT COUNT(*) FROM TBL_MAIL", {"4"}},
        {"a count in a sub-select", "SELECT (SELECT COUNT(*) FROM TBL_MAIL) FROM DUAL", {"4"}},
        {"quoted", "SELECT COUNT(*) FROM \"TBL_MAIL\"", {"4"}},
        {"a text standing for the name", "SELECT COUNT(*) FROM 'TBL_MAIL'", {"4"}},
        {"lower case, with a qualified column", "SELECT COUNT(tbl_mail.COUNTER) FROM tbl_mail", {"4"}},
        {"a common table expression", "WITH M AS (SELECT * FROM TBL_MAIL) SELECT COUNT(*) FROM M", {"4"}},
        {"an exists",
         "SELECT COUNT(*) FROM TBL_USERS U WHERE EXISTS (SELECT 1 FROM TBL_MAIL WHERE C_USER_FROM = "
         "U.COUNTER)",
         {"2"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Nurse.Rows(c.Sql), c.Rows) << c.Desc;
    for (const char* sql :
         {"SELECT COUNT(*) FROM main.TBL_MAIL", "SELECT COUNT(*) FROM \"main\".\"TBL_MAIL\"",
          "SELECT SUBJECT FROM main.TBL_MAIL WHERE COUNTER = 65"})
        EXPECT_EQ(Nurse.Refusal(sql), kRefused) << sql;
    for (const char* sql : {"SELECT * FROM OVN_MAIL_DELETABLE", "SELECT * FROM 'OVN_MAIL_VISIBLE'"})
        EXPECT_EQ(Nurse.Refusal(sql), "ORA-00942: table or view does not exist") << sql;
    // A system manager keeps every row.
    EXPECT_EQ(AllMail().size(), 8u);
}

TEST_F(ServerMailRows, AUserMarksItsMailReadAndDeletesOnlyWhatIsItsToDelete)
{
    // Read marks by COUNTER, as the mailbox sends them.
    EXPECT_EQ(Nurse.System.ExecSQL("UPDATE TBL_MAIL SET HAS_BEEN_READ = 'T' WHERE COUNTER = 61"), 1);
    EXPECT_EQ(Nurse.System.ExecSQL("UPDATE TBL_MAIL SET HAS_BEEN_READ = 'T' WHERE COUNTER = 60"), 1);
    EXPECT_EQ(Nurse.System.ExecSQL("UPDATE TBL_MAIL SET HAS_BEEN_READ = 'T' WHERE COUNTER = 65"), 0)
        << "a row it does not see";
    EXPECT_EQ(Nurse.System.ExecSQL("UPDATE TBL_MAIL SET HAS_BEEN_READ = 'T'"), 4);
    for (const char* sql :
         {"UPDATE TBL_MAIL SET SUBJECT = 'Changed' WHERE COUNTER = 61",
          "UPDATE TBL_MAIL SET C_USER_FROM = 11 WHERE COUNTER = 60",
          "UPDATE TBL_MAIL SET C_USER_TO = 11 WHERE COUNTER = 62",
          "UPDATE main.TBL_MAIL SET HAS_BEEN_READ = 'T' WHERE COUNTER = 65",
          "INSERT INTO TBL_MAIL (COUNTER, SUBJECT, C_USER_TO, C_USER_FROM) VALUES (90, 'Fake', 10, 2)",
          "INSERT INTO TBL_MAIL (COUNTER, SUBJECT, C_USER_TO, C_USER_FROM) VALUES (90, 'Mine', 10, 11)",
          "DELETE FROM main.TBL_MAIL WHERE COUNTER = 65"})
        EXPECT_EQ(Nurse.Refusal(sql), kRefused) << sql;
    EXPECT_EQ(
        Admin.Rows("SELECT COUNTER, HAS_BEEN_READ, SUBJECT FROM TBL_MAIL WHERE COUNTER IN (60, 61, 65) "
                   "ORDER BY COUNTER"),
        (std::vector<std::string>{"60|T|Board from ADMIN", "61|T|ADMIN to NURSE", "65|F|STRANGER to BOSS"}));

    // Deletes: its own inbox row, a row it sent, a board row it sent; not
    // another user's mail, nor ADMIN's board row.
    struct Case
    {
        const char* Desc;
        int Counter;
        int Rows;
    } cases[] = {{"another user's mail", 65, 0},
                 {"ADMIN's board message", 60, 0},
                 {"its own mail", 61, 1},
                 {"a message it sent", 62, 1},
                 {"a board message it sent", 66, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(Nurse.System.ExecSQL("DELETE FROM TBL_MAIL WHERE COUNTER = " + std::to_string(c.Counter)),
                  c.Rows)
            << c.Desc;
    EXPECT_EQ(AllMail(), (std::vector<std::string>{"60", "63", "64", "65", "67"}));
    EXPECT_EQ(Nurse.System.ExecSQL("DELETE FROM TBL_MAIL"), 0) << "nothing left of its own";
    EXPECT_EQ(AllMail().size(), 5u);
}

TEST_F(ServerMailRows, MailIsSentThroughTheSystemPlugInAsTheSessionsUser)
{
    // SEND_MAIL on the system database, as the compose window sends it.
    Nurse.CallSystem("Nembra.PluginExecute", "SEND_MAIL",
                     {{"To", "URL"}, {"Recepients", "CAROL@HARBOUR"}, {"Subject", "Shift"}}, true);
    EXPECT_EQ(Admin.Rows("SELECT C_USER_TO, C_USER_FROM, SUBJECT FROM TBL_MAIL WHERE SUBJECT = 'Shift'"),
              (std::vector<std::string>{"12|11|Shift"}));
    EXPECT_EQ(Nurse.Rows("SELECT COUNT(*) FROM TBL_MAIL WHERE SUBJECT = 'Shift'"),
              (std::vector<std::string>{"1"}))
        << "it sees what it sent";
}

TEST_F(ServerMailRows, AManagerDeletesTheMailOfTheUsersHeManagesButReadsOnlyHisOwn)
{
    TUserSession manager{Server, "MANAGER", "manager"};
    EXPECT_EQ(manager.Rows("SELECT COUNTER FROM TBL_MAIL ORDER BY COUNTER"),
              (std::vector<std::string>{"60", "64", "66"}));
    EXPECT_EQ(manager.System.ExecSQL("DELETE FROM TBL_MAIL WHERE C_USER_FROM = 14"), 0)
        << "another enterprise's";
    EXPECT_EQ(manager.System.ExecSQL("DELETE FROM TBL_MAIL WHERE C_USER_FROM = 2"), 2)
        << "ADMIN's mail to him and to his users, not ADMIN's board message";
    EXPECT_EQ(manager.System.ExecSQL("DELETE FROM TBL_MAIL WHERE C_USER_TO = 12"), 2);
    EXPECT_EQ(AllMail(), (std::vector<std::string>{"60", "63", "65", "66"}));
}

} // namespace
