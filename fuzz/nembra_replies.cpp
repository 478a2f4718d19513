// Feeds arbitrary bytes to the readers of server replies that fill datasets:
// a parameter object read into an existing list and into a new one, and a
// columnar "data" object turned into table rows column by column. A reply
// may fail with a parse, conversion, Base64, list index or date error;
// anything else (a crash, another exception, a list changed by a failed
// read) is a bug.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "Components/KldDBComponents/KldData.h"
#include "Components/Nembra/NembraDataSet.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"

namespace {

void ReadParams(const TJSONObject& reply)
{
    TParams params;
    params.CreateParam(ftUnknown, "A", ptUnknown);
    params.CreateParam(ftBlob, "B", ptOutput)->SetValue("kept");
    params.CreateParam(ftDateTime, "C", ptInputOutput);
    try {
        ParamsFromJSON(params, reply, {ptUnknown, ptOutput, ptInputOutput});
        ParamsToJSON(params, {ptUnknown, ptOutput, ptInputOutput});
    } catch (const Exception&) {
        if (params.ParamByName("B")->AsString() != "kept" || params.ParamByName("A")->DataType() != ftUnknown)
            __builtin_trap();
    }
    try {
        AddParamsFromJSON(params, reply);
        ParamsToJSON(params, {ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult});
    } catch (const Exception&) {
        if (params.Count() != 3)
            __builtin_trap();
    }
}

void ReadRows(const TJSONObject& reply)
{
    TKldDataContainer container;
    TKldDataTable* table = container.Tables().Add();
    table->SetName("T");
    const TKldDataType types[] = {cdtInteger,  cdtString, cdtFloat,        cdtDate,      cdtDateTime,
                                  cdtTime,     cdtMemo,   cdtBlob,         cdtBoolean,   cdtLargeInt,
                                  cdtSmallInt, cdtBCD,    cdtSQLTimeStamp, cdtWideString};
    int n = 0;
    for (TKldDataType type : types)
        table->Columns().AddColumn("C" + std::to_string(n++), type, type == cdtString ? 20 : -1);
    container.SetActive(true);
    const TNembraColMap map = CreateColMap(reply, *table);
    for (int index = 0; index < 4; ++index) {
        std::unique_ptr<TKldDataRow> row(table->New());
        try {
            JSONToRow(reply, row.get(), index, index % 2 == 0 ? &map : nullptr);
        } catch (const Exception&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<TJSONObject> reply;
    try {
        reply = std::make_unique<TJSONObject>(text);
    } catch (const Exception&) {
        return 0;
    }
    ReadParams(*reply);
    ReadRows(*reply);
    return 0;
}
