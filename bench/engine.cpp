// The table engine against SQLite in memory, on the same work: a keyed table
// of four columns (Integer key, String, Float, DateTime) filled with 1,000,000
// rows in key order, filled with 100,000 rows in random order (inside and
// outside a bulk update), and read back by key. Memory per row is reported
// next to the raw size of the values.
//
// Then, over 1,000,000 rows: saving a container to a stream and loading it
// back (against writing the rows into SQLite and reading them all out), a
// row set ordered by a String column (against ORDER BY), and switching the
// master key of a row set over a child table (against an indexed WHERE).

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

#include "BenchMode.h"

#include "Components/KldDBComponents/KldData.h"

namespace
{

const int BigRows = BenchSize(1000000, 4000);
const int SmallRows = BenchSize(100000, 2000);
const int Lookups = BenchSize(100000, 1000);

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

// Heap bytes in use, blocks that the allocator maps on their own included.
size_t HeapInUse()
{
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
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

// --- Persistence, ordering and ranges ------------------------------------------------

const int Parents = BenchSize(1000, 50);

// Residents whose names are in random order and whose ParentId spreads the
// rows over Parents parents.
struct ChildRows
{
    std::vector<int> ParentOf;
    std::vector<std::string> Names;

    ChildRows()
    {
        std::vector<int> order = Shuffled(BigRows, 11);
        std::mt19937 random(5);
        ParentOf.resize(BigRows);
        Names.resize(BigRows);
        for (int i = 0; i < BigRows; ++i)
        {
            ParentOf[static_cast<size_t>(i)] = static_cast<int>(random() % Parents);
            Names[static_cast<size_t>(i)] = NameOf(order[static_cast<size_t>(i)]);
        }
    }
};

const ChildRows& Rows()
{
    static const ChildRows rows;
    return rows;
}

struct EngineChildren
{
    TKldDataContainer container;
    TKldDataTable* table = nullptr;
    TKldDataColumn *id = nullptr, *parent = nullptr, *name = nullptr, *amount = nullptr;

    EngineChildren()
    {
        table = container.Tables().Add();
        table->SetName("Children");
        id = table->Columns().AddColumn("Id", cdtInteger);
        id->SetPrimaryKey(true);
        parent = table->Columns().AddColumn("ParentId", cdtInteger);
        name = table->Columns().AddColumn("Name", cdtString, 40);
        amount = table->Columns().AddColumn("Amount", cdtFloat);
        container.SetActive(true);
        const ChildRows& rows = Rows();
        table->BeginUpdate();
        for (int i = 0; i < BigRows; ++i)
        {
            std::unique_ptr<TKldDataRow> row(table->New());
            row->SetValue(id, i);
            row->SetValue(parent, rows.ParentOf[static_cast<size_t>(i)]);
            row->SetValue(name, rows.Names[static_cast<size_t>(i)]);
            row->SetValue(amount, i * 0.25);
            table->Insert(row.get());
            row.release();
        }
        table->EndUpdate();
    }
};

struct SqliteChildren
{
    sqlite3* db = nullptr;

    explicit SqliteChildren(bool fill = true)
    {
        sqlite3_open(":memory:", &db);
        sqlite3_exec(db, "CREATE TABLE Children (Id INTEGER PRIMARY KEY, ParentId INTEGER, Name TEXT, Amount REAL)",
                     nullptr, nullptr, nullptr);
        if (fill)
            Fill();
    }
    ~SqliteChildren() { sqlite3_close(db); }

    void Fill()
    {
        const ChildRows& rows = Rows();
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO Children VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
        for (int i = 0; i < BigRows; ++i)
        {
            const std::string& text = rows.Names[static_cast<size_t>(i)];
            sqlite3_bind_int(insert, 1, i);
            sqlite3_bind_int(insert, 2, rows.ParentOf[static_cast<size_t>(i)]);
            sqlite3_bind_text(insert, 3, text.c_str(), static_cast<int>(text.size()), SQLITE_STATIC);
            sqlite3_bind_double(insert, 4, i * 0.25);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
};

EngineChildren& SharedChildren()
{
    static EngineChildren children;
    return children;
}

void BM_EngineSave(benchmark::State& state)
{
    EngineChildren& source = SharedChildren();
    int64_t size = 0;
    for (auto _ : state)
    {
        TMemoryStream stream;
        source.container.SaveToStream(stream, true, true);
        size = stream.Size();
    }
    state.SetItemsProcessed(state.iterations() * BigRows);
    state.counters["stream_bytes"] = static_cast<double>(size);
}

void BM_EngineLoad(benchmark::State& state)
{
    TMemoryStream stream;
    SharedChildren().container.SaveToStream(stream, true, true);
    for (auto _ : state)
    {
        state.PauseTiming();
        auto target = std::make_unique<TKldDataContainer>();
        stream.SetPosition(0);
        state.ResumeTiming();
        target->LoadFromStream(stream);
        state.PauseTiming();
        if (target->Tables().Get("Children")->RowCount() != BigRows)
            state.SkipWithError("rows missing");
        target.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * BigRows);
    state.counters["stream_bytes"] = static_cast<double>(stream.Size());
}

void BM_SqliteWrite(benchmark::State& state)
{
    Rows();
    for (auto _ : state)
    {
        state.PauseTiming();
        auto db = std::make_unique<SqliteChildren>(false);
        state.ResumeTiming();
        db->Fill();
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * BigRows);
}

void BM_SqliteRead(benchmark::State& state)
{
    SqliteChildren db;
    int64_t count = 0;
    for (auto _ : state)
    {
        sqlite3_stmt* select = nullptr;
        sqlite3_prepare_v2(db.db, "SELECT Id, ParentId, Name, Amount FROM Children", -1, &select, nullptr);
        std::string name;
        double sum = 0;
        count = 0;
        while (sqlite3_step(select) == SQLITE_ROW)
        {
            sum += sqlite3_column_int(select, 0) + sqlite3_column_int(select, 1) + sqlite3_column_double(select, 3);
            name.assign(reinterpret_cast<const char*>(sqlite3_column_text(select, 2)),
                        static_cast<size_t>(sqlite3_column_bytes(select, 2)));
            ++count;
        }
        sqlite3_finalize(select);
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(name);
    }
    if (count != BigRows)
        state.SkipWithError("rows missing");
    state.SetItemsProcessed(state.iterations() * BigRows);
}

void BM_EngineOrderByString(benchmark::State& state)
{
    EngineChildren& children = SharedChildren();
    for (auto _ : state)
    {
        TKldRowSet rows(children.table, nullptr);
        rows.SetOrderByColumns({{children.name, false}});
        rows.SetActive(true);
        int64_t sum = 0;
        for (int i = 0; i < rows.GetRowCount(); ++i)
            sum += reinterpret_cast<intptr_t>(rows.GetRow(i)) & 1;
        benchmark::DoNotOptimize(sum);
        if (rows.GetRowCount() != BigRows ||
            rows.GetRow(0)->GetAsString(children.name) != NameOf(0))
            state.SkipWithError("wrong order");
    }
    state.SetItemsProcessed(state.iterations() * BigRows);
}

void BM_SqliteOrderByString(benchmark::State& state)
{
    SqliteChildren db;
    for (auto _ : state)
    {
        sqlite3_stmt* select = nullptr;
        sqlite3_prepare_v2(db.db, "SELECT Id FROM Children ORDER BY Name", -1, &select, nullptr);
        int64_t sum = 0;
        int count = 0;
        while (sqlite3_step(select) == SQLITE_ROW)
        {
            sum += sqlite3_column_int(select, 0);
            ++count;
        }
        sqlite3_finalize(select);
        benchmark::DoNotOptimize(sum);
        if (count != BigRows)
            state.SkipWithError("rows missing");
    }
    state.SetItemsProcessed(state.iterations() * BigRows);
}

// Each iteration switches the key to every parent in turn and reads the
// Amount of each row in the range.
void BM_EngineRangeSwitch(benchmark::State& state)
{
    EngineChildren& children = SharedChildren();
    TKldRowSet rows(children.table, nullptr);
    rows.SetActive(true);
    rows.SetMasterKey("ParentId", 0);
    int64_t seen = 0;
    for (auto _ : state)
    {
        double sum = 0;
        seen = 0;
        for (int parent = 0; parent < Parents; ++parent)
        {
            rows.SetMasterKey(parent);
            int count = rows.GetRowCount();
            for (int i = 0; i < count; ++i)
                sum += *static_cast<const double*>(rows.GetRow(i)->ValuePtr(children.amount));
            seen += count;
        }
        benchmark::DoNotOptimize(sum);
    }
    if (seen != BigRows)
        state.SkipWithError("rows missing");
    state.SetItemsProcessed(state.iterations() * Parents);
}

void BM_SqliteRangeSwitch(benchmark::State& state)
{
    SqliteChildren db;
    sqlite3_exec(db.db, "CREATE INDEX ChildrenParent ON Children (ParentId)", nullptr, nullptr, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db.db, "SELECT Amount FROM Children WHERE ParentId = ?", -1, &select, nullptr);
    int64_t seen = 0;
    for (auto _ : state)
    {
        double sum = 0;
        seen = 0;
        for (int parent = 0; parent < Parents; ++parent)
        {
            sqlite3_bind_int(select, 1, parent);
            while (sqlite3_step(select) == SQLITE_ROW)
            {
                sum += sqlite3_column_double(select, 0);
                ++seen;
            }
            sqlite3_reset(select);
        }
        benchmark::DoNotOptimize(sum);
    }
    sqlite3_finalize(select);
    if (seen != BigRows)
        state.SkipWithError("rows missing");
    state.SetItemsProcessed(state.iterations() * Parents);
}

} // namespace

BENCHMARK(BM_EngineFillKeyOrder)->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(3));
BENCHMARK(BM_SqliteFillKeyOrder)->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(3));
BENCHMARK(BM_EngineFillRandom)->Arg(1)->ArgName("bulk")->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(5));
BENCHMARK(BM_EngineFillRandom)->Arg(0)->ArgName("bulk")->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(5));
BENCHMARK(BM_SqliteFillRandom)->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(5));
BENCHMARK(BM_EngineLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineSave)->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(3));
BENCHMARK(BM_EngineLoad)->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(3));
BENCHMARK(BM_SqliteWrite)->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(3));
BENCHMARK(BM_SqliteRead)->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(3));
BENCHMARK(BM_EngineOrderByString)->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(3));
BENCHMARK(BM_SqliteOrderByString)->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(3));
BENCHMARK(BM_EngineRangeSwitch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteRangeSwitch)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
