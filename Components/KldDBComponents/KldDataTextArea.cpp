#include "Components/KldDBComponents/KldDataTextArea.h"

#include <cstring>
#include <string>

#include "Components/KldDBComponents/KldDataTypes.h"
#include "platform/SysUtils.h"

TKldStoredString* TKldTextArea::OutsideText(const uint8_t* entry) noexcept
{
    TKldStoredString* s;
    std::memcpy(&s, entry + 1, sizeof s);
    return s;
}

size_t TKldTextArea::EntrySize(const uint8_t* entry) noexcept
{
    if (IsOutside(entry))
        return OutsideEntrySize;
    std::string_view text = KldTextView(entry);
    return static_cast<size_t>(text.data() - reinterpret_cast<const char*>(entry)) + text.size();
}

uint8_t* TKldTextArea::Entry(int index) const noexcept
{
    uint8_t* p = m_data;
    for (int i = 0; i < index; ++i)
        p += EntrySize(p);
    return p;
}

const void* TKldTextArea::Value(int index) const noexcept
{
    const uint8_t* entry = Entry(index);
    return IsOutside(entry) ? TKldStoredString::Value(OutsideText(entry)) : entry;
}

std::string_view TKldTextArea::Text(int index) const noexcept
{
    return KldTextView(Value(index));
}

size_t TKldTextArea::Used() const noexcept
{
    return static_cast<size_t>(Entry(m_count) - m_data);
}

size_t TKldTextArea::Needed() const noexcept
{
    size_t bytes = 0;
    const uint8_t* p = m_data;
    for (int i = 0; i < m_count; ++i)
    {
        size_t size = EntrySize(p);
        if (IsOutside(p))
        {
            std::string_view text = TKldStoredString::View(OutsideText(p));
            size = text.size() <= InlineLimit ? KldTextValueSize(text) : OutsideEntrySize;
        }
        bytes += size;
        p += EntrySize(p);
    }
    return bytes;
}

uint8_t* TKldTextArea::Locate(int index, size_t& used) const noexcept
{
    uint8_t* p = m_data;
    uint8_t* entry = nullptr;
    for (int i = 0; i < m_count; ++i)
    {
        if (i == index)
            entry = p;
        p += EntrySize(p);
    }
    used = static_cast<size_t>(p - m_data);
    return entry ? entry : p;
}

template <class F>
void TKldTextArea::Place(uint8_t* entry, size_t used, size_t size, F&& fill)
{
    size_t old = EntrySize(entry);
    size_t after = used - static_cast<size_t>(entry - m_data) - old;
    KLD_ASSERT("KldData", used - old + size <= m_capacity);
    std::memmove(entry + size, entry + old, after);
    fill(entry);
}

void TKldTextArea::MakeRoom(int index, size_t size)
{
    for (;;)
    {
        size_t used = Used();
        size_t old = EntrySize(Entry(index));
        if (used - old + size <= m_capacity)
            return;
        // The largest inline text that its pointer entry would shrink.
        int largest = -1;
        size_t largestSize = OutsideEntrySize;
        const uint8_t* p = m_data;
        for (int i = 0; i < m_count; ++i)
        {
            size_t s = EntrySize(p);
            if (i != index && !IsOutside(p) && s > largestSize)
            {
                largest = i;
                largestSize = s;
            }
            p += s;
        }
        KLD_ASSERT("KldData", largest >= 0);
        WriteOutside(largest, TKldStoredString::Make(Text(largest)));
    }
}

void TKldTextArea::WriteOutside(int index, TKldStoredString* s)
{
    try
    {
        MakeRoom(index, OutsideEntrySize);
    }
    catch (...)
    {
        TKldStoredString::Release(s);
        throw;
    }
    size_t used = 0;
    uint8_t* entry = Locate(index, used);
    TKldStoredString* old = IsOutside(entry) ? OutsideText(entry) : nullptr;
    Place(entry, used, OutsideEntrySize, [s](uint8_t* e) {
        e[0] = 1;
        std::memcpy(e + 1, &s, sizeof s);
    });
    TKldStoredString::Release(old);
}

void TKldTextArea::Write(int index, std::string_view text)
{
    // A text taken from this very area would move under the write.
    std::string copy;
    auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (!text.empty() && bytes >= m_data && bytes < m_data + m_capacity)
    {
        copy.assign(text);
        text = copy;
    }
    size_t size = KldTextValueSize(text);
    size_t used = 0;
    uint8_t* entry = Locate(index, used);
    size_t room = m_capacity - (used - EntrySize(entry));
    if (text.size() > InlineLimit || size > room)
    {
        // An empty text always fits: every entry takes at least one byte.
        WriteOutside(index, TKldStoredString::Make(text));
        return;
    }
    TKldStoredString* old = IsOutside(entry) ? OutsideText(entry) : nullptr;
    Place(entry, used, size, [text](uint8_t* e) { KldWriteTextValue(e, text); });
    TKldStoredString::Release(old);
}

void TKldTextArea::CopyFrom(const TKldTextArea& source)
{
    KLD_ASSERT("KldData", source.m_count == m_count);
    if (&source == this || source.m_data == m_data)
        return;
    size_t used = source.Used();
    if (used <= m_capacity)
    {
        const uint8_t* p = source.m_data;
        for (int i = 0; i < m_count; ++i)
        {
            if (IsOutside(p))
                TKldStoredString::AddRef(OutsideText(p));
            p += EntrySize(p);
        }
        ReleaseOutside();
        std::memcpy(m_data, source.m_data, used);
        return;
    }
    // Too much for this area: entry by entry, going outside where needed.
    Reset();
    const uint8_t* p = source.m_data;
    for (int i = 0; i < m_count; ++i)
    {
        if (IsOutside(p))
        {
            TKldStoredString* s = OutsideText(p);
            TKldStoredString::AddRef(s);
            WriteOutside(i, s);
        }
        else
        {
            Write(i, KldTextView(p));
        }
        p += EntrySize(p);
    }
}

void TKldTextArea::ReleaseOutside() noexcept
{
    const uint8_t* p = m_data;
    for (int i = 0; i < m_count; ++i)
    {
        if (IsOutside(p))
            TKldStoredString::Release(OutsideText(p));
        p += EntrySize(p);
    }
}

void TKldTextArea::Reset() noexcept
{
    ReleaseOutside();
    std::memset(m_data, 0, static_cast<size_t>(m_count));
}
