#include "Components/KldDBComponents/KldDataCompare.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include "Components/KldDBComponents/KldDataColumn.h"
#include "Components/KldDBComponents/KldDataRow.h"
#include "Components/KldDBComponents/KldDataTable.h"
#include "platform/FMTBcd.h"
#include "platform/Guid.h"
#include "platform/SqlTimSt.h"

namespace
{

struct CollatorCloser
{
    void operator()(UCollator* c) const noexcept { ucol_close(c); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorCloser>;

// One collator per mode, made on first use. Tertiary strength tells case
// apart; secondary strength ignores case but keeps accents apart.
CollatorPtr MakeCollator(bool caseInsensitive)
{
    UErrorCode status = U_ZERO_ERROR;
    CollatorPtr c(ucol_open("", &status));
    if (U_FAILURE(status) || !c)
        throw Exception(Format("Unable to open the text collator: %s", u_errorName(status)));
    ucol_setStrength(c.get(), caseInsensitive ? UCOL_SECONDARY : UCOL_TERTIARY);
    return c;
}

const UCollator* Collator(bool caseInsensitive)
{
    static const CollatorPtr sensitive = MakeCollator(false);
    static const CollatorPtr insensitive = MakeCollator(true);
    return caseInsensitive ? insensitive.get() : sensitive.get();
}

template <class T>
int CompareNumbers(T a, T b)
{
    // An unordered pair (NaN) compares equal.
    if (a < b)
        return -1;
    if (a > b)
        return 1;
    return 0;
}

template <class T>
T Load(const void* p)
{
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

std::string_view TextOf(const void* slot)
{
    return KldTextView(slot);
}

bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Characters of a UTF-8 text: every byte that does not continue a character
// starts one (a stray continuation byte at the start counts as one too).
size_t CharacterCount(std::string_view text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (i == 0 || !IsContinuationByte(text[i]))
            ++count;
    }
    return count;
}

// The first `characters` characters of `text`. A partial key is a prefix
// in characters: cutting by bytes could split a letter of the value and
// order it against the key differently from the value itself.
std::string_view CutToCharacters(std::string_view text, size_t characters)
{
    size_t end = 0;
    for (size_t taken = 0; end < text.size() && taken < characters; ++taken)
    {
        ++end;
        while (end < text.size() && IsContinuationByte(text[end]))
            ++end;
    }
    return text.substr(0, end);
}

int CompareText(const void* a, const void* b, TKldCompareOptions options)
{
    std::string_view sa = TextOf(a);
    std::string_view sb = TextOf(b);
    if (options.Contains(coPartialKey))
        sb = CutToCharacters(sb, CharacterCount(sa));
    return CompareLocaleText(sa, sb, options.Contains(coCaseInsensitive));
}

int CompareBlobs(const void* a, const void* b, TKldCompareOptions options)
{
    if (options.Contains(coDoNotCompareBlobs))
        return 0;
    std::string_view sa = TextOf(a);
    std::string_view sb = TextOf(b);
    if (sa.size() != sb.size())
        return sa.size() < sb.size() ? -1 : 1;
    // Differing blobs of one length are "greater" in both directions: the
    // comparison only tells equal from different.
    return sa == sb ? 0 : 1;
}

int CompareGuids(const void* a, const void* b)
{
    std::string ta = GUIDToString(Load<TGUID>(a));
    std::string tb = GUIDToString(Load<TGUID>(b));
    for (size_t i = 0; i < ta.size() && i < tb.size(); ++i)
    {
        if (ta[i] != tb[i])
            return static_cast<unsigned char>(ta[i]) - static_cast<unsigned char>(tb[i]);
    }
    return 0;
}

int CompareByType(const void* a, const void* b, TKldDataType dataType, TKldCompareOptions options)
{
    switch (dataType)
    {
    case cdtSmallInt:
        return CompareNumbers(Load<int16_t>(a), Load<int16_t>(b));
    case cdtInteger:
        return CompareNumbers(Load<int32_t>(a), Load<int32_t>(b));
    case cdtLargeInt:
        return CompareNumbers(Load<int64_t>(a), Load<int64_t>(b));
    case cdtBoolean:
        return CompareNumbers(Load<int16_t>(a) != 0, Load<int16_t>(b) != 0);
    case cdtFloat:
    case cdtDateTime:
    case cdtDate:
    case cdtTime:
        return CompareNumbers(Load<double>(a), Load<double>(b));
    case cdtString:
    case cdtMemo:
    case cdtWideString:
        return CompareText(a, b, options);
    case cdtGuid:
        return CompareGuids(a, b);
    case cdtBlob:
        return CompareBlobs(a, b, options);
    case cdtBCD:
        return BcdCompare(Load<TBcd>(a), Load<TBcd>(b));
    case cdtSQLTimeStamp:
        return CompareNumbers(SQLTimeStampToDateTime(Load<TSQLTimeStamp>(a)),
                              SQLTimeStampToDateTime(Load<TSQLTimeStamp>(b)));
    case cdtUnknown:
    case cdtReference:
        return 0;
    }
    return 0;
}

} // namespace

void AppendLocaleSortKey(std::string_view text, bool caseInsensitive, std::vector<uint8_t>& key)
{
    // Ill-formed UTF-8 becomes U+FFFD, as the collation of UTF-8 texts reads it.
    thread_local std::u16string wide;
    wide.resize(text.size() + 1);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status))
        throw Exception(Format("Unable to collate text: %s", u_errorName(status)));
    const UCollator* collator = Collator(caseInsensitive);
    size_t at = key.size();
    size_t room = static_cast<size_t>(length) * 4 + 16;
    key.resize(at + room);
    int32_t needed = ucol_getSortKey(collator, reinterpret_cast<const UChar*>(wide.data()), length, key.data() + at,
                                     static_cast<int32_t>(room));
    if (static_cast<size_t>(needed) > room)
    {
        key.resize(at + static_cast<size_t>(needed));
        ucol_getSortKey(collator, reinterpret_cast<const UChar*>(wide.data()), length, key.data() + at, needed);
    }
    key.resize(at + (needed > 0 ? static_cast<size_t>(needed) - 1 : 0));
}

