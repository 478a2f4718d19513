// Value records and variant texts from arbitrary bytes: readers either give a
// value or refuse the input with their own error, and what they read writes
// back to the same value. Raw BCD and time-stamp records (as read from files)
// are either refused as invalid or convert cleanly.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/FMTBcd.h"
#include "platform/Guid.h"
#include "platform/SqlTimSt.h"
#include "platform/Variants.h"

namespace {
void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void BcdText(const std::string& text)
{
    TBcd bcd;
    if (!TryStrToBcd(text, bcd))
        return;
    TBcd again = StrToBcd(BcdToStr(bcd));
    Check(BcdCompare(bcd, again) == 0);
    Check(BcdToStr(again) == BcdToStr(bcd));
}

void BcdRecord(const uint8_t* data, size_t size)
{
    if (size < sizeof(TBcd))
        return;
    TBcd bcd;
    std::memcpy(&bcd, data, sizeof bcd);
    if (!IsValidBcd(bcd)) {
        try {
            BcdToStr(bcd);
            Check(false);
        } catch (const EBcdException&) {
        }
        return;
    }
    Check(BcdCompare(bcd, StrToBcd(BcdToStr(bcd))) == 0);
    (void)BcdToDouble(bcd);
    int64_t currency;
    (void)BCDToCurr(bcd, currency);
    TBcd normal;
    if (NormalizeBcd(bcd, normal, 32, 4))
        Check(BcdScale(normal) == 4);
}

void GuidText(const std::string& text)
{
    TGUID guid;
    if (!TryStringToGUID(text, guid))
        return;
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    Check(GUIDToString(guid) == upper);
}

void TimeStampRecord(const uint8_t* data, size_t size)
{
    if (size < sizeof(TSQLTimeStamp))
        return;
    TSQLTimeStamp ts;
    std::memcpy(&ts, data, sizeof ts);
    TDateTime value;
    if (TrySQLTimeStampToDateTime(ts, value) && !IsSQLTimeStampBlank(ts))
        Check(DateTimeToSQLTimeStamp(value) == ts);
}

void VariantText(const std::string& text)
{
    const Variant v(text);
    try {
        (void)v.AsInt64();
    } catch (const EVariantError&) {
    }
    try {
        double d = v.AsDouble();
        (void)Variant(d).AsString();
    } catch (const EVariantError&) {
    }
    try {
        (void)v.AsBoolean();
    } catch (const EVariantError&) {
    }
    try {
        (void)v.AsDateTime();
    } catch (const EVariantError&) {
    }
    try {
        (void)VarCompareValue(v, Variant(1));
        (void)(v + Variant(1));
    } catch (const EVariantError&) {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    BcdText(text);
    BcdRecord(data, size);
    GuidText(text);
    TimeStampRecord(data, size);
    VariantText(text);
    return 0;
}
