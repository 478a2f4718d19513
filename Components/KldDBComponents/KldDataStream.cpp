#include "Components/KldDBComponents/KldDataStream.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

// --- Extended floats -------------------------------------------------------------------

void DoubleToExtended(double value, uint8_t out[10]) noexcept
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    uint16_t sign = static_cast<uint16_t>((bits >> 63) << 15);
    int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    uint64_t mantissa = 0;
    uint16_t top = sign;
    if (exponent == 0x7FF)
    {
        // Infinity keeps an empty fraction, NaN its payload.
        mantissa = (uint64_t(1) << 63) | (fraction << 11);
        top |= 0x7FFF;
    }
    else if (exponent != 0 || fraction != 0)
    {
        int e = exponent - 1023;
        if (exponent == 0)
        {
            // Subnormal double: normalise, the extended range holds it.
            e = -1022;
            while ((fraction & (uint64_t(1) << 52)) == 0)
            {
                fraction <<= 1;
                --e;
            }
            fraction &= (uint64_t(1) << 52) - 1;
        }
        mantissa = (uint64_t(1) << 63) | (fraction << 11);
        top |= static_cast<uint16_t>(e + 16383);
    }
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    out[8] = static_cast<uint8_t>(top);
    out[9] = static_cast<uint8_t>(top >> 8);
}

double ExtendedToDouble(const uint8_t in[10]) noexcept
{
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa |= uint64_t(in[i]) << (8 * i);
    uint16_t top = static_cast<uint16_t>(in[8] | (in[9] << 8));
    bool negative = (top & 0x8000) != 0;
    int exponent = top & 0x7FFF;
    double result;
    if (exponent == 0x7FFF)
    {
        bool nan = (mantissa & ~(uint64_t(1) << 63)) != 0;
        result = nan ? std::numeric_limits<double>::quiet_NaN() : std::numeric_limits<double>::infinity();
    }
    else if (mantissa == 0)
    {
        result = 0.0;
    }
    else
    {
        // The conversion of the 64-bit mantissa rounds to nearest; ldexp then
        // scales exactly, overflowing to infinity and underflowing to zero.
        int e = (exponent == 0 ? 1 : exponent) - 16383 - 63;
        result = std::ldexp(static_cast<double>(mantissa), e);
    }
    return negative ? -result : result;
}

// --- UTF-8 and UTF-16 ------------------------------------------------------------------

// ICU does the conversion; ill-formed input becomes U+FFFD, one for each
// maximal ill-formed part, so that a damaged text still loads.
std::u16string Utf8ToUtf16(std::string_view text)
{
    if (text.empty())
        return {};
    if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw Exception("Text too long to convert");
    std::u16string out(text.size(), u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status))
        throw Exception(Format("Unable to convert text: %s", u_errorName(status)));
    out.resize(static_cast<size_t>(length));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    if (text.empty())
        return {};
    if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 3))
        throw Exception("Text too long to convert");
    std::string out(text.size() * 3, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status))
        throw Exception(Format("Unable to convert text: %s", u_errorName(status)));
    out.resize(static_cast<size_t>(length));
    return out;
}

// --- TKldWriter -----------------------------------------------------------------------------

TKldWriter::~TKldWriter()
{
    try
    {
        FlushBuffer();
    }
    catch (...)
    {
    }
}

void TKldWriter::FlushBuffer()
{
    if (m_used == 0)
        return;
    size_t used = m_used;
    m_used = 0;
    m_stream.WriteBuffer(m_buffer, static_cast<int64_t>(used));
}

void TKldWriter::Write(const void* data, size_t count)
{
    auto* p = static_cast<const uint8_t*>(data);
    while (count > 0)
    {
        if (m_used == sizeof(m_buffer))
            FlushBuffer();
        size_t n = std::min(count, sizeof(m_buffer) - m_used);
        std::memcpy(m_buffer + m_used, p, n);
        m_used += n;
        p += n;
        count -= n;
    }
}

