#include "OracleErrors.h"
#include "TextCase.h"

#include "SqlDialect.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

namespace {


bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

// What follows `prefix` in SQLite's message, e.g. "TBL_USERS.USER_ID".
std::string After(const std::string& message, const std::string& prefix)
{
    const size_t at = message.find(prefix);
    return at == std::string::npos ? std::string() : message.substr(at + prefix.size());
}

} // namespace

TSqlStatementKind StatementKind(const std::string& sql)
{
    for (const TSqlToken& t : TokenizeSql(sql)) {
        if (t.Kind != TSqlToken::tkWord)
            continue;
        const std::string word = UpperText(t.Text);
        if (word == "SELECT" || word == "WITH")
            return skSelect;
        if (word == "INSERT")
            return skInsert;
        if (word == "UPDATE")
            return skUpdate;
        if (word == "DELETE")
            return skDelete;
        return skOther;
    }
    return skOther;
}

std::string OracleErrorText(sqlite3* db, TSqlStatementKind kind, const std::string& schema)
{
    const std::string message = sqlite3_errmsg(db);
    if (StartsWith(message, "ORA-"))
        return message;
    const int code = sqlite3_extended_errcode(db);
    switch (code) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return "ORA-00001: unique constraint (" + schema + "." + After(message, "failed: ") + ") violated";
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        if (kind == skDelete)
            return "ORA-02292: integrity constraint (" + schema + ".FK) violated - child record found";
        return "ORA-02291: integrity constraint (" + schema + ".FK) violated - parent key not found";
    case SQLITE_CONSTRAINT_NOTNULL: {
        const std::string column = After(message, "failed: ");
        const size_t dot = column.find('.');
        const std::string quoted = "\"" + schema + "\".\"" + column.substr(0, dot) + "\".\"" +
                                   (dot == std::string::npos ? std::string() : column.substr(dot + 1)) + "\"";
        if (kind == skUpdate)
            return "ORA-01407: cannot update (" + quoted + ") to NULL";
        return "ORA-01400: cannot insert NULL into (" + quoted + ")";
    }
    case SQLITE_CONSTRAINT_CHECK:
        return "ORA-02290: check constraint (" + schema + "." + After(message, "failed: ") + ") violated";
    default:
        break;
    }
    if (StartsWith(message, "no such table: ") || StartsWith(message, "no such view: "))
        return "ORA-00942: table or view does not exist";
    if (StartsWith(message, "no such column: "))
        return "ORA-00904: \"" + UpperText(After(message, "no such column: ")) + "\": invalid identifier";
    if (StartsWith(message, "no such function: "))
        return "ORA-00904: \"" + UpperText(After(message, "no such function: ")) + "\": invalid identifier";
    if (StartsWith(message, "cannot modify ") && message.find("because it is a view") != std::string::npos)
        return "ORA-01732: data manipulation operation not legal on this view";
    if (message.find("syntax error") != std::string::npos || StartsWith(message, "incomplete input"))
        return "ORA-00900: invalid SQL statement (" + message + ")";
    return "ORA-00604: error occurred at recursive SQL level 1 (" + message + ")";
}
