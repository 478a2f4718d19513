// The local server's reading of the client's Oracle dialect: statements
// rewritten for SQLite, statements refused, the Oracle functions, and the
// parameter objects and texts of the client's JSON convention.
#include "OracleErrors.h"
#include "ServerValues.h"
#include "SqlDialect.h"
#include "SqlFunctions.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <memory>

namespace {

struct TRewriteCase
{
    const char* Desc;
    const char* Oracle;
    const char* SQLite;
};

TEST(SqlDialect, RewritesTheClientsStatements)
{
    const TRewriteCase cases[] = {
        {"plain statement unchanged", "SELECT COUNTER FROM TBL_USERS WHERE USER_ID = :U",
         "SELECT COUNTER FROM TBL_USERS WHERE USER_ID = :U"},
        {"sequence, lower case, from dual", "select SEQ_USERS.nextval from dual", "select OVN_NEXTVAL('SEQ_USERS')"},
        {"sequence, mixed case, in VALUES", "INSERT INTO T VALUES(1, SEQ_Notification.NextVal)",
         "INSERT INTO T VALUES(1, OVN_NEXTVAL('SEQ_Notification'))"},
        {"sequence with schema", "SELECT ORVANE.SEQ_X.CURRVAL FROM DUAL", "SELECT OVN_CURRVAL('SEQ_X')"},
        {"dual before WHERE keeps a blank", "SELECT OVN_AUTOCOUNTER(:TBL) AS TABLE_COUNTER FROM DUAL WHERE 1=1",
         "SELECT OVN_AUTOCOUNTER(:TBL) AS TABLE_COUNTER WHERE 1=1"},
        {"NVL", "NVL(TU.FULL_NAME, '')", "IFNULL(TU.FULL_NAME, '')"},
        {"concatenation chain", "NVL(TU.FULL_NAME, '')||' ['||TU.USER_ID||'@'||TE.ENTERPRISE||']'",
         "OVN_CONCAT(IFNULL(TU.FULL_NAME, ''), ' [', TU.USER_ID, '@', TE.ENTERPRISE, ']')"},
        {"concatenation with parameters", "InStr(';'||:EmployeeGroups||';', ';'||N.C_EmployeeGroup||';') > 0",
         "InStr(OVN_CONCAT(';', :EmployeeGroups, ';'), OVN_CONCAT(';', N.C_EmployeeGroup, ';')) > 0"},
        {"concatenation of a bracket and a CASE", "(A) || CASE WHEN B THEN 'x' END || f(C, D)",
         "OVN_CONCAT((A), CASE WHEN B THEN 'x' END, f(C, D))"},
        {"bars inside a text stay", "SELECT 'a||b' FROM T", "SELECT 'a||b' FROM T"},
        {"ROWNUM = 1 becomes LIMIT 1",
         "SELECT E.COUNTER FROM TBL_EMPLOYEE E WHERE E.OVN_USER_ID = :UserID and E.CURRENT_USE = 'T' AND ROWNUM = 1",
         "SELECT E.COUNTER FROM TBL_EMPLOYEE E WHERE E.OVN_USER_ID = :UserID and E.CURRENT_USE = 'T' AND 1 = 1 LIMIT 1"},
        {"ROWNUM < n in a sub-select", "SELECT * FROM (SELECT A FROM T WHERE ROWNUM < 3)",
         "SELECT * FROM (SELECT A FROM T WHERE 1 = 1 LIMIT 2)"},
        {"ROWNUM = 2 selects nothing", "SELECT A FROM T WHERE ROWNUM = 2", "SELECT A FROM T WHERE 1 = 1 LIMIT 0"},
        {"a limit beyond 64 bits", "SELECT A FROM T WHERE ROWNUM <= 99999999999999999999",
         "SELECT A FROM T WHERE 1 = 1 LIMIT 9223372036854775807"},
        {"SYSDATE", "UPDATE T SET D = SYSDATE", "UPDATE T SET D = OVN_SYSDATE()"},
        {"MINUS", "SELECT A FROM T MINUS SELECT A FROM U", "SELECT A FROM T EXCEPT SELECT A FROM U"},
        {"UTL_RAW.CAST_TO_RAW", "UPDATE TBL_USERMODULEGROUP SET MODULES = utl_raw.cast_to_raw('x') WHERE USER_ID = 'U'",
         "UPDATE TBL_USERMODULEGROUP SET MODULES = OVN_CAST_TO_RAW('x') WHERE USER_ID = 'U'"},
        {"comments and layout kept", "SELECT A -- the key\r\n  FROM T /* all */",
         "SELECT A -- the key\r\n  FROM T /* all */"},
    };
    for (const TRewriteCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(RewriteOracleSql(c.Oracle), c.SQLite);
    }
}

TEST(SqlDialect, RefusesWhatItCannotRunFaithfully)
{
    const TRewriteCase cases[] = {
        {"outer join marker", "SELECT * FROM A, B WHERE A.X = B.X(+)", "(+) outer join marker"},
        {"hierarchical query", "SELECT * FROM T CONNECT BY PRIOR ID = PARENT", "CONNECT BY"},
        {"PL/SQL block", "BEGIN NULL; END;", "PL/SQL block"},
        {"MERGE", "MERGE INTO T USING U ON (T.A = U.A)", "MERGE"},
        {"ROWNUM with ORDER BY", "SELECT A FROM T WHERE ROWNUM <= 5 ORDER BY A", "ROWNUM"},
        {"ROWNUM under OR", "SELECT A FROM T WHERE A = 1 OR ROWNUM = 1", "ROWNUM"},
        {"ROWNUM in the select list", "SELECT ROWNUM, A FROM T", "ROWNUM"},
        {"unclosed text", "SELECT 'abc FROM T", "ORA-01756"},
        {"missing operand", "SELECT 'a' || FROM T", "ORA-00936"},
    };
    for (const TRewriteCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        try {
            RewriteOracleSql(c.Oracle);
            ADD_FAILURE() << "accepted";
        } catch (const EOracleError& e) {
            EXPECT_NE(std::string(e.what()).find(c.SQLite), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).substr(0, 4), "ORA-");
        }
    }
}

