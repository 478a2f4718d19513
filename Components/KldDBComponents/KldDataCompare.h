#pragma once
// Ordering of stored values and rows, the null test of variants, and the
// engine's quicksort.

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "Components/KldDBComponents/KldDataTypes.h"
#include "platform/SysUtils.h"

class TKldDataRow;
class TKldDataColumn;
class TKldDataTable;

using TKldColumnArray = std::vector<TKldDataColumn*>;
using TKldCompareOptionsArray = std::vector<TKldCompareOptions>;

// Orders two stored values of one type. `a` and `b` point to values in slot
// format (for the text types: a text value, see KldTextView); nullptr is NULL.
// NULL sorts first (last with coNullsLast) whatever coDescending says.
int CompareValues(const void* a, const void* b, TKldDataType dataType, TKldCompareOptions options);
// Whether a stored value was changed: texts differ by any byte, even where
// the collation orders them equal (a control character added, another
// normalisation); other types differ where CompareValues says so.
bool ValuesDiffer(const void* a, const void* b, TKldDataType dataType);

// Locale-aware comparison of two UTF-8 texts, -1, 0 or +1.
int CompareLocaleText(std::string_view a, std::string_view b, bool caseInsensitive);
// Appends the collation key of `text` (without its terminating zero) to
// `key`: two keys compared byte by byte, a shorter prefix first, order their
// texts as CompareLocaleText does. Sorting many rows compares keys instead of
// collating the same texts again and again.
void AppendLocaleSortKey(std::string_view text, bool caseInsensitive, std::vector<uint8_t>& key);
// The same for a text of ASCII characters only, built from per-character
// weights taken from the collator once; answers False, appending nothing,
// for a text with other characters. Keys of the two kinds do not compare.
bool AppendAsciiSortKey(std::string_view text, std::vector<uint8_t>& key);

// 0 when either row is nil or the columns' types differ; otherwise the order
// of row1's value in column1 and row2's value in column2, a missing column
// counting as NULL.
int _CompareRow(const TKldDataRow* row1, const TKldDataRow* row2, const TKldDataColumn* column1,
                const TKldDataColumn* column2, TKldCompareOptions options);
int _CompareRow(const TKldDataRow* row1, const TKldDataRow* row2, const TKldDataColumn* column,
                TKldCompareOptions options);

// Column pair by column pair (columns1[i] of row1 against columns2[i] of
// row2); the first non-zero result.
int CompareRows(const TKldDataRow* row1, const TKldDataRow* row2, const TKldColumnArray& columns1,
                TKldCompareOptions options, const TKldColumnArray& columns2);
int CompareRows(const TKldDataRow* row1, const TKldDataRow* row2, const TKldColumnArray& columns,
                TKldCompareOptions options = {});

// Called for each matching row; `flag` starts False and is not read afterwards.
using TKldRowProc = std::function<void(TKldDataRow* row, void* data, bool& flag)>;

// Calls `proc` for every live row of `table` whose values in `tableColumns`
// equal `row`'s values in `rowColumns`; answers the number of such rows. The
// procedure may delete the row it is given.
int ForEachRow(TKldDataTable& table, const TKldDataRow* row, const TKldColumnArray& rowColumns,
               const TKldColumnArray& tableColumns, const TKldRowProc& proc, void* data);

// Null or Empty; an array is null when every element is (an empty array is).
bool _VarIsNull(const Variant& v);

// Quicksort of items[low..high] with the middle item of each range as pivot.
// `compare` need not be a strict weak order (blob and NaN comparisons are not):
// every index stays inside the range whatever it answers.
template <class T, class Compare>
void KldQuickSort(std::vector<T>& items, ptrdiff_t low, ptrdiff_t high, Compare compare)
{
    while (low < high)
    {
        ptrdiff_t i = low;
        ptrdiff_t j = high;
        T pivot = items[static_cast<size_t>(low + (high - low) / 2)];
        do
        {
            while (i < high && compare(items[static_cast<size_t>(i)], pivot) < 0)
                ++i;
            while (j > low && compare(items[static_cast<size_t>(j)], pivot) > 0)
                --j;
            if (i <= j)
            {
                std::swap(items[static_cast<size_t>(i)], items[static_cast<size_t>(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        // Recurse into the smaller part so the stack stays logarithmic.
        if (j - low < high - i)
        {
            if (low < j)
                KldQuickSort(items, low, j, compare);
            low = i;
        }
        else
        {
            if (i < high)
                KldQuickSort(items, i, high, compare);
            high = j;
        }
    }
}
