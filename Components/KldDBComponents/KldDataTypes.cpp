#include "Components/KldDBComponents/KldDataTypes.h"

#include <cstdlib>
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

TKldStoredString* TKldStoredString::Make(std::string_view text)
{
    if (text.empty())
        return nullptr;
    if (text.size() > std::numeric_limits<uint32_t>::max())
        throw Exception(Format("Text of %u bytes is too long for a column value", text.size()));
    void* block = ::operator new(sizeof(TKldStoredString) + text.size());
    auto* s = new (block) TKldStoredString(static_cast<uint32_t>(text.size()));
    std::memcpy(const_cast<char*>(s->Data()), text.data(), text.size());
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
