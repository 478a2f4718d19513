#pragma once
// A small set of enumeration values (the engine's option, state and attribute
// sets). Members are the enumeration's ordinals, as many as Storage has bits.

#include <cstdint>
#include <initializer_list>

template <class E, class Storage = uint32_t>
class KldSet
{
public:
    constexpr KldSet() noexcept = default;
    constexpr KldSet(E value) noexcept : m_bits(Bit(value)) {}
    constexpr KldSet(std::initializer_list<E> values) noexcept
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

    constexpr KldSet operator+(KldSet other) const noexcept { return FromBits(Storage(m_bits | other.m_bits)); }
    constexpr KldSet operator-(KldSet other) const noexcept { return FromBits(Storage(m_bits & ~other.m_bits)); }
    constexpr KldSet operator*(KldSet other) const noexcept { return FromBits(Storage(m_bits & other.m_bits)); }
    constexpr bool operator==(const KldSet&) const noexcept = default;

    static constexpr KldSet FromBits(Storage bits) noexcept
    {
        KldSet s;
        s.m_bits = bits;
        return s;
    }

private:
    static constexpr Storage Bit(E value) noexcept { return Storage(Storage(1) << static_cast<unsigned>(value)); }

    Storage m_bits = 0;
};
