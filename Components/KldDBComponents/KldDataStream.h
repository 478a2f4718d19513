#pragma once
// The binary value encoding that containers, tables and rows are written in:
// one type byte, then the data, integers little-endian and in the smallest
// form that holds them, floats as 10-byte extended-precision numbers. Writer
// and reader buffer their stream in blocks of 4096 bytes.
//
// The reader never trusts a length: a string, list or raw block longer than
// what is left of the stream raises EReadError before anything is allocated.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Streams.h"
#include "platform/SysUtils.h"

enum TKldValueType : uint8_t
{
    vaNull = 0, // end of a list or a collection
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaLString = 12,
    vaCollection = 14,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19
};

// 10-byte extended-precision number <-> double, worked out bit by bit so that
// the format does not depend on the compiler's long double.
void DoubleToExtended(double value, uint8_t out[10]) noexcept;
double ExtendedToDouble(const uint8_t in[10]) noexcept;

// UTF-8 text <-> 16-bit characters (UTF-16, little-endian on the wire).
// Malformed input becomes U+FFFD; nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

class TKldWriter
{
public:
    explicit TKldWriter(TStream& stream) : m_stream(stream) {}
    // Writes what is still buffered; errors are lost here, so call FlushBuffer.
    ~TKldWriter();
    TKldWriter(const TKldWriter&) = delete;
    TKldWriter& operator=(const TKldWriter&) = delete;

    void FlushBuffer();

    void WriteValue(TKldValueType type) { WriteByte(type); }
    void WriteBoolean(bool value) { WriteByte(value ? vaTrue : vaFalse); }
    void WriteInteger(int64_t value);
    void WriteFloat(double value);
    void WriteDate(double value);
    void WriteString(std::string_view text);
    // UTF-8 text written as 16-bit characters.
    void WriteWideString(std::string_view text);
    void WriteIdent(std::string_view name);
    void WriteListBegin() { WriteByte(vaList); }
    void WriteListEnd() { WriteByte(vaNull); }
    // A property name: a 1-byte length and the characters, no type byte.
    void WritePropName(std::string_view name);
    void Write(const void* data, size_t count);

private:
    void WriteByte(uint8_t b)
    {
        if (m_used == sizeof(m_buffer))
            FlushBuffer();
        m_buffer[m_used++] = b;
    }

    TStream& m_stream;
    uint8_t m_buffer[4096];
    size_t m_used = 0;
};

class TKldReader
{
public:
    // Reads from the stream's current position to its end.
    explicit TKldReader(TStream& stream);
    TKldReader(const TKldReader&) = delete;
    TKldReader& operator=(const TKldReader&) = delete;

    // The type byte of the next value, without reading it.
    TKldValueType NextValue();
    TKldValueType ReadValue();
    bool EndOfList() { return NextValue() == vaNull; }
    void ReadListBegin() { CheckValue(vaList); }
    void ReadListEnd() { CheckValue(vaNull); }
    void CheckValue(TKldValueType type);

    bool ReadBoolean();
    int32_t ReadInteger();
    int64_t ReadInt64();
    double ReadFloat();
    double ReadDate();
    std::string ReadString();
    // Text of either width, as UTF-8.
    std::string ReadWideString();
    std::string ReadIdent();
    std::string ReadPropName();
    void Read(void* data, size_t count);
    // Skips `count` raw bytes.
    void Skip(uint64_t count);

    // Moves the stream back to just after the last value read.
    void FixupStream();

    // Bytes of the stream not yet read.
    uint64_t Remaining() const noexcept { return m_remaining + (m_size - m_pos); }

    [[noreturn]] static void InvalidFormat();
    [[noreturn]] static void InvalidValue();

private:
    uint8_t ReadByte()
    {
        if (m_pos == m_size)
            Fill();
        return m_buffer[m_pos++];
    }
    void Fill();
public:
    // A length of `bytes` bytes (1 or 4) counting units of `unitSize` bytes,
    // refused when the stream cannot hold that much.
    uint64_t ReadLength(int bytes, uint64_t unitSize);

private:

    TStream& m_stream;
    uint64_t m_remaining; // bytes left in the stream beyond the buffer
    uint8_t m_buffer[4096];
    size_t m_pos = 0;
    size_t m_size = 0;
    uint8_t m_scratch[256];
};
