// The system plug-in PLG_SYSTEM's UploadLog: a client's log archive with
// LogDate (the last day), LogDays, LogType ("zip") and Log (the archive's
// bytes). The server keeps each upload in SRV_LOG_UPLOADS with the user of
// the session (sql/logs.sql); an upload without a session is refused (1005).
#include "AppServer.h"
#include "PluginProcedures.h"
#include "Sessions.h"

namespace {

const TSqlValue& Value(const TPluginContext& context, const char* name)
{
    static const TSqlValue none;
    const TSqlParam* p = FindParam(context.Params, name);
    return p ? p->Value : none;
}

void UploadLog(TPluginContext& context)
{
    const TSession& session = context.Call.RequireSession();
    TDatabase& db = context.Call.Server().Database();
    auto lock = db.Lock();
    auto statement = db.Prepare("INSERT INTO SRV_LOG_UPLOADS (USER_ID, LOG_DATE, LOG_DAYS, LOG_TYPE, LOG) "
                                "VALUES (?, ?, ?, ?, ?)");
    statement->Bind(1, session.UserId);
    const TSqlValue& date = Value(context, "LogDate");
    date.IsNull() ? statement->BindNull(2) : statement->Bind(2, date.AsText());
    const TSqlValue& days = Value(context, "LogDays");
    if (days.Type == TSqlValue::vtInteger)
        statement->Bind(3, days.Int);
    else if (days.Type == TSqlValue::vtFloat)
        statement->Bind(3, static_cast<int64_t>(days.Float));
    else
        statement->BindNull(3);
    statement->Bind(4, Value(context, "LogType").AsText());
    // An empty archive still is an archive: its bytes are kept as sent.
    statement->BindBlob(5, Value(context, "Log").Text);
    statement->Run();
}

} // namespace

void RegisterLogPluginMethods()
{
    TPluginProcedure upload;
    upload.Name = "UploadLog";
    upload.Params = {DeclareParam("LogDate", FieldType::Date, ParamType::Input),
                     DeclareParam("LogDays", FieldType::Integer, ParamType::Input),
                     DeclareParam("LogType", FieldType::String, ParamType::Input),
                     DeclareParam("Log", FieldType::Blob, ParamType::Input)};
    upload.Execute = UploadLog;
    RegisterPluginProcedure("PLG_SYSTEM", upload);
}
