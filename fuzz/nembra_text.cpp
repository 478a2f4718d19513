// The server client's text routines on arbitrary bytes: the form decoding,
// the HTML trimming and the positional date parse must never crash or read
// past their text, and the encoders must round-trip through their decoders.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    HTTPDecode(text);
    TrimHtmlTags(text);
    if (HTTPDecode(HTTPEncode(text)) != text)
        __builtin_trap();
    if (UnencodeJSONStr(StrToJSON(text)) != text)
        __builtin_trap();

    static const std::string_view formats[] = {NembraDateFormat, NembraTimeFormat, NembraDateTimeFormat,
                                               "dd/mm/yyyy hh:nn", "ss"};
    for (const auto& format : formats) {
        for (bool strict : {true, false}) {
            try {
                NembraStrToDateTime(text, format, strict);
            } catch (const Exception&) {
            }
        }
    }
    // The text as its own format, against a fixed date text.
    try {
        NembraStrToDateTime("2024-02-29 23:59:59", text, true);
    } catch (const Exception&) {
    }
    return 0;
}
