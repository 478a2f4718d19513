// Filter expressions over a million rows held in memory, next to SQLite (in
// memory, same rows) running the equivalent WHERE clauses. Each iteration
// tests every row once; items/s is rows per second.
//
//   compare:  amount > 500 AND id < 800000
//   like:     name LIKE 'Sm*'           (SQLite: name GLOB 'Sm*', also case-sensitive)
//   function: UPPER(name) = 'SMITH'

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchMode.h"
#include "Components/KldDBComponents/dbExtEvaluator.h"

namespace
{
const int RowCount = BenchSize(1000000, 5000);

struct Row
{
    Variant Id;
    Variant Amount;
    Variant Name;
};

const char* const Names[] = {"Smith", "Smythe", "Jones", "smith", "Brown", "Smalley", "Taylor", "Williams"};

// The same deterministic rows for both engines.
void MakeRow(int i, int& amount, std::string& name)
{
    unsigned h = static_cast<unsigned>(i) * 2654435761u;
    amount = static_cast<int>(h % 1000);
    name = Names[(h >> 10) % 8];
}

const std::vector<Row>& Rows()
{
    static const std::vector<Row> rows = [] {
        std::vector<Row> out;
        out.reserve(RowCount);
        for (int i = 0; i < RowCount; ++i)
        {
            int amount;
            std::string name;
            MakeRow(i, amount, name);
            out.push_back(Row{Variant(i), Variant(amount), Variant(name)});
        }
        return out;
    }();
    return rows;
}

// Field values of one row, looked up by name as a dataset context does.
class TRowContext : public TExpressionContext
{
public:
    Variant GetItem(void* Context, const std::string& Name) const override
    {
        const Row& row = *static_cast<const Row*>(Context);
        if (Name == "id")
            return row.Id;
        if (Name == "amount")
            return row.Amount;
        if (Name == "name")
            return row.Name;
        return TExpressionContext::GetItem(Context, Name);
    }

    static TExpressionContextClass Class()
    {
        static const TRowContext instance;
        return &instance;
    }
};

int64_t CountWithEvaluator(TEvaluator& evaluator)
{
    int64_t matches = 0;
    for (const Row& row : Rows())
    {
        evaluator.SetContext(const_cast<Row*>(&row));
        if (evaluator.Evaluate().AsBoolean())
            ++matches;
    }
    return matches;
}

void Evaluator(benchmark::State& state, const char* filter)
{
    Rows();
    TEvaluator evaluator(FilterText(filter), nullptr, TRowContext::Class());
    // The count is not passed through DoNotOptimize: its "+m,r" constraint
    // lets GCC lose the updates in sanitizer builds, and the evaluation calls
    // cannot be left out anyway.
    int64_t matches = 0;
    for (auto _ : state)
        matches = CountWithEvaluator(evaluator);
    state.counters["matches"] = static_cast<double>(matches);
    state.SetItemsProcessed(state.iterations() * RowCount);
}

sqlite3* Database()
{
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        if (sqlite3_open(":memory:", &d) != SQLITE_OK)
            std::abort();
        sqlite3_exec(d, "CREATE TABLE t(id INTEGER, amount INTEGER, name TEXT)", nullptr, nullptr, nullptr);
        sqlite3_exec(d, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(d, "INSERT INTO t VALUES (?, ?, ?)", -1, &insert, nullptr);
        for (int i = 0; i < RowCount; ++i)
        {
            int amount;
            std::string name;
            MakeRow(i, amount, name);
            sqlite3_bind_int(insert, 1, i);
            sqlite3_bind_int(insert, 2, amount);
            sqlite3_bind_text(insert, 3, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(d, "COMMIT", nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

void SQLite(benchmark::State& state, const char* where)
{
    sqlite3* db = Database();
    std::string sql = std::string("SELECT count(*) FROM t WHERE ") + where;
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr) != SQLITE_OK)
    {
        state.SkipWithError(sqlite3_errmsg(db));
        return;
    }
    int64_t matches = 0;
    for (auto _ : state)
    {
        sqlite3_reset(query);
        if (sqlite3_step(query) == SQLITE_ROW)
            matches = sqlite3_column_int64(query, 0);
    }
    sqlite3_finalize(query);
    state.counters["matches"] = static_cast<double>(matches);
    state.SetItemsProcessed(state.iterations() * RowCount);
}
} // namespace

BENCHMARK_CAPTURE(Evaluator, compare, "amount > 500 AND id < 800000")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SQLite, compare, "amount > 500 AND id < 800000")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Evaluator, like, "name LIKE 'Sm*'")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SQLite, like, "name GLOB 'Sm*'")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Evaluator, function, "UPPER(name) = 'SMITH'")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SQLite, function, "UPPER(name) = 'SMITH'")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
