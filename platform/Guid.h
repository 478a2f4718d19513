#pragma once
// TGUID: the 16-byte globally unique identifier record and its standard text,
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (38 characters, upper-case hex).
// The record's byte layout is the one stored in row buffers: D1, D2 and D3 in
// the machine's (little-endian) order, then the eight bytes of D4.

#include <cstdint>
#include <string>

#include "platform/SysUtils.h"

struct TGUID
{
    uint32_t D1 = 0;
    uint16_t D2 = 0;
    uint16_t D3 = 0;
    uint8_t D4[8] = {};
};
static_assert(sizeof(TGUID) == 16, "TGUID is stored as 16 raw bytes");

extern const TGUID GUID_NULL;

// Braced upper-case text of 38 characters.
std::string GUIDToString(const TGUID& guid);
// Reads the braced text (hex digits in either case). Anything else - another
// length, missing braces or dashes, a non-hex character - is refused:
// StringToGUID raises EConvertError ("'x' is not a valid GUID value").
bool TryStringToGUID(const std::string& text, TGUID& guid);
TGUID StringToGUID(const std::string& text);

// A fresh random (version 4) GUID from the system's cryptographic generator.
// Raises EOSError when no random bytes are available.
TGUID CreateGUID();

bool IsEqualGUID(const TGUID& a, const TGUID& b);
bool operator==(const TGUID& a, const TGUID& b);
bool operator!=(const TGUID& a, const TGUID& b);