TEST(SqlDialect, SplitsScriptsAtTheirSemicolons)
{
    EXPECT_EQ(SplitSqlScript("DELETE FROM A WHERE X = ';';\r\n-- c;\r\nINSERT INTO A VALUES (1);\r\n;  "),
              (std::vector<std::string>{"DELETE FROM A WHERE X = ';'", "INSERT INTO A VALUES (1)"}));
}

struct TDateCase
{
    const char* Desc;
    const char* Text;
    const char* Format;
    const char* Expected; // or the ORA code
};

TEST(SqlFunctions, ToDateReadsBothFormatSpellingsAndRefusesBadDates)
{
    const TDateCase cases[] = {
        {"upper-case format", "2024-01-05 10:30:00", "YYYY-MM-DD HH24:MI:SS", "2024-01-05 10:30:00"},
        {"lower-case format", "2024-01-05 10:30:00", "yyyy-mm-dd hh24:mi:ss", "2024-01-05 10:30:00"},
        {"date without time is midnight", "2024-01-05", "yyyy-mm-dd hh24:mi:ss", "2024-01-05 00:00:00"},
        {"other separators", "05/01/2024", "DD/MM/YYYY", "2024-01-05 00:00:00"},
        {"impossible day", "2024-02-30", "yyyy-mm-dd", "ORA-01847"},
        {"month 13", "2024-13-01", "yyyy-mm-dd", "ORA-01843"},
        {"letters", "20x4-01-01", "yyyy-mm-dd", "ORA-01858"},
        {"text too long", "2024-01-05 10:30:00 extra", "yyyy-mm-dd hh24:mi:ss", "ORA-01830"},
        {"date cut short", "2024-01", "yyyy-mm-dd", "ORA-01840"},
        {"unknown element", "2024-01", "YYYY-MON", "ORA-01821"},
    };
    for (const TDateCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        std::string result;
        try {
            result = OracleToDate(c.Text, c.Format);
        } catch (const EOracleError& e) {
            result = std::string(e.what()).substr(0, 9);
        }
        EXPECT_EQ(result, c.Expected);
    }
}

// A memory database with the server's functions and a sequence.
class TMemoryDb
{
  public:
    TMemoryDb()
    {
        sqlite3_open(":memory:", &m_db);
        RegisterSqlFunctions(m_db);
        Exec("PRAGMA case_sensitive_like = ON;"
             "CREATE TABLE OVN_SEQUENCES (SEQUENCE_NAME TEXT PRIMARY KEY COLLATE NOCASE, LAST_NUMBER INTEGER, "
             "INCREMENT_BY INTEGER DEFAULT 1); INSERT INTO OVN_SEQUENCES VALUES ('SEQ_USERS', 7, 1);"
             "CREATE TABLE T (A INTEGER PRIMARY KEY, B TEXT NOT NULL)");
    }
    ~TMemoryDb() { sqlite3_close(m_db); }
    // The first column of the first row as text, or the statement's error.
    std::string Value(const std::string& oracleSql)
    {
        std::string out;
        sqlite3_stmt* stmt = nullptr;
        try {
            const std::string sql = RewriteOracleSql(oracleSql);
            if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
                return OracleErrorText(m_db, StatementKind(oracleSql), "TEST");
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_ROW)
                out = sqlite3_column_type(stmt, 0) == SQLITE_NULL
                          ? "NULL"
                          : reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            else if (rc != SQLITE_DONE)
                out = OracleErrorText(m_db, StatementKind(oracleSql), "TEST");
        } catch (const EOracleError& e) {
            out = e.what();
        }
        sqlite3_finalize(stmt);
        return out;
    }
    void Exec(const char* sql) { ASSERT_EQ(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr), SQLITE_OK); }

  private:
    sqlite3* m_db = nullptr;
};

