#pragma once
// A small set of enumeration values, as the class library's "set of" types:
// font styles, shift states, border sides, item states and the engine's
// option and attribute sets. Members are the enumeration's ordinals, as many
// as Storage has bits.

#include <cstdint>
#include <initializer_list>

template <class E, class Storage = uint32_t> class TSet
{
  public:
    constexpr TSet() noexcept = default;
    constexpr TSet(E value) noexcept : m_bits(Bit(value)) {}
    constexpr TSet(std::initializer_list<E> values) noexcept
    {
        for (E v : values)
            m_bits = Storage(m_bits | Bit(v));
    }

    constexpr bool Contains(E value) const noexcept { return (m_bits & Bit(value)) != 0; }
    constexpr bool Empty() const noexcept { return m_bits == 0; }
    constexpr void Include(E value) noexcept { m_bits = Storage(m_bits | Bit(value)); }
    constexpr void Exclude(E value) noexcept { m_bits = Storage(m_bits & ~Bit(value)); }
    constexpr void Set(E value, bool on) noexcept
    {
        if (on)
            Include(value);
        else
            Exclude(value);
    }
    constexpr void Clear() noexcept { m_bits = 0; }
    constexpr Storage Bits() const noexcept { return m_bits; }

    constexpr TSet operator+(TSet other) const noexcept { return FromBits(Storage(m_bits | other.m_bits)); }
    constexpr TSet operator-(TSet other) const noexcept { return FromBits(Storage(m_bits & ~other.m_bits)); }
    constexpr TSet operator*(TSet other) const noexcept { return FromBits(Storage(m_bits & other.m_bits)); }
    constexpr bool operator==(const TSet&) const noexcept = default;

    static constexpr TSet FromBits(Storage bits) noexcept
    {
        TSet s;
        s.m_bits = bits;
        return s;
    }

  private:
    static constexpr Storage Bit(E value) noexcept
    {
        return Storage(Storage(1) << static_cast<unsigned>(value));
    }

    Storage m_bits = 0;
};
