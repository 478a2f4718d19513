#pragma once
// The text area at the end of a row buffer: one entry per text column of the
// row's layout, in column order. An entry is either the text itself in value
// form (see KldTextView) or the byte 1 followed by a TKldStoredString pointer,
// for a text kept outside the row. A zero-filled area holds empty texts.
//
// Keeping short texts inline saves the separate allocation, its counter and
// the pointer that every text would otherwise cost. The area has a fixed
// capacity, made when the row was allocated; a text that does not fit goes
// outside, and when even its pointer entry does not fit, the largest other
// inline texts go outside too. MinimumCapacity guarantees that every entry
// can be a pointer, so a write always succeeds.
//
// A view: the row owns the bytes; the area owns the references its outside
// entries hold.

#include <cstddef>
#include <cstdint>
#include <string_view>

class TKldStoredString;

class TKldTextArea
{
public:
    static constexpr size_t OutsideEntrySize = 1 + sizeof(TKldStoredString*);
    // Longer texts always go outside, where row copies share them.
    static constexpr size_t InlineLimit = 256;

    static size_t MinimumCapacity(int count) noexcept { return static_cast<size_t>(count) * OutsideEntrySize; }

    TKldTextArea(uint8_t* data, size_t capacity, int count) noexcept
        : m_data(data), m_capacity(capacity), m_count(count)
    {
    }

    // The text value of entry `index`; valid until the area changes.
    const void* Value(int index) const noexcept;
    std::string_view Text(int index) const noexcept;
    // Bytes the entries take now.
    size_t Used() const noexcept;
    // Bytes the entries would take with every text up to InlineLimit inline.
    size_t Needed() const noexcept;

    // Writes `text` into entry `index`; `text` may lie in this area.
    void Write(int index, std::string_view text);
    // Makes this area hold the texts of `source` (an area of as many entries),
    // sharing the texts that source keeps outside.
    void CopyFrom(const TKldTextArea& source);
    // Releases the outside texts and empties every entry.
    void Reset() noexcept;
    // Releases the outside texts only (the row goes away).
    void ReleaseOutside() noexcept;

private:
    uint8_t* Entry(int index) const noexcept;
    static size_t EntrySize(const uint8_t* entry) noexcept;
    static bool IsOutside(const uint8_t* entry) noexcept { return *entry == 1; }
    static TKldStoredString* OutsideText(const uint8_t* entry) noexcept;
    // Puts `s` (a reference the area takes over) into entry `index`.
    void WriteOutside(int index, TKldStoredString* s);
    // Moves other inline texts outside until an entry of `size` bytes fits in
    // place of entry `index`.
    void MakeRoom(int index, size_t size);
    // Entry `index` (or the end, for m_count) and the bytes all entries
    // take, in one walk.
    uint8_t* Locate(int index, size_t& used) const noexcept;
    // Replaces `entry` (found by Locate with `used`) with `size` bytes made
    // by `fill`; they must fit.
    template <class F>
    void Place(uint8_t* entry, size_t used, size_t size, F&& fill);

    uint8_t* m_data;
    size_t m_capacity;
    int m_count;
};
