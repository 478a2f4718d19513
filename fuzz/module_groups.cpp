// The module group layouts of a database sign-in from arbitrary bytes (the
// server's "GM_Modules" and "GM_User", split at the first NUL): a text is
// refused as a whole (EConvertError) or merged, and a merged layout has no
// "$HIDE" group left and writes its text form.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Components/Controller/applets/ModuleGroups.h"
#include "platform/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string preset = input.substr(0, nul);
    const std::string user = nul == std::string::npos ? std::string() : input.substr(nul + 1);
    TNamedList groups;
    try {
        MergeModulesLayout(groups, preset, user);
    } catch (const EConvertError&) {
        return 0;
    }
    if (groups.Find("$HIDE") >= 0)
        std::abort();
    TNamedList again;
    again.SetAsText(groups.AsText());
    if (again.Count() != groups.Count())
        std::abort();
    return 0;
}
