// The resource methods of the system plug-in PLG_SYSTEM, over the server's
// TBL_RESOURCES, TBL_BIN (a file per platform tag) and SRV_RESOURCE_TYPES:
// - GetResourceFileName (RESOURCE_NAME, OS): one row with FILE_NAME: the
//   file for that platform when TBL_BIN has one, else the resource's own;
//   no row for an unknown resource.
// - GetResources (OS, RESOURCE_TYPE): rows of RESOURCE_NAME and FILE_NAME of
//   the resources of that type (the client fetches those of type "PCL" at
//   every sign-in).
// Names and tags match without regard to case. The methods read the
// server's own database, whichever database the call names.
#include "AppServer.h"
#include "PluginProcedures.h"

namespace {

std::string Arg(const TPluginContext& context, const char* name)
{
    const TSqlParam* p = FindParam(context.Params, name);
    return p ? p->Value.AsText() : std::string();
}

TSqlParam Input(const char* name)
{
    TSqlParam p;
    p.Name = name;
    p.DataType = FieldType::String;
    p.ParamType = ParamType::Input;
    return p;
}

void ReadRows(TStatement& statement, TResultSet& rows)
{
    for (int c = 0; c < statement.ColumnCount(); ++c)
        rows.Fields.push_back({statement.ColumnName(c), FieldType::String, 255});
    while (statement.Step()) {
        std::vector<TSqlValue> row;
        for (int c = 0; c < statement.ColumnCount(); ++c)
            row.push_back(statement.IsNull(c) ? TSqlValue::Null() : TSqlValue::FromText(statement.Text(c)));
        rows.Rows.push_back(std::move(row));
    }
}

// The file of a resource: the platform's own from TBL_BIN, else the
// resource's.
constexpr const char* kFileOfResource =
    "COALESCE((SELECT B.FILE_NAME FROM TBL_BIN B WHERE B.C_RESOURCE = R.COUNTER AND UPPER(B.OS) = UPPER(?) "
    "          AND B.FILE_NAME IS NOT NULL ORDER BY B.COUNTER LIMIT 1), R.FILE_NAME)";

void GetResourceFileName(TPluginContext& context, TResultSet& rows)
{
    TDatabase& db = context.Call.Server().Database();
    auto lock = db.Lock();
    auto statement = db.Prepare(std::string("SELECT ") + kFileOfResource +
                                " AS FILE_NAME FROM TBL_RESOURCES R WHERE UPPER(R.RESOURCE_NAME) = UPPER(?) "
                                "ORDER BY R.COUNTER LIMIT 1");
    statement->Bind(1, Arg(context, "OS")).Bind(2, Arg(context, "RESOURCE_NAME"));
    ReadRows(*statement, rows);
}

void GetResources(TPluginContext& context, TResultSet& rows)
{
    TDatabase& db = context.Call.Server().Database();
    auto lock = db.Lock();
    auto statement = db.Prepare(std::string("SELECT R.RESOURCE_NAME, ") + kFileOfResource +
                                " AS FILE_NAME FROM TBL_RESOURCES R JOIN SRV_RESOURCE_TYPES T "
                                "ON T.C_RESOURCE = R.COUNTER WHERE UPPER(T.RESOURCE_TYPE) = UPPER(?) "
                                "ORDER BY R.RESOURCE_NAME");
    statement->Bind(1, Arg(context, "OS")).Bind(2, Arg(context, "RESOURCE_TYPE"));
    ReadRows(*statement, rows);
}

} // namespace

void RegisterResourcePluginMethods()
{
    TPluginProcedure fileName;
    fileName.Name = "GetResourceFileName";
    fileName.Params = {Input("RESOURCE_NAME"), Input("OS")};
    fileName.Fetch = GetResourceFileName;
    TPluginProcedure resources;
    resources.Name = "GetResources";
    resources.Params = {Input("OS"), Input("RESOURCE_TYPE")};
    resources.Fetch = GetResources;
    RegisterPluginProcedure("PLG_SYSTEM", fileName);
    RegisterPluginProcedure("PLG_SYSTEM", resources);
}
