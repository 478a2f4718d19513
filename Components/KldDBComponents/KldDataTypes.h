#pragma once
// Vocabulary of the in-memory table engine: the column data types with their
// names, sizes and variant types, compare options, row versions, parameter
// objects, the provider registry and the abstract data command.

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
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

// A text value (String, WideString, Memo, Blob) as rows, comparisons and
// column writes see it: twice its length as an unsigned LEB128 number, then
// its bytes. Rows keep texts inline in this form; an odd number never starts
// a text value (a row uses 1 to mark a text it keeps outside its buffer).
// KldTextViewLong reads any length; KldTextView is its quick form.
std::string_view KldTextViewLong(const void* value) noexcept;
inline std::string_view KldTextView(const void* value) noexcept
{
    // Rows read their texts' lengths all the time; most fit one byte.
    auto* p = static_cast<const uint8_t*>(value);
    if (*p < 0x80)
        return std::string_view(reinterpret_cast<const char*>(p + 1), *p >> 1);
    return KldTextViewLong(value);
}
// Bytes the value form of `text` takes.
size_t KldTextValueSize(std::string_view text) noexcept;
// Writes the value form of `text` to `dest` (KldTextValueSize bytes).
void KldWriteTextValue(uint8_t* dest, std::string_view text) noexcept;
// The value form of the empty text.
const void* KldEmptyTextValue() noexcept;

// A text in value form, made for one write or comparison; short texts need
// no allocation.
class TKldTextValue
{
public:
    explicit TKldTextValue(std::string_view text);
    TKldTextValue(const TKldTextValue&) = delete;
    TKldTextValue& operator=(const TKldTextValue&) = delete;
    const void* Value() const noexcept { return m_large ? m_large.get() : m_small; }

private:
    uint8_t m_small[64];
    std::unique_ptr<uint8_t[]> m_large;
};

// A text value kept outside a row: immutable and shared by counted
// references, so copying a row's values (original, edit and rollback copies)
// copies no long text. A null pointer is the empty text.
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
    // The text in value form.
    static const void* Value(const TKldStoredString* s) noexcept
    {
        return s ? static_cast<const void*>(s + 1) : KldEmptyTextValue();
    }
    static std::string_view View(const TKldStoredString* s) noexcept { return KldTextView(Value(s)); }

    TKldStoredString(const TKldStoredString&) = delete;
    TKldStoredString& operator=(const TKldStoredString&) = delete;

private:
    TKldStoredString() = default;

    std::atomic<uint32_t> m_refs{1};
};