namespace
{

// Case-sensitive collation weights of the 128 ASCII characters: the rank of
// each character's primary weight (0 for a character the collator ignores)
// and its rank among the characters of that primary weight.
struct AsciiWeights
{
    uint8_t Primary[128] = {};
    uint8_t Tertiary[128] = {};

    AsciiWeights()
    {
        UErrorCode status = U_ZERO_ERROR;
        CollatorPtr primary(ucol_open("", &status));
        if (U_FAILURE(status) || !primary)
            throw Exception(Format("Unable to open the text collator: %s", u_errorName(status)));
        ucol_setStrength(primary.get(), UCOL_PRIMARY);
        const UCollator* full = Collator(false);
        std::vector<UChar> chars;
        for (UChar c = 0; c < 128; ++c)
        {
            UChar none = 0;
            if (ucol_strcoll(full, &c, 1, &none, 0) != UCOL_EQUAL)
                chars.push_back(c);
        }
        std::stable_sort(chars.begin(), chars.end(),
                         [&](UChar a, UChar b) { return ucol_strcoll(full, &a, 1, &b, 1) == UCOL_LESS; });
        uint8_t primaryRank = 1;
        uint8_t tertiaryRank = 0;
        for (size_t i = 0; i < chars.size(); ++i)
        {
            if (i > 0)
            {
                UChar previous = chars[i - 1];
                if (ucol_strcoll(primary.get(), &previous, 1, &chars[i], 1) != UCOL_EQUAL)
                {
                    ++primaryRank;
                    tertiaryRank = 0;
                }
                else if (ucol_strcoll(full, &previous, 1, &chars[i], 1) != UCOL_EQUAL)
                {
                    ++tertiaryRank;
                }
            }
            Primary[chars[i]] = static_cast<uint8_t>(primaryRank + 1); // above the separator
            Tertiary[chars[i]] = static_cast<uint8_t>(tertiaryRank + 1);
        }
    }
};

const AsciiWeights& Ascii()
{
    static const AsciiWeights weights;
    return weights;
}

} // namespace

bool AppendAsciiSortKey(std::string_view text, std::vector<uint8_t>& key)
{
    for (char c : text)
    {
        if (static_cast<unsigned char>(c) >= 128)
            return false;
    }
    const AsciiWeights& w = Ascii();
    size_t at = key.size();
    key.resize(at + 2 * text.size() + 1);
    uint8_t* primary = key.data() + at;
    for (char c : text)
    {
        if (uint8_t p = w.Primary[static_cast<unsigned char>(c)])
            *primary++ = p;
    }
    *primary++ = 1;
    uint8_t* tertiary = primary;
    for (char c : text)
    {
        auto u = static_cast<unsigned char>(c);
        if (w.Primary[u])
            *tertiary++ = w.Tertiary[u];
    }
    key.resize(static_cast<size_t>(tertiary - key.data()));
    return true;
}

