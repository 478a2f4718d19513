// Remote calls through TNembraConnection against the local application
// server, next to the same requests sent by a plain libcurl loop with one
// reused handle, in the same run: 10,000 small calls (Nembra.KeepAlive of a
// signed-in session) and 1,000 calls with a reply of about 100 KB (a
// query-like "data" object of column arrays). The JSON call parses its
// reply, the plain loop only receives it; the stream call shows the
// connection without the parse, and the parsed plain loop the same parse
// after a plain call.

#include <benchmark/benchmark.h>

#include <curl/curl.h>

#include <memory>
#include <string>

#include "bench/BenchMode.h"
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraJSON.h"
#include "support/AppServerProcess.h"

namespace {

const int kSmallCalls = BenchSize(10000, 5);
const int kLargeCalls = BenchSize(1000, 2);
const char* const kLargeBody = "SIZE=102400";

struct TBenchServer
{
    TAppServerProcess Server{{"--test-procedures"}};
    TNembraConnection Connection;

    TBenchServer()
    {
        Connection.SetServerURL(Server.ServerURL());
        Connection.SetAuthentication(qauthBasic);
        Connection.Params().Add("USER_ID=ADMIN");
        Connection.Params().Add("USER_PWD=");
        Connection.Params().Add("FORCE=True");
        Connection.GenerateRandomSecretKey();
        Connection.Open();
    }
};

TBenchServer& Bench()
{
    static TBenchServer bench;
    return bench;
}

void ConnectionCalls(benchmark::State& state, const char* procedure, const char* params, TNembraResponseType type)
{
    TNembraConnection& c = Bench().Connection;
    int64_t bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<TNembraRequest> r = c.GetNembraRequest();
        r->SetResponseType(type);
        r->SetProcedureName(procedure);
        r->Params().SetText(params);
        r->Execute();
        bytes += r->Response()->Size();
    }
    state.SetBytesProcessed(bytes);
}

size_t Collect(char* data, size_t size, size_t count, void* target)
{
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// The same POST as the connection sends: form body, content type and the
// session cookie, on one handle that keeps its TCP connection.
void PlainCurlCalls(benchmark::State& state, const char* procedure, const std::string& body, bool parse = false)
{
    TBenchServer& bench = Bench();
    const std::string url = bench.Server.ServerURL() + "/" + procedure;
    CURL* curl = curl_easy_init();
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
    headers = curl_slist_append(headers, "Expect:");
    headers = curl_slist_append(headers, ("Cookie: WSID=" + bench.Connection.GetSessionID()).c_str());
    std::string reply;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    int64_t bytes = 0;
    for (auto _ : state) {
        reply.clear();
        if (curl_easy_perform(curl) != CURLE_OK) {
            state.SkipWithError("the plain call failed");
            break;
        }
        bytes += static_cast<int64_t>(reply.size());
        if (parse) {
            TJSONObject object(reply);
            benchmark::DoNotOptimize(object.GetPropCount());
        }
    }
    state.SetBytesProcessed(bytes);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
}

void BM_KeepAlive_Connection(benchmark::State& state)
{
    ConnectionCalls(state, "Nembra.KeepAlive", "", qrtJSON);
}
void BM_KeepAlive_PlainCurl(benchmark::State& state)
{
    PlainCurlCalls(state, "Nembra.KeepAlive", "");
}
void BM_Reply100K_Connection(benchmark::State& state)
{
    ConnectionCalls(state, "Test.Reply", kLargeBody, qrtJSON);
}
void BM_Reply100K_ConnectionStream(benchmark::State& state)
{
    ConnectionCalls(state, "Test.Reply", kLargeBody, qrtStream);
}
void BM_Reply100K_PlainCurl(benchmark::State& state)
{
    PlainCurlCalls(state, "Test.Reply", kLargeBody);
}
void BM_Reply100K_PlainCurlParsed(benchmark::State& state)
{
    PlainCurlCalls(state, "Test.Reply", kLargeBody, true);
}

} // namespace

BENCHMARK(BM_KeepAlive_Connection)->Iterations(kSmallCalls)->Repetitions(BenchRuns(5))->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeepAlive_PlainCurl)->Iterations(kSmallCalls)->Repetitions(BenchRuns(5))->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reply100K_Connection)->Iterations(kLargeCalls)->Repetitions(BenchRuns(5))->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reply100K_ConnectionStream)->Iterations(kLargeCalls)->Repetitions(BenchRuns(5))->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reply100K_PlainCurl)->Iterations(kLargeCalls)->Repetitions(BenchRuns(5))->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reply100K_PlainCurlParsed)->Iterations(kLargeCalls)->Repetitions(BenchRuns(5))->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
