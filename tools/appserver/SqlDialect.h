#pragma once
// The client writes its SQL in the Oracle dialect; the server runs it on
// SQLite. RewriteOracleSql turns the part of the dialect that the client's
// statements use into SQLite and refuses the rest with an Oracle error text,
// so that nothing runs with a meaning it does not have on the suite's server.
//
// Rewritten:
//   <sequence>.NEXTVAL / .CURRVAL (any case)   OVN_NEXTVAL('<sequence>') / OVN_CURRVAL(...)
//   FROM DUAL                                  (dropped: SQLite selects without FROM)
//   NVL(a, b)                                  IFNULL(a, b)
//   a || b || c                                OVN_CONCAT(a, b, c): a NULL operand adds nothing,
//                                              as in Oracle (SQLite would make the whole NULL)
//   ... WHERE <cond> AND ROWNUM <= n           ... WHERE <cond> AND 1 = 1 LIMIT n
//     (also ROWNUM < n and ROWNUM = n, as an AND term of the WHERE clause of a
//     select without ORDER BY, GROUP BY or set operator)
//   SYSDATE                                    OVN_SYSDATE()
//   MINUS                                      EXCEPT
//   UTL_RAW.CAST_TO_RAW(x)                     OVN_CAST_TO_RAW(x)
// Functions that keep their name are registered on every connection
// (SqlFunctions.h): TO_DATE, TO_NUMBER, OVN_AUTOCOUNTER, RAISE_APPLICATION_ERROR...
//
// Refused ("ORA-03001: unimplemented feature: ..."): the (+) outer join
// marker, CONNECT BY / START WITH, MERGE, PL/SQL blocks (BEGIN, DECLARE),
// RETURNING, and ROWNUM anywhere else. A statement that SQLite cannot run
// after the rewrite is reported by SQLite's own error in Oracle form
// (OracleErrors.h).

#include <stdexcept>
#include <string>
#include <vector>

// An Oracle error raised while reading or rewriting a statement; what() is
// the whole "ORA-nnnnn: ..." text.
class EOracleError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

struct TSqlToken
{
    enum TKind
    {
        tkWord,       // identifier or keyword
        tkQuotedName, // "Name"
        tkString,     // 'text' with '' inside
        tkNumber,
        tkParam,      // :Name
        tkOperator,   // || = <> <= >= < > + - * / ! and the like
        tkOpen,
        tkClose,
        tkComma,
        tkDot,
        tkSemicolon,
        tkOther
    };
    TKind Kind = tkOther;
    std::string Text;
    // Blanks and comments before the token, kept so that the rewritten text
    // keeps the statement's layout.
    std::string Space;
};

// Splits a statement into tokens; an unclosed quote or comment raises
// ORA-01756 / ORA-01742. The blanks and comments after the last token go to
// `trailing` when it is given.
std::vector<TSqlToken> TokenizeSql(const std::string& sql, std::string* trailing = nullptr);
std::string JoinSql(const std::vector<TSqlToken>& tokens);

// The statement in SQLite's dialect. Raises EOracleError for what is refused.
std::string RewriteOracleSql(const std::string& sql);

// Splits a script at the semicolons that end its statements (not those in
// quotes or comments); blank statements are dropped.
std::vector<std::string> SplitSqlScript(const std::string& script);

// The names written as quoted identifiers in the statement ("Name"), which
// keep their case in result column names; every other name is Oracle's
// upper case.
std::vector<std::string> QuotedNames(const std::string& sql);
