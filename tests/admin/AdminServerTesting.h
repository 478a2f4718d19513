#pragma once
// A session on the local application server for the administration forms:
// the demo-like rows below, a connection signed in as a chosen user and its
// system database, and the administration context over them.

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AdminContext.h"
#include "platform/DBGrids.h"
#include "platform/DataSet.h"
#include "platform/DataSetModel.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "ui/Lookup.h"

#include <QPushButton>

#include <sqlite3.h>

#include <memory>
#include <string>

inline const char* const kAdminSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, CURRENT_USE, REQUIRE_SECURE_PASSWORD) VALUES
  (20, 'OAK CARE', 'T', 'F'), (21, 'ELM CARE', 'T', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES
  (20, 'OAK', 'Oak home', 20, 'T'), (21, 'PINE', 'Pine home', 20, 'T');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, DESCRIPTION, C_ENTERPRISE, C_ALIAS, C_USER, SECURITY, CURRENT_USE) VALUES
  (20, 'NURSE', 'Nurses', 20, 20, 1, X'0040C0', 'T'),
  (21, 'SENIOR', 'Senior nurses', 20, 20, 1, X'00C0C0E0', 'T'),
  (22, 'CLERK', 'Clerks', 20, 21, 1, NULL, 'T'),
  (23, 'DOOMED', 'A role to delete', 20, 21, 1, NULL, 'T'),
  (24, 'DOOMED', 'Override of DOOMED', 20, 21, 26, NULL, 'T');
UPDATE TBL_ROLES SET PARENT_ROLE = 23 WHERE COUNTER = 24;
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FIRST_NAME, LAST_NAME, FULL_NAME, USER_TYPE, C_ENTERPRISE,
                       FACILITY_ACCESS_FLAG, CREATED_BY, DEFINE_ROLE, DEFINE_FACILITY_ACCESS, DEFINE_DB_ACCESS) VALUES
  (20, 'OAKMGR', 'mgr', 'Olive', 'Oak', 'Olive Oak', 'MGR', 20, 'I', 'ADMIN', 'T', 'T', 'T'),
  (21, 'OAKNURSE', 'nurse', 'Nora', 'Oak', 'Nora Oak', 'USR', 20, 'I', 'OAKMGR', 'F', 'F', 'F'),
  (22, 'OAKAIDE', 'aide', 'Al', 'Oak', 'Al Oak', 'USR', 20, 'A', 'ADMIN', 'F', 'F', 'F'),
  (23, 'OTHERMGR', 'other', 'Otto', 'Oak', 'Otto Oak', 'MGR', 20, 'I', 'SOMEONE', 'F', 'F', 'F'),
  (24, 'ELMUSER', 'elm', 'Ed', 'Elm', 'Ed Elm', 'USR', 21, 'I', 'ADMIN', 'F', 'F', 'F'),
  (25, 'STUCK', 'stuck', 'Stu', 'Oak', 'Stu Oak', 'USR', 20, 'I', 'ADMIN', 'F', 'F', 'F'),
  (26, 'GONE', 'gone', 'Gus', 'Oak', 'Gus Oak', 'USR', 20, 'I', 'ADMIN', 'F', 'F', 'F'),
  (27, 'FLAGGED', 'flagged', 'Fay', 'Oak', 'Fay Oak', 'USR', 20, 'I', 'ADMIN', 'F', 'F', 'F'),
  (28, 'LONER', 'loner', 'Lou', 'Oak', 'Lou Oak', 'USR', 20, 'I', 'ADMIN', 'F', 'F', 'F');
INSERT INTO TBL_FACILITIES (COUNTER, FACILITY, DESCRIPTION, C_ENTERPRISE) VALUES
  (20, 'OAK NORTH', 'North wing', 20), (21, 'OAK SOUTH', 'South wing', 20), (22, 'ELM ONE', 'Elm', 21);
INSERT INTO TBL_USERFACILITYACCESS (C_USER, C_FACILITY, ACCESS_TYPE) VALUES
  (20, 20, 'MGR'), (21, 20, 'USR'), (23, 21, 'MGR'), (25, 20, 'USR'), (26, 20, 'USR'), (27, 20, 'USR'),
  (27, 21, 'USR');
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (20, 20), (21, 20), (26, 24), (25, 20);
INSERT INTO TBL_MAIL (COUNTER, SUBJECT, C_USER_TO, C_USER_FROM) VALUES (20, 'Hello', 26, 2), (21, 'Re', 2, 26),
  (22, 'Stuck', 25, 2);
INSERT INTO TBL_MODULES (COUNTER, MODULE, DESCRIPTION) VALUES (30, 'Oak Module', 'Oak'), (31, 'Pine Module', 'Pine');
INSERT INTO TBL_ROLEMODULES (C_ROLE, C_MODULE) VALUES (23, 30), (24, 30), (24, 31);
INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, DESCRIPTION, SECURITY_INDEX, ATTRIBUTE1, ATTRIBUTE2) VALUES
  (130, 'OAK_ONE', 'Oak One', 1, 'Print', NULL), (131, 'OAK_TWO', 'Oak Two', 2, NULL, 'Export'),
  (132, 'PINE_ONE', 'Pine One', 3, NULL, NULL), (133, 'ICON_PNG', 'icon', NULL, NULL, NULL),
  (134, 'ICON_BMP', 'icon', NULL, NULL, NULL), (135, 'ICON_BAD', 'icon', NULL, NULL, NULL);
