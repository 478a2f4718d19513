// Feeds arbitrary bytes to the JSON parser as a server reply and as a quoted
// server text. A parse may fail with the parser's or a conversion error;
// anything else (a crash, a read past the text, another exception) is a bug.
// What parsed must write back and read out without failing.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Components/Nembra/NembraJSON.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        TJSONObject obj(text);
        const std::string written = obj.ToJSONString();
        const std::string readable = obj.GetAsString();
        TJSONObject copy;
        copy.AssignObject(&obj);
        if (copy.ToJSONString() != written)
            __builtin_trap();
        for (int i = 0; i < obj.GetPropCount(); ++i) {
            if (obj.IndexOfName(obj.GetPropName(i)) != i)
                __builtin_trap();
        }
    } catch (const Exception&) {
    }
    try {
        UnencodeJSONStr(text);
    } catch (const Exception&) {
    }
    return 0;
}
