// Dataset snapshots from arbitrary bytes, read by TovnBinaryShadow into a
// closed dataset (which takes the snapshot's structure) and into an open one
// of fixed fields that holds a row already. Reading raises the snapshot's
// errors (EovnShadow, EovnBinaryShadow) or, for a structure the dataset
// cannot open, the dataset's own error; per-record errors go to the event.
// Anything else is a bug: a crash, an allocation beyond the input's size, a
// dataset left editing, the open dataset's row lost, or a snapshot of what
// was read that does not read again.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Components/Nembra/ovnDataShadow.h"
#include "platform/DataSet.h"
#include "platform/Streams.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Reads `bytes` into `ds`; answers whether Read returned (rather than raised).
// The event cancels after the seventh record when `cancel` is set.
bool ReadInto(TDataSet& ds, const std::string& bytes, bool cancel)
{
    TStringStream stream(bytes);
    TovnBinaryShadow reader(&ds, &stream);
    int events = 0;
    reader.OnRecordReadWrite = [&](int recNo, TShadowStatus status, const std::string&, TCancelAction& action) {
        Check(status == ssReading && recNo == ++events);
        if (cancel && recNo == 7)
            action = caDataSet;
    };
    try {
        reader.Read();
    } catch (const EovnShadow&) {
        Check(!ds.Active() || ds.State() == dsBrowse);
        return false;
    } catch (const Exception&) {
        // A structure the dataset cannot open (an unknown field type...).
        Check(!ds.Active());
        return false;
    }
    Check(ds.State() == dsBrowse);
    return true;
}

void IntoClosed(const std::string& bytes, bool cancel)
{
    TovnDataSet ds;
    if (!ReadInto(ds, bytes, cancel))
        return;
    // What was read is written and read again.
    TStringStream out;
    TovnShadow::SaveToStream(NembraWriterClass<TovnBinaryShadow>(), &ds, &out, "again");
    TovnDataSet again;
    TStringStream in(out.DataString());
    TovnBinaryShadow reader(&again, &in);
    try {
        reader.Read();
    } catch (const Exception&) {
        Check(false);
    }
    Check(again.RecordCount() <= ds.RecordCount());
    Check(reader.GetShadowName() == "again");
}

void IntoOpen(const std::string& bytes, bool cancel)
{
    TovnDataSet ds;
    ds.FieldDefs().Add("A", ftInteger);
    ds.FieldDefs().Add("B", ftString, 8);
    ds.FieldDefs().Add("C", ftMemo);
    ds.FieldDefs().Add("D", ftDateTime);
    ds.FieldDefs().Add("E", ftLargeint);
    ds.FieldDefs().Add("F", ftBCD, 4);
    ds.Open();
    ds.AppendRecord({-1, "kept"});
    const bool read = ReadInto(ds, bytes, cancel);
    Check(ds.Active());
    Check(ds.RecordCount() >= 1);
    if (!read)
        Check(ds.RecordCount() == 1);
    ds.First();
    Check(ds.FieldByName("A")->AsInteger() == -1 && ds.FieldByName("B")->AsString() == "kept");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const bool cancel = size > 0 && data[size - 1] == 0x55;
    IntoClosed(bytes, cancel);
    IntoOpen(bytes, cancel);
    return 0;
}
