#pragma once
// Stored procedures of the local server: written in C++, run on the
// database of the call, registered by name (without regard to case).
//
// A procedure declares its parameters (name, field type, parameter type);
// the client's values are matched to them by name, inputs it did not send
// are NULL. Run may fill the rows of a result set (when `rows` is given, for
// Nembra.StoredProcFetch) and sets the values of output parameters.

#include "ServerDatabases.h"

#include <functional>
#include <string>
#include <vector>

struct TStoredProcedure
{
    std::string Name;
    TSqlParams Params; // declared, values NULL
    std::function<void(TDataConnection& db, TSqlParams& params, TResultSet* rows)> Run;
};

// Adds or replaces a procedure.
void RegisterStoredProcedure(TStoredProcedure procedure);
// The procedure of that name; raises the Oracle error of an undeclared one.
const TStoredProcedure& FindStoredProcedure(const std::string& name);

// The declared parameters with the client's values (by name).
TSqlParams BindDeclaredParams(const TSqlParams& declared, const TSqlParams& sent);
