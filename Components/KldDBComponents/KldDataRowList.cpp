#include "Components/KldDBComponents/KldDataRowList.h"

#include <algorithm>

#include "Components/KldDBComponents/KldDataRow.h"
#include "platform/SysUtils.h"

TKldRowList::~TKldRowList()
{
    Clear();
}

size_t TKldRowList::ChunkOf(size_t index) const
{
    size_t hint = m_lastChunk;
    if (hint < m_chunks.size() && index >= m_starts[hint] && index < m_starts[hint] + m_chunks[hint].size())
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
    return m_chunks[c][static_cast<size_t>(index) - m_starts[c]];
}

void TKldRowList::Insert(int index, TKldDataRow* row)
{
    KLD_ASSERT("KldData", index >= 0 && static_cast<size_t>(index) <= m_count);
    size_t pos = static_cast<size_t>(index);
    if (m_chunks.empty())
    {
        m_chunks.emplace_back();
        m_chunks.back().reserve(ChunkCapacity);
        m_starts.push_back(0);
    }
    size_t c = pos == m_count ? m_chunks.size() - 1 : ChunkOf(pos);
    if (m_chunks[c].size() >= ChunkCapacity)
    {
        if (pos == m_count)
        {
            // Appending: start a fresh chunk and leave the full one full.
            m_chunks.emplace_back();
            m_chunks.back().reserve(ChunkCapacity);
            m_starts.push_back(m_count);
            c = m_chunks.size() - 1;
        }
        else
        {
            size_t half = m_chunks[c].size() / 2;
            std::vector<TKldDataRow*> upper(m_chunks[c].begin() + static_cast<ptrdiff_t>(half), m_chunks[c].end());
            upper.reserve(ChunkCapacity);
            m_chunks[c].resize(half);
            m_chunks.insert(m_chunks.begin() + static_cast<ptrdiff_t>(c) + 1, std::move(upper));
            m_starts.insert(m_starts.begin() + static_cast<ptrdiff_t>(c) + 1, m_starts[c] + half);
            if (pos >= m_starts[c + 1])
                ++c;
        }
    }
    auto& chunk = m_chunks[c];
    chunk.insert(chunk.begin() + static_cast<ptrdiff_t>(pos - m_starts[c]), row);
    ShiftStarts(c + 1, 1);
    ++m_count;
}

TKldDataRow* TKldRowList::Extract(int index)
{
    KLD_ASSERT("KldData", index >= 0 && static_cast<size_t>(index) < m_count);
    size_t pos = static_cast<size_t>(index);
    size_t c = ChunkOf(pos);
    auto& chunk = m_chunks[c];
    TKldDataRow* row = chunk[pos - m_starts[c]];
    chunk.erase(chunk.begin() + static_cast<ptrdiff_t>(pos - m_starts[c]));
    ShiftStarts(c + 1, -1);
    --m_count;
    if (chunk.empty())
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
    TKldDataRow* row = Extract(curIndex);
    Insert(newIndex, row);
}

int TKldRowList::IndexOf(const TKldDataRow* row) const
{
    for (size_t c = 0; c < m_chunks.size(); ++c)
    {
        auto it = std::find(m_chunks[c].begin(), m_chunks[c].end(), row);
        if (it != m_chunks[c].end())
            return static_cast<int>(m_starts[c] + static_cast<size_t>(it - m_chunks[c].begin()));
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
        for (TKldDataRow* row : chunk)
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
        m_chunks[c][pos - m_starts[c]] = rows[i];
    }
}

size_t TKldRowList::ListBytes() const
{
    size_t bytes = m_chunks.capacity() * sizeof(std::vector<TKldDataRow*>) + m_starts.capacity() * sizeof(size_t);
    for (const auto& chunk : m_chunks)
        bytes += chunk.capacity() * sizeof(TKldDataRow*);
    return bytes;
}
