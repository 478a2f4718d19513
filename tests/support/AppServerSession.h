#pragma once
// A session on the local application server (support/AppServerProcess.h) for
// tests of remote datasets: a connection signed in as the server's ADMIN
// account, and server databases by alias on it.

#include "Components/Nembra/NembraDBDataSets.h"
#include "support/AppServerProcess.h"

#include <string>

// Registers `connection` as `name` and signs it in as ADMIN (ending any
// other session of that user).
inline void SignInAsAdmin(TNembraConnection& connection, const TAppServerProcess& server, const std::string& name)
{
    connection.SetConnectionName(name);
    connection.SetServerURL(server.ServerURL());
    connection.SetAuthentication(qauthBasic);
    connection.Params().Add("USER_ID=ADMIN");
    connection.Params().Add("FORCE=True");
    connection.GenerateRandomSecretKey();
    connection.Open();
}

// Registers `database` as `name` for the alias on the named connection (opened on first use).
inline void NameDatabase(TNembraDatabase& database, const std::string& name, const std::string& alias,
                         const std::string& connectionName)
{
    database.SetDatabaseName(name);
    database.SetConnectionName(connectionName);
    database.Params().Add("DB_ALIAS=" + alias);
}
