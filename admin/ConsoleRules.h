#pragma once
// The rules of the database explorer's consoles, kept apart from their
// widgets so that tests drive them directly: which SQL text opens as a
// query, the log texts of a run, CSV quoting, the parameter grid's texts and
// typed values, and the console actions' states.
//
// Main thread only (no shared state).

#include "platform/DBTypes.h"

#include <optional>
#include <string>
#include <vector>

class TParam;
class TParams;

// --- Running SQL

// Raised when an SQL console runs without a database.
inline constexpr const char* SUnknownDatabase = "Unknown database";

// Whether a console text opens as a query: never as a script; otherwise when
// the text, trimmed, starts with "SELECT" in any case. Every other text (a
// WITH clause too) runs as a statement and reports the rows it changed.
bool IsQueryText(const std::string& sqlText, bool script);

// The rows and columns an open result holds, for the log.
struct TFetchedCount
{
    int Rows = 0;
    int Columns = 0;
};

// The log lines of a successful SQL run: "SQL Executed:" CR LF two blanks
// and the timing text (ProfilingToString), then "Fetched %d rows in %d
// columns" for an open query or "Rows affected: %d" for a statement or
// script. Each entry is one line as the log memo adds it (the timing text
// holds line breaks of its own).
std::vector<std::string> SQLExecutedLog(const std::string& profilingText,
                                        const std::optional<TFetchedCount>& fetched, int rowsAffected);
// "SQL Executed with errors:" and the error message.
std::vector<std::string> SQLFailedLog(const std::string& errorMessage);
// The same for a parameter console of kind text `kind` ("StoredProc",
// "Plugin"): "%s executed:" CR LF two blanks and the timing text, then the
// fetched count for an open dataset; "%s executed with errors:" and the
// message.
std::vector<std::string> ProcExecutedLog(const std::string& kind, const std::string& profilingText,
                                         const std::optional<TFetchedCount>& fetched);
std::vector<std::string> ProcFailedLog(const std::string& kind, const std::string& errorMessage);

// --- CSV

// A value in double quotes with each double quote inside doubled; an empty
// value is two double quotes.
std::string CSVQuote(const std::string& value);
// The values quoted and separated by commas.
std::string CSVLine(const std::vector<std::string>& values);

// --- Parameter grid

// "Unknown", "Input", "Output", "InputOutput", "Result".
std::string ParamTypeText(TParamType type);
// Output and result values are answers of the server: read-only.
bool ParamValueReadOnly(TParamType type);
// A procedure returns rows unless some parameter is output, input-output or
// result; then running executes it instead of opening it.
bool ParamsReturnRows(const TParams& params);
// The value as the grid shows it (empty for NULL).
std::string ParamValueText(const TParam& param);
// Stores a typed text by the parameter's data type: string, memo,
// fixed-char and wide-string as text; small, integer, word and large
// integers through integer conversion; float and currency through float
// conversion; BCD through currency conversion; formatted BCD through BCD
// conversion; boolean, date, time and date-time through their conversions;
// anything else as a text value. A text that does not convert raises the
// conversion's error (EConvertError) and leaves the value as it was. The
// data type stays what the procedure declared.
void SetParamValueText(TParam& param, const std::string& text);

// --- Console actions

// What the explorer knows about its current console when it updates the
// console actions.
struct TConsoleActionInputs
{
    bool HasConsole = false;   // any console page is current
    bool IsSQLConsole = false; // the current console is an SQL console
    bool CanRun = false;       // the current console says it can run
    bool Fixed = false;        // the current console may not be closed
    bool DataSetOpen = false;  // the current console's dataset is open
    int HistoryPosition = -1;  // the current SQL console's history position
    int HistoryCount = 0;      // the number of its history entries
};

struct TConsoleActionStates
{
    bool Execute = false;      // "Execute SQL"
    bool FetchAll = false;     // "Execute SQL and Fetch All"
    bool Script = false;       // "Execute SQL Script"
    bool ShowBlobs = false;    // "Show BLOBs"
    bool ExportCSV = false;    // "Export to CSV"
    bool LoadSQL = false;      // "Load SQL"
    bool SaveSQL = false;      // "Save SQL"
    bool ShowSQLInfo = false;  // "Show SQL Info"
    bool CloseConsole = false; // "Close SQL console"
    bool PreviousSQL = false;  // "Previous SQL"
    bool NextSQL = false;      // "Next SQL"
};

TConsoleActionStates ConsoleActionStates(const TConsoleActionInputs& in);
