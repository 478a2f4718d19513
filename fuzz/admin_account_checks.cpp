// The account checks of the user editor from arbitrary bytes: an e-mail
// address and a user ID either pass or give one of their fixed texts, and an
// address that passes has a user name before its first "@" and a domain
// and a dot after it (the suffix's characters are not checked).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "admin/UserDataRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string mail = CheckEMail(text);
    if (mail.empty()) {
        const size_t at = text.find('@');
        if (at == std::string::npos || at == 0 || text.find('.', at + 2) == std::string::npos)
            std::abort();
    } else if (mail.rfind("EMail address is not valid (", 0) != 0) {
        std::abort();
    }
    const std::string id = CheckUserID(text);
    if (!id.empty() && id.rfind("Illigal charecter in User ID: \"", 0) != 0)
        std::abort();
    return 0;
}
