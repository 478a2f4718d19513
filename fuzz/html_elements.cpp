// Feeds hostile page sources to the light view's element scan (the kept
// source of an ad page or any page): reading and writing an attribute of an
// element by id must never crash, read out of bounds or loop, and a written
// attribute must read back as written.
//
// Input: byte 0 splits the rest into the id (first part) and the source.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Components/Controller/web/HtmlElements.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t split = std::min<size_t>(data[0] % 16, rest.size());
    const std::string id = rest.substr(0, split);
    std::string html = rest.substr(split);
    bool found = false;
    HtmlGetAttribute(html, id, "key-data", found);
    if (HtmlSetAttribute(html, id, "data-x", "a\"b<c&d"))
    {
        const auto value = HtmlGetAttribute(html, id, "data-x", found);
        if (!found || !value || *value != "a\"b<c&d")
            std::abort();
    }
    HtmlDecodeEntities(rest);
    return 0;
}
