// The system plug-in PLG_SYSTEM's Ping: the network test of the system
// information dialog times three calls (lag, download, upload). Data goes in
// and out as a blob; the answer is DataSize bytes, repeating the bytes sent
// when there are any, so a call with DataSize 0 answers an empty Data
// however much was uploaded.
#include "AppServer.h"
#include "PluginProcedures.h"
#include "Procedures.h"
#include "Wire.h"

#include <cmath>
#include <string>

namespace {

constexpr int64_t MaxPingSize = 1048576;

const TSqlValue& Value(const TPluginContext& context, const char* name)
{
    static const TSqlValue none;
    const TSqlParam* p = FindParam(context.Params, name);
    return p ? p->Value : none;
}

void Ping(TPluginContext& context)
{
    context.Call.RequireSession();
    const TSqlValue& size = Value(context, "DataSize");
    int64_t count = 0;
    if (size.Type == TSqlValue::vtInteger)
        count = size.Int;
    else if (size.Type == TSqlValue::vtFloat) {
        // Checked as sent: cut to a whole number first, -0.5 would pass
        // and a huge or non-finite value would not convert at all.
        if (!std::isfinite(size.Float) || size.Float < 0 || size.Float > MaxPingSize)
            count = -1;
        else
            count = static_cast<int64_t>(size.Float);
    }
    else if (!size.IsNull())
        throw Wire::EProcedureError(Wire::ErrGeneral, "DataSize is not a number.");
    if (count < 0 || count > MaxPingSize)
        throw Wire::EProcedureError(Wire::ErrGeneral,
                              "DataSize must lie between 0 and " + std::to_string(MaxPingSize) + ".");
    const TSqlValue& sent = Value(context, "Data");
    const std::string source = sent.IsNull() ? std::string() : sent.Text;
    std::string answer;
    answer.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i)
        answer += source.empty() ? static_cast<char>('A' + i % 26) : source[static_cast<size_t>(i) % source.size()];
    FindParam(context.Params, "Data")->Value = TSqlValue::FromBlob(std::move(answer));
}

} // namespace

void RegisterPingPluginMethods()
{
    TPluginProcedure ping;
    ping.Name = "Ping";
    ping.Params = {DeclareParam("Data", FieldType::Blob, ParamType::InputOutput),
                   DeclareParam("DataSize", FieldType::Integer, ParamType::Input)};
    ping.Execute = Ping;
    RegisterPluginProcedure("PLG_SYSTEM", ping);
}
