// The local server's reading of what clients send: SQL in the Oracle
// dialect and parameter objects, from arbitrary bytes.
// - The rewrite either answers a text or refuses with an Oracle error text
//   ("ORA-..."); it never fails otherwise. A statement without any of the
//   dialect's words and without "||" comes back unchanged.
// - Splitting a script, the statement kind and the quoted names never fail
//   on a text the tokenizer accepts.
// - A parameter object either reads or raises the procedure error.
// - TO_DATE of "text|format" answers the server's date form
//   ("yyyy-mm-dd hh:nn:ss") or an Oracle error text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "OracleErrors.h"
#include "ServerValues.h"
#include "SqlDialect.h"
#include "SqlFunctions.h"

namespace {

bool IsOracleText(const char* what)
{
    return std::string(what).rfind("ORA-", 0) == 0;
}

void Rewrite(const std::string& sql)
{
    std::string rewritten;
    try {
        rewritten = RewriteOracleSql(sql);
    } catch (const EOracleError& e) {
        if (!IsOracleText(e.what()))
            std::abort();
        return;
    }
    // Without lower case (so without other spellings of the words below),
    // "||" and the dialect's words, the text passes as it is.
    bool plain = sql.find('|') == std::string::npos &&
                 sql.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
    for (const char* word : {"DUAL", "NEXTVAL", "CURRVAL", "NVL", "ROWNUM", "SYSDATE", "MINUS", "UTL_RAW"})
        plain = plain && sql.find(word) == std::string::npos;
    if (plain && rewritten != sql)
        std::abort();
    SplitSqlScript(sql);
    StatementKind(sql);
    QuotedNames(sql);
}

void Params(const std::string& json)
{
    try {
        const TSqlParams params = ParseParams(json);
        rapidjson::StringBuffer buffer;
        TJsonWriter writer(buffer);
        WriteParams(writer, params);
    } catch (const Wire::EProcedureError&) {
    }
}

void Date(const std::string& input)
{
    const size_t bar = input.find('|');
    if (bar == std::string::npos)
        return;
    try {
        const std::string date = OracleToDate(input.substr(0, bar), input.substr(bar + 1));
        if (date.size() != 19 || NormalizeDateText(date) != date)
            std::abort();
    } catch (const EOracleError& e) {
        if (!IsOracleText(e.what()))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    Rewrite(input);
    Params(input);
    Date(input);
    return 0;
}
