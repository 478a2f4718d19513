#pragma once
// The client's connection list pointed at the local application server
// (support/AppServerProcess.h) alone, for tests that sign in through the
// main window's sign-in dialog by connection name.

#include "Components/Nembra/ovnControllerUtils.h"

#include <string>

// Leaves `List` with one entry, the default: `Name` at the server's port on
// 127.0.0.1.
inline void UseOnlyLocalServer(TovnConnections& List, int Port, const std::string& Name)
{
    List.Clear();
    TovnConnectionItem* local = List.Add();
    local->SetConnection(Name);
    local->SetURL("http://127.0.0.1:" + std::to_string(Port));
    local->SetDefault(true);
}
