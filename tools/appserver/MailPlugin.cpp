// The system plug-in PLG_SYSTEM's SEND_MAIL: in-product mail between users,
// rows of TBL_MAIL in the system database.
//
// Parameters: To (the addressing: "URL", "ROL" or "BOR"), Recepients (for
// "URL": "USER_ID@ENTERPRISE" entries separated by ", "), Counter (for
// "ROL": the role's counter), Subject, Message (blob, the text), Attachment
// (blob, null for none) and FileName.
// - "URL": each entry must name a current user of a current enterprise;
// - "ROL": every current user holding the role (TBL_USERDBACCESS);
// - "BOR": one board row with C_USER_TO 1, which every mailbox shows.
// Rows get MAIL_TYPE = To, the server's time, HAS_BEEN_READ 'F' and the
// session's user as C_USER_FROM, all in one transaction: an unknown
// recipient or type is an error and nothing is stored. The rows are written
// on the caller's connection, in its transaction, as the server's own work:
// a client's SQL adds no mail. Afterwards every
// recipient's notification links ("user_id" = the user's counter) get
// "$check_mail <counter>"; a board message goes to every current user.
#include "AppServer.h"
#include "PluginProcedures.h"
#include "Sessions.h"
#include "TextCase.h"
#include "Wire.h"

#include <algorithm>
#include <set>

