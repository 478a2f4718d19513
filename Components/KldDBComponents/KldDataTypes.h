#pragma once
// Vocabulary of the in-memory table engine: the column data types with their
// names, sizes and variant types, compare options, row versions, parameter
// objects, the provider registry and the abstract data command.

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "Components/KldDBComponents/KldSet.h"
#include "platform/Variants.h"

enum TKldDataType : uint8_t
{
    cdtUnknown,
    cdtSmallInt,
    cdtLargeInt,
    cdtBoolean,
    cdtInteger,
    cdtFloat,
    cdtDateTime,
    cdtDate,
    cdtTime,
    cdtString,
    cdtWideString,
    cdtGuid,
    cdtMemo,
    cdtBlob,
    cdtReference,
    cdtBCD,
    cdtSQLTimeStamp
};

constexpr int KldDataTypeCount = 17;

// Names used in schemas (matched without regard to case).
extern const std::array<const char*, KldDataTypeCount> DataTypeNames;
// Variant type code of each data type.
extern const std::array<TVarType, KldDataTypeCount> VarTypes;
// Whether a column of the type carries a length of its own.
extern const std::array<bool, KldDataTypeCount> DataTypeHasSize;
// Bytes a value of the type takes in a row buffer, as the engine reports them
// (references count 4 bytes, whatever the in-memory slot of this port holds).
extern const std::array<int, KldDataTypeCount> DataTypeSizes;

// The type whose name equals `name` without regard to case; cdtUnknown for none.
TKldDataType DataTypeNameToType(std::string_view name);

enum TKldCompareOption
{
    coDescending,
    coCaseInsensitive,
    coPartialKey,
    coNullsLast,
    coDoNotCompareBlobs
};
using TKldCompareOptions = KldSet<TKldCompareOption>;

enum TKldDataRowVersion
{
    drvCurrent,
    drvOriginal
};

enum TKldParamType
{
    cptUnknown,
    cptInput,
    cptOutput,
    cptInputOutput,
    cptResult
};

enum TKldCommandType
{
    ctTableDirect,
    ctSQLSelect,
    ctSQLUpdate
};

// Bit `index` of a bitmap: bit index mod 8 of byte index div 8.
void SetBit(uint8_t* bits, int index, bool value);
bool GetBit(const uint8_t* bits, int index);

// The value of a String, WideString, Memo or Blob slot: an immutable byte
// string shared by counted references, so copying a row's values (original,
// edit and rollback copies) copies no text. A null pointer is the empty text.
class TKldStoredString
{
public:
    static TKldStoredString* Make(std::string_view text);
    static void AddRef(TKldStoredString* s) noexcept
    {
        if (s)
            s->m_refs.fetch_add(1, std::memory_order_relaxed);
    }
    static void Release(TKldStoredString* s) noexcept;
    static std::string_view View(const TKldStoredString* s) noexcept
    {
        return s ? std::string_view(s->Data(), s->m_length) : std::string_view();
    }

    TKldStoredString(const TKldStoredString&) = delete;
    TKldStoredString& operator=(const TKldStoredString&) = delete;

private:
    explicit TKldStoredString(uint32_t length) : m_length(length) {}
    const char* Data() const noexcept { return reinterpret_cast<const char*>(this + 1); }

    std::atomic<uint32_t> m_refs{1};
    uint32_t m_length;
};