namespace
{

template <class T>
void PutLE(TKldWriter& writer, T value)
{
    uint8_t bytes[sizeof(T)];
    using U = std::make_unsigned_t<T>;
    auto u = static_cast<U>(value);
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = static_cast<uint8_t>(u >> (8 * i));
    writer.Write(bytes, sizeof(T));
}

} // namespace

void TKldWriter::WriteInteger(int64_t value)
{
    if (value >= -128 && value <= 127)
    {
        WriteByte(vaInt8);
        WriteByte(static_cast<uint8_t>(static_cast<int8_t>(value)));
    }
    else if (value >= -32768 && value <= 32767)
    {
        WriteByte(vaInt16);
        PutLE(*this, static_cast<int16_t>(value));
    }
    else if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max())
    {
        WriteByte(vaInt32);
        PutLE(*this, static_cast<int32_t>(value));
    }
    else
    {
        WriteByte(vaInt64);
        PutLE(*this, value);
    }
}

void TKldWriter::WriteFloat(double value)
{
    uint8_t bytes[10];
    DoubleToExtended(value, bytes);
    WriteByte(vaExtended);
    Write(bytes, sizeof bytes);
}

void TKldWriter::WriteDate(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteByte(vaDate);
    PutLE(*this, bits);
}

void TKldWriter::WriteString(std::string_view text)
{
    if (text.size() <= 255)
    {
        WriteByte(vaString);
        WriteByte(static_cast<uint8_t>(text.size()));
    }
    else
    {
        if (text.size() > std::numeric_limits<uint32_t>::max())
            throw EWriteError("Stream write error");
        WriteByte(vaLString);
        PutLE(*this, static_cast<uint32_t>(text.size()));
    }
    Write(text.data(), text.size());
}

void TKldWriter::WriteWideString(std::string_view text)
{
    std::u16string wide = Utf8ToUtf16(text);
    if (wide.size() > std::numeric_limits<uint32_t>::max())
        throw EWriteError("Stream write error");
    WriteByte(vaWString);
    PutLE(*this, static_cast<uint32_t>(wide.size()));
    for (char16_t c : wide)
        PutLE(*this, static_cast<uint16_t>(c));
}

void TKldWriter::WriteIdent(std::string_view name)
{
    KLD_ASSERT("KldData", name.size() <= 255);
    WriteByte(vaIdent);
    WriteByte(static_cast<uint8_t>(name.size()));
    Write(name.data(), name.size());
}

void TKldWriter::WritePropName(std::string_view name)
{
    KLD_ASSERT("KldData", name.size() <= 255);
    WriteByte(static_cast<uint8_t>(name.size()));
    Write(name.data(), name.size());
}

// --- TKldReader -----------------------------------------------------------------------------

TKldReader::TKldReader(TStream& stream) : m_stream(stream)
{
    int64_t position = stream.Position();
    int64_t size = stream.Size();
    m_remaining = size > position ? static_cast<uint64_t>(size - position) : 0;
}

void TKldReader::InvalidFormat()
{
    throw EReadError("Invalid stream format");
}

void TKldReader::InvalidValue()
{
    throw EReadError("Invalid property value");
}

void TKldReader::Fill()
{
    if (m_remaining == 0)
        throw EReadError("Stream read error");
    size_t want = static_cast<size_t>(std::min<uint64_t>(m_remaining, sizeof(m_buffer)));
    int64_t got = m_stream.Read(m_buffer, static_cast<int64_t>(want));
    if (got <= 0)
        throw EReadError("Stream read error");
    m_size = static_cast<size_t>(got);
    m_pos = 0;
    m_remaining -= static_cast<uint64_t>(got);
}

void TKldReader::FixupStream()
{
    if (m_pos < m_size)
    {
        m_stream.Seek(-static_cast<int64_t>(m_size - m_pos), soFromCurrent);
        m_remaining += m_size - m_pos;
        m_size = m_pos = 0;
    }
}

void TKldReader::Read(void* data, size_t count)
{
    if (count > Remaining())
        throw EReadError("Stream read error");
    auto* p = static_cast<uint8_t*>(data);
    while (count > 0)
    {
        if (m_pos == m_size)
            Fill();
        size_t n = std::min(count, m_size - m_pos);
        std::memcpy(p, m_buffer + m_pos, n);
        m_pos += n;
        p += n;
        count -= n;
    }
}

