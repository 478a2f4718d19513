// Container streams from arbitrary bytes: loading either succeeds or raises
// the engine's error with the container exactly as it was before. What loads
// saves and loads again to as many bytes, and every loaded value reads back
// as text or with a conversion error, never a crash.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "Components/KldDBComponents/KldData.h"
#include "platform/StringList.h"

namespace
{

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

std::string State(TKldDataContainer& container)
{
    TStringList lines;
    DumpContainerState(&container, lines);
    std::string text = lines.Text();
    text += container.Active() ? "active " : "inactive ";
    text += std::to_string(container.Tables().Count()) + "/" + std::to_string(container.Relations().Count());
    return text;
}

// A table T of every stored type with one row, and S with a String key.
void Build(TKldDataContainer& container)
{
    TKldDataTable* t = container.Tables().Add();
    t->SetName("T");
    const TKldDataType types[] = {cdtInteger, cdtSmallInt, cdtLargeInt, cdtBoolean, cdtFloat, cdtDateTime,
                                  cdtDate,    cdtTime,     cdtString,   cdtWideString, cdtMemo, cdtBlob,
                                  cdtBCD,     cdtSQLTimeStamp, cdtGuid};
    int i = 0;
    for (TKldDataType type : types)
        t->Columns().AddColumn("C" + std::to_string(i++), type);
    t->Column(0)->SetPrimaryKey(true);
    TKldDataTable* s = container.Tables().Add();
    s->SetName("S");
    s->Columns().AddColumn("Key", cdtString)->SetPrimaryKey(true);
    s->Columns().AddColumn("TId", cdtInteger);
    container.SetActive(true);
    TKldDataRow* row = t->New();
    row->SetValue(t->Column(0), 1);
    row->SetValue(t->Column(8), "text");
    t->Insert(row);
}

std::string Saved(TKldDataContainer& container)
{
    TMemoryStream stream;
    container.SaveToStream(stream, true, true);
    return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

void ReadEveryValue(TKldDataContainer& container)
{
    for (int t = 0; t < container.Tables().Count(); ++t)
    {
        TKldDataTable* table = container.Tables().Tables(t);
        for (int r = 0; r < table->RowCount(); ++r)
        {
            for (int c = 0; c < table->ColumnCount(); ++c)
            {
                try
                {
                    table->GetRow(r)->GetAsString(table->Column(c));
                    table->GetRow(r)->GetValue(table->Column(c));
                }
                catch (const Exception&)
                {
                }
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TKldDataContainer container;
    Build(container);
    const std::string before = State(container);
    TMemoryStream input;
    input.WriteBuffer(data, static_cast<int64_t>(size));
    input.SetPosition(0);
    try
    {
        container.LoadFromStream(input);
    }
    catch (const EAssertionFailed&)
    {
        Check(false);
    }
    catch (const Exception&)
    {
        Check(State(container) == before);
        return 0;
    }
    ReadEveryValue(container);
    // What loaded saves and reloads to the same bytes.
    std::string first;
    try
    {
        first = Saved(container);
    }
    catch (const Exception&)
    {
        return 0; // a loaded structure may not activate; nothing more to compare
    }
    TKldDataContainer again;
    TMemoryStream copy;
    copy.WriteBuffer(first.data(), static_cast<int64_t>(first.size()));
    copy.SetPosition(0);
    try
    {
        again.LoadFromStream(copy);
    }
    catch (const Exception&)
    {
        return 0; // e.g. duplicate keys that the first, keyless load accepted
    }
    // Rows of equal keys may come back in another order: the bytes are the
    // same in number.
    Check(Saved(again).size() == first.size());
    return 0;
}
