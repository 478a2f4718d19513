// The table dataset against the engine table it shows, on the same work: a
// table of four columns (Integer key, String, Float, DateTime) with
// 1,000,000 rows, walked from the first row to the last reading every value,
// once through TKldDataSet (Next and the typed field readers) and once
// directly from the table's rows; and the dataset filtered with a typical
// expression. The walk through the dataset should stay within 3x of the
// direct one.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "BenchMode.h"
#include "Components/KldDBComponents/KldDataSet.h"

namespace {

const int Rows = BenchSize(1000000, 10000);

struct Residents
{
    TKldDataContainer container;
    TKldDataTable* table = nullptr;
    TKldDataColumn *id = nullptr, *name = nullptr, *amount = nullptr, *stamp = nullptr;

    Residents()
    {
        table = container.Tables().Add();
        table->SetName("Residents");
        id = table->Columns().AddColumn("Id", cdtInteger);
        name = table->Columns().AddColumn("Name", cdtString, 40);
        amount = table->Columns().AddColumn("Amount", cdtFloat);
        stamp = table->Columns().AddColumn("Stamp", cdtDateTime);
        container.SetActive(true);
        table->BeginUpdate();
        char text[32];
        for (int key = 0; key < Rows; ++key) {
            std::unique_ptr<TKldDataRow> row(table->New());
            std::snprintf(text, sizeof(text), "Resident %07d", key);
            row->SetValue(id, key);
            row->SetValue(name, std::string(text));
            row->SetValue(amount, key * 0.25);
            row->SetValue(stamp, Variant::FromDate(45000.0 + key / 86400.0));
            table->Insert(row.get());
            row.release();
        }
        table->EndUpdate();
    }
};

Residents& Data()
{
    static Residents residents;
    return residents;
}

// What one walk read, so that the reads cannot be left out.
struct Totals
{
    int64_t Ids = 0;
    size_t NameBytes = 0;
    double Amounts = 0;
    double Stamps = 0;
    int Rows = 0;
};

void CheckTotals(benchmark::State& state, const Totals& totals)
{
    const int64_t ids = int64_t(Rows) * (Rows - 1) / 2;
    if (totals.Rows != Rows || totals.Ids != ids || totals.NameBytes != size_t(Rows) * 16)
        state.SkipWithError("the walk did not read every value");
}

void BM_TableDirectWalk(benchmark::State& state)
{
    Residents& r = Data();
    Totals totals;
    std::string name;
    for (auto _ : state) {
        totals = Totals();
        int count = r.table->RowCount();
        for (int i = 0; i < count; ++i) {
            TKldDataRow* row = r.table->GetRow(i);
            int32_t id = 0;
            double amount = 0, stamp = 0;
            row->GetColumnData(r.id, &id);
            // Texts are read in place: copying one out makes a shared copy.
            if (const void* text = row->ValuePtr(r.name))
                name.assign(KldTextView(text));
            row->GetColumnData(r.amount, &amount);
            row->GetColumnData(r.stamp, &stamp);
            totals.Ids += id;
            totals.NameBytes += name.size();
            totals.Amounts += amount;
            totals.Stamps += stamp;
            ++totals.Rows;
        }
        benchmark::DoNotOptimize(totals.Amounts);
    }
    CheckTotals(state, totals);
    state.SetItemsProcessed(state.iterations() * Rows);
}

void BM_DataSetWalk(benchmark::State& state)
{
    Residents& r = Data();
    TKldDataSet ds;
    ds.SetDataContainer(&r.container);
    ds.SetDataTableName("Residents");
    ds.Open();
    TField* id = ds.FieldByName("Id");
    TField* name = ds.FieldByName("Name");
    TField* amount = ds.FieldByName("Amount");
    TField* stamp = ds.FieldByName("Stamp");
    Totals totals;
    for (auto _ : state) {
        totals = Totals();
        ds.First();
        while (!ds.Eof()) {
            totals.Ids += id->AsInteger();
            totals.NameBytes += name->AsString().size();
            totals.Amounts += amount->AsFloat();
            totals.Stamps += stamp->AsDateTime();
            ++totals.Rows;
            ds.Next();
        }
        benchmark::DoNotOptimize(totals.Amounts);
    }
    CheckTotals(state, totals);
    state.SetItemsProcessed(state.iterations() * Rows);
}

void BM_DataSetFilter(benchmark::State& state)
{
    Residents& r = Data();
    TKldDataSet ds;
    ds.SetDataContainer(&r.container);
    ds.SetDataTableName("Residents");
    ds.SetFilter(FilterText("Amount >= 1000 AND Name LIKE 'Resident 00*'"));
    ds.Open();
    int matches = 0;
    for (auto _ : state) {
        ds.SetFiltered(true);
        matches = ds.RecordCount();
        state.PauseTiming();
        ds.SetFiltered(false);
        state.ResumeTiming();
    }
    // Amount >= 1000 from key 4000; names "Resident 00" below key 100000.
    if (matches != std::min(Rows, 100000) - 4000)
        state.SkipWithError("the filter kept the wrong rows");
    state.counters["matches"] = matches;
    state.SetItemsProcessed(state.iterations() * Rows);
}

} // namespace

BENCHMARK(BM_TableDirectWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetFilter)->Unit(benchmark::kMillisecond)->Iterations(BenchRuns(3));

BENCHMARK_MAIN();
