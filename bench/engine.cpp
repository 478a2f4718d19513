// The table engine against SQLite in memory, on the same work: a keyed table
// of four columns (Integer key, String, Float, DateTime) filled with 1,000,000
// rows in key order, filled with 100,000 rows in random order (inside and
// outside a bulk update), and read back by key. Memory per row is reported
// next to the raw size of the values.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "Components/KldDBComponents/KldData.h"

namespace
{

constexpr int BigRows = 1000000;
constexpr int SmallRows = 100000;
constexpr int Lookups = 100000;

std::string NameOf(int key)
{
    char text[32];
    std::snprintf(text, sizeof(text), "Resident %07d", key);
    return text;
}

double RawRowBytes()
{
    return 4.0 + static_cast<double>(NameOf(0).size()) + 8.0 + 8.0;
}

std::vector<int> Shuffled(int count, unsigned seed)
{
    std::vector<int> keys(static_cast<size_t>(count));
    std::iota(keys.begin(), keys.end(), 0);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
    return keys;
}

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

// --- Engine ---------------------------------------------------------------------

struct EngineTable
{
    TKldDataContainer container;
    TKldDataTable* table = nullptr;
    TKldDataColumn *id = nullptr, *name = nullptr, *amount = nullptr, *stamp = nullptr;

    EngineTable()
    {
        table = container.Tables().Add();
        table->SetName("Residents");
        id = table->Columns().AddColumn("Id", cdtInteger);
        id->SetPrimaryKey(true);
        name = table->Columns().AddColumn("Name", cdtString, 40);
        amount = table->Columns().AddColumn("Amount", cdtFloat);
        stamp = table->Columns().AddColumn("Stamp", cdtDateTime);
        container.SetActive(true);
    }

    void Add(int key)
    {
        std::unique_ptr<TKldDataRow> row(table->New());
        row->SetValue(id, key);
        row->SetValue(name, NameOf(key));
        row->SetValue(amount, key * 0.25);
        row->SetValue(stamp, Variant::FromDate(45000.0 + key / 86400.0));
        table->Insert(row.get());
        row.release();
    }

    void Fill(const std::vector<int>& keys, bool bulk)
    {
        if (bulk)
            table->BeginUpdate();
        for (int key : keys)
            Add(key);
        if (bulk)
            table->EndUpdate();
    }
};

void CheckOrder(benchmark::State& state, EngineTable& t)
{
    for (int i = 0; i < t.table->RowCount(); ++i)
    {
        if (t.table->GetRow(i)->GetValue(t.id).AsInteger() != i)
        {
            state.SkipWithError("rows are not in key order");
            return;
        }
    }
}

void BM_EngineFillKeyOrder(benchmark::State& state)
{
    std::vector<int> keys(BigRows);
    std::iota(keys.begin(), keys.end(), 0);
    double bytesPerRow = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        auto t = std::make_unique<EngineTable>();
        size_t before = HeapInUse();
        state.ResumeTiming();
        t->Fill(keys, true);
        state.PauseTiming();
        bytesPerRow = double(HeapInUse() - before) / BigRows;
        if (t->table->RowCount() != BigRows)
            state.SkipWithError("rows missing");
        t.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * BigRows);
    state.counters["bytes_per_row"] = bytesPerRow;
    state.counters["raw_bytes_per_row"] = RawRowBytes();
}

void BM_EngineFillRandom(benchmark::State& state)
{
    bool bulk = state.range(0) != 0;
    std::vector<int> keys = Shuffled(SmallRows, 42);
    for (auto _ : state)
    {
        state.PauseTiming();
        auto t = std::make_unique<EngineTable>();
        state.ResumeTiming();
        t->Fill(keys, bulk);
        state.PauseTiming();
        CheckOrder(state, *t);
        t.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * SmallRows);
}

