// ":Name" references in SQL texts from arbitrary bytes.
// - Any text parses; the list of names equals the parameters ParseSQL makes,
//   no name is empty and no two names are the same without regard to case.
// - The text with references replaced is never longer than the original
//   (each reference and each "::" shrinks), and a text without ':' comes back
//   unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string sql(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> names = ParseSQLParamNames(sql);
    TParams params;
    const std::string text = params.ParseSQL(sql, true);
    if (params.Count() != static_cast<int>(names.size()))
        std::abort();
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty() || params[static_cast<int>(i)]->Name() != names[i])
            std::abort();
        for (size_t j = 0; j < i; ++j)
            if (AnsiSameText(names[i], names[j]))
                std::abort();
    }
    if (text.size() > sql.size())
        std::abort();
    if (sql.find(':') == std::string::npos && text != sql)
        std::abort();
    if (params.ParseSQL(sql, false) != text)
        std::abort();
    return 0;
}
