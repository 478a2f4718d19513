#include "Components/KldDBComponents/KldDataTypes.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "platform/SysUtils.h"

const std::array<const char*, KldDataTypeCount> DataTypeNames = {
    "Unknown", "SmallInt", "LargeInt",   "Boolean", "Integer", "Float",     "DateTime", "Date",        "Time",
    "String",  "WideString", "Guid", "Memo", "Blob", "Reference", "BCD", "SQLTimeStamp"};

const std::array<TVarType, KldDataTypeCount> VarTypes = {
    varNull,   varSmallint, varInt64, varBoolean, varInteger, varDouble, varDate, varDate,     varDate,
    varString, varOleStr,   varString, varNull,   varNull,    varNull,   varDouble, varDate};

const std::array<bool, KldDataTypeCount> DataTypeHasSize = {
    false, false, false, false, false, false, false, false, false,
    true,  true,  false, false, false, false, false, false};

const std::array<int, KldDataTypeCount> DataTypeSizes = {0, 2, 8, 2, 4, 8, 8, 8, 8, 4, 4, 16, 4, 4, 4, 34, 16};

TKldDataType DataTypeNameToType(std::string_view name)
{
    for (int i = 0; i < KldDataTypeCount; ++i)
    {
        if (AnsiSameText(name, DataTypeNames[i]))
            return static_cast<TKldDataType>(i);
    }
    return cdtUnknown;
}

void SetBit(uint8_t* bits, int index, bool value)
{
    uint8_t mask = uint8_t(1u << (index % 8));
    if (value)
        bits[index / 8] |= mask;
    else
        bits[index / 8] &= uint8_t(~mask);
}

bool GetBit(const uint8_t* bits, int index)
{
    return (bits[index / 8] & (1u << (index % 8))) != 0;
}

std::string_view KldTextViewLong(const void* value) noexcept
{
    auto* p = static_cast<const uint8_t*>(value);
    uint64_t n = 0;
    for (int shift = 0;; shift += 7)
    {
        uint8_t byte = *p++;
        n |= uint64_t(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            break;
    }
    return std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(n >> 1));
}

size_t KldTextValueSize(std::string_view text) noexcept
{
    uint64_t n = uint64_t(text.size()) << 1;
    size_t bytes = 1;
    while (n >= 0x80)
    {
        n >>= 7;
        ++bytes;
    }
    return bytes + text.size();
}

void KldWriteTextValue(uint8_t* dest, std::string_view text) noexcept
{
    uint64_t n = uint64_t(text.size()) << 1;
    while (n >= 0x80)
    {
        *dest++ = static_cast<uint8_t>(n | 0x80);
        n >>= 7;
    }
    *dest++ = static_cast<uint8_t>(n);
    if (!text.empty())
        std::memcpy(dest, text.data(), text.size());
}

const void* KldEmptyTextValue() noexcept
{
    static const uint8_t empty = 0;
    return &empty;
}

TKldTextValue::TKldTextValue(std::string_view text)
{
    uint8_t* dest = m_small;
    size_t size = KldTextValueSize(text);
    if (size > sizeof m_small)
    {
        m_large.reset(new uint8_t[size]);
        dest = m_large.get();
    }
    KldWriteTextValue(dest, text);
}

TKldStoredString* TKldStoredString::Make(std::string_view text)
{
    if (text.empty())
        return nullptr;
    if (text.size() > std::numeric_limits<uint32_t>::max())
        throw Exception(Format("Text of %u bytes is too long for a column value", text.size()));
    void* block = ::operator new(sizeof(TKldStoredString) + KldTextValueSize(text));
    auto* s = new (block) TKldStoredString();
    KldWriteTextValue(reinterpret_cast<uint8_t*>(s + 1), text);
    return s;
}

void TKldStoredString::Release(TKldStoredString* s) noexcept
{
    if (s && s->m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
    {
        s->~TKldStoredString();
        ::operator delete(s);
    }
}