namespace {

const TSqlValue& Value(const TPluginContext& context, const char* name)
{
    static const TSqlValue none;
    const TSqlParam* p = FindParam(context.Params, name);
    return p ? p->Value : none;
}

std::string TrimBlanks(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

TSqlParam Named(const char* name, TSqlValue value)
{
    TSqlParam p;
    p.Name = name;
    p.Value = std::move(value);
    return p;
}

[[noreturn]] void Refuse(const std::string& text)
{
    throw Wire::EProcedureError(Wire::ErrGeneral, text);
}

std::vector<int64_t> Counters(TDataConnection& db, const std::string& sql, const TSqlParams& params)
{
    TResultSet rows;
    db.ExecuteAsServer(sql, params, &rows);
    std::vector<int64_t> counters;
    for (const auto& row : rows.Rows)
        if (!row.empty() && row[0].Type == TSqlValue::vtInteger)
            counters.push_back(row[0].Int);
    return counters;
}

// The users an "URL" list names, in the order given, each once.
std::vector<int64_t> ListedUsers(TDataConnection& db, const std::string& list)
{
    std::vector<int64_t> users;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        const std::string entry = TrimBlanks(list.substr(start, comma - start));
        start = comma + 1;
        if (entry.empty())
            continue;
        const size_t at = entry.find('@');
        if (at == std::string::npos)
            Refuse("Unknown recipient \"" + entry + "\": a recipient is written USER_ID@ENTERPRISE.");
        const std::vector<int64_t> found =
            Counters(db,
                     "SELECT TU.COUNTER FROM TBL_USERS TU, TBL_ENTERPRISES TE "
                     "WHERE TU.C_ENTERPRISE = TE.COUNTER AND TU.CURRENT_USE = 'T' AND TE.CURRENT_USE = 'T' "
                     "AND TU.USER_ID = :USER_ID AND TE.ENTERPRISE = :ENTERPRISE",
                     {Named("USER_ID", TSqlValue::FromText(TrimBlanks(entry.substr(0, at)))),
                      Named("ENTERPRISE", TSqlValue::FromText(TrimBlanks(entry.substr(at + 1))))});
        if (found.empty())
            Refuse("Unknown recipient \"" + entry + "\".");
        if (std::find(users.begin(), users.end(), found.front()) == users.end())
            users.push_back(found.front());
    }
    if (users.empty())
        Refuse("No recipient was given.");
    return users;
}

std::vector<int64_t> RoleUsers(TDataConnection& db, const TSqlValue& counter)
{
    if (counter.Type != TSqlValue::vtInteger || counter.Int < 1)
        Refuse("No role was given.");
    const TSqlParams params = {Named("C_ROLE", TSqlValue::Integer(counter.Int))};
    if (Counters(db, "SELECT COUNTER FROM TBL_ROLES WHERE COUNTER = :C_ROLE AND CURRENT_USE = 'T'", params)
            .empty())
        Refuse("Unknown role " + std::to_string(counter.Int) + ".");
    std::vector<int64_t> users = Counters(db,
                                          "SELECT DISTINCT TU.COUNTER FROM TBL_USERDBACCESS UA, TBL_USERS TU "
                                          "WHERE UA.C_USER = TU.COUNTER AND TU.CURRENT_USE = 'T' "
                                          "AND UA.C_ROLE = :C_ROLE ORDER BY TU.COUNTER",
                                          params);
    if (users.empty())
        Refuse("No current user holds role " + std::to_string(counter.Int) + ".");
    return users;
}

void SendMail(TPluginContext& context)
{
    const TSession& session = context.Call.RequireSession();
    TDataConnection& db = context.Database();
    if (UpperText(db.Alias()) != "SYSTEM")
        Refuse("SEND_MAIL runs on the system database.");
    const std::string type = Value(context, "To").AsText();

    const bool own = !db.InTransaction();
    if (own)
        db.StartTransaction();
    std::vector<int64_t> recipients; // the rows' C_USER_TO
    std::vector<int64_t> notified;
    try {
        if (type == "URL") {
            recipients = ListedUsers(db, Value(context, "Recepients").AsText());
            notified = recipients;
        } else if (type == "ROL") {
            recipients = RoleUsers(db, Value(context, "Counter"));
            notified = recipients;
        } else if (type == "BOR") {
            recipients = {1};
            notified =
                Counters(db, "SELECT COUNTER FROM TBL_USERS WHERE CURRENT_USE = 'T' ORDER BY COUNTER", {});
        } else {
            Refuse("Unknown recipient type \"" + type + "\".");
        }
        const TSqlValue& message = Value(context, "Message");
        const TSqlValue& attachment = Value(context, "Attachment");
        const TSqlValue& fileName = Value(context, "FileName");
        for (int64_t to : recipients) {
            db.ExecuteAsServer(
                "INSERT INTO TBL_MAIL (COUNTER, MAIL_TYPE, DATE_TIME_SENT, SUBJECT, MSG, HAS_BEEN_READ, "
                "C_USER_TO, C_USER_FROM, FILE_NAME, ATTACHMENT) VALUES (SEQ_MAIL.NEXTVAL, :MAIL_TYPE, "
                "SYSDATE, :SUBJECT, :MSG, 'F', :C_USER_TO, :C_USER_FROM, :FILE_NAME, :ATTACHMENT)",
                {Named("MAIL_TYPE", TSqlValue::FromText(type)), Named("SUBJECT", Value(context, "Subject")),
                 Named("MSG", message.IsNull() ? TSqlValue::Null() : TSqlValue::FromText(message.Text)),
                 Named("C_USER_TO", TSqlValue::Integer(to)),
                 Named("C_USER_FROM", TSqlValue::Integer(session.UserCounter)),
                 Named("FILE_NAME",
                       fileName.IsNull() ? TSqlValue::Null() : TSqlValue::FromText(fileName.AsText())),
                 Named("ATTACHMENT",
                       attachment.IsNull() ? TSqlValue::Null() : TSqlValue::FromBlob(attachment.Text))});
        }
        if (own)
            db.Commit();
    } catch (...) {
        if (own)
            db.Rollback();
        throw;
    }
    for (int64_t user : notified)
        context.Call.Server().Relay("$check_mail " + std::to_string(user), "user_id", std::to_string(user));
}

} // namespace

void RegisterMailPluginMethods()
{
    TPluginProcedure send;
    send.Name = "SEND_MAIL";
    send.Params = {DeclareParam("To", FieldType::String, ParamType::Input),
                   DeclareParam("Recepients", FieldType::String, ParamType::Input),
                   DeclareParam("Counter", FieldType::Integer, ParamType::Input),
                   DeclareParam("Subject", FieldType::String, ParamType::Input),
                   DeclareParam("Message", FieldType::Blob, ParamType::Input),
                   DeclareParam("Attachment", FieldType::Blob, ParamType::Input),
                   DeclareParam("FileName", FieldType::String, ParamType::Input)};
    send.Execute = SendMail;
    RegisterPluginProcedure("PLG_SYSTEM", send);
}
