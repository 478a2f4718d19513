#include "admin/ConsoleRules.h"

#include "platform/DateUtils.h"
#include "platform/FMTBcd.h"
#include "platform/Params.h"
#include "platform/SysUtils.h"

#include <cmath>
#include <limits>

bool IsQueryText(const std::string& sqlText, bool script)
{
    if (script)
        return false;
    return UpperCase(Trim(sqlText).substr(0, 6)) == "SELECT";
}

namespace {

std::string FetchedLine(const TFetchedCount& fetched)
{
    return Format("Fetched %d rows in %d columns", fetched.Rows, fetched.Columns);
}

} // namespace

std::vector<std::string> SQLExecutedLog(const std::string& profilingText,
                                        const std::optional<TFetchedCount>& fetched, int rowsAffected)
{
    std::vector<std::string> lines{"SQL Executed:\r\n  " + profilingText};
    if (fetched)
        lines.push_back(FetchedLine(*fetched));
    else
        lines.push_back(Format("Rows affected: %d", rowsAffected));
    return lines;
}

std::vector<std::string> SQLFailedLog(const std::string& errorMessage)
{
    return {"SQL Executed with errors:", errorMessage};
}

std::vector<std::string> ProcExecutedLog(const std::string& kind, const std::string& profilingText,
                                         const std::optional<TFetchedCount>& fetched)
{
    std::vector<std::string> lines{Format("%s executed:", kind) + "\r\n  " + profilingText};
    if (fetched)
        lines.push_back(FetchedLine(*fetched));
    return lines;
}

std::vector<std::string> ProcFailedLog(const std::string& kind, const std::string& errorMessage)
{
    return {Format("%s executed with errors:", kind), errorMessage};
}

std::string CSVQuote(const std::string& value)
{
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string CSVLine(const std::vector<std::string>& values)
{
    std::string line;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            line += ',';
        line += CSVQuote(values[i]);
    }
    return line;
}

std::string ParamTypeText(TParamType type)
{
    switch (type) {
    case ptInput:
        return "Input";
    case ptOutput:
        return "Output";
    case ptInputOutput:
        return "InputOutput";
    case ptResult:
        return "Result";
    case ptUnknown:
        break;
    }
    return "Unknown";
}

bool ParamValueReadOnly(TParamType type)
{
    return type == ptOutput || type == ptResult;
}

bool ParamsReturnRows(const TParams& params)
{
    for (int i = 0; i < params.Count(); ++i) {
        const TParamType type = params.Items(i)->ParamType();
        if (type == ptOutput || type == ptInputOutput || type == ptResult)
            return false;
    }
    return true;
}

std::string ParamValueText(const TParam& param)
{
    return param.AsString();
}

namespace {

// An integer text that must fit the range of the parameter's type; the
// error is the integer conversion's own.
int64_t IntegerInRange(const std::string& text, int64_t low, int64_t high)
{
    const int64_t value = StrToInt64(text);
    if (value < low || value > high)
        throw EConvertError(Format("'%s' is not a valid integer value", text));
    return value;
}

// The library's text to currency: a float text rounded to 4 decimals.
double StrToCurr(const std::string& text)
{
    const double value = StrToFloat(text);
    return std::round(value * 10000.0) / 10000.0;
}

} // namespace

void SetParamValueText(TParam& param, const std::string& text)
{
    const TFieldType declared = param.DataType();
    switch (declared) {
    case ftString:
    case ftFixedChar:
        param.SetAsString(text);
        break;
    case ftMemo:
        param.SetAsMemo(text);
        break;
    case ftWideString:
        param.SetAsWideString(text);
        break;
    case ftSmallint:
        param.SetAsSmallInt(static_cast<int16_t>(IntegerInRange(text, -32768, 32767)));
        break;
    case ftInteger:
        param.SetAsInteger(StrToInt(text));
        break;
    case ftWord:
        param.SetAsWord(static_cast<uint16_t>(IntegerInRange(text, 0, 65535)));
        break;
    case ftLargeint:
        param.SetAsLargeInt(StrToInt64(text));
        break;
    case ftFloat:
        param.SetAsFloat(StrToFloat(text));
        break;
    case ftCurrency:
        param.SetAsCurrency(StrToFloat(text));
        break;
    case ftBCD:
        param.SetAsBCD(DoubleToBcd(StrToCurr(text)));
        break;
    case ftFMTBcd:
        try {
            param.SetAsFMTBCD(StrToBcd(text));
        } catch (const EConvertError&) {
            throw;
        } catch (const Exception& e) {
            // The BCD engine has an error class of its own; the grid reports
            // every failed conversion the same way.
            throw EConvertError(e.Message());
        }
        break;
    case ftBoolean:
        param.SetAsBoolean(StrToBool(text));
        break;
    case ftDate:
        param.SetAsDate(StrToDate(text));
        break;
    case ftTime:
        param.SetAsTime(StrToTime(text));
        break;
    case ftDateTime:
        param.SetAsDateTime(StrToDateTime(text));
        break;
    default:
        param.SetValue(Variant(text));
        return;
    }
    // The As* setters name their own type; the procedure's declaration
    // decides what the server receives.
    param.SetDataType(declared);
}

TConsoleActionStates ConsoleActionStates(const TConsoleActionInputs& in)
{
    TConsoleActionStates s;
    if (!in.HasConsole)
        return s;
    const bool sql = in.IsSQLConsole;
    s.Execute = in.CanRun;
    s.FetchAll = sql && in.CanRun;
    s.Script = sql && in.CanRun;
    s.ShowBlobs = in.DataSetOpen;
    s.ExportCSV = in.DataSetOpen;
    s.LoadSQL = sql;
    s.SaveSQL = sql;
    s.ShowSQLInfo = true;
    s.CloseConsole = sql && !in.Fixed;
    s.PreviousSQL = sql && in.HistoryPosition > 0;
    s.NextSQL = sql && in.HistoryPosition < in.HistoryCount - 1;
    return s;
}