int CompareLocaleText(std::string_view a, std::string_view b, bool caseInsensitive)
{
    if (a == b)
        return 0;
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r = ucol_strcollUTF8(Collator(caseInsensitive), a.data(), static_cast<int32_t>(a.size()),
                                          b.data(), static_cast<int32_t>(b.size()), &status);
    if (U_FAILURE(status))
        return a < b ? -1 : 1;
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

int CompareValues(const void* a, const void* b, TKldDataType dataType, TKldCompareOptions options)
{
    if (!a || !b)
    {
        int result = (!a && !b) ? 0 : (!a ? -1 : 1);
        return options.Contains(coNullsLast) ? -result : result;
    }
    int result = CompareByType(a, b, dataType, options);
    return options.Contains(coDescending) ? -result : result;
}

bool ValuesDiffer(const void* a, const void* b, TKldDataType dataType)
{
    if (!a || !b)
        return a != b;
    switch (dataType)
    {
    case cdtString:
    case cdtMemo:
    case cdtWideString:
        return TextOf(a) != TextOf(b);
    default:
        return CompareValues(a, b, dataType, {}) != 0;
    }
}

int _CompareRow(const TKldDataRow* row1, const TKldDataRow* row2, const TKldDataColumn* column1,
                const TKldDataColumn* column2, TKldCompareOptions options)
{
    if (!row1 || !row2)
        return 0;
    if (column1 && column2 && column1->DataType() != column2->DataType())
        return 0;
    // A side without a column has no value: it orders as NULL.
    const TKldDataColumn* typed = column1 ? column1 : column2;
    if (!typed)
        return CompareValues(nullptr, nullptr, cdtUnknown, options);
    return CompareValues(column1 ? row1->ValuePtr(column1) : nullptr, column2 ? row2->ValuePtr(column2) : nullptr,
                         typed->DataType(), options);
}

int _CompareRow(const TKldDataRow* row1, const TKldDataRow* row2, const TKldDataColumn* column,
                TKldCompareOptions options)
{
    return _CompareRow(row1, row2, column, column, options);
}

int CompareRows(const TKldDataRow* row1, const TKldDataRow* row2, const TKldColumnArray& columns1,
                TKldCompareOptions options, const TKldColumnArray& columns2)
{
    if (row1 == row2 && &columns1 == &columns2)
        return 0;
    // Only whole pairs are compared: a longer array's extra columns have no partner.
    size_t count = std::min(columns1.size(), columns2.size());
    for (size_t i = 0; i < count; ++i)
    {
        int result = _CompareRow(row1, row2, columns1[i], columns2[i], options);
        if (result != 0)
            return result;
    }
    return 0;
}

int CompareRows(const TKldDataRow* row1, const TKldDataRow* row2, const TKldColumnArray& columns,
                TKldCompareOptions options)
{
    return CompareRows(row1, row2, columns, options, columns);
}

int ForEachRow(TKldDataTable& table, const TKldDataRow* row, const TKldColumnArray& rowColumns,
               const TKldColumnArray& tableColumns, const TKldRowProc& proc, void* data)
{
    int matches = 0;
    int i = 0;
    while (i < table.RowCount())
    {
        TKldDataRow* r = table.GetRow(i);
        if (CompareRows(row, r, rowColumns, {}, tableColumns) == 0)
        {
            ++matches;
            bool flag = false;
            if (proc)
                proc(r, data, flag);
            // The procedure may have deleted the row: step past it only when
            // it still sits at this index.
            if (i < table.RowCount() && table.GetRow(i) == r)
                ++i;
        }
        else
        {
            ++i;
        }
    }
    return matches;
}

// Deeper arrays are refused rather than walked.
constexpr int KldMaxArrayDims = 64;

bool _VarIsNull(const Variant& v)
{
    if (!VarIsArray(v))
        return VarIsNull(v) || VarIsEmpty(v);
    int dims = VarArrayDimCount(v);
    KLD_ASSERT("KldData", dims >= 1 && dims <= KldMaxArrayDims);
    std::array<int, KldMaxArrayDims> low{};
    std::array<int, KldMaxArrayDims> high{};
    for (int d = 0; d < dims; ++d)
    {
        low[size_t(d)] = VarArrayLowBound(v, d + 1);
        high[size_t(d)] = VarArrayHighBound(v, d + 1);
        if (high[size_t(d)] < low[size_t(d)])
            return true; // no elements
    }
    // Every element in turn, the last index running fastest.
    std::array<int, KldMaxArrayDims> index = low;
    for (;;)
    {
        if (!_VarIsNull(v.GetElement(std::span<const int>(index.data(), size_t(dims)))))
            return false;
        int d = dims - 1;
        while (d >= 0 && index[size_t(d)] == high[size_t(d)])
        {
            index[size_t(d)] = low[size_t(d)];
            --d;
        }
        if (d < 0)
            return true;
        ++index[size_t(d)];
    }
}
