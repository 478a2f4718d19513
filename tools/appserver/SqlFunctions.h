#pragma once
// The Oracle functions and server functions the client's statements call,
// registered on every database connection the server opens:
//
//   TO_DATE(text [, format])        the date as "yyyy-mm-dd hh:nn:ss" (how the server keeps
//                                   dates); format elements YYYY MM DD HH24 HH MI SS with any
//                                   separators, in either case ('yyyy-mm-dd hh24:mi:ss' and
//                                   'YYYY-MM-DD HH24:MI:SS'); a text that stops after the
//                                   date is midnight; errors are Oracle's ORA-018nn texts
//   TO_NUMBER(value)                a number, or ORA-01722
//   OVN_NEXTVAL(seq), OVN_CURRVAL   the sequences of the table OVN_SEQUENCES (ORA-02289 for
//                                   an unknown one, ORA-08002 for CURRVAL before NEXTVAL)
//   OVN_AUTOCOUNTER(table)          the next value of the table's sequence: "SEQ_" followed by
//                                   the table name without its first four characters
//   RAISE_APPLICATION_ERROR(code, text)   fails the statement with "ORA-<code>: <text>",
//                                   for triggers of the seed schema
//   OVN_CONCAT(a, ...)              Oracle's ||: NULL operands add nothing; NULL when all are
//   OVN_CAST_TO_RAW(text)           the text's bytes as a blob
//   OVN_SYSDATE()                   the local time as "yyyy-mm-dd hh:nn:ss"
//   GET_ADT_RESIDENT_IN_GROUP(group, resident)  'T' when the resident is in the resident
//                                   group (table TBL_RESIDENTGROUPDETAIL), else 'F'
//
// Date texts: what the server stores in DATE columns and binds for date
// parameters is always "yyyy-mm-dd hh:nn:ss", so dates compare as texts.

#include <optional>
#include <string>

struct sqlite3;

void RegisterSqlFunctions(sqlite3* db);

// True while this thread's OVN_NEXTVAL advances a sequence: the only write
// of OVN_SEQUENCES a client's statement may cause (ClientRights).
bool AdvancingSequence();

// A date text in the form the server keeps, from an Oracle date text and
// format; raises EOracleError.
std::string OracleToDate(const std::string& text, const std::string& format);
// "yyyy-mm-dd" and "yyyy-mm-dd hh:nn[:ss]" to "yyyy-mm-dd hh:nn:ss"; nothing
// for any other text.
std::optional<std::string> NormalizeDateText(const std::string& text);
