// Procedures for the client's tests (served with --test-procedures): they
// show what arrived and answer with replies of a chosen shape.
#include "AppServer.h"
#include "Procedures.h"

#include <chrono>
#include <thread>

namespace {

void SleepParam(TCall& call, const char* name)
{
    const std::string ms = call.Param(name);
    if (!ms.empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(ms)));
}

// What arrived: "RAW_BODY", "METHOD", "REMOTE_PORT" (one TCP connection keeps
// its port), "Params" as [name, value] pairs in order, the headers
// "Referer", "Accept-Encoding", "Cookie" and "Content-Type", the session id,
// and "SECRET_VALID" when a request proof came. SLEEP_MS waits first.
void Echo(TCall& call)
{
    SleepParam(call, "SLEEP_MS");
    TJsonWriter& json = call.Json();
    Wire::Member(json, "RAW_BODY", call.RawBody());
    Wire::Member(json, "METHOD", call.Origin().Method);
    json.Key("REMOTE_PORT");
    json.Int(call.Origin().RemotePort);
    json.Key("Params");
    json.StartArray();
    for (const auto& [name, value] : call.Params()) {
        json.StartArray();
        json.String(name.data(), static_cast<rapidjson::SizeType>(name.size()));
        json.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
        json.EndArray();
    }
    json.EndArray();
    for (const char* header : {"Referer", "Accept-Encoding", "Cookie", "Content-Type"})
        Wire::Member(json, header, call.Header(header));
    Wire::Member(json, "SESSION", call.Session() ? call.Session()->Id : std::string());
    if (call.HasParam("Secret")) {
        bool valid = true;
        try {
            call.CheckSecret();
        } catch (const Wire::EProcedureError&) {
            valid = false;
        }
        Wire::Member(json, "SECRET_VALID", valid ? "True" : "False");
    }
}

// "Error" = TEXT exactly as given.
void Error(TCall& call)
{
    throw Wire::ERawError(call.Param("TEXT"));
}

// TEXT as the whole reply, not JSON.
void Text(TCall& call)
{
    call.ReplyText(call.Param("TEXT"));
}

// A query-like reply of about SIZE bytes: "data" with the column arrays
// COUNTER, NAME and AMOUNT, as a fetch answers.
void Reply(TCall& call)
{
    const size_t size = static_cast<size_t>(std::stoul(call.RequiredParam("SIZE")));
    std::vector<std::string> names;
    std::vector<std::string> amounts;
    // Each row costs about its three values, their quotes and commas.
    for (size_t bytes = 0; bytes < size;) {
        const size_t row = names.size();
        names.push_back("Resident name " + std::to_string(row));
        amounts.push_back(std::to_string(row) + ".25");
        bytes += std::to_string(row + 1).size() + names.back().size() + amounts.back().size() + 6;
    }
    TJsonWriter& json = call.Json();
    json.Key("data");
    json.StartObject();
    json.Key("COUNTER");
    json.StartArray();
    for (size_t i = 0; i < names.size(); ++i)
        json.Int64(static_cast<int64_t>(i) + 1);
    json.EndArray();
    json.Key("NAME");
    json.StartArray();
    for (const std::string& name : names)
        json.String(name.c_str());
    json.EndArray();
    json.Key("AMOUNT");
    json.StartArray();
    for (const std::string& amount : amounts)
        json.RawValue(amount.c_str(), amount.size(), rapidjson::kNumberType);
    json.EndArray();
    json.EndObject();
    json.Key("eof");
    json.Bool(true);
}

// Always a progress stream: each "|"-separated part of STEPS is one chunk as
// it is ("10 Loading", "   ", "120 Over"), DELAY_MS between chunks;
// NO_HANDLE=True ends the stream without a result handle. The result names
// the steps sent.
void Progress(TCall& call)
{
    const std::string steps = call.Param("STEPS");
    int count = 0;
    size_t start = 0;
    while (!steps.empty() && start <= steps.size()) {
        const size_t bar = std::min(steps.find('|', start), steps.size());
        if (count > 0)
            SleepParam(call, "DELAY_MS");
        call.ProgressText(steps.substr(start, bar - start));
        ++count;
        start = bar + 1;
    }
    SleepParam(call, "DELAY_MS");
    if (call.Param("NO_HANDLE") == "True")
        call.OmitResultHandle();
    call.Json().Key("Steps");
    call.Json().Int(count);
    Wire::Member(call.Json(), "Result", "done");
}

} // namespace

void RegisterTestProcedures(TProcedureTable& table)
{
    table.Add("Test.Echo", Echo);
    table.Add("Test.Error", Error);
    table.Add("Test.Text", Text);
    table.Add("Test.Reply", Reply);
    table.Add("Test.Progress", Progress, true);
}
