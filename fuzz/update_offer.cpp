// The update endpoint's "version.txt" and the local one from arbitrary
// bytes: reading never fails, the values come back trimmed, a size is never
// negative when an update is offered, and an offer always names a setup
// file and a version.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Components/Controller/update/KernelUpdateForm.h"
#include "platform/SysUtils.h"

namespace
{

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TUpdateOffer offer = ReadUpdateOffer(text, "Setup.bin");
    Check(offer.Version == Trim(offer.Version));
    Check(!offer.SetupFile.empty());
    const std::string installed = ReadInstalledVersion(text);
    Check(installed == Trim(installed));
    if (IsUpdateOffered(offer, installed)) {
        Check(offer.Size > 0);
        Check(!offer.Version.empty());
        Check(!SameText(offer.Version, installed));
    }
    Check(!IsUpdateOffered(offer, offer.Version));
    IsValidSetupFileName(offer.SetupFile);
    return 0;
}