namespace
{

template <class T>
T GetLE(TKldReader& reader)
{
    uint8_t bytes[sizeof(T)];
    reader.Read(bytes, sizeof(T));
    std::make_unsigned_t<T> u = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        u |= static_cast<std::make_unsigned_t<T>>(static_cast<std::make_unsigned_t<T>>(bytes[i]) << (8 * i));
    return static_cast<T>(u);
}

} // namespace

TKldValueType TKldReader::NextValue()
{
    if (m_pos == m_size)
        Fill();
    return static_cast<TKldValueType>(m_buffer[m_pos]);
}

TKldValueType TKldReader::ReadValue()
{
    return static_cast<TKldValueType>(ReadByte());
}

void TKldReader::CheckValue(TKldValueType type)
{
    if (ReadValue() != type)
        InvalidValue();
}

bool TKldReader::ReadBoolean()
{
    TKldValueType type = ReadValue();
    if (type != vaTrue && type != vaFalse)
        InvalidValue();
    return type == vaTrue;
}

int64_t TKldReader::ReadInt64()
{
    switch (ReadValue())
    {
    case vaInt8:
        return static_cast<int8_t>(ReadByte());
    case vaInt16:
        return GetLE<int16_t>(*this);
    case vaInt32:
        return GetLE<int32_t>(*this);
    case vaInt64:
        return GetLE<int64_t>(*this);
    default:
        InvalidValue();
    }
}

int32_t TKldReader::ReadInteger()
{
    int64_t value = ReadInt64();
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        InvalidValue();
    return static_cast<int32_t>(value);
}

double TKldReader::ReadFloat()
{
    TKldValueType type = NextValue();
    if (type == vaExtended)
    {
        ReadByte();
        uint8_t bytes[10];
        Read(bytes, sizeof bytes);
        return ExtendedToDouble(bytes);
    }
    return static_cast<double>(ReadInt64());
}

double TKldReader::ReadDate()
{
    CheckValue(vaDate);
    auto bits = GetLE<uint64_t>(*this);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint64_t TKldReader::ReadLength(int bytes, uint64_t unitSize)
{
    uint64_t length = bytes == 1 ? ReadByte() : GetLE<uint32_t>(*this);
    if (length * unitSize > Remaining())
        throw EReadError("Stream read error");
    return length;
}

std::string TKldReader::ReadString()
{
    TKldValueType type = ReadValue();
    uint64_t length;
    if (type == vaString)
        length = ReadLength(1, 1);
    else if (type == vaLString)
        length = ReadLength(4, 1);
    else if (type == vaWString)
    {
        std::u16string wide(static_cast<size_t>(ReadLength(4, 2)), u'\0');
        for (char16_t& c : wide)
            c = static_cast<char16_t>(GetLE<uint16_t>(*this));
        return Utf16ToUtf8(wide);
    }
    else
        InvalidValue();
    std::string text(static_cast<size_t>(length), '\0');
    Read(text.data(), text.size());
    return text;
}

std::string TKldReader::ReadWideString()
{
    return ReadString();
}

std::string TKldReader::ReadIdent()
{
    TKldValueType type = ReadValue();
    switch (type)
    {
    case vaIdent:
    {
        std::string name(static_cast<size_t>(ReadLength(1, 1)), '\0');
        Read(name.data(), name.size());
        return name;
    }
    case vaFalse:
        return "False";
    case vaTrue:
        return "True";
    default:
        InvalidValue();
    }
}

std::string TKldReader::ReadPropName()
{
    std::string name(static_cast<size_t>(ReadLength(1, 1)), '\0');
    Read(name.data(), name.size());
    return name;
}

void TKldReader::Skip(uint64_t count)
{
    while (count > 0)
    {
        size_t n = static_cast<size_t>(std::min<uint64_t>(count, sizeof(m_scratch)));
        Read(m_scratch, n);
        count -= n;
    }
}
