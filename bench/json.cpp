// Parsing and writing back a server fetch reply of about 10 MB (an object
// with "fields" and columnar "data" arrays of 100,000 rows), next to
// RapidJSON's DOM parsing and writing the same text in the same run.

#include <benchmark/benchmark.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>
#include <string>

#include "bench/BenchMode.h"
#include "Components/Nembra/NembraJSON.h"

namespace {

const int kRows = BenchSize(100000, 300);

// A fetch reply as the server shapes it: field descriptions, one array per
// column (integers, floats, short strings, dates, nulls), and the cursor state.
const std::string& FetchReply()
{
    static const std::string text = [] {
        const char* names[] = {"Ann", "Bertil", "Cecilia", "Dag", "Eva", "Fredrik", "Gun", "Hampus"};
        struct Column
        {
            const char* Name;
            int Type;
        };
        const Column columns[] = {{"COUNTER", 3},    {"RESIDENT_ID", 3}, {"AMOUNT", 6}, {"RATE", 6},
                                  {"FIRST_NAME", 1}, {"WARD_CODE", 1},   {"BORN", 11},  {"CHECKED_AT", 11},
                                  {"NOTE", 1},       {"ROOM", 1},        {"WEIGHT", 6}};
        std::string s = "{\"fields\":[";
        bool first = true;
        for (const auto& c : columns) {
            if (!first)
                s += ',';
            first = false;
            s += "{\"Name\":\"";
            s += c.Name;
            s += "\",\"DataType\":" + std::to_string(c.Type) +
                 ",\"Size\":" + std::to_string(c.Type == 1 ? 40 : 0) + "}";
        }
        s += "],\r\n\"data\":{";
        char buf[64];
        for (size_t ci = 0; ci < std::size(columns); ++ci) {
            if (ci > 0)
                s += ",\r\n";
            s += '"';
            s += columns[ci].Name;
            s += "\":[";
            for (int r = 0; r < kRows; ++r) {
                if (r > 0)
                    s += ',';
                switch (ci) {
                case 0:
                    s += std::to_string(r + 1);
                    break;
                case 1:
                    s += std::to_string(100000 + (r * 7919) % 900000);
                    break;
                case 2:
                    std::snprintf(buf, sizeof buf, "%.2f", (r % 10000) * 1.37 + 0.25);
                    s += buf;
                    break;
                case 3:
                    std::snprintf(buf, sizeof buf, "%.6g", 0.001 * (r % 997) + 1.0 / (r + 3));
                    s += buf;
                    break;
                case 4:
                    s += '"';
                    s += names[r % 8];
                    s += '"';
                    break;
                case 5:
                    std::snprintf(buf, sizeof buf, "\"W%02d-%c\"", r % 40, 'A' + r % 6);
                    s += buf;
                    break;
                case 6:
                    std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02d\"", 1920 + r % 80, 1 + r % 12,
                                  1 + r % 28);
                    s += buf;
                    break;
                case 7:
                    if (r % 5 == 0) {
                        s += "null";
                    } else {
                        std::snprintf(buf, sizeof buf, "\"2024-%02d-%02d %02d:%02d:%02d\"", 1 + r % 12,
                                      1 + r % 28, r % 24, r % 60, (r * 7) % 60);
                        s += buf;
                    }
                    break;
                case 8:
                    s += r % 3 == 0 ? "\"needs help with meals\"" : "null";
                    break;
                case 9:
                    std::snprintf(buf, sizeof buf, "\"R-%d%02d\"", 1 + r % 4, r % 37);
                    s += buf;
                    break;
                default:
                    std::snprintf(buf, sizeof buf, "%.1f", 45.0 + (r % 600) / 10.0);
                    s += buf;
                    break;
                }
            }
            s += ']';
        }
        s += "},\r\n\"eof\":true,\"handle\":\"\",\"rows\":" + std::to_string(kRows) + "}";
        return s;
    }();
    return text;
}

