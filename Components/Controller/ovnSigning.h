#pragma once
// The integrity trailer of the system's modules (the launcher, the controller
// library, applet and add-on libraries).
//
// A signed file ends with a 48-byte trailer, little-endian:
//   0  uint32  0xAA55AA55
//   4  uint8   19, then the 19 characters "OVN 2 SIGNED MODULE"
//   24 double  signing date and time (TDateTime)
//   32 uint32  body size (the file without the trailer), low word
//   36 uint32  body size, high word (always 0)
//   40 uint32  checksum: wrapping sum of the body's complete little-endian
//              32-bit words; the last (size mod 4) bytes are not added
//   44 uint32  0x55AA55AA
// A file without that exact trailer is unsigned and its whole content is the
// body. Every failure raises EovnSigning with the texts below.

#include "platform/DateUtils.h"
#include "platform/SysUtils.h"

#include <cstdint>
#include <string>

KLD_DECLARE_EXCEPTION(EovnSigning, Exception);

#pragma pack(push, 1)
struct TovnModuleSignature
{
    uint32_t Magic1;
    uint8_t TitleLength;
    char Title[19];
    double SignedAt;
    uint32_t SizeLow;
    uint32_t SizeHigh;
    uint32_t CheckSum;
    uint32_t Magic2;
};
#pragma pack(pop)
static_assert(sizeof(TovnModuleSignature) == 48, "the trailer is 48 bytes on disk");

constexpr uint32_t ovnSignatureMagic1 = 0xAA55AA55u;
constexpr uint32_t ovnSignatureMagic2 = 0x55AA55AAu;
constexpr char ovnSignatureTitle[] = "OVN 2 SIGNED MODULE";

// Whether the 48 bytes form a valid trailer (both magics, length byte 19 and
// the title).
bool ovnIsSignature(const TovnModuleSignature& Signature);
// The checksum of `Size` bytes of `Data`.
uint32_t ovnCheckSum(const uint8_t* Data, uint64_t Size);

// Raises unless the file is an executable image: a Windows image ("MZ" and a
// "PE\0\0" header of 248 bytes inside the file where the DOS header points)
// or an ELF image of this platform ("\x7F" "ELF", the class of this process,
// program headers inside the file). Anything else is "Wrong file format: ".
void ovnVerifyOSModule(const std::string& FileName);

// True when the file carries a trailer. Size: the body size; CheckSum: the
// checksum computed now over the body; Signature: the stored trailer (all
// zero when unsigned).
bool ovnQueryModule(const std::string& FileName, uint32_t& Size, uint32_t& CheckSum,
                    TovnModuleSignature& Signature);

// Raises when the file is not acceptable: not an image, unsigned while a
// signature is demanded, checksum or size differing from the trailer. An
// unsigned file is not summed when it is allowed (same outcome, much faster
// for the many unsigned system libraries the launcher checks).
void ovnVerifyModule(const std::string& FileName, bool RaiseIfUnsigned);

// Writes or replaces the trailer. An existing trailer that no longer matches
// its body raises and nothing is written. SignedAt 0 means now.
void ovnSignModule(const std::string& FileName, TDateTime SignedAt = 0);
