// The sample add-on libraries: "BROWSER_LOGIN" and "BROWSER_DBLOGIN"
// (SAMPLE_FAULT unset), which the main window runs after the sign-in and
// after each database sign-in; their RUNOBJECT answers the length of its
// parameter text and 7 for the text "seven". The broken ones the tests load:
// 1 a library without the export, 2 an export that raises, 3 an export
// built against another version of the interface.
#include "Components/Controller/ovnAppletApi.h"

#include <string>

namespace {

[[maybe_unused]] int32_t Run(const std::string& Params)
{
#if defined(SAMPLE_FAULT) && SAMPLE_FAULT == 2
    throw Exception("The add-on failed on \"" + Params + "\"");
#else
    return Params == "seven" ? 7 : static_cast<int32_t>(Params.size());
#endif
}

} // namespace

#if !defined(SAMPLE_FAULT) || SAMPLE_FAULT == 2
OVN_ADDON_RUNOBJECT(Run)
#elif SAMPLE_FAULT == 1
// Some other export only.
extern "C" __attribute__((visibility("default"))) int32_t RUN_SOMETHING()
{
    return 0;
}
#elif SAMPLE_FAULT == 3
extern "C" const char* ovnAddonApi_1(const char* Params);
extern "C" __attribute__((visibility("default"))) int32_t RUNOBJECT(const char* Params)
{
    return static_cast<int32_t>(std::string(ovnAddonApi_1(Params)).size());
}
#endif