INSERT INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE, C_ICON_RESOURCE) VALUES
  (30, 30, 0, 100, 'Oak', NULL, 133), (31, 30, 1, 101, NULL, 130, 134), (32, 30, 2, 102, 'Oak Two Item', 131, 135),
  (33, 31, 0, 103, 'Pine', NULL, NULL), (34, 31, 1, 104, NULL, 132, NULL);
INSERT INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES
  (133, 133, 'icon.png', 'L64'), (134, 134, 'icon.bmp', 'L64'), (135, 135, 'icon.txt', 'L64');
CREATE TRIGGER TRG_TEST_KEEP_STUCK BEFORE DELETE ON TBL_USERS WHEN OLD.COUNTER = 25
BEGIN
  SELECT RAISE(ABORT, 'ORA-20002: STUCK stays');
END;
)";

// A number the server's database holds (first column of the first row; -1 for none).
inline long long ServerNumber(const std::string& DatabaseFile, const std::string& Sql)
{
    sqlite3* db = nullptr;
    long long value = -1;
    if (sqlite3_open_v2(DatabaseFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, Sql.c_str(), -1, &statement, nullptr);
        if (statement && sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
            value = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return value;
}

inline std::string ServerText(const std::string& DatabaseFile, const std::string& Sql)
{
    sqlite3* db = nullptr;
    std::string text = "<null>";
    if (sqlite3_open_v2(DatabaseFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, Sql.c_str(), -1, &statement, nullptr);
        if (statement && sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
            text.assign(static_cast<const char*>(sqlite3_column_blob(statement, 0)),
                        static_cast<size_t>(sqlite3_column_bytes(statement, 0)));
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return text;
}

// Bytes as upper-case hexadecimal digits, two a byte (a role's SECURITY).
inline std::string Hex(const std::string& Bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : Bytes)
        text += std::string{digits[c >> 4], digits[c & 15]};
    return text;
}

// Picks the role ROLE_ID in the next lookup dialog and confirms it; the
// flag tells whether the dialog showed.
inline std::shared_ptr<bool> PickRole(const std::string& Role)
{
    return WhenModal<TfrmLookup>([Role](TfrmLookup& w) {
        for (int row = 0; row < w.GridModel->rowCount(); ++row) {
            w.Grid->setCurrentIndex(w.GridModel->index(row, 0));
            if (w.DS->DataSet()->FieldByName("ROLE_ID")->AsString() == Role)
                break;
        }
        w.btnOk->click();
    });
}

// One signed-in session and its system database.
class TAdminSession
{
  public:
    // Agent: the client's agent text the sign-in sends (none when empty).
    TAdminSession(const TAppServerProcess& Server, const std::string& User, const std::string& Password,
                  const std::string& Name, const std::string& Agent = "")
    {
        m_connection.SetConnectionName(Name);
        m_connection.SetServerURL(Server.ServerURL());
        m_connection.SetAuthentication(qauthBasic);
        m_connection.Params().Add("USER_ID=" + User);
        m_connection.Params().Add("USER_PWD=" + Password);
        m_connection.Params().Add("FORCE=True");
        if (!Agent.empty())
            m_connection.Params().Add("AGENT=" + Agent);
        m_connection.Open();
        m_db.SetDatabaseName(Name + "SYS");
        m_db.SetConnectionName(Name);
        m_db.SetServerOS("LIN");
        m_db.Params().SetText("DB_ALIAS=SYSTEM");
        m_db.Open();
    }
    TNembraDatabase& DB() { return m_db; }
    TAdminContext Context(const TAdministrator& Admin)
    {
        TAdminContext context;
        context.Admin = Admin;
        context.SysDB = &m_db;
        context.OS = ovnOS();
        context.AutoCounter = [this](const std::string& Table) {
            TovnOndrelQuery query;
            query.SetDatabase(&m_db);
            query.SetUseSQL(true);
            query.SQL().SetText("select SEQ_" + Table.substr(4) + ".nextval from dual");
            query.Open();
            return query.Fields().Fields(0)->AsInteger();
        };
        return context;
    }

  private:
    TNembraConnection m_connection;
    TNembraDatabase m_db;
};

inline TAdministrator SysAdmin()
{
    TAdministrator admin;
    admin.UserType = "SYS";
    admin.ID = "ADMIN";
    admin.Counter = 2;
    admin.C_Enterprise = 1;
    admin.Enterprise = "GLOBAL ENTERPRISE";
    admin.FacilityAccessFlag = "A";
    admin.DefineRole = admin.DefineFacilityAccess = admin.DefineDBAccess = "T";
    return admin;
}

inline TAdministrator OakManager()
{
    TAdministrator admin;
    admin.UserType = "MGR";
    admin.ID = "OAKMGR";
    admin.Counter = 20;
    admin.C_Enterprise = 20;
    admin.Enterprise = "OAK CARE";
    admin.FacilityAccessFlag = "I";
    admin.DefineRole = admin.DefineFacilityAccess = admin.DefineDBAccess = "T";
    return admin;
}
