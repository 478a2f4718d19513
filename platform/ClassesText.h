#pragma once
// Private helpers of the class-library units; not for use outside platform/.

#include <algorithm>
#include <string>
#include <vector>

namespace kld_classes {
// The system's error text for errno `error`.
std::string OsErrorText(int error);

// A stable merge sort that stays within the vector whatever `less` answers:
// user compare functions that are not consistent give some order, never a
// read out of bounds (which the standard sorts do not promise).
template <class T, class Less> void SafeStableSort(std::vector<T>& items, Less less)
{
    const size_t n = items.size();
    if (n < 2)
        return;
    std::vector<T> buffer(n);
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t low = 0; low < n; low += 2 * width) {
            const size_t mid = std::min(low + width, n);
            const size_t high = std::min(low + 2 * width, n);
            size_t i = low;
            size_t j = mid;
            size_t k = low;
            while (i < mid && j < high)
                buffer[k++] = less(items[j], items[i]) ? items[j++] : items[i++];
            while (i < mid)
                buffer[k++] = items[i++];
            while (j < high)
                buffer[k++] = items[j++];
        }
        items.swap(buffer);
    }
}
} // namespace kld_classes
