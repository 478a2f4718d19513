#include "Components/KldDBComponents/KldDataRowList.h"

#include <algorithm>

#include "Components/KldDBComponents/KldDataRow.h"
#include "platform/SysUtils.h"

TKldRowList::~TKldRowList()
{
    Clear();
}

TKldRowList::Chunk TKldRowList::NewChunk() const
{
    Chunk chunk;
    chunk.Rows.reserve(ChunkCapacity);
    if (m_hints)
        chunk.Hints.reserve(ChunkCapacity);
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
            upper.Rows.assign(lower.Rows.begin() + static_cast<ptrdiff_t>(half), lower.Rows.end());
            lower.Rows.resize(half);
            if (m_hints)
            {
                upper.Hints.assign(lower.Hints.begin() + static_cast<ptrdiff_t>(half), lower.Hints.end());
                lower.Hints.resize(half);
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
        chunk.Hints.insert(chunk.Hints.begin() + static_cast<ptrdiff_t>(offset), hint);
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
        chunk.Hints.erase(chunk.Hints.begin() + static_cast<ptrdiff_t>(offset));
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

void TKldRowList::SetHintsEnabled(bool enabled)
{
    KLD_ASSERT("KldData", m_count == 0);
    m_hints = enabled;
    m_chunks.clear();
    m_starts.clear();
}

int64_t TKldRowList::Hint(int index) const
{
    KLD_ASSERT("KldData", m_hints && index >= 0 && static_cast<size_t>(index) < m_count);
    size_t c = ChunkOf(static_cast<size_t>(index));
    return m_chunks[c].Hints[static_cast<size_t>(index) - m_starts[c]];
}

void TKldRowList::SetHint(int index, int64_t hint)
{
    KLD_ASSERT("KldData", m_hints && index >= 0 && static_cast<size_t>(index) < m_count);
    size_t c = ChunkOf(static_cast<size_t>(index));
    m_chunks[c].Hints[static_cast<size_t>(index) - m_starts[c]] = hint;
}

int TKldRowList::LowerBoundHint(int64_t hint, int count) const
{
    KLD_ASSERT("KldData", m_hints && count >= 0 && static_cast<size_t>(count) <= m_count);
    if (count == 0)
        return 0;
    // The last chunk that starts below `count` and whose first hint is below
    // `hint` holds the answer, or the answer is its end.
    size_t lastChunk = ChunkOf(static_cast<size_t>(count - 1));
    size_t lo = 0;
    size_t hi = lastChunk + 1; // chunks [lo, hi) are candidates
    while (hi - lo > 1)
    {
        size_t mid = lo + (hi - lo) / 2;
        if (m_chunks[mid].Hints.front() < hint)
            lo = mid;
        else
            hi = mid;
    }
    const Chunk& chunk = m_chunks[lo];
    size_t limit = std::min(chunk.Hints.size(), static_cast<size_t>(count) - m_starts[lo]);
    auto it = std::lower_bound(chunk.Hints.begin(), chunk.Hints.begin() + static_cast<ptrdiff_t>(limit), hint);
    return static_cast<int>(m_starts[lo] + static_cast<size_t>(it - chunk.Hints.begin()));
}

size_t TKldRowList::ListBytes() const
{
    size_t bytes = m_chunks.capacity() * sizeof(Chunk) + m_starts.capacity() * sizeof(size_t);
    for (const auto& chunk : m_chunks)
        bytes += chunk.Rows.capacity() * sizeof(TKldDataRow*) + chunk.Hints.capacity() * sizeof(int64_t);
    return bytes;
}
