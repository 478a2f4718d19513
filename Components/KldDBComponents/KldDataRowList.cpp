#include "Components/KldDBComponents/KldDataRowList.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "Components/KldDBComponents/KldDataRow.h"
#include "platform/SysUtils.h"

namespace
{

// Moves the entries of `from` after the first `keep` to the empty `to`.
template <class V>
void MoveTail(V& from, V& to, size_t keep)
{
    to.assign(from.begin() + static_cast<ptrdiff_t>(keep), from.end());
    from.resize(keep);
}

} // namespace

TKldRowList::~TKldRowList()
{
    Clear();
}

TKldRowList::Chunk TKldRowList::NewChunk() const
{
    Chunk chunk;
    chunk.Rows.reserve(ChunkCapacity);
    if (m_hints)
        WithHints(chunk, [](auto& hints) { hints.reserve(ChunkCapacity); });
    return chunk;
}

size_t TKldRowList::ChunkOf(size_t index) const
{
    size_t hint = m_lastChunk;
    if (hint < m_chunks.size() && index >= m_starts[hint] && index < m_starts[hint] + m_chunks[hint].Rows.size())
        return hint;
    auto it = std::upper_bound(m_starts.begin(), m_starts.end(), index);
    size_t chunk = static_cast<size_t>(it - m_starts.begin()) - 1;
    m_lastChunk = chunk;
    return chunk;
}

void TKldRowList::ShiftStarts(size_t fromChunk, ptrdiff_t delta)
{
    for (size_t c = fromChunk; c < m_starts.size(); ++c)
        m_starts[c] = static_cast<size_t>(static_cast<ptrdiff_t>(m_starts[c]) + delta);
}

TKldDataRow* TKldRowList::Get(int index) const
{
    KLD_ASSERT("KldData", index >= 0 && static_cast<size_t>(index) < m_count);
    size_t c = ChunkOf(static_cast<size_t>(index));
    return m_chunks[c].Rows[static_cast<size_t>(index) - m_starts[c]];
}

void TKldRowList::Insert(int index, TKldDataRow* row, int64_t hint)
{
    KLD_ASSERT("KldData", index >= 0 && static_cast<size_t>(index) <= m_count);
    KLD_ASSERT("KldData", !m_narrow || (hint >= INT32_MIN && hint <= INT32_MAX));
    size_t pos = static_cast<size_t>(index);
    if (m_chunks.empty())
    {
        m_chunks.push_back(NewChunk());
        m_starts.push_back(0);
    }
    size_t c = pos == m_count ? m_chunks.size() - 1 : ChunkOf(pos);
    if (m_chunks[c].Rows.size() >= ChunkCapacity)
    {
        if (pos == m_count)
        {
            // Appending: start a fresh chunk and leave the full one full.
            m_chunks.push_back(NewChunk());
            m_starts.push_back(m_count);
            c = m_chunks.size() - 1;
        }
        else
        {
            size_t half = m_chunks[c].Rows.size() / 2;
            Chunk upper = NewChunk();
            auto& lower = m_chunks[c];
            MoveTail(lower.Rows, upper.Rows, half);
            if (m_hints)
            {
                if (m_narrow)
                    MoveTail(lower.NarrowHints, upper.NarrowHints, half);
                else
                    MoveTail(lower.Hints, upper.Hints, half);
            }
            size_t upperStart = m_starts[c] + half;
            m_chunks.insert(m_chunks.begin() + static_cast<ptrdiff_t>(c) + 1, std::move(upper));
            m_starts.insert(m_starts.begin() + static_cast<ptrdiff_t>(c) + 1, upperStart);
            if (pos >= upperStart)
                ++c;
        }
    }
    Chunk& chunk = m_chunks[c];
    size_t offset = pos - m_starts[c];
    chunk.Rows.insert(chunk.Rows.begin() + static_cast<ptrdiff_t>(offset), row);
    if (m_hints)
    {
        WithHints(chunk, [offset, hint](auto& hints) {
            using T = typename std::decay_t<decltype(hints)>::value_type;
            hints.insert(hints.begin() + static_cast<ptrdiff_t>(offset), static_cast<T>(hint));
        });
    }
    ShiftStarts(c + 1, 1);
    ++m_count;
}

TKldDataRow* TKldRowList::Extract(int index)
{
    KLD_ASSERT("KldData", index >= 0 && static_cast<size_t>(index) < m_count);
    size_t pos = static_cast<size_t>(index);
    size_t c = ChunkOf(pos);
    Chunk& chunk = m_chunks[c];
    size_t offset = pos - m_starts[c];
    TKldDataRow* row = chunk.Rows[offset];
    chunk.Rows.erase(chunk.Rows.begin() + static_cast<ptrdiff_t>(offset));
    if (m_hints)
        WithHints(chunk, [offset](auto& hints) { hints.erase(hints.begin() + static_cast<ptrdiff_t>(offset)); });
    ShiftStarts(c + 1, -1);
    --m_count;
    if (chunk.Rows.empty())
    {
        m_chunks.erase(m_chunks.begin() + static_cast<ptrdiff_t>(c));
        m_starts.erase(m_starts.begin() + static_cast<ptrdiff_t>(c));
        m_lastChunk = 0;
    }
    return row;
}

