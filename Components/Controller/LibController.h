#pragma once
// One-call SQL against the data database ("DATA") for applet libraries and
// the client's own notification, shift and main-window code: a query with
// positional values, one value, one statement, and a parameter from a
// variant. Errors that the suite's procedures raise for the user
// ("ORA-20001:<text>$END$...") reach the user as that text alone.
// Main thread only.
//
// The routines live in the namespace LibController: the server client has
// an AssignParamFromVariant of its own with other rules for Null.

#include "Components/Nembra/ovnOndrel.h"
#include "platform/Params.h"
#include "platform/Variants.h"

#include <string>
#include <vector>

namespace LibController {

// Closes Query (a new one on "DATA" without owner when null: the caller
// owns it), clears its parameters and gives it SQL as its text in use,
// deriving no parameters from it.
TovnOndrelQuery* CreateQuery(const std::string& SQL, TovnOndrelQuery* Query = nullptr);
// The same, then one parameter per ":Name" of SQL, in order, parameter i
// taking Values[i] (AssignParamFromVariant). Values beyond the parameters
// are ignored; fewer values than parameters raise EDatabaseError naming
// both counts (a query made here is freed first).
TovnOndrelQuery* CreateQuery(const std::string& SQL, const std::vector<Variant>& Values,
                             TovnOndrelQuery* Query = nullptr);
// The first field of the first row; Null when there is no row. Errors of
// the opening reach the caller unchanged.
Variant LookupValue(const std::string& SQL, const std::vector<Variant>& Values = {});
// Executes the statement; any error is raised again as EDatabaseError with
// its message cut by CutServerMessage.
void ExecuteSQL(const std::string& SQL, const std::vector<Variant>& Values = {});
// Sets the parameter by its data type: integers, Boolean, floats and BCD,
// dates and times as such; blobs and memos the text as bytes; every other
// type (ftUnknown and ftCurrency too) the text, Null an empty text. A name
// holding "_BLOB_" (upper-cased) makes it a blob first.
void AssignParamFromVariant(TParam* Param, const Variant& Value);

// The part of a server message meant for the user: the text between
// "ORA-20001:" and a later "$END$", untrimmed; the whole message otherwise.
std::string CutServerMessage(const std::string& Message);

} // namespace LibController
