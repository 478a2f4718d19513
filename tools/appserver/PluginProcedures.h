#pragma once
// Server plug-ins: named groups of procedures written in C++, reached
// through Nembra.PluginGetParams, PluginFetch, PluginExecute and
// PluginDataChanged with PluginName and ProcedureName. A procedure may need
// the call's database or run without one (the client then sends no
// DBHandle). Plug-ins are registered at start (RegisterPlugin); names match
// without regard to case.
//
// A procedure with DataChanged takes the edits of the rows it fetched: the
// client names the cursor (Handle) instead of the procedure, so such a
// cursor stays after its last page until the client closes it.

#include "ServerDatabases.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCall;

// What a plug-in procedure works with.
struct TPluginContext
{
    TCall& Call;
    std::shared_ptr<TDataConnection> Db; // null without a DBHandle
    TSqlParams Params;                   // the declared ones, with the client's values
    TSqlParams FetchParams;              // DataChanged: the parameters of the fetch of the rows
    std::string Warning;                 // the reply's "Warning"

    // The database; raises when the call has none.
    TDataConnection& Database();
};

enum TPluginChange
{
    pcInsert = 0,
    pcUpdate = 1,
    pcDelete = 2
};

struct TPluginProcedure
{
    std::string Name;
    TSqlParams Params; // declared, values NULL
    // Fills the rows (PluginFetch) and output parameters; may set a warning.
    std::function<void(TPluginContext& context, TResultSet& rows)> Fetch;
    // Sets output parameters (PluginExecute); may set a warning.
    std::function<void(TPluginContext& context)> Execute;
    // Applies one edit of a fetched row; answers the rows changed.
    std::function<int64_t(TPluginContext& context, TPluginChange change, const TSqlParams& oldValues,
                          const TSqlParams& newValues)>
        DataChanged;
};

struct TPlugin
{
    std::string Name;
    std::vector<TPluginProcedure> Procedures;
};

// Adds or replaces a plug-in.
void RegisterPlugin(TPlugin plugin);
// Adds (or replaces) one procedure of a plug-in, making the plug-in when it
// does not exist yet: units that serve procedures of a shared plug-in
// (PLG_SYSTEM) register theirs apart.
void RegisterPluginProcedure(const std::string& pluginName, TPluginProcedure procedure);