TEST(SqlFunctions, OracleFunctionsAndErrorsOnAConnection)
{
    TMemoryDb db;
    const TRewriteCase cases[] = {
        {"NEXTVAL counts on", "select SEQ_USERS.nextval from dual", "8"},
        {"again", "select seq_users.NEXTVAL from dual", "9"},
        {"CURRVAL", "select SEQ_USERS.CURRVAL from dual", "9"},
        {"OVN_AUTOCOUNTER takes the table's sequence", "SELECT OVN_AUTOCOUNTER('TBL_USERS') FROM DUAL", "10"},
        {"unknown sequence", "select SEQ_NONE.nextval from dual", "ORA-02289: sequence does not exist"},
        {"NULL adds nothing to ||", "SELECT 'a' || NULL || 'b' FROM DUAL", "ab"},
        {"NULL || NULL is NULL", "SELECT NULL || NULL FROM DUAL", "NULL"},
        {"TO_NUMBER", "SELECT TO_NUMBER('12.5') FROM DUAL", "12.5"},
        {"TO_NUMBER of a word", "SELECT TO_NUMBER('x') FROM DUAL", "ORA-01722: invalid number"},
        {"LIKE is case-sensitive, as on the suite's server", "SELECT 'Abc' LIKE 'a%' FROM DUAL", "0"},
        {"raised application error", "SELECT RAISE_APPLICATION_ERROR(-20001, ' Nope.$END$') FROM DUAL",
         "ORA-20001:  Nope.$END$\nORA-06512: at line 1"},
        {"unknown table", "SELECT * FROM NOPE", "ORA-00942: table or view does not exist"},
        {"unknown column", "SELECT Z FROM T", "ORA-00904: \"Z\": invalid identifier"},
        {"unknown function", "SELECT DECODE(1, 1, 2) FROM DUAL", "ORA-00904: \"DECODE\": invalid identifier"},
        {"NULL into NOT NULL", "INSERT INTO T (A, B) VALUES (1, NULL)",
         "ORA-01400: cannot insert NULL into (\"TEST\".\"T\".\"B\")"},
    };
    for (const TRewriteCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(db.Value(c.Oracle), c.SQLite);
    }
    db.Exec("INSERT INTO T VALUES (1, 'x')");
    EXPECT_EQ(db.Value("INSERT INTO T VALUES (1, 'y')"), "ORA-00001: unique constraint (TEST.T.A) violated");
    EXPECT_EQ(db.Value("UPDATE T SET B = NULL WHERE A = 1"), "ORA-01407: cannot update (\"TEST\".\"T\".\"B\") to NULL");
}

TEST(ServerValues, ParameterObjectsInTheClientsConvention)
{
    // The client writes CR LF as \n and a lone LF as \r.
    const TSqlParams params = ParseParams(
        R"({"MEMO":{"DataType":16,"ParamType":1,"Value":"a\nb\rc\u000Dd"},)"
        R"("EMPTY":{"DataType":1,"ParamType":1,"Value":""},)"
        R"("N":{"DataType":3,"ParamType":0,"Value":"42"},)"
        R"("F":{"DataType":6,"ParamType":1,"Value":1.5},)"
        R"("D":{"DataType":9,"ParamType":1,"Value":"2024-01-05"},)"
        R"("T":{"DataType":10,"ParamType":1,"Value":"07:30:00"},)"
        R"("B":{"DataType":15,"ParamType":1,"Value":"AAEC"}})");
    ASSERT_EQ(params.size(), 7u);
    EXPECT_EQ(params[0].Value.Text, "a\r\nb\nc\rd");
    EXPECT_TRUE(params[1].Value.IsNull()) << "Oracle keeps no empty texts";
    EXPECT_EQ(params[2].Value.Type, TSqlValue::vtInteger);
    EXPECT_EQ(params[2].Value.Int, 42);
    EXPECT_EQ(params[3].Value.Float, 1.5);
    EXPECT_EQ(params[4].Value.Text, "2024-01-05 00:00:00");
    EXPECT_EQ(params[5].Value.Text, "1899-12-30 07:30:00");
    EXPECT_EQ(params[6].Value.Text, std::string("\x00\x01\x02", 3));
    EXPECT_EQ(Wire::SuiteString("a\r\nb\nc\rd\"\\"), R"("a\nb\rc\u000Dd\"\\")");
    EXPECT_THROW(ParseParams("[1]"), Wire::EProcedureError);
    EXPECT_THROW(ParseParams(R"({"X":{"DataType":15,"Value":"**"}})"), Wire::EProcedureError);
}

TEST(ServerValues, FieldTypesFromDeclaredColumnTypes)
{
    struct TCase
    {
        const char* Declared;
        int DataType;
        int Size;
    } cases[] = {{"VARCHAR2(40)", FieldType::String, 40}, {"TEXT", FieldType::String, 4000},
                 {"INTEGER", FieldType::Integer, 0},      {"NUMBER(12,2)", FieldType::Float, 0},
                 {"NUMBER(12)", FieldType::LargeInt, 0},  {"DATE", FieldType::DateTime, 0},
                 {"CLOB", FieldType::Memo, 0},            {"BLOB", FieldType::Blob, 0}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Declared);
        const TFieldInfo f = FieldFromDeclaredType("X", c.Declared);
        EXPECT_EQ(f.DataType, c.DataType);
        EXPECT_EQ(f.Size, c.Size);
    }
}

} // namespace