void TKldRowList::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    int64_t hint = m_hints ? Hint(curIndex) : 0;
    TKldDataRow* row = Extract(curIndex);
    Insert(newIndex, row, hint);
}

int TKldRowList::IndexOf(const TKldDataRow* row) const
{
    for (size_t c = 0; c < m_chunks.size(); ++c)
    {
        auto it = std::find(m_chunks[c].Rows.begin(), m_chunks[c].Rows.end(), row);
        if (it != m_chunks[c].Rows.end())
            return static_cast<int>(m_starts[c] + static_cast<size_t>(it - m_chunks[c].Rows.begin()));
    }
    return -1;
}

void TKldRowList::Clear()
{
    auto chunks = std::move(m_chunks);
    m_chunks.clear();
    m_starts.clear();
    m_count = 0;
    m_lastChunk = 0;
    for (auto& chunk : chunks)
    {
        for (TKldDataRow* row : chunk.Rows)
            delete row;
    }
}

std::vector<TKldDataRow*> TKldRowList::Slice(int first, int count) const
{
    std::vector<TKldDataRow*> rows;
    rows.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = first; i < first + count; ++i)
        rows.push_back(Get(i));
    return rows;
}

void TKldRowList::Reorder(int first, const std::vector<TKldDataRow*>& rows)
{
    KLD_ASSERT("KldData", first >= 0 && static_cast<size_t>(first) + rows.size() <= m_count);
    for (size_t i = 0; i < rows.size(); ++i)
    {
        size_t pos = static_cast<size_t>(first) + i;
        size_t c = ChunkOf(pos);
        m_chunks[c].Rows[pos - m_starts[c]] = rows[i];
    }
}

void TKldRowList::SetHintsEnabled(bool enabled, bool narrow)
{
    KLD_ASSERT("KldData", m_count == 0);
    m_hints = enabled;
    m_narrow = enabled && narrow;
    m_chunks.clear();
    m_starts.clear();
}

int64_t TKldRowList::Hint(int index) const
{
    KLD_ASSERT("KldData", m_hints && index >= 0 && static_cast<size_t>(index) < m_count);
    size_t c = ChunkOf(static_cast<size_t>(index));
    size_t offset = static_cast<size_t>(index) - m_starts[c];
    return WithHints(m_chunks[c], [offset](const auto& hints) { return static_cast<int64_t>(hints[offset]); });
}

void TKldRowList::SetHint(int index, int64_t hint)
{
    KLD_ASSERT("KldData", m_hints && index >= 0 && static_cast<size_t>(index) < m_count);
    size_t c = ChunkOf(static_cast<size_t>(index));
    KLD_ASSERT("KldData", !m_narrow || (hint >= INT32_MIN && hint <= INT32_MAX));
    size_t offset = static_cast<size_t>(index) - m_starts[c];
    WithHints(m_chunks[c], [offset, hint](auto& hints) {
        using T = typename std::decay_t<decltype(hints)>::value_type;
        hints[offset] = static_cast<T>(hint);
    });
}

int TKldRowList::LowerBoundHint(int64_t hint, int count) const
{
    KLD_ASSERT("KldData", m_hints && count >= 0 && static_cast<size_t>(count) <= m_count);
    if (count == 0)
        return 0;
    // The last chunk that starts below `count` and whose first hint is below
    // `hint` holds the answer, or the answer is its end.
    size_t lastChunk = ChunkOf(static_cast<size_t>(count - 1));
    // A narrow list holds no hint outside the 32-bit range: one below it is
    // below every hint, one above it above every hint.
    if (m_narrow && hint < INT32_MIN)
        hint = INT32_MIN;
    if (m_narrow && hint > INT32_MAX)
        return count;
    size_t lo = 0;
    size_t hi = lastChunk + 1; // chunks [lo, hi) are candidates
    while (hi - lo > 1)
    {
        size_t mid = lo + (hi - lo) / 2;
        if (WithHints(m_chunks[mid], [](const auto& hints) { return static_cast<int64_t>(hints.front()); }) < hint)
            lo = mid;
        else
            hi = mid;
    }
    size_t start = m_starts[lo];
    size_t offset = WithHints(m_chunks[lo], [&](const auto& hints) {
        using T = typename std::decay_t<decltype(hints)>::value_type;
        size_t limit = std::min(hints.size(), static_cast<size_t>(count) - start);
        auto it = std::lower_bound(hints.begin(), hints.begin() + static_cast<ptrdiff_t>(limit), static_cast<T>(hint));
        return static_cast<size_t>(it - hints.begin());
    });
    return static_cast<int>(start + offset);
}

size_t TKldRowList::ListBytes() const
{
    size_t bytes = m_chunks.capacity() * sizeof(Chunk) + m_starts.capacity() * sizeof(size_t);
    for (const auto& chunk : m_chunks)
        bytes += chunk.Rows.capacity() * sizeof(TKldDataRow*) + chunk.Hints.capacity() * sizeof(int64_t) +
                 chunk.NarrowHints.capacity() * sizeof(int32_t);
    return bytes;
}
