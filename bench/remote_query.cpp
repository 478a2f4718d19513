// A remote query of 100,000 rows read to its end over the local application
// server, page by page as the client does (pages of 50, the default, then
// pages of 1,000), next to SQLite reading the same rows of the same file
// directly, in the same run.
//
// The client's own share is measured apart: the replies of one full fetch
// are recorded and fed to the same query through a connection that answers
// from memory (the exchange, the JSON parse and the rows appended to the
// table, without network or server). Its time over the remote fetch's is the
// part the client spends.
//
// Counters: rows_per_s; "client_ms" and "client_share" on the remote runs
// are filled by running the recorded replies once before the timing.

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchMode.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "support/AppServerProcess.h"
#include "support/ScriptedTransport.h"

namespace {

const int kRows = BenchSize(100000, 300);

// kRows (100,000) residents of eleven columns in the server's own database.
const char* const kSqlText = R"sql(
CREATE TABLE TBL_BENCH (COUNTER INTEGER PRIMARY KEY, RESIDENT_NAME VARCHAR2(40), ROOM VARCHAR2(10),
                        C_FACILITY INTEGER, BALANCE NUMBER(12,2), BIRTH_DATE DATE, ADMISSION_DATE DATE,
                        CURRENT_USE VARCHAR2(1), NOTES VARCHAR2(200), PHONE VARCHAR2(20), SCORE NUMBER(8,3));
WITH RECURSIVE N(I) AS (SELECT 1 UNION ALL SELECT I + 1 FROM N WHERE I < @ROWS@)
INSERT INTO TBL_BENCH SELECT I, 'Resident name ' || I, 'R' || (I % 400), 1 + I % 7, (I % 1000) * 1.25,
  printf('19%02d-%02d-%02d 00:00:00', 20 + I % 40, 1 + I % 12, 1 + I % 28),
  printf('20%02d-%02d-%02d 08:30:00', 10 + I % 14, 1 + I % 12, 1 + I % 28),
  'T', 'Notes for resident ' || I || ' of the home', '(555) 010-' || printf('%04d', I % 10000), I % 977 * 0.125
FROM N;
)sql";

std::string BenchSql()
{
    std::string sql = kSqlText;
    sql.replace(sql.find("@ROWS@"), 6, std::to_string(kRows));
    return sql;
}

const char* const kQuery = "SELECT * FROM TBL_BENCH ORDER BY COUNTER";

// A query whose pages can be fetched one after the other, as scrolling a
// grid to its end fetches them.
class TBenchQuery : public TNembraQuery
{
  public:
    using TNembraQuery::TNembraQuery;
    int FetchPage() { return FetchRows(0); }
    // Opens (the first page) and fetches the rest page by page.
    void ReadAll()
    {
        Open();
        while (FetchPage() > 0) {
        }
    }
};

struct TBenchServer
{
    TAppServerProcess Server{{}, BenchSql()};
    TNembraConnection Connection;
    TNembraDatabase Database;

    TBenchServer()
    {
        Connection.SetConnectionName("BENCH");
        Connection.SetServerURL(Server.ServerURL());
        Connection.SetAuthentication(qauthBasic);
        Connection.Params().Add("USER_ID=ADMIN");
        Connection.Params().Add("FORCE=True");
        Connection.GenerateRandomSecretKey();
        Connection.Open();
        Database.SetDatabaseName("BENCH_DB");
        Database.SetConnectionName("BENCH");
        Database.Params().Add("DB_ALIAS=SYSTEM");
        Database.Open();
    }
};

TBenchServer& Bench()
{
    static TBenchServer bench;
    return bench;
}

std::unique_ptr<TBenchQuery> MakeQuery(const std::string& database, int fetchBy)
{
    auto q = std::make_unique<TBenchQuery>();
    q->SetName("qryBench");
    q->SetDatabaseName(database);
    q->SetUseSQL(true);
    q->SQL().SetText(kQuery);
    q->SetFetchBy(fetchBy);
    return q;
}

// The HTTP replies of one full fetch, as the connection received them.
std::vector<std::string> RecordReplies(int fetchBy)
{
    TNembraConnection& c = Bench().Connection;
    std::vector<std::string> replies;
    c.OnExecute = [&](TObject*, TNembraRequest* request) { replies.push_back(JsonReply(request->ResponseText())); };
    auto q = MakeQuery("BENCH_DB", fetchBy);
    q->ReadAll();
    c.OnExecute = nullptr;
    q->Close(); // the server ended the cursor with its last page: nothing more is sent
    return replies;
}

// The client's own work: the recorded replies fed through a connection that
// answers from memory. Milliseconds of one full fetch.
double ClientOnlyMs(const std::vector<std::string>& replies, int fetchBy)
{
    TScriptedConnection c;
    c.SetConnectionName("SCRIPTED_BENCH");
    c.Open();
    TNembraDatabase db;
    db.SetDatabaseName("SCRIPTED_DB");
    db.SetConnectionName("SCRIPTED_BENCH");
    c.Script.Replies.push_back(JsonReply(R"({"DBHandle":"D","Error":""})"));
    db.Open();
    c.Script.Replies.assign(replies.begin(), replies.end());
    auto q = MakeQuery("SCRIPTED_DB", fetchBy);
    const auto started = std::chrono::steady_clock::now();
    q->ReadAll();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    if (q->RecordCount() != kRows)
        return -1;
    return ms;
}

void RemoteFetch(benchmark::State& state, int fetchBy)
{
    Bench();
    double total = 0;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        auto q = MakeQuery("BENCH_DB", fetchBy);
        q->ReadAll();
        if (q->RecordCount() != kRows)
            state.SkipWithError("not every row arrived");
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        state.PauseTiming();
        q->Close();
        state.ResumeTiming();
    }
    const double perFetch = total / static_cast<double>(state.iterations());
    // After the timed loop: recorded once, fed once.
    const double client = ClientOnlyMs(RecordReplies(fetchBy), fetchBy);
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(kRows) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["client_ms"] = client;
    state.counters["client_share"] = client / perFetch;
}

void BM_RemoteQueryPagesOf50(benchmark::State& state)
{
    RemoteFetch(state, 50);
}

void BM_RemoteQueryPagesOf1000(benchmark::State& state)
{
    RemoteFetch(state, 1000);
}

// The peer: the same rows read straight from the database file, every
// column of every row.
void BM_SQLiteDirect(benchmark::State& state)
{
    const std::string file = Bench().Server.DatabaseFile();
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    int64_t rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, kQuery, -1, &stmt, nullptr);
        int64_t sum = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                if (sqlite3_column_type(stmt, c) == SQLITE_TEXT)
                    sum += sqlite3_column_bytes(stmt, c);
                else
                    sum += sqlite3_column_int64(stmt, c);
            }
        }
        sqlite3_finalize(stmt);
        benchmark::DoNotOptimize(sum);
    }
    sqlite3_close(db);
    if (rows != static_cast<int64_t>(kRows) * static_cast<int64_t>(state.iterations()))
        state.SkipWithError("not every row was read");
    state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_SQLiteDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoteQueryPagesOf50)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RemoteQueryPagesOf1000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