void BM_ParseNembra(benchmark::State& state)
{
    const std::string& text = FetchReply();
    for (auto _ : state) {
        TJSONObject obj(text);
        benchmark::DoNotOptimize(obj.GetPropCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["reply_MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_ParseRapidJSON(benchmark::State& state)
{
    const std::string& text = FetchReply();
    for (auto _ : state) {
        rapidjson::Document doc;
        doc.Parse(text.c_str(), text.size());
        if (doc.HasParseError())
            state.SkipWithError("RapidJSON could not parse the reply");
        benchmark::DoNotOptimize(doc.MemberCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_WriteNembra(benchmark::State& state)
{
    const TJSONObject obj(FetchReply());
    size_t size = 0;
    for (auto _ : state) {
        std::string out = obj.ToJSONString();
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void BM_WriteRapidJSON(benchmark::State& state)
{
    rapidjson::Document doc;
    doc.Parse(FetchReply().c_str(), FetchReply().size());
    size_t size = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        doc.Accept(writer);
        size = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

} // namespace

BENCHMARK(BM_ParseNembra)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseRapidJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteNembra)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteRapidJSON)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// ---------------------------------------------------------------------------
// The same fetch page as rows of a server dataset: the column map and
// JSONToRow fill the table of a TNembraDataSet as a page fetch does (inside a
// bulk update, the dataset not refreshed), next to the parse of the text
// alone (BM_ParseNembra above); and the filled dataset written back with
// DataSetToJSONByColumns.

#include <memory>

#include "Components/Nembra/NembraDataSet.h"
#include "Components/Nembra/NembraLib.h"

namespace {

// A dataset with the fields of the fetch reply that loads pages as the
// server datasets do.
class TPageDataSet : public TNembraDataSet
{
  public:
    explicit TPageDataSet(const TJSONObject& reply)
    {
        const TJSONArray& fields = reply.GetPropValue(reply.IndexOfName("fields")).GetAsArray();
        for (int i = 0; i < fields.Count(); ++i) {
            const TJSONObject& field = fields.GetValue(i).GetAsObject();
            FieldDefs().Add(field.GetPropValue(0).GetAsString(),
                            FieldTypeFromOrdinal(field.GetPropValue(1).GetAsInteger()),
                            field.GetPropValue(2).GetAsInteger());
        }
        Open();
    }
    ~TPageDataSet() override { Close(); }

    // Appends the rows of the reply's "data" object; the answer is their count.
    int LoadPage(const TJSONObject& reply)
    {
        const TJSONObject& data = reply.GetPropValue(reply.IndexOfName("data")).GetAsObject();
        const int rows = data.GetPropValue(0).GetAsArray().Count();
        TKldDataTable& table = *GetDataTable();
        const TNembraColMap map = CreateColMap(data, table);
        SetDataChangeSuppressed(true);
        table.BeginUpdate();
        for (int i = 0; i < rows; ++i) {
            std::unique_ptr<TKldDataRow> row(table.New());
            JSONToRow(data, row.get(), i, &map);
            table.Insert(row.release(), -1);
        }
        table.EndUpdate();
        SetDataChangeSuppressed(false);
        return rows;
    }

    void Empty() { EmptyDataSet(); }
};

const TJSONObject& ParsedReply()
{
    static const TJSONObject reply(FetchReply());
    return reply;
}

void CheckRows(benchmark::State& state, int rows)
{
    if (rows != kRows)
        state.SkipWithError("the page did not fill every row");
}

void BM_DecodePageNembra(benchmark::State& state)
{
    const std::string& text = FetchReply();
    TPageDataSet ds(ParsedReply());
    for (auto _ : state) {
        TJSONObject reply(text);
        CheckRows(state, ds.LoadPage(reply));
        state.PauseTiming();
        ds.Empty();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_FillPageNembra(benchmark::State& state)
{
    TPageDataSet ds(ParsedReply());
    for (auto _ : state) {
        CheckRows(state, ds.LoadPage(ParsedReply()));
        state.PauseTiming();
        ds.Empty();
        state.ResumeTiming();
    }
    state.counters["rows"] = kRows;
}

void BM_EncodeDataSetByColumns(benchmark::State& state)
{
    TPageDataSet ds(ParsedReply());
    ds.LoadPage(ParsedReply());
    size_t size = 0;
    for (auto _ : state) {
        ds.First();
        ds.SetTag(0);
        std::string out = DataSetToJSONByColumns(ds);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
        if (ds.Tag() != kRows)
            state.SkipWithError("not every record was written");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

} // namespace

BENCHMARK(BM_DecodePageNembra)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillPageNembra)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeDataSetByColumns)->Unit(benchmark::kMillisecond);
