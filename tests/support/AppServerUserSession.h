#pragma once
// A user signed in to the local application server (support/AppServerProcess.h)
// with its system database, for the tests of what the server lets each
// user do: the rows a statement answers, the refusal of one, and the calls
// of the system plug-in PLG_SYSTEM.

#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"

#include "support/AppServerSession.h"
#include "support/NembraErrorOf.h"

#include "platform/Params.h"

#include <string>
#include <utility>
#include <vector>

struct TUserSession
{
    // Signs in (ending the user's other session) as connection "CONN_<user>"
    // and opens the system database, and the data database of DataAlias
    // when one is named.
    TUserSession(const TAppServerProcess& server, const std::string& user, const std::string& password,
                 const std::string& dataAlias = "")
    {
        const std::string name = "CONN_" + user;
        Connection.SetConnectionName(name);
        Connection.SetServerURL(server.ServerURL());
        Connection.SetAuthentication(qauthBasic);
        Connection.Params().Add("USER_ID=" + user);
        Connection.Params().Add("USER_PWD=" + password);
        Connection.Params().Add("FORCE=True");
        Connection.GenerateRandomSecretKey();
        Connection.Open();
        NameDatabase(System, "SYS_" + user, "SYSTEM", name);
        System.Open();
        if (!dataAlias.empty()) {
            NameDatabase(Data, "DATA_" + user, dataAlias, name);
            Data.Open();
        }
    }

    // Every row of a statement, its values joined by '|' (NULL as "<null>").
    std::vector<std::string> Rows(const std::string& sql)
    {
        TNembraQuery q;
        q.SetName("qryRights");
        q.SetDatabaseName(System.DatabaseName());
        q.SetUseSQL(true);
        q.SQL().SetText(sql);
        q.Open();
        std::vector<std::string> rows;
        for (q.First(); !q.Eof(); q.Next()) {
            std::string row;
            for (int i = 0; i < q.FieldCount(); ++i)
                row += (i ? "|" : "") +
                       (q.Fields()[i]->IsNull() ? std::string("<null>") : q.Fields()[i]->AsString());
            rows.push_back(row);
        }
        return rows;
    }

    // The message of the server's refusal of a statement ('' when it ran).
    std::string Refusal(const std::string& sql)
    {
        return ServerErrorOf([&] { System.ExecSQL(sql); }).Message;
    }

    // A procedure of PLG_SYSTEM (Nembra.PluginFetch or Nembra.PluginExecute)
    // with text inputs, on the system database when OnSystem; the request,
    // to read its reply.
    std::unique_ptr<TNembraRequest> CallSystem(const std::string& call, const std::string& method,
                                               const std::vector<std::pair<std::string, std::string>>& inputs,
                                               bool onSystem = false)
    {
        TParams params;
        for (const auto& [name, value] : inputs)
            params.CreateParam(ftString, name, ptInput)->SetValue(Variant(value));
        auto request = Connection.GetNembraRequest();
        request->SetProcedureName(call);
        request->SetParam("PluginName", Variant(std::string("PLG_SYSTEM")));
        request->SetParam("ProcedureName", Variant(method));
        request->SetParam("Params", Variant(ParamsToJSON(params, {ptInput})));
        if (onSystem)
            request->SetParam("DBHandle", Variant(System.DBHandle()));
        request->Execute();
        return request;
    }

    // A column of the rows a PLG_SYSTEM fetch answers ("<null>" for NULL).
    std::vector<std::string> SystemColumn(const std::string& method,
                                          const std::vector<std::pair<std::string, std::string>>& inputs,
                                          const std::string& column)
    {
        auto request = CallSystem("Nembra.PluginFetch", method, inputs);
        const TJSONArray& values =
            request->GetJSONObject().GetValues("data").GetAsObject().GetValues(column).GetAsArray();
        std::vector<std::string> texts;
        for (int i = 0; i < values.Count(); ++i)
            texts.push_back(values.GetValue(i).GetIsNull() ? "<null>" : values.GetValue(i).GetAsString());
        return texts;
    }

    TNembraConnection Connection;
    TNembraDatabase System;
    TNembraDatabase Data;
};