void BM_EngineLookup(benchmark::State& state)
{
    EngineTable t;
    std::vector<int> keys(BigRows);
    std::iota(keys.begin(), keys.end(), 0);
    t.Fill(keys, true);
    std::vector<int> wanted = Shuffled(BigRows, 7);
    wanted.resize(Lookups);
    std::unique_ptr<TKldDataRow> probe(t.table->NewRow());
    double sum = 0;
    for (auto _ : state)
    {
        for (int key : wanted)
        {
            probe->SetValue(t.id, key);
            TKldDataRow* row = t.table->FindRow(probe.get());
            if (!row)
            {
                state.SkipWithError("key not found");
                break;
            }
            sum += row->GetValue(t.amount).AsDouble();
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * Lookups);
}

// --- SQLite -----------------------------------------------------------------------

struct SqliteTable
{
    sqlite3* db = nullptr;

    SqliteTable()
    {
        sqlite3_open(":memory:", &db);
        sqlite3_exec(db,
                     "CREATE TABLE Residents (Id INTEGER PRIMARY KEY, Name TEXT, Amount REAL, Stamp REAL)",
                     nullptr, nullptr, nullptr);
    }
    ~SqliteTable() { sqlite3_close(db); }

    void Fill(const std::vector<int>& keys)
    {
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO Residents VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
        for (int key : keys)
        {
            std::string text = NameOf(key);
            sqlite3_bind_int(insert, 1, key);
            sqlite3_bind_text(insert, 2, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 3, key * 0.25);
            sqlite3_bind_double(insert, 4, 45000.0 + key / 86400.0);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }

    int Count()
    {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM Residents", -1, &s, nullptr);
        sqlite3_step(s);
        int n = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
        return n;
    }
};

void BM_SqliteFillKeyOrder(benchmark::State& state)
{
    std::vector<int> keys(BigRows);
    std::iota(keys.begin(), keys.end(), 0);
    double bytesPerRow = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        auto t = std::make_unique<SqliteTable>();
        sqlite3_int64 before = sqlite3_memory_used();
        state.ResumeTiming();
        t->Fill(keys);
        state.PauseTiming();
        bytesPerRow = double(sqlite3_memory_used() - before) / BigRows;
        if (t->Count() != BigRows)
            state.SkipWithError("rows missing");
        t.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * BigRows);
    state.counters["bytes_per_row"] = bytesPerRow;
    state.counters["raw_bytes_per_row"] = RawRowBytes();
}

void BM_SqliteFillRandom(benchmark::State& state)
{
    std::vector<int> keys = Shuffled(SmallRows, 42);
    for (auto _ : state)
    {
        state.PauseTiming();
        auto t = std::make_unique<SqliteTable>();
        state.ResumeTiming();
        t->Fill(keys);
        state.PauseTiming();
        t.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * SmallRows);
}

void BM_SqliteLookup(benchmark::State& state)
{
    SqliteTable t;
    std::vector<int> keys(BigRows);
    std::iota(keys.begin(), keys.end(), 0);
    t.Fill(keys);
    std::vector<int> wanted = Shuffled(BigRows, 7);
    wanted.resize(Lookups);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(t.db, "SELECT Id, Name, Amount, Stamp FROM Residents WHERE Id = ?", -1, &select, nullptr);
    double sum = 0;
    for (auto _ : state)
    {
        for (int key : wanted)
        {
            sqlite3_bind_int(select, 1, key);
            if (sqlite3_step(select) != SQLITE_ROW)
            {
                state.SkipWithError("key not found");
                break;
            }
            sum += sqlite3_column_double(select, 2);
            sqlite3_reset(select);
        }
    }
    sqlite3_finalize(select);
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * Lookups);
}

} // namespace

BENCHMARK(BM_EngineFillKeyOrder)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SqliteFillKeyOrder)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EngineFillRandom)->Arg(1)->ArgName("bulk")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EngineFillRandom)->Arg(0)->ArgName("bulk")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SqliteFillRandom)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EngineLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteLookup)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
