#include "platform/Guid.h"

#include <cstring>

#include <openssl/rand.h>

const TGUID GUID_NULL{};

namespace {
void AppendHex(std::string& out, uint64_t value, int digits)
{
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += HexDigitChar(unsigned(value >> shift));
}

// Reads `digits` hex digits at `pos`; false on a non-hex character.
bool ReadHex(const std::string& text, size_t pos, int digits, uint64_t& value)
{
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int v = HexDigitValue(text[pos + static_cast<size_t>(i)]);
        if (v < 0)
            return false;
        value = value << 4 | static_cast<uint64_t>(v);
    }
    return true;
}
} // namespace

std::string GUIDToString(const TGUID& guid)
{
    std::string text;
    text.reserve(38);
    text += '{';
    AppendHex(text, guid.D1, 8);
    text += '-';
    AppendHex(text, guid.D2, 4);
    text += '-';
    AppendHex(text, guid.D3, 4);
    text += '-';
    AppendHex(text, guid.D4[0], 2);
    AppendHex(text, guid.D4[1], 2);
    text += '-';
    for (int i = 2; i < 8; ++i)
        AppendHex(text, guid.D4[i], 2);
    text += '}';
    return text;
}

bool TryStringToGUID(const std::string& text, TGUID& guid)
{
    if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
        text[19] != '-' || text[24] != '-')
        return false;
    TGUID result;
    uint64_t v;
    if (!ReadHex(text, 1, 8, v))
        return false;
    result.D1 = static_cast<uint32_t>(v);
    if (!ReadHex(text, 10, 4, v))
        return false;
    result.D2 = static_cast<uint16_t>(v);
    if (!ReadHex(text, 15, 4, v))
        return false;
    result.D3 = static_cast<uint16_t>(v);
    static const size_t kD4Positions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, kD4Positions[i], 2, v))
            return false;
        result.D4[i] = static_cast<uint8_t>(v);
    }
    guid = result;
    return true;
}

TGUID StringToGUID(const std::string& text)
{
    TGUID guid;
    if (!TryStringToGUID(text, guid))
        throw EConvertError("'" + text + "' is not a valid GUID value");
    return guid;
}

TGUID CreateGUID()
{
    uint8_t bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        throw EOSError("No random bytes available to create a GUID");
    TGUID guid;
    std::memcpy(&guid, bytes, sizeof guid);
    guid.D3 = static_cast<uint16_t>((guid.D3 & 0x0FFF) | 0x4000);  // version 4
    guid.D4[0] = static_cast<uint8_t>((guid.D4[0] & 0x3F) | 0x80); // RFC 4122 variant
    return guid;
}

bool IsEqualGUID(const TGUID& a, const TGUID& b)
{
    return std::memcmp(&a, &b, sizeof(TGUID)) == 0;
}

bool operator==(const TGUID& a, const TGUID& b)
{
    return IsEqualGUID(a, b);
}

bool operator!=(const TGUID& a, const TGUID& b)
{
    return !IsEqualGUID(a, b);
}
