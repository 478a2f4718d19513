// The system plug-in PLG_SYSTEM's DatabaseLogin (Alias): the signed-in
// user's role on the database and what it may use:
// - Security (the role's bytes), C_Role, Role (its ROLE_ID);
// - Modules: the text of a JSON object of the column arrays C_MODULE,
//   DESCRIPTION, RESOURCE_NAME and FILE_NAME: the role's live modules, or
//   every live module for a "SYS" user;
// - GM_Modules: the alias's preset group layout (SRV_MODULE_GROUP_PRESETS);
// - GM_User: the user's own layout, from the alias's TBL_USERMODULEGROUP;
// - GM_Groups: empty.
// A user without access to the alias gets the error of Nembra.Connect.
#include "AppServer.h"
#include "PluginProcedures.h"
#include "Procedures.h"
#include "Sessions.h"
#include "TextCase.h"
#include "Wire.h"


namespace {

void SetOutput(TPluginContext& context, const char* name, TSqlValue value)
{
    if (TSqlParam* p = FindParam(context.Params, name))
        p->Value = std::move(value);
}

// The user's layout on the alias's own database; none when it holds no row.
std::string UserLayout(TPluginContext& context, const TSession& session, const std::string& alias)
{
    const auto db =
        context.Call.Server().Databases().Open(session.Id, alias, TSqlUser{session.UserCounter, session.UserType});
    std::string layout;
    try {
        auto lock = db->Lock();
        TSqlParam user = DeclareParam("UserID", FieldType::String, ParamType::Input);
        user.Value = TSqlValue::FromText(session.UserId);
        TResultSet rows;
        // User IDs sign in without regard to case; the client stores the
        // layout under the ID of the user's row.
        db->Execute("SELECT MODULES FROM TBL_USERMODULEGROUP WHERE UPPER(USER_ID) = UPPER(:UserID)", {user}, &rows);
        if (!rows.Rows.empty() && !rows.Rows[0].empty() && !rows.Rows[0][0].IsNull())
            layout = rows.Rows[0][0].Text;
    } catch (...) {
        context.Call.Server().Databases().CloseDatabase(db->Handle(), session.Id);
        throw;
    }
    context.Call.Server().Databases().CloseDatabase(db->Handle(), session.Id);
    return layout;
}

void DatabaseLogin(TPluginContext& context)
{
    const TSession& session = context.Call.RequireSession();
    const TSqlParam* aliasParam = FindParam(context.Params, "Alias");
    const std::string alias = aliasParam ? aliasParam->Value.AsText() : std::string();
    TDatabase& system = context.Call.Server().Database();
    CheckAliasAccess(system, session, alias);

    std::string modules;
    std::string preset;
    {
        auto lock = system.Lock();
        auto role = system.Prepare(
            "SELECT R.COUNTER, R.ROLE_ID, R.SECURITY FROM TBL_USERDBACCESS UA JOIN TBL_ROLES R ON UA.C_ROLE = R.COUNTER "
            "JOIN TBL_DBALIASES A ON R.C_ALIAS = A.COUNTER WHERE UA.C_USER = ? AND UPPER(A.ALIAS) = UPPER(?) "
            "AND R.CURRENT_USE = 'T' ORDER BY R.COUNTER LIMIT 1");
        role->Bind(1, session.UserCounter).Bind(2, alias);
        int64_t roleCounter = 0;
        if (role->Step()) {
            roleCounter = role->Int(0);
            SetOutput(context, "C_Role", TSqlValue::Integer(roleCounter));
            SetOutput(context, "Role", TSqlValue::FromText(role->Text(1)));
            SetOutput(context, "Security",
                      role->IsNull(2) ? TSqlValue::Null() : TSqlValue::FromBlob(role->Text(2)));
        }
        const bool all = session.UserType == "SYS";
        auto rows = system.Prepare(
            std::string("SELECT M.COUNTER AS C_MODULE, M.MODULE AS DESCRIPTION, R.RESOURCE_NAME, R.FILE_NAME "
                        "FROM TBL_MODULES M LEFT JOIN SRV_MODULE_RESOURCES MR ON MR.C_MODULE = M.COUNTER "
                        "LEFT JOIN TBL_RESOURCES R ON R.COUNTER = MR.C_RESOURCE WHERE M.CURRENT_USE = 'T' ") +
            (all ? "" : "AND M.COUNTER IN (SELECT C_MODULE FROM TBL_ROLEMODULES WHERE C_ROLE = ?) ") +
            "ORDER BY M.COUNTER");
        if (!all)
            rows->Bind(1, roleCounter);
        rapidjson::StringBuffer buffer;
        TJsonWriter json(buffer);
        Wire::WriteColumns(json, *rows);
        modules = buffer.GetString();

        auto presets = system.Prepare("SELECT MODULES FROM SRV_MODULE_GROUP_PRESETS WHERE UPPER(ALIAS) = UPPER(?)");
        presets->Bind(1, alias);
        if (presets->Step() && !presets->IsNull(0))
            preset = presets->Text(0);
    }
    SetOutput(context, "Modules", TSqlValue::FromText(modules));
    SetOutput(context, "GM_Modules", TSqlValue::FromText(preset));
    SetOutput(context, "GM_User", TSqlValue::FromText(UserLayout(context, session, alias)));
    SetOutput(context, "GM_Groups", TSqlValue::FromText(""));
}

} // namespace

void RegisterModulePluginMethods()
{
    TPluginProcedure login;
    login.Name = "DatabaseLogin";
    login.Params = {DeclareParam("Alias", FieldType::String, ParamType::Input),
                    DeclareParam("Security", FieldType::Blob, ParamType::Output),
                    DeclareParam("C_Role", FieldType::Integer, ParamType::Output),
                    DeclareParam("Role", FieldType::String, ParamType::Output),
                    DeclareParam("Modules", FieldType::Memo, ParamType::Output),
                    DeclareParam("GM_Groups", FieldType::Memo, ParamType::Output),
                    DeclareParam("GM_Modules", FieldType::Memo, ParamType::Output),
                    DeclareParam("GM_User", FieldType::Memo, ParamType::Output)};
    login.Execute = DatabaseLogin;
    RegisterPluginProcedure("PLG_SYSTEM", login);
}
